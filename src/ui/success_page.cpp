#include "ui/success_page.h"

#include <gtk/gtk.h>
#include "catalog/message_catalog.h"
#include "ui/mnemonics.h"

namespace tpl {

namespace {
// The check box starts 170 pixels down, or lower below a longer text.
constexpr int kTextHeight = 157;
}  // namespace

SuccessFinalPage::SuccessFinalPage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text)
    : MessagePage(layout, picture, text, kTextHeight) {
    openDescription_ = gtk_check_button_new_with_mnemonic(WizardMnemonic("IDS_SUCCESS_OPENDESCR").label.c_str());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(openDescription_), TRUE);
    // The caption wraps inside the text column, beside its indicator.
    GtkWidget* caption = gtk_bin_get_child(GTK_BIN(openDescription_));
    gint indicatorSize = 0;
    gint indicatorSpacing = 0;
    gint focusWidth = 0;
    gint focusPadding = 0;
    gtk_widget_style_get(openDescription_, "indicator-size", &indicatorSize, "indicator-spacing",
                         &indicatorSpacing, "focus-line-width", &focusWidth, "focus-padding",
                         &focusPadding, nullptr);
    const int frame = gtk_container_get_border_width(GTK_CONTAINER(openDescription_));
    const int beside = indicatorSize + 3 * indicatorSpacing + 2 * (focusWidth + focusPadding + frame);
    WrapLabel(caption, kTextColumnWidth - beside);
    gtk_box_pack_start(GTK_BOX(Column()), openDescription_, FALSE, FALSE, 0);
    gtk_widget_show(openDescription_);
}

bool SuccessFinalPage::IsOpenDescriptionChecked() const {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(openDescription_)) != FALSE;
}

}  // namespace tpl
