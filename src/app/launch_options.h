#pragma once
// What the command line and the locale decide before the wizard is built.
#include <cstdint>
#include <vector>
#include "text/cow_string.h"

namespace tpl {

struct LaunchOptions {
    int argc = 0;
    char** argv = nullptr;
    bool silent = false;
    NarrowString title;          // IDR_MAINFRAME in the chosen language, UTF-8 (for the toolkit)
    WideString languageCode;     // "en" or the code that chose the language
    bool useCurrentDirectory = false;
    int32_t languageId = 0;
    // --target=DIR, --log=FILE and --kit=FILE, absolute (a relative value is
    // taken from the current directory, a leading "~" from HOME); empty when
    // not given.
    WideString targetDirectory;
    WideString logFile;
    WideString kitFile;
    // --trusted-key=FILE, absolute, each one given (the option may repeat).
    std::vector<WideString> trustedKeys;
    bool dryRun = false;  // --dry-run: plan, check and report, change nothing
    bool json = false;    // --json: the plan or the outcome as one JSON document
    bool quiet = false;   // --quiet: only errors on standard error
    bool noRecord = false;  // --no-record: no launcher file is looked at or written
    // A usage error (an unknown long option, "--target=" with nothing after
    // it): the message for standard error, one line. The run ends with the
    // usage status before anything changes.
    NarrowString optionError;
};

// Scans the arguments (usecwd, -S, -L<code>; the long options anywhere after
// usecwd, also after -L, which ends only the scan of the one-letter
// switches; "--" ends both scans). An argument that begins with "--" and is
// neither ours nor one of the toolkit's is a usage error. When one of our
// long options is given, so is any other argument than usecwd (first), -S or
// /S, -L<code> and the toolkit's options. Falls back to the first two
// bytes of localeName (may be null; for a composite name, of its LC_MESSAGES
// part), then to English; sets the catalog's current language and fetches the
// title. localeName is what setlocale(LC_ALL, nullptr) reports after main
// selected the environment's locale; this function never calls setlocale.
LaunchOptions ParseLaunchOptions(int argc, char** argv, const char* localeName);

}  // namespace tpl
