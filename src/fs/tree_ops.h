#pragma once
// Moving the files of a directory tree.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Moves every file of the tree at source to the same relative place under
// destination; creates no directories and removes none; failed moves are ignored.
// A symbolic link (also one to a directory) is moved as the link itself. Its
// moves are not counted by fault injection. It goes by paths, so it is for
// trees no one else writes into: an installation's rollback and recovery
// restore the backup through the directory they hold instead.
void MoveTree(const tpl::WideString& destination, const tpl::WideString& source);
