// Write-ahead journal: record encoding and the recovery of interrupted runs.
#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "fs/file_io.h"
#include "fs/fs_testing.h"
#include "fs/path_ops.h"
#include "journal/install_journal.h"
#include "journal/journal_recovery.h"
#include "support/private_directory.h"
#include "support/test_files.h"
#include "text/convert.h"
#include "text/path_bytes.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

constexpr int64_t kOldDirectoryTime = 1400000000;

WideString W(const std::string& s) {
    return ToWide(NarrowString(s.data(), static_cast<uint32_t>(s.size())));
}

NarrowString N(const std::string& s) {
    return NarrowString(s.data(), static_cast<uint32_t>(s.size()));
}

void WriteText(const fsys::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

int64_t MtimeOf(const fsys::path& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

int64_t MtimeNanosecondsOf(const fsys::path& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtim.tv_nsec) : -1;
}

// A directory time with a part below the second, which must come back too.
constexpr int64_t kOldDirectoryNanoseconds = 123456789;
PathTimes OldTimes(int64_t seconds) {
    PathTimes times;
    times.accessSeconds = times.writeSeconds = seconds;
    times.accessNanoseconds = times.writeNanoseconds = kOldDirectoryNanoseconds;
    return times;
}

class JournalRecovery : public PrivateDirectoryTest {
protected:
    JournalRecovery() : PrivateDirectoryTest({"journal-test"}) {}
    void SetUp() override {
        PrivateDirectoryTest::SetUp();
        target_ = Path("target");
        fsys::create_directories(target_ / "old");
        WriteText(target_ / "old" / "a.cfg", "original a");
        WriteText(target_ / "b.cfg", "original b");
        WriteText(target_ / "old" / "c.cfg", "original c");
        UseTemporaryDirectory(Path("tmp"));
    }
    void TearDown() override {
        if (!otherFs_.empty()) fsys::remove_all(otherFs_);
        PrivateDirectoryTest::TearDown();
    }
    void UseTemporaryDirectory(const fsys::path& temp) {
        temp_ = temp;
        fsys::create_directories(temp_);
        setenv("TMPDIR", temp_.c_str(), 1);
        backup_ = temp_ / "wz4sx0";
        fsys::create_directory(backup_);
        fsys::permissions(backup_, fsys::perms::owner_all);
    }
    // A temporary directory on another file system (/dev/shm), or false.
    bool UseOtherFileSystem() {
        struct stat shm, here;
        if (stat("/dev/shm", &shm) != 0 || stat(root_.c_str(), &here) != 0 || shm.st_dev == here.st_dev) return false;
        char pattern[] = "/dev/shm/journal-test-XXXXXX";
        if (!mkdtemp(pattern)) return false;
        otherFs_ = pattern;
        UseTemporaryDirectory(otherFs_);
        return true;
    }
    WideString Target() const { return W(target_.string() + "/"); }
    WideString Backup() const { return W(backup_.string() + "/"); }
    OwnedDirectory HeldBackup() const {
        OwnedDirectory held;
        EXPECT_EQ(OwnedDirectory::OpenPath(Backup(), &held), 0u);
        return held;
    }
    WideString In(const std::string& relative) const { return W((target_ / relative).string()); }

    // What a run killed in the middle leaves: one added directory with a
    // file, one file moved into the backup and overwritten, one whose
    // completed move was not yet recorded when the power went (the rename
    // reached the disk, its M record did not) and that was overwritten too,
    // and one whose records were both lost.
    // The directory "old" had its time recorded before the run changed it.
    void SimulateKilledRun(InstallJournal& journal) {
        ASSERT_EQ(0u, journal.Begin(HeldBackup(), Target()));
        ASSERT_EQ(0u, journal.RecordDirectoryTime(In("old"), OldTimes(kOldDirectoryTime)));
        ASSERT_EQ(0u, journal.Record('D', In("new")));
        fsys::create_directory(target_ / "new");
        ASSERT_EQ(0u, journal.Record('F', In("new/n.cfg")));
        WriteText(target_ / "new" / "n.cfg", "added");
        ASSERT_EQ(0u, journal.Record('B', In("old/a.cfg")));
        fsys::create_directories(backup_ / "old");
        fsys::rename(target_ / "old" / "a.cfg", backup_ / "old" / "a.cfg");
        ASSERT_EQ(0u, journal.Record('M', In("old/a.cfg")));
        WriteText(target_ / "old" / "a.cfg", "new a, half writ");
        ASSERT_EQ(0u, journal.Record('B', In("b.cfg")));
        fsys::rename(target_ / "b.cfg", backup_ / "b.cfg");
        WriteText(target_ / "b.cfg", "new b");
        // Neither of its records reached the disk, only the rename did.
        fsys::rename(target_ / "old" / "c.cfg", backup_ / "old" / "c.cfg");
    }

    fsys::path temp_, target_, backup_, otherFs_;
};

}  // namespace

