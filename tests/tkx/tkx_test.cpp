// The tkx commands run in-process: pack a real tree, list it, verify it, and
// refuse what a kit cannot carry.
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include "fs/fault_injection.h"
#include "kit/kit_reader.h"
#include "support/kit_test_support.h"
#include "text/convert.h"
#include "tkx/tkx_commands.h"
#include "support/minisign_tool.h"
#include "tkx_test_support.h"
#include "support/wide_text.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

void SetModificationTime(const std::string& path, time_t seconds) {
    struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

std::set<std::string> Entries(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : fsys::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

class TkxTest : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        fsys::create_directories(Path("tree/conf/deep"));
        WriteBytes(Path("tree/top.cfg"), std::string("top\n"));
        WriteBytes(Path("tree/conf/deep/big.bin"), NoiseBytes(3 * 1024 * 1024 + 5, 11));
        WriteBytes(Path("tree/conf/empty"), std::string());
        WriteBytes(Path("tree/conf/text.txt"), PatternBytes(70000));
        SetModificationTime(Path("tree/top.cfg"), 1000000000);
        SetModificationTime(Path("tree/conf/text.txt"), 2500000000);  // past 2038 in 64 bits
    }
};

}  // namespace

TEST_F(TkxTest, PackedTreeRoundTripsEveryByteAndTime) {
    const TkxRun pack = Tkx({"pack", "-o", Path("k.tkx"), "-l", "1", "--lang", "de", "--product", "Vorlagen",
                             "--vendor", "Hersteller", "--description", "conf/text.txt", "--lang", "en",
                             "--product", "Templates", Path("tree")});
    ASSERT_EQ(pack.status, 0) << pack.err;

    EXPECT_FALSE(fsys::exists(Path("k.tkx.partial")));
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    EXPECT_EQ(reader.GetTrailerState(), KitTrailerState::Verified);
    ASSERT_EQ(reader.GetLanguageEntries().size(), 2u);
    EXPECT_EQ(reader.GetDescriptionPath(u"de"), WideString(u"conf\\text.txt"));
    ASSERT_EQ(reader.GetFileEntryCount(), 4u);
    const char* expected[] = {"conf/deep/big.bin", "conf/empty", "conf/text.txt", "top.cfg"};
    for (uint32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i]);
        std::string name(expected[i]);
        std::string stored = name;
        for (char& c : stored) c = c == '/' ? '\\' : c;
        EXPECT_EQ(reader.GetFileEntry(i).name, Wide(stored));
        ASSERT_EQ(reader.ExtractEntry(i, WPath("out")), 0u);
        EXPECT_EQ(ReadWholeFile(Path("out")), ReadWholeFile(Path("tree/" + name)));
        struct stat a, b;
        ASSERT_EQ(stat(Path("out").c_str(), &a), 0);
        ASSERT_EQ(stat(Path("tree/" + name).c_str(), &b), 0);
        EXPECT_EQ(a.st_mtime, b.st_mtime);
    }
}

TEST_F(TkxTest, SingleLanguageFormOnlyForOneEnglishGroup) {
    ASSERT_EQ(Tkx({"pack", "-o", Path("en.tkx"), "--lang", "en", "--product", "P", Path("tree")}).status, 0);
    ASSERT_EQ(Tkx({"pack", "-o", Path("fr.tkx"), "--lang", "fr", "--product", "P", Path("tree")}).status, 0);
    // The single form starts the body with a zero flag; the table form does not.
    for (const char* name : {"en.tkx", "fr.tkx"}) {
        SCOPED_TRACE(name);
        KitReader reader;
        ASSERT_EQ(reader.Load(WPath(name)), 0u);
        ASSERT_EQ(reader.GetLanguageEntries().size(), 1u);
        const bool english = name[0] == 'e';
        EXPECT_EQ(reader.GetLanguageEntries()[0].code, WideString(english ? u"en" : u"fr"));
        const std::string body = UnpackedBody();
        ASSERT_GE(body.size(), 4u);
        EXPECT_EQ(body.substr(0, 4) == std::string(4, '\0'), english);
    }
}

