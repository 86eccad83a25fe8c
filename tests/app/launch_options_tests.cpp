// The command-line scan and the choice of language.
#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/launch_options.h"
#include "support/catalog_fixture.h"
#include "text/convert.h"
#include "support/wide_text.h"

namespace tpl {

namespace {

// Owns an argument vector shaped like main's: program name first, null last.
class Arguments {
public:
    Arguments(std::initializer_list<const char*> arguments) : Arguments(std::vector<const char*>(arguments)) {}
    explicit Arguments(const std::vector<const char*>& arguments) {
        strings_.emplace_back("tplsetup");
        for (const char* argument : arguments) strings_.emplace_back(argument);
        for (std::string& s : strings_) pointers_.push_back(&s[0]);
        pointers_.push_back(nullptr);
    }
    int Count() const { return static_cast<int>(strings_.size()); }
    char** Vector() { return pointers_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

LaunchOptions Parse(std::initializer_list<const char*> arguments, const char* locale) {
    Arguments args(arguments);
    return ParseLaunchOptions(args.Count(), args.Vector(), locale);
}

bool CodeIs(const LaunchOptions& options, const char16_t* code) {
    return options.languageCode == WideString(code);
}

std::string Title(const LaunchOptions& options) {
    return std::string(options.title.Data(), options.title.Length());
}

}  // namespace

using LaunchOptionsTest = CatalogTest;

TEST_F(LaunchOptionsTest, LocaleChoosesTheLanguageWhenNoSwitchDoes) {
    LaunchOptions options = Parse({}, "de_DE.UTF-8");
    EXPECT_EQ(options.languageId, 8);
    EXPECT_TRUE(CodeIs(options, u"de"));
    EXPECT_EQ(Title(options), "Konfiguration wird installiert");
    EXPECT_FALSE(options.silent);
    EXPECT_FALSE(options.useCurrentDirectory);

    options = Parse({}, "ru_RU.UTF-8");
    EXPECT_EQ(options.languageId, 17);
    EXPECT_TRUE(CodeIs(options, u"ru"));
    EXPECT_EQ(Title(options), "Установка конфигурации");
    // The choice reaches every later lookup.
    EXPECT_EQ(MessageCatalog::CurrentLanguage(), 17);
}

TEST_F(LaunchOptionsTest, LocalesWithoutATableLanguageGiveEnglish) {
    for (const char* locale : {"C", "POSIX", "C.UTF-8", "xx_YY.UTF-8", "", static_cast<const char*>(nullptr)}) {
        MessageCatalog::SetCurrentLanguage(17);
        const LaunchOptions options = Parse({}, locale);
        SCOPED_TRACE(locale != nullptr ? locale : "(null)");
        EXPECT_EQ(options.languageId, 5);
        EXPECT_TRUE(CodeIs(options, u"en"));
        EXPECT_EQ(Title(options), "Installing configuration");
        EXPECT_EQ(MessageCatalog::CurrentLanguage(), 5);
    }
}

TEST_F(LaunchOptionsTest, ShortLocaleNamesAreLookedUpWholeLongerOnesCutToTwoBytes) {
    EXPECT_EQ(Parse({}, "fr").languageId, 6);
    EXPECT_EQ(Parse({}, "frx").languageId, 6);
    EXPECT_EQ(Parse({}, "f").languageId, 5);
    EXPECT_EQ(Parse({}, "el_GR.UTF-8").languageId, 24);
    EXPECT_EQ(Parse({}, "FR_fr").languageId, 5);  // codes are lower case
}

// With categories set differently glibc names every category in one string;
// the language of messages is the one to show.
TEST_F(LaunchOptionsTest, CompositeLocaleUsesItsMessagesCategory) {
    const char* mixed =
        "LC_CTYPE=en_US.UTF-8;LC_NUMERIC=C;LC_TIME=en_GB.UTF-8;LC_COLLATE=C;"
        "LC_MONETARY=C;LC_MESSAGES=uk_UA.UTF-8;LC_PAPER=C";
    LaunchOptions options = Parse({}, mixed);
    EXPECT_EQ(options.languageId, 20);
    EXPECT_TRUE(CodeIs(options, u"uk"));
    EXPECT_EQ(Parse({}, "LC_CTYPE=de_DE.UTF-8;LC_MESSAGES=it_IT.UTF-8").languageId, 11);
    EXPECT_EQ(Parse({}, "LC_CTYPE=de_DE.UTF-8;LC_MESSAGES=C;LC_PAPER=de_DE.UTF-8").languageId, 5);
}

TEST_F(LaunchOptionsTest, LanguageSwitchWinsOverTheLocale) {
    LaunchOptions options = Parse({"-Lfr"}, "de_DE.UTF-8");
    EXPECT_EQ(options.languageId, 6);
    EXPECT_TRUE(CodeIs(options, u"fr"));
    EXPECT_EQ(Title(options), "Installation de la configuration");

    EXPECT_EQ(Parse({"/Lka"}, "C").languageId, 7);
    EXPECT_EQ(Parse({"-lzh"}, "C").languageId, 4);
    EXPECT_EQ(Parse({"-Lel"}, "C").languageId, 24);
    options = Parse({"-Lar"}, "ru_RU.UTF-8");
    EXPECT_EQ(options.languageId, 22);
    EXPECT_TRUE(CodeIs(options, u"ar"));
    EXPECT_EQ(Title(options), "Installing configuration");

    // The title is for the toolkit: whole under a locale that cannot spell it.
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    options = Parse({"-Lru"}, "C");
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(Title(options), "Установка конфигурации");
}

TEST_F(LaunchOptionsTest, UnknownSwitchCodesFallBackToLocaleThenEnglish) {
    // -Lxx unknown, -L empty, -LFR upper case, -Lfrx longer: none is a table code.
    for (const char* argument : {"-Lxx", "-L", "-LFR", "-Lfrx", "/Len_US"}) {
        SCOPED_TRACE(argument);
        LaunchOptions options = Parse({argument}, "ru_RU.UTF-8");
        EXPECT_EQ(options.languageId, 17);
        EXPECT_TRUE(CodeIs(options, u"ru"));
        options = Parse({argument}, "C");
        EXPECT_EQ(options.languageId, 5);
        EXPECT_TRUE(CodeIs(options, u"en"));
    }
}

TEST_F(LaunchOptionsTest, LanguageSwitchEndsTheScan) {
    LaunchOptions options = Parse({"-Lde", "-S"}, "C");
    EXPECT_EQ(options.languageId, 8);
    EXPECT_FALSE(options.silent);

    options = Parse({"-S", "-Lde"}, "C");
    EXPECT_EQ(options.languageId, 8);
    EXPECT_TRUE(options.silent);

    // Even an unknown code ends it: the second L switch is not seen.
    options = Parse({"-Lxx", "-Lde", "-S"}, "C");
    EXPECT_EQ(options.languageId, 5);
    EXPECT_FALSE(options.silent);
}

TEST_F(LaunchOptionsTest, SilentSwitchInEitherFormAndCase) {
    for (const char* argument : {"-S", "-s", "/S", "/s", "-Silent", "/sx"}) {
        EXPECT_TRUE(Parse({argument}, "C").silent) << argument;
    }
    for (const char* argument : {"S", "s", "silent", "-", "/", "-X", "--S", "\\S"}) {
        EXPECT_FALSE(Parse({argument}, "C").silent) << argument;
    }
    EXPECT_TRUE(Parse({"kit", "-x", "/s"}, "C").silent);
}

TEST_F(LaunchOptionsTest, UseCwdCountsOnlyExactlyAndAsFirstArgument) {
    LaunchOptions options = Parse({"usecwd"}, "C");
    EXPECT_TRUE(options.useCurrentDirectory);
    EXPECT_FALSE(options.silent);

    options = Parse({"usecwd", "-S"}, "C");
    EXPECT_TRUE(options.useCurrentDirectory);
    EXPECT_TRUE(options.silent);

    options = Parse({"-S", "usecwd"}, "C");
    EXPECT_FALSE(options.useCurrentDirectory);
    EXPECT_TRUE(options.silent);

    for (const char* argument : {"usecwd2", "usec", "USECWD", "usecwd ", "", "u"}) {
        EXPECT_FALSE(Parse({argument, "-S"}, "C").useCurrentDirectory) << argument;
    }
    EXPECT_FALSE(Parse({}, "C").useCurrentDirectory);
}

TEST_F(LaunchOptionsTest, ArgumentsArePassedOnUnchanged) {
    Arguments args({"usecwd", "--display=:0", "-Lit"});
    const LaunchOptions options = ParseLaunchOptions(args.Count(), args.Vector(), "C");
    EXPECT_EQ(options.argc, 4);
    EXPECT_EQ(options.argv, args.Vector());
    EXPECT_STREQ(options.argv[2], "--display=:0");
    EXPECT_TRUE(options.useCurrentDirectory);
    EXPECT_EQ(options.languageId, 11);

    // No vector at all (an exotic exec) is treated as no arguments.
    const LaunchOptions none = ParseLaunchOptions(0, nullptr, "de_DE");
    EXPECT_EQ(none.languageId, 8);
    EXPECT_FALSE(none.useCurrentDirectory);
}

TEST_F(LaunchOptionsTest, TargetAndLogAreMadeAbsoluteAndStandAnywhereAfterUsecwd) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string here(cwd);
    LaunchOptions options = Parse({"usecwd", "-Lde", "--target=rel/dir", "-S", "--log=/var/log/t.log"}, "C");
    EXPECT_TRUE(options.useCurrentDirectory);
    EXPECT_TRUE(CodeIs(options, u"de"));
    EXPECT_FALSE(options.silent);  // -L still ends the scan of the one-letter switches
    EXPECT_EQ(std::string(ToNarrow(options.targetDirectory).Data()), here + "/rel/dir");
    EXPECT_EQ(std::string(ToNarrow(options.logFile).Data()), "/var/log/t.log");
    EXPECT_TRUE(options.optionError.Empty());

