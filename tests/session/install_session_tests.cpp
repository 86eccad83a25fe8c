// The installation run both front ends share: start, poll step, conclusion.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <chrono>
#include <thread>

#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "catalog/message_catalog.h"
#include "session/install_preparation.h"
#include "session/install_session.h"
#include "support/install_sandbox.h"
#include "support/test_times.h"

namespace tpl {

namespace {

int RefuseThread(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) {
    return EAGAIN;
}

class InstallSessionTest : public InstallSandboxTest {
protected:
    void SetUp() override {
        InstallSandboxTest::SetUp();
        WriteKit({{u"a.cfg", 0, "alpha"}, {u"sub\\b.cfg", 0, "beta"}});
        ASSERT_EQ(PrepareInstallation(true, true, &kit_, &prepared_).errorTextId, nullptr);
    }
    void TearDown() override {
        WorkerThread::SetThreadCreatorForTesting(nullptr);
        kit_.Release();
        InstallSandboxTest::TearDown();
    }
    // What a front end's loop does: poll until the outcome is final.
    InstallOutcome PollToTheEnd(InstallSession& session) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            const InstallOutcome outcome = session.Poll();
            if (outcome != InstallOutcome::Running || std::chrono::steady_clock::now() > deadline)
                return outcome;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::string LauncherFile() const { return home_ + "/.Vq/pivotrun/pivotrun.cfg"; }
    // Another kit, dated kNew, in place of the one SetUp prepared.
    void Reprepare(const std::vector<KitMemoryEntry>& entries) {
        kit_.Release();
        WriteKit(entries);
        ASSERT_EQ(PrepareInstallation(true, true, &kit_, &prepared_).errorTextId, nullptr);
    }
    void WriteDated(const std::string& path, const std::string& bytes, int64_t seconds) {
        WriteFile(path, bytes);
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    KitReader kit_;
    PreparedInstallation prepared_;
};

}  // namespace

TEST_F(InstallSessionTest, SuccessIsRecordedWhenConcluded) {
    InstallSession session;
    EXPECT_EQ(session.Poll(), InstallOutcome::Running);  // "preparing" until the worker posts
    session.Start(&kit_, prepared_.targetDirectory, 0);
    ASSERT_EQ(PollToTheEnd(session), InstallOutcome::Succeeded);
    EXPECT_EQ(session.Percent(), 100);
    EXPECT_EQ(ReadFile(DefaultTarget() + "sub/b.cfg"), "beta");
    EXPECT_FALSE(Exists(LauncherFile()));

    EXPECT_EQ(session.Conclude(InstallOutcome::Succeeded, prepared_.proposal), 0);
    std::string target = DefaultTarget();
    target.pop_back();
    EXPECT_EQ(ReadFile(LauncherFile()), "ConfigurationTemplatesLocation=" + target + "\n");
}

TEST_F(InstallSessionTest, WorkerThatCannotStartIsAFailureThatRecordsNothing) {
    WorkerThread::SetThreadCreatorForTesting(&RefuseThread);
    InstallSession session;
    session.Start(&kit_, prepared_.targetDirectory, 0);
    EXPECT_EQ(session.Poll(), InstallOutcome::Failed);
    EXPECT_EQ(session.Code(), static_cast<uint32_t>(EAGAIN));
    EXPECT_FALSE(session.Text().Empty());
    EXPECT_EQ(session.Conclude(InstallOutcome::Failed, prepared_.proposal), 1);
    EXPECT_FALSE(Exists(LauncherFile()));
    EXPECT_FALSE(Exists(DefaultTarget() + "a.cfg"));
}

// The success page tells how many files went where, and that a newer copy
// of the user's own was kept rather than overwritten.
TEST_F(InstallSessionTest, TheSummaryCountsWhatWasAddedReplacedAndKept) {
    const FILETIME kitTime = FileTimeFromUnixSeconds(kNew);
    Reprepare({{u"a.cfg", kitTime, "alpha"}, {u"README.txt", kitTime, "readme"}, {u"sub\\b.cfg", kitTime, "beta"}});
    WriteDated(DefaultTarget() + "a.cfg", "older", kOld);
    WriteDated(DefaultTarget() + "README.txt", "the user's own, newer", kNew + 60);
    InstallSession session;
    session.Start(&kit_, prepared_.targetDirectory, 0);
    ASSERT_EQ(PollToTheEnd(session), InstallOutcome::Succeeded);
    session.WaitForWorker();
    const InstallSummary summary = session.Summary();
    EXPECT_EQ(summary.changes.added, 1u);
    EXPECT_EQ(summary.changes.replaced, 1u);
    EXPECT_EQ(summary.changes.kept, 1u);
    EXPECT_EQ(Narrow(SuccessReport(summary, prepared_.targetDirectory)),
              "2 files installed in\n" + DefaultTarget() +
                  "\n1 replaced; 1 kept because the copy already there is as new or newer");
    EXPECT_EQ(ReadFile(DefaultTarget() + "README.txt"), "the user's own, newer");

    // A fresh directory: the path on its own line, in the singular for one
    // file; French counts none as one too, and large numbers are grouped.
    InstallSummary one;
    one.changes.added = 1;
    EXPECT_EQ(Narrow(SuccessReport(one, u"/srv/t/")), "1 file installed in\n/srv/t/");
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("fr"));
    EXPECT_EQ(Narrow(SuccessReport(InstallSummary(), u"/srv/t/")), "0 fichier install\u00E9 dans\n/srv/t/");
    InstallSummary many;
    many.changes.added = 50000;
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("de"));
    EXPECT_EQ(Narrow(SuccessReport(many, u"/srv/t/")), "50.000 Dateien installiert in\n/srv/t/");
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
}

