#include "ui/progress_page.h"

#include <gtk/gtk.h>
#include "catalog/message_catalog.h"

namespace {
// The status line starts 130 pixels down; the bar follows it.
constexpr int kStatusTop = 130;
constexpr int kBarHeight = 20;
}  // namespace

ProgressPage::ProgressPage(GtkWidget* layout, int32_t barWidth) : WizardDialogPage(layout) {
    GtkWidget* box = gtk_vbox_new(FALSE, 3);
    AddWidget(box);
    gtk_fixed_put(GTK_FIXED(layout_), box, kWizardMargin, kStatusTop);
    status_ = AddPageLabel(box, barWidth, 0);
    bar_ = gtk_progress_bar_new();
    gtk_widget_set_size_request(bar_, barWidth, -1);
    SetMinimumSize(bar_, 0, kBarHeight);
    gtk_box_pack_start(GTK_BOX(box), bar_, FALSE, FALSE, 0);
    gtk_widget_show(bar_);
    startText_ = MessageCatalog::GetUtf8("IDS_PROGRESS_START");
    finishText_ = MessageCatalog::GetUtf8("IDS_INSTALL_FINISH");
    SetPercent(0);
}

void ProgressPage::SetPercent(int32_t percent) {
    const NarrowString& text = percent == 100 ? finishText_ : startText_;
    gtk_label_set_text(GTK_LABEL(status_), text.Data());
    // The bar refuses fractions outside 0..1; the worker never posts them,
    // but a clamp keeps a stray value from flooding the log with warnings.
    double fraction = percent / 100.0;
    if (fraction < 0.0) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), fraction);
}
