// Write-ahead journal: record encoding and the recovery of interrupted runs.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "engine/journal/install_journal.h"
#include "engine/journal/journal_recovery.h"
#include "fs/dir_ops.h"
#include "text/convert.h"

namespace fsys = std::filesystem;

namespace {

WideString W(const std::string& s)
{
    return ToWide(NarrowString(s.data(), static_cast<uint32_t>(s.size())));
}

void WriteText(const fsys::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

std::string ReadText(const fsys::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class JournalRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        setlocale(LC_ALL, "C.UTF-8");
        char pattern[] = "/tmp/journal-test-XXXXXX";
        root_ = mkdtemp(pattern);
        temp_ = root_ / "tmp";
        target_ = root_ / "target";
        fsys::create_directories(temp_);
        fsys::create_directories(target_ / "old");
        WriteText(target_ / "old" / "a.cfg", "original a");
        WriteText(target_ / "b.cfg", "original b");
        const char* previous = getenv("TMPDIR");
        if (previous)
            savedTmp_ = previous;
        setenv("TMPDIR", temp_.c_str(), 1);
        backup_ = temp_ / "wz4sx0";
        fsys::create_directory(backup_);
    }
    void TearDown() override
    {
        if (savedTmp_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", savedTmp_.c_str(), 1);
        fsys::remove_all(root_);
    }
    WideString Target() const { return W(target_.string() + "/"); }
    WideString Backup() const { return W(backup_.string() + "/"); }

    // Leaves behind what a run killed in the middle leaves: one added
    // directory with a file, one file fully moved into the backup and
    // overwritten, one file whose move into the backup was cut short.
    void SimulateKilledRun(InstallJournal& journal)
    {
        ASSERT_EQ(0u, journal.Begin(Backup(), Target()));
        ASSERT_EQ(0u, journal.Record('D', W((target_ / "new").string())));
        fsys::create_directory(target_ / "new");
        ASSERT_EQ(0u, journal.Record('F', W((target_ / "new" / "n.cfg").string())));
        WriteText(target_ / "new" / "n.cfg", "added");
        ASSERT_EQ(0u, journal.Record('B', W((target_ / "old" / "a.cfg").string())));
        fsys::create_directories(backup_ / "old");
        fsys::rename(target_ / "old" / "a.cfg", backup_ / "old" / "a.cfg");
        ASSERT_EQ(0u, journal.Record('M', W((target_ / "old" / "a.cfg").string())));
        WriteText(target_ / "old" / "a.cfg", "new a, half writ");
        ASSERT_EQ(0u, journal.Record('B', W((target_ / "b.cfg").string())));
        WriteText(backup_ / "b.cfg", "orig");  // a copy across file systems, cut short
    }

    fsys::path root_, temp_, target_, backup_;
    std::string savedTmp_;
};

}  // namespace

TEST(JournalEncoding, RoundTripsAnyBytesAndIgnoresACutRecord)
{
    setlocale(LC_ALL, "C.UTF-8");
    const std::string odd = "dir/with\nnewline:colon 12:x";
    std::string contents = EncodeJournalRecord('T', NarrowString("/t/")) +
                           EncodeJournalRecord('F', NarrowString(odd.data(), static_cast<uint32_t>(odd.size()))) +
                           EncodeJournalRecord('C', NarrowString(""));
    const std::string cut = EncodeJournalRecord('D', NarrowString("/t/never"));
    contents += cut.substr(0, cut.size() - 3);

    const std::vector<JournalRecord> records = DecodeJournal(contents);
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ('T', records[0].tag);
    EXPECT_TRUE(records[0].path.Equals(u"/t/"));
    EXPECT_EQ(odd, std::string(ToNarrow(records[1].path).Data()));
    EXPECT_EQ('C', records[2].tag);
    EXPECT_TRUE(records[2].path.Empty());

    // A length that points past the end, or garbage, ends the decoding.
    EXPECT_TRUE(DecodeJournal("F 999:abc\n").empty());
    EXPECT_TRUE(DecodeJournal("garbage").empty());
}

TEST_F(JournalRecovery, KilledRunIsRolledBackExactly)
{
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        journal.End();  // the process died: its lock is gone
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_FALSE(reports[0].committed);
    EXPECT_EQ(1u, reports[0].restoredFiles);
    EXPECT_EQ(1u, reports[0].removedDirectories);

    EXPECT_EQ("original a", ReadText(target_ / "old" / "a.cfg"));
    EXPECT_EQ("original b", ReadText(target_ / "b.cfg"));  // the partial copy did not win
    EXPECT_FALSE(fsys::exists(target_ / "new"));
    EXPECT_FALSE(fsys::exists(backup_));
    EXPECT_TRUE(fsys::exists(temp_));
    EXPECT_NE(std::string::npos, std::string(DescribeRecovery(reports[0]).Data()).find("rolled back"));

    // Nothing is left to do on the next start.
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
}

TEST_F(JournalRecovery, RunningInstallationIsLeftAlone)
{
    InstallJournal journal;
    SimulateKilledRun(journal);  // still open: its process is alive
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    EXPECT_TRUE(fsys::exists(target_ / "new" / "n.cfg"));
    EXPECT_TRUE(fsys::exists(backup_ / "old" / "a.cfg"));
    journal.End();
    EXPECT_EQ(1u, RecoverInterruptedInstallations().size());
    EXPECT_EQ("original a", ReadText(target_ / "old" / "a.cfg"));
}

TEST_F(JournalRecovery, CommittedRunOnlyLosesItsBackup)
{
    {
        InstallJournal journal;
        SimulateKilledRun(journal);
        ASSERT_EQ(0u, journal.RecordCommit());
        journal.End();
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(1u, reports.size());
    EXPECT_TRUE(reports[0].committed);
    EXPECT_EQ("new a, half writ", ReadText(target_ / "old" / "a.cfg"));
    EXPECT_TRUE(fsys::exists(target_ / "new" / "n.cfg"));
    EXPECT_FALSE(fsys::exists(backup_));
}

TEST_F(JournalRecovery, AnotherUsersDirectoryAndLinksAreNotTouched)
{
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
    // A link named like a backup directory is never followed.
    fsys::path elsewhere = root_ / "elsewhere";
    fsys::rename(backup_, elsewhere);
    fsys::create_directory_symlink(elsewhere, backup_);
    EXPECT_TRUE(RecoverInterruptedInstallations().empty());
    EXPECT_TRUE(fsys::exists(elsewhere / "old" / "a.cfg"));
}
