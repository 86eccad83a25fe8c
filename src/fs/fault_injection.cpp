// The test-only fault counter.
#include "fs/fault_injection.h"

#include <atomic>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include "fs/last_error.h"

namespace {
std::atomic<int> injectedErrno{EIO};
std::atomic<int64_t> failAt{0};
std::atomic<int64_t> counted{0};
std::atomic<fault_injection::OperationHook> operationHook{nullptr};

// What the power-loss model knows of one written file.
struct WrittenFile {
    int fd = -1;         // a duplicate, so the file is found again after renames
    off_t onDisk = 0;    // the length of its data that has reached the disk
    dev_t device = 0;
};
std::atomic<bool> tracking{false};
std::mutex trackedLock;
std::map<std::pair<dev_t, ino_t>, WrittenFile> tracked;

void ForgetTracked() {
    for (auto& entry : tracked) close(entry.second.fd);
    tracked.clear();
}

off_t CurrentSize(int fd) {
    struct stat status;
    return fstat(fd, &status) == 0 ? status.st_size : 0;
}
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

void NoteDataWrite(int fd) {
    if (!tracking.load()) return;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return;
    std::lock_guard<std::mutex> hold(trackedLock);
    const auto key = std::make_pair(status.st_dev, status.st_ino);
    if (tracked.count(key) != 0) return;
    const int copy = dup(fd);
    if (copy >= 0) tracked[key] = WrittenFile{copy, status.st_size, status.st_dev};
}

void NoteDataSynced(int fd) {
    if (!tracking.load()) return;
    struct stat status;
    if (fstat(fd, &status) != 0) return;
    std::lock_guard<std::mutex> hold(trackedLock);
    const auto found = tracked.find(std::make_pair(status.st_dev, status.st_ino));
    if (found != tracked.end()) found->second.onDisk = status.st_size;
}

void NoteFileSystemSynced(int fd) {
    if (!tracking.load()) return;
    struct stat status;
    if (fstat(fd, &status) != 0) return;
    std::lock_guard<std::mutex> hold(trackedLock);
    for (auto& entry : tracked)
        if (entry.second.device == status.st_dev) entry.second.onDisk = CurrentSize(entry.second.fd);
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

void TrackUnsyncedData(bool on) {
    std::lock_guard<std::mutex> hold(trackedLock);
    ForgetTracked();
    tracking.store(on);
}

void SimulatePowerLoss() {
    std::lock_guard<std::mutex> hold(trackedLock);
    for (auto& entry : tracked)
        if (CurrentSize(entry.second.fd) > entry.second.onDisk) (void)!ftruncate(entry.second.fd, entry.second.onDisk);
    ForgetTracked();
    tracking.store(false);
}

}  // namespace fault_injection
