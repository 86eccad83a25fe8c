// Proposing the template directory and recording it after an installation.
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "config/template_locations.h"
#include "fs/fault_injection.h"
#include "fs/fs_testing.h"
#include "temp_home.h"

namespace tpl {

namespace {

using Templates = TempHomeTest;
const std::string kKey = "ConfigurationTemplatesLocation=";

std::string Joined(const std::vector<WideString>& list) {
    std::string joined;
    for (const WideString& item : list) joined += Narrow(item) + ";";
    return joined;
}

TEST_F(Templates, LocationsMergeUserAndCommonWithoutDuplicates) {
    WriteBytes(mainUser_, kKey + "/a/t\n" + kKey + "/b/t/\n" + kKey + "C:\\x\\y\n" + kKey + "c:/X/Y/\n");
    WriteBytes(mainCommon_, kKey + "/A/T/\n" + kKey + "/c\n");
    std::vector<WideString> list{u"stale"};
    CollectTemplateLocations(&list, LauncherProfile::Main);
    EXPECT_EQ(Joined(list), "/a/t;/b/t/;C:/x/y;/c;");
}

TEST_F(Templates, ProbeSkipsMissingAndUnwritableCandidates) {
    const std::string ok = home_ + "/ok";
    std::filesystem::create_directories(ok);
    WriteBytes(home_ + "/plain", "x");
    WriteBytes(mainUser_, kKey + "\n" + kKey + home_ + "/missing\n" + kKey + home_ + "/plain/sub\n" +
                              kKey + ok + "\n");
    // A time below the second, as a copy or an archive gives it.
    const struct timespec aged[2] = {{1400000000, 123456789}, {1400000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, ok.c_str(), aged, 0), 0);
    TemplateProposal proposal = ProposeTemplateDirectory();
    EXPECT_EQ(Narrow(proposal.directory), ok);
    EXPECT_TRUE(std::filesystem::is_empty(ok)) << "the probe file is left behind";
    EXPECT_FALSE(Exists(home_ + "/missing"));
    // The probe leaves the directory's times as they were.
    struct stat status;
    ASSERT_EQ(stat(ok.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtim.tv_sec, 1400000000);
    EXPECT_EQ(status.st_mtim.tv_nsec, 987654321);
}

// Where no file without a name can be made, the probe goes by a named file:
// it leaves no file behind and puts the directory's times back exactly.
TEST_F(Templates, ProbeByNameLeavesNoFileAndTheTimesExact) {
    const std::string dir = home_ + "/named";
    std::filesystem::create_directories(dir);
    const struct timespec aged[2] = {{1400000000, 123456789}, {1400000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.c_str(), aged, 0), 0);
    struct stat after;
    fs_testing::ForceFallbacks(true);
    fault_injection::ResetCount();
    uint32_t probed = 1;
    const bool writable = IsDirectoryWritable(Wide(dir), &probed);
    const int64_t counted = fault_injection::CountedOperations();
    fs_testing::ForceFallbacks(false);
    EXPECT_TRUE(writable);
    EXPECT_EQ(probed, 0u);
    EXPECT_EQ(counted, 1) << "the named probe file was not made";
    ASSERT_EQ(stat(dir.c_str(), &after), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "the probe file is left behind";
    EXPECT_EQ(after.st_mtim.tv_sec, 1400000000);
    EXPECT_EQ(after.st_mtim.tv_nsec, 987654321);
    EXPECT_EQ(after.st_atim.tv_sec, 1400000000);
    EXPECT_EQ(after.st_atim.tv_nsec, 123456789);
}

// Under the C locale a listed directory with letters the locale lacks is
// still probed (by its UTF-8 name) and can be proposed.
TEST_F(Templates, ProbeReachesNamesTheLocaleCannotSpell) {
    const std::string name = home_ + "/\xd0\xa8\xd0\xb0\xd0\xb1";
    std::filesystem::create_directories(name);
    const std::string saved = setlocale(LC_ALL, nullptr);
    setlocale(LC_ALL, "C");
    std::u16string wide(home_.begin(), home_.end());
    wide += u"/\u0428\u0430\u0431";
    const bool writable = IsDirectoryWritable(WideString(wide.data(), static_cast<uint32_t>(wide.size())));
    setlocale(LC_ALL, saved.c_str());
    EXPECT_TRUE(writable);
    EXPECT_TRUE(std::filesystem::is_empty(name)) << "the probe file is left behind";
}

struct ProfileCase {
    const char* name;
    const char* mainFile;  // null: no such file
    const char* altFile;
    const char* proposedList;
    bool alternativePresent, listFromAlternative;
    const char* mainAfter;  // null: still no such file
    const char* altAfter;
};

TEST_F(Templates, RecordingGoesToTheProfilesTheProposalCameFrom) {
    const ProfileCase cases[] = {
        {"no files", nullptr, nullptr, "", false, false, "/inst\n", nullptr},
        {"alternative only", nullptr, "/l1\n/l2\n", "/l1;/l2;", true, true, nullptr, "/inst\n/l1\n/l2\n"},
        {"both", "/m\n", "/l1\n", "/m;", true, false, "/inst\n/m\n", "/inst\n/m\n"},
        {"alternative without locations", nullptr, "", "", true, false, "/inst\n", "/inst\n"},
        {"main without locations", "", "/l1\n", "", true, false, "/inst\n", "/inst\n"},
    };
    auto file = [](const char* lines) {
        std::string text;
        for (const char* p = lines; *p; ++p) text += (p == lines || p[-1] == '\n') ? kKey + *p : std::string(1, *p);
        return text;
    };
    for (const ProfileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(home_ + "/.Vq");
        if (c.mainFile) WriteBytes(mainUser_, file(c.mainFile));
        if (c.altFile) WriteBytes(altUser_, file(c.altFile));
        TemplateProposal proposal = ProposeTemplateDirectory();
        EXPECT_EQ(Joined(proposal.locations), c.proposedList);
        EXPECT_EQ(proposal.alternativeProfilePresent, c.alternativePresent);
        EXPECT_EQ(proposal.listFromAlternativeProfile, c.listFromAlternative);
        if (proposal.locations.empty()) {
            EXPECT_EQ(Narrow(proposal.directory), home_ + "/.qbx4/Vq/qbx4/tmplts/");
        }

        RecordInstalledDirectory(u"/inst/", proposal);
        EXPECT_EQ(Exists(mainUser_) ? ReadWholeFile(mainUser_) : "<none>", c.mainAfter ? file(c.mainAfter) : "<none>");
        EXPECT_EQ(Exists(altUser_) ? ReadWholeFile(altUser_) : "<none>", c.altAfter ? file(c.altAfter) : "<none>");
    }
}

TEST_F(Templates, InstalledDirectoryStandsFirstAndOnce) {
    WriteBytes(mainUser_, "X=1\n" + kKey + "/home/U/Tpl/\n" + kKey + "/b\nY=2\n");
    WriteBytes(mainCommon_, kKey + "/common\n");
    TemplateProposal proposal = ProposeTemplateDirectory();
    RecordInstalledDirectory(u"/home/u/tpl/", proposal);
    EXPECT_EQ(ReadWholeFile(mainUser_), "X=1\n" + kKey + "/home/u/tpl\n" + kKey + "/b\n" + kKey + "/common\nY=2\n");

    const std::pair<const char16_t*, std::string> installed[] = {
        {u"/x//", kKey + "/x/\n"}, {u"/", kKey + "/\n"}, {u"", ""}, {u"/a\n/b", ""}};
    for (const auto& [directory, expected] : installed) {
        std::filesystem::remove_all(home_ + "/.Vq");
        std::filesystem::remove_all(home_ + "/.qbx4");
        RecordInstalledDirectory(directory, ProposeTemplateDirectory());
        EXPECT_EQ(ReadWholeFile(mainUser_), expected) << Narrow(directory);
    }
}

TEST_F(Templates, RecordingKeepsEveryOtherByteInAnyLocale) {
    static const char kOther[] =
        "Latin1=caf\xE9\n"
        "Broken=\xE2\x82 and \xFF\n"
        "Nul=a\0b\n"
        "Utf8=\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80\n"
        "\xE9key=v\n";
    const std::string other(kOther, sizeof kOther - 1);
    int locales = 0;
    for (const char* locale : {"C", "C.UTF-8", "en_US.UTF-8"}) {
        if (setlocale(LC_ALL, locale) == nullptr) continue;  // not installed here
        SCOPED_TRACE(locale);
        ++locales;
        WriteBytes(mainUser_, other + kKey + "/old\xE9\n");
        TemplateProposal proposal;
        CollectTemplateLocations(&proposal.locations, LauncherProfile::Main);
        EXPECT_EQ(Narrow(RecordInstalledDirectory(u"/new/", proposal)), "");
        EXPECT_EQ(ReadWholeFile(mainUser_), other + kKey + "/new\n" + kKey + "/old\xE9\n");
    }
    setlocale(LC_ALL, "C.UTF-8");
    EXPECT_GE(locales, 2);
}

TEST_F(Templates, AFileThatCannotBeWrittenIsNamed) {
    // A directory where the launcher's file belongs cannot be replaced.
    std::filesystem::create_directories(mainUser_ + "/inner");
    EXPECT_EQ(Narrow(RecordInstalledDirectory(u"/new/", ProposeTemplateDirectory())), mainUser_);
    EXPECT_TRUE(Exists(mainUser_ + "/inner"));
    // A directory with a line feed or another control character cannot be
    // written as a line of the file; no empty file is left in its place.
    for (const char16_t* unrecordable : {u"/a\n/b", u"/a\r", u"/a\x1B[0m"}) {
        std::filesystem::remove_all(home_ + "/.Vq");
        EXPECT_EQ(Narrow(RecordInstalledDirectory(unrecordable, ProposeTemplateDirectory())), mainUser_);
        EXPECT_FALSE(Exists(mainUser_));
    }
}

// Each recording tells what it did to the file, and the plan of it says the
// same beforehand. A file that already lists the directory first is
// neither locked nor written: its directory keeps its time even where no
// lock file can be made. A home directory that is not there is never made.
TEST_F(Templates, EachRecordingSaysWhatItDidAndWritesOnlyWhatChanges) {
    struct Step {
        const char* name;
        const char16_t* installed;
        const char* home;  // HOME for the step, below the test's root; null: the test's own
        LauncherFileAction action;
        int systemErrno;
    };
    const Step steps[] = {
        {"a new file", u"/a/", nullptr, LauncherFileAction::Created, 0},
        {"the same again", u"/a/", nullptr, LauncherFileAction::Unchanged, 0},
        {"another directory", u"/b/", nullptr, LauncherFileAction::Updated, 0},
        {"no home directory", u"/a/", "gone/h", LauncherFileAction::Failed, ENOENT},
    };
    const std::string home = home_;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const std::string stepHome = step.home ? root_ + "/" + step.home : home;
        ASSERT_EQ(setenv("HOME", stepHome.c_str(), 1), 0);
        const TemplateProposal proposal = ProposeTemplateDirectory();
        const std::vector<LauncherFileRecording> planned = PlanInstalledDirectoryRecording(step.installed, proposal);
        if (step.action == LauncherFileAction::Unchanged) {
            // Where a lock file would be needed, none can be made.
            std::filesystem::create_directories(home + "/.Vq/pivotrun/.pivotrun.cfg.lock");
        }
        struct stat before {};
        (void)stat((home + "/.Vq/pivotrun").c_str(), &before);
        const std::vector<LauncherFileRecording> done = RecordInstalledDirectoryInFiles(step.installed, proposal);
        ASSERT_EQ(done.size(), 1u);
        ASSERT_EQ(planned.size(), 1u);
        EXPECT_EQ(Narrow(done[0].path), stepHome + "/.Vq/pivotrun/pivotrun.cfg");
        EXPECT_EQ(LauncherFileActionName(done[0].action), std::string(LauncherFileActionName(step.action)));
        EXPECT_EQ(done[0].systemErrno, step.systemErrno);
        EXPECT_EQ(planned[0].action, done[0].action);
        if (step.action == LauncherFileAction::Unchanged) {
            struct stat after {};
            ASSERT_EQ(stat((home + "/.Vq/pivotrun").c_str(), &after), 0);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
            std::filesystem::remove(home + "/.Vq/pivotrun/.pivotrun.cfg.lock");
        }
    }
    ASSERT_EQ(setenv("HOME", home.c_str(), 1), 0);
    EXPECT_FALSE(Exists(root_ + "/gone"));
    EXPECT_EQ(ReadWholeFile(mainUser_), kKey + "/b\n" + kKey + "/a\n");
}

// Installations that run at once each record their directory: every one
// reads the file as the others left it, under its lock, and puts its own in
// front. The lock file goes with the last of them.
TEST_F(Templates, ConcurrentRecordingsLoseNoDirectoryAndIdenticalOnesWriteNothing) {
    WriteBytes(mainUser_, "X=1\n");
    // All proposals are made before anyone records, as when the runs overlap.
    std::vector<TemplateProposal> proposals;
    for (int run = 0; run < 3; ++run) proposals.push_back(ProposeTemplateDirectory());
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int run = 0; run < 3; ++run) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            char go;
            (void)!read(start[0], &go, 1);  // all start together when the pipe closes
            const std::u16string directory = u"/run" + std::u16string(1, static_cast<char16_t>(u'0' + run));
            _exit(RecordInstalledDirectory(WideString(directory.c_str()), proposals[run]).Empty() ? 0 : 1);
        }
        children.push_back(child);
    }
    close(start[0]);
    close(start[1]);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string recorded = ReadWholeFile(mainUser_);
    for (const char* run : {"/run0\n", "/run1\n", "/run2\n"})
        EXPECT_NE(recorded.find(kKey + run), std::string::npos) << recorded;
    EXPECT_EQ(recorded.rfind("X=1\n", 0), 0u) << recorded;
    EXPECT_EQ(std::filesystem::directory_iterator(home_ + "/.Vq/pivotrun")->path().filename(), "pivotrun.cfg");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home_ + "/.Vq/pivotrun"), {}), 1);

    // The same directory again: the file is left as it is, time included.
    const std::string first = recorded.substr(recorded.find(kKey) + kKey.size(), 5);
    const struct timespec aged[2] = {{1400000000, 0}, {1400000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, mainUser_.c_str(), aged, 0), 0);
    EXPECT_EQ(Narrow(RecordInstalledDirectory(Wide(first), ProposeTemplateDirectory())), "");
    struct stat status;
    ASSERT_EQ(stat(mainUser_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mtim.tv_sec, 1400000000);
    EXPECT_EQ(ReadWholeFile(mainUser_), recorded);
}

// A FIFO in the launcher file's place is neither waited on nor replaced.
TEST_F(Templates, AFifoAsTheLauncherFileIsRefusedWithoutWaiting) {
    std::filesystem::create_directories(home_ + "/.Vq/pivotrun");
    ASSERT_EQ(mkfifo(mainUser_.c_str(), 0600), 0);
    alarm(60);  // a run that blocks ends the test instead of hanging it
    const TemplateProposal proposal = ProposeTemplateDirectory();
    EXPECT_EQ(Narrow(RecordInstalledDirectory(u"/new/", proposal)), mainUser_);
    alarm(0);
    struct stat status;
    ASSERT_EQ(lstat(mainUser_.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST(ProposedDirectory, CleaningDropsUrlsAndNormalisesSeparators) {
    setlocale(LC_ALL, "C.UTF-8");
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"file:///home/u/tpl", "/home/u/tpl"}, {u"/x/http://y", ""}, {u"https://h/p", ""},
        {u"ftp://h", ""}, {u"C:\\tpl\\x\r\n", "C:/tpl/x"}, {u"/a/file://b", "/a/b"}, {u"   ", "   "}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Narrow(CleanProposedDirectory(input)), expected) << Narrow(input);
    }
}

}  // namespace

}  // namespace tpl
