// The launcher file's line syntax, its encoding and the safety of rewriting it.
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <string>
#include "config/launcher_config.h"
#include "temp_home.h"

namespace tpl {

namespace {

class LauncherFileTest : public TempHomeTest {
protected:
    // Reads bytes through the file reader, then writes the table back.
    std::string RoundTrip(const std::string& bytes, LauncherConfig* table) {
        WriteBytes(home_ + "/in.cfg", bytes);
        table->ReadFile(Wide(home_ + "/in.cfg"));
        table->WriteFile(Wide(home_ + "/out.cfg"));
        return ReadWholeFile(home_ + "/out.cfg");
    }
    std::string Value(const LauncherConfig& table, const char16_t* key, size_t index = 0) {
        const std::vector<WideString>* values = table.FindValues(key);
        return values && index < values->size() ? Narrow((*values)[index]) : "<none>";
    }
};

TEST_F(LauncherFileTest, LineSyntaxSurvivesRoundTrip) {
    LauncherConfig table;
    std::string written = RoundTrip(
        "a=b=c\n k = v \nname\n=x\n\n=\nK=1\nk=2\nK=1\ncrlf=1\r\nlast=no-lf", &table);
    EXPECT_EQ(written, "a=b=c\n k = v \nname=\n=x\nK=1\nK=2\ncrlf=1\r\nlast=no-lf\n");
    EXPECT_EQ(Value(table, u"A"), "b=c");
    EXPECT_EQ(Value(table, u" K "), " v ");
    EXPECT_EQ(Value(table, u"name"), "");
    EXPECT_EQ(Value(table, u""), "x");
    EXPECT_EQ(table.FindValues(u"k")->size(), 2u);
    EXPECT_EQ(Value(table, u"CRLF"), "1\r");
}

TEST_F(LauncherFileTest, CharactersSplitAcrossReadChunksAreKept) {
    std::string longValue(5000, 'v');
    LauncherConfig table;
    RoundTrip("long=" + longValue + "\n", &table);
    EXPECT_EQ(Value(table, u"long"), longValue);

    for (std::string character : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
        for (size_t start = 1020; start <= 1024; ++start) {
            std::string value = std::string(start - 2, 'x') + character;
            LauncherConfig split;
            std::string written = RoundTrip("k=" + value + "\n", &split);
            EXPECT_EQ(written, "k=" + value + "\n") << "character at byte " << start;
        }
    }
    // Above U+FFFF the character is one surrogate pair, even when split.
    LauncherConfig pair;
    RoundTrip("k=" + std::string(1020, 'x') + "\xF0\x9F\x98\x80", &pair);
    const WideString& units = (*pair.FindValues(u"k"))[0];
    ASSERT_EQ(units.Length(), 1022u);
    EXPECT_EQ(units[1020], 0xD83D);
    EXPECT_EQ(units[1021], 0xDE00);
}

TEST_F(LauncherFileTest, UndecodableBytesComeBackExactlyAndByteOrderMarkStaysInKey) {
    LauncherConfig table;
    // A four-byte form beyond U+10FFFF (found by fuzzing) is no character:
    // its bytes come back as they were.
    static const char kBytes[] = "\xEF\xBB\xBF" "ConfigurationTemplatesLocation=/t\n"
                                 "v=caf\xE9\0!\nv=caf\xE9\0!\nbig=\xF6\xBD\xBD\xBD\nw=\xE2\x82";
    std::string written = RoundTrip(std::string(kBytes, sizeof kBytes - 1), &table);
    EXPECT_EQ(table.FindValues(kTemplatesLocationKey), nullptr);
    EXPECT_EQ(table.Entries()[0].key[0], 0xFEFF);
    // The repeated line is one value; the last line gains its line feed.
    static const char kWritten[] = "\xEF\xBB\xBF" "ConfigurationTemplatesLocation=/t\n"
                                   "v=caf\xE9\0!\nbig=\xF6\xBD\xBD\xBD\nw=\xE2\x82\n";
    EXPECT_EQ(written, std::string(kWritten, sizeof kWritten - 1));
}

TEST_F(LauncherFileTest, ChangedKeyKeepsItsPlaceAndOtherKeysPassThrough) {
    LauncherConfig table;
    WriteBytes(home_ + "/in.cfg", "InstallComponents=1\nconfigurationtemplateslocation=/old\n"
                                  "CommonCfgLocation=/c\nInstalledLocation=/i\n");
    table.ReadFile(Wide(home_ + "/in.cfg"));
    EXPECT_FALSE(table.AddValue(u"INSTALLCOMPONENTS", u"1"));
    table.SetValues(kTemplatesLocationKey, {u"/new", u"/old"});
    table.SetValues(u"InstalledLocation", {});
    table.SetValues(u"Absent", {});
    table.SetValues(u"DistributiveLocation", {u"/d\n=forged"});
    table.WriteFile(Wide(home_ + "/out.cfg"));
    EXPECT_EQ(ReadWholeFile(home_ + "/out.cfg"),
              "InstallComponents=1\nconfigurationtemplateslocation=/new\n"
              "configurationtemplateslocation=/old\nCommonCfgLocation=/c\n"
              "DistributiveLocation=/d=forged\n");
}

TEST_F(LauncherFileTest, FailedWriteLeavesOldFileAsItWas) {
    const std::string path = home_ + "/pivotrun.cfg";
    const std::string old = "InstallComponents=1\nConfigurationTemplatesLocation=/old\n";
    WriteBytes(path, old);
    LauncherConfig table;
    table.ReadFile(Wide(path));
    table.SetValues(kTemplatesLocationKey, {u"/new"});
    // A full disk, simulated by a file size limit below the new contents.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 16;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    int code = 0;
    try {
        table.WriteFile(Wide(path));
    } catch (const LauncherWriteError& raised) {
        code = raised.code;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(code, 2);
    EXPECT_EQ(ReadWholeFile(path), old);
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(home_)) files += entry.is_regular_file();
    EXPECT_EQ(files, 1u) << "the temporary file is left behind";

    table.WriteFile(Wide(path));
    EXPECT_EQ(ReadWholeFile(path), "InstallComponents=1\nConfigurationTemplatesLocation=/new\n");

    std::filesystem::create_directories(home_ + "/dir.cfg/inner");
    EXPECT_THROW(table.WriteFile(Wide(home_ + "/dir.cfg")), LauncherWriteError);
    EXPECT_TRUE(Exists(home_ + "/dir.cfg/inner"));
}

}  // namespace

}  // namespace tpl
