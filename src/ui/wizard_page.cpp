#include "ui/wizard_page.h"

#include <gtk/gtk.h>

namespace tpl {

namespace {

// Runs after the widget has computed what its contents need.
void KeepMinimumSize(GtkWidget*, GtkRequisition* requisition, gpointer packed) {
    const guint size = GPOINTER_TO_UINT(packed);
    requisition->width = MAX(requisition->width, static_cast<gint>(size >> 16));
    requisition->height = MAX(requisition->height, static_cast<gint>(size & 0xFFFF));
}

}  // namespace

void SetMinimumSize(GtkWidget* widget, int width, int height) {
    const guint packed = (static_cast<guint>(width) << 16) | static_cast<guint>(height);
    g_signal_connect_after(widget, "size-request", G_CALLBACK(KeepMinimumSize), GUINT_TO_POINTER(packed));
}

void WrapLabel(GtkWidget* label, int width) {
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    // The width request is also the width at which the label breaks lines.
    gtk_widget_set_size_request(label, width, -1);
}

GtkWidget* CreatePageColumn(GtkWidget* layout) {
    GtkWidget* column = gtk_vbox_new(FALSE, 3);
    gtk_widget_set_size_request(column, kTextColumnWidth, -1);
    gtk_fixed_put(GTK_FIXED(layout), column, kTextColumnLeft, kWizardMargin);
    return column;
}

GtkWidget* AddPageLabel(GtkWidget* box, int width, int minHeight) {
    GtkWidget* label = gtk_label_new(nullptr);
    WrapLabel(label, width);
    if (minHeight > 0) SetMinimumSize(label, 0, minHeight);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.0f);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    gtk_widget_show(label);
    return label;
}

GtkWidget* CreatePagePicture(GtkWidget* layout, GdkPixbuf* picture) {
    GtkWidget* image = gtk_image_new_from_pixbuf(picture);
    // The picture carries no information: screen readers should pass it by.
    atk_object_set_role(gtk_widget_get_accessible(image), ATK_ROLE_REDUNDANT_OBJECT);
    gtk_fixed_put(GTK_FIXED(layout), image, 0, 0);
    return image;
}

}  // namespace tpl
