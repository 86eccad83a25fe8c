#pragma once
// What an installation did, as the front ends tell it at its end: how many
// files it added, replaced and kept, how far an undo has come, and what an
// undo could not put back. Counted from the engine's steps on its worker
// thread, read on the front end's thread.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#include "engine/install_observer.h"
#include "text/cow_string.h"

namespace tpl {

struct ChangeCounts {
    uint32_t added = 0;
    uint32_t replaced = 0;
    uint32_t kept = 0;  // as new as the kit's copy, or newer
};

// "2 added, 1 replaced, 3 kept": the fixed English form of logs and scripts.
std::string ChangeCountsLine(const ChangeCounts& counts);
// The same for a person, in a language of the catalog, its numbers grouped
// as the language writes them (UTF-8).
std::string ChangeCountsText(int32_t languageId, const ChangeCounts& counts);

struct InstallSummary {
    ChangeCounts changes;
    uint32_t directoriesCreated = 0;
    uint32_t undoneSteps = 0;             // of a rollback, done or not
    bool rolledBack = false;              // a rollback has ended
    std::vector<WideString> notRestored;  // replaced files still in the backup
    // Added files a rollback could not remove: the first few, for the report
    // to name, and how many there were.
    std::vector<WideString> notRemoved;
    uint32_t notRemovedCount = 0;
    WideString backupDirectory;           // where they are, when there are any
};

// Counts every step and passes it on to the next observer (the install log).
class EntryTally final : public InstallObserver {
public:
    // next may be null; not owned; must outlive the runs it is told of.
    void SetNext(InstallObserver* next) { next_ = next; }
    // Forgets the counts of an earlier run.
    void Reset();
    InstallSummary Summary() const;
    // What the run did with its entries, handled as planned whatever
    // happened after them.
    ChangeCounts Counts() const { return Summary().changes; }
    // The bar of an undo: from percent back towards 0 as the steps of the
    // rollback are done, 0 once it has ended.
    int32_t RollbackPercent(int32_t from) const;

    void EntryHandled(const WideString& destination, EntryAction action, uint32_t code, int systemError) override;
    void DirectoryCreated(const WideString& path) override;
    void Committed() override;
    void RolledBackStep(RollbackStep step, const WideString& path, bool done) override;
    void BackupKept(const WideString& backupDirectory) override;
    void RolledBack(uint32_t code, bool complete) override;
    void NothingToDo() override;

private:
    mutable std::mutex mutex_;
    InstallSummary summary_;
    InstallObserver* next_ = nullptr;
};

// The lines under the success text: how many files went where and, when
// any file was replaced or kept, how many of each.
WideString SuccessReport(const InstallSummary& summary, const WideString& directory);

// The text of the page after a failed or cancelled run: the text of
// finishTextId (the directory is as it was), or what could not be put back
// (named below directory, the template directory) and where it is kept;
// then the reason and its detail when given.
WideString UndoneReport(const InstallSummary& summary, const WideString& directory, const char* finishTextId,
                        const WideString& reason, const WideString& detail);

}  // namespace tpl
