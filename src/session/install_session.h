#pragma once
// The installation both front ends run: the job is handed to the worker, the
// front end's own loop calls Poll() until an outcome that is not Running, and
// Conclude() records the directory after a success and names the exit status.
#include <cstdint>
#include "config/template_locations.h"
#include "engine/install_status.h"
#include "session/entry_tally.h"
#include "session/install_outcome.h"
#include "text/cow_string.h"

namespace tpl {

class InstallLog;
class KitReader;

class InstallSession {
public:
    // The status block starts as "preparing" (IDS_PREPARECOPY at 0 %).
    InstallSession();
    // Waits for a started worker, so that a rollback is never cut short.
    ~InstallSession() = default;
    InstallSession(const InstallSession&) = delete;
    InstallSession& operator=(const InstallSession&) = delete;

    // The install log of later runs (may be null; not owned; must outlive
    // the worker). It is told the target, every step and the recording.
    void SetLog(InstallLog* log);
    // Posts the job and starts the worker; successPauseMs is its pause after
    // the success post. A worker that cannot start leaves a final failure,
    // which the next Poll() returns. kit must stay alive until the worker
    // has ended (WaitForWorker() or the destructor).
    void Start(KitReader* kit, const WideString& targetDirectory, uint32_t successPauseMs);
    // One poll step: reads the status block and maps it to an outcome. An
    // interruption signal is passed on as a cancel request (the engine also
    // watches for it itself).
    InstallOutcome Poll();
    // The code, text and percent the last Poll() read.
    uint32_t Code() const { return code_; }
    const WideString& Text() const { return text_; }
    int32_t Percent() const { return percent_; }

    // Asks the running installation to roll back and end with ERROR_CANCELLED.
    void RequestCancel();
    // A cancel was asked for: by the user, or by a signal that Poll noticed.
    bool CancelRequested() const { return cancelRequested_; }
    // While paused the worker holds between two entries (the user is asked
    // whether to cancel); a cancel request ends the hold.
    void SetPaused(bool paused);
    // After a failure: the path the run failed at and what the system said;
    // empty when the failure's text (from the last Poll()) says it all.
    WideString FailureDetail();
    // A failure or a cancel is posted before the rollback ends: a front end
    // that leaves at once waits here first.
    void WaitForWorker();
    // After the last Poll(): a success records targetDirectory as the
    // launcher's template location. A recording that fails leaves the
    // installation standing but is a failure of the run: the exit status is
    // kExitNotRecorded and UnrecordedLauncherFile() names the file. Returns the
    // process's exit status.
    int Conclude(InstallOutcome outcome, const TemplateProposal& proposal);
    // The launcher file Conclude() could not write, empty when none, and
    // the errno that refused it.
    const WideString& UnrecordedLauncherFile() const { return unrecordedFile_; }
    int UnrecordedErrno() const { return unrecordedErrno_; }
    // What Conclude() did to each launcher file (none before a success).
    const std::vector<LauncherFileRecording>& Recordings() const { return recordings_; }
    // false: a success records nothing in any launcher file (--no-record).
    void SetRecording(bool record) { record_ = record; }
    // What the run did with its entries; meaningful after a success.
    ChangeCounts Changes() const { return tally_.Counts(); }
    // After a failure: the path it failed at and the errno behind it.
    WideString FailurePath(int* systemErrno) { return status_.ReadFailurePath(systemErrno); }
    // Who is in the way of a refused lock, with the text id telling what
    // failed (null when the failure was another).
    WideString FailureReason(const char** textId) { return status_.ReadFailureReason(textId); }
    // What the run has done so far (complete once the worker has ended).
    InstallSummary Summary() const { return tally_.Summary(); }
    // The bar while the run is undone: from percent back to 0.
    int32_t RollbackPercent(int32_t from) const { return tally_.RollbackPercent(from); }

private:
    InstallStatus status_;
    WideString targetDirectory_;
    uint32_t code_ = 0;
    WideString text_;
    int32_t percent_ = 0;
    bool cancelRequested_ = false;
    WideString unrecordedFile_;
    int unrecordedErrno_ = 0;
    std::vector<LauncherFileRecording> recordings_;
    bool record_ = true;
    InstallLog* log_ = nullptr;
    EntryTally tally_;  // the worker's observer; passes each step on to the log
    // Last member: destroyed (and so joined) before the status.
    WorkerThread worker_;
};

}  // namespace tpl
