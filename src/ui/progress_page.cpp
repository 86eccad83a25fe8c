#include "ui/progress_page.h"

#include <gtk/gtk.h>
#include "catalog/message_catalog.h"
#include "text/convert.h"

ProgressPage::ProgressPage(GtkWidget* layout, int32_t barWidth) : WizardDialogPage(layout) {
    status_ = gtk_label_new(nullptr);
    AddWidget(status_);
    gtk_fixed_put(GTK_FIXED(layout_), status_, 10, 130);
    bar_ = gtk_progress_bar_new();
    AddWidget(bar_);
    gtk_widget_set_size_request(bar_, barWidth, 20);
    gtk_fixed_put(GTK_FIXED(layout_), bar_, 10, 150);
    startText_ = ToNarrow(MessageCatalog::GetText("IDS_PROGRESS_START"));
    finishText_ = ToNarrow(MessageCatalog::GetText("IDS_INSTALL_FINISH"));
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
