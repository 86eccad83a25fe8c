#include "ui/dir_select_page.h"

#include <gtk/gtk.h>
#include <cstring>
#include <vector>

#include "catalog/message_catalog.h"
#include "session/target_directory.h"
#include "text/path_bytes.h"
#include "ui/mnemonics.h"
#include "ui/open_dialogs.h"
#include "ui/path_display.h"

namespace tpl {

namespace {

// The column reaches down to y = 305, the entry's lower edge; a larger font
// lengthens it.
constexpr int kColumnHeight = 295;
constexpr int kBrowseSize = 30;

void OnBrowseClicked(GtkButton*, gpointer page) {
    static_cast<DirSelectPage*>(page)->Browse();
}

// The toolkit's words in the chooser that the system's catalogs lack in
// several of the wizard's languages.
struct ChooserWord {
    const char* toolkit;  // as the toolkit writes it, before translation
    const char* id;
};
constexpr ChooserWord kPlaceRows[] = {
    {"Search", "IDS_CHOOSER_SEARCH"},
    {"Recently Used", "IDS_CHOOSER_RECENT"},
    {"File System", "IDS_CHOOSER_FILESYSTEM"},
};

// Select, Cancel and Create Folder, each with a key of its own.
std::vector<Mnemonic> ChooserButtons() {
    return AssignMnemonics({{MessageCatalog::GetUtf8("IDS_BROWSE_OK"), "Select"},
                            {MessageCatalog::GetUtf8("IDS_BROWSE_CANCEL"), "Cancel"},
                            {MessageCatalog::GetUtf8("IDS_CHOOSER_CREATEFOLDER"), "Create Folder"}});
}

const char* ToolkitText(const char* text) {
    return g_dgettext("gtk20", text);
}

void CollectDescendants(GtkWidget* widget, gpointer list) {
    static_cast<std::vector<GtkWidget*>*>(list)->push_back(widget);
    if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), CollectDescendants, list);
}

// The toolkit keeps each place's name in the second column of its list.
constexpr gint kPlaceNameColumn = 1;

// A row named by the toolkit itself gets the catalog's name. (Setting it
// changes the row again, with a name no longer the toolkit's.)
void RenamePlace(GtkTreeModel* model, GtkTreePath*, GtkTreeIter* row, gpointer) {
    gchar* name = nullptr;
    gtk_tree_model_get(model, row, kPlaceNameColumn, &name, -1);
    for (const ChooserWord& word : kPlaceRows) {
        if (name != nullptr && std::strcmp(name, ToolkitText(word.toolkit)) == 0 &&
            std::strcmp(name, MessageCatalog::GetUtf8(word.id)) != 0)
            gtk_list_store_set(GTK_LIST_STORE(model), row, kPlaceNameColumn, MessageCatalog::GetUtf8(word.id), -1);
    }
    g_free(name);
}

// The places column: its title and the rows the toolkit names itself.
void RenamePlaces(GtkTreeView* view) {
    GtkTreeViewColumn* column = gtk_tree_view_get_column(view, 0);
    // Its header is hidden, but a screen reader reads the title.
    const char* title = column != nullptr ? gtk_tree_view_column_get_title(column) : nullptr;
    if (g_strcmp0(title, ToolkitText("_Places")) != 0 && g_strcmp0(title, ToolkitText("Places")) != 0) return;
    gtk_tree_view_column_set_title(column, MessageCatalog::GetUtf8("IDS_CHOOSER_PLACES"));
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    if (GTK_IS_TREE_MODEL_FILTER(model)) model = gtk_tree_model_filter_get_model(GTK_TREE_MODEL_FILTER(model));
    if (!GTK_IS_LIST_STORE(model) || gtk_tree_model_get_n_columns(model) <= kPlaceNameColumn ||
        gtk_tree_model_get_column_type(model, kPlaceNameColumn) != G_TYPE_STRING)
        return;
    GtkTreeIter row;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more; more = gtk_tree_model_iter_next(model, &row))
        RenamePlace(model, nullptr, &row, nullptr);
    // The toolkit adds and renames places later too (the file system's, as
    // the volumes are read).
    g_signal_connect(model, "row-changed", G_CALLBACK(RenamePlace), nullptr);
}

