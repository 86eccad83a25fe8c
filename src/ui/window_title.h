#pragma once
// A top-level window's title, findable by scripts in every locale.
#include "ui/gtk_fwd.h"

namespace tpl {

// Sets the UTF-8 title and realizes the window. The toolkit writes the legacy
// name (WM_NAME, which scripts search) in the locale's encoding and leaves it
// out where the locale cannot spell the title, as under the C locale; the
// title then goes there as UTF-8, as it always goes into the modern name.
void SetWindowTitle(GtkWidget* window, const char* title);

}  // namespace tpl
