// Lays the wizard's own pages and dialogs out in every language on a real X
// display and reports every text that gets less room than it asks for, lies
// outside its window, covers another widget, is empty or is mirrored (every
// language's texts run left to right), and every text of the toolkit or the
// system that is in another language than the one shown:
//
//     ui_layout_check [--font "Sans 13"] [--screenshots DIR]
//
// At the default font the wizard must also keep its 500 x 360. Last, it makes
// sure that it would notice a cut: a button forced back to 80 pixels, the
// notice of an unrecorded directory and the restoring text pinned small. With
// --screenshots it also saves the welcome and success pages of each language
// as DIR/CODE-welcome.png and DIR/CODE-success.png.
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalog/language_rules.h"
#include "catalog/message_catalog.h"
#include "fs/last_error.h"
#include "session/system_texts.h"
#include "session/entry_tally.h"
#include "text/convert.h"
#include "text/text_helpers.h"
#include "text/utf8.h"
#include "ui/dir_select_page.h"
#include "ui/installer_dlg.h"
#include "ui/message_box.h"
#include "ui/mnemonics.h"
#include "ui/progress_page.h"
#include "ui/unpacking_window.h"

namespace tpl {
namespace {

// A launcher file as long as a real one gets: a long account name.
constexpr const char* kUnrecordedFile = "/home/firstname.lastname.accounting/.Vq/pivotrun/pivotrun.cfg";
// The default template directory of that account, and a place where a
// failure was met in it.
constexpr const char* kTarget = "/home/firstname.lastname.accounting/.qbx4/Vq/qbx4/tmplts/";
constexpr const char* kFailedAt = "/home/firstname.lastname.accounting/.qbx4/Vq/qbx4/tmplts/network/proxy.cfg";

// A large kit's success: every line of the report at its widest.
WideString SuccessReportSample() {
    InstallSummary summary;
    summary.changes = {12345, 6789, 1011};
    return SuccessReport(summary, ToWide(kTarget));
}

// A failure, and one whose undo could neither put four files back nor
// remove four it had added (the longest such page).
WideString FailureSample(bool notRestored) {
    InstallSummary summary;
    if (notRestored) {
        for (const char* name : {"desktop/panel.cfg", "network/proxy.cfg", "README.txt", "more.cfg"})
            summary.notRestored.push_back(ToWide(kTarget) + ToWide(name));
        summary.backupDirectory = u"/tmp/wz4sx12/";
        for (const char* name : {"templates/office/letter.cfg", "templates/new.cfg", "x.cfg"})
            summary.notRemoved.push_back(ToWide(kTarget) + ToWide(name));
        summary.notRemovedCount = 497;
    }
    return UndoneReport(summary, ToWide(kTarget), "IDS_ERROR_FINISH", MessageCatalog::GetText("IDS_INSTALL_ERROR"),
                        ToWide(kFailedAt) + u"\nNot a directory");
}

WideString CancelledSample() {
    return UndoneReport(InstallSummary(), ToWide(kTarget), "IDS_CANCEL_FINISH", WideString(), WideString());
}

// The second line of a box before the window: a catalog text and a place.
std::string ContextSample(const char* textId, const char* then) {
    return std::string(MessageCatalog::GetUtf8(textId)) + then;
}

// What the reason for EISDIR reads in a language, whatever the locale's
// language: the program's own words.
struct SystemWords {
    const char* code;
    const char* isADirectory;
};
constexpr SystemWords kSystemWords[] = {
    {"hy", "Թղթապանակ է"},
    {"bg", "Е папка"},
    {"zh", "是一个目录"},
    {"de", "Ist ein Verzeichnis"},
    {"en", "Is a directory"},
    {"ar", "Is a directory"},
};

const SystemWords* SystemWordsOf(const std::string& code) {
    for (const SystemWords& words : kSystemWords) {
        if (code == words.code) return &words;
    }
    return nullptr;
}

struct Rect {
    int x, y, width, height;
    bool Overlaps(const Rect& o) const {
        return x < o.x + o.width && o.x < x + width && y < o.y + o.height && o.y < y + height;
    }
};

class LayoutCheck {
public:
    LayoutCheck(bool defaultFont, const char* screenshots)
        : defaultFont_(defaultFont), screenshots_(screenshots) {}

