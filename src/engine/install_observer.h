#pragma once
// What an installation run tells as it goes, for an install log. The engine
// calls it on its worker thread, in the order of the steps; an observer
// never changes the run.
#include <cstdint>
#include "journal/journal_recovery.h"
#include "kit/kit_entry_action.h"
#include "text/cow_string.h"

namespace tpl {

class InstallObserver {
public:
    virtual ~InstallObserver() = default;

    // An entry has been handled as planned (code 0; Add, Replace or Keep),
    // or failed with code and the system's errno behind it (0 when none).
    virtual void EntryHandled(const WideString& destination, EntryAction action, uint32_t code, int systemError) = 0;
    virtual void DirectoryCreated(const WideString& path) = 0;
    virtual void Committed() = 0;
    // One step of a rollback; done is false when it could not be carried out.
    virtual void RolledBackStep(RollbackStep step, const WideString& path, bool done) = 0;
    // The rollback after code (ERROR_CANCELLED for a cancel or a signal) has
    // ended; complete is false when replaced files had to stay in the backup.
    virtual void RolledBack(uint32_t code, bool complete) = 0;
    // Before RolledBack with complete false: the backup directory that keeps
    // the replaced files which could not be moved back.
    virtual void BackupKept(const WideString& /*backupDirectory*/) {}
    // After every entry was handled as kept: the run made no change, and
    // there is nothing to commit.
    virtual void NothingToDo() {}
};

}  // namespace tpl
