// A signal during a run: the run stops after the current entry, rolls back
// and ends cancelled, as a cancel request does.
#include <csignal>
#include "catalog/message_catalog.h"
#include "engine_test_support.h"
#include "fs/interruption.h"
#include "support/test_times.h"

namespace tpl {

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
}  // namespace

class EngineInterruptionTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], nullptr, &saved_[i]);
        ASSERT_TRUE(InstallInterruptionHandlers());
        ClearInterruptionRequest();
        PutFile("replaced.cfg", "original", kOld, 0600);
        AgeDirectories();
        LoadKit({Entry("replaced.cfg", kNew, "new"), Entry("n1\\n2\\a.cfg", kNew, "a"), Entry("b.cfg", kNew, "b"),
                 Entry("c.cfg", kNew, "c")});
    }
    void TearDown() override {
        ClearInterruptionRequest();
        for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
        EngineTest::TearDown();
    }
    void ExpectCancelledState(int32_t percent) {
        const Posted posted = ReadPosted(status_);
        EXPECT_EQ(posted.code, ERROR_CANCELLED);
        EXPECT_EQ(posted.text, Narrow(MessageCatalog::GetText("IDS_CANCEL_FINISH")));
        EXPECT_EQ(posted.percent, percent);
    }
    struct sigaction saved_[3];
};

TEST_F(EngineInterruptionTest, EachSignalStopsTheRunAfterTheCurrentEntryAndRollsBack) {
    const TreeSnapshot before = SnapshotTree(target_);
    for (int signal : kSignals) {
        ClearInterruptionRequest();
        std::vector<uint32_t> handled;
        InstallEngine engine;
        engine.SetEntryHook([&](uint32_t index) {
            handled.push_back(index);
            if (index == 1) raise(signal);
        });
        EXPECT_EQ(RunInstall(engine), ERROR_CANCELLED) << signal;
        EXPECT_EQ(handled, (std::vector<uint32_t>{0, 1})) << signal;
        EXPECT_TRUE(InterruptionRequested());
        EXPECT_EQ(InterruptionSignal(), signal);
        ExpectCancelledState(25);
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << signal;
        EXPECT_TRUE(BackupDirectoriesLeft().empty()) << signal;
    }
}

TEST_F(EngineInterruptionTest, SignalBeforeTheRunTouchesNothing) {
    const TreeSnapshot before = SnapshotTree(target_);
    raise(SIGTERM);
    ASSERT_TRUE(InterruptionRequested());
    InstallEngine engine;
    bool anyEntry = false;
    engine.SetEntryHook([&](uint32_t) { anyEntry = true; });
    EXPECT_EQ(RunInstall(engine), ERROR_CANCELLED);
    EXPECT_FALSE(anyEntry);
    ExpectCancelledState(0);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

TEST_F(EngineInterruptionTest, SignalThroughTheWorkerThreadAlsoRollsBack) {
    const TreeSnapshot before = SnapshotTree(target_);
    status_.PostJob(&kit_, Wide(target_));
    WorkerThread worker;
    raise(SIGHUP);
    worker.Start(&status_, 0);
    worker.Join();
    ExpectCancelledState(0);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
}

}  // namespace tpl
