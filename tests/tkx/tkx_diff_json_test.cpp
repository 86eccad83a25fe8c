// tkx diff previews an installation with the engine's own decision, and the
// JSON listings carry every name exactly.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <nlohmann/json.hpp>
#include "engine/install_engine.h"
#include "engine/install_status.h"
#include "kit/kit_reader.h"
#include "support/kit_test_support.h"
#include "tkx_test_support.h"
#include "support/test_times.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {


FILETIME FileTime(int64_t unixSeconds) {
    return static_cast<FILETIME>(unixSeconds + 11644473600ll) * 10000000ull;
}

void PutFile(const std::string& path, const std::string& bytes, int64_t unixSeconds) {
    fsys::create_directories(fsys::path(path).parent_path());
    WriteBytes(path, bytes);
    struct timespec times[2] = {{unixSeconds, 0}, {unixSeconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class TkxDiffTest : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        target_ = Path("target");
        PutFile(target_ + "/older.cfg", "user's older", kOld);
        PutFile(target_ + "/same.cfg", "user's same", kNew);
        PutFile(target_ + "/sub/newer.cfg", "user's newer", kNew + 60);
        fsys::create_directories(target_ + "/blocker.cfg");
        kit_ = WriteSimpleKit("k.tkx", {{u"new\\added.cfg", FileTime(kNew), "kit added"},
                                        {u"older.cfg", FileTime(kNew), "kit older"},
                                        {u"same.cfg", FileTime(kNew), "kit same"},
                                        {u"sub\\newer.cfg", FileTime(kNew), "kit newer"},
                                        {u"blocker.cfg", FileTime(kNew), "kit blocked"}});
    }

    // Installs the kit into the target as the installer does.
    uint32_t Install() {
        KitReader reader;
        EXPECT_EQ(reader.Load(kit_), 0u);
        InstallStatus status;
        status.Init();
        status.PostJob(&reader, Wide(target_));
        InstallEngine engine;
        return engine.Run(&status, 0);
    }

    std::string target_;
    WideString kit_;
};

}  // namespace

TEST_F(TkxDiffTest, FourActionsThenTheInstallationDoesWhatDiffSaid) {
    const std::string kit = Path("k.tkx");
    TkxRun diff = Tkx({"diff", kit, target_});
    EXPECT_EQ(diff.status, 1) << diff.err;
    EXPECT_NE(diff.out.find("add  9  2020-09-13T12:26:40Z  new\\added.cfg\n"), std::string::npos) << diff.out;
    EXPECT_NE(diff.out.find("replace  9  2020-09-13T12:26:40Z  older.cfg\n"), std::string::npos);
    EXPECT_NE(diff.out.find("keep  8  2020-09-13T12:26:40Z  same.cfg\n"), std::string::npos);
    EXPECT_NE(diff.out.find("keep  9  2020-09-13T12:26:40Z  sub\\newer.cfg\n"), std::string::npos);
    EXPECT_NE(diff.out.find("blocked  11  2020-09-13T12:26:40Z  blocker.cfg  (Is a directory)\n"), std::string::npos)
        << diff.out;
    EXPECT_NE(diff.out.find("1 add (9 bytes), 1 replace (9 bytes), 2 keep (17 bytes), 1 blocked (11 bytes); "
                            "18 bytes to write\n"),
              std::string::npos)
        << diff.out;

    // Diff changed nothing, and the installation fails as it said.
    EXPECT_EQ(ReadWholeFile(target_ + "/older.cfg"), "user's older");
    EXPECT_FALSE(fsys::exists(target_ + "/new"));
    EXPECT_EQ(Install(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(fsys::exists(target_ + "/new"));
    EXPECT_EQ(ReadWholeFile(target_ + "/older.cfg"), "user's older");

    fsys::remove(target_ + "/blocker.cfg");
    diff = Tkx({"diff", kit, target_});
    EXPECT_EQ(diff.status, 0) << diff.out;
    EXPECT_NE(diff.out.find("add  11  2020-09-13T12:26:40Z  blocker.cfg\n"), std::string::npos) << diff.out;
    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(ReadWholeFile(target_ + "/new/added.cfg"), "kit added");
    EXPECT_EQ(ReadWholeFile(target_ + "/older.cfg"), "kit older");
    EXPECT_EQ(ReadWholeFile(target_ + "/same.cfg"), "user's same");
    EXPECT_EQ(ReadWholeFile(target_ + "/sub/newer.cfg"), "user's newer");
    EXPECT_EQ(ReadWholeFile(target_ + "/blocker.cfg"), "kit blocked");

    // Once installed, everything is up to date.
    diff = Tkx({"diff", kit, target_});
    EXPECT_EQ(diff.status, 0);
    EXPECT_NE(diff.out.find("0 add (0 bytes), 0 replace (0 bytes), 5 keep (46 bytes)"), std::string::npos) << diff.out;
}

TEST_F(TkxDiffTest, DamagedKitAndUsageErrors) {
    WriteBytes(Path("bad.tkx"), std::string("not a kit"));
    const TkxRun damaged = Tkx({"diff", Path("bad.tkx"), target_});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("bad.tkx"), std::string::npos);
    EXPECT_TRUE(damaged.out.empty());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"diff", Path("k.tkx")}, {"diff", Path("k.tkx"), target_, "x"}, {"diff", "--xml", Path("k.tkx"), target_},
             {"diff", Path("k.tkx"), ""}, {"verify", "--json", Path("k.tkx")}}) {
        EXPECT_EQ(Tkx(args).status, 2) << args.size();
    }
}