TEST_F(TkxTest, ListPrintsTextsThenSizeTimeAndName) {
    ASSERT_EQ(Tkx({"pack", "-o", Path("k.tkx"), "--lang", "en", "--product", "Templates", "--vendor", "ACME",
                   Path("tree")}).status, 0);
    const TkxRun list = Tkx({"list", Path("k.tkx")});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("language en: product \"Templates\", vendor \"ACME\""), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("4  2001-09-09T01:46:40Z  top.cfg\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("70000  2049-03-22T04:26:40Z  conf\\text.txt\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\n0  "), std::string::npos);
    EXPECT_NE(list.out.find("  conf\\empty\n"), std::string::npos);
}

TEST_F(TkxTest, VerifyReportsTrailerDamageAndMissingKits) {
    ASSERT_EQ(Tkx({"pack", "-o", Path("k.tkx"), "-l", "0", Path("tree")}).status, 0);
    TkxRun verify = Tkx({"verify", Path("k.tkx")});
    EXPECT_EQ(verify.status, 0);
    EXPECT_NE(verify.out.find("integrity trailer checked"), std::string::npos) << verify.out;

    std::string kit = ReadWholeFile(Path("k.tkx"));
    kit[kit.size() / 2] ^= 0x01;
    WriteBytes(Path("flipped.tkx"), kit);
    verify = Tkx({"verify", Path("flipped.tkx")});
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.err.find("flipped.tkx"), std::string::npos);
    // What is wrong in words, never an internal number.
    EXPECT_EQ(verify.err, "tkx: verify: " + Path("flipped.tkx") +
                              ": kit is damaged, not a kit, or names files that cannot be installed here\n");

    // Without its trailer the kit still loads, and verify says it could not check.
    kit = ReadWholeFile(Path("k.tkx"));
    WriteBytes(Path("bare.tkx"), kit.substr(0, kit.size() - kKitTrailerSize));
    verify = Tkx({"verify", Path("bare.tkx")});
    EXPECT_EQ(verify.status, 0);
    EXPECT_NE(verify.out.find("no integrity trailer"), std::string::npos) << verify.out;

    verify = Tkx({"verify", Path("missing.tkx")});
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.err, "tkx: verify: " + Path("missing.tkx") + ": kit file not found: " + std::strerror(ENOENT) + "\n");

    // A kit whose entries could not all be installed fails here, not halfway
    // through an installation.
    WriteSimpleKit("uninstallable.tkx", {{u"a", 0, "file"}, {u"a\\b", 0, "below the file"}});
    verify = Tkx({"verify", Path("uninstallable.tkx")});
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.err.find("(error"), std::string::npos) << verify.err;
    EXPECT_NE(verify.err.find("names files that cannot be installed here"), std::string::npos) << verify.err;
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

// verify judges the signature as the installer would: with the vendor's
// key the signed kit passes and names the key; without a key nothing is
// checked; a kit changed after signing or signed by another key fails.
TEST_F(TkxTest, VerifyChecksTheSignatureWithTheTrustedKeys) {
    if (!MinisignAvailable()) GTEST_SKIP() << "minisign is not installed (the test command installs it)";
    const MinisignKeyPair vendor = MakeMinisignKeys(root_, "vendor");
    const MinisignKeyPair other = MakeMinisignKeys(root_, "other");
    ASSERT_EQ(Tkx({"pack", "-o", Path("k.tkx"), Path("tree")}).status, 0);
    ASSERT_TRUE(SignWithMinisign(vendor, Path("k.tkx"), "release 7"));
    const std::string withKey = "--trusted-key=" + vendor.publicKeyFile;

    TkxRun verify = Tkx({"verify", withKey, Path("k.tkx")});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("signature by key " + vendor.keyId + " verified, trusted comment \"release 7\""),
              std::string::npos)
        << verify.out;
    verify = Tkx({"verify", Path("k.tkx")});
    EXPECT_EQ(verify.status, 0);
    EXPECT_NE(verify.out.find("no trusted key (signature not checked)"), std::string::npos) << verify.out;

    ASSERT_TRUE(SignWithMinisign(other, Path("k.tkx"), "release 7"));
    verify = Tkx({"verify", withKey, Path("k.tkx")});
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.err.find("signed by key " + other.keyId + ", which is not trusted"), std::string::npos)
        << verify.err;
    // The other key given too: either key is trusted.
    EXPECT_EQ(Tkx({"verify", withKey, "--trusted-key=" + other.publicKeyFile, Path("k.tkx")}).status, 0);

    ASSERT_TRUE(SignWithMinisign(vendor, Path("k.tkx"), "release 7"));
    std::string kit = ReadWholeFile(Path("k.tkx"));
    kit[kit.size() / 2] ^= 0x01;
    WriteBytes(Path("k.tkx"), kit);
    verify = Tkx({"verify", withKey, Path("k.tkx")});
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.err.find("do not match the signature"), std::string::npos) << verify.err;
    EXPECT_EQ(Tkx({"verify", "--trusted-key=", Path("k.tkx")}).status, 2);
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

