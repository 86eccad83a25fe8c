// The install log of a headless run, read back line by line: what a fresh
// installation, an upgrade, a failure and a cancel each leave in it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <regex>
#include <sstream>

#include "catalog/message_catalog.h"
#include "engine/install_status.h"
#include "fs/interruption.h"
#include "headless/headless_install.h"
#include "session/install_log.h"
#include "support/captured_stream.h"
#include "support/install_sandbox.h"
#include "support/kit_test_support.h"
#include "support/test_times.h"

namespace tpl {

namespace {

using Lines = std::vector<std::string>;

FILETIME FileTime(int64_t unixSeconds) {
    return static_cast<FILETIME>(unixSeconds + 11644473600ll) * 10000000ull;
}

// After the first entry: SIGINT to the process, as Ctrl-C would send it;
// whichever thread takes it, the engine sees it before the next entry.
void RaiseInterruption(uint32_t index) {
    if (index != 0) return;
    ::kill(::getpid(), SIGINT);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!InterruptionRequested() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

class HeadlessLogTest : public InstallSandboxTest {
protected:
    void SetUp() override {
        InstallSandboxTest::SetUp();
        target_ = Path("templates");
        WriteKit({{u"a.cfg", FileTime(kNew), "alpha"}, {u"sub\\b.cfg", FileTime(kNew), "beta"}});
    }
    void TearDown() override {
        WorkerThread::SetEntryHookForTesting(nullptr);
        ClearInterruptionRequest();
        InstallSandboxTest::TearDown();
    }
    void PutOld(const std::string& relative, const std::string& bytes) {
        WriteFile(target_ + "/" + relative, bytes);
        struct timespec times[2] = {{kOld, 0}, {kOld, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (target_ + "/" + relative).c_str(), times, 0), 0);
    }
    // Runs one installation with a fresh log object on the same file.
    int Run() {
        InstallLog log;
        EXPECT_EQ(log.Open(Wide(Path("install.log"))), 0u);
        HeadlessRequest request;
        request.useCurrentDirectory = true;
        request.chosenTarget = Wide(target_);
        const int status = RunHeadlessInstallation(request, &log, messages_.Get(), messages_.Get());
        log.Finished(status);
        return status;
    }
    // The log's lines without their time stamps, each of which must be one.
    std::vector<std::string> LogLines() const {
        // Each with the process's id, so that runs sharing a log are told apart.
        static const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \[(\d+)\] )");
        std::vector<std::string> lines;
        std::istringstream in(ReadFile(Path("install.log")));
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            EXPECT_TRUE(std::regex_search(line, match, stamp)) << line;
            EXPECT_EQ(match[1], std::to_string(::getpid())) << line;
            lines.push_back(line.substr(match.length(0)));
        }
        return lines;
    }
    // The lines after the kit's, which depend on its size.
    std::vector<std::string> Steps() const {
        std::vector<std::string> steps;
        for (const std::string& line : LogLines())
            if (line.rfind("kit", 0) != 0) steps.push_back(line);
        return steps;
    }

    std::string target_;
    std::string Launcher() const { return home_ + "/.Vq/pivotrun/pivotrun.cfg"; }
    CapturedStream messages_;
};

}  // namespace

TEST_F(HeadlessLogTest, FreshInstallation) {
    ASSERT_EQ(Run(), 0) << messages_.Text();
    const Lines lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("kit: " + cwd_ + "/qbx4.tkx, ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" bytes, 2 entries"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "kit language en: product \"Product\", vendor \"Vendor\", description \"\"");
    const std::string t = target_;
    EXPECT_EQ(Steps(), (Lines{"target: " + t, "directory created: " + t, "added: " + t + "/a.cfg",
                              "directory created: " + t + "/sub", "added: " + t + "/sub/b.cfg", "committed",
                              "2 added, 0 replaced, 0 kept", "launcher file: recorded " + t + " in " + Launcher() + " (created)", "exit status 0"}));
}