// When a replaced file cannot be moved back, the page must not claim an
// unchanged directory: it names the file and the backup that keeps it, and
// the undo's bar has come down to 0.
TEST_F(InstallSessionTest, AnUndoThatCannotPutAFileBackSaysWhatAndWhere) {
    struct Disarm {
        ~Disarm() { fault_injection::FailOperationAt(0); }
    } disarm;
    const FILETIME kitTime = FileTimeFromUnixSeconds(kNew);
    Reprepare({{u"r.cfg", kitTime, "new"}, {u"added.cfg", kitTime, "added"}, {u"blocker/x", kitTime, "fails"}});
    auto build = [&] {
        WriteDated(DefaultTarget() + "r.cfg", "original", kOld);
        WriteDated(DefaultTarget() + "blocker", "a file where the kit needs a folder", kOld);
    };
    build();
    fault_injection::ResetCount();
    {
        InstallSession session;
        session.Start(&kit_, prepared_.targetDirectory, 0);
        ASSERT_EQ(PollToTheEnd(session), InstallOutcome::Failed);
        session.WaitForWorker();
        const InstallSummary summary = session.Summary();
        EXPECT_TRUE(summary.rolledBack);
        EXPECT_TRUE(summary.notRestored.empty());
        EXPECT_EQ(session.RollbackPercent(50), 0);
        const std::string page = Narrow(UndoneReport(summary, Wide(DefaultTarget()), "IDS_ERROR_FINISH",
                                                     u"Installation error", u"/t/x\nNot a directory"));
        EXPECT_EQ(page,
                  "An error occurred during the installation process. Installation canceled. Template directory "
                  "has not been changed.\n\nInstallation error\n/t/x\nNot a directory");
    }
    const int64_t operations = fault_injection::CountedOperations();
    int kept = 0;
    for (int64_t k = 1; k <= operations && kept == 0; ++k) {
        build();
        fault_injection::FailOperationAt(k);
        InstallSession session;
        session.Start(&kit_, prepared_.targetDirectory, 0);
        const InstallOutcome outcome = PollToTheEnd(session);
        session.WaitForWorker();
        fault_injection::FailOperationAt(0);
        EXPECT_EQ(outcome, InstallOutcome::Failed) << "k=" << k;
        const InstallSummary summary = session.Summary();
        if (summary.notRestored.empty()) continue;
        ++kept;
        ASSERT_EQ(summary.notRestored.size(), 1u);
        EXPECT_EQ(Narrow(summary.notRestored[0]), DefaultTarget() + "r.cfg");
        ASSERT_FALSE(summary.backupDirectory.Empty());
        EXPECT_EQ(ReadFile(Narrow(summary.backupDirectory) + "r.cfg"), "original");
        const std::string page =
            Narrow(UndoneReport(summary, Wide(DefaultTarget()), "IDS_ERROR_FINISH", u"Installation error", u""));
        EXPECT_EQ(page,
                  "Installation canceled. These replaced files could not be put back; the installation program "
                  "puts them back the next time it is started:\nr.cfg\nUntil then they are kept in:\n" +
                      Narrow(summary.backupDirectory) + "\n\nInstallation error");
    }
    EXPECT_EQ(kept, 1);
}

// The bar of an undo comes down with its steps, from where the copy stood,
// and reaches 0 when the undo has ended, even if steps were counted twice.
TEST(EntryTally, TheUndoBarCountsBackFromWhereTheCopyStood) {
    EntryTally tally;
    for (EntryAction action : {EntryAction::Add, EntryAction::Add, EntryAction::Replace, EntryAction::Keep})
        tally.EntryHandled(u"/t/f", action, 0, 0);
    tally.EntryHandled(u"/t/g", EntryAction::Add, 183, 0);  // failed: nothing to undo
    tally.DirectoryCreated(u"/t/d");
    EXPECT_EQ(tally.RollbackPercent(80), 80);
    tally.RolledBackStep(RollbackStep::FileRemoved, u"/t/f", true);
    EXPECT_EQ(tally.RollbackPercent(80), 60);
    tally.RolledBackStep(RollbackStep::FileRemoved, u"/t/f", true);
    tally.RolledBackStep(RollbackStep::FileRestored, u"/t/f", true);
    EXPECT_EQ(tally.RollbackPercent(80), 20);
    EXPECT_EQ(tally.RollbackPercent(0), 0);
    tally.RolledBack(183, true);
    EXPECT_EQ(tally.RollbackPercent(80), 0);
    EXPECT_TRUE(tally.Summary().notRestored.empty());
    tally.Reset();
    EXPECT_EQ(tally.Counts().added, 0u);
    EXPECT_EQ(tally.RollbackPercent(50), 50);  // nothing was done, nothing to count back yet
}

}  // namespace tpl
