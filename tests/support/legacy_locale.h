#pragma once
// A locale whose encoding is not UTF-8, for tests of what reaches a terminal
// or the file system there: Russian in KOI8-R, compiled on first use into a
// private directory (the system need not have it installed).
#include <string>

namespace tpl {

// Selects ru_RU.KOI8-R for the whole process; false when the system cannot
// compile locales (the caller skips).
bool SelectKoi8Locale();

// Selects the given locale again (pass what setlocale(LC_ALL, nullptr) said).
void RestoreLocale(const std::string& name);

}  // namespace tpl
