#include "ui/unpacking_window.h"

#include <gtk/gtk.h>

#include "catalog/message_catalog.h"
#include "ui/images/icon.xpm.h"
#include "ui/window_title.h"

namespace tpl {

namespace {

constexpr guint kEscapeKey = 0xFF1B;
constexpr gint kBarWidth = 300;

void OnCancelClicked(GtkButton*, gpointer window) { static_cast<UnpackingWindow*>(window)->Stop(); }

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer window) {
    // The window stays until the unpacking has ended and the kit is released.
    static_cast<UnpackingWindow*>(window)->Stop();
    return TRUE;
}

gboolean OnKeyPressEvent(GtkWidget*, GdkEventKey* event, gpointer window) {
    if (event->keyval != kEscapeKey) return FALSE;
    static_cast<UnpackingWindow*>(window)->Stop();
    return TRUE;
}

}  // namespace

UnpackingWindow::UnpackingWindow(const NarrowString& title) : title_(title) {}

UnpackingWindow::~UnpackingWindow() {
    if (window_ != nullptr) {
        gtk_widget_destroy(window_);
        // Let the unmap reach the X server before anything else is shown.
        while (gtk_events_pending()) gtk_main_iteration();
    }
    if (icon_ != nullptr) g_object_unref(icon_);
}

void UnpackingWindow::Create() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    // The loader only reads the rows; its signature predates const.
    icon_ = gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(kIconXpm));
    gtk_window_set_icon(window, icon_);
    gtk_container_set_border_width(GTK_CONTAINER(window_), 12);

    GtkWidget* box = gtk_vbox_new(FALSE, 8);
    gtk_container_add(GTK_CONTAINER(window_), box);
    GtkWidget* label = gtk_label_new(MessageCatalog::GetUtf8("IDS_PREPARECOPY"));
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    bar_ = gtk_progress_bar_new();
    // Read out as what it measures.
    atk_object_set_name(gtk_widget_get_accessible(bar_), MessageCatalog::GetUtf8("IDS_PREPARECOPY"));
    gtk_widget_set_size_request(bar_, kBarWidth, 20);
    gtk_box_pack_start(GTK_BOX(box), bar_, FALSE, FALSE, 0);
    GtkWidget* buttons = gtk_hbutton_box_new();
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    GtkWidget* cancel = gtk_button_new_with_label(MessageCatalog::GetUtf8("IDS_WIZARD_CANCEL"));
    gtk_container_add(GTK_CONTAINER(buttons), cancel);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);

    g_signal_connect(cancel, "clicked", G_CALLBACK(OnCancelClicked), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
    g_signal_connect(window_, "key_press_event", G_CALLBACK(OnKeyPressEvent), this);
    SetWindowTitle(window_, title_.Data());
    gtk_widget_show_all(window_);
}

bool UnpackingWindow::ShowUnpacking(int32_t percent) {
    if (window_ == nullptr) Create();
    double fraction = percent / 100.0;
    if (fraction < 0.0) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), fraction);
    while (gtk_events_pending()) gtk_main_iteration();
    return !stopped_;
}

}  // namespace tpl
