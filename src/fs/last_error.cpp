// The per-thread last error and the errno rule.
#include "fs/last_error.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

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

namespace {
// The system's words in UTF-8 whatever the process's encoding, and in the
// language LANGUAGE names: its messages category must not be "C", under
// which the system ignores LANGUAGE and answers in English. Built once;
// without a UTF-8 locale the plain C one answers, in English (ASCII is UTF-8).
locale_t Utf8MessagesLocale() {
    static const locale_t utf8 = [] {
        locale_t made = newlocale(LC_CTYPE_MASK | LC_MESSAGES_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return made != static_cast<locale_t>(0) ? made : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    }();
    return utf8;
}
}  // namespace

NarrowString SystemErrorText(int err) {
    if (err == 0) return NarrowString();
    const locale_t utf8 = Utf8MessagesLocale();
    // strerror_l returns a text of its own for every number, known or not.
    const char* text = utf8 != static_cast<locale_t>(0) ? strerror_l(err, utf8) : nullptr;
    return NarrowString(text != nullptr ? text : "");
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

namespace {

// The errno that means what a code means, for codes that do not come from
// the system (a directory in the way, a full disk found by the engine).
int ErrnoOfCode(uint32_t code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND: return ENOENT;
        case ERROR_PATH_NOT_FOUND: return ENOTDIR;
        case ERROR_ACCESS_DENIED: return EACCES;
        case ERROR_DISK_FULL: return ENOSPC;
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_CANCELLED: return ECANCELED;
        case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_LOCK_VIOLATION: return EBUSY;
        default: return 0;
    }
}

}  // namespace

NarrowString ErrorReasonText(uint32_t code, int systemErrno) {
    const int number = systemErrno != 0 ? systemErrno : ErrnoOfCode(code);
    if (number != 0) return SystemErrorText(number);
    if (code == ERROR_INVALID_DATA) return NarrowString("invalid data");
    return NarrowString(code == 0 ? "" : "an unexpected failure");
}
