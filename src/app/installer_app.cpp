#include "app/installer_app.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>

#include "headless/headless_install.h"
#include "session/install_outcome.h"
#include "app/launch_options.h"
#include "catalog/message_catalog.h"
#include "journal/journal_recovery.h"
#include "fs/interruption.h"
#include "ui/installer_dlg.h"

namespace {

// Before anything of this run touches the template directory: an earlier
// run that was killed, crashed or lost its power is rolled back from its
// journal, and the user learns what was restored.
void RecoverEarlierRuns() {
    for (const NarrowString& line : RecoverAtStartup()) std::fprintf(stderr, "%s\n", line.Data());
    std::fflush(stderr);
}

int ReportNoDisplay() {
    std::fputs("tplsetup: cannot open the X display; use -S to install without a window\n", stderr);
    return kExitFailed;
}

}  // namespace

int CInstallerApp::Run() {
    // Installed first, so that a signal during the recovery lets it finish.
    if (!InstallInterruptionHandlers())
        std::fputs("tplsetup: cannot catch interruption signals\n", stderr);
    RecoverEarlierRuns();
    if (InterruptionRequested()) return kExitCancelled;

    // Queries the locale chosen in main; does not change it.
    LaunchOptions options = ParseLaunchOptions(argc_, argv_, setlocale(LC_ALL, nullptr));
#if !GLIB_CHECK_VERSION(2, 32, 0)
    g_thread_init(nullptr);
#endif
    // The installation runs on a second thread; the GDK lock is never taken.
    gdk_threads_init();
    // The one probe of the display; toolkit options are consumed here.
    if (!gtk_init_check(&options.argc, &options.argv)) {
        if (!options.silent) return ReportNoDisplay();
        return RunHeadlessInstallation(options.useCurrentDirectory, stderr, isatty(fileno(stderr)) == 1);
    }
    // The toolkit takes UTF-8 whatever the locale.
    const NarrowString title(MessageCatalog::GetUtf8("IDR_MAINFRAME"));
    CInstallerDlg dialog(options.argc, options.argv, options.silent, title,
                         options.languageCode, options.useCurrentDirectory);
    dialog.RunWizard();
    return dialog.GetExitStatus();
}
