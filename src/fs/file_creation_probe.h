#pragma once
// Finding out whether a directory takes new files without leaving a trace.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Whether a file can be created in the directory, found out by creating one
// without a name (O_TMPFILE): the directory's entries and times stay as they
// were and a kill leaves nothing behind. ERROR_NOT_SUPPORTED where the file
// system cannot do that; the caller then probes by name.
[[nodiscard]] uint32_t ProbeFileCreation(const tpl::WideString& directory);
