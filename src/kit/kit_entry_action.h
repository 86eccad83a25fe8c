#pragma once
// What installing one kit entry does at its destination. The installation
// and its preview both ask this one function, so a preview never promises
// what the installation would not do.
#include <cstdint>
#include "fs/file_types.h"
#include "fs/path_mode.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

namespace tpl {

enum class EntryAction {
    Add,      // nothing stands at the destination
    Replace,  // an older entry stands there; it is backed up, then replaced
    Keep,     // what stands there is as new as the entry or newer
    Blocked,  // the installation fails here (a directory, pipe, socket or device in the way, a bad name)
};

struct EntryPlan {
    WideString destination;
    EntryAction action = EntryAction::Blocked;
    uint32_t blockedCode = 0;  // the error the installation meets, when Blocked
    int blockedErrno = 0;      // the reason to show for what stands in the way, when there is one
};

// targetDirectory as NormalizeTargetDirectory gives it. The destination is
// examined without opening it, so a FIFO there cannot block the decision;
// what a link names decides, and a dangling link is replaced (as a link,
// never written through).
EntryPlan PlanEntry(const WideString& targetDirectory, const WideString& entryName, FILETIME writeTime);

// PlanEntry for the entries of a kit in table order. The entries of one
// directory follow each other, so the directory's path is walked once for
// all of them: in a directory that does not exist every entry is new
// without a look, and in one that does each is looked at by its name in
// the directory's descriptor.
class EntryPlanner {
public:
    explicit EntryPlanner(const WideString& targetDirectory) : target_(targetDirectory) {}
    EntryPlan Plan(const WideString& entryName, FILETIME writeTime);

private:
    WideString target_;
    WideString parent_;  // of the entry planned last
    UniqueFileHandle held_;  // parent_, when it could be opened
    bool parentMissing_ = false;
    uint32_t walkCode_ = 0;  // why parent_ could not be opened
    int walkErrno_ = 0;
};

// The action for what stands at the destination (kind and write time as
// GetPathEntry tells them); the destination stays as it is.
void DecideEntryAction(PathEntryKind kind, FILETIME existing, FILETIME writeTime, EntryPlan* plan);

// "add", "replace", "keep" or "blocked".
const char* EntryActionName(EntryAction action);

}  // namespace tpl
