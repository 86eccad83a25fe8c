#pragma once
// What --help and --version print. Display-free; the language is the
// catalog's current language (set from -L or the locale beforehand).
#include <string>

namespace tpl {

enum class InformationRequest { None, Help, Version };

// --help, -h, -? or /? anywhere on the command line before "--" asks for
// the usage, --version for the version; the first one found counts.
InformationRequest FindInformationRequest(int argc, char** argv);

// The heading is the localized window title; the body is in the current
// language where a usage text exists for it, else in English. Locale encoding.
std::string UsageText();

// The first line of the usage ("Usage: tplsetup [usecwd] ..."), for a
// usage error; in the current language where written, with a line feed.
std::string UsageLine();

// "tplsetup 1.0.0"
std::string VersionText();

}  // namespace tpl
