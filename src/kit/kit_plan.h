#pragma once
// What installing a whole kit into a directory would do: each entry's action
// (the one decision the installation itself asks) and the counts and bytes
// per action. Shared by the preview tool and the installer's dry run, so
// that both say the same thing in the same words.
#include <cstdint>
#include <string>
#include <vector>
#include <nlohmann/json.hpp>
#include "kit/kit_entry_action.h"
#include "kit/kit_reader.h"

namespace tpl {

constexpr size_t kEntryActionCount = 4;

struct KitPlanItem {
    KitFileEntry entry;
    EntryPlan plan;
};

struct KitPlan {
    std::vector<KitPlanItem> items;  // in table order
    uint32_t count[kEntryActionCount] = {};
    uint64_t bytes[kEntryActionCount] = {};

    uint32_t Count(EntryAction action) const { return count[static_cast<size_t>(action)]; }
    // The bytes the installation writes: what it adds and what it replaces.
    uint64_t BytesToWrite() const;
    bool WouldSucceed() const { return Count(EntryAction::Blocked) == 0; }
};

// targetDirectory as NormalizeTargetDirectory gives it. Looks, never touches.
KitPlan PlanKit(const KitReader& reader, const WideString& targetDirectory);

// ISO 8601 in UTC, "2020-09-13T12:26:40Z"; 64-bit seconds, so times past
// 2038 print as they are.
std::string IsoTime(FILETIME time);

// Why a blocked entry cannot be written, in words ("Is a directory").
std::string BlockedReason(const EntryPlan& plan);
// "add  812  2026-11-30T09:12:00Z  conf\new.cfg", "  (Is a directory)"
// after a blocked one; the name in the locale's encoding. No line feed.
std::string PlanLine(const KitPlanItem& item);
// "1 add (812 bytes), ..., 0 blocked (0 bytes); 1857 bytes to write"
std::string PlanSummaryLine(const KitPlan& plan);

// The languages with their texts, in UTF-8 whatever the locale.
nlohmann::ordered_json LanguagesJson(const KitReader& reader);
// One entry: its name as stored (UTF-8), size and write time.
nlohmann::ordered_json EntryJson(const KitFileEntry& entry);
// The entries with their actions, and the counts and bytes per action.
nlohmann::ordered_json PlanEntriesJson(const KitPlan& plan);
nlohmann::ordered_json PlanSummaryJson(const KitPlan& plan);

// A document, indented, with a final newline; text that is not UTF-8 is
// replaced rather than thrown about.
std::string JsonText(const nlohmann::ordered_json& document);

}  // namespace tpl
