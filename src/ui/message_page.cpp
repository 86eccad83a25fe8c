#include "ui/message_page.h"

#include <gtk/gtk.h>
#include "text/utf8.h"
#include "ui/path_display.h"

namespace tpl {

MessagePage::MessagePage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text)
    : MessagePage(layout, picture, text, 0) {}

MessagePage::MessagePage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text, int textHeight)
    : WizardDialogPage(layout) {
    image_ = CreatePagePicture(layout, picture);
    AddWidget(image_);
    column_ = CreatePageColumn(layout);
    AddWidget(column_);
    label_ = AddPageLabel(column_, kTextColumnWidth, textHeight);
    SetText(text);
}

void MessagePage::SetText(const WideString& text) {
    gtk_label_set_text(GTK_LABEL(label_), ToUtf8(PathLinesBreakAfterSlashes(text)).Data());
}

}  // namespace tpl
