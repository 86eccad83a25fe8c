#include "ui/progress_page.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "catalog/message_catalog.h"
#include "ui/path_display.h"

namespace tpl {

namespace {
// The status line starts 130 pixels down; the bar and the file follow it.
constexpr int kStatusTop = 130;
constexpr int kBarHeight = 20;
// Four names a second: readable, and few enough for a screen reader.
constexpr int64_t kFileIntervalMicroseconds = 250 * 1000;
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
    // One line, shortened in the middle: the start and the file name both
    // tell the user something.
    file_ = gtk_label_new(nullptr);
    gtk_widget_set_size_request(file_, barWidth, -1);
    gtk_misc_set_alignment(GTK_MISC(file_), 0.0f, 0.5f);
    gtk_label_set_ellipsize(GTK_LABEL(file_), PANGO_ELLIPSIZE_MIDDLE);
    // Shown once there is a file to name.
    gtk_box_pack_start(GTK_BOX(box), file_, FALSE, FALSE, 0);
    startText_ = MessageCatalog::GetUtf8("IDS_PROGRESS_START");
    finishText_ = MessageCatalog::GetUtf8("IDS_INSTALL_FINISH");
    SetPercent(0);
}

void ProgressPage::SetStatusText(const NarrowString& text) {
    // Unchanged texts are not set again: every change is an event for
    // screen readers, and the page is refreshed many times a second.
    if (shownText_ == text) return;
    shownText_ = text;
    gtk_label_set_text(GTK_LABEL(status_), text.Data());
    atk_object_set_name(gtk_widget_get_accessible(bar_), text.Data());
}

void ProgressPage::SetPercent(int32_t percent) {
    if (!rollingBack_) SetStatusText(percent == 100 ? finishText_ : startText_);
    // The bar refuses values outside its range; the worker never posts them,
    // but a clamp keeps a stray value from flooding the log with warnings.
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    // The value is set as the whole number it is (the range is 0..100), so
    // that the accessible value reads 55 and not 55.00000000000001.
    gtk_progress_set_value(GTK_PROGRESS(bar_), percent);
    char text[16];
    std::snprintf(text, sizeof text, "%d %%", static_cast<int>(percent));
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(bar_), text);
}

void ProgressPage::SetCurrentFile(const WideString& path) {
    if (rollingBack_) return;
    // Shown as text: a byte the display cannot show must not blank the line.
    lastFile_ = PathForDisplay(path);
    const int64_t now = g_get_monotonic_time();
    if (now - fileShownAt_ < kFileIntervalMicroseconds && !lastFile_.Empty()) return;
    ShowFile(lastFile_);
}

void ProgressPage::ShowLastFile() {
    if (!rollingBack_) ShowFile(lastFile_);
}

void ProgressPage::ShowFile(const NarrowString& text) {
    const gchar* shown = gtk_label_get_text(GTK_LABEL(file_));
    if (shown && text == NarrowString(shown)) return;
    fileShownAt_ = g_get_monotonic_time();
    gtk_label_set_text(GTK_LABEL(file_), text.Data());
    gtk_widget_set_visible(file_, !text.Empty());
}

void ProgressPage::ShowRollback() {
    rollingBack_ = true;
    SetStatusText(NarrowString(MessageCatalog::GetUtf8("IDS_PROGRESS_ROLLBACK")));
    gtk_label_set_text(GTK_LABEL(file_), "");
    gtk_widget_hide(file_);
}

}  // namespace tpl