TEST_F(HeadlessLogTest, UpgradeKeepsAndReplacesAndAppendsToTheSameLog) {
    ASSERT_EQ(Run(), 0);
    PutOld("a.cfg", "the user's older");
    const size_t first = Steps().size();

    // A German run: its summary in German, the log's in its fixed form.
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("de"));
    const int status = Run();
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    ASSERT_EQ(status, 0);
    EXPECT_NE(messages_.Text().find("\n0 hinzugef\u00FCgt, 1 ersetzt, 1 beibehalten\n"), std::string::npos)
        << messages_.Text();
    const Lines steps = Steps();
    const std::string t = target_;
    EXPECT_EQ(Lines(steps.begin() + first, steps.end()),
              (Lines{"target: " + t, "replaced (backed up): " + t + "/a.cfg", "kept (up to date): " + t + "/sub/b.cfg",
                     "committed", "0 added, 1 replaced, 1 kept",
                     "launcher file: " + Launcher() + " already lists " + t + " first; nothing written", "exit status 0"}));

    // Once more, with every file as new as the kit's: nothing is made,
    // journalled or committed, and the log says so.
    const size_t second = Steps().size();
    ASSERT_EQ(Run(), 0);
    const Lines third = Steps();
    EXPECT_EQ(Lines(third.begin() + second, third.end()),
              (Lines{"target: " + t, "kept (up to date): " + t + "/a.cfg", "kept (up to date): " + t + "/sub/b.cfg",
                     "nothing to do: every file is up to date", "0 added, 0 replaced, 2 kept",
                     "launcher file: " + Launcher() + " already lists " + t + " first; nothing written", "exit status 0"}));
}

TEST_F(HeadlessLogTest, FailureIsRolledBackStepByStep) {
    PutOld("a.cfg", "the user's older");
    WriteFile(target_ + "/sub", "a file where the kit needs a folder");
    EXPECT_EQ(Run(), 1);
    const std::string t = target_;
    EXPECT_EQ(Steps(), (Lines{"target: " + t, "replaced (backed up): " + t + "/a.cfg",
                              "failed (Not a directory): " + t + "/sub/b.cfg",
                              "rollback restored: " + t + "/a.cfg", "rolled back after a failure: Not a directory",
                              "exit status 1"}));
    EXPECT_EQ(ReadFile(t + "/a.cfg"), "the user's older");
}

TEST_F(HeadlessLogTest, CancelAfterTheFirstEntryRemovesWhatItAdded) {
    ASSERT_TRUE(InstallInterruptionHandlers());
    WorkerThread::SetEntryHookForTesting(&RaiseInterruption);
    EXPECT_EQ(Run(), 2);
    const std::string t = target_;
    EXPECT_EQ(Steps(), (Lines{"target: " + t, "directory created: " + t, "added: " + t + "/a.cfg",
                              "rollback removed added file: " + t + "/a.cfg",
                              "rollback removed created directory: " + t, "rolled back after a cancel",
                              "exit status 2"}));
    EXPECT_FALSE(Exists(t));
}

// A kit entry's name that holds a line feed and what follows it must not
// forge a line of the log.
// A kit whose names hold control characters (here one that would forge a
// log line) is refused as damaged: nothing is installed, nothing is logged
// as committed.
TEST_F(HeadlessLogTest, KitNamesWithControlCharactersAreRefusedAndNeverLogged) {
    WriteKit({{u"a\n2026-01-01T00:00:00.000Z [1] committed\x1b.cfg", FileTime(kNew), "alpha"}});
    EXPECT_NE(Run(), 0);
    const Lines steps = Steps();
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "committed"), 0) << ReadFile(Path("install.log"));
    EXPECT_NE(access((target_ + "/a").c_str(), F_OK), 0);
}

// A backslash is escaped too, so that an escape reads back one way: an
// argument with a line feed and one with a backslash and an n differ.
TEST_F(HeadlessLogTest, ABackslashIsEscapedSoThatEveryEscapeReadsBackOneWay) {
    {
        InstallLog log;
        ASSERT_EQ(log.Open(Wide(Path("install.log"))), 0u);
        std::string lineFeed = "--target=a\nb", backslash = "--target=a\\nb";
        char* argv[] = {lineFeed.data(), backslash.data(), nullptr};
        log.Started(2, argv);
    }
    EXPECT_EQ(Steps().back(), "started: --target=a\\nb --target=a\\\\nb");
}

TEST_F(HeadlessLogTest, LogThatCannotBeOpenedSaysWhy) {
    InstallLog log;
    EXPECT_NE(log.Open(Wide(Path("no such directory/install.log"))), 0u);
    EXPECT_EQ(log.SystemError(), ENOENT);
    log.Write("dropped");  // not open: nothing happens
    EXPECT_NE(log.Open(Wide(root_)), 0u);
    EXPECT_EQ(log.SystemError(), EISDIR);
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_NE(log.Open(Wide(Path("fifo"))), 0u);  // refused, without blocking
    // The system's words, never an internal number.
    EXPECT_EQ(DescribeError(183, 0), "File exists");
    EXPECT_EQ(DescribeError(87, ENOSPC), "No space left on device");
    EXPECT_EQ(DescribeError(13, 0), "invalid data");
    EXPECT_EQ(DescribeError(87, 0), "an unexpected failure");
}

}  // namespace tpl