TEST(JournalEncoding, RoundTripsAnyBytesAndIgnoresACutRecord) {
    setlocale(LC_ALL, "C.UTF-8");
    const std::string odd = "dir/with\nnewline:colon 12:x";
    std::string contents = EncodeJournalRecord('T', NarrowString("/t/")) + EncodeJournalRecord('F', N(odd)) +
                           EncodeJournalRecord('N', N("-5 7 1600000000 999999999:/t/n")) +
                           EncodeJournalRecord('C', NarrowString("")) +
                           EncodeJournalRecord('I', N("18446744073709551615 42:/t/m:ade"));
    const std::string cut = EncodeJournalRecord('D', NarrowString("/t/never"));
    contents += cut.substr(0, cut.size() - 3);

    const std::vector<JournalRecord> records = DecodeJournal(contents);
    ASSERT_EQ(5u, records.size());
    EXPECT_EQ('T', records[0].tag);
    EXPECT_TRUE(records[0].path.Equals(u"/t/"));
    EXPECT_EQ(odd, std::string(ToNarrow(records[1].path).Data()));
    EXPECT_EQ('N', records[2].tag);
    EXPECT_EQ(-5, records[2].times.accessSeconds);
    EXPECT_EQ(7, records[2].times.accessNanoseconds);
    EXPECT_EQ(1600000000, records[2].times.writeSeconds);
    EXPECT_EQ(999999999, records[2].times.writeNanoseconds);
    EXPECT_TRUE(records[2].path.Equals(u"/t/n"));
    EXPECT_EQ('C', records[3].tag);
    EXPECT_TRUE(records[3].path.Empty());
    EXPECT_EQ('I', records[4].tag);
    EXPECT_TRUE(records[4].identity.known);
    EXPECT_EQ(UINT64_MAX, records[4].identity.device);
    EXPECT_EQ(42u, records[4].identity.inode);
    EXPECT_TRUE(records[4].path.Equals(u"/t/m:ade"));
    for (const JournalRecord& r : records) EXPECT_TRUE(r.exact);

    // A length that points past the end, garbage, a tag no run writes, or
    // a time that is not a number ends the decoding.
    EXPECT_TRUE(DecodeJournal("F 999:abc\n").empty());
    EXPECT_TRUE(DecodeJournal("garbage").empty());
    EXPECT_TRUE(DecodeJournal("W 6:12:/a/\n").empty());
    EXPECT_EQ(DecodeJournal("T 1:/\nW 6:12:/a/\nC 0:\n").size(), 1u);
    EXPECT_TRUE(DecodeJournal("N 11:1 2 3 4x:/a\n").empty());
    EXPECT_TRUE(DecodeJournal("N 20:1 2 3 1000000000:/\n").empty());
    EXPECT_TRUE(DecodeJournal("I 5:12:/a\n").empty());
    EXPECT_TRUE(DecodeJournal("I 7:1 -2:/a\n").empty());
    EXPECT_TRUE(DecodeJournal("F 99999999999999999999999:a\n").empty());

    // Bytes the locale cannot read come back as the same bytes; a 0 byte,
    // which no path can hold, is kept apart, never guessed at.
    const std::vector<JournalRecord> foreign = DecodeJournal(EncodeJournalRecord('F', N("/t/\xff\xfe")));
    ASSERT_EQ(1u, foreign.size());
    EXPECT_TRUE(foreign[0].exact);
    EXPECT_EQ("/t/\xff\xfe", std::string(PathToBytes(foreign[0].path).Data()));
    const std::vector<JournalRecord> zero = DecodeJournal(EncodeJournalRecord('F', N(std::string("/t/\0x", 5))));
    ASSERT_EQ(1u, zero.size());
    EXPECT_FALSE(zero[0].exact);
}

