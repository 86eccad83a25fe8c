// The test-only fault counter.
#include "fs/fault_injection.h"

#include <atomic>
#include "fs/last_error.h"

namespace {
std::atomic<int> injectedErrno{EIO};
std::atomic<int64_t> failAt{0};
std::atomic<int64_t> counted{0};
std::atomic<fault_injection::OperationHook> operationHook{nullptr};
}  // namespace

namespace fs_detail {

bool InjectedFault() {
    int64_t n = ++counted;
    if (fault_injection::OperationHook hook = operationHook.load()) hook(n);
    int64_t armed = failAt.load();
    if (armed <= 0 || n != armed || !failAt.compare_exchange_strong(armed, 0)) return false;
    const int err = injectedErrno.load();
    StoreErrno(err);
    errno = err;
    return true;
}

}  // namespace fs_detail

namespace fault_injection {

void FailOperationAt(int64_t n, int err) {
    injectedErrno.store(err);
    counted.store(0);
    failAt.store(n > 0 ? n : 0);
}

int64_t CountedOperations() {
    return counted.load();
}

void ResetCount() {
    counted.store(0);
}

void SetOperationHook(OperationHook hook) {
    operationHook.store(hook);
}

}  // namespace fault_injection
