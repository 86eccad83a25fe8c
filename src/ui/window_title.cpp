#include "ui/window_title.h"

#include <gtk/gtk.h>
#include <cstring>

namespace tpl {

void SetWindowTitle(GtkWidget* window, const char* title) {
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_widget_realize(window);
    const GdkAtom name = gdk_atom_intern_static_string("WM_NAME");
    GdkAtom type = GDK_NONE;
    gint format = 0;
    gint length = 0;
    guchar* data = nullptr;
    if (gdk_property_get(window->window, name, GDK_NONE, 0, 1, FALSE, &type, &format, &length, &data)) {
        g_free(data);
        if (type != GDK_NONE) return;
    }
    gdk_property_change(window->window, name, gdk_atom_intern_static_string("UTF8_STRING"), 8,
                        GDK_PROP_MODE_REPLACE, reinterpret_cast<const guchar*>(title),
                        static_cast<gint>(std::strlen(title)));
}

}  // namespace tpl