    void CheckLanguage(const CatalogLanguage& language);
    bool CanariesNoticed();
    const std::vector<std::string>& Findings() const { return findings_; }

private:
    void CheckWizardPage(CInstallerDlg* wizard, const char* page);
    void SaveScreenshot(GtkWidget* window, const char* name);
    void CheckBox(const char* textId, uint32_t flags, const char* title, const std::string& detail = "");
    void CheckChooser();
    void CheckChooserPlaces(GtkWidget* chooser);
    void CheckUnpackingWindow(const char* title);
    // Every shown widget under root, against the window that holds it.
    void CheckTree(GtkWidget* window, GtkWidget* root, const std::string& where);
    void CheckWidget(GtkWidget* window, GtkWidget* widget, const std::string& where);
    void CheckOverlaps(GtkWidget* window, const std::string& where);
    // Every button and check box of the window has a mnemonic, and no two
    // controls share a key; extra: keys the window answers without a label.
    void CheckMnemonics(GtkWidget* window, const std::string& where, std::vector<guint> extra = {});
    void Report(const std::string& where, GtkWidget* widget, const std::string& what);

    bool defaultFont_;
    const char* screenshots_;
    std::string language_;
    std::vector<std::string> findings_;
};

// Runs the toolkit until the window is mapped at its final size and nothing
// is left to do.
void Settle(GtkWidget* window) {
    int quietRounds = 0;
    for (int round = 0; round < 400 && quietRounds < 3; ++round) {
        bool busy = false;
        while (gtk_events_pending()) {
            gtk_main_iteration();
            busy = true;
        }
        gdk_display_sync(gdk_display_get_default());
        gint width = 0;
        gint height = 0;
        if (gtk_widget_get_mapped(window)) gdk_drawable_get_size(window->window, &width, &height);
        const bool placed = gtk_widget_get_mapped(window) && width == window->allocation.width &&
                            height == window->allocation.height;
        quietRounds = (!busy && placed) ? quietRounds + 1 : 0;
        g_usleep(2000);
    }
}

Rect InWindow(GtkWidget* window, GtkWidget* widget) {
    gint x = 0;
    gint y = 0;
    gtk_widget_translate_coordinates(widget, window, 0, 0, &x, &y);
    return Rect{x, y, widget->allocation.width, widget->allocation.height};
}

// Where the label draws its text, in the window's coordinates.
Rect TextRect(GtkWidget* window, GtkWidget* label) {
    PangoRectangle logical;
    pango_layout_get_extents(gtk_label_get_layout(GTK_LABEL(label)), nullptr, &logical);
    // Rounded as the label rounds its own request; a fraction of a pixel is no cut.
    logical.width = PANGO_PIXELS(logical.width);
    logical.height = PANGO_PIXELS(logical.height);
    gfloat xalign = 0;
    gfloat yalign = 0;
    gint xpad = 0;
    gint ypad = 0;
    gtk_misc_get_alignment(GTK_MISC(label), &xalign, &yalign);
    gtk_misc_get_padding(GTK_MISC(label), &xpad, &ypad);
    Rect area = InWindow(window, label);
    const int x = area.x + xpad + static_cast<int>((area.width - 2 * xpad - logical.width) * xalign);
    const int y = area.y + ypad + static_cast<int>((area.height - 2 * ypad - logical.height) * yalign);
    return Rect{x, y, logical.width, logical.height};
}

std::string Describe(GtkWidget* widget) {
    std::string name = G_OBJECT_TYPE_NAME(widget);
    const char* text = nullptr;
    if (GTK_IS_LABEL(widget)) text = gtk_label_get_text(GTK_LABEL(widget));
    if (GTK_IS_BUTTON(widget)) text = gtk_button_get_label(GTK_BUTTON(widget));
    if (text) name += std::string(" \"") + text + "\"";
    return name;
}

std::string Size(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

void CollectShown(GtkWidget* widget, gpointer list) {
    if (!gtk_widget_is_drawable(widget)) return;
    static_cast<std::vector<GtkWidget*>*>(list)->push_back(widget);
    // Lists, trees and scrolled areas show parts of what they hold on purpose.
    if (GTK_IS_CONTAINER(widget) && !GTK_IS_SCROLLED_WINDOW(widget))
        gtk_container_forall(GTK_CONTAINER(widget), CollectShown, list);
}

std::vector<GtkWidget*> ShownWidgets(GtkWidget* root) {
    std::vector<GtkWidget*> widgets;
    CollectShown(root, &widgets);
    return widgets;
}

bool InsideButton(GtkWidget* widget) {
    for (GtkWidget* p = gtk_widget_get_parent(widget); p; p = gtk_widget_get_parent(p))
        if (GTK_IS_BUTTON(p)) return true;
    return false;
}

GtkWidget* FindButton(GtkWidget* root, const char* label) {
    for (GtkWidget* widget : ShownWidgets(root)) {
        if (GTK_IS_BUTTON(widget) && g_strcmp0(gtk_button_get_label(GTK_BUTTON(widget)), label) == 0)
            return widget;
    }
    return nullptr;
}

GtkWidget* FindLabelHolding(GtkWidget* root, const char* part) {
    for (GtkWidget* widget : ShownWidgets(root)) {
        const char* text = GTK_IS_LABEL(widget) ? gtk_label_get_text(GTK_LABEL(widget)) : nullptr;
        if (text && std::strstr(text, part)) return widget;
    }
    return nullptr;
}

void LayoutCheck::Report(const std::string& where, GtkWidget* widget, const std::string& what) {
    findings_.push_back(language_ + " " + where + ": " + (widget ? Describe(widget) + " " : "") + what);
}

void LayoutCheck::CheckWidget(GtkWidget* window, GtkWidget* widget, const std::string& where) {
    const Rect box = InWindow(window, widget);
    if (box.x < 0 || box.y < 0 || box.x + box.width > window->allocation.width ||
        box.y + box.height > window->allocation.height) {
        Report(where, widget, "reaches outside its " + Size(window->allocation.width, window->allocation.height) +
                                  " window (at " + std::to_string(box.x) + "," + std::to_string(box.y) +
                                  ", " + Size(box.width, box.height) + ")");
    }
    // An Arabic locale must not mirror the wizard's left-to-right texts.
    if (gtk_widget_get_direction(widget) != GTK_TEXT_DIR_LTR) Report(where, widget, "is laid out right to left");
    GtkRequisition wanted;
    gtk_widget_get_child_requisition(widget, &wanted);
    if (box.width < wanted.width || box.height < wanted.height)
        Report(where, widget, "gets " + Size(box.width, box.height) + " of " + Size(wanted.width, wanted.height));
    if (!GTK_IS_LABEL(widget)) return;
    const char* text = gtk_label_get_text(GTK_LABEL(widget));
    if (text == nullptr || *text == '\0') Report(where, widget, "is empty");
    if (pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(widget)))) Report(where, widget, "is ellipsized");
    const Rect drawn = TextRect(window, widget);
    if (drawn.x < box.x || drawn.y < box.y || drawn.x + drawn.width > box.x + box.width ||
        drawn.y + drawn.height > box.y + box.height) {
        Report(where, widget, "draws " + Size(drawn.width, drawn.height) + " of text into " +
                                  Size(box.width, box.height));
    }
}

void LayoutCheck::CheckTree(GtkWidget* window, GtkWidget* root, const std::string& where) {
    for (GtkWidget* widget : ShownWidgets(root)) CheckWidget(window, widget, where);
}

// On the wizard's own layout, no text, picture, entry or button covers
// another, and no text comes nearer than the margin to the window's edge.
void LayoutCheck::CheckOverlaps(GtkWidget* window, const std::string& where) {
    constexpr int kMargin = 10;
    std::vector<std::pair<GtkWidget*, Rect>> parts;
    for (GtkWidget* widget : ShownWidgets(window)) {
        if (InsideButton(widget)) continue;
        if (GTK_IS_LABEL(widget)) {
            const Rect text = TextRect(window, widget);
            if (text.x + text.width > window->allocation.width - kMargin ||
                text.y + text.height > window->allocation.height - kMargin)
                Report(where, widget, "comes nearer than " + std::to_string(kMargin) + " px to the window's edge");
            parts.emplace_back(widget, text);
        } else if (GTK_IS_BUTTON(widget) || GTK_IS_ENTRY(widget) || GTK_IS_IMAGE(widget) ||
                   GTK_IS_PROGRESS_BAR(widget) || GTK_IS_SEPARATOR(widget)) {
            parts.emplace_back(widget, InWindow(window, widget));
        }
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        for (size_t j = i + 1; j < parts.size(); ++j) {
            if (parts[i].second.Overlaps(parts[j].second))
                Report(where, parts[i].first, "overlaps " + Describe(parts[j].first));
        }
    }
}

void LayoutCheck::CheckMnemonics(GtkWidget* window, const std::string& where, std::vector<guint> extra) {
    std::vector<std::pair<guint, GtkWidget*>> keys;
    for (guint key : extra) keys.emplace_back(key, nullptr);
    for (GtkWidget* widget : ShownWidgets(window)) {
        if (!GTK_IS_LABEL(widget)) continue;
        const guint key = gtk_label_get_mnemonic_keyval(GTK_LABEL(widget));
        // A label with no letter ("...") has its key elsewhere (extra).
        const char* text = gtk_label_get_text(GTK_LABEL(widget));
        bool hasLetter = false;
        for (const char* p = text; p && *p; p = g_utf8_next_char(p)) hasLetter = hasLetter || g_unichar_isalpha(g_utf8_get_char(p));
        const bool onControl = InsideButton(widget) && hasLetter;
        if (key == GDK_KEY_VoidSymbol) {
            if (onControl) Report(where, widget, "has no mnemonic");
            continue;
        }
        const guint lower = gdk_keyval_to_lower(key);
        for (const auto& other : keys) {
            if (other.first == lower)
                Report(where, widget, std::string("shares its mnemonic with ") +
                                          (other.second ? Describe(other.second) : "the \"...\" button"));
        }
        keys.emplace_back(lower, widget);
    }
}

void LayoutCheck::CheckWizardPage(CInstallerDlg* wizard, const char* page) {
    GtkWidget* window = wizard->GetWindow();
    Settle(window);
    CheckTree(window, window, page);
    CheckOverlaps(window, page);
    std::vector<guint> unseen;
    if (std::strcmp(page, "directory page") == 0)
        unseen.push_back(gdk_keyval_to_lower(gdk_unicode_to_keyval(WizardMnemonic("IDS_CHOOSEDIR_TITLE").key)));
    CheckMnemonics(window, page, unseen);
    if (defaultFont_ && (window->allocation.width != 500 || window->allocation.height != 360))
        Report(page, nullptr, "window is " + Size(window->allocation.width, window->allocation.height));
}

void LayoutCheck::SaveScreenshot(GtkWidget* window, const char* name) {
    if (screenshots_ == nullptr) return;
    GdkPixbuf* shot = gdk_pixbuf_get_from_drawable(nullptr, window->window, nullptr, 0, 0, 0, 0,
                                                   window->allocation.width, window->allocation.height);
    const std::string path = std::string(screenshots_) + "/" + language_ + "-" + name + ".png";
    if (shot == nullptr || !gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr))
        findings_.push_back("cannot save " + path);
    if (shot) g_object_unref(shot);
}

