// The dry run: the real preparation and the plan of the installation it
// would start, printed as lines or as one JSON document, with nothing changed.
#include <string>

#include "catalog/message_catalog.h"
#include "engine/lock_refusal.h"
#include "fs/last_error.h"
#include "headless/headless_install.h"
#include "headless/headless_report.h"
#include "headless/unpack_progress_line.h"
#include "kit/kit_plan.h"
#include "session/console_text.h"
#include "session/install_log.h"
#include "session/install_outcome.h"
#include "session/install_plan.h"
#include "text/text_helpers.h"
#include "text/utf8.h"

namespace tpl {

namespace {

std::string Bytes(const WideString& path) {
    const NarrowString bytes = ConsolePath(path);
    return EscapeControlCharacters(std::string(bytes.Data(), bytes.Length()));
}

std::string SpaceLine(const InstallPlan& plan) {
    std::string line = "space: " + std::to_string(plan.entries.BytesToWrite()) + " bytes to write, ";
    if (!plan.freeKnown) return line + "free space unknown in " + Bytes(plan.spaceDirectory);
    line += std::to_string(plan.freeBytes) + " bytes free in " + Bytes(plan.spaceDirectory);
    return plan.SpaceSuffices() ? line : line + " (not enough)";
}

// Who holds the lock in the way, in the plan's own words (English).
std::string HolderText(const InstallPlan& plan) {
    const NarrowString text = ToUtf8(LockHolderText(plan.lockHolder, plan.lockTaken, kEnglishLanguageId));
    return std::string(text.Data(), text.Length());
}

std::string LockLine(const InstallPlan& plan) {
    std::string line = "lock: " + Bytes(plan.lockDirectory);
    if (!plan.lockBusy && !plan.lockTaken) return line + " is free";
    line += plan.lockBusy ? " is held by another installation" : " is another user's and no other can be had";
    const std::string holder = HolderText(plan);
    return holder.empty() ? line : line + " (" + EscapeControlCharacters(holder) + ")";
}

nlohmann::ordered_json LockJson(const InstallPlan& plan) {
    nlohmann::ordered_json lock = {{"directory", JsonString(plan.lockDirectory)},
                                   {"available", !plan.lockBusy && !plan.lockTaken}};
    if (!plan.lockBusy && !plan.lockTaken) return lock;
    const LockHolder& holder = plan.lockHolder;
    lock["lockDirectoryTaken"] = plan.lockTaken;
    lock["holder"] = {{"pid", holder.pid != 0 ? nlohmann::ordered_json(holder.pid) : nlohmann::ordered_json()},
                      {"uid", holder.userKnown ? nlohmann::ordered_json(holder.uid) : nlohmann::ordered_json()},
                      {"user", holder.userName.Empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(JsonString(holder.userName))},
                      {"text", HolderText(plan)}};
    return lock;
}

std::string LauncherLine(const LauncherFileCheck& file) {
    std::string line = "launcher file: " + Bytes(file.path);
    if (file.Writable()) return line + ": writable";
    const NarrowString reason = SystemErrorText(file.systemErrno);
    return line + ": cannot be written: " + std::string(reason.Data(), reason.Length());
}

void PrintPlanLines(const InstallPlan& plan, std::FILE* out) {
    PrintLine(out, "kit: " + Bytes(plan.prepared.kitPath) + ", " + std::to_string(plan.entries.items.size()) +
                       " entries");
    PrintLine(out, "target: " + Bytes(plan.targetDirectory));
    for (const KitPlanItem& item : plan.entries.items) PrintLine(out, EscapeControlCharacters(PlanLine(item)));
    PrintLine(out, PlanSummaryLine(plan.entries));
    PrintLine(out, SpaceLine(plan));
    PrintLine(out, LockLine(plan));
    for (const LauncherFileCheck& file : plan.launcherFiles) PrintLine(out, LauncherLine(file));
    PrintLine(out, "dry run: nothing changed; the installation would end with exit status " +
                       std::to_string(plan.ExitStatus()));
}

nlohmann::ordered_json PlanJson(const InstallPlan& plan, const KitReader& kit) {
    nlohmann::ordered_json launcherFiles = nlohmann::ordered_json::array();
    for (const LauncherFileCheck& file : plan.launcherFiles) {
        nlohmann::ordered_json entry = {{"path", JsonString(file.path)}, {"writable", file.Writable()}};
        if (!file.Writable()) entry["reason"] = SystemErrorText(file.systemErrno).Data();
        launcherFiles.push_back(std::move(entry));
    }
    nlohmann::ordered_json space = {{"directory", JsonString(plan.spaceDirectory)},
                                    {"bytesToWrite", plan.entries.BytesToWrite()}};
    space["bytesFree"] = plan.freeKnown ? nlohmann::ordered_json(plan.freeBytes) : nlohmann::ordered_json();
    space["enough"] = plan.SpaceSuffices();
    return {{"kit", JsonString(plan.prepared.kitPath)},
            {"languages", LanguagesJson(kit)},
            {"target", JsonString(plan.targetDirectory)},
            {"entries", PlanEntriesJson(plan.entries)},
            {"summary", PlanSummaryJson(plan.entries)},
            {"space", space},
            {"lock", LockJson(plan)},
            {"launcherFiles", launcherFiles}};
}

}  // namespace

int RunDryRun(const HeadlessRequest& request, InstallLog* log, std::FILE* messages, std::FILE* output) {
    // Its unpacked copy goes with it, whatever way this function is left.
    KitReader kit;
    UnpackProgressLine unpacking(messages, request.progressInPlace);
    const InstallPlan plan = PlanInstallation(request.useCurrentDirectory, request.kitFile, request.chosenTarget,
                                              &kit, request.quiet ? nullptr : &unpacking, request.trustedKeys);
    unpacking.End();
    if (log) log->Prepared(plan.preparation, plan.prepared, kit);
    const int exitStatus = plan.ExitStatus();
    if (log && plan.Ready()) log->Write("dry run: " + PlanSummaryLine(plan.entries));

    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    if (plan.preparation.interrupted) {
        if (!request.quiet) PrintLine(messages, ConsoleCatalogText("IDS_CANCEL_FINISH"));
    } else if (!plan.Ready()) {
        PrintLine(messages, PreparationErrorLine(plan.preparation));
        document["error"] = PreparationErrorJson(plan.preparation);
    } else if (request.json) {
        document = PlanJson(plan, kit);
    } else {
        PrintPlanLines(plan, output);
    }
    if (request.json) {
        AddSignatureJson(plan.prepared.signature, &document);
        document["dryRun"] = true;
        document["wouldSucceed"] = exitStatus == kExitInstalled;
        document["exitStatus"] = exitStatus;
        std::fputs(JsonText(document).c_str(), output);
        std::fflush(output);
    }
    return exitStatus;
}

}  // namespace tpl
