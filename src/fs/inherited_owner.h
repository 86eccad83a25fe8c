#pragma once
// What a superuser's run makes for a user belongs to that user: every new
// directory and file takes the owner and group of the nearest existing
// directory above it. A process of an ordinary user cannot give files away;
// there these leave everything as the system made it.
#include <cstdint>
#include "fs/held_directory.h"
#include "text/cow_string.h"

// The owner and group of the nearest directory at or above path that exists
// (links followed, as a path the user chose is). 0 or an error number.
[[nodiscard]] uint32_t GetNearestDirectoryOwner(const tpl::WideString& path, PathOwner* out);

// Gives path itself (a link not followed) the owner, as GiveEntryTo does.
[[nodiscard]] uint32_t GivePathTo(const tpl::WideString& path, const PathOwner& owner);

// "mkdir -p" below an existing directory: each directory made takes the
// owner of the nearest one that existed above it. 0 when path is a
// directory at the end; else an error number with the errno kept.
[[nodiscard]] uint32_t CreateDirectoriesOwnedLikeParent(const tpl::WideString& path);