TEST_F(JournalRecovery, KilledRunIsRolledBackExactly) {
    const int64_t before = MtimeOf(target_ / "old");
    ASSERT_NE(before, kOldDirectoryTime);
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        journal.End();  // the process died: its lock is gone
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_FALSE(reports[0].committed);
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(3u, reports[0].restoredFiles);
    EXPECT_EQ(1u, reports[0].removedFiles);
    EXPECT_EQ(1u, reports[0].removedDirectories);

    EXPECT_EQ("original a", ReadWholeFile(target_ / "old" / "a.cfg"));
    // On one file system a file in the backup got there by a rename: whole,
    // and found whatever the journal says.
    EXPECT_EQ("original b", ReadWholeFile(target_ / "b.cfg"));
    EXPECT_EQ("original c", ReadWholeFile(target_ / "old" / "c.cfg"));
    EXPECT_FALSE(fsys::exists(target_ / "new"));
    EXPECT_EQ(kOldDirectoryTime, MtimeOf(target_ / "old"));
    EXPECT_EQ(kOldDirectoryNanoseconds, MtimeNanosecondsOf(target_ / "old"));
    EXPECT_FALSE(fsys::exists(backup_));
    EXPECT_TRUE(fsys::exists(temp_));
    EXPECT_EQ("rolled back an interrupted installation into " + target_.string() +
                  "/: 3 replaced files restored, 1 added files and 1 added directories removed",
              std::string(DescribeRecovery(reports[0]).Data()));

    // Nothing is left to do on the next start.
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
}

