#include "ui/message_box.h"

#include <gtk/gtk.h>

#include "catalog/message_catalog.h"
#include "ui/mnemonics.h"

namespace tpl {

namespace {

MnemonicRequest Request(const char* id) {
    const char* english = MessageCatalog::FindUtf8(kEnglishLanguageId, id);
    return {MessageCatalog::GetUtf8(id), english != nullptr ? english : ""};
}

}  // namespace

GtkWidget* CreateMessageBox(const char* text, uint32_t flags, const char* title, GtkWidget* parent,
                            const char* detail) {
    GtkMessageType type = GTK_MESSAGE_OTHER;
    switch (flags >> 24) {
        case 0x01: type = GTK_MESSAGE_ERROR; break;
        case 0x02: type = GTK_MESSAGE_QUESTION; break;
        default: break;
    }
    GtkWindow* owner = parent ? GTK_WINDOW(parent) : nullptr;
    // "%s" keeps the text literal: kit and worker texts may contain '%'.
    GtkWidget* box = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, type, GTK_BUTTONS_NONE, "%s", text);
    if (detail && *detail) gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(box), "%s", detail);
    // The toolkit's own buttons would follow the process locale, not the
    // language the wizard speaks.
    if ((flags & 0xFF) == 0x02) {
        // In the toolkit's own order: No left of Yes; each with its key.
        const std::vector<Mnemonic> keys = AssignMnemonics({Request("IDS_BUTTON_YES"), Request("IDS_BUTTON_NO")});
        gtk_dialog_add_button(GTK_DIALOG(box), keys[1].label.c_str(), GTK_RESPONSE_NO);
        gtk_dialog_add_button(GTK_DIALOG(box), keys[0].label.c_str(), GTK_RESPONSE_YES);
        // Enter keeps things as they are; Yes needs a deliberate choice.
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_NO);
    } else {
        gtk_dialog_add_button(GTK_DIALOG(box), AssignMnemonics({Request("IDS_BUTTON_OK")})[0].label.c_str(),
                              GTK_RESPONSE_OK);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    }
    gtk_window_set_position(GTK_WINDOW(box), owner ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    // A box of its own (an error before the wizard's window exists) is the
    // only window of the program: it must be found in the taskbar.
    if (!owner) gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box), FALSE);
    if (title) gtk_window_set_title(GTK_WINDOW(box), title);
    return box;
}

}  // namespace tpl
