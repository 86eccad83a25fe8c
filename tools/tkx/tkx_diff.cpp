// tkx diff: what an installation of a kit into a directory would do, decided
// for each entry by the same function the installation asks, with nothing changed.
#include <ostream>
#include "kit/kit_entry_names.h"
#include "text/path_text.h"
#include "kit/kit_entry_action.h"
#include "kit/kit_reader.h"
#include "text/convert.h"
#include "tkx_commands.h"
#include "tkx_kit_text.h"

namespace tpl {

namespace {

const char kDiffUsage[] =
    "usage: tkx diff [--json] FILE DIR\n"
    "\n"
    "Shows what installing the kit FILE into the template directory DIR would do,\n"
    "changing nothing. One line per entry: its action, size, write time (ISO 8601,\n"
    "UTC) and name. add: nothing stands there; replace: an older file stands there\n"
    "(it would be backed up); keep: the file there is as new or newer; blocked: a\n"
    "directory or an unusable path is in the way, and the installation would fail\n"
    "with the error code shown. A summary line of counts and bytes ends the list.\n"
    "--json prints one JSON document (UTF-8) instead. Exits 0 when the installation\n"
    "would succeed, 1 when it would fail or the kit is damaged.\n";

constexpr size_t kActionCount = 4;
constexpr size_t kBlocked = static_cast<size_t>(EntryAction::Blocked);

struct DiffTotals {
    uint32_t count[kActionCount] = {};
    uint64_t bytes[kActionCount] = {};
};

struct DiffEntry {
    const KitFileEntry* entry;
    EntryPlan plan;
};

void PrintLine(std::ostream& out, const DiffEntry& item) {
    out << EntryActionName(item.plan.action) << "  " << item.entry->dataSize << "  " << IsoTime(item.entry->writeTime)
        << "  " << LocaleText(item.entry->name);
    if (item.plan.action == EntryAction::Blocked) out << "  (error " << item.plan.blockedCode << ")";
    out << "\n";
}

void PrintSummary(std::ostream& out, const DiffTotals& totals) {
    const char* separator = "";
    for (size_t a = 0; a < kActionCount; ++a) {
        out << separator << totals.count[a] << " " << EntryActionName(static_cast<EntryAction>(a)) << " ("
            << totals.bytes[a] << " bytes)";
        separator = ", ";
    }
    const size_t add = static_cast<size_t>(EntryAction::Add), replace = static_cast<size_t>(EntryAction::Replace);
    out << "; " << totals.bytes[add] + totals.bytes[replace] << " bytes to write\n";
}

nlohmann::ordered_json DiffJson(const KitReader& reader, const std::vector<DiffEntry>& items,
                                const DiffTotals& totals) {
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const DiffEntry& item : items) {
        nlohmann::ordered_json entry = EntryJson(*item.entry);
        entry["action"] = EntryActionName(item.plan.action);
        if (item.plan.action == EntryAction::Blocked) entry["error"] = item.plan.blockedCode;
        entries.push_back(std::move(entry));
    }
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    for (size_t a = 0; a < kActionCount; ++a)
        summary[EntryActionName(static_cast<EntryAction>(a))] = {{"count", totals.count[a]},
                                                                 {"bytes", totals.bytes[a]}};
    const bool succeeds = totals.count[kBlocked] == 0;
    return {
        {"languages", LanguagesJson(reader)}, {"entries", entries}, {"summary", summary}, {"wouldSucceed", succeeds}};
}

}  // namespace

int RunDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandArguments parsed;
    const int status =
        ParseCommandArguments(args, {"diff", kDiffUsage, "a kit file and a directory", 2, true}, &parsed, out, err);
    if (status != kTkxOk) return status < 0 ? kTkxOk : status;
    const std::string& file = parsed.operands[0];
    const std::string& directory = parsed.operands[1];
    if (directory.empty()) {
        err << "tkx: diff: the directory is empty\n" << kDiffUsage;
        return kTkxUsage;
    }
    KitReader reader;
    const uint32_t code = reader.Load(ToWide(file.c_str()));
    if (code != 0) {
        err << "tkx: diff: " << file << ": " << DescribeKitError(code) << " (error " << code << ")\n";
        return kTkxFailed;
    }

    const WideString target = NormalizeTargetDirectory(ToWide(directory.c_str()));
    std::vector<DiffEntry> items;
    DiffTotals totals;
    for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i) {
        const KitFileEntry& entry = reader.GetFileEntry(i);
        items.push_back({&entry, PlanEntry(target, entry.name, entry.writeTime)});
        const size_t a = static_cast<size_t>(items.back().plan.action);
        ++totals.count[a];
        totals.bytes[a] += entry.dataSize;
    }
    if (parsed.json) {
        out << JsonText(DiffJson(reader, items, totals));
    } else {
        for (const DiffEntry& item : items) PrintLine(out, item);
        PrintSummary(out, totals);
    }
    return totals.count[kBlocked] == 0 ? kTkxOk : kTkxFailed;
}

}  // namespace tpl