TEST_F(TkxTest, PackRefusesWhatAKitCannotCarry) {
    WriteBytes(Path("k.tkx"), std::string("an older kit"));
    fsys::create_symlink("top.cfg", Path("tree/link"));
    TkxRun run = Tkx({"pack", "-o", Path("k.tkx"), Path("tree")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("symbolic link"), std::string::npos);
    fsys::remove(Path("tree/link"));

    ASSERT_EQ(mkfifo(Path("tree/fifo").c_str(), 0600), 0);
    run = Tkx({"pack", "-o", Path("k.tkx"), Path("tree")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("special file"), std::string::npos);
    fsys::remove(Path("tree/fifo"));

    WriteBytes(Path("tree/back\\slash"), std::string("x"));
    run = Tkx({"pack", "-o", Path("k.tkx"), Path("tree")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("backslash"), std::string::npos);
    fsys::remove(Path("tree/back\\slash"));

    // A name that would send the terminal a command.
    WriteBytes(Path("tree/bad\x1b[31mred.cfg"), std::string("x"));
    run = Tkx({"pack", "-o", Path("k.tkx"), Path("tree")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("bad\\x1b[31mred.cfg: a control character in a name"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
    fsys::remove(Path("tree/bad\x1b[31mred.cfg"));

    run = Tkx({"pack", "-o", Path("tree/conf/k.tkx"), Path("tree")});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fsys::exists(Path("tree/conf/k.tkx")));
    // A refused pack leaves the kit of that name alone and nothing beside it.
    EXPECT_EQ(ReadWholeFile(Path("k.tkx")), "an older kit");
    EXPECT_FALSE(fsys::exists(Path("k.tkx.partial")));
}

TEST_F(TkxTest, PackFailingPartWayKeepsTheOldKitAndLeavesNoTemporary) {
    WriteBytes(Path("k.tkx"), std::string("an older kit"));
    const std::set<std::string> before = Entries(Path(""));
    // A full disk a few writes into the body (stored, so it takes many writes).
    fault_injection::FailOperationAt(3, ENOSPC);
    const TkxRun run = Tkx({"pack", "-o", Path("k.tkx"), "-l", "0", Path("tree")});
    fault_injection::FailOperationAt(0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string("tkx: pack: cannot write the kit: ") + std::strerror(ENOSPC) + "\n");
    EXPECT_EQ(ReadWholeFile(Path("k.tkx")), "an older kit");
    EXPECT_EQ(Entries(Path("")), before);
}

TEST_F(TkxTest, PackNeitherFollowsNorClobbersAFileNamedLikeItsTemporary) {
    WriteBytes(Path("victim"), std::string("not a kit"));
    fsys::create_symlink("victim", Path("k.tkx.partial"));
    const TkxRun pack = Tkx({"pack", "-o", Path("k.tkx"), Path("tree")});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_TRUE(ReadWholeFile(Path("victim")) == "not a kit") << "the planted link was written through";
    EXPECT_TRUE(fsys::is_symlink(Path("k.tkx.partial")));
    EXPECT_FALSE(fsys::is_symlink(Path("k.tkx")));
    EXPECT_EQ(Tkx({"verify", Path("k.tkx")}).status, 0);
}

TEST_F(TkxTest, UsageErrorsAndHelp) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"pack", Path("tree")}, {"pack", "-o", Path("k.tkx"), "-l", "10", Path("tree")},
             {"pack", "-o", Path("k.tkx"), "--product", "P", Path("tree")}, {"list"}, {"verify", "a", "b"}}) {
        const TkxRun run = Tkx(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(run.err.empty());
    }
    for (const char* command : {"pack", "list", "verify"}) {
        const TkxRun run = Tkx({command, "--help"});
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find(std::string("tkx ") + command), std::string::npos);
    }
    EXPECT_EQ(Tkx({"--help"}).status, 0);
    const TkxRun version = Tkx({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tkx 1.0.0\n");
}

TEST_F(TkxTest, DoubleDashEndsTheOptionsForNamesThatBeginWithADash) {
    fsys::create_directories(Path("-tree"));
    WriteBytes(Path("-tree/a.cfg"), std::string("alpha"));
    const fsys::path before = fsys::current_path();
    fsys::current_path(root_);
    const TkxRun pack = Tkx({"pack", "-o", "-k.tkx", "--", "-tree"});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(Tkx({"verify", "--", "-k.tkx"}).status, 0);
    const TkxRun list = Tkx({"list", "--json", "--", "-k.tkx"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("a.cfg"), std::string::npos);
    EXPECT_EQ(Tkx({"diff", "--", "-k.tkx", "--help"}).status, 0);  // a directory named "--help"
    EXPECT_EQ(Tkx({"verify", "-k.tkx"}).status, 2);
    fsys::current_path(before);
}

}  // namespace tpl
