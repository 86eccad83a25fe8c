// The installation without a window, run in this process against a private
// HOME and TMPDIR, so that leaks and lost files both show.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <nlohmann/json.hpp>

#include "headless/headless_install.h"
#include "support/captured_stream.h"
#include "catalog/message_catalog.h"
#include "fs/directory_lock.h"
#include "fs/interruption.h"
#include "fs/user_names.h"
#include "session/install_log.h"
#include "support/install_sandbox.h"
#include "support/minisign_tool.h"
#include "support/kit_test_support.h"
#include "support/test_times.h"
#include "support/tmpfs_mount.h"

namespace tpl {

namespace {

class HeadlessInstallTest : public InstallSandboxTest {
protected:
    void TearDown() override {
        ClearInterruptionRequest();
        InstallSandboxTest::TearDown();
    }
    static HeadlessRequest Request(const std::string& target) {
        HeadlessRequest request;
        request.useCurrentDirectory = true;
        request.chosenTarget = Wide(target);
        return request;
    }
    int Run(const std::string& target = std::string()) {
        return RunHeadlessInstallation(Request(target), nullptr, messages_.Get(), output_.Get());
    }
    // A run of its own, with what it printed.
    std::pair<int, std::string> RunPrinting(const std::string& target) {
        CapturedStream out;
        const int status = RunHeadlessInstallation(Request(target), nullptr, out.Get(), output_.Get());
        return {status, out.Text()};
    }
    CapturedStream messages_;
    CapturedStream output_;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(HeadlessInstallTest, InstallsRecordsAndReports) {
    WriteKit({{u"a.cfg", 0, "alpha"}, {u"sub\\b.cfg", 0, "beta"}});
    ASSERT_EQ(Run(), 0) << messages_.Text();
    EXPECT_EQ(ReadFile(DefaultTarget() + "a.cfg"), "alpha");
    EXPECT_EQ(ReadFile(DefaultTarget() + "sub/b.cfg"), "beta");
    std::string target = DefaultTarget();
    target.pop_back();
    EXPECT_EQ(ReadFile(home_ + "/.Vq/pivotrun/pivotrun.cfg"), "ConfigurationTemplatesLocation=" + target + "\n");
    const std::string text = messages_.Text();
    EXPECT_TRUE(Contains(text, "Template directory: " + DefaultTarget() + "\n")) << text;
    EXPECT_TRUE(Contains(text, "Files being copied... 100%\n")) << text;
    EXPECT_TRUE(Contains(text, "Configuration installed successfully.\n2 added, 0 replaced, 0 kept\n")) << text;
    EXPECT_TRUE(output_.Text().empty()) << output_.Text();
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

// A script tells "changed" from "nothing to do" by the summary; with
// --quiet nothing but errors reaches standard error.
TEST_F(HeadlessInstallTest, QuietRunsSayNothingAndTheJsonSummaryCountsTheChanges) {
    WriteKit({{u"a.cfg", 0, "alpha"}, {u"sub\\b.cfg", 0, "beta"}});
    HeadlessRequest request = Request(std::string());
    request.quiet = true;
    request.json = true;
    for (const auto& [added, kept] : {std::pair<int, int>{2, 0}, std::pair<int, int>{0, 2}}) {
        CapturedStream out;
        CapturedStream json;
        ASSERT_EQ(RunHeadlessInstallation(request, nullptr, out.Get(), json.Get()), 0);
        EXPECT_EQ(out.Text(), "");
        const nlohmann::json document = nlohmann::json::parse(json.Text());
        EXPECT_EQ(document["summary"]["added"], added) << json.Text();
        EXPECT_EQ(document["summary"]["replaced"], 0);
        EXPECT_EQ(document["summary"]["kept"], kept);
        EXPECT_EQ(document["exitStatus"], 0);
        EXPECT_EQ(document["target"], DefaultTarget());
    }
    // An error is still told, on one line, and in the document.
    std::filesystem::remove(cwd_ + "/qbx4.tkx");
    CapturedStream out;
    CapturedStream json;
    EXPECT_EQ(RunHeadlessInstallation(request, nullptr, out.Get(), json.Get()), 1);
    EXPECT_EQ(out.Text(), "tplsetup: " + cwd_ + "/qbx4.tkx: Distribution kit file qbx4.tkx not found: " +
                              std::strerror(ENOENT) + "\n");
    const nlohmann::json document = nlohmann::json::parse(json.Text());
    EXPECT_EQ(document["exitStatus"], 1);
    EXPECT_EQ(document["error"]["path"], cwd_ + "/qbx4.tkx");
}

TEST_F(HeadlessInstallTest, ChosenTargetReplacesTheProposalAndIsRecordedFirst) {
    const std::string proposed = Path("proposed");
    WriteFile(proposed + "/keep.cfg", "the user's");
    NameTemplateLocation(proposed);
    WriteKit({{u"a.cfg", 0, "alpha"}});
    const std::string chosen = Path("chosen dir");

    ASSERT_EQ(Run(chosen), 0) << messages_.Text();
    EXPECT_EQ(ReadFile(chosen + "/a.cfg"), "alpha");
    EXPECT_FALSE(Exists(proposed + "/a.cfg"));
    EXPECT_TRUE(Contains(messages_.Text(), "Template directory: " + chosen + "\n")) << messages_.Text();
    const std::string launcher = ReadFile(home_ + "/.Vq/pivotrun/pivotrun.cfg");
    EXPECT_EQ(launcher.find("ConfigurationTemplatesLocation=" + chosen + "\n"), 0u) << launcher;
    EXPECT_TRUE(Contains(launcher, proposed)) << launcher;
}

TEST_F(HeadlessInstallTest, FailedInstallationIsRolledBackAndNotRecorded) {
    const std::string target = Path("templates");
    WriteFile(target + "/sub", "a file where the kit needs a folder");
    WriteFile(target + "/keep.cfg", "the user's");
    NameTemplateLocation(target);
    const std::string launcher = ReadFile(home_ + "/.Vq/pivotrun/pivotrun.cfg");
    WriteKit({{u"a.cfg", 0, "alpha"}, {u"sub\\b.cfg", 0, "beta"}});

    EXPECT_EQ(Run(), 1);
    EXPECT_FALSE(Exists(target + "/a.cfg"));
    EXPECT_EQ(ReadFile(target + "/sub"), "a file where the kit needs a folder");
    EXPECT_EQ(ReadFile(target + "/keep.cfg"), "the user's");
    EXPECT_EQ(ReadFile(home_ + "/.Vq/pivotrun/pivotrun.cfg"), launcher);
    const std::string text = messages_.Text();
    // Where it failed and what the system said, on one line, with no
    // number of another system's errors in it.
    EXPECT_TRUE(Contains(text, "tplsetup: " + target + "/sub/b.cfg: Installation error: Not a directory\n")) << text;
    EXPECT_FALSE(Contains(text, "(3)")) << text;
    EXPECT_TRUE(Contains(text, "Template directory has not been changed.")) << text;
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

TEST_F(HeadlessInstallTest, PreparationErrorIsPrintedWithStatusOne) {
    EXPECT_EQ(Run(), 1);
    // The place it looked in is named: the current directory here (usecwd).
    EXPECT_EQ(messages_.Text(), "tplsetup: " + cwd_ + "/qbx4.tkx: Distribution kit file qbx4.tkx not found: " +
                                    std::strerror(ENOENT) + "\n");

    // --kit: the kit from anywhere, and where it was looked for when missing.
    WriteKit({{u"a.cfg", 0, "alpha"}});
    std::filesystem::create_directories(Path("kits"));
    std::filesystem::rename(cwd_ + "/qbx4.tkx", Path("kits/any name.tkx"));
    HeadlessRequest request = Request(std::string());
    request.kitFile = Wide(Path("kits/any name.tkx"));
    CapturedStream out;
    ASSERT_EQ(RunHeadlessInstallation(request, nullptr, out.Get(), output_.Get()), 0) << out.Text();
    EXPECT_EQ(ReadFile(DefaultTarget() + "a.cfg"), "alpha");
    request.kitFile = Wide(Path("kits/gone.tkx"));
    const auto [status, printed] = std::pair<int, std::string>{
        RunHeadlessInstallation(request, nullptr, messages_.Get(), output_.Get()), std::string()};
    EXPECT_EQ(status, 1);
    // The file given is the file named, in the line and in the document.
    EXPECT_TRUE(Contains(messages_.Text(), "tplsetup: " + Path("kits/gone.tkx") +
                                               ": Distribution kit file gone.tkx not found: " + std::strerror(ENOENT)))
        << messages_.Text();
    request.json = true;
    CapturedStream json;
    EXPECT_EQ(RunHeadlessInstallation(request, nullptr, messages_.Get(), json.Get()), 1);
    const nlohmann::json document = nlohmann::json::parse(json.Text());
    EXPECT_EQ(document["error"]["code"], "kit-missing");
    EXPECT_EQ(document["error"]["message"], "Distribution kit file gone.tkx not found.");
    EXPECT_EQ(document["error"]["reason"], std::strerror(ENOENT));
    EXPECT_EQ(document["kit"], nullptr);
}

TEST_F(HeadlessInstallTest, InterruptedRunEndsCancelledWithNothingInstalled) {
    WriteKit({{u"a.cfg", 0, "alpha"}});
    ASSERT_TRUE(InstallInterruptionHandlers());
    std::raise(SIGINT);
    EXPECT_EQ(Run(), 2);
    EXPECT_FALSE(Exists(DefaultTarget() + "a.cfg"));
    EXPECT_FALSE(Exists(home_ + "/.Vq/pivotrun/pivotrun.cfg"));
    EXPECT_TRUE(Contains(messages_.Text(), "Installation canceled.")) << messages_.Text();
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

TEST_F(HeadlessInstallTest, AFullDiskSaysSoAndIsRolledBack) {
    const std::string target = Path("small");
    std::filesystem::create_directories(target);
    TmpfsMount small(target, "size=64k");
    if (!small.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
    NameTemplateLocation(target);
    WriteKit({{u"a.cfg", 0, "alpha"}, {u"big.cfg", 0, std::string(1u << 20, 'x')}});

    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(target));
    // Found before the first file is written.
    const std::string text = messages_.Text();
    EXPECT_TRUE(Contains(text, "tplsetup: " + target + ": There is not enough space on the disk: " +
                                   std::strerror(ENOSPC) + "\n"))
        << text;
    EXPECT_FALSE(Contains(text, "Files being copied... 50%")) << text;
    EXPECT_TRUE(Contains(text, "Template directory has not been changed.")) << text;
}

// Space as the file system counts it: on an 8 KiB file system six small
// files (1,182 bytes) need six blocks, not 1,182 bytes. The dry run and the
// run's own check say so alike, before anything is written; a kit that
// fits its blocks goes in.
TEST_F(HeadlessInstallTest, SpaceIsCountedInBlocksAndInodesByTheDryRunAndTheRun) {
    const std::string target = Path("tiny");
    std::filesystem::create_directories(target);
    TmpfsMount tiny(target, "size=8k");
    if (!tiny.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
    std::vector<KitMemoryEntry> six;
    for (int i = 0; i < 6; ++i) six.push_back({Wide("f" + std::to_string(i) + ".cfg"), 0, std::string(197, 'x')});
    WriteKit(six);
    HeadlessRequest request = Request(target);
    request.json = true;
    CapturedStream plan;
    EXPECT_EQ(RunDryRun(request, nullptr, messages_.Get(), plan.Get()), 1);
    const nlohmann::json document = nlohmann::json::parse(plan.Text());
    EXPECT_EQ(document["space"]["enough"], false) << plan.Text();
    EXPECT_EQ(document["error"]["code"], "no-space");
    EXPECT_EQ(document["space"]["inodesNeeded"], 6);
    EXPECT_EQ(document["space"]["bytesNeeded"].get<uint64_t>() % 4096, 0u) << plan.Text();
    CapturedStream ran;
    EXPECT_EQ(RunHeadlessInstallation(request, nullptr, messages_.Get(), ran.Get()), 1);
    EXPECT_EQ(nlohmann::json::parse(ran.Text())["error"]["code"], "no-space") << ran.Text();
    EXPECT_TRUE(std::filesystem::is_empty(target));

    six.resize(1);
    WriteKit(six);
    EXPECT_EQ(RunDryRun(Request(target), nullptr, messages_.Get(), plan.Get()), 0);
    EXPECT_EQ(Run(target), 0) << messages_.Text();
}

TEST_F(HeadlessInstallTest, ADirectoryThatCannotBeRecordedFailsTheRunButKeepsTheTemplates) {
    const std::string launcher = home_ + "/.Vq/pivotrun/pivotrun.cfg";
    std::filesystem::create_directories(launcher + "/in-the-way");
    WriteKit({{u"a.cfg", 0, "alpha"}});

    EXPECT_EQ(Run(), 3);  // the files did change
    EXPECT_EQ(ReadFile(DefaultTarget() + "a.cfg"), "alpha");
    const std::string text = messages_.Text();
    // Exit 3 always says why.
    EXPECT_TRUE(Contains(text, "tplsetup: " + launcher + ": The templates have been installed, but the template "
                                   "directory could not be recorded in the settings file: " +
                                   std::strerror(EISDIR) + "\n"))
        << text;
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

TEST_F(HeadlessInstallTest, AnUnusableDirectoryIsRefusedWithWhereAndWhyBeforeAnythingIsWritten) {
    WriteKit({{u"a.cfg", 0, "alpha"}});
    const std::string file = Path("plain.txt");
    WriteFile(file, "in the way");
    const std::string tooLong = Path(std::string(300, 'n'));
    const std::string locked = Path("locked");
    std::filesystem::create_directories(locked);
    TmpfsMount readOnly(locked, "size=64k", true);
    std::vector<std::pair<std::string, std::string>> cases = {
        {file, "tplsetup: " + file + ": The specified path is a file, not a directory\n"},
        {tooLong, "tplsetup: " + tooLong + ": The specified directory cannot be created: File name too long\n"}};
    if (readOnly.Mounted())
        cases.push_back({locked, "tplsetup: " + locked +
                                     ": Files cannot be written to the specified directory: Read-only file system\n"});
    for (const auto& [target, expected] : cases) {
        SCOPED_TRACE(target);
        const auto [status, printed] = RunPrinting(target);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(printed, expected);
    }
    EXPECT_EQ(ReadFile(file), "in the way");
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    EXPECT_FALSE(Exists(home_ + "/.Vq"));
    EXPECT_TRUE(TemporaryLeftovers().empty());

    // In the run's language, as the terminal can show it.
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("de"));
    const auto [status, printed] = RunPrinting(file);
    EXPECT_EQ(status, 1);
    std::string german = MessageCatalog::GetUtf8("IDS_TARGET_ISFILE");
    german.pop_back();  // its final "."
    EXPECT_EQ(printed, "tplsetup: " + file + ": " + german + "\n");
}

// A refused lock names what is in the way and who holds it: the directory
// another run is using, or a lock directory someone else has taken; on the
// console, in the JSON document and in the log, before anything is changed.
TEST_F(HeadlessInstallTest, ARefusedLockIsNamedWithItsHolderAndNothingIsChanged) {
    const std::string target = Path("templates");
    WriteFile(target + "/keep.cfg", "the user's");
    WriteKit({{u"a.cfg", 0, "alpha"}});
    const std::string me = UserName(geteuid());
    const std::string taken = tmp_ + "/.wz4lock-" + std::to_string(geteuid());
    DirectoryLock otherRun;
    struct Case {
        const char* name;
        bool asRootOnly;
        std::function<void()> arrange;
        int status;
        std::string path, message, reason;
    };
    const Case cases[] = {
        {"another run", false, [&] { ASSERT_EQ(otherRun.Lock(Wide(target)), 0u); }, 75, target + "/",
         "Another installation is already using the template directory",
         "held by process " + std::to_string(getpid()) + " of user " + me},
        // Nowhere private to stand in: the home directory is the group's.
        {"a lock directory of another user's", true,
         [&] {
             std::filesystem::remove_all(taken);  // the first run's
             ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
             ASSERT_EQ(chown(taken.c_str(), 65534, 65534), 0);
             ASSERT_EQ(chmod(home_.c_str(), 0775), 0);
         },
         1, taken, "The lock directory of the installation program belongs to another user",
         "owned by user " + UserName(65534)},
    };
    for (const Case& c : cases) {
        if (c.asRootOnly && geteuid() != 0) continue;
        SCOPED_TRACE(c.name);
        c.arrange();
        const auto [status, printed] = RunPrinting(target);
        EXPECT_EQ(status, c.status);
        const std::string line = "tplsetup: " + c.path + ": " + c.message + ": " + c.reason + "\n";
        EXPECT_TRUE(Contains(printed, line + "An error occurred during the installation process.")) << printed;

        HeadlessRequest request = Request(target);
        request.json = true;
        InstallLog log;
        ASSERT_EQ(log.Open(Wide(Path("install.log"))), 0u);
        CapturedStream json;
        EXPECT_EQ(RunHeadlessInstallation(request, &log, messages_.Get(), json.Get()), c.status);
        const nlohmann::json document = nlohmann::json::parse(json.Text());
        EXPECT_EQ(document["error"]["path"], c.path);
        // The English text, without the colon that leads into the reason.
        EXPECT_EQ(document["error"]["message"], c.message);
        EXPECT_EQ(document["error"]["reason"], c.reason);
        EXPECT_TRUE(Contains(ReadFile(Path("install.log")), "] lock refused: " + c.path + ", " + c.reason + "\n"))
            << ReadFile(Path("install.log"));

        EXPECT_FALSE(Exists(target + "/a.cfg"));
        EXPECT_EQ(ReadFile(target + "/keep.cfg"), "the user's");
        EXPECT_FALSE(Exists(home_ + "/.Vq"));
        otherRun.Release();
        std::filesystem::remove(Path("install.log"));
    }
}

}  // namespace tpl

namespace tpl {

namespace {

FILETIME EntryTime(int64_t unixSeconds) {
    return static_cast<FILETIME>(unixSeconds + 11644473600ll) * 10000000ull;
}

// Every path below root with its kind, size and modification time, to the
// nanosecond: what "changes nothing" has to leave exactly as it was. The
// temporary directory's own time is left out: the unpacked kit came and went.
std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& temporary) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat info {};
        if (lstat(entry.path().c_str(), &info) != 0) continue;
        if (entry.path() == temporary) info.st_mtim = {};
        entries[entry.path().string()] = std::to_string(info.st_mode) + " " + std::to_string(info.st_size) + " " +
                                         std::to_string(info.st_mtim.tv_sec) + "." +
                                         std::to_string(info.st_mtim.tv_nsec);
    }
    return entries;
}

}  // namespace

// The dry run foretells the status of the installation that follows it, in
// each way a run can end, and changes nothing on the way.
TEST_F(HeadlessInstallTest, DryRunForetellsTheInstallationAndChangesNothing) {
    WriteKit({{u"new.cfg", EntryTime(kNew), "new"},
              {u"old.cfg", EntryTime(kNew), "replaces"},
              {u"sub\\same.cfg", EntryTime(kNew), "kept"}});
    const std::string target = Path("templates");
    const auto prepareUpgrade = [&] {
        WriteFile(target + "/old.cfg", "older");
        WriteFile(target + "/sub/same.cfg", "as new");
        struct timespec older[2] = {{kOld, 0}, {kOld, 0}};
        struct timespec same[2] = {{kNew, 0}, {kNew, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (target + "/old.cfg").c_str(), older, 0), 0);
        ASSERT_EQ(utimensat(AT_FDCWD, (target + "/sub/same.cfg").c_str(), same, 0), 0);
    };
    const std::string launcher = home_ + "/.Vq/pivotrun/pivotrun.cfg";
    DirectoryLock otherRun;
    const std::string home = home_;
    const std::string taken = tmp_ + "/.wz4lock-" + std::to_string(geteuid());
    const std::string me = UserName(geteuid());
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int status;
        bool changed;
        const char* launcherAction;  // what the run does to the launcher file
        bool record = true;
        std::string lock = " is free";  // how the lock line ends
    };
    const Case cases[] = {
        {"a new directory", [] {}, 0, true, "created"},
        {"an upgrade", prepareUpgrade, 0, true, "created"},
        {"a directory in the way", [&] { std::filesystem::create_directories(target + "/new.cfg"); }, 1, false,
         "unchanged"},
        {"another run's lock",
         [&] {
             prepareUpgrade();
             ASSERT_EQ(otherRun.Lock(Wide(target)), 0u);
         },
         75, false, "unchanged", true,
         "/ is held by another installation (held by process " + std::to_string(getpid()) + " of user " + me + ")"},
        {"an unwritable launcher file", [&] { std::filesystem::create_directories(launcher + "/x"); }, 3, true,
         "failed"},
        // Nothing to copy and the launcher file lists the target first: no
        // lock is taken beside it (one that cannot be made fails nothing),
        // and nothing is written.
        {"the same kit again",
         [&] {
             ASSERT_EQ(Run(target), 0);
             std::filesystem::create_directories(home + "/.Vq/pivotrun/.pivotrun.cfg.lock");
         },
         0, false, "unchanged"},
        // A home directory that is not there is never made.
        {"no home directory", [&] { ASSERT_EQ(setenv("HOME", (home + "/gone/h").c_str(), 1), 0); }, 3, true,
         "failed"},
        {"--no-record", [] {}, 0, true, "skipped", false},
        // Nowhere private to stand in: the home directory is the group's. Last:
        // the others need the lock directory it takes.
        {"a lock directory of another user's",
         [&] {
             std::filesystem::remove_all(taken);
             if (geteuid() != 0) GTEST_SKIP() << "needs a second user";
             ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
             ASSERT_EQ(chown(taken.c_str(), 65534, 65534), 0);
             ASSERT_EQ(chmod(home_.c_str(), 0775), 0);
         },
         1, false, "unchanged", true,
         "/.wz4lock-0 is another user's and no other can be had (owned by user " + UserName(65534) + ")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(setenv("HOME", home.c_str(), 1), 0);
        std::filesystem::remove_all(target);
        std::filesystem::remove_all(home_ + "/.Vq");
        otherRun.Release();
        c.arrange();
        if (IsSkipped()) return;
        const auto before = Snapshot(root_, tmp_);
        HeadlessRequest request = Request(target);
        request.record = c.record;
        CapturedStream messages;
        CapturedStream plan;
        EXPECT_EQ(RunDryRun(request, nullptr, messages.Get(), plan.Get()), c.status) << messages.Text();
        EXPECT_EQ(Snapshot(root_, tmp_), before) << plan.Text();
        EXPECT_TRUE(Contains(plan.Text(), "would end with exit status " + std::to_string(c.status) + "\n"))
            << plan.Text();
        EXPECT_TRUE(Contains(plan.Text(), c.lock + "\n")) << plan.Text();
        request.json = true;
        CapturedStream json;
        EXPECT_EQ(RunDryRun(request, nullptr, messages.Get(), json.Get()), c.status);
        const nlohmann::json document = nlohmann::json::parse(json.Text());
        EXPECT_EQ(document["schemaVersion"], 1);
        EXPECT_EQ(document["exitStatus"], c.status);
        EXPECT_EQ(document["error"].is_null(), c.status == 0) << json.Text();
        EXPECT_EQ(document["lock"]["available"], c.lock == " is free") << json.Text();
        EXPECT_EQ(Snapshot(root_, tmp_), before);
        // What it foretold is what happens, in the same document.
        CapturedStream ran;
        EXPECT_EQ(RunHeadlessInstallation(request, nullptr, messages_.Get(), ran.Get()), c.status)
            << messages_.Text();
        const nlohmann::json outcome = nlohmann::json::parse(ran.Text());
        EXPECT_EQ(outcome["schemaVersion"], 1);
        EXPECT_EQ(outcome["dryRun"], false);
        EXPECT_EQ(outcome["changed"], c.changed) << ran.Text();
        EXPECT_EQ(outcome["launcherFile"]["action"], c.launcherAction) << ran.Text();
        EXPECT_EQ(outcome["error"].is_null(), c.status == 0) << ran.Text();
        if (c.status == 3) {
            EXPECT_EQ(outcome["error"]["code"], "launcher-unwritable");
            EXPECT_EQ(outcome["error"]["message"], "The templates have been installed, but the template directory "
                                                   "could not be recorded in the settings file");
            EXPECT_FALSE(outcome["error"]["reason"].is_null()) << ran.Text();
        }
        // One shape: every key of the schema in both, none more.
        for (const nlohmann::json* d : {&document, &outcome}) {
            std::set<std::string> keys;
            for (auto it = d->begin(); it != d->end(); ++it) keys.insert(it.key());
            EXPECT_EQ(keys, (std::set<std::string>{"schemaVersion", "program", "dryRun", "changed", "exitStatus",
                                                   "kit", "target", "summary", "entries", "space", "lock",
                                                   "launcherFile", "launcherFiles", "recovered", "error",
                                                   "signature"}));
        }
        if (c.status == 0 || c.status == 3) {
            EXPECT_EQ(document["changed"], outcome["changed"]) << json.Text();
            EXPECT_EQ(document["launcherFile"], outcome["launcherFile"]) << json.Text() << ran.Text();
            for (const char* count : {"added", "replaced", "kept", "directoriesCreated"})
                EXPECT_EQ(document["summary"][count], outcome["summary"][count]) << count << json.Text() << ran.Text();
        }
    }
    ASSERT_EQ(setenv("HOME", home.c_str(), 1), 0);
    EXPECT_FALSE(std::filesystem::exists(home + "/gone"));
}

TEST_F(HeadlessInstallTest, DryRunListsEachEntrysActionTheSpaceAndTheLauncherFile) {
    WriteKit({{u"new.cfg", EntryTime(kNew), "new"}, {u"old.cfg", EntryTime(kNew), "replaces"}});
    const std::string target = Path("templates");
    WriteFile(target + "/old.cfg", "older");
    struct timespec older[2] = {{kOld, 0}, {kOld, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (target + "/old.cfg").c_str(), older, 0), 0);

    CapturedStream messages;
    CapturedStream plan;
    ASSERT_EQ(RunDryRun(Request(target), nullptr, messages.Get(), plan.Get()), 0) << messages.Text();
    EXPECT_EQ(messages.Text(), "");
    const std::string text = plan.Text();
    for (const std::string& line : std::vector<std::string>{
             "target: " + target + "/\n", "add  3  2020-09-13T12:26:40Z  new.cfg\n",
          "replace  8  2020-09-13T12:26:40Z  old.cfg\n",
          "1 add (3 bytes), 1 replace (8 bytes), 0 keep (0 bytes), 0 blocked (0 bytes); 11 bytes to write\n",
          "lock: " + target + " is free\n",
          "launcher file: " + home_ + "/.Vq/pivotrun/pivotrun.cfg: would be created\n"})
        EXPECT_TRUE(Contains(text, line)) << line << "\nin:\n" << text;

    HeadlessRequest request = Request(target);
    request.json = true;
    CapturedStream json;
    ASSERT_EQ(RunDryRun(request, nullptr, messages.Get(), json.Get()), 0);
    const nlohmann::json document = nlohmann::json::parse(json.Text());
    EXPECT_EQ(document["entries"][0]["action"], "add");
    EXPECT_EQ(document["entries"][1]["action"], "replace");
    EXPECT_EQ(document["summary"]["replaced"], 1);
    EXPECT_EQ(document["summary"]["added"], 1);
    // The room new files take as the file system counts it: whole blocks.
    const uint64_t block = document["space"]["bytesNeeded"].get<uint64_t>() / 2;
    EXPECT_GE(block, 512u) << json.Text();
    EXPECT_EQ(document["space"]["inodesNeeded"], 2);
    EXPECT_TRUE(document["space"]["enough"].get<bool>());
    EXPECT_EQ(document["launcherFile"]["action"], "created");
    EXPECT_EQ(document["dryRun"], true);
    EXPECT_EQ(document["changed"], true);

    // A preparation error: one line on standard error, and the document.
    std::filesystem::remove(cwd_ + "/qbx4.tkx");
    CapturedStream failed;
    CapturedStream none;
    EXPECT_EQ(RunDryRun(Request(target), nullptr, failed.Get(), none.Get()), 1);
    EXPECT_EQ(none.Text(), "");
    EXPECT_EQ(failed.Text(), "tplsetup: " + cwd_ + "/qbx4.tkx: Distribution kit file qbx4.tkx not found: " +
                                 std::strerror(ENOENT) + "\n");
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

// A superuser installing for a user (HOME set to the user's) leaves
// everything it makes the user's: the target and its missing parents, the
// files and directories below it, the launcher file and its directories.
// A file it replaces keeps its own owner and mode.
TEST_F(HeadlessInstallTest, WhatASuperuserMakesForAUserIsTheUsers) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser";
    constexpr uid_t kUser = 4242;
    constexpr gid_t kGroup = 4343;
    const std::string users = Path("users");
    std::filesystem::create_directories(users);
    ASSERT_EQ(::chown(users.c_str(), kUser, kGroup), 0);
    ASSERT_EQ(::chown(home_.c_str(), kUser, kGroup), 0);
    const std::string target = users + "/tpl/qbx4";
    WriteKit({{u"a.cfg", EntryTime(kNew), "alpha"}, {u"sub\\b.cfg", EntryTime(kNew), "beta"}});
    ASSERT_EQ(Run(target), 0) << messages_.Text();
    const auto ownedByUser = [&](const std::string& path) {
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0) return std::string("missing");
        return status.st_uid == kUser && status.st_gid == kGroup
                   ? std::string("the user's")
                   : std::to_string(status.st_uid) + ":" + std::to_string(status.st_gid);
    };
    for (const std::string& path : {users + "/tpl", target, target + "/a.cfg", target + "/sub", target + "/sub/b.cfg",
                                    home_ + "/.Vq", home_ + "/.Vq/pivotrun", home_ + "/.Vq/pivotrun/pivotrun.cfg"})
        EXPECT_EQ(ownedByUser(path), "the user's") << path;

    // An upgrade replaces a file of another owner: it stays theirs.
    WriteFile(target + "/a.cfg", "older");
    ASSERT_EQ(::chown((target + "/a.cfg").c_str(), 5555, 5556), 0);
    ASSERT_EQ(::chmod((target + "/a.cfg").c_str(), 0604), 0);
    struct timespec older[2] = {{kOld, 0}, {kOld, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (target + "/a.cfg").c_str(), older, 0), 0);
    ASSERT_EQ(Run(target), 0) << messages_.Text();
    struct stat replaced;
    ASSERT_EQ(::stat((target + "/a.cfg").c_str(), &replaced), 0);
    EXPECT_EQ(ReadFile(target + "/a.cfg"), "alpha");
    EXPECT_EQ(replaced.st_uid, 5555u);
    EXPECT_EQ(replaced.st_gid, 5556u);
    EXPECT_EQ(replaced.st_mode & 0777, 0604u);
}

}  // namespace tpl

namespace tpl {

// A kit signed with minisign installs with its key, given or installed, and
// says so in the JSON and the log; a kit whose signature is missing, by
// another key or does not match is refused before anything is looked at or
// written, with its own message, code and exit status 1.
TEST_F(HeadlessInstallTest, ASignedKitInstallsWithItsKeyAndABadOneChangesNothing) {
    if (!MinisignAvailable()) GTEST_SKIP() << "minisign is not installed (the test command installs it)";
    const MinisignKeyPair vendor = MakeMinisignKeys(root_, "vendor");
    const MinisignKeyPair other = MakeMinisignKeys(root_, "other");
    ASSERT_FALSE(vendor.keyId.empty());
    WriteKit({{u"a.cfg", 0, "alpha"}});
    const std::string kit = cwd_ + "/qbx4.tkx";
    const std::string signature = kit + ".minisig";
    const std::string kitBytes = ReadFile(kit);
    const std::string target = Path("templates");

    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* code;
        const char* message;
    };
    const std::vector<Case> refusals = {
        {"no signature", [&] { std::filesystem::remove(signature); }, "signature-missing",
         "The distribution kit is not signed"},
        {"signed by another key", [&] { ASSERT_TRUE(SignWithMinisign(other, kit, "other")); }, "signature-invalid",
         "The signature of the distribution kit is not valid"},
        {"a flipped byte",
         [&] {
             std::string bytes = kitBytes;
             bytes[bytes.size() / 2] ^= 0x40;
             WriteFile(kit, bytes);
         },
         "signature-invalid", "The signature of the distribution kit is not valid"},
        {"a truncated signature",
         [&] { WriteFile(signature, ReadFile(signature).substr(0, 60)); }, "signature-invalid",
         "The signature of the distribution kit is not valid"},
        {"an unusable key", [&] { WriteFile(vendor.publicKeyFile + ".bad", "junk"); }, "trusted-key-invalid",
         "A trusted key file cannot be read"},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(c.what);
        WriteFile(kit, kitBytes);
        ASSERT_TRUE(SignWithMinisign(vendor, kit, "qbx4 4.1"));
        c.spoil();
        HeadlessRequest request = Request(target);
        request.json = true;
        request.trustedKeys = {Wide(vendor.publicKeyFile)};
        if (std::string(c.code) == "trusted-key-invalid")
            request.trustedKeys.push_back(Wide(vendor.publicKeyFile + ".bad"));
        const auto before = Snapshot(root_, tmp_);
        CapturedStream out, json;
        EXPECT_EQ(RunHeadlessInstallation(request, nullptr, out.Get(), json.Get()), 1);
        EXPECT_TRUE(Contains(out.Text(), c.message)) << out.Text();
        const nlohmann::json document = nlohmann::json::parse(json.Text());
        EXPECT_EQ(document["error"]["code"], c.code) << json.Text();
        EXPECT_EQ(document["exitStatus"], 1);
        EXPECT_TRUE(document["signature"].is_null()) << json.Text();  // present in every document, null here
        if (std::string(c.what) == "signed by another key") {
            EXPECT_EQ(document["error"]["keyId"], other.keyId);
        }
        EXPECT_EQ(Snapshot(root_, tmp_), before);
        EXPECT_TRUE(TemporaryLeftovers().empty());
    }

