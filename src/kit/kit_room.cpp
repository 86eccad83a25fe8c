#include "kit/kit_room.h"

#include <string>
#include <unordered_set>
#include "fs/path_mode.h"
#include "kit/kit_entry_action.h"
#include "text/path_text.h"

namespace tpl {

namespace {

uint64_t RoundUp(uint64_t bytes, uint64_t unit) {
    return unit == 0 ? bytes : (bytes + unit - 1) / unit * unit;
}

// Counts the directories on the way up from directory that do not exist
// yet and have not been counted.
uint32_t CountMissing(WideString directory, std::unordered_set<std::u16string>* seen) {
    uint32_t count = 0;
    directory = WithoutFinalSeparator(directory);
    while (!directory.Empty() && seen->insert(PathKey(directory)).second && !IsExistingDirectory(directory)) {
        ++count;
        directory = ParentDirectory(directory);
    }
    return count;
}

}  // namespace

KitRoom MeasureKitRoom(const KitReader& kit, const WideString& targetDirectory, uint64_t blockSize) {
    KitRoom room;
    std::unordered_set<std::u16string> seen;
    room.newDirectories = CountMissing(targetDirectory, &seen);
    EntryPlanner planner(targetDirectory);
    for (uint32_t i = 0; i < kit.GetFileEntryCount(); ++i) {
        const KitFileEntry entry = kit.GetFileEntry(i);
        const EntryPlan plan = planner.Plan(entry.name, entry.writeTime);
        if (plan.action == EntryAction::Keep) continue;
        room.everyEntryKept = false;
        if (plan.action == EntryAction::Blocked) continue;
        room.bytes += RoundUp(entry.dataSize, blockSize);
        ++room.inodes;
        if (plan.action == EntryAction::Add) room.newDirectories += CountMissing(ParentDirectory(plan.destination), &seen);
    }
    room.bytes += static_cast<uint64_t>(room.newDirectories) * blockSize;
    room.inodes += room.newDirectories;
    return room;
}

WideString NearestExistingParent(const WideString& path) {
    WideString directory = WithoutFinalSeparator(path);
    while (!directory.Empty() && !IsExistingDirectory(directory)) directory = ParentDirectory(directory);
    return directory;
}

}  // namespace tpl
