#pragma once
// Prose laid out for a terminal: how many columns a UTF-8 text takes and
// where its lines break.
#include <cstddef>
#include <string>
#include <vector>

namespace tpl {

// Columns a UTF-8 text takes on a terminal: two for the wide characters of
// East Asian scripts, none for combining marks, one for the rest.
size_t DisplayColumns(const std::string& utf8);

// utf8 broken into lines of at most width columns: at spaces (a no-break
// space holds its words together), and between two wide characters where
// the text has no spaces (never before the full-width punctuation that
// closes a clause). A word longer than the width keeps a line of its own.
std::vector<std::string> WrapLines(const std::string& utf8, size_t width);

}  // namespace tpl