// The run had created the target with a missing parent; both go, and the
// time of the parent that existed comes back.
TEST_F(JournalRecovery, TargetCreatedByTheRunIsRemovedWithItsNewParents) {
    const fsys::path made = Path("made");
    const fsys::path target = made / "target";
    const WideString targetText = W(target.string() + "/");
    {
        InstallJournal journal;
        ASSERT_EQ(0u, journal.Begin(HeldBackup(), targetText));
        ASSERT_EQ(0u, journal.RecordDirectoryTime(W(root_), OldTimes(kOldDirectoryTime)));
        ASSERT_EQ(0u, journal.Record('D', W(made.string())));
        ASSERT_EQ(0u, journal.Record('D', W(target.string())));
        fsys::create_directories(target);
        ASSERT_EQ(0u, journal.Record('F', W((target / "x.cfg").string())));
        WriteText(target / "x.cfg", "x");
        // Outside the target and not its parent: never the run's to remove.
        ASSERT_EQ(0u, journal.Record('D', In("old")));
        journal.End();
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ(2u, reports[0].removedDirectories);
    EXPECT_FALSE(fsys::exists(made));
    EXPECT_TRUE(fsys::exists(target_ / "old" / "a.cfg"));
    EXPECT_EQ(kOldDirectoryTime, MtimeOf(root_));
}

// Across file systems an original still at home beside a file of its name
// in the backup, with no record that the move completed: a whole copy (the
// kill came between its rename and the unlink) is a duplicate and goes; a
// file that differs is not the run's copy, and is neither put over the
// original nor deleted with the backup, but counted and kept.
TEST_F(JournalRecovery, CopyNotRecordedAsCompleteLosesToTheOriginalAndOthersAreKept) {
    if (!UseOtherFileSystem()) GTEST_SKIP() << "no second file system for the temporary directory";
    WriteText(target_ / "c.cfg", "original c");
    WriteText(target_ / "d.cfg", "original d");
    {
        InstallJournal journal;
        ASSERT_EQ(0u, journal.Begin(HeldBackup(), Target()));
        // Moved by copying, completed and recorded, then overwritten.
        ASSERT_EQ(0u, journal.Record('B', In("b.cfg")));
        fsys::copy_file(target_ / "b.cfg", backup_ / "b.cfg");
        fsys::remove(target_ / "b.cfg");
        ASSERT_EQ(0u, journal.Record('M', In("b.cfg")));
        WriteText(target_ / "b.cfg", "new b");
        ASSERT_EQ(0u, journal.Record('B', In("c.cfg")));
        WriteText(backup_ / "c.cfg", "not the original");
        ASSERT_EQ(0u, journal.Record('B', In("d.cfg")));
        fsys::copy_file(target_ / "d.cfg", backup_ / "d.cfg");
        journal.End();
    }
    std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ(1u, reports[0].restoredFiles);
    EXPECT_EQ(1u, reports[0].keptFiles);
    EXPECT_EQ("original b", ReadWholeFile(target_ / "b.cfg"));
    EXPECT_EQ("original c", ReadWholeFile(target_ / "c.cfg"));
    EXPECT_EQ("original d", ReadWholeFile(target_ / "d.cfg"));
    EXPECT_EQ("not the original", ReadWholeFile(backup_ / "c.cfg"));
    EXPECT_FALSE(fsys::exists(backup_ / "d.cfg"));
    // Once the user has taken care of it, the next start finishes.
    fsys::remove(target_ / "c.cfg");
    reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ("not the original", ReadWholeFile(target_ / "c.cfg"));
    EXPECT_FALSE(fsys::exists(backup_));
}

// Ends the process running work with SIGKILL once a move to another file
// system has copied its first piece; true when it died that way.
bool KilledMidCopy(const std::function<void()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        fs_testing::SetCopyHook([](uint64_t) {
            raise(SIGKILL);
            return true;
        });
        work();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// A kill in the middle of either copy (the original into the backup during
// the run, or back home during a recovery) must not leave a partial file
// that a later recovery takes for a whole one, nor anything under a name of
// its own.
TEST_F(JournalRecovery, CopyKilledMidwayInEitherDirectionLeavesTheWholeFile) {
    if (!UseOtherFileSystem()) GTEST_SKIP() << "no second file system for the temporary directory";
    const std::string content(5 << 19, 'b');
    WriteText(target_ / "b.cfg", content);
    // A name of the temporary copies' form that the user chose: not ours.
    const std::string usersOwn = ".wz4sxmvAbC123";
    WriteText(target_ / usersOwn, "the user's");
    fsys::permissions(target_ / "b.cfg", fsys::perms::owner_read | fsys::perms::group_read);
    const struct timespec times[2] = {{kOldDirectoryTime, 5}, {kOldDirectoryTime, 7}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, (target_ / "b.cfg").c_str(), times, 0));
    for (const bool intoBackup : {true, false}) {
        SCOPED_TRACE(intoBackup ? "into the backup" : "back home");
        UseTemporaryDirectory(otherFs_);
        {
            InstallJournal journal;
            ASSERT_EQ(0u, journal.Begin(HeldBackup(), Target()));
            ASSERT_EQ(0u, journal.Record('B', In("b.cfg"), true));
            // Back home: the move had completed, its M record was lost.
            if (!intoBackup) {
                ASSERT_EQ(0u, MovePath(In("b.cfg"), Backup() + u"b.cfg"));
            }
            journal.End();
        }
        if (intoBackup) {
            EXPECT_TRUE(KilledMidCopy([this] { (void)MovePath(In("b.cfg"), Backup() + u"b.cfg"); }));
        } else {
            EXPECT_TRUE(KilledMidCopy([] { RecoverInterruptedInstallations(); }));
        }
        const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
        ASSERT_EQ(1u, reports.size());
        EXPECT_TRUE(RecoveryIsComplete(reports[0]));
        EXPECT_TRUE(content == ReadWholeFile(target_ / "b.cfg"));
        for (const auto& entry : fsys::directory_iterator(target_)) {
            const std::string name = entry.path().filename().string();
            if (name != usersOwn) {
                EXPECT_EQ(std::string::npos, name.find("wz4sx")) << entry.path();
            }
        }
        EXPECT_EQ("the user's", ReadWholeFile(target_ / usersOwn));
        struct stat status;
        ASSERT_EQ(0, stat((target_ / "b.cfg").c_str(), &status));
        EXPECT_EQ(0440u, status.st_mode & 07777);
        EXPECT_EQ(7, status.st_mtim.tv_nsec);
        EXPECT_FALSE(fsys::exists(backup_));
    }
}

// A user's own file that merely has the form of an interrupted copy's name
// is a file like any other once it is in the backup: it comes home.
TEST_F(JournalRecovery, UsersFileNamedLikeAnInterruptedCopyComesHomeFromTheBackup) {
    const std::string name = ".wz4sxmvAb12Cd";
    WriteText(target_ / name, "the user's own");
    {
        InstallJournal journal;
        ASSERT_EQ(0u, journal.Begin(HeldBackup(), Target()));
        ASSERT_EQ(0u, journal.Record('B', In(name)));
        fsys::rename(target_ / name, backup_ / name);
        WriteText(target_ / name, "the kit's");
        journal.End();
    }
    ASSERT_EQ(1u, RecoverInterruptedInstallations().size());
    EXPECT_EQ("the user's own", ReadWholeFile(target_ / name));
}

TEST_F(JournalRecovery, RunningInstallationIsLeftAlone) {
    InstallJournal journal;
    SimulateKilledRun(journal);  // still open: its process is alive
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    EXPECT_TRUE(fsys::exists(target_ / "new" / "n.cfg"));
    EXPECT_TRUE(fsys::exists(backup_ / "old" / "a.cfg"));
    journal.End();
    EXPECT_EQ(1u, RecoverInterruptedInstallations().size());
    EXPECT_EQ("original a", ReadWholeFile(target_ / "old" / "a.cfg"));
}

// A writer deletes its journal before it lets go of the lock, so a finished
// run is never replayed.
TEST_F(JournalRecovery, JournalRemovedByItsWriterIsNotReplayed) {
    InstallJournal journal;
    SimulateKilledRun(journal);
    std::string contents;
    JournalLock lock;
    EXPECT_EQ(ERROR_ALREADY_EXISTS, ReadUnlockedJournal(journal.JournalPath(), &contents, &lock));
    journal.Remove();
    EXPECT_FALSE(journal.IsActive());
    EXPECT_FALSE(fsys::exists(backup_ / "wz4sx.journal"));
    // What is left (no journal, not empty) is not touched.
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    EXPECT_EQ("new b", ReadWholeFile(target_ / "b.cfg"));
    EXPECT_TRUE(fsys::exists(backup_ / "b.cfg"));
}

TEST_F(JournalRecovery, CommittedRunOnlyLosesItsBackup) {
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        ASSERT_EQ(0u, journal.RecordCommit());
        journal.End();
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(reports[0].committed);
    EXPECT_EQ("new a, half writ", ReadWholeFile(target_ / "old" / "a.cfg"));
    EXPECT_TRUE(fsys::exists(target_ / "new" / "n.cfg"));
    EXPECT_FALSE(fsys::exists(backup_));
}

// A file that cannot be moved home stays in the kept backup; the next
// attempt moves only that file and leaves alone what now stands where the
// run had added something.
TEST_F(JournalRecovery, UnrestorableFileKeepsBackupAndLaterAttemptOnlyRestores) {
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        journal.End();
    }
    // "old" cannot take a.cfg back: a file stands where the directory was.
    fsys::rename(target_ / "old", Path("old-aside"));
    WriteText(target_ / "old", "in the way");
    std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_FALSE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(2u, reports[0].keptFiles);
    EXPECT_EQ("original a", ReadWholeFile(backup_ / "old" / "a.cfg"));
    EXPECT_TRUE(fsys::exists(backup_ / "wz4sx.journal"));
    EXPECT_NE(std::string::npos,
              std::string(DescribeRecovery(reports[0]).Data()).find("2 replaced files could not be moved back"));

    fsys::remove(target_ / "old");
    fsys::rename(Path("old-aside"), target_ / "old");
    fsys::create_directory(target_ / "new");
    WriteText(target_ / "new" / "n.cfg", "the user's own, made since");
    reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(2u, reports[0].restoredFiles);
    EXPECT_EQ("original a", ReadWholeFile(target_ / "old" / "a.cfg"));
    EXPECT_EQ("original c", ReadWholeFile(target_ / "old" / "c.cfg"));
    EXPECT_EQ("the user's own, made since", ReadWholeFile(target_ / "new" / "n.cfg"));
    EXPECT_FALSE(fsys::exists(backup_));
}

