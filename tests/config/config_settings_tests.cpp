// Where the launcher's files lie and how one profile's pair is loaded and stored.
#include <filesystem>
#include <unistd.h>
#include "config/launcher_config.h"
#include "temp_home.h"

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
    EXPECT_EQ(ReadBytes(altUser_), "ConfigurationTemplatesLocation=/t\n");

    // A directory where the file should be: both attempts fail, nothing is lost.
    std::filesystem::create_directories(mainUser_ + "/keep");
    LauncherSettings blocked(LauncherProfile::Main);
    blocked.UserTable().SetValues(kTemplatesLocationKey, {u"/t"});
    EXPECT_THROW(blocked.Store(), int);
    EXPECT_TRUE(Exists(mainUser_ + "/keep"));
}

TEST_F(Settings, StoreRefusesToShortenAUserFileItCouldNotRead) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permission bits";
    WriteBytes(mainUser_, "InstalledLocation=/i\n");
    std::filesystem::permissions(mainUser_, std::filesystem::perms::owner_write);
    LauncherSettings settings(LauncherProfile::Main);
    settings.Load();
    settings.UserTable().SetValues(kTemplatesLocationKey, {u"/t"});
    EXPECT_THROW(settings.Store(), int);
    std::filesystem::permissions(mainUser_, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadBytes(mainUser_), "InstalledLocation=/i\n");
}

}  // namespace
