// Paths in the directory entry: shown as UTF-8 text in any locale.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "text/path_bytes.h"
#include "text/text_helpers.h"
#include "ui/path_display.h"

namespace tpl {

namespace {

std::string Bytes(const NarrowString& s) { return std::string(s.Data(), s.Length()); }

TEST(PathDisplay, NamesTheLocaleCannotReadShowAsTheirUtf8) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    // A home directory read from the system, and the same name typed.
    const WideString read = PathFromBytes("/home/\xd0\xae\xd0\xbb\xd1\x8f/");
    const WideString typed = PathFromDisplay("/home/\xd0\xae\xd0\xbb\xd1\x8f/");
    const std::string shownRead = Bytes(PathForDisplay(read));
    const std::string shownTyped = Bytes(PathForDisplay(typed));
    const std::string bytesRead = Bytes(PathToBytes(read));
    const std::string bytesTyped = Bytes(PathToBytes(typed));
    const std::string bad = Bytes(PathForDisplay(PathFromBytes("/t/\xff")));
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(shownRead, "/home/Юля/");
    EXPECT_EQ(shownTyped, "/home/Юля/");
    EXPECT_EQ(bytesRead, bytesTyped);
    EXPECT_EQ(bad, "/t/\xef\xbf\xbd");
}

}  // namespace

// A path line breaks after a slash only; a sentence keeps its own breaks.
TEST(PathDisplay, PathLinesBreakOnlyAfterSlashes) {
    const WideString shown =
        PathLinesBreakAfterSlashes(WideString(u"2 files installed in\n/tmp/succ-en-C/a b\nkept-newer"));
    EXPECT_EQ(shown, WideString(u"2 files installed in\n/\u200Btmp/\u200Bsucc-\u2060en-\u2060C/\u200Ba \u2060b\nkept-newer"));
    // Only invisible marks were added.
    WideString stripped = shown;
    ReplaceAll(stripped, u"\u200B", u"");
    ReplaceAll(stripped, u"\u2060", u"");
    EXPECT_EQ(stripped, WideString(u"2 files installed in\n/tmp/succ-en-C/a b\nkept-newer"));
}

}  // namespace tpl
