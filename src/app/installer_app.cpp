#include "app/installer_app.h"

#include <clocale>
#include "app/startup/launch_options.h"
#include "ui/installer_dlg.h"

int CInstallerApp::Run() {
    // Queries the locale chosen in main; does not change it.
    LaunchOptions options = ParseLaunchOptions(argc_, argv_, setlocale(LC_ALL, nullptr));
    CInstallerDlg dialog(options.argc, options.argv, options.silent, options.title,
                         options.languageCode, options.useCurrentDirectory);
    dialog.RunWizard();
    return dialog.GetExitStatus();
}
