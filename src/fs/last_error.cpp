// The per-thread last error and the errno rule.
#include "fs/last_error.h"

#include <cerrno>
#include <cstring>

using tpl::NarrowString;

namespace {
// Per thread, as errno: the worker's failures never show in the GUI thread.
thread_local uint32_t lastError = 0;
thread_local int lastErrno = 0;
}  // namespace

uint32_t ErrorFromErrno(int err) {
    if (err == ENOENT) return ERROR_FILE_NOT_FOUND;
    if (err == ENOSPC || err == EDQUOT) return ERROR_DISK_FULL;
    return ERROR_INVALID_PARAMETER;
}

uint32_t GetLastFileError() {
    return lastError;
}

int GetLastFileErrno() {
    return lastErrno;
}

NarrowString GetLastSystemErrorText() {
    return SystemErrorText(lastErrno);
}

NarrowString SystemErrorText(int err) {
    if (err == 0) return NarrowString();
    char buffer[256];
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return NarrowString(text ? text : "");
}

void SetLastFileErrno(int err) {
    fs_detail::StoreErrno(err);
}

void ClearLastFileError() {
    fs_detail::ClearLastError();
}

namespace fs_detail {
uint32_t StoreError(uint32_t err) {
    lastErrno = 0;
    lastError = err;
    return err;
}

uint32_t StoreErrno(int err) {
    return StoreErrorWithErrno(ErrorFromErrno(err), err);
}

uint32_t StoreErrorWithErrno(uint32_t code, int err) {
    StoreError(code);
    lastErrno = err;
    return code;
}

void ClearLastError() {
    lastErrno = 0;
    lastError = 0;
}

}  // namespace fs_detail
