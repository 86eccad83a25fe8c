// The installation run both front ends share: start, poll step, conclusion.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "session/install_preparation.h"
#include "session/install_session.h"
#include "support/install_sandbox.h"

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

}  // namespace tpl
