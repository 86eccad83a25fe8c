#include "ui/message_page.h"

#include <gtk/gtk.h>
#include "text/convert.h"

MessagePage::MessagePage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text)
    : WizardDialogPage(layout) {
    image_ = CreatePagePicture(layout, picture);
    AddWidget(image_);
    label_ = CreatePageLabel(layout);
    AddWidget(label_);
    SetText(text);
}

void MessagePage::SetText(const WideString& text) {
    gtk_label_set_text(GTK_LABEL(label_), ToNarrow(text).Data());
}
