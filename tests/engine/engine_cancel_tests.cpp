// Cancelling a run: rollback first, then the final cancelled state.
#include <atomic>
#include <chrono>
#include <thread>

#include "catalog/message_catalog.h"
#include "engine_test_support.h"
#include "support/test_times.h"

namespace tpl {

class EngineCancelTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        PutFile("replaced.cfg", "original", kOld, 0600);
        PutFile("sub/kept-newer.cfg", "user's", kNew + 100);
        AgeDirectories();
        LoadKit({Entry("replaced.cfg", kNew, "new"), Entry("n1\\n2\\a.cfg", kNew, "a"),
                 Entry("sub/kept-newer.cfg", kNew, "skipped"), Entry("sub/b.cfg", kNew, "b"),
                 Entry("n1/c.cfg", kNew, "c")});
    }

    // Cancels right after entry `index`; returns the run's result.
    uint32_t RunCancellingAfter(uint32_t index, std::string* backupSeen) {
        InstallEngine engine;
        engine.SetEntryHook([&](uint32_t done) {
            if (done != index) return;
            if (backupSeen) *backupSeen = Narrow(engine.Top().backupDirectory);
            status_.RequestCancel();
        });
        return RunInstall(engine);
    }
};

TEST_F(EngineCancelTest, AfterFirstMiddleSkippedAndLastEntryTheTargetIsAsBefore) {
    const TreeSnapshot before = SnapshotTree(target_);
    const uint32_t count = kit_.GetFileEntryCount();
    for (uint32_t index : {0u, 2u, count - 1}) {
        std::string backup;
        EXPECT_EQ(RunCancellingAfter(index, &backup), ERROR_CANCELLED) << index;
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << index;
        EXPECT_FALSE(backup.empty());
        EXPECT_TRUE(BackupDirectoriesLeft().empty()) << index;

        const Posted posted = ReadPosted(status_);
        EXPECT_EQ(posted.code, ERROR_CANCELLED);
        EXPECT_EQ(posted.text, Narrow(MessageCatalog::GetText("IDS_CANCEL_FINISH")));
        EXPECT_EQ(posted.percent, static_cast<int32_t>(index * 100 / count)) << index;
    }
    EXPECT_EQ(Narrow(MessageCatalog::GetText("IDS_CANCEL_FINISH")),
              "Installation canceled. Template directory has not been changed.");
}

TEST_F(EngineCancelTest, CancelThroughTheWorkerThreadAlsoRollsBack) {
    const TreeSnapshot before = SnapshotTree(target_);
    status_.PostJob(&kit_, Wide(target_));
    status_.RequestCancel();  // PostJob cleared any earlier request; this one is for this run
    WorkerThread worker;
    worker.Start(&status_, 0);
    worker.Join();
    uint32_t code = 0;
    status_.ReadStatus(&code, nullptr, nullptr);
    EXPECT_EQ(code, ERROR_CANCELLED);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
}

namespace {
WorkerThread* g_stoppedWorker = nullptr;
std::vector<uint32_t> g_hookedEntries;
void StopAfterSecondEntry(uint32_t index) {
    g_hookedEntries.push_back(index);
    if (index == 1) g_stoppedWorker->RequestStop();
}
}  // namespace

// The hook a test build of the program sets reaches the worker's engine, so a
// flow that holds the worker after entry N knows what was written by then;
// a stop asked of the worker mid-run (the Cancel button's way) reaches it too.
TEST_F(EngineCancelTest, WorkerThreadHandsTheTestHookToItsEngineAndStopsWhenAsked) {
    const TreeSnapshot before = SnapshotTree(target_);
    g_hookedEntries.clear();
    WorkerThread::SetEntryHookForTesting(&StopAfterSecondEntry);
    status_.PostJob(&kit_, Wide(target_));
    WorkerThread worker;
    g_stoppedWorker = &worker;
    worker.Start(&status_, 0);
    worker.Join();
    WorkerThread::SetEntryHookForTesting(nullptr);
    uint32_t code = 0;
    status_.ReadStatus(&code, nullptr, nullptr);
    EXPECT_EQ(code, ERROR_CANCELLED);
    EXPECT_EQ(g_hookedEntries, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
}

// The wizard pauses the worker while it asks whether to cancel: nothing more
// is written (and nothing committed) until the answer; No resumes, Yes rolls
// back from where the run stood.
TEST_F(EngineCancelTest, APausedRunHoldsBetweenEntriesUntilResumedOrCancelled) {
    const TreeSnapshot before = SnapshotTree(target_);
    const uint32_t count = kit_.GetFileEntryCount();
    // Resumed last: it leaves the kit installed.
    const std::pair<bool, uint32_t> rounds[] = {{true, 1u}, {true, count - 1}, {false, 1u}};
    for (const auto& [cancel, pauseAfter] : rounds) {
        {
            SCOPED_TRACE(std::string(cancel ? "cancel" : "resume") + " after " + std::to_string(pauseAfter));
            InstallEngine engine;
            std::atomic<bool> held{false};
            engine.SetEntryHook([&](uint32_t done) {
                if (done != pauseAfter) return;
                status_.SetPaused(true);
                held = true;
            });
            std::atomic<uint32_t> result{0xFFFFFFFFu};
            std::thread worker([&] { result = RunInstall(engine); });
            while (!held) std::this_thread::yield();
            // However long the question stays open, the run stands still.
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            uint32_t code = 0;
            int32_t percent = -1;
            status_.ReadStatus(&code, nullptr, &percent);
            EXPECT_EQ(result.load(), 0xFFFFFFFFu);
            EXPECT_EQ(code, 0u);
            EXPECT_EQ(percent, static_cast<int32_t>(pauseAfter * 100 / count));
            EXPECT_EQ(Exists(TargetPath("n1/c.cfg")), pauseAfter == count - 1);
            EXPECT_FALSE(BackupDirectoriesLeft().empty());  // not committed
            if (cancel) status_.RequestCancel();
            status_.SetPaused(false);
            worker.join();
            if (cancel) {
                EXPECT_EQ(result.load(), ERROR_CANCELLED);
                EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
            } else {
                EXPECT_EQ(result.load(), 0u);
                EXPECT_EQ(ReadFile(TargetPath("n1/c.cfg")), "c");
            }
            EXPECT_TRUE(BackupDirectoriesLeft().empty());
        }
    }
}

}  // namespace tpl
