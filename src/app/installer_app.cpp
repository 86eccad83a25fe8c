#include "app/installer_app.h"

#include <gtk/gtk.h>
#include <pango/pangocairo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "headless/headless_install.h"
#include "headless/headless_report.h"
#include "session/install_log.h"
#include "session/recovery_text.h"
#include "session/install_outcome.h"
#include "session/system_texts.h"
#include "app/interface_language.h"
#include "app/launch_options.h"
#include "app/usage_text.h"
#include "fs/last_error.h"
#include "session/console_text.h"
#include "config/template_locations.h"
#include "journal/journal_recovery.h"
#include "fs/interruption.h"
#include "text/convert.h"
#include "text/text_helpers.h"
#include "ui/installer_dlg.h"

namespace tpl {

namespace {

// Before anything of this run touches the template directory: an earlier
// run that was killed, crashed or lost its power is rolled back from its
// journal, and the user learns what was restored.
void RecoverEarlierRuns(InstallLog& log, const LaunchOptions& options) {
    // A run keeps its backup beside its template directory when the
    // temporary directory lies elsewhere: each directory this run may use,
    // or an earlier one used, is looked at.
    std::vector<WideString> targets = KnownTemplateDirectories();
    if (!options.targetDirectory.Empty()) targets.push_back(options.targetDirectory);
    // The user reads it in the run's language; the log keeps its fixed form.
    const size_t width = ConsoleWidth(isatty(fileno(stderr)) == 1);
    for (const RecoveryReport& report : RecoverInterruptedInstallations(targets)) {
        std::fprintf(stderr, "%s\n", RecoveryMessage(report, width).c_str());
        const NarrowString line = DescribeRecovery(report);
        log.Write("recovered an earlier run: " + EscapeControlCharacters(std::string(line.Data(), line.Length())));
    }
    const NarrowString kits = RemoveAbandonedUnpackedKits();
    if (!kits.Empty()) {
        const std::string escaped = EscapeControlCharacters(std::string(kits.Data(), kits.Length()));
        std::fprintf(stderr, "%s\n", escaped.c_str());
        log.Write("recovered an earlier run: " + escaped);
    }
    std::fflush(stderr);
}

int ReportUnopenableLog(const WideString& path, int systemError) {
    const std::string line = ErrorLine(path, "cannot open the log", SystemErrorText(systemError).Data());
    std::fprintf(stderr, "%s\n", line.c_str());
    return kExitFailed;
}

int ReportUsageError(const NarrowString& message) {
    std::fputs(message.Data(), stderr);
    std::fputs(UsageLine().c_str(), stderr);
    return kExitUsage;
}

HeadlessRequest HeadlessRequestOf(const LaunchOptions& options) {
    HeadlessRequest request;
    request.useCurrentDirectory = options.useCurrentDirectory;
    request.chosenTarget = options.targetDirectory;
    request.kitFile = options.kitFile;
    request.trustedKeys = options.trustedKeys;
    request.quiet = options.quiet;
    request.json = options.json;
    request.progressInPlace = isatty(fileno(stderr)) == 1;
    return request;
}

int ReportNoDisplay() {
    std::fputs("tplsetup: cannot open the X display; use -S to install without a window\n", stderr);
    return kExitFailed;
}

}  // namespace

int CInstallerApp::Run() {
    // Queries the locale chosen in main; does not change it. A malformed
    // option or a log that cannot be opened ends the run before anything
    // changes, the recovery included.
    LaunchOptions options = ParseLaunchOptions(argc_, argv_, setlocale(LC_ALL, nullptr));
    if (!options.optionError.Empty()) return ReportUsageError(options.optionError);
    InstallLog log;  // outlives the worker, which the front ends join
    if (!options.logFile.Empty()) {
        if (log.Open(options.logFile) != 0) return ReportUnopenableLog(options.logFile, log.SystemError());
        log.Started(argc_, argv_);
    }
    const int status = options.dryRun ? RunDryRun(options, log) : RunFrontEnd(options, log);
    log.Finished(status);
    return status;
}

int CInstallerApp::RunDryRun(LaunchOptions& options, InstallLog& log) {
    // No display and no recovery: a dry run changes nothing, and a signal
    // while it unpacks ends it with its unpacked kit deleted.
    if (!InstallInterruptionHandlers())
        std::fputs("tplsetup: cannot catch interruption signals\n", stderr);
    return tpl::RunDryRun(HeadlessRequestOf(options), &log, stderr, stdout);
}

int CInstallerApp::RunFrontEnd(LaunchOptions& options, InstallLog& log) {
    // From here on the system's texts speak the chosen language; the English
    // one-line errors before this keep the locale's own reasons.
    FollowCatalogLanguageInSystemTexts();
    // Installed first, so that a signal during the recovery lets it finish.
    if (!InstallInterruptionHandlers())
        std::fputs("tplsetup: cannot catch interruption signals\n", stderr);
    RecoverEarlierRuns(log, options);
    if (InterruptionRequested()) return kExitCancelled;

#if !GLIB_CHECK_VERSION(2, 32, 0)
    g_thread_init(nullptr);
#endif
    // The installation runs on a second thread; the GDK lock is never taken.
    gdk_threads_init();
    // The locale is main's, with the messages category the chosen language
    // needs; the toolkit must not select the environment's again.
    gtk_disable_setlocale();
    // The one probe of the display; toolkit options are consumed here.
    if (!gtk_init_check(&options.argc, &options.argv)) {
        if (!options.silent) return ReportNoDisplay();
        ChooseTerminalLanguage();
        return RunHeadlessInstallation(HeadlessRequestOf(options), &log, stderr, stdout);
    }
    // The toolkit reads the font configuration on a thread of its own once
    // its font map exists. Asked for now, that reading overlaps the kit's
    // unpacking instead of holding up the text of the first window.
    pango_cairo_font_map_get_default();
    CInstallerDlg dialog(options.silent, options.title, options.languageCode, options.useCurrentDirectory);
    dialog.SetChosenTarget(options.targetDirectory);
    dialog.SetKitFile(options.kitFile);
    dialog.SetTrustedKeys(options.trustedKeys);
    dialog.SetLog(&log);
    dialog.RunWizard();
    return dialog.GetExitStatus();
}

}  // namespace tpl
