#include "kit/kit_plan.h"

#include <ctime>
#include "fs/file_types.h"
#include "fs/last_error.h"
#include "text/convert.h"
#include "text/text_helpers.h"
#include "text/utf8.h"

namespace tpl {

namespace {

std::string Utf8(const WideString& text) {
    const NarrowString utf8 = ToUtf8(text);
    return std::string(utf8.Data(), utf8.Length());
}

// For a terminal: in the locale's encoding, control characters escaped.
std::string LocaleBytes(const WideString& text) {
    const NarrowString narrow = ToNarrow(text);
    return EscapeControlCharacters(std::string(narrow.Data(), narrow.Length()));
}

}  // namespace

uint64_t KitPlan::BytesToWrite() const {
    return bytes[static_cast<size_t>(EntryAction::Add)] + bytes[static_cast<size_t>(EntryAction::Replace)];
}

KitPlan PlanKit(const KitReader& reader, const WideString& targetDirectory) {
    KitPlan plan;
    EntryPlanner planner(targetDirectory);
    for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i) {
        KitFileEntry entry = reader.GetFileEntry(i);
        EntryPlan entryPlan = planner.Plan(entry.name, entry.writeTime);
        plan.items.push_back({std::move(entry), std::move(entryPlan)});
        const size_t a = static_cast<size_t>(plan.items.back().plan.action);
        ++plan.count[a];
        plan.bytes[a] += plan.items.back().entry.dataSize;
    }
    return plan;
}

std::string IsoTime(FILETIME time) {
    const int64_t seconds = static_cast<int64_t>(time / 10000000ull) - 11644473600ll;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "?";
    if (gmtime_r(&t, &parts) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string BlockedReason(const EntryPlan& plan) {
    // A name no file system path can be made of is the kit's fault, not the system's.
    if (plan.blockedCode == ERROR_INVALID_DATA) return "not a valid name for a file";
    return ErrorReasonText(plan.blockedCode, plan.blockedErrno).Data();
}

std::string PlanLine(const KitPlanItem& item) {
    std::string line = std::string(EntryActionName(item.plan.action)) + "  " + std::to_string(item.entry.dataSize) +
                       "  " + IsoTime(item.entry.writeTime) + "  " + LocaleBytes(item.entry.name);
    if (item.plan.action == EntryAction::Blocked) line += "  (" + BlockedReason(item.plan) + ")";
    return line;
}

std::string PlanSummaryLine(const KitPlan& plan) {
    std::string line;
    for (size_t a = 0; a < kEntryActionCount; ++a) {
        if (!line.empty()) line += ", ";
        line += std::to_string(plan.count[a]) + " " + EntryActionName(static_cast<EntryAction>(a)) + " (" +
                std::to_string(plan.bytes[a]) + " bytes)";
    }
    return line + "; " + std::to_string(plan.BytesToWrite()) + " bytes to write";
}

nlohmann::ordered_json LanguagesJson(const KitReader& reader) {
    nlohmann::ordered_json languages = nlohmann::ordered_json::array();
    for (const KitLanguageEntry& language : reader.GetLanguageEntries()) {
        languages.push_back({{"code", Utf8(language.code)},
                             {"product", Utf8(language.product)},
                             {"vendor", Utf8(language.vendor)},
                             {"description", Utf8(language.descriptionPath)}});
    }
    return languages;
}

nlohmann::ordered_json EntryJson(const KitFileEntry& entry) {
    return {{"name", Utf8(entry.name)}, {"size", entry.dataSize}, {"writeTime", IsoTime(entry.writeTime)}};
}

nlohmann::ordered_json PlanEntriesJson(const KitPlan& plan) {
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const KitPlanItem& item : plan.items) {
        nlohmann::ordered_json entry = EntryJson(item.entry);
        entry["action"] = EntryActionName(item.plan.action);
        entry["reason"] = item.plan.action == EntryAction::Blocked ? nlohmann::ordered_json(BlockedReason(item.plan))
                                                                   : nlohmann::ordered_json();
        entries.push_back(std::move(entry));
    }
    return entries;
}

nlohmann::ordered_json PlanSummaryJson(const KitPlan& plan) {
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    for (size_t a = 0; a < kEntryActionCount; ++a)
        summary[EntryActionName(static_cast<EntryAction>(a))] = {{"count", plan.count[a]}, {"bytes", plan.bytes[a]}};
    return summary;
}

std::string JsonText(const nlohmann::ordered_json& document) {
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace tpl