// The width of the widest place name in the list's font, in pixels.
int WidestPlaceName(GtkTreeView* places) {
    int widest = 0;
    GtkTreeModel* model = gtk_tree_view_get_model(places);
    GtkTreeIter row;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more; more = gtk_tree_model_iter_next(model, &row)) {
        gchar* name = nullptr;
        gtk_tree_model_get(model, &row, kPlaceNameColumn, &name, -1);
        if (name != nullptr) {
            PangoLayout* layout = gtk_widget_create_pango_layout(GTK_WIDGET(places), name);
            int width = 0;
            pango_layout_get_pixel_size(layout, &width, nullptr);
            widest = MAX(widest, width);
            g_object_unref(layout);
        }
        g_free(name);
    }
    return widest;
}

// The chooser in the wizard's words, its places pane as wide as its widest name.
void UseCatalogWordsInChooser(GtkWidget* chooser) {
    std::vector<GtkWidget*> widgets;
    CollectDescendants(chooser, &widgets);
    for (GtkWidget* widget : widgets) {
        if (GTK_IS_TREE_VIEW(widget)) RenamePlaces(GTK_TREE_VIEW(widget));
        if (GTK_IS_BUTTON(widget) &&
            g_strcmp0(gtk_button_get_label(GTK_BUTTON(widget)), ToolkitText("Create Fo_lder")) == 0) {
            gtk_button_set_use_underline(GTK_BUTTON(widget), TRUE);
            gtk_button_set_label(GTK_BUTTON(widget), ChooserButtons()[2].label.c_str());
        }
    }
    GtkTreeView* places = nullptr;
    for (GtkWidget* widget : widgets) {
        if (GTK_IS_TREE_VIEW(widget) && gtk_tree_view_get_column(GTK_TREE_VIEW(widget), 0) != nullptr &&
            g_strcmp0(gtk_tree_view_column_get_title(gtk_tree_view_get_column(GTK_TREE_VIEW(widget), 0)),
                      MessageCatalog::GetUtf8("IDS_CHOOSER_PLACES")) == 0)
            places = GTK_TREE_VIEW(widget);
    }
    for (GtkWidget* widget : widgets) {
        if (!GTK_IS_PANED(widget) || places == nullptr) continue;
        // The toolkit shortens the names to its own narrow pane; the pane
        // takes the widest name, its icon, the scroll bar and the frames.
        constexpr int kBesideTheName = 60;
        const int wanted = WidestPlaceName(places) + kBesideTheName;
        if (gtk_paned_get_position(GTK_PANED(widget)) < wanted) gtk_paned_set_position(GTK_PANED(widget), wanted);
    }
}

}  // namespace

GtkWidget* CreateFolderChooser(GtkWidget* parent) {
    // Title and buttons in the wizard's language, not the process locale's.
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        MessageCatalog::GetUtf8("IDS_CHOOSEDIR_TITLE"), parent ? GTK_WINDOW(parent) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
        ChooserButtons()[1].label.c_str(), GTK_RESPONSE_CANCEL,
        ChooserButtons()[0].label.c_str(), GTK_RESPONSE_ACCEPT,
        static_cast<const char*>(nullptr));
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    gtk_window_set_position(GTK_WINDOW(chooser), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    UseCatalogWordsInChooser(chooser);
    return chooser;
}

