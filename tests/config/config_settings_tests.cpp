// Where the launcher's files lie and how one profile's pair is loaded and stored.
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include "config/launcher_config.h"
#include "temp_home.h"

namespace tpl {

namespace {

using Settings = TempHomeTest;

std::string Values(LauncherConfig& table) {
    const std::vector<WideString>* values = table.FindValues(kTemplatesLocationKey);
    std::string joined;
    for (size_t i = 0; values && i < values->size(); ++i) joined += Narrow((*values)[i]) + ";";
    return joined;
}

TEST_F(Settings, LocationsFollowTheHomeDirectoryVerbatim) {
    setenv("HOME", "/tmp/a b/", 1);
    EXPECT_EQ(Narrow(LauncherSettings::MainUserFile()), "/tmp/a b//.Vq/pivotrun/pivotrun.cfg");
    EXPECT_EQ(Narrow(LauncherSettings::AlternativeUserFile()), "/tmp/a b//.Vq/pivotrunt/pivotrun.cfg");
    EXPECT_EQ(Narrow(LauncherSettings::MainCommonFile()), "/tmp/a b//.qbx4//.Vq/pivotrun/pivotrun.cfg");
    EXPECT_EQ(Narrow(LauncherSettings::ProductBaseDirectory()), "/tmp/a b//.qbx4/");
    // An expansion that fails leaves every location at the root.
    setenv("HOME", "", 1);
    EXPECT_EQ(Narrow(LauncherSettings::HomeDirectory()), "");
    EXPECT_EQ(Narrow(LauncherSettings::MainUserFile()), "/.Vq/pivotrun/pivotrun.cfg");
}

TEST_F(Settings, EachProfileReadsItsOwnPairOfFiles) {
    WriteBytes(mainUser_, "ConfigurationTemplatesLocation=/main-user\n");
    WriteBytes(altUser_, "ConfigurationTemplatesLocation=/alt-user\n");
    WriteBytes(mainCommon_, "ConfigurationTemplatesLocation=/main-common\n");
    LauncherSettings main(LauncherProfile::Main);
    main.Load();
    EXPECT_EQ(Values(main.UserTable()), "/main-user;");
    EXPECT_EQ(Values(main.CommonTable()), "/main-common;");
    LauncherSettings alternative(LauncherProfile::Alternative);
    alternative.Load();
    EXPECT_EQ(Values(alternative.UserTable()), "/alt-user;");
    EXPECT_EQ(Values(alternative.CommonTable()), "/main-user;");
}

TEST_F(Settings, StoreCreatesTheDirectoryAndPropagatesASecondFailure) {
    LauncherSettings settings(LauncherProfile::Alternative);
    settings.Load();
    settings.UserTable().SetValues(kTemplatesLocationKey, {u"/t"});
    settings.Store();
    EXPECT_EQ(ReadWholeFile(altUser_), "ConfigurationTemplatesLocation=/t\n");

    // A directory where the file should be: both attempts fail, nothing is lost.
    std::filesystem::create_directories(mainUser_ + "/keep");
    LauncherSettings blocked(LauncherProfile::Main);
    blocked.UserTable().SetValues(kTemplatesLocationKey, {u"/t"});
    EXPECT_THROW(blocked.Store(), LauncherWriteError);
    EXPECT_TRUE(Exists(mainUser_ + "/keep"));
}

// Gives the whole home to an ordinary user, so a child that becomes that
// user meets the permission bits that root would read through.
void GiveTreeTo(const std::string& root, uid_t uid, gid_t gid) {
    ASSERT_EQ(lchown(root.c_str(), uid, gid), 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        ASSERT_EQ(lchown(entry.path().c_str(), uid, gid), 0);
}

TEST_F(Settings, StoreRefusesToShortenAUserFileItCouldNotRead) {
    WriteBytes(mainUser_, "InstalledLocation=/i\n");
    const bool asRoot = geteuid() == 0;
    if (asRoot) GiveTreeTo(root_, 65534, 65534);
    std::filesystem::permissions(mainUser_, std::filesystem::perms::owner_write);
    // Root reads files whatever their permission bits: the store runs in a
    // child that is an ordinary user then.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        LauncherSettings settings(LauncherProfile::Main);
        settings.Load();
        settings.UserTable().SetValues(kTemplatesLocationKey, {u"/t"});
        try {
            settings.Store();
        } catch (const LauncherWriteError& failure) {
            _exit(failure.code == LauncherWriteError::kCannotCreate ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the file was written over, 2: another code was raised";
    std::filesystem::permissions(mainUser_, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadWholeFile(mainUser_), "InstalledLocation=/i\n");
}

}  // namespace

}  // namespace tpl
