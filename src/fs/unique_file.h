#pragma once
// Files under names nobody else holds, for the file layer's own sources.
#include <string>

namespace fs_detail {

// Six random letters or digits for a unique name.
std::string RandomSuffix();

// Creates stem + RandomSuffix() exclusively (never through a link), trying
// further names while the name is taken. Returns the descriptor, or -1 with
// errno set; *name holds the last name tried either way.
int CreateUniqueFile(const std::string& stem, unsigned mode, std::string* name);

}  // namespace fs_detail
