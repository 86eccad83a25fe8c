#pragma once
// A wizard page: widgets placed once into the dialog's fixed layout and shown
// and hidden together. The layout owns the widgets; once the window is
// destroyed a page object must no longer be used.
#include <vector>
#include "ui/gtk_fwd.h"

namespace tpl {

// The wizard's geometry at the default font: the window, its margin and the
// text column right of the picture.
constexpr int kWizardWidth = 500;
constexpr int kWizardHeight = 360;
constexpr int kWizardMargin = 10;
constexpr int kTextColumnLeft = 170;
constexpr int kTextColumnWidth = kWizardWidth - kTextColumnLeft - kWizardMargin;

class WizardDialogPage {
public:
    explicit WizardDialogPage(GtkWidget* layout) : layout_(layout) {}
    virtual ~WizardDialogPage() = default;
    WizardDialogPage(const WizardDialogPage&) = delete;
    WizardDialogPage& operator=(const WizardDialogPage&) = delete;

    // Called after the page's widgets have been shown.
    virtual void OnActivate() {}
    // The control that takes the keyboard focus when the page is shown; null
    // leaves it to the dialog (Next or Finish, else Cancel).
    virtual GtkWidget* FocusWidget() const { return nullptr; }
    // The label whose text a screen reader should read on arrival; may be null.
    virtual GtkWidget* TextWidget() const { return nullptr; }
    void AddWidget(GtkWidget* widget) { widgets_.push_back(widget); }
    const std::vector<GtkWidget*>& GetWidgets() const { return widgets_; }

protected:
    GtkWidget* layout_;

private:
    std::vector<GtkWidget*> widgets_;
};

// The text column right of the picture at (170, 10): a hidden box whose
// contents stack downwards, each 3 pixels below the one before; the caller
// adds it to its page.
GtkWidget* CreatePageColumn(GtkWidget* layout);
// An empty, wrapping, top-left aligned label at the end of a column (or any
// box) of the given width. It keeps at least minHeight pixels, so that what
// follows stays in place, and grows when its text needs more.
GtkWidget* AddPageLabel(GtkWidget* box, int width, int minHeight);
// The widget asks for at least width x height pixels, and for more when its
// contents need more (a longer text, a larger font). Once per widget.
void SetMinimumSize(GtkWidget* widget, int width, int height);
// Lets a label break its text into lines of at most width pixels; it then
// asks for the height of all its lines.
void WrapLabel(GtkWidget* label, int width);
// An image of the welcome picture at the layout's origin, hidden; marked as
// decoration for screen readers.
GtkWidget* CreatePagePicture(GtkWidget* layout, GdkPixbuf* picture);

}  // namespace tpl
