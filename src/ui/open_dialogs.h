#pragma once
// The modal dialogs whose nested loops are running (message boxes, the
// folder chooser). An interruption has to end them before the window goes:
// code after a dialog's run still uses the window's widgets.
#include "ui/gtk_fwd.h"

namespace tpl {

// Registers a dialog for the duration of its run; GUI thread only.
class OpenDialogScope {
public:
    explicit OpenDialogScope(GtkWidget* dialog);
    ~OpenDialogScope();
    OpenDialogScope(const OpenDialogScope&) = delete;
    OpenDialogScope& operator=(const OpenDialogScope&) = delete;

private:
    GtkWidget* dialog_;
};

// Answers every open dialog with "no response", which ends its run as
// closing it would. True when one was open: the nested loops unwind after
// the caller returns to them.
bool CloseOpenDialogs();

}  // namespace tpl
