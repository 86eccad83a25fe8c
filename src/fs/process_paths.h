#pragma once
// Where the running program lies and where it was started from.
#include "text/cow_string.h"

// The executable's full path (any length), or empty when it cannot be read.
tpl::NarrowString GetExecutablePath();
// The current working directory (any length), or empty when it cannot be read.
tpl::NarrowString GetCurrentDirectory();
