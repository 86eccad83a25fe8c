// The in-memory table of the launcher file: keys in first-added order and
// spelling, values without case-insensitive duplicates.
#include "config/launcher_config.h"

#include "text/text_helpers.h"

namespace tpl {

namespace {

std::vector<LauncherConfigEntry>::iterator FindEntry(std::vector<LauncherConfigEntry>& entries,
                                                     const WideString& key) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (CompareNoCase(it->key, key) == 0) return it;
    }
    return entries.end();
}

}  // namespace

bool LauncherConfig::AddValue(const WideString& key, const WideString& value) {
    auto entry = FindEntry(entries_, key);
    if (entry == entries_.end()) {
        entries_.push_back(LauncherConfigEntry{key, {}});
        entry = entries_.end() - 1;
    } else {
        for (const WideString& held : entry->values) {
            if (CompareNoCase(held, value) == 0) return false;
        }
    }
    entry->values.push_back(value);
    return true;
}

const std::vector<WideString>* LauncherConfig::FindValues(const WideString& key) const {
    for (const LauncherConfigEntry& entry : entries_) {
        if (CompareNoCase(entry.key, key) == 0) return &entry.values;
    }
    return nullptr;
}

void LauncherConfig::SetValues(const WideString& key, const std::vector<WideString>& values) {
    auto entry = FindEntry(entries_, key);
    if (entry == entries_.end()) {
        // An empty list still makes an entry; it writes no line.
        entries_.push_back(LauncherConfigEntry{key, values});
    } else if (values.empty()) {
        entries_.erase(entry);
    } else {
        entry->values = values;
    }
}

}  // namespace tpl
