#include "ui/wizard_page.h"

#include <gtk/gtk.h>

GtkWidget* CreatePageLabel(GtkWidget* layout) {
    GtkWidget* label = gtk_label_new(nullptr);
    // The size request also sets the width at which the label wraps.
    gtk_widget_set_size_request(label, 330, 250);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.0f);
    gtk_fixed_put(GTK_FIXED(layout), label, 170, 10);
    return label;
}

GtkWidget* CreatePagePicture(GtkWidget* layout, GdkPixbuf* picture) {
    GtkWidget* image = gtk_image_new_from_pixbuf(picture);
    gtk_fixed_put(GTK_FIXED(layout), image, 0, 0);
    return image;
}
