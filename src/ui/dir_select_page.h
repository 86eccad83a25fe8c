#pragma once
// The choice of the template directory: prompt, entry and folder chooser.
#include "text/cow_string.h"
#include "ui/wizard_page.h"

namespace tpl {

class DirSelectPage : public WizardDialogPage {
public:
    DirSelectPage(GtkWidget* layout, GdkPixbuf* picture);
    GtkWidget* FocusWidget() const override { return entry_; }
    GtkWidget* TextWidget() const override { return prompt_; }
    void SetPath(const WideString& path);
    // The entry's text as a path; empty when the toolkit gives none.
    WideString GetPath() const;
    // The browse button's handler: a modal folder chooser.
    void Browse();

private:
    GtkWidget* image_;
    GtkWidget* prompt_;
    GtkWidget* caption_;
    GtkWidget* entry_;
    GtkWidget* browse_;
    // The window that answers the "..." button's key, until the button goes.
    GtkWidget* keyWindow_ = nullptr;
    unsigned int browseKey_ = 0;
    // The path last put into the entry and the text that shows it: while
    // the user leaves the text alone, the path comes back exactly, even
    // where its display had to replace a character.
    WideString shownPath_;
    NarrowString shownText_;
};

// The folder chooser the browse button opens, not yet run; the caller runs
// and destroys it. Title and buttons come from the catalog; with a parent it
// belongs to that window and is centred on it.
GtkWidget* CreateFolderChooser(GtkWidget* parent = nullptr);

}  // namespace tpl
