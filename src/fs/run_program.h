#pragma once
// Starting a program for the user (a document viewer) with an argument
// vector, never through a shell, so that no character of a path can be read
// as shell syntax. The file layer starts no program for its own work.
#include <vector>
#include "text/cow_string.h"

// Runs a program with an argument vector (argv[0] is looked up on PATH), no
// shell, and waits for it. Returns its exit status, or -1 when it could not
// be run or did not exit normally. discardErrors sends its standard error to
// /dev/null; standard input is always /dev/null, so that it cannot wait for
// an answer. It gets the default disposition and no blocked signals, so it
// stays stoppable, and it may go on after we end.
int RunProgramAndWait(const std::vector<tpl::NarrowString>& argv, bool discardErrors);
