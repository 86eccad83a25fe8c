// The dry run: the real preparation and the plan of the installation it
// would start, printed as lines or as one JSON document, with nothing changed.
#include <cerrno>
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
    std::string line = "space: " + std::to_string(plan.room.bytes) + " bytes and " +
                       std::to_string(plan.room.inodes) + " inodes needed, ";
    if (!plan.freeKnown) return line + "free space unknown in " + Bytes(plan.spaceDirectory);
    line += std::to_string(plan.free.freeBytes) + " bytes";
    if (plan.free.inodesKnown) line += " and " + std::to_string(plan.free.freeInodes) + " inodes";
    line += " free in " + Bytes(plan.spaceDirectory);
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

std::string LauncherLine(const LauncherFileRecording& file) {
    if (file.action == LauncherFileAction::Skipped) return "launcher file: none is written (--no-record)";
    std::string line = "launcher file: " + Bytes(file.path) + ": ";
    if (file.action != LauncherFileAction::Failed)
        return line + (file.action == LauncherFileAction::Unchanged ? "unchanged" : std::string("would be ") + LauncherFileActionName(file.action));
    const NarrowString reason = SystemErrorText(file.systemErrno);
    return line + "cannot be written: " + std::string(reason.Data(), reason.Length());
}

void PrintPlanLines(const InstallPlan& plan, std::FILE* out) {
    PrintLine(out, "kit: " + Bytes(plan.prepared.kitPath) + ", " + std::to_string(plan.entries.items.size()) +
                       " entries");
    PrintLine(out, "target: " + Bytes(plan.targetDirectory));
    for (const KitPlanItem& item : plan.entries.items) PrintLine(out, EscapeControlCharacters(PlanLine(item)));
    PrintLine(out, PlanSummaryLine(plan.entries));
    PrintLine(out, SpaceLine(plan));
    PrintLine(out, LockLine(plan));
    for (const LauncherFileRecording& file : plan.launcherFiles) PrintLine(out, LauncherLine(file));
    PrintLine(out, "dry run: nothing changed; the installation would end with exit status " +
                       std::to_string(plan.ExitStatus()));
}

// Why the installation would not end with 0, in the order it would meet it;
// null when it would.
nlohmann::ordered_json PlanErrorJson(const InstallPlan& plan) {
    if (plan.lockBusy)
        return ErrorJson("busy", plan.lockDirectory, "IDS_ERROR_TARGETBUSY", NarrowString(HolderText(plan).c_str()));
    if (plan.lockTaken)
        return ErrorJson("lock-unavailable", plan.lockDirectory, "IDS_ERROR_LOCKTAKEN",
                         NarrowString(HolderText(plan).c_str()));
    for (const KitPlanItem& item : plan.entries.items) {
        if (item.plan.action != EntryAction::Blocked) continue;
        return ErrorJson("install-failed", item.plan.destination, "IDS_INSTALL_ERROR",
                         NarrowString(BlockedReason(item.plan).c_str()));
    }
    if (!plan.SpaceSuffices())
        return ErrorJson("no-space", plan.spaceDirectory, "IDS_ERROR_DISKFULL", SystemErrorText(ENOSPC));
    for (const LauncherFileRecording& file : plan.launcherFiles)
        if (file.action == LauncherFileAction::Failed)
            return ErrorJson("launcher-unwritable", file.path, "IDS_ERROR_NOTRECORDED", SystemErrorText(file.systemErrno));
    return nlohmann::ordered_json();
}

// Fills the document with the plan: what the installation would do.
void DescribePlan(const InstallPlan& plan, nlohmann::ordered_json& document) {
    document["kit"] = JsonString(plan.prepared.kitPath);
    document["target"] = JsonString(plan.targetDirectory);
    const KitPlan& entries = plan.entries;
    document["summary"] = {{"added", entries.Count(EntryAction::Add)},
                           {"replaced", entries.Count(EntryAction::Replace)},
                           {"kept", entries.Count(EntryAction::Keep)},
                           {"blocked", entries.Count(EntryAction::Blocked)},
                           {"directoriesCreated", plan.room.newDirectories}};
    document["entries"] = PlanEntriesJson(entries);
    nlohmann::ordered_json space = {{"directory", JsonString(plan.spaceDirectory)},
                                    {"bytesNeeded", plan.room.bytes}};
    space["bytesFree"] = plan.freeKnown ? nlohmann::ordered_json(plan.free.freeBytes) : nlohmann::ordered_json();
    space["inodesNeeded"] = plan.room.inodes;
    space["inodesFree"] =
        plan.freeKnown && plan.free.inodesKnown ? nlohmann::ordered_json(plan.free.freeInodes) : nlohmann::ordered_json();
    space["enough"] = plan.SpaceSuffices();
    document["space"] = space;
    document["lock"] = LockJson(plan);
    if (entries.Count(EntryAction::Add) + entries.Count(EntryAction::Replace) + plan.room.newDirectories > 0)
        document["changed"] = true;
    SetLauncherFiles(document, plan.launcherFiles);
    document["error"] = PlanErrorJson(plan);
}

}  // namespace

int RunDryRun(const HeadlessRequest& request, InstallLog* log, std::FILE* messages, std::FILE* output) {
    // Its unpacked copy goes with it, whatever way this function is left.
    KitReader kit;
    UnpackProgressLine unpacking(messages, request.progressInPlace);
    const InstallPlan plan = PlanInstallation(request.useCurrentDirectory, request.kitFile, request.chosenTarget,
                                              &kit, request.quiet ? nullptr : &unpacking, request.trustedKeys,
                                              request.record);
    unpacking.End();
    if (log) log->Prepared(plan.preparation, plan.prepared, kit);
    const int exitStatus = plan.ExitStatus();
    if (log && plan.Ready()) log->Write("dry run: " + PlanSummaryLine(plan.entries));

    nlohmann::ordered_json document = NewRunDocument(true);
    if (plan.preparation.interrupted) {
        if (!request.quiet) PrintLine(messages, ConsoleCatalogText("IDS_CANCEL_FINISH"));
        document["error"] = ErrorJson("cancelled", WideString(), "IDS_CANCEL_FINISH", NarrowString());
    } else if (!plan.Ready()) {
        PrintLine(messages, PreparationErrorLine(plan.preparation));
        document["error"] = PreparationErrorJson(plan.preparation);
    } else {
        DescribePlan(plan, document);
        if (!request.json) PrintPlanLines(plan, output);
    }
    if (request.json) {
        AddSignatureJson(plan.prepared.signature, &document);
        PrintRunDocument(document, exitStatus, output);
    }
    return exitStatus;
}

}  // namespace tpl