void LayoutCheck::CheckBox(const char* textId, uint32_t flags, const char* title, const std::string& detail) {
    GtkWidget* box = CreateMessageBox(MessageCatalog::GetUtf8(textId), flags, title, nullptr, detail.c_str());
    gtk_widget_show(box);
    Settle(box);
    CheckTree(box, box, textId);
    CheckMnemonics(box, textId);
    // The system's reason ends a refusal's detail, in the language shown.
    const SystemWords* words = SystemWordsOf(language_);
    const bool withReason = detail.find(ReasonText(EISDIR).Data()) != std::string::npos;
    if (words != nullptr && withReason && FindLabelHolding(box, words->isADirectory) == nullptr)
        Report(textId, nullptr, std::string("does not give the system's reason as \"") + words->isADirectory + "\"");
    gtk_widget_destroy(box);
}

// The chooser's places list: its title and its rows in the language shown,
// and a pane wide enough for the widest of them.
void LayoutCheck::CheckChooserPlaces(GtkWidget* chooser) {
    const char* title = MessageCatalog::GetUtf8("IDS_CHOOSER_PLACES");
    GtkTreeView* places = nullptr;
    for (GtkWidget* widget : ShownWidgets(chooser)) {
        if (GTK_IS_SCROLLED_WINDOW(widget)) {
            GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
            GtkTreeViewColumn* column = GTK_IS_TREE_VIEW(child) ? gtk_tree_view_get_column(GTK_TREE_VIEW(child), 0) : nullptr;
            if (column && g_strcmp0(gtk_tree_view_column_get_title(column), title) == 0) places = GTK_TREE_VIEW(child);
        }
    }
    if (places == nullptr) {
        Report("folder chooser", nullptr, std::string("has no places column \"") + title + "\"");
        return;
    }
    GtkTreeModel* model = gtk_tree_view_get_model(places);
    bool fileSystem = false;
    GtkTreeIter row;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more; more = gtk_tree_model_iter_next(model, &row)) {
        gchar* name = nullptr;
        gtk_tree_model_get(model, &row, 1, &name, -1);
        const std::string shown = name ? name : "";
        g_free(name);
        fileSystem = fileSystem || shown == MessageCatalog::GetUtf8("IDS_CHOOSER_FILESYSTEM");
        for (const char* english : {"Search", "Recently Used", "File System"}) {
            if (shown == english && language_ != "en" && language_ != "ar")
                Report("folder chooser", nullptr, "names a place \"" + shown + "\" in English");
        }
    }
    if (!fileSystem) Report("folder chooser", nullptr, "has no place named in the language shown");
    // The toolkit shortens a name that does not fit rather than ask for
    // room: each name and its icon must fit into the column as shown.
    GtkTreeViewColumn* column = gtk_tree_view_get_column(places, 0);
    constexpr int kIcon = 16;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more; more = gtk_tree_model_iter_next(model, &row)) {
        gchar* name = nullptr;
        gtk_tree_model_get(model, &row, 1, &name, -1);
        PangoLayout* layout = gtk_widget_create_pango_layout(GTK_WIDGET(places), name ? name : "");
        int width = 0;
        pango_layout_get_pixel_size(layout, &width, nullptr);
        g_object_unref(layout);
        if (width + kIcon > gtk_tree_view_column_get_width(column))
            Report("folder chooser", nullptr, std::string("place \"") + (name ? name : "") + "\" is cut: " +
                                                  std::to_string(width + kIcon) + " px in a column of " +
                                                  std::to_string(gtk_tree_view_column_get_width(column)));
        g_free(name);
    }
}

