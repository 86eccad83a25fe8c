// --help and --version: which arguments ask for them and what they print.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/interface_language.h"
#include "app/usage_text.h"
#include "support/catalog_fixture.h"
#include "support/legacy_locale.h"
#include "text/convert.h"
#include "text/utf8.h"

namespace tpl {

namespace {

InformationRequest Request(std::initializer_list<const char*> arguments) {
    std::vector<std::string> strings{"tplsetup"};
    for (const char* argument : arguments) strings.emplace_back(argument);
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return FindInformationRequest(static_cast<int>(strings.size()), pointers.data());
}

std::string ToStd(const NarrowString& text) {
    return std::string(text.Data(), text.Length());
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// Columns of the widest line of a UTF-8 text.
size_t WidestLine(const std::string& text) {
    size_t widest = 0;
    size_t columns = 0;
    for (unsigned char c : text) {
        if (c == '\n') {
            widest = std::max(widest, columns);
            columns = 0;
        } else if ((c & 0xC0) != 0x80) {
            ++columns;
        }
    }
    return std::max(widest, columns);
}

using UsageTextTest = CatalogTest;

}  // namespace

TEST(InformationRequestTest, SpellingsAnywhereFirstOneCounts) {
    EXPECT_EQ(Request({}), InformationRequest::None);
    EXPECT_EQ(Request({"usecwd", "-S"}), InformationRequest::None);
    for (const char* help : {"--help", "-h", "-?", "/?"}) EXPECT_EQ(Request({help}), InformationRequest::Help) << help;
    EXPECT_EQ(Request({"usecwd", "-S", "-h"}), InformationRequest::Help);
    EXPECT_EQ(Request({"--version", "--help"}), InformationRequest::Version);
    EXPECT_EQ(Request({"-h", "--version"}), InformationRequest::Help);
    // Near misses are ordinary arguments (ignored by the switch scan).
    EXPECT_EQ(Request({"--helpme", "-help", "version", "-v"}), InformationRequest::None);
    // After "--" nothing is an option.
    EXPECT_EQ(Request({"--", "--help", "--version"}), InformationRequest::None);
}

TEST(InformationRequestTest, VersionIsTheProjectVersion) {
    EXPECT_EQ(VersionText(), "tplsetup 1.0.0\n");
}

TEST_F(UsageTextTest, EnglishUsageNamesSwitchesStatusesFilesAndEveryLanguage) {
    const std::string text = UsageText();
    EXPECT_EQ(FirstLine(text), "Installing configuration");
    for (const char* part : {"usecwd", "-S", "-L<code>", "Exit status:", "pivotrun.cfg", "TMPDIR", "SIGTERM",
                             "--dry-run", "--json", "--quiet", "--kit=FILE", "--trusted-key=FILE", "\n   3  ", "\n  64  ", "\n  75  "})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(UsageLine(), FirstLine(text.substr(text.find("Usage:"))) + "\n");
    EXPECT_EQ(text.find("{languages}"), std::string::npos);
    std::string words = text;
    for (char& c : words)
        if (c == '\n') c = ' ';
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i)
        EXPECT_NE(words.find(std::string(" ") + languages[i].code + " "), std::string::npos) << languages[i].code;
}

TEST_F(UsageTextTest, TranslatedBodyWhereWrittenElseEnglishUnderTheLocalizedTitle) {
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("de"));
    std::string text = UsageText();
    EXPECT_EQ(FirstLine(text), "Konfiguration wird installiert");
    EXPECT_NE(text.find("Rückgabewert:"), std::string::npos);

    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("fr"));
    text = UsageText();
    EXPECT_NE(FirstLine(text), "Installing configuration");
    EXPECT_FALSE(FirstLine(text).empty());
    EXPECT_NE(text.find("Exit status:"), std::string::npos);
}

TEST_F(UsageTextTest, EveryLanguageFitsAnEightyColumnTerminal) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        MessageCatalog::SetCurrentLanguage(languages[i].id);
        EXPECT_LE(WidestLine(UsageText()), 80u) << languages[i].code;
        // Every exit status is told in every language.
        for (const char* status : {"\n   3  ", "\n  64  ", "\n  75  ", "--dry-run"})
            EXPECT_NE(UsageText().find(status), std::string::npos) << languages[i].code << status;
    }
}

// One language for the whole usage: the chosen one where the terminal's
// encoding can show all of its texts, else English throughout, never a
// translated heading over an English body.
TEST_F(UsageTextTest, TerminalThatCannotShowTheLanguageGetsEnglishThroughout) {
    const struct {
        const char* locale;  // "KOI8-R" for the compiled Russian KOI8-R locale
        const char* language;
        const char* heading;  // UTF-8
        const char* statusHeading;
    } cases[] = {
        {"C", "de", "Installing configuration", "Exit status:"},
        {"C", "ru", "Installing configuration", "Exit status:"},
        {"C.UTF-8", "de", "Konfiguration wird installiert", "Rückgabewert:"},
        {"KOI8-R", "ru", "Установка конфигурации", "Код завершения:"},
        {"KOI8-R", "de", "Installing configuration", "Exit status:"},
    };
    for (const auto& c : cases) {
        MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage(c.language));
        if (std::string(c.locale) == "KOI8-R") {
            if (!SelectKoi8Locale()) continue;  // cannot compile locales here
        } else {
            ASSERT_NE(setlocale(LC_ALL, c.locale), nullptr);
        }
        ChooseTerminalLanguage();
        // Read back as the terminal would show it.
        const WideString shown = ToWide(NarrowString(UsageText().c_str()));
        RestoreLocale("C.UTF-8");
        const std::string text = ToStd(ToUtf8(shown));
        EXPECT_EQ(FirstLine(text), c.heading) << c.locale << " " << c.language;
        EXPECT_NE(text.find(c.statusHeading), std::string::npos) << c.locale << " " << c.language;
    }
}

}  // namespace tpl
