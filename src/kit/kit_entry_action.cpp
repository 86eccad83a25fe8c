#include "kit/kit_entry_action.h"

#include <cerrno>

#include "kit/kit_entry_names.h"
#include "text/path_text.h"
#include "fs/held_directory.h"
#include "fs/last_error.h"
#include "fs/path_mode.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {
// The destination of entryName in plan; false when the name is no
// installable path (the plan is then blocked).
bool SetDestination(const WideString& targetDirectory, const WideString& entryName, EntryPlan* plan) {
    WideString relative;
    if (!MakeRelativeEntryPath(entryName, &relative)) {
        WideString shown = entryName;
        ReplaceAll(shown, u"\\", u"/");
        plan->destination = targetDirectory + shown;
        plan->blockedCode = ERROR_INVALID_DATA;
        return false;
    }
    plan->destination = targetDirectory + relative;
    return true;
}

// The plan after a look at the destination that gave code, kind and existing.
void DecideByLook(uint32_t code, PathEntryKind kind, FILETIME existing, FILETIME writeTime, EntryPlan* plan) {
    if (code != 0) {
        // A file where a directory of the path is needed, or a directory
        // that cannot be searched: the installation cannot write here.
        plan->action = EntryAction::Blocked;
        plan->blockedCode = code;
        plan->blockedErrno = GetLastFileErrno();
        return;
    }
    DecideEntryAction(kind, existing, writeTime, plan);
}
}  // namespace

EntryPlan PlanEntry(const WideString& targetDirectory, const WideString& entryName, FILETIME writeTime) {
    EntryPlanner planner(targetDirectory);
    return planner.Plan(entryName, writeTime);
}

EntryPlan EntryPlanner::Plan(const WideString& entryName, FILETIME writeTime) {
    EntryPlan plan;
    if (!SetDestination(target_, entryName, &plan)) return plan;
    const auto slash = plan.destination.FindLast(u'/');
    const WideString parent = plan.destination.Substring(0, slash);
    if (!parent.Equals(parent_)) {
        parent_ = parent;
        held_.Reset();
        // Walked from the template directory (links in its own path are
        // followed: that is the path the user chose), one name at a time and
        // never through a link, as the installation walks it: a link, or a
        // file, in a directory's place blocks the entry here already.
        const WideString target = WithoutFinalSeparator(target_);
        const WideString relative =
            parent.Length() > target.Length() ? parent.Substring(target.Length() + 1) : WideString();
        walkCode_ = OpenDirectoryBeneath(target, relative, &held_);
        walkErrno_ = walkCode_ != 0 ? GetLastFileErrno() : 0;
        parentMissing_ = walkCode_ != 0 && walkErrno_ == ENOENT;
        if (walkCode_ != 0) held_.Reset();
    }
    PathEntryKind kind = PathEntryKind::Missing;
    FILETIME existing = 0;
    uint32_t code = 0;
    if (parentMissing_) {
        // Nothing can stand below a directory that is not there.
    } else if (held_) {
        PathOwner owner;
        code = GetEntryAt(held_.Get(), plan.destination.Substring(slash + 1), &kind, &existing, &owner);
    } else {
        code = walkCode_;
        plan.blockedErrno = walkErrno_;
    }
    DecideByLook(code, kind, existing, writeTime, &plan);
    return plan;
}

void DecideEntryAction(PathEntryKind kind, FILETIME existing, FILETIME writeTime, EntryPlan* plan) {
    plan->action = EntryAction::Blocked;
    plan->blockedCode = 0;
    plan->blockedErrno = 0;
    switch (kind) {
        case PathEntryKind::Missing:
            plan->action = EntryAction::Add;
            break;
        case PathEntryKind::Directory:
            // Replacing a directory by a file would put the user's tree at
            // risk, whatever the times say.
            plan->blockedCode = ERROR_ALREADY_EXISTS;
            plan->blockedErrno = EISDIR;
            break;
        case PathEntryKind::Special:
            // A pipe, socket or device is no template, kept or not: its time
            // says nothing about whether the template is there, and what
            // the user put there is not the run's to set aside.
            plan->blockedCode = ERROR_ALREADY_EXISTS;
            plan->blockedErrno = EEXIST;
            break;
        case PathEntryKind::File:
        case PathEntryKind::Dangling:
            plan->action = writeTime > existing ? EntryAction::Replace : EntryAction::Keep;
            break;
    }
}

const char* EntryActionName(EntryAction action) {
    switch (action) {
        case EntryAction::Add:
            return "add";
        case EntryAction::Replace:
            return "replace";
        case EntryAction::Keep:
            return "keep";
        case EntryAction::Blocked:
            break;
    }
    return "blocked";
}

}  // namespace tpl
