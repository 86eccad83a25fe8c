// The command-line scan, the choice of language and the window title.
#include "app/launch_options.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "catalog/message_catalog.h"
#include "fs/process_paths.h"
#include "text/convert.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// True for a switch: an argument whose first byte is '-' or '/'.
bool IsSwitch(const char* argument) {
    return argument != nullptr && (argument[0] == '-' || argument[0] == '/');
}

// Takes the language of a code when the catalog holds it; false otherwise, and
// then nothing changes.
bool ChooseLanguage(const NarrowString& code, LaunchOptions& options) {
    const int32_t id = MessageCatalog::FindLanguage(code);
    if (id == 0) return false;
    options.languageId = id;
    options.languageCode = ToWide(code);
    return true;
}

// True for "--", after which nothing is an option.
bool EndsOptions(const char* argument) {
    return argument != nullptr && std::strcmp(argument, "--") == 0;
}

// Reads -S and -L<code> (either case, '-' or '/') from the first argument to
// scan on. The first L switch ends the scan, whether its code is known or not.
void ScanSwitches(int argc, char** argv, int first, LaunchOptions& options) {
    for (int i = first; i < argc && !EndsOptions(argv[i]); ++i) {
        const char* argument = argv[i];
        if (!IsSwitch(argument)) continue;
        const char letter = argument[1];
        if (letter == 'S' || letter == 's') {
            options.silent = true;
        } else if (letter == 'L' || letter == 'l') {
            ChooseLanguage(NarrowString(argument + 2), options);
            return;
        }
    }
}

// A path as the user meant it from where the program was started: "~" and
// "~/..." from HOME, a relative path from the current directory.
NarrowString AbsolutePath(const char* value) {
    NarrowString path(value);
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0' && value[0] == '~' && (value[1] == '\0' || value[1] == '/')) {
        path = NarrowString(home);
        path += value + 1;
    }
    if (path.Data()[0] == '/') return path;
    NarrowString absolute = GetCurrentDirectory();
    if (absolute.Empty()) return path;  // then it stays relative, as given
    if (absolute.Data()[absolute.Length() - 1] != '/') absolute += "/";
    absolute += path.Data();
    return absolute;
}

// This program's long options: a path after "=", or a flag without a value.
struct OwnOption {
    const char* name;
    const char* valueName;  // "DIR" or "FILE"; null for a flag
    WideString LaunchOptions::*path;
    bool LaunchOptions::*flag;
    std::vector<WideString> LaunchOptions::*paths = nullptr;  // a path that may be given more than once
};

const OwnOption kOwnOptions[] = {
    {"--target", "DIR", &LaunchOptions::targetDirectory, nullptr},
    {"--log", "FILE", &LaunchOptions::logFile, nullptr},
    {"--kit", "FILE", &LaunchOptions::kitFile, nullptr},
    {"--dry-run", nullptr, nullptr, &LaunchOptions::dryRun},
    {"--json", nullptr, nullptr, &LaunchOptions::json},
    {"--quiet", nullptr, nullptr, &LaunchOptions::quiet},
    {"--no-record", nullptr, nullptr, &LaunchOptions::noRecord},
    {"--trusted-key", "FILE", nullptr, nullptr, &LaunchOptions::trustedKeys},
};

// The toolkit's standard options, which it takes out of the arguments when
// it starts; those with a value take it after "=" or as the next argument.
struct ToolkitOption {
    const char* name;
    bool takesValue;
};

const ToolkitOption kToolkitOptions[] = {
    {"--display", true},     {"--screen", true},      {"--sync", false},      {"--name", true},
    {"--class", true},       {"--gtk-module", true},  {"--g-fatal-warnings", false},
    {"--gtk-debug", true},   {"--gtk-no-debug", true}, {"--gdk-debug", true}, {"--gdk-no-debug", true},
    {"--gxid-host", true},   {"--gxid-port", true},
};

void SetUsageError(LaunchOptions& options, const std::string& message) {
    if (!options.optionError.Empty()) return;  // the first one is told
    options.optionError = NarrowString(("tplsetup: " + message + "\n").c_str());
}

// Takes one of our options; name is the argument up to its "=", value what
// follows it (null without "=").
void TakeOwnOption(const OwnOption& option, const char* argument, const char* value, LaunchOptions& options) {
    if (option.flag != nullptr) {
        if (value != nullptr) SetUsageError(options, std::string("option '") + option.name + "' takes no value");
        else options.*option.flag = true;
        return;
    }
    if (value == nullptr || *value == '\0') {
        SetUsageError(options, std::string(option.name) + " needs a value: " + option.name + "=" + option.valueName);
        return;
    }
    const WideString path = ToWide(AbsolutePath(value));
    // A name the locale cannot decode would be lost, and the run would
    // silently go elsewhere.
    if (path.Empty()) SetUsageError(options, std::string(argument) + ": not a valid name in this locale");
    else if (option.paths != nullptr) (options.*option.paths).push_back(path);
    else options.*option.path = path;
}

// True when argument is one of our own long options (with or without a
// value), before "--".
bool IsOwnOption(const char* argument) {
    if (argument == nullptr || std::strncmp(argument, "--", 2) != 0) return false;
    const char* equals = std::strchr(argument, '=');
    const std::string name = equals != nullptr ? std::string(argument, equals) : std::string(argument);
    for (const OwnOption& option : kOwnOptions)
        if (name == option.name) return true;
    return false;
}

