#pragma once
// Texts in tests: std::string in and out of WideString through the locale's
// encoding, and a PrintTo that lets GoogleTest show a WideString as its text
// (UTF-8, quoted) when an EXPECT_EQ on two texts fails, instead of its bytes.
#include <ostream>
#include <string>
#include "text/cow_string.h"

namespace tpl {

WideString Wide(const std::string& text);
std::string Narrow(const WideString& text);
void PrintTo(const WideString& text, std::ostream* out);

}  // namespace tpl
