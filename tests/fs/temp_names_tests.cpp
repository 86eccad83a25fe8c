#include <set>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/free_space.h"
#include "fs/sleep.h"
#include "fs/temp_names.h"
#include "fs_test_support.h"
#include "support/wide_text.h"
#include "text/convert.h"

namespace tpl {

namespace {

// The tests set or unset TMPDIR; the fixture puts the old value back.
class TempDirTest : public FsTest {
protected:
    std::string TempDirectory() {
        WideString out = u"junk";
        EXPECT_EQ(GetTempDirectory(&out), 0u);
        return Narrow(out);
    }
};

TEST_F(TempDirTest, TmpdirUnsetMissingEmptyFileOrValid) {
    ::unsetenv("TMPDIR");
    EXPECT_EQ(TempDirectory(), "/tmp/");
    ::setenv("TMPDIR", Path("missing").c_str(), 1);
    EXPECT_EQ(TempDirectory(), "/tmp/");
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(TempDirectory(), "/tmp/");
    WriteText(Path("file"), "");
    ::setenv("TMPDIR", Path("file").c_str(), 1);
    EXPECT_EQ(TempDirectory(), "/tmp/");
    ::setenv("TMPDIR", root_.c_str(), 1);
    EXPECT_EQ(TempDirectory(), root_ + "/");
    ::setenv("TMPDIR", (root_ + "/").c_str(), 1);
    EXPECT_EQ(TempDirectory(), root_ + "/");
}

TEST_F(TempDirTest, FreeSpaceIsMeasuredInTheTemporaryDirectory) {
    EXPECT_EQ(GetFreeSpace(nullptr), ERROR_INVALID_PARAMETER);
    ::setenv("TMPDIR", root_.c_str(), 1);
    uint64_t free = 0;
    ASSERT_EQ(GetFreeSpace(&free), 0u);
    EXPECT_GT(free, 0u);
}

TEST_F(FsTest, MakeTempFileNameCreatesDistinctPrivateFiles) {
    WideString first, second;
    ASSERT_EQ(MakeTempFileName(W(root_), u"txkLONGER", &first), 0u);
    ASSERT_EQ(MakeTempFileName(WPath(""), u"Vq", &second), 0u);
    const std::string a = Narrow(first), b = Narrow(second);
    EXPECT_NE(a, b);
    // Directory, "/", at most five prefix characters and six letters or digits.
    ASSERT_EQ(a.size(), root_.size() + 1 + 5 + 6);
    EXPECT_EQ(a.substr(0, root_.size() + 6), root_ + "/txkLO");
    EXPECT_EQ(b.substr(0, root_.size() + 3), root_ + "/Vq");
    for (char c : a.substr(a.size() - 6)) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << a;
    EXPECT_EQ(ReadText(a), "");
    EXPECT_EQ(ModeOf(a), 0600u);
    EXPECT_EQ(ModeOf(b), 0600u);
}

TEST_F(FsTest, MakeTempFileNameNeverReusesAName) {
    // A single letter of prefix still leaves room; many names in a row must
    // all be new files, none an existing one.
    for (int i = 0; i < 200; ++i) {
        WideString name;
        ASSERT_EQ(MakeTempFileName(W(root_), u"p", &name), 0u);
        const std::string path = Narrow(name);
        ASSERT_EQ(ReadText(path), "") << path;
        WriteText(path, "taken");
    }
}

// Numbers for names the caller writes in decimal stay in their range, also
// at its ends, and differ from one draw to the next.
TEST_F(FsTest, RandomNameNumbersStayInTheirRange) {
    std::set<int32_t> drawn;
    for (int i = 0; i < 200; ++i) {
        const int32_t number = RandomNameNumber(100);
        EXPECT_GE(number, 100);
        drawn.insert(number);
    }
    EXPECT_GT(drawn.size(), 190u);
    EXPECT_EQ(RandomNameNumber(INT32_MAX), INT32_MAX);
    EXPECT_GE(RandomNameNumber(-5), 0);
}

TEST_F(FsTest, MakeTempFileNameFailsWithTheNameStillSet) {
    WideString name;
    EXPECT_EQ(MakeTempFileName(WPath("missing"), u"Vq", &name), ERROR_CANTWRITE);
    EXPECT_EQ(Narrow(name).substr(0, root_.size() + 11), root_ + "/missing/Vq");
    EXPECT_EQ(Narrow(name).size(), root_.size() + 11 + 6);

    // Not writable: below a regular file (holds even for root), and a
    // read-only directory for everyone else.
    WriteText(Path("file"), "");
    EXPECT_EQ(MakeTempFileName(WPath("file"), u"Vq", &name), ERROR_CANTWRITE);
    EXPECT_EQ(Narrow(name).substr(0, root_.size() + 8), root_ + "/file/Vq");
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir(Path("ro").c_str(), 0500), 0);
        EXPECT_EQ(MakeTempFileName(WPath("ro"), u"Vq", &name), ERROR_CANTWRITE);
        EXPECT_EQ(Listing(Path("ro")), "");
    }
    EXPECT_EQ(MakeTempFileName(W(root_), u"Vq", nullptr), ERROR_INVALID_PARAMETER);
    // No directory at all (or one the locale cannot express) is not the root.
    const char16_t unpaired[] = {u'/', 0xD800, u'x', 0};
    for (const WideString& nowhere : {WideString(u""), WideString(unpaired)}) {
        EXPECT_EQ(MakeTempFileName(nowhere, u"Vq", &name), ERROR_CANTWRITE);
        EXPECT_EQ(Narrow(name).substr(0, 3), "/Vq");
        EXPECT_FALSE(Exists(Narrow(name)));
    }
}

TEST_F(FsTest, SleepMillisecondsWaitsAndIgnoresNegatives) {
    SleepMilliseconds(-5);
    SleepMilliseconds(0);
    struct timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    SleepMilliseconds(30);
    clock_gettime(CLOCK_MONOTONIC, &after);
    const long elapsed = (after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1000000;
    EXPECT_GE(elapsed, 29);
}

}  // namespace

}  // namespace tpl