    // The last one counts; a long option is never taken for -S or -L.
    options = Parse({"--target=/a", "--target=/b/", "--kit=k.tkx", "-S", "--kit=/k/qbx4.tkx", "--Lde"}, "C");
    EXPECT_EQ(options.targetDirectory, WideString(u"/b/"));
    EXPECT_EQ(options.kitFile, WideString(u"/k/qbx4.tkx"));
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(CodeIs(options, u"en"));
    // Trusted keys add up, each taken from the current directory.
    options = Parse({"--trusted-key=/k/a.pub", "-S", "--trusted-key=b.pub"}, "C");
    ASSERT_EQ(options.trustedKeys.size(), 2u);
    EXPECT_EQ(options.trustedKeys[0], WideString(u"/k/a.pub"));
    EXPECT_EQ(std::string(ToNarrow(options.trustedKeys[1]).Data()), here + "/b.pub");
    EXPECT_TRUE(options.optionError.Empty());
    EXPECT_EQ(std::string(Parse({"--trusted-key="}, "C").optionError.Data()),
              "tplsetup: --trusted-key needs a value: --trusted-key=FILE\n");
    // usecwd is still only the first argument.
    EXPECT_FALSE(Parse({"--target=/a", "usecwd"}, "C").useCurrentDirectory);

    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        EXPECT_EQ(std::string(ToNarrow(Parse({"--target=~/tpl"}, "C").targetDirectory).Data()),
                  std::string(home) + "/tpl");
    }
}

TEST_F(LaunchOptionsTest, LongOptionsAreOursOrTheToolkitsElseAUsageError) {
    // A misspelled option must never let a run go on elsewhere; the first
    // one is named, without its value.
    const std::pair<std::vector<const char*>, std::string> refused[] = {
        {{"usecwd", "-S", "--tagret=/srv/tpl"}, "tplsetup: unknown option '--tagret'\n"},
        {{"--Silent", "--Lde"}, "tplsetup: unknown option '--Silent'\n"},
        {{"--S"}, "tplsetup: unknown option '--S'\n"},
        {{"--targets=/x", "--logg"}, "tplsetup: unknown option '--targets'\n"},
        {{"--dry-run=yes"}, "tplsetup: option '--dry-run' takes no value\n"},
        {{"--quiet=1"}, "tplsetup: option '--quiet' takes no value\n"},
        {{"--target="}, "tplsetup: --target needs a value: --target=DIR\n"},
        {{"--target"}, "tplsetup: --target needs a value: --target=DIR\n"},
        {{"--log="}, "tplsetup: --log needs a value: --log=FILE\n"},
        {{"-S", "--kit"}, "tplsetup: --kit needs a value: --kit=FILE\n"},
        {{"--display", ":1", "---"}, "tplsetup: unknown option '---'\n"},
        {{"--no-record=no"}, "tplsetup: option '--no-record' takes no value\n"},
        // With one of our long options every argument must be one we take:
        // a forgotten --target= is no /S switch, a habit's -n no silent run.
        {{"--kit=K", "/srv/templates/qbx4"},
         "tplsetup: unexpected argument '/srv/templates/qbx4'; did you mean --target=/srv/templates/qbx4?\n"},
        {{"-S", "-n", "--target=/t"}, "tplsetup: unexpected argument '-n'\n"},
        {{"usecwd", "--dry-run", "-Silent"}, "tplsetup: unexpected argument '-Silent'\n"},
        {{"-S", "usecwd", "--json"}, "tplsetup: unexpected argument 'usecwd'\n"},
        {{"--quiet", "tpl/qbx4"}, "tplsetup: unexpected argument 'tpl/qbx4'; did you mean --target=tpl/qbx4?\n"},
        {{"--quiet", "~"}, "tplsetup: unexpected argument '~'; did you mean --target=~?\n"},
        {{"--quiet", "a\x1b[31m"}, "tplsetup: unexpected argument 'a\\x1b[31m'\n"},
        {{"--quiet", "\\S"}, "tplsetup: unexpected argument '\\S'\n"},
        {{"--log=l", "--", "x"}, "tplsetup: unexpected argument 'x'\n"},
        {{"x", "--bogus", "--no-record"}, "tplsetup: unexpected argument 'x'\n"},
    };
    for (const auto& [arguments, message] : refused) {
        Arguments args(arguments);
        const LaunchOptions options = ParseLaunchOptions(args.Count(), args.Vector(), "C");
        EXPECT_EQ(std::string(options.optionError.Data()), message) << arguments.back();
    }
    // The toolkit's own options, with "=" or their value after them, and
    // everything after "--", which ends the options.
    const std::vector<const char*> accepted[] = {
        {"-S", "--target=/t", "--log=l", "--kit=k", "--dry-run", "--json", "--quiet", "--trusted-key=k.pub"},
        {"--display=:1", "--screen=0", "--sync", "--class=Tpl", "--name=tpl", "--gtk-module=m"},
        {"--display", ":1", "--name", "--not-an-option", "--g-fatal-warnings", "--gtk-debug=misc"},
        {"--gdk-debug=x", "--gdk-no-debug=x", "--gtk-no-debug=x", "--class", "x"},
        {"-S", "--", "--tagret=/srv/tpl"},
        {"usecwd", "-s", "/S", "/s", "-Lde", "/lfr", "-Lxx", "--no-record", "--display", "/x", "--"},
        // Without one of our long options the switch scan stays as it was.
        {"/srv/templates/qbx4", "-n", "kit", "-Silent", "--display", ":1"},
    };
    for (const auto& arguments : accepted) {
        Arguments args(arguments);
        const LaunchOptions options = ParseLaunchOptions(args.Count(), args.Vector(), "C");
        EXPECT_TRUE(options.optionError.Empty()) << arguments.back() << ": " << options.optionError.Data();
    }
}

TEST_F(LaunchOptionsTest, RunFlagsAndTheEndOfOptions) {
    LaunchOptions options = Parse({"usecwd", "--dry-run", "--json", "--quiet"}, "C");
    EXPECT_TRUE(options.dryRun && options.json && options.quiet);
    EXPECT_FALSE(options.silent);
    options = Parse({}, "C");
    EXPECT_FALSE(options.dryRun || options.json || options.quiet || options.noRecord);
    EXPECT_TRUE(Parse({"-S", "--no-record"}, "C").noRecord);
    EXPECT_TRUE(options.kitFile.Empty());

    // Nothing after "--" is an option, of either kind.
    options = Parse({"-S", "--", "-Lde", "--dry-run", "--target=/x"}, "C");
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(CodeIs(options, u"en"));
    EXPECT_FALSE(options.dryRun);
    EXPECT_TRUE(options.targetDirectory.Empty());
    EXPECT_FALSE(Parse({"--", "-S"}, "C").silent);
}

}  // namespace tpl