TEST_F(JournalRecovery, UnreadableOrForeignJournalsLeaveEverythingAsFound) {
    // A path no file system can hold: acting on it could hit other files.
    WriteText(backup_ / "wz4sx.journal", EncodeJournalRecord('T', N(target_.string() + "/")) +
                                             EncodeJournalRecord('F', N(target_.string() + std::string("/\0.cfg", 6))));
    WriteText(backup_ / "b.cfg", "a user's file");
    std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(reports[0].unreadable);
    EXPECT_FALSE(RecoveryIsComplete(reports[0]));
    EXPECT_TRUE(fsys::exists(backup_ / "b.cfg"));
    EXPECT_TRUE(fsys::exists(backup_ / "wz4sx.journal"));

    // A journal damaged from its first byte, beside other files: kept.
    WriteText(backup_ / "wz4sx.journal", "garbage");
    reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(reports[0].unreadable);
    EXPECT_TRUE(fsys::exists(backup_ / "b.cfg"));

    // Alone, a journal whose first record was cut off: nothing had been done.
    fsys::remove(backup_ / "b.cfg");
    WriteText(backup_ / "wz4sx.journal", "T 4");
    reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_FALSE(fsys::exists(backup_));

    // A forged journal that leads out of the target by "..": nothing
    // outside it is touched.
    const fsys::path outside = target_.parent_path();
    WriteText(outside / "victim.cfg", "not below the target");
    fsys::create_directory(outside / "victim-dir");
    fsys::create_directory(backup_);
    WriteText(backup_ / "wz4sx.journal", EncodeJournalRecord('T', N(target_.string() + "/")) +
                                             EncodeJournalRecord('D', N(target_.string() + "/../victim-dir")) +
                                             EncodeJournalRecord('F', N(target_.string() + "/../victim.cfg")));
    reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ("not below the target", ReadWholeFile(outside / "victim.cfg"));
    EXPECT_TRUE(fsys::exists(outside / "victim-dir"));
}

