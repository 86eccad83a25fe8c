#include "ui/dir_select_page.h"

#include <gtk/gtk.h>
#include "catalog/message_catalog.h"
#include "text/convert.h"
#include "ui/open_dialogs.h"

namespace {

void OnBrowseClicked(GtkButton*, gpointer page) {
    static_cast<DirSelectPage*>(page)->Browse();
}

GtkWidget* CreateCatalogLabel(const char* id) {
    return gtk_label_new(ToNarrow(MessageCatalog::GetText(id)).Data());
}

}  // namespace

DirSelectPage::DirSelectPage(GtkWidget* layout, GdkPixbuf* picture) : WizardDialogPage(layout) {
    image_ = CreatePagePicture(layout, picture);
    AddWidget(image_);

    prompt_ = CreatePageLabel(layout);
    AddWidget(prompt_);
    gtk_label_set_text(GTK_LABEL(prompt_),
                       ToNarrow(MessageCatalog::GetText("IDS_DESTINATION_PROMPT")).Data());

    caption_ = CreateCatalogLabel("IDS_TEMPLATE_CATALOG");
    AddWidget(caption_);
    gtk_fixed_put(GTK_FIXED(layout_), caption_, 170, 255);

    entry_ = gtk_entry_new();
    AddWidget(entry_);
    gtk_widget_set_size_request(entry_, 280, 30);
    gtk_fixed_put(GTK_FIXED(layout_), entry_, 170, 275);

    browse_ = gtk_button_new_with_label("...");
    AddWidget(browse_);
    gtk_widget_set_size_request(browse_, 30, 30);
    gtk_fixed_put(GTK_FIXED(layout_), browse_, 460, 275);
    g_signal_connect(browse_, "clicked", G_CALLBACK(OnBrowseClicked), this);
}

void DirSelectPage::SetPath(const WideString& path) {
    gtk_entry_set_text(GTK_ENTRY(entry_), ToNarrow(path).Data());
}

WideString DirSelectPage::GetPath() const {
    const gchar* text = gtk_entry_get_text(GTK_ENTRY(entry_));
    return text ? ToWide(NarrowString(text)) : WideString();
}

void DirSelectPage::Browse() {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        nullptr, nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
        GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL,
        GTK_STOCK_OPEN, GTK_RESPONSE_ACCEPT,
        static_cast<const char*>(nullptr));
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    gint response = GTK_RESPONSE_NONE;
    {
        OpenDialogScope open(chooser);
        response = gtk_dialog_run(GTK_DIALOG(chooser));
    }
    if (response == GTK_RESPONSE_ACCEPT) {
        gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        // The file system's own spelling goes into the entry unconverted.
        if (folder) gtk_entry_set_text(GTK_ENTRY(entry_), folder);
        g_free(folder);
    }
    gtk_widget_destroy(chooser);
}
