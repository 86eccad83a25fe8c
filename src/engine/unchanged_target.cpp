#include "engine/unchanged_target.h"

#include "fs/path_mode.h"
#include "kit/kit_entry_action.h"

namespace tpl {

bool EveryEntryKept(const KitReader& kit, const WideString& target) {
    if (!IsExistingDirectory(target)) return false;
    for (uint32_t i = 0; i < kit.GetFileEntryCount(); ++i) {
        const KitFileEntry entry = kit.GetFileEntry(i);
        if (PlanEntry(target, entry.name, entry.writeTime).action != EntryAction::Keep) return false;
    }
    return true;
}

}  // namespace tpl
