#include "ui/open_dialogs.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

namespace tpl {

namespace {
// Innermost last. Only the GUI thread runs dialogs.
std::vector<GtkWidget*>& OpenDialogs() {
    static std::vector<GtkWidget*> dialogs;
    return dialogs;
}
}  // namespace

OpenDialogScope::OpenDialogScope(GtkWidget* dialog) : dialog_(dialog) {
    OpenDialogs().push_back(dialog);
}

OpenDialogScope::~OpenDialogScope() {
    auto& dialogs = OpenDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog_), dialogs.end());
}

bool CloseOpenDialogs() {
    const std::vector<GtkWidget*> dialogs = OpenDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        gtk_dialog_response(GTK_DIALOG(*it), GTK_RESPONSE_NONE);
    return !dialogs.empty();
}

}  // namespace tpl