// A command line that gives one of our long options was written by someone
// who knows them: there every argument must be one the program takes, and
// a stray one is refused instead of being read as a switch (a path that
// begins with "/") or passed over (a switch of a habit, "-n").
bool WantsStrictArguments(int argc, char** argv, int first) {
    for (int i = first; i < argc && !EndsOptions(argv[i]); ++i)
        if (IsOwnOption(argv[i])) return true;
    return false;
}

// The one-letter switches a strict command line takes: -S or /S exactly (any
// case), and -L or /L with a code.
bool IsStrictSwitch(const char* argument) {
    if (!IsSwitch(argument)) return false;
    const char letter = argument[1];
    if (letter == 'S' || letter == 's') return argument[2] == '\0';
    return letter == 'L' || letter == 'l';
}

// A stray argument that names a file was most likely meant as the target.
bool LooksLikePath(const std::string& argument) {
    return argument.find('/') != std::string::npos || argument[0] == '~' || argument[0] == '.';
}

void RefuseStrayArgument(const char* argument, LaunchOptions& options) {
    const std::string shown = EscapeControlCharacters(std::string(argument));
    std::string message = "unexpected argument '" + shown + "'";
    if (!shown.empty() && LooksLikePath(shown)) message += "; did you mean --target=" + shown + "?";
    SetUsageError(options, message);
}

// The long options, wherever they stand after usecwd; the last of each
// counts. Returns at "--", after which a strict command line takes nothing.
void ScanLongOptions(int argc, char** argv, int first, bool strict, LaunchOptions& options) {
    for (int i = first; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument == nullptr) continue;
        if (EndsOptions(argument)) {
            if (strict && i + 1 < argc && argv[i + 1] != nullptr) RefuseStrayArgument(argv[i + 1], options);
            return;
        }
        if (std::strncmp(argument, "--", 2) != 0) {
            if (strict && !IsStrictSwitch(argument)) RefuseStrayArgument(argument, options);
            continue;
        }
        const char* equals = std::strchr(argument, '=');
        const std::string name = equals != nullptr ? std::string(argument, equals) : std::string(argument);
        const char* value = equals != nullptr ? equals + 1 : nullptr;
        const OwnOption* own = nullptr;
        for (const OwnOption& option : kOwnOptions)
            if (name == option.name) own = &option;
        if (own != nullptr) {
            TakeOwnOption(*own, argument, value, options);
            continue;
        }
        const ToolkitOption* toolkit = nullptr;
        for (const ToolkitOption& option : kToolkitOptions)
            if (name == option.name) toolkit = &option;
        if (toolkit == nullptr) {
            SetUsageError(options, "unknown option '" + EscapeControlCharacters(name) + "'");
            continue;
        }
        // "--name value": the value is the toolkit's, whatever it looks like.
        if (toolkit->takesValue && value == nullptr) ++i;
    }
}

// The part of a locale name that names the language of messages. glibc reports
// a composite name ("LC_CTYPE=de_DE.UTF-8;...;LC_MESSAGES=de_DE.UTF-8;...")
// when the categories differ; its first bytes would be "LC", which names no
// language, so the LC_MESSAGES entry is used instead.
NarrowString MessagesLocale(const char* localeName) {
    static const char kKey[] = "LC_MESSAGES=";
    if (std::strchr(localeName, ';') == nullptr) return NarrowString(localeName);
    const char* start = std::strstr(localeName, kKey);
    if (start == nullptr) return NarrowString(localeName);
    start += sizeof kKey - 1;
    const char* end = std::strchr(start, ';');
    const size_t length = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
    return NarrowString(start, static_cast<uint32_t>(length));
}

// The locale's language code: the first two bytes of a name of three bytes or
// more (ru_RU.UTF-8 gives ru), the whole name otherwise (C stays C).
NarrowString LocaleLanguageCode(const char* localeName) {
    NarrowString name = MessagesLocale(localeName);
    if (name.Length() >= 3) name.Resize(2);
    return name;
}

}  // namespace

LaunchOptions ParseLaunchOptions(int argc, char** argv, const char* localeName) {
    LaunchOptions options;
    options.argc = argc;
    options.argv = argv;
    options.languageId = 0;
    // "usecwd" counts only as the first argument and only when it is exactly
    // that (usecwd2 and usec do not match).
    options.useCurrentDirectory =
        argc >= 2 && argv != nullptr && argv[1] != nullptr && std::strcmp(argv[1], "usecwd") == 0;
    options.languageCode = WideString(u"en");

    if (argv != nullptr) {
        const int first = options.useCurrentDirectory ? 2 : 1;
        ScanSwitches(argc, argv, first, options);
        ScanLongOptions(argc, argv, first, WantsStrictArguments(argc, argv, first), options);
    }
    if (options.languageId == 0 && localeName != nullptr) {
        ChooseLanguage(LocaleLanguageCode(localeName), options);
    }
    if (options.languageId == 0) options.languageId = kEnglishLanguageId;  // code stays "en"

    MessageCatalog::SetCurrentLanguage(options.languageId);
    options.title = MessageCatalog::GetUtf8("IDR_MAINFRAME");
    return options;
}

}  // namespace tpl
