#pragma once
// Files under names nobody else holds, for the file layer's own sources.
#include <cstdint>
#include <string>

namespace fs_detail {

// Random bits for a unique name; each thread draws from a generator of its
// own, seeded differently in every process.
uint64_t RandomNameBits();
// Six letters or digits drawn from x: the tail of every unique name the
// file layer makes.
std::string NameLetters(uint64_t x);
// Six random letters or digits for a unique name.
inline std::string RandomSuffix() {
    return NameLetters(RandomNameBits());
}

// Creates stem + RandomSuffix() exclusively (never through a link), trying
// further names while the name is taken. Returns the descriptor, or -1 with
// errno set; *name holds the last name tried either way.
int CreateUniqueFile(const std::string& stem, unsigned mode, std::string* name);

}  // namespace fs_detail
