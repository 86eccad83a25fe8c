#pragma once
// Lets GoogleTest show a WideString as its text (UTF-8, quoted) when an
// EXPECT_EQ on two texts fails, instead of its bytes.
#include <ostream>
#include "text/cow_string.h"

void PrintTo(const WideString& text, std::ostream* out);
