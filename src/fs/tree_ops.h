#pragma once
// Recursive removal and moving of directory trees.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Removes the tree depth first; never descends through a symbolic link (a
// link, also the path itself, is removed as a link). The root is refused.
uint32_t RemoveTree(const tpl::WideString& path);
// Moves every file of the tree at source to the same relative place under
// destination; creates no directories and removes none; failed moves are ignored.
// A symbolic link (also one to a directory) is moved as the link itself. Its
// moves are not counted by fault injection: it is the rollback's tool.
void MoveTree(const tpl::WideString& destination, const tpl::WideString& source);
