// Entry point of the installer.
#include <gtk/gtk.h>

#include "app/installer_app.h"
#include "text/convert.h"

int main(int argc, char** argv) {
    // The one setlocale of the process, before any thread exists.
    InitProcessLocale();
#if !GLIB_CHECK_VERSION(2, 32, 0)
    g_thread_init(nullptr);
#endif
    // The installation runs on a second thread; the GDK lock is never taken.
    gdk_threads_init();
    CInstallerApp app(argc, argv);
    return app.Run();
}
