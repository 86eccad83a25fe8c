#include "headless/headless_install.h"

#include "catalog/message_catalog.h"
#include "fs/sleep.h"
#include "headless/progress_reporter.h"
#include "headless/unpack_progress_line.h"
#include "session/console_text.h"
#include "session/install_log.h"
#include "session/install_outcome.h"
#include "session/install_preparation.h"
#include "session/install_session.h"
#include "text/convert.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// Often enough that the line keeps up and the end is noticed at once,
// rarely enough to cost nothing next to the copying.
constexpr int32_t kPollIntervalMs = 10;

void PrintLine(std::FILE* out, const NarrowString& text) {
    std::fprintf(out, "%s\n", text.Data());
    std::fflush(out);
}

// Polls the session until a final state, showing the progress line.
InstallOutcome FollowInstallation(InstallSession& session, ProgressReporter& progress) {
    for (;;) {
        const InstallOutcome outcome = session.Poll();
        if (outcome == InstallOutcome::Running || outcome == InstallOutcome::Succeeded)
            progress.Show(session.Percent());
        if (outcome != InstallOutcome::Running) return outcome;
        SleepMilliseconds(kPollIntervalMs);
    }
}

// The secondary text of a failure, as the wizard's box shows it under the
// main one: the path, and what the system said on a line of its own.
void PrintDetail(std::FILE* out, const WideString& detail) {
    if (!detail.Empty()) PrintLine(out, ConsolePath(detail));
}

void ReportFailure(std::FILE* out, uint32_t code, const WideString& text, const WideString& detail) {
    NarrowString line = ToNarrow(text);
    if (line.Empty()) line = ConsoleCatalogText("IDS_INSTALL_ERROR");
    // The number tells an administrator what the text does not.
    line += " (";
    line += ToNarrow(FromInteger(static_cast<int32_t>(code), 10));
    line += ")";
    PrintLine(out, line);
    PrintDetail(out, detail);
    PrintLine(out, ConsoleCatalogText("IDS_ERROR_FINISH"));
}

}  // namespace

int RunHeadlessInstallation(bool useCurrentDirectory, const WideString& chosenTarget, InstallLog* log,
                            std::FILE* messages, bool progressInPlace) {
    KitReader kit;
    PreparedInstallation prepared;
    UnpackProgressLine unpacking(messages, progressInPlace);
    const PreparationResult preparation =
        PrepareInstallation(useCurrentDirectory, true, &kit, &prepared, &unpacking, chosenTarget);
    unpacking.End();
    if (log) log->Prepared(preparation, prepared, kit);
    if (preparation.interrupted) {
        PrintLine(messages, ConsoleCatalogText("IDS_CANCEL_FINISH"));
        return kExitCancelled;
    }
    if (preparation.errorTextId != nullptr) {
        PrintLine(messages, ConsoleCatalogText(preparation.errorTextId));
        PrintDetail(messages, preparation.errorDetail);
        return kExitFailed;
    }

    NarrowString where = ConsoleCatalogText("IDS_TEMPLATE_CATALOG");
    where += " ";
    where += ConsolePath(prepared.targetDirectory);
    PrintLine(messages, where);

    InstallSession session;
    session.SetLog(log);
    ProgressReporter progress(messages, progressInPlace, ConsoleCatalogText("IDS_PROGRESS_START"));
    // Nobody waits for the success page here: no pause after the last entry.
    session.Start(&kit, prepared.targetDirectory, 0);
    const InstallOutcome outcome = FollowInstallation(session, progress);
    session.WaitForWorker();  // a rollback is never cut short
    progress.End();

    switch (outcome) {
        case InstallOutcome::Succeeded:
            PrintLine(messages, ConsoleCatalogText("IDS_SUCCESS_FINISH"));
            break;
        case InstallOutcome::Failed:
            ReportFailure(messages, session.Code(), session.Text(), session.FailureDetail());
            break;
        case InstallOutcome::Cancelled:
        case InstallOutcome::Running:
            PrintLine(messages, ConsoleCatalogText("IDS_CANCEL_FINISH"));
            break;
    }
    const int exitStatus = session.Conclude(outcome, prepared.proposal);
    if (!session.UnrecordedLauncherFile().Empty()) {
        NarrowString line = ConsoleCatalogText("IDS_ERROR_NOTRECORDED");
        line += " ";
        line += ConsolePath(session.UnrecordedLauncherFile());
        PrintLine(messages, line);
    }
    return exitStatus;
}

}  // namespace tpl
