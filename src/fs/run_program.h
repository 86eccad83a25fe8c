#pragma once
// Running programs with an argument vector, never through a shell, so that no
// character of a path can be read as shell syntax.
#include <vector>
#include "text/cow_string.h"

// Runs a program with an argument vector (argv[0] is looked up on PATH), no
// shell. Returns its exit status, or -1 when it could not be run or did not
// exit normally. discardErrors sends its standard error to /dev/null; standard
// input is always /dev/null, so that no tool waits for an answer. The program
// gets the default disposition and no blocked signals, so it stays stoppable.
int RunShellCommand(const std::vector<tpl::NarrowString>& argv, bool discardErrors);

namespace fs_detail {
// Runs argv[0] from PATH with the given arguments; the exit status, or -1.
// While interruption handlers are installed, the layer's own tools (this
// entry) run with the interruption signals blocked so that they finish their
// one step, and they are killed when the thread that started them ends
// (even by SIGKILL). Programs started for the user (RunShellCommand) get the
// signals normally and may outlive us.
int RunTool(const std::vector<const char*>& argv, bool discardErrors);
}  // namespace fs_detail