TEST_F(JournalRecovery, EmptyDirectoryWithoutJournalIsRemovedOthersAreKept) {
    fsys::create_directory(temp_ / "wz4sx7");
    WriteText(backup_ / "kept.cfg", "no journal: not ours to judge");
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    EXPECT_FALSE(fsys::exists(temp_ / "wz4sx7"));
    EXPECT_TRUE(fsys::exists(backup_ / "kept.cfg"));
}

TEST_F(JournalRecovery, AnotherUsersDirectoryOpenDirectoriesAndLinksAreNotTouched) {
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        journal.End();
    }
    if (geteuid() == 0) {
        ASSERT_EQ(0, chown(backup_.c_str(), 65534, 65534));
        EXPECT_TRUE(RecoverInterruptedInstallations().empty());
        EXPECT_TRUE(fsys::exists(backup_ / "old" / "a.cfg"));
        ASSERT_EQ(0, chown(backup_.c_str(), 0, 0));
    }
    // A directory others may write into could hold a planted journal.
    fsys::permissions(backup_, fsys::perms::group_write, fsys::perm_options::add);
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    fsys::permissions(backup_, fsys::perms::group_write, fsys::perm_options::remove);

    // A link named like a backup directory is never followed.
    fsys::path elsewhere = Path("elsewhere");
    fsys::rename(backup_, elsewhere);
    fsys::create_directory_symlink(elsewhere, backup_);
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    EXPECT_TRUE(fsys::exists(elsewhere / "old" / "a.cfg"));
}

TEST_F(JournalRecovery, StartupLinesDescribeEachRecovery) {
    EXPECT_TRUE(RecoverAtStartup().empty());
    EXPECT_FALSE(fsys::exists(backup_));  // empty, without a journal
    fsys::create_directory(backup_);
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        journal.End();
    }
    const std::vector<NarrowString> lines = RecoverAtStartup();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, std::string(lines[0].Data()).find("rolled back an interrupted installation into "));
    EXPECT_EQ("original b", ReadWholeFile(target_ / "b.cfg"));
}

}  // namespace tpl