void LayoutCheck::CheckChooser() {
    GtkWidget* chooser = CreateFolderChooser();
    // In a folder, as the wizard opens it: with the path and its buttons.
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), g_get_tmp_dir());
    gtk_widget_show(chooser);
    Settle(chooser);
    // Its places and file lists scroll; its buttons must show whole.
    CheckTree(chooser, gtk_dialog_get_action_area(GTK_DIALOG(chooser)), "folder chooser");
    const char* createFolder = MessageCatalog::GetUtf8("IDS_CHOOSER_CREATEFOLDER");
    if (FindLabelHolding(chooser, createFolder) == nullptr)
        Report("folder chooser", nullptr, std::string("has no button \"") + createFolder + "\"");
    CheckChooserPlaces(chooser);
    gtk_widget_destroy(chooser);
}

GtkWidget* ShownToplevel(const char* title) {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = toplevels; item; item = item->next) {
        GtkWidget* window = GTK_WIDGET(item->data);
        if (gtk_widget_get_visible(window) && g_strcmp0(gtk_window_get_title(GTK_WINDOW(window)), title) == 0)
            found = window;
    }
    g_list_free(toplevels);
    return found;
}

void LayoutCheck::CheckUnpackingWindow(const char* title) {
    UnpackingWindow unpacking{NarrowString(title)};
    unpacking.ShowUnpacking(50);
    GtkWidget* window = ShownToplevel(title);
    if (window == nullptr) {
        Report("unpacking window", nullptr, "did not open");
        return;
    }
    Settle(window);
    CheckTree(window, window, "unpacking window");
}

