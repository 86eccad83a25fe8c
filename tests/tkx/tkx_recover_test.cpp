// tkx recover: what an interrupted installation left is finished and
// reported, and what cannot be finished is reported as such.
#include <sys/stat.h>
#include <chrono>
#include <filesystem>
#include <sstream>
#include "journal/install_journal.h"
#include "support/kit_test_support.h"
#include "text/convert.h"
#include "tkx/tkx_commands.h"
#include "tkx_test_support.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

class TkxRecoverTest : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        fsys::create_directories(Path("target"));
        WriteBytes(Path("target/kept.cfg"), std::string("the user's"));
        backup_ = tmp_ + "/wz4sx3";
        ASSERT_EQ(mkdir(backup_.c_str(), 0700), 0);
    }
    // A run that had replaced kept.cfg and added added.cfg when it died.
    void LeaveInterruptedRun(const std::string& backup) {
        InstallJournal journal;
        OwnedDirectory held;
        ASSERT_EQ(OwnedDirectory::OpenPath(Wide(backup), &held), 0u);
        ASSERT_EQ(journal.Begin(held, Wide(Path("target/"))), 0u);
        ASSERT_EQ(journal.Record('B', WPath("target/kept.cfg")), 0u);
        fsys::rename(Path("target/kept.cfg"), backup + "/kept.cfg");
        ASSERT_EQ(journal.Record('M', WPath("target/kept.cfg")), 0u);
        WriteBytes(Path("target/kept.cfg"), std::string("the kit's"));
        ASSERT_EQ(journal.Record('F', WPath("target/added.cfg")), 0u);
        WriteBytes(Path("target/added.cfg"), std::string("added"));
        journal.End();
    }
    std::string backup_;
};

}  // namespace

TEST_F(TkxRecoverTest, RestoresAnInterruptedRunAndSaysSo) {
    LeaveInterruptedRun(backup_);
    // The unpacked kit the run left goes too, as at the installer's start.
    WriteBytes(tmp_ + "/txkA1b2c3", std::string("unpacked body"));
    fsys::last_write_time(tmp_ + "/txkA1b2c3", fsys::file_time_type::clock::now() - std::chrono::hours(1));
    const TkxRun run = Tkx({"recover"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "rolled back an interrupted installation into " + Path("target/") +
                           ": 1 replaced files restored, 1 added files and 0 added directories removed\n"
                           "removed 1 unpacked kit file left by an interrupted run\n");
    EXPECT_EQ(ReadWholeFile(Path("target/kept.cfg")), "the user's");
    EXPECT_FALSE(fsys::exists(Path("target/added.cfg")));
    EXPECT_FALSE(fsys::exists(backup_));
    EXPECT_EQ(LeftoverTempFiles(), 0);

    const TkxRun again = Tkx({"recover"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "nothing to recover\n");

    // A run whose backup lay beside its template directory, as when the
    // temporary directory is on another file system: found when the
    // directory is named.
    const std::string beside = Path(".wz4sxbk0");
    ASSERT_EQ(mkdir(beside.c_str(), 0700), 0);
    LeaveInterruptedRun(beside);
    EXPECT_EQ(Tkx({"recover"}).out, "nothing to recover\n");
    const TkxRun named = Tkx({"recover", "--", Path("target")});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(ReadWholeFile(Path("target/kept.cfg")), "the user's");
    EXPECT_FALSE(fsys::exists(beside));
}

TEST_F(TkxRecoverTest, WhatCannotBeFinishedIsReportedWithAFailureStatus) {
    WriteBytes(backup_ + "/wz4sx.journal", std::string("damaged from the first byte"));
    WriteBytes(backup_ + "/kept.cfg", std::string("maybe a user's file"));
    const TkxRun run = Tkx({"recover"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("untouched"), std::string::npos) << run.err;
    EXPECT_TRUE(fsys::exists(backup_ + "/kept.cfg"));
}

TEST_F(TkxRecoverTest, HelpAndUsage) {
    const TkxRun help = Tkx({"recover", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: tkx recover"), std::string::npos);
    EXPECT_NE(Tkx({"--help"}).out.find("  recover "), std::string::npos);

    LeaveInterruptedRun(backup_);
    const TkxRun extra = Tkx({"recover", "--now"});
    EXPECT_EQ(extra.status, 2);
    EXPECT_FALSE(extra.err.empty());
    EXPECT_TRUE(fsys::exists(backup_ + "/wz4sx.journal"));  // a usage error does nothing
}

}  // namespace tpl
