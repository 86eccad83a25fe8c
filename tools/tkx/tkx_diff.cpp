// tkx diff: what an installation of a kit into a directory would do, decided
// for each entry by the same function the installation asks, with nothing changed.
#include <ostream>
#include "text/path_text.h"
#include "kit/kit_plan.h"
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

nlohmann::ordered_json DiffJson(const KitReader& reader, const KitPlan& plan) {
    return {{"languages", LanguagesJson(reader)},
            {"entries", PlanEntriesJson(plan)},
            {"summary", PlanSummaryJson(plan)},
            {"wouldSucceed", plan.WouldSucceed()}};
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
        err << KitLoadFailureLine("diff", file, code);
        return kTkxFailed;
    }

    const KitPlan plan = PlanKit(reader, NormalizeTargetDirectory(ToWide(directory.c_str())));
    if (parsed.json) {
        out << JsonText(DiffJson(reader, plan));
    } else {
        for (const KitPlanItem& item : plan.items) out << PlanLine(item) << "\n";
        out << PlanSummaryLine(plan) << "\n";
    }
    return plan.WouldSucceed() ? kTkxOk : kTkxFailed;
}

}  // namespace tpl
