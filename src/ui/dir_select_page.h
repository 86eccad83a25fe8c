#pragma once
// The choice of the template directory: prompt, entry and folder chooser.
#include "text/cow_string.h"
#include "ui/wizard_page.h"

class DirSelectPage : public WizardDialogPage {
public:
    DirSelectPage(GtkWidget* layout, GdkPixbuf* picture);
    void OnActivate() override {}
    void SetPath(const WideString& path);
    // The entry's text; empty when the toolkit gives none.
    WideString GetPath() const;
    // The browse button's handler: a modal folder chooser.
    void Browse();

private:
    GtkWidget* image_;
    GtkWidget* prompt_;
    GtkWidget* caption_;
    GtkWidget* entry_;
    GtkWidget* browse_;
};
