#pragma once
// A wizard page: widgets placed once into the dialog's fixed layout and shown
// and hidden together. The layout owns the widgets; once the window is
// destroyed a page object must no longer be used.
#include <vector>
#include "ui/gtk_fwd.h"

class WizardDialogPage {
public:
    explicit WizardDialogPage(GtkWidget* layout) : layout_(layout) {}
    virtual ~WizardDialogPage() = default;
    WizardDialogPage(const WizardDialogPage&) = delete;
    WizardDialogPage& operator=(const WizardDialogPage&) = delete;

    // Called after the page's widgets have been shown.
    virtual void OnActivate() {}
    void AddWidget(GtkWidget* widget) { widgets_.push_back(widget); }
    const std::vector<GtkWidget*>& GetWidgets() const { return widgets_; }

protected:
    GtkWidget* layout_;

private:
    std::vector<GtkWidget*> widgets_;
};

// An empty, wrapping, top-left aligned 330 x 250 label at (170, 10) of the
// layout; the caller adds it to its page.
GtkWidget* CreatePageLabel(GtkWidget* layout);
// An image of the welcome picture at the layout's origin, hidden.
GtkWidget* CreatePagePicture(GtkWidget* layout, GdkPixbuf* picture);