void LayoutCheck::CheckLanguage(const CatalogLanguage& language) {
    language_ = language.code;
    MessageCatalog::SetCurrentLanguage(language.id);
    FollowCatalogLanguageInSystemTexts();
    const char* title = MessageCatalog::GetUtf8("IDR_MAINFRAME");
    CInstallerDlg wizard(false, NarrowString(title), ToWide(language.code), false);
    wizard.CreateWindow();
    wizard.ShowWelcomePage();
    CheckWizardPage(&wizard, "welcome page");
    SaveScreenshot(wizard.GetWindow(), "welcome");
    wizard.ShowDirectoryPage();
    CheckWizardPage(&wizard, "directory page");
    wizard.ShowProgressPage();
    CheckWizardPage(&wizard, "progress page");
    wizard.ShowRollingBack();
    CheckWizardPage(&wizard, "progress page rolling back");
    wizard.ShowSuccessPage(SuccessReportSample(), WideString());
    CheckWizardPage(&wizard, "success page");
    SaveScreenshot(wizard.GetWindow(), "success");
    wizard.ShowSuccessPage(SuccessReportSample(), ToWide(kUnrecordedFile));
    CheckWizardPage(&wizard, "success page, directory not recorded");
    wizard.ShowFailurePage(FailureSample(false));
    CheckWizardPage(&wizard, "failure page");
    wizard.ShowFailurePage(FailureSample(true));
    CheckWizardPage(&wizard, "failure page, files not put back");
    wizard.ShowCancelledPage(CancelledSample());
    CheckWizardPage(&wizard, "cancelled page");
    gtk_widget_destroy(wizard.GetWindow());

    CheckBox("IDS_ACCEPT_CANCEL", kMessageBoxQuestionYesNo, title);
    CheckBox("IDS_ERROR_NOSOURCE", kMessageBoxErrorOk, title,
             ContextSample("IDS_NOSOURCE_SEARCHED", "\n/home/firstname.lastname.accounting/Downloads/qbx4").c_str());
    CheckBox("IDS_ERROR_DAMAGEDSOURCE", kMessageBoxErrorOk, title,
             "/home/firstname.lastname.accounting/Downloads/qbx4/configuration-2026-accounting.tkx");
    const std::string sizes = ToUtf8(FormatPattern(MessageCatalog::GetText("IDS_NOSPACE_SIZES"),
                                                   {GroupedNumberText(4194304), GroupedNumberText(1048576)}))
                                  .Data();
    CheckBox("IDS_ERROR_NOSPACE", kMessageBoxErrorOk, title,
             (ContextSample("IDS_NOSPACE_TEMPDIR", "\n/home/firstname.lastname.accounting/tmp\n") + sizes).c_str());
    CheckBox("IDS_SETUP_EMPTYTARGET", kMessageBoxPlainOk, title);
    // The refusals of a typed directory and a failed installation name the
    // path and what the system said.
    const std::string detail =
        std::string("/home/user/.qbx4/Vq/qbx4/tmplts/Vorlagen f\xc3\xbcr die Buchhaltung 2026/\n") +
        ReasonText(EISDIR).Data();
    for (const char* refusal : {"IDS_ERROR_NOTARGET", "IDS_TARGET_RELATIVE", "IDS_TARGET_CONTROLCHAR", "IDS_TARGET_ISFILE",
                                "IDS_TARGET_CANNOTCREATE", "IDS_TARGET_NOTWRITABLE", "IDS_INSTALL_ERROR",
                                "IDS_ERROR_TEMPNOTWRITABLE"})
        CheckBox(refusal, kMessageBoxErrorOk, title, detail);
    CheckChooser();
    CheckUnpackingWindow(title);
}

