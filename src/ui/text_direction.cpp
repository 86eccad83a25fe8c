#include "ui/text_direction.h"

#include <gtk/gtk.h>

#include "catalog/message_catalog.h"

namespace tpl {

namespace {

bool IsRightToLeftScript(GUnicodeScript script) {
    switch (script) {
        case G_UNICODE_SCRIPT_ARABIC:
        case G_UNICODE_SCRIPT_HEBREW:
        case G_UNICODE_SCRIPT_SYRIAC:
        case G_UNICODE_SCRIPT_THAANA:
        case G_UNICODE_SCRIPT_NKO:
            return true;
        default:
            return false;
    }
}

// The script of the first letter of a UTF-8 text tells the direction of the
// language it is written in.
bool RunsRightToLeft(const char* text) {
    for (const char* p = text; *p != '\0'; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_isalpha(c)) return IsRightToLeftScript(g_unichar_get_script(c));
    }
    return false;
}

}  // namespace

void UseDirectionOfCatalogTexts() {
    // The window title is a sentence of the language, as all its texts are.
    const bool rightToLeft = RunsRightToLeft(MessageCatalog::GetUtf8("IDR_MAINFRAME"));
    gtk_widget_set_default_direction(rightToLeft ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
}

}  // namespace tpl
