// The per-thread last error, the errno rule and the test-only fault counter.
#include <atomic>
#include <cerrno>
#include <cstring>
#include "fs/dir_ops.h"
#include "fs/file_io.h"
#include "fs/fs_internal.h"
#include "fs/fs_testing.h"
#include "text/path_bytes.h"

namespace {
// Per thread, as errno: the worker's failures never show in the GUI thread.
thread_local uint32_t lastError = 0;
thread_local int lastErrno = 0;
std::atomic<int> injectedErrno{EIO};
std::atomic<int64_t> failAt{0};
std::atomic<int64_t> counted{0};
std::atomic<bool> toolPathForced{false};
std::atomic<fault_injection::OperationHook> operationHook{nullptr};
}  // namespace

uint32_t ErrorFromErrno(int err)
{
    if (err == ENOENT)
        return ERROR_FILE_NOT_FOUND;
    if (err == ENOSPC || err == EDQUOT)
        return ERROR_DISK_FULL;
    return ERROR_INVALID_PARAMETER;
}

uint32_t GetLastFileError()
{
    return lastError;
}

int GetLastFileErrno()
{
    return lastErrno;
}

NarrowString GetLastSystemErrorText()
{
    return SystemErrorText(lastErrno);
}

NarrowString SystemErrorText(int err)
{
    if (err == 0) return NarrowString();
    char buffer[256];
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return NarrowString(text ? text : "");
}

void SetLastFileErrno(int err)
{
    fs_detail::StoreErrno(err);
}

void ClearLastFileError()
{
    fs_detail::ClearLastError();
}

namespace fs_detail {

std::string NativePath(const WideString& path)
{
    // Cut at an embedded 0, as every system call would read it.
    NarrowString narrow = PathToBytes(path);
    return std::string(narrow.Data());
}

uint32_t StoreError(uint32_t err)
{
    lastErrno = 0;
    lastError = err;
    return err;
}

uint32_t StoreErrno(int err)
{
    return StoreErrorWithErrno(ErrorFromErrno(err), err);
}

uint32_t StoreErrorWithErrno(uint32_t code, int err)
{
    StoreError(code);
    lastErrno = err;
    return code;
}

void ClearLastError()
{
    lastErrno = 0;
    lastError = 0;
}

bool InjectedFault()
{
    int64_t n = ++counted;
    if (fault_injection::OperationHook hook = operationHook.load())
        hook(n);
    int64_t armed = failAt.load();
    if (armed <= 0 || n != armed || !failAt.compare_exchange_strong(armed, 0))
        return false;
    const int err = injectedErrno.load();
    StoreErrno(err);
    errno = err;
    return true;
}

bool ToolPathForced()
{
    return toolPathForced.load();
}

}  // namespace fs_detail

namespace fault_injection {

void FailOperationAt(int64_t n, int err)
{
    injectedErrno.store(err);
    counted.store(0);
    failAt.store(n > 0 ? n : 0);
}

int64_t CountedOperations()
{
    return counted.load();
}

void ResetCount()
{
    counted.store(0);
}

void SetOperationHook(OperationHook hook)
{
    operationHook.store(hook);
}

}  // namespace fault_injection

namespace fs_testing {

void ForceToolPath(bool on)
{
    toolPathForced.store(on);
}

}  // namespace fs_testing
