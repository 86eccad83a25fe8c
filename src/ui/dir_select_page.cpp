#include "ui/dir_select_page.h"

#include <gtk/gtk.h>
#include <cstring>

#include "catalog/message_catalog.h"
#include "session/target_directory.h"
#include "text/path_bytes.h"
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

}  // namespace

GtkWidget* CreateFolderChooser(GtkWidget* parent) {
    // Title and buttons in the wizard's language, not the process locale's.
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        MessageCatalog::GetUtf8("IDS_CHOOSEDIR_TITLE"), parent ? GTK_WINDOW(parent) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
        MessageCatalog::GetUtf8("IDS_BROWSE_CANCEL"), GTK_RESPONSE_CANCEL,
        MessageCatalog::GetUtf8("IDS_BROWSE_OK"), GTK_RESPONSE_ACCEPT,
        static_cast<const char*>(nullptr));
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    gtk_window_set_position(GTK_WINDOW(chooser), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
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
    caption_ = gtk_label_new(MessageCatalog::GetUtf8("IDS_TEMPLATE_CATALOG"));
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
