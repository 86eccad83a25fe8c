#include "ui/message_box.h"

#include <gtk/gtk.h>

GtkWidget* CreateMessageBox(const char* text, uint32_t flags, const char* title) {
    GtkMessageType type = GTK_MESSAGE_OTHER;
    switch (flags >> 24) {
        case 0x01: type = GTK_MESSAGE_ERROR; break;
        case 0x02: type = GTK_MESSAGE_QUESTION; break;
        default: break;
    }
    GtkButtonsType buttons = (flags & 0xFF) == 0x02 ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK;
    // "%s" keeps the text literal: kit and worker texts may contain '%'.
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, buttons, "%s", text);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    if (title) gtk_window_set_title(GTK_WINDOW(box), title);
    return box;
}
