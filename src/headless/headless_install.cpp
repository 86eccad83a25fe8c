#include "headless/headless_install.h"

#include "catalog/message_catalog.h"
#include "session/console_text.h"
#include "session/install_outcome.h"
#include "session/install_preparation.h"
#include "headless/progress_reporter.h"
#include "engine/install_status.h"
#include "fs/dir_ops.h"
#include "fs/interruption.h"
#include "text/convert.h"
#include "text/text_helpers.h"

namespace {

// Often enough that the line keeps up and the end is noticed at once,
// rarely enough to cost nothing next to the copying.
constexpr int32_t kPollIntervalMs = 10;

void PrintLine(std::FILE* out, const NarrowString& text) {
    std::fprintf(out, "%s\n", text.Data());
    std::fflush(out);
}

// Follows the status block until a final state; an interruption signal is
// passed on as a cancel request (the engine also watches for it itself).
InstallOutcome WatchInstallation(InstallStatus& status, ProgressReporter& progress,
                                 uint32_t* code, WideString* text) {
    bool cancelRequested = false;
    for (;;) {
        int32_t percent = 0;
        status.ReadStatus(code, text, &percent);
        const InstallOutcome outcome = OutcomeOfStatus(*code, percent);
        if (outcome == InstallOutcome::Running || outcome == InstallOutcome::Succeeded)
            progress.Show(percent);
        if (outcome != InstallOutcome::Running) return outcome;
        if (!cancelRequested && InterruptionRequested()) {
            status.RequestCancel();
            cancelRequested = true;
        }
        SleepMilliseconds(kPollIntervalMs);
    }
}

void ReportFailure(std::FILE* out, uint32_t code, const WideString& text) {
    NarrowString line = ToNarrow(text);
    if (line.Empty()) line = ConsoleCatalogText("IDS_INSTALL_ERROR");
    // The number tells an administrator what the text does not.
    line += " (";
    line += ToNarrow(FromInteger(static_cast<int32_t>(code), 10));
    line += ")";
    PrintLine(out, line);
    PrintLine(out, ConsoleCatalogText("IDS_ERROR_FINISH"));
}

}  // namespace

int RunHeadlessInstallation(bool useCurrentDirectory, std::FILE* messages, bool progressInPlace) {
    KitReader kit;
    PreparedInstallation prepared;
    const PreparationResult preparation =
        PrepareInstallation(useCurrentDirectory, true, &kit, &prepared);
    if (preparation.interrupted) {
        PrintLine(messages, ConsoleCatalogText("IDS_CANCEL_FINISH"));
        return kExitCancelled;
    }
    if (preparation.errorTextId != nullptr) {
        PrintLine(messages, ConsoleCatalogText(preparation.errorTextId));
        return kExitFailed;
    }

    NarrowString where = ConsoleCatalogText("IDS_TEMPLATE_CATALOG");
    where += " ";
    where += ConsolePath(prepared.targetDirectory);
    PrintLine(messages, where);

    InstallStatus status;
    status.Init();
    status.PostStatus(0, MessageCatalog::GetText("IDS_PREPARECOPY"), 0);
    status.PostJob(&kit, prepared.targetDirectory);
    ProgressReporter progress(messages, progressInPlace, ConsoleCatalogText("IDS_PROGRESS_START"));
    uint32_t code = 0;
    WideString text;
    InstallOutcome outcome = InstallOutcome::Running;
    {
        // Nobody waits for the success page here: no pause after the last entry.
        WorkerThread worker;
        worker.Start(&status, 0);
        outcome = WatchInstallation(status, progress, &code, &text);
        worker.Join();  // a rollback is never cut short
    }
    progress.End();

    switch (outcome) {
        case InstallOutcome::Succeeded:
            RecordInstalledDirectory(prepared.targetDirectory, prepared.proposal);
            PrintLine(messages, ConsoleCatalogText("IDS_SUCCESS_FINISH"));
            break;
        case InstallOutcome::Failed:
            ReportFailure(messages, code, text);
            break;
        case InstallOutcome::Cancelled:
        case InstallOutcome::Running:
            PrintLine(messages, ConsoleCatalogText("IDS_CANCEL_FINISH"));
            break;
    }
    return ExitStatusOf(outcome);
}
