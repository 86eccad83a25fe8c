#pragma once
// The calling thread's last error of the file layer, and the rule that turns
// the system's errno into the layer's error numbers.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// errno rule: ENOENT gives ERROR_FILE_NOT_FOUND, ENOSPC and EDQUOT (no room
// left) ERROR_DISK_FULL, everything else ERROR_INVALID_PARAMETER.
uint32_t ErrorFromErrno(int err);
// The code of the calling thread's last failing call (each thread has its
// own, as errno). For calls that do not return their code, such as FileSeek.
uint32_t GetLastFileError();
// The errno behind the last error, so that diagnostics can name the system's
// own cause (strerror); 0 when the last error did not come from the system.
int GetLastFileErrno();
// What the system said about the last error (strerror), as SystemErrorText;
// empty when the last error did not come from the system.
tpl::NarrowString GetLastSystemErrorText();
// What the system says about errno err, in UTF-8 and in the language that
// the environment's LANGUAGE names where the system has it, else in English,
// whatever the locale's own language and encoding; empty for 0.
tpl::NarrowString SystemErrorText(int err);
// Why a step failed with code, in the system's words: those for
// systemErrno, else for the errno that means what code means, else a plain
// description; never a number.
tpl::NarrowString ErrorReasonText(uint32_t code, int systemErrno);
// For a failure found without a system call (a file where a directory must
// be): stores the errno the system would have given, so it is told the same way.
void SetLastFileErrno(int err);
// Forgets the last error and its cause, before a step whose own failure is to be told.
void ClearLastFileError();

namespace fs_detail {
// Stores err in the thread's last error and returns it.
uint32_t StoreError(uint32_t err);
// Stores the errno rule's code for err and keeps err itself beside it.
uint32_t StoreErrno(int err);
// Stores code, keeping err beside it as its cause.
uint32_t StoreErrorWithErrno(uint32_t code, int err);
void ClearLastError();
}  // namespace fs_detail