// Each canary pins a widget of one page in one language to a size that cuts
// its text; the check must call every one of them cut.
bool LayoutCheck::CanariesNoticed() {
    struct Canary {
        const char* language;
        const char* page;
        void (*show)(CInstallerDlg*);
        const char* textId;  // of the widget pinned
        int width, height;
    };
    const Canary canaries[] = {
        // The Armenian Next button at 80 x 30, as it once was.
        {"hy", "welcome page with Next pinned to 80 px", [](CInstallerDlg* w) { w->ShowWelcomePage(); },
         "IDS_WIZARD_NEXT", 80, 30},
        // The German notice of an unrecorded directory in one line's height.
        {"de", "success page with its notice pinned to one line",
         [](CInstallerDlg* w) { w->ShowSuccessPage(SuccessReportSample(), ToWide(kUnrecordedFile)); },
         "IDS_ERROR_NOTRECORDED", -1, 20},
        // The Kazakh failure page, reason and path below its text, in the
        // height of the text alone.
        {"kk", "failure page with its text pinned to 150 px",
         [](CInstallerDlg* w) { w->ShowFailurePage(FailureSample(false)); }, "IDS_ERROR_FINISH", -1, 150},
        // The Russian restoring text in 150 x 20 px.
        {"ru", "rolling back with its text pinned to 150 x 20 px",
         [](CInstallerDlg* w) {
             w->ShowProgressPage();
             w->ShowRollingBack();
         },
         "IDS_PROGRESS_ROLLBACK", 150, 20},
    };
    bool all = true;
    for (const Canary& canary : canaries) {
        language_ = canary.language;
        MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage(canary.language));
        CInstallerDlg wizard(false, NarrowString(MessageCatalog::GetUtf8("IDR_MAINFRAME")), ToWide(canary.language),
                             false);
        wizard.CreateWindow();
        canary.show(&wizard);
        const char* text = MessageCatalog::GetUtf8(canary.textId);
        GtkWidget* pinned = FindButton(wizard.GetWindow(), text);
        if (pinned == nullptr) pinned = FindLabelHolding(wizard.GetWindow(), text);
        if (pinned) gtk_widget_set_size_request(pinned, canary.width, canary.height);
        wizard.ArrangeWindow();
        const size_t before = findings_.size();
        CheckWizardPage(&wizard, canary.page);
        if (pinned == nullptr || findings_.size() == before) {
            std::printf("the check did not notice the %s %s\n", canary.language, canary.page);
            all = false;
        }
        findings_.resize(before);
        gtk_widget_destroy(wizard.GetWindow());
    }
    // Back given Cancel's key: two controls on one Alt key.
    language_ = "en";
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    CInstallerDlg wizard(false, NarrowString("canary"), ToWide("en"), false);
    wizard.CreateWindow();
    wizard.ShowWelcomePage();
    GtkWidget* back = FindButton(wizard.GetWindow(), WizardMnemonic("IDS_WIZARD_BACK").label.c_str());
    if (back) gtk_button_set_label(GTK_BUTTON(back), "< Ba_ck");
    const size_t before = findings_.size();
    CheckWizardPage(&wizard, "welcome page with Back on Cancel's key");
    if (back == nullptr || findings_.size() == before) {
        std::printf("the check did not notice two controls on one key\n");
        all = false;
    }
    findings_.resize(before);
    gtk_widget_destroy(wizard.GetWindow());
    return all;
}

