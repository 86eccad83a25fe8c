#pragma once
// Counts what a run did with its entries, so that a script can tell a run
// that changed something from one that had nothing to do, and passes every
// step on to the next observer (the install log).
#include <atomic>
#include <cstdint>
#include <string>
#include "engine/install_observer.h"

namespace tpl {

struct ChangeCounts {
    uint32_t added = 0;
    uint32_t replaced = 0;
    uint32_t kept = 0;
};

// "2 added, 1 replaced, 3 kept"
std::string ChangeCountsLine(const ChangeCounts& counts);

class EntryTally final : public InstallObserver {
public:
    // The observer told of every step after the count (may be null; not owned).
    void SetNext(InstallObserver* next) { next_ = next; }
    // Read once the run's outcome is known; counts entries handled as
    // planned, whatever happened after them.
    ChangeCounts Counts() const;

    void EntryHandled(const WideString& destination, EntryAction action, uint32_t code, int systemError) override;
    void DirectoryCreated(const WideString& path) override;
    void Committed() override;
    void RolledBackStep(RollbackStep step, const WideString& path, bool done) override;
    void RolledBack(uint32_t code, bool complete) override;

private:
    InstallObserver* next_ = nullptr;
    // Written by the worker, read by the front end's thread.
    std::atomic<uint32_t> added_{0};
    std::atomic<uint32_t> replaced_{0};
    std::atomic<uint32_t> kept_{0};
};

}  // namespace tpl
