#include "session/entry_tally.h"

namespace tpl {

std::string ChangeCountsLine(const ChangeCounts& counts) {
    return std::to_string(counts.added) + " added, " + std::to_string(counts.replaced) + " replaced, " +
           std::to_string(counts.kept) + " kept";
}

ChangeCounts EntryTally::Counts() const {
    return {added_.load(), replaced_.load(), kept_.load()};
}

void EntryTally::EntryHandled(const WideString& destination, EntryAction action, uint32_t code, int systemError) {
    if (code == 0) {
        switch (action) {
            case EntryAction::Add: ++added_; break;
            case EntryAction::Replace: ++replaced_; break;
            case EntryAction::Keep: ++kept_; break;
            case EntryAction::Blocked: break;
        }
    }
    if (next_) next_->EntryHandled(destination, action, code, systemError);
}

void EntryTally::DirectoryCreated(const WideString& path) {
    if (next_) next_->DirectoryCreated(path);
}

void EntryTally::Committed() {
    if (next_) next_->Committed();
}

void EntryTally::RolledBackStep(RollbackStep step, const WideString& path, bool done) {
    if (next_) next_->RolledBackStep(step, path, done);
}

void EntryTally::RolledBack(uint32_t code, bool complete) {
    if (next_) next_->RolledBack(code, complete);
}

}  // namespace tpl