void CountLabelChange(GObject*, GParamSpec*, gpointer count) {
    ++*static_cast<int*>(count);
}

// A copy of many small files names each one as it passes: the file line
// must change a few times a second only (each change is news for a screen
// reader), and show the last file at the end. Empty when it does.
std::string CurrentFileFinding() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* layout = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window), layout);
    std::string finding;
    {
        ProgressPage page(layout, 400);
        int changes = 0;
        std::vector<GtkWidget*> labels;
        for (GtkWidget* widget : page.GetWidgets()) {
            gtk_container_forall(GTK_CONTAINER(widget), [](GtkWidget* w, gpointer list) {
                static_cast<std::vector<GtkWidget*>*>(list)->push_back(w);
            }, &labels);
        }
        for (GtkWidget* label : labels) {
            if (GTK_IS_LABEL(label) && label != page.TextWidget())
                g_signal_connect(label, "notify::label", G_CALLBACK(CountLabelChange), &changes);
        }
        const gint64 start = g_get_monotonic_time();
        std::string last;
        for (int i = 0; i < 1000; ++i) {
            last = "/tmp/tpl/file" + std::to_string(i) + ".cfg";
            page.SetCurrentFile(ToWide(last.c_str()));
        }
        const double seconds = (g_get_monotonic_time() - start) / 1e6;
        if (changes > 2 + static_cast<int>(seconds * 4))
            finding = "the file line changed " + std::to_string(changes) + " times for 1000 files in " +
                      std::to_string(seconds) + " s";
        page.ShowLastFile();
        bool lastShown = false;
        for (GtkWidget* label : labels) {
            if (GTK_IS_LABEL(label) && last == gtk_label_get_text(GTK_LABEL(label))) lastShown = true;
        }
        if (!lastShown) finding += (finding.empty() ? "" : "; ") + std::string("the last file is not shown at the end");
    }
    gtk_widget_destroy(window);
    return finding;
}

}  // namespace

