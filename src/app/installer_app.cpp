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
#include "kit/kit_plan.h"
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
// journal, and the user learns what was restored. Returns what was done.
std::vector<RecoveryReport> RecoverEarlierRuns(InstallLog& log, const LaunchOptions& options) {
    // A run keeps its backup beside its template directory when the
    // temporary directory lies elsewhere: each directory this run may use,
    // or an earlier one used, is looked at.
    std::vector<WideString> targets = KnownTemplateDirectories();
    if (!options.targetDirectory.Empty()) targets.push_back(options.targetDirectory);
    // The user reads it in the run's language; the log keeps its fixed form.
    const size_t width = ConsoleWidth(isatty(fileno(stderr)) == 1);
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations(targets);
    for (const RecoveryReport& report : reports) {
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
    return reports;
}

// With --json, a run that ends before it starts still prints its document.
int ReportEarlyEnd(const LaunchOptions& options, int exitStatus, const char* code, const std::string& message,
                   const WideString& path = WideString(), const NarrowString& reason = NarrowString()) {
    if (options.json) {
        nlohmann::ordered_json document = NewRunDocument(options.dryRun);
        document["error"] = ErrorJson(code, path, nullptr, reason);
        document["error"]["message"] = message;
        PrintRunDocument(document, exitStatus, stdout);
    }
    return exitStatus;
}

int ReportUnopenableLog(const LaunchOptions& options, const WideString& path, int systemError) {
    const NarrowString reason = SystemErrorText(systemError);
    const std::string line = ErrorLine(path, "cannot open the log", reason.Data());
    std::fprintf(stderr, "%s\n", line.c_str());
    return ReportEarlyEnd(options, kExitFailed, "log-unopenable", "cannot open the log", path, reason);
}

int ReportUsageError(const LaunchOptions& options) {
    std::fputs(options.optionError.Data(), stderr);
    std::fputs(UsageLine().c_str(), stderr);
    // The line without its program name and line feed, for scripts.
    std::string message(options.optionError.Data(), options.optionError.Length());
    if (message.rfind("tplsetup: ", 0) == 0) message.erase(0, 10);
    if (!message.empty() && message.back() == '\n') message.pop_back();
    return ReportEarlyEnd(options, kExitUsage, "usage", message);
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
    request.record = !options.noRecord;
    return request;
}

int ReportNoDisplay(const LaunchOptions& options) {
    static const char kMessage[] = "cannot open the X display; use -S to install without a window";
    std::fprintf(stderr, "tplsetup: %s\n", kMessage);
    return ReportEarlyEnd(options, kExitFailed, "no-display", kMessage);
}

}  // namespace

int CInstallerApp::Run() {
    // Queries the locale chosen in main; does not change it. A malformed
    // option or a log that cannot be opened ends the run before anything
    // changes, the recovery included.
    LaunchOptions options = ParseLaunchOptions(argc_, argv_, setlocale(LC_ALL, nullptr));
    if (!options.optionError.Empty()) return ReportUsageError(options);
    InstallLog log;  // outlives the worker, which the front ends join
    if (!options.logFile.Empty()) {
        if (log.Open(options.logFile) != 0) return ReportUnopenableLog(options, options.logFile, log.SystemError());
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
    const std::vector<RecoveryReport> recovered = RecoverEarlierRuns(log, options);
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
        if (!options.silent) return ReportNoDisplay(options);
        ChooseTerminalLanguage();
        HeadlessRequest request = HeadlessRequestOf(options);
        request.recovered = recovered;
        return RunHeadlessInstallation(request, &log, stderr, stdout);
    }
    // The toolkit reads the font configuration on a thread of its own once
    // its font map exists. Asked for now, that reading overlaps the kit's
    // unpacking instead of holding up the text of the first window.
    pango_cairo_font_map_get_default();
    CInstallerDlg dialog(options.silent, options.title, options.languageCode, options.useCurrentDirectory);
    dialog.SetChosenTarget(options.targetDirectory);
    dialog.SetKitFile(options.kitFile);
    dialog.SetRecording(!options.noRecord);
    dialog.SetTrustedKeys(options.trustedKeys);
    dialog.SetLog(&log);
    dialog.RunWizard();
    return dialog.GetExitStatus();
}

}  // namespace tpl
