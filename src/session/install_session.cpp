#include "session/install_session.h"

#include "catalog/message_catalog.h"
#include "fs/interruption.h"
#include "session/install_log.h"
#include "session/system_texts.h"
#include "session/target_directory.h"
#include "text/utf8.h"

namespace tpl {

InstallSession::InstallSession() {
    status_.Init();
    status_.PostStatus(0, MessageCatalog::GetText("IDS_PREPARECOPY"), 0);
    worker_.SetObserver(&tally_);
}

void InstallSession::SetLog(InstallLog* log) {
    log_ = log;
    tally_.SetNext(log);
}

void InstallSession::Start(KitReader* kit, const WideString& targetDirectory, uint32_t successPauseMs) {
    if (log_) log_->InstallationStarted(targetDirectory);
    targetDirectory_ = targetDirectory;
    cancelRequested_ = false;
    tally_.Reset();
    // One installation per start of the program: nothing reads the
    // kit's entries after it.
    status_.PostJob(kit, targetDirectory, true);
    worker_.Start(&status_, successPauseMs);
}

InstallOutcome InstallSession::Poll() {
    status_.ReadStatus(&code_, &text_, &percent_);
    const InstallOutcome outcome = OutcomeOfStatus(code_, percent_);
    if (outcome == InstallOutcome::Running && InterruptionRequested()) RequestCancel();
    return outcome;
}

void InstallSession::RequestCancel() {
    if (cancelRequested_) return;
    cancelRequested_ = true;
    worker_.RequestStop();
}

void InstallSession::SetPaused(bool paused) {
    status_.SetPaused(paused);
}

WideString InstallSession::FailureDetail() {
    int systemErrno = 0;
    const WideString path = status_.ReadFailurePath(&systemErrno);
    const char* textId = nullptr;
    const WideString holder = status_.ReadFailureReason(&textId);
    // A text that names the path already (a busy directory) needs it no
    // second time: only what it adds (who holds the lock), if anything.
    if (!holder.Empty() && !path.Empty() && text_.Contains(path)) return holder;
    // Else in the program's own words where it has them: the system lacks
    // several of the catalog's languages.
    const WideString detail = FailureDetailText(path, holder.Empty() ? ReasonText(systemErrno) : ToUtf8(holder));
    // A text that names the path already and has no reason to add needs no
    // second line saying the same.
    if (!detail.Empty() && text_.Contains(detail)) return WideString();
    return detail;
}

void InstallSession::WaitForWorker() {
    worker_.Join();
}

int InstallSession::Conclude(InstallOutcome outcome, const TemplateProposal& proposal) {
    if (outcome != InstallOutcome::Succeeded) return ExitStatusOf(outcome, code_);
    if (log_) log_->Write(ChangeCountsLine(tally_.Counts()));
    if (record_) {
        recordings_ = RecordInstalledDirectoryInFiles(targetDirectory_, proposal);
    } else {
        recordings_ = {LauncherFileRecording{WideString(), LauncherFileAction::Skipped, 0}};
    }
    unrecordedFile_ = WideString();
    for (const LauncherFileRecording& recording : recordings_) {
        if (recording.action != LauncherFileAction::Failed) continue;
        unrecordedFile_ = recording.path;
        unrecordedErrno_ = recording.systemErrno;
        break;
    }
    if (log_) log_->Recorded(targetDirectory_, recordings_);
    return unrecordedFile_.Empty() ? ExitStatusOf(outcome) : kExitNotRecorded;
}

}  // namespace tpl