TEST_F(TkxDiffTest, JsonParsesAndCarriesEveryNameExactly) {
    const std::string hostile = "q\"uote\\back\\sl\xC3\xA4sh \xE2\x82\xAC \xF0\x9F\x98\x80.cfg";
    const std::u16string hostileWide = u"q\"uote\\back\\sl\u00E4sh \u20AC \U0001F600.cfg";
    WriteSimpleKit("names.tkx", {{WideString(hostileWide.c_str()), FileTime(2500000000), "x"},
                                 {u"plain.cfg", FileTime(kNew), "plain"}});

    const TkxRun list = Tkx({"list", "--json", Path("names.tkx")});
    ASSERT_EQ(list.status, 0) << list.err;
    const nlohmann::json listed = nlohmann::json::parse(list.out);
    ASSERT_EQ(listed["entries"].size(), 2u);
    EXPECT_EQ(listed["entries"][0]["name"], hostile);
    EXPECT_EQ(listed["entries"][0]["size"], 1);
    EXPECT_EQ(listed["entries"][0]["writeTime"], "2049-03-22T04:26:40Z");
    EXPECT_EQ(listed["languages"][0]["code"], "en");
    EXPECT_EQ(listed["languages"][0]["product"], "Product");
    EXPECT_EQ(listed["languages"][0]["description"], "docs\\readme.txt");

    const TkxRun diff = Tkx({"diff", Path("names.tkx"), "--json", target_});
    ASSERT_EQ(diff.status, 0) << diff.err;

    // Printed for a terminal, a kit's texts cannot send it commands:
    // control characters are escaped as the installer does. (A name with
    // one is refused as damage when the kit loads.)
    const KitLanguageEntry hostileTexts{u"en", u"bad\x1b[31mred", u"Vendor", u"docs\\readme.txt"};
    ASSERT_EQ(WriteKitFromMemory(WPath("escapes.tkx"), {hostileTexts}, KitTableLayout(),
                                 {{u"plain.cfg", FileTime(kNew), "x"}}),
              0u);
    const TkxRun printed = Tkx({"list", Path("escapes.tkx")});
    EXPECT_EQ(printed.out.find('\x1b'), std::string::npos);
    EXPECT_NE(printed.out.find("product \"bad\\x1b[31mred\""), std::string::npos) << printed.out;
    const nlohmann::json previewed = nlohmann::json::parse(diff.out);
    EXPECT_EQ(previewed["entries"][0]["name"], hostile);
    EXPECT_EQ(previewed["entries"][0]["action"], "add");
    EXPECT_EQ(previewed["summary"]["add"]["count"], 2);
    EXPECT_EQ(previewed["wouldSucceed"], true);

    const nlohmann::json blocked = nlohmann::json::parse(Tkx({"diff", "--json", Path("k.tkx"), target_}).out);
    EXPECT_EQ(blocked["wouldSucceed"], false);
    EXPECT_EQ(blocked["entries"][4]["action"], "blocked");
    EXPECT_EQ(blocked["entries"][4]["reason"], std::strerror(EISDIR));
    EXPECT_TRUE(blocked["entries"][0]["reason"].is_null());
}

}  // namespace tpl
