#include "fs/system_language.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace {

bool IsPlainCLocale(const char* name) {
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

}  // namespace

void SelectSystemLanguage(const char* name) {
    setenv("LANGUAGE", name, 1);
    // Only the messages category moves: the encoding of file names and of the
    // terminal stays the user's.
    if (IsPlainCLocale(setlocale(LC_MESSAGES, nullptr))) setlocale(LC_MESSAGES, "C.UTF-8");
    // Looked-up texts are cached per locale, not per LANGUAGE; naming the
    // text domain again is the documented way to drop them.
    textdomain(textdomain(nullptr));
}