int RunLayoutCheck(int argc, char** argv) {
    InitProcessLocale();
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("ui_layout_check: no X display\n", stderr);
        return 1;
    }
    const char* font = nullptr;
    const char* screenshots = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--font") == 0) font = argv[i + 1];
        if (std::strcmp(argv[i], "--screenshots") == 0) screenshots = argv[i + 1];
    }
    if (font) g_object_set(gtk_settings_get_default(), "gtk-font-name", font, nullptr);
    // The pointer in a corner, where it lights up no widget of a screenshot.
    gdk_display_warp_pointer(gdk_display_get_default(), gdk_screen_get_default(), 0, 0);

    LayoutCheck check(font == nullptr, screenshots);
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) check.CheckLanguage(languages[i]);
    for (const std::string& finding : check.Findings()) std::printf("%s\n", finding.c_str());
    const std::string currentFile = CurrentFileFinding();
    if (!currentFile.empty()) std::printf("progress page: %s\n", currentFile.c_str());
    const bool canary = check.CanariesNoticed();
    std::printf("%d languages, %zu findings\n", count, check.Findings().size());
    return check.Findings().empty() && currentFile.empty() && canary ? 0 : 1;
}

}  // namespace tpl

int main(int argc, char** argv) {
    return tpl::RunLayoutCheck(argc, argv);
}
