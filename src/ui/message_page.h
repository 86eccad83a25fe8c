#pragma once
// Picture and text: the welcome, failure and cancelled pages.
#include "text/cow_string.h"
#include "ui/wizard_page.h"

class MessagePage : public WizardDialogPage {
public:
    MessagePage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text);
    void SetText(const WideString& text);

private:
    GtkWidget* image_;
    GtkWidget* label_;
};
