// The status block and the worker thread: hand-over, final states, joining.
#include <atomic>
#include <thread>
#include "catalog/message_catalog.h"
#include "engine_test_support.h"
#include "support/test_times.h"

namespace tpl {

namespace {

std::string PostedTarget(InstallStatus& status, const WideString& directory) {
    status.PostJob(nullptr, directory);
    WideString taken;
    status.TakeJob(nullptr, &taken);
    return Narrow(taken);
}

int FailingCreator(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) {
    return 11;  // EAGAIN
}

// Starts the thread only after asking it to stop, as the Cancel button can
// between the start and the worker's first step.
int StopFirstCreator(pthread_t* thread, const pthread_attr_t* attributes, void* (*body)(void*), void* worker) {
    static_cast<WorkerThread*>(worker)->RequestStop();
    return pthread_create(thread, attributes, body, worker);
}

struct CreatorReset {
    ~CreatorReset() { WorkerThread::SetThreadCreatorForTesting(nullptr); }
};
}  // namespace

class EngineStatusTest : public EngineTest {};

TEST_F(EngineStatusTest, PostJobHandsOverTheDirectoryWithOneFinalSeparator) {
    EXPECT_EQ(PostedTarget(status_, u"/a/b"), "/a/b/");
    EXPECT_EQ(PostedTarget(status_, u"/a/b/"), "/a/b/");
    // A "\\" is a character of a name: the separator still follows it.
    EXPECT_EQ(PostedTarget(status_, u"/x\\"), "/x\\/");
    EXPECT_EQ(PostedTarget(status_, WideString()), "");
}

TEST_F(EngineStatusTest, PostJobResetsTheOutcomeButKeepsTheTextAndClearsACancel) {
    status_.PostStatus(87, u"Installation error", 40);
    status_.RequestCancel();
    EXPECT_TRUE(status_.IsCancelRequested());
    status_.PostJob(&kit_, u"/t");

    uint32_t code = 99;
    WideString text;
    int32_t percent = -1;
    status_.ReadStatus(&code, &text, &percent);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(percent, 0);
    EXPECT_EQ(Narrow(text), "Installation error");
    EXPECT_FALSE(status_.IsCancelRequested());
    KitReader* taken = nullptr;
    status_.TakeJob(&taken, nullptr);
    EXPECT_EQ(taken, &kit_);
}

// Two threads hammer the block; every read must see one whole post.
TEST_F(EngineStatusTest, ReadsNeverSeeHalfAPost) {
    const WideString longA(u"a long text that lives in a shared heap block, A");
    const WideString longB(u"another long text in a shared heap block here, B");
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) status_.PostStatus(i % 2, i % 2 ? longB : longA, i % 2 ? 7 : 3);
        done = true;
    });
    int mismatches = 0;
    while (!done) {
        uint32_t code = 0;
        WideString text;
        int32_t percent = 0;
        status_.ReadStatus(&code, &text, &percent);
        if (text.Empty()) continue;
        const bool isB = text == longB;
        if ((code == 1) != isB || (percent == 7) != isB || (!isB && text != longA)) ++mismatches;
    }
    writer.join();
    EXPECT_EQ(mismatches, 0);
}

TEST_F(EngineStatusTest, WorkerInstallsAndJoinWaitsForTheEnd) {
    LoadKit({Entry("w.cfg", kNew, "worker")});
    status_.PostJob(&kit_, Wide(target_));
    WorkerThread worker;
    worker.Start(&status_, 0);
    worker.Join();
    worker.Join();

    uint32_t code = 1;
    WideString text;
    int32_t percent = 0;
    status_.ReadStatus(&code, &text, &percent);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(ReadFile(TargetPath("w.cfg")), "worker");
}

TEST_F(EngineStatusTest, WorkerThatCannotStartPostsAFinalFailure) {
    CreatorReset reset;
    WorkerThread::SetThreadCreatorForTesting(&FailingCreator);
    status_.PostJob(&kit_, Wide(target_));
    WorkerThread worker;
    worker.Start(&status_, 0);
    worker.Join();

    uint32_t code = 0;
    WideString text;
    status_.ReadStatus(&code, &text, nullptr);
    EXPECT_EQ(code, 11u);
    EXPECT_EQ(text, MessageCatalog::GetText("IDS_INSTALL_ERROR"));
}

TEST_F(EngineStatusTest, StopBeforeTheRunLeavesTheTargetAloneAndEndsThePolling) {
    CreatorReset reset;
    WorkerThread::SetThreadCreatorForTesting(&StopFirstCreator);
    LoadKit({Entry("never.cfg", kNew, "x")});
    status_.PostJob(&kit_, Wide(target_));
    {
        WorkerThread worker;
        worker.Start(&status_, 0);
    }  // the destructor joins
    EXPECT_FALSE(Exists(TargetPath("never.cfg")));
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
    uint32_t code = 0;
    WideString text;
    status_.ReadStatus(&code, &text, nullptr);
    EXPECT_EQ(code, ERROR_CANCELLED);
    EXPECT_EQ(text, MessageCatalog::GetText("IDS_CANCEL_FINISH"));
}

}  // namespace tpl
