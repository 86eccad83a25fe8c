#pragma once
// Picture and text: the welcome, failure and cancelled pages.
#include "text/cow_string.h"
#include "ui/wizard_page.h"

namespace tpl {

class MessagePage : public WizardDialogPage {
public:
    MessagePage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text);
    void SetText(const WideString& text);
    GtkWidget* TextWidget() const override { return label_; }

protected:
    // The text keeps at least textHeight pixels of the column.
    MessagePage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text, int textHeight);
    GtkWidget* Column() const { return column_; }

private:
    GtkWidget* image_;
    GtkWidget* column_;
    GtkWidget* label_;
};

}  // namespace tpl