    // The good kit, with its key given; then with the key installed only.
    WriteFile(kit, kitBytes);
    ASSERT_TRUE(SignWithMinisign(vendor, kit, "qbx4 4.1"));
    HeadlessRequest request = Request(target);
    request.json = true;
    request.trustedKeys = {Wide(vendor.publicKeyFile)};
    InstallLog log;
    ASSERT_EQ(log.Open(Wide(Path("install.log"))), 0u);
    CapturedStream out, json;
    ASSERT_EQ(RunHeadlessInstallation(request, &log, out.Get(), json.Get()), 0) << out.Text();
    EXPECT_EQ(ReadFile(target + "/a.cfg"), "alpha");
    nlohmann::json document = nlohmann::json::parse(json.Text());
    EXPECT_EQ(document["signature"]["keyId"], vendor.keyId);
    EXPECT_EQ(document["signature"]["trustedComment"], "qbx4 4.1");
    EXPECT_TRUE(Contains(ReadFile(Path("install.log")),
                         "kit signature: verified, key " + vendor.keyId + ", trusted comment \"qbx4 4.1\"\n"));

    std::filesystem::create_directories(trustedKeysDir_);
    std::filesystem::copy_file(vendor.publicKeyFile, trustedKeysDir_ + "/vendor.pub");
    request.trustedKeys.clear();
    CapturedStream again;
    EXPECT_EQ(RunHeadlessInstallation(request, nullptr, out.Get(), again.Get()), 0) << out.Text();
    EXPECT_EQ(nlohmann::json::parse(again.Text())["signature"]["keyId"], vendor.keyId);
    // And the installed key alone refuses an unsigned kit.
    std::filesystem::remove(signature);
    EXPECT_EQ(RunHeadlessInstallation(request, nullptr, out.Get(), output_.Get()), 1);
}

}  // namespace tpl
