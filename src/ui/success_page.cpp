#include "ui/success_page.h"

#include <gtk/gtk.h>
#include "catalog/message_catalog.h"
#include "text/convert.h"

SuccessFinalPage::SuccessFinalPage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text)
    : MessagePage(layout, picture, text) {
    NarrowString caption = ToNarrow(MessageCatalog::GetText("IDS_SUCCESS_OPENDESCR"));
    openDescription_ = gtk_check_button_new_with_label(caption.Data());
    AddWidget(openDescription_);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(openDescription_), TRUE);
    gtk_fixed_put(GTK_FIXED(layout_), openDescription_, 170, 170);
}

bool SuccessFinalPage::IsOpenDescriptionChecked() const {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(openDescription_)) != FALSE;
}
