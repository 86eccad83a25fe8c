// The typed template directory: text rules and the checks against the disk.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

#include "fs/fault_injection.h"
#include "session/target_directory.h"
#include "support/install_sandbox.h"
#include "support/tmpfs_mount.h"
#include "support/wide_text.h"
#include "text/convert.h"

namespace tpl {

namespace {

struct Resolved {
    TargetProblem problem;
    std::string directory;
};

Resolved Resolve(const char16_t* typed, const char16_t* home = u"/home/ann") {
    const TargetCheck check = ResolveTargetDirectory(WideString(typed), WideString(home));
    return {check.problem, Narrow(check.directory)};
}

}  // namespace

TEST(TargetText, BlanksGoAndHomeIsExpanded) {
    EXPECT_EQ(Resolve(u"  /srv/tpl \t").directory, "/srv/tpl");
    EXPECT_EQ(Resolve(u"~").directory, "/home/ann");
    EXPECT_EQ(Resolve(u" ~/templates").directory, "/home/ann/templates");
    EXPECT_EQ(Resolve(u"~/t", u"/home/ann/").directory, "/home/ann/t");
    EXPECT_EQ(Resolve(u"~/t", u"/").directory, "/t");
    // A backslash is a character of a name: the path stays as typed.
    EXPECT_EQ(Resolve(u"/srv/x\\y\\").directory, "/srv/x\\y\\");
    EXPECT_EQ(Resolve(u"\\srv\\tpl").problem, TargetProblem::Relative);
    EXPECT_EQ(Resolve(u"/a/~/b").directory, "/a/~/b");  // only a leading tilde is the home
    for (const char16_t* fine : {u"/srv/tpl", u"~", u"~/x", u" /x "})
        EXPECT_EQ(Resolve(fine).problem, TargetProblem::None) << Narrow(WideString(fine));
}

TEST(TargetText, EmptyAndRelativePathsAreRefusedWithTheirTexts) {
    EXPECT_EQ(Resolve(u"").problem, TargetProblem::Empty);
    EXPECT_EQ(Resolve(u"   ").problem, TargetProblem::Empty);
    EXPECT_EQ(Resolve(u"\t\u00A0").problem, TargetProblem::Empty);
    for (const char16_t* relative : {u"templates", u"./t", u"../t", u"~ann/t", u"~x", u"C:/t"})
        EXPECT_EQ(Resolve(relative).problem, TargetProblem::Relative) << Narrow(WideString(relative));
    // Without a known home the tilde stays literal, and so relative.
    EXPECT_EQ(Resolve(u"~/t", u"").problem, TargetProblem::Relative);

    EXPECT_STREQ(TargetProblemTextId(TargetProblem::Empty), "IDS_SETUP_EMPTYTARGET");
    EXPECT_STREQ(TargetProblemTextId(TargetProblem::Relative), "IDS_TARGET_RELATIVE");
    EXPECT_EQ(TargetProblemTextId(TargetProblem::None), nullptr);
    // The notice says what a full path looks like; below it, what was typed.
    EXPECT_EQ(Narrow(TargetProblemDetail(ResolveTargetDirectory(u" ~root/x ", u"/home/ann"))), "~root/x");
    EXPECT_EQ(Narrow(TargetProblemDetail(ResolveTargetDirectory(u"templates/mine", u"/home/ann"))), "templates/mine");
}

TEST(TargetText, ControlCharactersAreRefusedAndShownEscaped) {
    // Anywhere inside the path, also where it would be relative; blanks at
    // the ends are still trimmed away.
    for (const char16_t* typed : {u"/srv/a\nb", u"~/t\tx", u"/srv/x\x7F", u"rel\x01/x", u"\n/srv/a\rb\n"}) {
        const TargetCheck check = ResolveTargetDirectory(WideString(typed), WideString(u"/home/ann"));
        EXPECT_EQ(check.problem, TargetProblem::ControlCharacter) << Narrow(WideString(typed));
        // Nothing failed on the disk: the notice names the character.
        EXPECT_STREQ(TargetProblemTextId(check.problem), "IDS_TARGET_CONTROLCHAR");
    }
    EXPECT_EQ(Narrow(TargetProblemText(ResolveTargetDirectory(u"/srv/a\nb\t", u"/"))),
              "The path contains a control character (\\n).");
    EXPECT_EQ(Narrow(FirstControlCharacterShown(u"/srv/x\x7F")), "\\x7f");
    EXPECT_EQ(Narrow(TargetProblemDetail(ResolveTargetDirectory(u"/srv/a\nb\x7F", u"/"))), "/srv/a\\nb\\x7f");
    EXPECT_EQ(Resolve(u"/srv/tpl\n").problem, TargetProblem::None);
}

class TargetDiskTest : public InstallSandboxTest {
protected:
    TargetCheck Check(const std::string& typed) { return CheckTargetDirectory(Wide(typed)); }
    void TearDown() override {
        fault_injection::FailOperationAt(0);
        InstallSandboxTest::TearDown();
    }
};

TEST_F(TargetDiskTest, ExistingAndCreatableDirectoriesPassAndNothingIsLeftBehind) {
    const std::string existing = Path("have");
    WriteFile(existing + "/old.cfg", "x");
    EXPECT_TRUE(Check(existing).Ok());
    EXPECT_TRUE(Check(existing + "/").Ok());

    const std::string missing = Path("new/deeper/tpl");
    const TargetCheck check = Check(" " + missing + " ");
    EXPECT_TRUE(check.Ok());
    EXPECT_EQ(Narrow(check.directory), missing);
    EXPECT_FALSE(Exists(Path("new")));  // the check creates nothing

    EXPECT_EQ(Narrow(Check("~/tpl").directory), home_ + "/tpl");
    EXPECT_TRUE(Check("~/tpl").Ok());
    // Only the probes' own files came and went.
    EXPECT_EQ(ReadFile(existing + "/old.cfg"), "x");
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

TEST_F(TargetDiskTest, AFileInTheWayNamesItself) {
    const std::string file = Path("plain.txt");
    WriteFile(file, "not a directory");
    TargetCheck check = Check(file);
    EXPECT_EQ(check.problem, TargetProblem::IsFile);
    EXPECT_EQ(Narrow(check.problemPath), file);
    EXPECT_STREQ(TargetProblemTextId(check.problem), "IDS_TARGET_ISFILE");

    // A file where a parent directory would have to be created.
    check = Check(file + "/below/tpl");
    EXPECT_EQ(check.problem, TargetProblem::CannotCreate);
    EXPECT_EQ(Narrow(check.problemPath), file);
    EXPECT_STREQ(TargetProblemTextId(check.problem), "IDS_TARGET_CANNOTCREATE");

    // A dangling link cannot become the directory either.
    const std::string link = Path("dangling");
    ASSERT_EQ(symlink(Path("nowhere").c_str(), link.c_str()), 0);
    check = Check(link + "/tpl");
    EXPECT_EQ(check.problem, TargetProblem::CannotCreate);
    EXPECT_EQ(Narrow(check.problemPath), link);
}

TEST_F(TargetDiskTest, ADirectoryThatRefusesFilesGivesTheSystemsReason) {
    const std::string directory = Path("locked");
    WriteFile(directory + "/keep", "");
    if (geteuid() != 0) {  // permission bits do not stop root
        ASSERT_EQ(chmod(directory.c_str(), 0555), 0);
        const TargetCheck check = Check(directory);
        chmod(directory.c_str(), 0755);
        EXPECT_EQ(check.problem, TargetProblem::NotWritable);
        EXPECT_EQ(std::string(check.systemReason.Data()), "Permission denied");
    }
    TmpfsMount readOnly(directory, "size=64k", true);
    if (!readOnly.Mounted()) GTEST_SKIP() << "cannot mount a read-only tmpfs here";
    TargetCheck check = Check(directory);
    EXPECT_EQ(check.problem, TargetProblem::NotWritable);
    EXPECT_EQ(Narrow(check.problemPath), directory);
    EXPECT_EQ(std::string(check.systemReason.Data()), "Read-only file system");
    EXPECT_STREQ(TargetProblemTextId(check.problem), "IDS_TARGET_NOTWRITABLE");
    EXPECT_EQ(Narrow(TargetProblemDetail(check)), directory + "\nRead-only file system");

    check = Check(directory + "/sub");
    EXPECT_EQ(check.problem, TargetProblem::CannotCreate);
    EXPECT_EQ(Narrow(check.problemPath), directory);
}

TEST_F(TargetDiskTest, AControlCharacterIsRefusedBeforeAnythingIsLookedAt) {
    const TargetCheck check = Check(Path("a") + "\nb");
    EXPECT_EQ(check.problem, TargetProblem::ControlCharacter);
    EXPECT_EQ(Narrow(TargetProblemDetail(check)), Path("a") + "\\nb");
    EXPECT_FALSE(Exists(Path("a")));
}

// What the system says about a directory that takes no new entries, and
// about one that cannot even be searched, is the reason shown.
TEST_F(TargetDiskTest, TheSystemsReasonIsTheOneThatFits) {
    // The process file system answers "No such file or directory" to a new
    // entry in an existing directory; the reason is that it allows none.
    if (Check("/proc").problem == TargetProblem::NotWritable) {
        const TargetCheck check = Check("/proc/templates");
        EXPECT_EQ(check.problem, TargetProblem::CannotCreate);
        EXPECT_EQ(Narrow(check.problemPath), "/proc");
        EXPECT_EQ(std::string(check.systemReason.Data()), "Operation not permitted");
    }
    // A directory below one that an ordinary user may not search, checked
    // as such a user in a child process.
    const std::string hidden = Path("private");
    WriteFile(hidden + "/keep", "");
    ASSERT_EQ(chmod(hidden.c_str(), 0700), 0);
    ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        const TargetCheck check = Check(hidden + "/x");
        const bool named = Narrow(check.problemPath) == hidden + "/x" || Narrow(check.problemPath) == hidden;
        _exit(check.problem == TargetProblem::CannotCreate && named &&
                      std::string(check.systemReason.Data()) == "Permission denied"
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot become an ordinary user here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the unsearchable directory was refused without its reason";
}

TEST_F(TargetDiskTest, APathOverTheSystemsLimitsCannotBeCreated) {
    // Only the parent exists: the limits, not the walk to it, decide.
    for (const std::string& tooLong : {Path(std::string(NAME_MAX + 1, 'n')),
                                       Path(std::string(PATH_MAX / 2, 'd') + "/" + std::string(PATH_MAX / 2, 'e'))}) {
        const TargetCheck check = Check(tooLong);
        EXPECT_EQ(check.problem, TargetProblem::CannotCreate);
        EXPECT_EQ(Narrow(check.problemPath), tooLong);
        EXPECT_EQ(std::string(check.systemReason.Data()), "File name too long");
    }
    EXPECT_TRUE(Check(Path(std::string(NAME_MAX, 'n'))).Ok());
}

TEST_F(TargetDiskTest, TheProbesLeaveTheDirectoryAndItsTimesAsTheyWere) {
    const std::string directory = Path("have");
    WriteFile(directory + "/old.cfg", "x");
    struct stat before {};
    ASSERT_EQ(stat(directory.c_str(), &before), 0);
    usleep(20000);  // a change would show in the nanoseconds
    EXPECT_TRUE(Check(directory).Ok());
    EXPECT_TRUE(Check(directory + "/new/tpl").Ok());
    struct stat after {};
    ASSERT_EQ(stat(directory.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_nlink, before.st_nlink);
}

}  // namespace tpl
