// The catalog's texts on a terminal: in the locale's encoding, or English.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>

#include <cerrno>
#include <vector>

#include "session/console_text.h"
#include "session/install_preparation.h"
#include "session/preparation_context.h"
#include "session/recovery_text.h"
#include "session/system_texts.h"
#include "fs/last_error.h"
#include "text/line_wrap.h"
#include "text/utf8.h"
#include "support/catalog_fixture.h"
#include "support/legacy_locale.h"

namespace tpl {

namespace {

std::string Bytes(const NarrowString& s) { return std::string(s.Data(), s.Length()); }

using ConsoleTextTest = CatalogTest;

TEST_F(ConsoleTextTest, TextsTakeTheLocalesEncodingOrFallBackToEnglish) {
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("ru"));
    EXPECT_EQ(Bytes(ConsoleCatalogText("IDS_WIZARD_NEXT")), "Далее >");
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Bytes(ConsoleCatalogText("IDS_WIZARD_NEXT")), "Next >");
    if (!SelectKoi8Locale()) GTEST_SKIP() << "no KOI8-R locale";
    // "Далее >" in KOI8-R, not the catalog's UTF-8 bytes.
    const std::string koi8 = Bytes(ConsoleCatalogText("IDS_WIZARD_NEXT"));
    RestoreLocale("C.UTF-8");
    EXPECT_EQ(koi8, "\xe4\xc1\xcc\xc5\xc5 >");
}

// A path is printed as the file system spells it, as a file listing would,
// never as an empty string.
TEST_F(ConsoleTextTest, PathsPrintAsTheirBytes) {
    const std::u16string typed = u"/tmp/\u0428\u0430\u0431";
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Bytes(ConsolePath(WideString(typed.data(), static_cast<uint32_t>(typed.size())))),
              "/tmp/\xd0\xa8\xd0\xb0\xd0\xb1");
}

void Speak(const char* code) {
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage(code));
}

// One line per language: the sentence's own stop gone, the language's
// separator before the reason, the path first.
TEST_F(ConsoleTextTest, AnErrorJoinsItsReasonAsTheLanguageWrites) {
    struct Row {
        const char* code;
        const char* line;
    };
    for (const Row& row :
         {Row{"en", "tplsetup: /t: There is not enough space on the disk: No space left on device"},
          Row{"fr", "tplsetup: /t: Espace disque insuffisant\u00A0: Aucun espace disponible sur le "
                    "p\u00E9riph\u00E9rique"},
          Row{"zh", nullptr}, Row{"hy", nullptr}}) {
        Speak(row.code);
        const std::string what = ConsoleCatalogUtf8("IDS_ERROR_DISKFULL");
        const std::string line = ErrorLine(WideString(u"/t"), what, ReasonText(ENOSPC).Data());
        if (row.line != nullptr) {
            EXPECT_EQ(line, row.line);
        }
        // Never a stop followed by a colon: "。：", "։:", ".:".
        for (const char* doubled : {"\u3002", "\u0589:", ".:", ". :"})
            EXPECT_EQ(line.find(doubled), std::string::npos) << row.code << ": " << line;
    }
    Speak("zh");
    EXPECT_NE(ErrorLine(WideString(u"/t"), ConsoleCatalogUtf8("IDS_ERROR_DISKFULL"), ReasonText(ENOSPC).Data())
                  .find("\uFF1A\u8BBE\u5907"),
              std::string::npos);
}

// The reasons an installation meets are the program's own words in every
// language, also where the system has no translation.
TEST_F(ConsoleTextTest, TheProgramsOwnWordsTellTheReasons) {
    for (const char* code : {"hy", "az", "ka", "kk", "lv", "ro", "tk", "de", "zh"}) {
        for (int err : {ENOSPC, EACCES, EROFS, EEXIST, ENOTDIR, EISDIR, ENOENT, EDQUOT, EIO, ENAMETOOLONG}) {
            const int32_t language = MessageCatalog::FindLanguage(code);
            const std::string own = ReasonTextIn(language, err).Data();
            EXPECT_NE(own, ReasonTextIn(kEnglishLanguageId, err).Data()) << code << " " << err;
        }
    }
    // The rest in the system's words; nothing for no error.
    EXPECT_EQ(std::string(ReasonTextIn(MessageCatalog::FindLanguage("hy"), E2BIG).Data()),
              std::string(SystemErrorText(E2BIG).Data()));
    EXPECT_TRUE(ReasonText(0).Empty());
}