DirSelectPage::DirSelectPage(GtkWidget* layout, GdkPixbuf* picture) : WizardDialogPage(layout) {
    image_ = CreatePagePicture(layout, picture);
    AddWidget(image_);

    GtkWidget* column = CreatePageColumn(layout);
    AddWidget(column);
    SetMinimumSize(column, 0, kColumnHeight);
    prompt_ = AddPageLabel(column, kTextColumnWidth, 0);
    gtk_label_set_text(GTK_LABEL(prompt_), MessageCatalog::GetUtf8("IDS_DESTINATION_PROMPT"));

    // At the foot of the column: the caption, and the entry filling the row
    // left of the square browse button.
    GtkWidget* row = gtk_hbox_new(FALSE, kWizardMargin);
    gtk_box_pack_end(GTK_BOX(column), row, FALSE, FALSE, 0);
    caption_ = gtk_label_new_with_mnemonic(WizardMnemonic("IDS_TEMPLATE_CATALOG").label.c_str());
    WrapLabel(caption_, kTextColumnWidth);
    gtk_misc_set_alignment(GTK_MISC(caption_), 0.0f, 0.0f);
    gtk_box_pack_end(GTK_BOX(column), caption_, FALSE, FALSE, 0);
    gtk_widget_show(caption_);
    entry_ = gtk_entry_new();
    SetMinimumSize(entry_, 0, kBrowseSize);
    // Enter in the entry is Next, the dialog's default button.
    gtk_entry_set_activates_default(GTK_ENTRY(entry_), TRUE);
    // The caption names the entry for screen readers (the labelled-by relation).
    gtk_label_set_mnemonic_widget(GTK_LABEL(caption_), entry_);
    atk_object_set_name(gtk_widget_get_accessible(entry_), MessageCatalog::GetUtf8("IDS_TEMPLATE_CATALOG"));
    gtk_box_pack_start(GTK_BOX(row), entry_, TRUE, TRUE, 0);
    browse_ = gtk_button_new_with_label("...");
    SetMinimumSize(browse_, kBrowseSize, kBrowseSize);
    atk_object_set_name(gtk_widget_get_accessible(browse_), MessageCatalog::GetUtf8("IDS_CHOOSEDIR_TITLE"));
    gtk_widget_set_tooltip_text(browse_, MessageCatalog::GetUtf8("IDS_CHOOSEDIR_TITLE"));
    // The tooltip would be read again as the description of the name.
    atk_object_set_description(gtk_widget_get_accessible(browse_), "");
    // "..." has no letter to underline: the key works unseen, and the
    // tooltip names the button.
    GtkWidget* window = gtk_widget_get_toplevel(layout);
    const Mnemonic browseKey = WizardMnemonic("IDS_CHOOSEDIR_TITLE");
    if (GTK_IS_WINDOW(window) && browseKey.key != 0) {
        keyWindow_ = window;
        browseKey_ = gdk_unicode_to_keyval(browseKey.key);
        gtk_window_add_mnemonic(GTK_WINDOW(window), browseKey_, browse_);
        // Taken back while the window still stands: it goes first.
        g_signal_connect(browse_, "destroy", G_CALLBACK(+[](GtkWidget* button, gpointer page) {
            auto* self = static_cast<DirSelectPage*>(page);
            if (self->keyWindow_) gtk_window_remove_mnemonic(GTK_WINDOW(self->keyWindow_), self->browseKey_, button);
            self->keyWindow_ = nullptr;
        }), this);
    }
    gtk_box_pack_start(GTK_BOX(row), browse_, FALSE, FALSE, 0);
    g_signal_connect(browse_, "clicked", G_CALLBACK(OnBrowseClicked), this);
    gtk_widget_show_all(row);
}

void DirSelectPage::SetPath(const WideString& path) {
    shownPath_ = path;
    shownText_ = PathForDisplay(path);
    gtk_entry_set_text(GTK_ENTRY(entry_), shownText_.Data());
}

WideString DirSelectPage::GetPath() const {
    const gchar* text = gtk_entry_get_text(GTK_ENTRY(entry_));
    if (text == nullptr) return WideString();
    if (std::strcmp(text, shownText_.Data()) == 0) return shownPath_;
    return PathFromDisplay(text);
}

void DirSelectPage::Browse() {
    GtkWidget* toplevel = gtk_widget_get_toplevel(entry_);
    GtkWidget* chooser = CreateFolderChooser(GTK_IS_WINDOW(toplevel) ? toplevel : nullptr);
    // Open where the entry points, not at the recently used files.
    // The chooser takes the file system's bytes, as the file layer spells them.
    const NarrowString start = PathToBytes(NearestExistingDirectory(GetPath()));
    if (!start.Empty()) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), start.Data());
    gint response = GTK_RESPONSE_NONE;
    {
        OpenDialogScope open(chooser);
        response = gtk_dialog_run(GTK_DIALOG(chooser));
    }
    if (response == GTK_RESPONSE_ACCEPT) {
        gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        // The chooser gives the file system's bytes; the entry shows them as text.
        if (folder) SetPath(PathFromFileSystem(folder));
        g_free(folder);
    }
    gtk_widget_destroy(chooser);
    gtk_widget_grab_focus(entry_);
}

}  // namespace tpl
