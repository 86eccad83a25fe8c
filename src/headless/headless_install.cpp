#include "headless/headless_install.h"

#include "fs/file_types.h"
#include "fs/last_error.h"
#include "fs/sleep.h"
#include "headless/headless_report.h"
#include "headless/progress_reporter.h"
#include "headless/unpack_progress_line.h"
#include "kit/kit_plan.h"
#include "text/utf8.h"
#include "session/console_text.h"
#include "session/install_log.h"
#include "session/install_outcome.h"
#include "session/install_preparation.h"
#include "session/install_session.h"
#include "session/system_texts.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// Often enough that the line keeps up and the end is noticed at once,
// rarely enough to cost nothing next to the copying.
constexpr int32_t kPollIntervalMs = 10;

// Polls the session until a final state, showing the progress line (none
// when progress is null).
InstallOutcome FollowInstallation(InstallSession& session, ProgressReporter* progress) {
    for (;;) {
        const InstallOutcome outcome = session.Poll();
        if (progress && (outcome == InstallOutcome::Running || outcome == InstallOutcome::Succeeded))
            progress->Show(session.Percent());
        if (outcome != InstallOutcome::Running) return outcome;
        SleepMilliseconds(kPollIntervalMs);
    }
}

// What failed, in the words the wizard's box uses for the same code.
const char* FailureTextId(uint32_t code) {
    if (code == ERROR_LOCK_VIOLATION) return "IDS_ERROR_TARGETBUSY";
    if (code == ERROR_DISK_FULL) return "IDS_ERROR_DISKFULL";
    return "IDS_INSTALL_ERROR";
}

// The failed installation, as one line and as a JSON error.
struct Failure {
    WideString path;
    const char* textId;
    NarrowString reason;
    bool lockRefused = false;
};

Failure FailureOf(InstallSession& session) {
    int systemErrno = 0;
    Failure failure{session.FailurePath(&systemErrno), FailureTextId(session.Code()), NarrowString(), false};
    // A refused lock says who holds it; its errno would only confuse.
    const char* textId = nullptr;
    const WideString holder = session.FailureReason(&textId);
    failure.lockRefused = textId != nullptr;
    if (textId != nullptr) failure.textId = textId;
    if (!holder.Empty())
        failure.reason = ToUtf8(holder);
    else if (session.Code() != ERROR_LOCK_VIOLATION)
        failure.reason = ReasonTextIn(ConsoleLanguage(), systemErrno);
    return failure;
}

class HeadlessRun {
public:
    HeadlessRun(const HeadlessRequest& request, InstallLog* log, std::FILE* messages, std::FILE* output)
        : request_(request), log_(log), messages_(messages), output_(output) {}

    int Run();

private:
    // A line that only a person watching wants: left out with --quiet.
    void Say(const NarrowString& text) {
        if (!request_.quiet) PrintLine(messages_, text);
    }
    // A sentence of the catalog (UTF-8) and the paths it names, laid out for
    // the message stream.
    void Say(const std::string& prose, const std::vector<WideString>& paths = {}) {
        if (!request_.quiet) PrintLine(messages_, ConsoleMessage(prose, paths, width_));
    }
    int Install(const PreparedInstallation& prepared);
    // How undoing ended: the usual sentence, or, when replaced files could
    // not be put back, which ones and where they wait; that is shown even
    // with --quiet, since the directory is not as it was.
    void TellUndone(const InstallSession& session, const WideString& target, const char* finishTextId) {
        const InstallSummary summary = session.Summary();
        if (summary.notRestored.empty()) {
            Say(ConsoleCatalogUtf8(finishTextId));
            return;
        }
        const NarrowString report = ToUtf8(UndoneReport(summary, target, finishTextId, WideString(), WideString()));
        std::string lines(report.Data(), report.Length());
        for (size_t begin = 0; begin <= lines.size();) {
            size_t end = lines.find('\n', begin);
            if (end == std::string::npos) end = lines.size();
            const std::string line = lines.substr(begin, end - begin);
            // The report gives each path a line of its own.
            if (!line.empty() && line[0] == '/')
                PrintLine(messages_, ConsoleMessage(std::string(), {FromUtf8(line.c_str())}, width_));
            else
                PrintLine(messages_, ConsoleMessage(line, {}, width_));
            begin = end + 1;
        }
    }
    // With --json: the document on the output stream.
    int Finish(int exitStatus) {
        if (request_.json) PrintRunDocument(json_, exitStatus, output_);
        return exitStatus;
    }
    // The document's account of what the session did.
    void DescribeOutcome(const InstallSession& session, InstallOutcome outcome, const TemplateProposal& proposal);

    const HeadlessRequest& request_;
    InstallLog* log_;
    std::FILE* messages_;
    std::FILE* output_;
    const size_t width_ = ConsoleWidth(request_.progressInPlace);
    KitReader kit_;
    nlohmann::ordered_json json_ = NewRunDocument(false);
};

