#pragma once
// Helpers shared by the file layer's sources; not part of its interface.
#include <cstdint>
#include <string>
#include <vector>
#include <sys/stat.h>
#include "text/cow_string.h"

namespace fs_detail {

// The path in the locale's encoding, cut at its first 0 unit.
std::string NativePath(const WideString& path);

// Stores err in the process-wide last error and returns it.
uint32_t StoreError(uint32_t err);
// Stores the errno rule's code for err and keeps err itself beside it.
uint32_t StoreErrno(int err);
// Stores code, keeping err beside it as its cause.
uint32_t StoreErrorWithErrno(uint32_t code, int err);
void ClearLastError();

// Counts one fault-injectable operation; true when this one must fail. On
// true errno and the last error already hold the injected failure.
bool InjectedFault();

// True while tests force every operation with a fast path onto its tool.
bool ToolPathForced();

// Runs argv[0] from PATH with the given arguments; the exit status, or -1.
// While interruption handlers are installed, the layer's own tools (this
// entry) run with the interruption signals blocked so that they finish their
// one step; programs started for the user (RunShellCommand) get them normally.
int RunTool(const std::vector<const char*>& argv, bool discardErrors);
int RunProgram(const std::vector<const char*>& argv, bool discardErrors, bool finishDespiteSignals);

// MovePath without the fault-injection count (the rollback's moves).
uint32_t MovePathUncounted(const std::string& from, const std::string& to);

// Moves a non-directory entry (source is its lstat) to another file system
// without any child process: copied whole (bytes, permission bits, owner
// where permitted, times to the nanosecond) and synced, and only then the
// original unlinked. Whatever stood at the destination is replaced. On
// failure the original stays and no copy is left.
uint32_t MoveAcrossFileSystems(const std::string& from, const struct stat& source, const std::string& to);

}  // namespace fs_detail

namespace fs_detail {

// Six random letters or digits for a unique name.
std::string RandomSuffix();

// Creates stem + RandomSuffix() exclusively (never through a link), trying
// further names while the name is taken. Returns the descriptor, or -1 with
// errno set; *name holds the last name tried either way.
int CreateUniqueFile(const std::string& stem, unsigned mode, std::string* name);

// The path without trailing "/" (the root stays "/").
std::string WithoutTrailingSlashes(const std::string& path);

}  // namespace fs_detail
