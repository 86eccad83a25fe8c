#include "kit/kit_entry_action.h"

#include <cerrno>

#include "kit/kit_entry_names.h"
#include "text/path_text.h"
#include "fs/path_mode.h"
#include "text/text_helpers.h"

namespace tpl {

EntryPlan PlanEntry(const WideString& targetDirectory, const WideString& entryName, FILETIME writeTime) {
    EntryPlan plan;
    WideString relative;
    if (!MakeRelativeEntryPath(entryName, &relative)) {
        WideString shown = entryName;
        ReplaceAll(shown, u"\\", u"/");
        plan.destination = targetDirectory + shown;
        plan.blockedCode = ERROR_INVALID_DATA;
        return plan;
    }
    plan.destination = targetDirectory + relative;

    PathEntryKind kind = PathEntryKind::Missing;
    FILETIME existing = 0;
    const uint32_t code = GetPathEntry(plan.destination, &kind, &existing);
    if (code != 0) {
        // A file where a directory of the path is needed, or a directory
        // that cannot be searched: the installation cannot write here.
        plan.blockedCode = code;
        return plan;
    }
    DecideEntryAction(kind, existing, writeTime, &plan);
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
