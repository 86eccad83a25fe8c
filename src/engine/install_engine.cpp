// The installation run: entries in table order, progress and final states.
#include "engine/install_engine.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <new>
#include <thread>
#include "catalog/message_catalog.h"
#include "kit/kit_entry_names.h"
#include "text/path_text.h"
#include "text/text_helpers.h"
#include "kit/kit_entry_action.h"
#include "engine/install_observer.h"
#include "engine/install_status.h"
#include "engine/lock_refusal.h"
#include "fs/directory_lock.h"
#include "fs/free_space.h"
#include "fs/last_error.h"
#include "kit/kit_room.h"
#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/interruption.h"
#include "fs/path_mode.h"
#include "fs/path_times.h"
#include "fs/sleep.h"
#include "kit/kit_reader.h"

namespace tpl {

namespace {
// The mode new files are made with (less the umask), as FileOpen makes them.
constexpr uint32_t kNewFileMode = 0660;
// Threads that write the entries' contents, at most.
constexpr uint32_t kMostCopyHelpers = 4;

// What a failed step left behind it, read once where the step returned its
// code: anything that runs after it (an observer's log, the rollback) may
// leave a failure of its own in the thread's last error.
struct StepFailure {
    int systemErrno = 0;      // the errno behind the failure, 0 when none
    bool fromSystem = false;  // the code is the system's own word for that errno
};

StepFailure FailureBehind(uint32_t code) {
    if (code == 0) return {};
    return {GetLastFileErrno(), GetLastFileError() == code};
}
}  // namespace

void InstallEngine::Post(uint32_t code, const WideString& text, int32_t percent) {
    if (status_) status_->PostStatus(code, text, percent);
}

uint32_t InstallEngine::Run(InstallStatus* status, uint32_t successPauseMs) {
    status_ = status;
    percent_ = 0;
    target_.Reset();
    held_.Reset();
    heldKey_.clear();
    heldPath_ = WideString();
    heldOwner_ = PathOwner();
    heldTimesKept_ = false;
    backupHeld_.Reset();
    backupHeldKey_.clear();
    KitReader* kit = nullptr;
    WideString target;
    bool kitSpent = false;
    if (status_) status_->TakeJob(&kit, &target, &kitSpent);
    try {
        workingPath_ = target;
        ClearLastFileError();
        const WideString directory = NormalizeTargetDirectory(target);
        // Checked before anything is written: a path the system cannot take
        // would otherwise fail the run halfway.
        uint32_t code = kit != nullptr ? CheckDestinationLengths(*kit, directory) : 0;
        bool nothingToDo = false;
        if (code == 0 && kit != nullptr) code = Precheck(*kit, directory, &nothingToDo);
        if (nothingToDo) {
            transaction_.emplace().targetDirectory = directory;
            if (kitSpent) kit->Release();
            Post(0, MessageCatalog::GetText("IDS_INSTALL_FINISH"), 100);
            if (successPauseMs > 0) SleepMilliseconds(static_cast<int32_t>(successPauseMs));
            return 0;
        }
        if (code == 0) code = BeginTransaction(directory);
        // From here on the target exists; everything inside it is reached
        // from this descriptor.
        if (code == 0) code = OpenDirectoryBeneath(directory, WideString(), &target_);
        if (code == 0 && kit == nullptr) code = ERROR_INVALID_PARAMETER;
        if (code != 0) return ReportFailure(code, 0, FailureBehind(code).systemErrno);
        code = WritePlan(*kit);
        if (code != 0) return ReportFailure(code, 0, FailureBehind(code).systemErrno);
        code = RunEntries(*kit);
        copier_.reset();
        if (code != 0) return code;
        // The unpacked kit often lies on the target's file system: deleted
        // before the commit's sync, its pages are dropped instead of
        // written out with the run's files, which would double the sync
        // of a large kit.
        if (kitSpent) kit->Release();
        // Without its commit record a crash while the backup is removed
        // would be recovered as a rollback from a half-removed backup.
        code = CommitTransaction();
        if (code != 0) return ReportFailure(code, percent_, FailureBehind(code).systemErrno);
        if (observer_) observer_->Committed();
        Post(0, MessageCatalog::GetText("IDS_INSTALL_FINISH"), 100);
    } catch (const std::bad_alloc&) {
        return ReportFailureAfterThrow(ERROR_NOT_ENOUGH_MEMORY);
    } catch (const std::exception&) {
        // Anything else (a text too long to build) is no lack of memory.
        return ReportFailureAfterThrow(ERROR_INVALID_PARAMETER);
    }
    if (successPauseMs > 0) SleepMilliseconds(static_cast<int32_t>(successPauseMs));
    return 0;
}

uint32_t InstallEngine::Precheck(const KitReader& kit, const WideString& directory, bool* nothingToDo) {
    *nothingToDo = false;
    // Under the directory's lock, so that another run's half-done
    // installation is not taken for the finished one; where it is busy,
    // the full run meets that and says so.
    DirectoryLock lock;
    const bool exists = IsExistingDirectory(directory);
    if (exists && lock.Lock(directory) != 0) return 0;
    const WideString nearest = NearestExistingParent(directory);
    FileSystemRoom free;
    const bool freeKnown = !nearest.Empty() && GetFileSystemRoom(nearest, &free) == 0;
    const KitRoom needed = MeasureKitRoom(kit, directory, freeKnown ? free.blockSize : 0);
    if (exists && needed.everyEntryKept) {
        if (observer_) {
            for (uint32_t i = 0; i < kit.GetFileEntryCount(); ++i) {
                WideString relative;
                if (MakeRelativeEntryPath(kit.GetFileEntry(i).name, &relative))
                    observer_->EntryHandled(directory + relative, EntryAction::Keep, 0, 0);
            }
            observer_->NothingToDo();
        }
        *nothingToDo = true;
        return 0;
    }
    // Found now, a full file system fails the run before anything is
    // written, instead of halfway with everything to undo.
    if (freeKnown && (needed.bytes > free.freeBytes || (free.inodesKnown && needed.inodes > free.freeInodes))) {
        workingPath_ = nearest;
        SetLastFileErrno(ENOSPC);
        return ERROR_DISK_FULL;
    }
    return 0;
}

uint32_t InstallEngine::RunEntries(KitReader& kit) {
    const uint32_t count = kit.GetFileEntryCount();
    const WideString target = Top().targetDirectory;
    copier_.emplace(kit, CopyHelpers());
    for (uint32_t i = 0; i < count; ++i) {
        // Read after skipped entries too, so a cancel is never lost behind a
        // run of files that are already up to date.
        if (HoldWhilePausedThenStop()) return CancelRun(percent_);
        entry_ = i;
        // An entry whose destination an earlier one may have written looks
        // at it once that one is written.
        const std::vector<bool>& repeatable = Top().repeatable;
        if (i < repeatable.size() && repeatable[i] && copier_->Drain() != 0) return FailedCopy();
        const KitFileEntry entry = kit.GetFileEntry(i);
        EntryPlan plan = PlanOfEntry(entry, i);
        percent_ = static_cast<int32_t>(static_cast<uint64_t>(i) * 100 / count);
        Post(0, plan.destination, percent_);
        workingPath_ = plan.destination;

        const uint32_t code = InstallEntry(entry, &plan);
        // A copy that failed, this entry's or an earlier one's on a helper,
        // ends the run as the failure of its own entry.
        if (copier_->Failed()) return FailedCopy();
        const StepFailure failure = FailureBehind(code);
        if (observer_) {
            const bool fromSystem = failure.fromSystem && plan.action != EntryAction::Blocked;
            observer_->EntryHandled(plan.destination, plan.action, code, fromSystem ? failure.systemErrno : 0);
        }
        // A step that failed while a signal asked to stop is most likely a
        // victim of that signal: the run ends as interrupted, not as broken.
        if (code != 0)
            return InterruptionRequested() ? CancelRun(percent_) : ReportFailure(code, percent_, failure.systemErrno);
        if (entryHook_) {
            // Whoever looks after an entry finds it written.
            if (copier_->Drain() != 0) return FailedCopy();
            entryHook_(i);
        }
    }
    // Nothing is committed while the user is still deciding.
    if (HoldWhilePausedThenStop()) return CancelRun(percent_);
    if (copier_->Drain() != 0) return FailedCopy();
    return 0;
}

uint32_t InstallEngine::CopyHelpers() const {
    if (copyHelpers_) return *copyHelpers_;
    // The run makes files on its own thread; their contents are written on
    // the others.
    const uint32_t cores = std::thread::hardware_concurrency();
    return cores > 1 ? std::min<uint32_t>(cores, kMostCopyHelpers) : 0;
}

uint32_t InstallEngine::FailedCopy() {
    const CopyFailure failure = copier_->Failure();
    workingPath_ = failure.destination;
    if (observer_) observer_->EntryHandled(failure.destination, failure.action, failure.code, failure.systemErrno);
    return InterruptionRequested() ? CancelRun(percent_) : ReportFailure(failure.code, percent_, failure.systemErrno);
}

uint32_t InstallEngine::CheckDestinationLengths(const KitReader& kit, const WideString& target) {
    for (uint32_t i = 0; i < kit.GetFileEntryCount(); ++i) {
        WideString relative;
        if (!MakeRelativeEntryPath(kit.GetFileEntry(i).name, &relative)) continue;  // refused in its turn
        if (FitsPathLimit(target + relative)) continue;
        workingPath_ = target + relative;
        SetLastFileErrno(ENAMETOOLONG);
        return ERROR_FILENAME_EXCED_RANGE;
    }
    return 0;
}

bool InstallEngine::StopRequested() {
    return InterruptionRequested() || (status_ && status_->IsCancelRequested());
}

bool InstallEngine::HoldWhilePausedThenStop() {
    // Short naps: the answer to the question is seen within a blink.
    constexpr int32_t kHoldNapMs = 10;
    while (!StopRequested()) {
        if (!status_ || !status_->IsPaused()) return false;
        SleepMilliseconds(kHoldNapMs);
    }
    return true;
}

EntryPlan InstallEngine::PlanOfEntry(const KitFileEntry& entry, uint32_t index) const {
    const InstallTransaction& transaction = *transaction_;
    // The plan looked at the destination already; it is looked at again
    // only where an earlier entry of the run may have written it, and from
    // where the plan stopped. What changed there since is met where the
    // entry is written: a name taken meanwhile, a file gone or renewed.
    if (index < transaction.plannedCount && !transaction.repeatable[index] &&
        transaction.plannedActions[index] != EntryAction::Blocked) {
        WideString relative;
        if (MakeRelativeEntryPath(entry.name, &relative)) {
            EntryPlan plan;
            plan.action = transaction.plannedActions[index];
            plan.destination = transaction.targetDirectory + relative;
            return plan;
        }
    }
    return PlanEntry(transaction.targetDirectory, entry.name, entry.writeTime);
}

uint32_t InstallEngine::InstallEntry(const KitFileEntry& entry, EntryPlan* plan) {
    if (plan->action == EntryAction::Keep) return 0;
    if (plan->action == EntryAction::Blocked) return BlockedEntry(*plan);
    const WideString& destination = plan->destination;
    // A destination that is not there yet is no failure to tell.
    ClearLastFileError();

    // The directories come first, so that setting the destination aside
    // knows whether its directory is one this run made.
    const WideString parent = ParentDirectory(destination);
    uint32_t code = 0;
    // Entries of one directory follow each other: the directory held for
    // the last one, made or found then, serves.
    if (!held_ || !parent.Equals(heldPath_)) {
        code = CreateDirectoryRecorded(parent);
        if (code == 0) code = HoldDirectory(parent);
        if (code != 0) return code;
    }
    const WideString name = destination.Substring(destination.FindLast(u'/') + 1);

    InstallTransaction& transaction = *transaction_;
    // A destination that an earlier entry of this run already wrote holds
    // nothing of the user's: backing it up again would overwrite the user's
    // file in the backup, and it is already recorded for the rollback.
    PathOwner replaced;
    UniqueFileHandle file;
    const bool repeatable = transaction.repeatable.size() > entry_ && transaction.repeatable[entry_];
    const std::u16string key = repeatable ? PathKey(destination) : std::u16string();
    if (repeatable && transaction.writtenPaths.count(key) != 0) {
        // The run's own earlier file goes; its access and owner stay.
        (void)GetOwnerAt(held_.Get(), name, &replaced);
        code = RemoveFileAt(held_.Get(), name);
        if (code == 0) code = CreateEntryFile(destination, name, true, &file);
    } else {
        // A planned addition is made at once: only a name taken since the
        // plan needs a look at what took it.
        const bool planned = plan->action == EntryAction::Add && IsPlanned(EntryAction::Add);
        code = planned ? PrepareAddition(destination, parent, true) : ERROR_ALREADY_EXISTS;
        if (code == 0) code = CreateEntryFile(destination, name, false, &file);
        if (code == ERROR_ALREADY_EXISTS) {
            code = SetAsideDestination(destination, name, entry.writeTime, plan, &replaced);
            if (code != 0 || plan->action == EntryAction::Keep) return code;
            code = CreateEntryFile(destination, name, true, &file);
        }
        if (code == 0 && repeatable) transaction.writtenPaths.insert(key);
    }
    if (code != 0) return code;
    // The new file belongs to whoever owned what it replaces or, where it
    // is new, the directory's owner: a superuser installing for a user
    // leaves the user's templates the user's.
    code = GiveHandleTo(file.Get(), replaced.known ? replaced : HeldOwner());
    // The new contents take the access the owner gave the file they replace.
    if (code == 0 && replaced.known && replaced.regular) code = SetHandleMode(file.Get(), replaced.mode);
    if (code != 0) return code;
    return copier_->Copy(entry, std::move(file), destination, plan->action);
}

uint32_t InstallEngine::BlockedEntry(const EntryPlan& plan) {
    // A directory in the way is no failure of the system: the reason
    // shown is what stands there.
    if (plan.blockedErrno != 0) SetLastFileErrno(plan.blockedErrno);
    if (plan.blockedCode == ERROR_INVALID_DATA) ClearLastFileError();
    return plan.blockedCode;
}

bool InstallEngine::IsPlanned(EntryAction action) const {
    const InstallTransaction& transaction = *transaction_;
    return entry_ < transaction.plannedCount && transaction.plannedActions[entry_] == action;
}

uint32_t InstallEngine::CreateEntryFile(const WideString& destination, const WideString& name, bool lastTry,
                                        UniqueFileHandle* file) {
    // Made exclusively: a name someone planted since (a link, perhaps to a
    // file outside the template directory) is never written through.
    const uint32_t code = CreateFileAt(held_.Get(), name, kNewFileMode, file->OutPtr());
    // After the run set aside what stood there, whoever took the name again
    // owns it: it is not this run's to remove when undoing.
    if (code == ERROR_ALREADY_EXISTS && lastTry) (void)journal_.Record('X', destination, true);
    if (code != 0) return code;
    // Undo removes the file only while it is this one: another user's run
    // into a directory below may have put its own there since.
    PathIdentity identity;
    return GetHeldIdentity(file->Get(), &identity) == 0 ? journal_.RecordFileIdentity(destination, identity) : 0;
}

uint32_t InstallEngine::PrepareAddition(const WideString& destination, const WideString& parent, bool planned) {
    // Once per held directory: its times are kept before its first change.
    const bool held = held_ && parent.Equals(heldPath_);
    if (!(held && heldTimesKept_) && transaction_->createdDirectoryIdentities.count(PathKey(parent)) == 0) {
        const uint32_t code = RememberDirectoryTime(parent);
        if (code != 0) return code;
    }
    if (held) heldTimesKept_ = true;
    // Recorded before writing, so a partly written file is removed too.
    return planned ? 0 : RecordAhead('F', destination);
}

uint32_t InstallEngine::SetAsideDestination(const WideString& destination, const WideString& name,
                                            FILETIME writeTime, EntryPlan* plan, PathOwner* replaced) {
    // One look without following a link: a link (dangling or not) is set
    // aside as it is, never written through. In a directory this run made,
    // anything there was put there by someone else meanwhile: it goes
    // aside as well, and comes back if the run is undone. What stands there
    // decides as it would have in the plan: a file renewed meanwhile stays.
    PathEntryKind kind = PathEntryKind::Missing;
    FILETIME existing = 0;
    uint32_t code = GetEntryAt(held_.Get(), name, &kind, &existing, replaced);
    if (code != 0) return code;
    DecideEntryAction(kind, existing, writeTime, plan);
    if (plan->action == EntryAction::Keep || plan->action == EntryAction::Blocked) {
        // The plan promised undo an addition here; what stands there now is
        // someone else's, and undo must leave it alone.
        if (IsPlanned(EntryAction::Add)) code = journal_.Record('X', destination, true);
        if (code != 0 || plan->action == EntryAction::Keep) return code;
        return BlockedEntry(*plan);
    }
    if (plan->action == EntryAction::Replace) {
        code = BackupExistingFile(destination, name);
        if (code == 0) return 0;
        *replaced = PathOwner();
        if (code != ERROR_FILE_NOT_FOUND || EntryExistsAt(held_.Get(), name)) return code;
        plan->action = EntryAction::Add;
    }
    return PrepareAddition(destination, ParentDirectory(destination), IsPlanned(EntryAction::Add));
}

uint32_t InstallEngine::HoldDirectory(const WideString& directory) {
    const WideString path = WithoutFinalSeparator(directory);
    const std::u16string key = PathKey(path);
    if (held_ && key == heldKey_) return 0;
    heldKey_.clear();
    heldPath_ = WideString();
    heldOwner_ = PathOwner();
    heldTimesKept_ = false;
    const WideString target = WithoutFinalSeparator(Top().targetDirectory);
    if (!PathStartsWith(WithSeparator(path), WithSeparator(target))) return ERROR_INVALID_PARAMETER;
    const WideString relative = path.Length() > target.Length() ? path.Substring(target.Length() + 1) : WideString();
    const uint32_t code =
        OpenDirectoryBelowHeld(target_.Get(), target, relative, &held_, StillRecorded(transaction_->createdDirectoryIdentities));
    if (code == 0) {
        heldKey_ = key;
        heldPath_ = path;
    }
    return code;
}

const PathOwner& InstallEngine::HeldOwner() {
    if (!heldOwner_.known) (void)GetOwnerAt(held_.Get(), WideString(), &heldOwner_);
    return heldOwner_;
}

uint32_t InstallEngine::ReportFailure(uint32_t code, int32_t percent, int systemErrno) {
    // A refused lock names what is in the way and who holds it, not the target.
    const LockRefusal refusal =
        DescribeLockRefusal(code, targetLock_, transaction_ ? transaction_->targetDirectory : workingPath_);
    if (status_ && refusal.textId != nullptr)
        status_->PostFailureDetail(refusal.path, 0, refusal.reason, refusal.textId);
    else if (status_)
        status_->PostFailureDetail(workingPath_, systemErrno);
    // Posted first so the wizard can show it at once; the worker is joined
    // before the process ends, so the rollback still completes.
    WideString text = MessageCatalog::GetText("IDS_INSTALL_ERROR");
    // A full disk is the one cause the user can mend at once: it says so.
    if (code == ERROR_DISK_FULL) text = MessageCatalog::GetText("IDS_ERROR_DISKFULL");
    if (refusal.textId != nullptr) {
        text = MessageCatalog::GetText(refusal.textId);
        text += u" ";
        text += refusal.path;
    }
    Post(code, text, percent);
    return RollbackTransaction(code);
}

uint32_t InstallEngine::ReportFailureAfterThrow(uint32_t code) {
    // The rollback's own allocations may fail again; the code still stands.
    try {
        return ReportFailure(code, percent_);
    } catch (const std::exception&) {
        return code;
    }
}

uint32_t InstallEngine::CancelRun(int32_t percent) {
    RollbackTransaction(ERROR_CANCELLED);
    // Posted after the rollback: once the wizard sees it, the directory is back.
    Post(ERROR_CANCELLED, MessageCatalog::GetText("IDS_CANCEL_FINISH"), percent);
    return ERROR_CANCELLED;
}

}  // namespace tpl