// A terminal gets prose of at most 80 columns and each path whole on a line
// of its own; a pipe gets the message on one line.
TEST_F(ConsoleTextTest, ProseWrapsOnATerminalAndPathsStayWhole) {
    const WideString path(u"/srv/a-very-long/path-with-hyphens/that-must-not-be-broken/anywhere/at-all");
    for (const char* code : {"en", "de", "ru", "zh", "ka", "vi"}) {
        Speak(code);
        const std::string prose = ConsoleCatalogUtf8("IDS_ERROR_NOTRECORDED") + std::string(" ") +
                                  ConsoleCatalogUtf8("IDS_ERROR_FINISH");
        const std::string wrapped = ConsoleMessage(prose, {path}, 80);
        std::vector<std::string> lines;
        for (size_t begin = 0;;) {
            const size_t end = wrapped.find('\n', begin);
            lines.push_back(wrapped.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
            if (end == std::string::npos) break;
            begin = end + 1;
        }
        ASSERT_GE(lines.size(), 3u) << code;
        EXPECT_EQ(lines.back(), "/srv/a-very-long/path-with-hyphens/that-must-not-be-broken/anywhere/at-all");
        std::string rejoined;
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            EXPECT_LE(DisplayColumns(lines[i]), 80u) << code << ": " << lines[i];
            EXPECT_FALSE(lines[i].empty()) << code;
            rejoined += lines[i];
        }
        // Nothing lost but the spaces it broke at.
        std::string spaceless = prose;
        spaceless.erase(std::remove(spaceless.begin(), spaceless.end(), ' '), spaceless.end());
        rejoined.erase(std::remove(rejoined.begin(), rejoined.end(), ' '), rejoined.end());
        EXPECT_EQ(rejoined, spaceless) << code;
        EXPECT_EQ(ConsoleMessage(prose, {path}, 0).find('\n'), std::string::npos) << code;
    }
    // A label that fits keeps its path; a full-width colon takes no space.
    Speak("zh");
    EXPECT_EQ(ConsoleMessage(ConsoleCatalogUtf8("IDS_TEMPLATE_CATALOG"), {WideString(u"/tmp")}, 80),
              "\u6A21\u677F\u76EE\u5F55\uFF1A/tmp");
    Speak("en");
    EXPECT_EQ(ConsoleMessage(ConsoleCatalogUtf8("IDS_TEMPLATE_CATALOG"), {WideString(u"/tmp")}, 0),
              "Template directory: /tmp");
}

// The notice names the kit file that was given, not the usual name, and
// a control character in a path is shown escaped.
TEST_F(ConsoleTextTest, APreparationErrorNamesWhatWasGiven) {
    PreparationResult missing;
    missing.errorTextId = "IDS_ERROR_NOSOURCE";
    missing.errorPath = WideString(u"/kits/missing.tkx");
    EXPECT_EQ(PreparationErrorTextUtf8(kEnglishLanguageId, missing), "Distribution kit file missing.tkx not found.");
    EXPECT_EQ(std::string(ToUtf8(PreparationErrorContext("IDS_ERROR_NOSOURCE", missing.errorPath)).Data()),
              "/kits/missing.tkx");
    PreparationResult damaged;
    damaged.errorTextId = "IDS_ERROR_DAMAGEDSOURCE";
    damaged.errorPath = WideString(u"/kits/bad%1.tkx");
    EXPECT_NE(PreparationErrorTextUtf8(MessageCatalog::FindLanguage("de"), damaged).find("bad%1.tkx"),
              std::string::npos);
    EXPECT_EQ(std::string(ToUtf8(PreparationErrorContext("IDS_ERROR_DAMAGEDSOURCE", damaged.errorPath)).Data()),
              "/kits/bad%1.tkx");
    PreparationResult control;
    control.errorTextId = "IDS_TARGET_CONTROLCHAR";
    control.errorPath = WideString(u"/srv/a\tb");
    EXPECT_EQ(PreparationErrorTextUtf8(kEnglishLanguageId, control), "The path contains a control character (\\t).");
}

// The recovery at start-up speaks the run's language, its numbers grouped.
TEST_F(ConsoleTextTest, TheRecoveryIsToldInTheRunsLanguage) {
    RecoveryReport report;
    report.targetDirectory = WideString(u"/home/ann/tpl");
    report.backupDirectory = WideString(u"/home/ann/.tpl-backup");
    report.restoredFiles = 50000;
    report.removedFiles = 2;
    report.keptFiles = 1;
    Speak("de");
    const std::string line = RecoveryMessage(report, 0);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find("Zur\u00FCckgelegte Dateien: 50.000"), std::string::npos) << line;
    EXPECT_NE(line.find("Vorlagenverzeichnis: /home/ann/tpl"), std::string::npos) << line;
    EXPECT_NE(line.find("/home/ann/.tpl-backup"), std::string::npos) << line;
    const std::string wrapped = RecoveryMessage(report, 80);
    EXPECT_NE(wrapped.find("\nVorlagenverzeichnis: /home/ann/tpl\n"), std::string::npos) << wrapped;
    // A backup that is gone, and another user's left to that user.
    Speak("ru");
    RecoveryReport gone = report;
    gone.missing = true;
    EXPECT_EQ(RecoveryMessage(gone, 0).rfind("\u0420\u0435\u0437\u0435\u0440\u0432\u043d\u0430\u044f", 0), 0u)
        << RecoveryMessage(gone, 0);
    RecoveryReport foreign = report;
    foreign.foreign = true;
    foreign.foreignOwner = 0;
    const std::string left = RecoveryMessage(foreign, 0);
    EXPECT_NE(left.find(" root (uid 0) "), std::string::npos) << left;
    EXPECT_NE(left.find("/home/ann/.tpl-backup"), std::string::npos) << left;
    EXPECT_EQ(left.find("%1"), std::string::npos) << left;
    Speak("de");
    // Under the C locale German cannot be shown: English.
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_NE(RecoveryMessage(report, 0).find("Files put back: 50,000"), std::string::npos);
}

}  // namespace

}  // namespace tpl