int HeadlessRun::Run() {
    SetRecovered(json_, request_.recovered);
    PreparedInstallation prepared;
    UnpackProgressLine unpacking(messages_, request_.progressInPlace);
    const PreparationResult preparation = PrepareInstallation(
        request_.useCurrentDirectory, true, &kit_, &prepared, request_.quiet ? nullptr : &unpacking,
        request_.chosenTarget, request_.kitFile, request_.trustedKeys);
    unpacking.End();
    if (log_) log_->Prepared(preparation, prepared, kit_);
    if (!prepared.kitPath.Empty() && preparation.errorTextId == nullptr) json_["kit"] = JsonString(prepared.kitPath);
    if (preparation.interrupted) {
        Say(ConsoleCatalogUtf8("IDS_CANCEL_FINISH"));
        json_["error"] = ErrorJson("cancelled", WideString(), "IDS_CANCEL_FINISH", NarrowString());
        return Finish(kExitCancelled);
    }
    if (preparation.errorTextId != nullptr) {
        PrintLine(messages_, PreparationErrorLine(preparation, width_));
        json_["error"] = PreparationErrorJson(preparation);
        AddSignatureJson(prepared.signature, &json_);
        return Finish(kExitFailed);
    }
    AddSignatureJson(prepared.signature, &json_);
    return Finish(Install(prepared));
}

int HeadlessRun::Install(const PreparedInstallation& prepared) {
    Say(ConsoleCatalogUtf8("IDS_TEMPLATE_CATALOG"), {prepared.targetDirectory});
    json_["target"] = JsonString(NormalizeTargetDirectory(prepared.targetDirectory));

    InstallSession session;
    session.SetLog(log_);
    session.SetRecording(request_.record);
    ProgressReporter progress(messages_, request_.progressInPlace, ConsoleCatalogText("IDS_PROGRESS_START"));
    // Nobody waits for the success page here: no pause after the last entry.
    session.Start(&kit_, prepared.targetDirectory, 0);
    const InstallOutcome outcome = FollowInstallation(session, request_.quiet ? nullptr : &progress);
    session.WaitForWorker();  // a rollback is never cut short
    progress.End();

    switch (outcome) {
        case InstallOutcome::Succeeded:
            Say(ConsoleCatalogUtf8("IDS_SUCCESS_FINISH"));
            Say(ChangeCountsText(ConsoleLanguage(), session.Changes()));
            break;
        case InstallOutcome::Failed: {
            const Failure failure = FailureOf(session);
            PrintLine(messages_, ErrorLine(failure.path, ConsoleCatalogUtf8(failure.textId), failure.reason.Data(), width_));
            if (log_ && failure.lockRefused) {
                const NarrowString path = ToUtf8(failure.path);
                log_->Write("lock refused: " + EscapeControlCharacters(std::string(path.Data(), path.Length())) +
                            (failure.reason.Empty() ? std::string() : std::string(", ") + failure.reason.Data()));
            }
            TellUndone(session, NormalizeTargetDirectory(prepared.targetDirectory), "IDS_ERROR_FINISH");
            json_["error"] = ErrorJson(ErrorCodeOfText(failure.textId), failure.path, failure.textId, failure.reason);
            break;
        }
        case InstallOutcome::Cancelled:
        case InstallOutcome::Running:
            TellUndone(session, NormalizeTargetDirectory(prepared.targetDirectory), "IDS_CANCEL_FINISH");
            json_["error"] = ErrorJson("cancelled", WideString(), "IDS_CANCEL_FINISH", NarrowString());
            break;
    }
    const int exitStatus = session.Conclude(outcome, prepared.proposal);
    if (!session.UnrecordedLauncherFile().Empty()) {
        const WideString& file = session.UnrecordedLauncherFile();
        // Exit 3 always says why: in the line's language, and in the document.
        const int systemErrno = session.UnrecordedErrno();
        PrintLine(messages_, ErrorLine(file, ConsoleCatalogUtf8("IDS_ERROR_NOTRECORDED"),
                                       ReasonTextIn(ConsoleLanguage(), systemErrno).Data(), width_));
        json_["error"] = ErrorJson("launcher-unwritable", file, "IDS_ERROR_NOTRECORDED", SystemErrorText(systemErrno));
    }
    DescribeOutcome(session, outcome, prepared.proposal);
    return exitStatus;
}

void HeadlessRun::DescribeOutcome(const InstallSession& session, InstallOutcome outcome,
                                  const TemplateProposal& proposal) {
    // After a failure or a cancel everything was undone: nothing stands changed.
    const bool succeeded = outcome == InstallOutcome::Succeeded;
    const InstallSummary summary = session.Summary();
    const ChangeCounts changes = succeeded ? summary.changes : ChangeCounts();
    const uint32_t directories = succeeded ? summary.directoriesCreated : 0;
    json_["summary"] = {{"added", changes.added},  {"replaced", changes.replaced}, {"kept", changes.kept},
                        {"blocked", 0},            {"directoriesCreated", directories}};
    if (changes.added + changes.replaced + directories > 0) json_["changed"] = true;
    std::vector<LauncherFileRecording> files = session.Recordings();
    if (!succeeded) {
        // Nothing was recorded.
        if (!request_.record) files.push_back({WideString(), LauncherFileAction::Skipped, 0});
        for (const WideString& path : request_.record ? RecordedLauncherFiles(proposal) : std::vector<WideString>())
            files.push_back({path, LauncherFileAction::Unchanged, 0});
    }
    SetLauncherFiles(json_, files);
}

}  // namespace

int RunHeadlessInstallation(const HeadlessRequest& request, InstallLog* log, std::FILE* messages,
                            std::FILE* output) {
    HeadlessRun run(request, log, messages, output);
    return run.Run();
}

}  // namespace tpl
