#include "engine/install_status.h"

#include <cerrno>
#include "fs/last_error.h"
#include "text/convert.h"
#include "text/utf8.h"

namespace tpl {

// Holds the status block's semaphore for one scope, so every way out of an
// operation (an exception while copying a string included) gives it back.
class StatusLock {
public:
    explicit StatusLock(InstallStatus& status) : lock_(&status.lock_) {
        while (sem_wait(lock_) != 0 && errno == EINTR) {
        }
    }
    ~StatusLock() { sem_post(lock_); }
    StatusLock(const StatusLock&) = delete;
    StatusLock& operator=(const StatusLock&) = delete;

private:
    sem_t* lock_;
};

InstallStatus::~InstallStatus() {
    if (initialized_) sem_destroy(&lock_);
}

void InstallStatus::Init() {
    if (!initialized_) {
        sem_init(&lock_, 0, 1);
        initialized_ = true;
    }
    StatusLock hold(*this);
    targetDirectory_ = WideString();
    text_ = WideString();
}

void InstallStatus::PostStatus(uint32_t code, const WideString& text, int32_t percent) {
    StatusLock hold(*this);
    code_ = code;
    text_ = text;
    percent_ = percent;
}

void InstallStatus::PostJob(KitReader* kit, const WideString& targetDirectory, bool kitSpent) {
    StatusLock hold(*this);
    code_ = 0;
    percent_ = 0;
    cancelRequested_ = false;
    paused_ = false;
    failurePath_ = WideString();
    failureErrno_ = 0;
    failureReason_ = WideString();
    failureTextId_ = nullptr;
    kit_ = kit;
    kitSpent_ = kitSpent;
    targetDirectory_ = targetDirectory;
    if (!targetDirectory_.Empty() && !targetDirectory_.EndsWith(u'/'))
        targetDirectory_.Append(u'/');
}

void InstallStatus::TakeJob(KitReader** kit, WideString* targetDirectory, bool* kitSpent) {
    StatusLock hold(*this);
    if (kit) *kit = kit_;
    if (kitSpent) *kitSpent = kitSpent_;
    if (targetDirectory) *targetDirectory = targetDirectory_;
}

bool InstallStatus::IsCancelRequested() {
    StatusLock hold(*this);
    return cancelRequested_;
}

void InstallStatus::RequestCancel() {
    StatusLock hold(*this);
    cancelRequested_ = true;
}

void InstallStatus::PostFailureDetail(const WideString& path, int systemErrno, const WideString& reason,
                                      const char* textId) {
    StatusLock hold(*this);
    failurePath_ = path;
    failureErrno_ = systemErrno;
    failureReason_ = reason;
    failureTextId_ = textId;
}

WideString InstallStatus::ReadFailureDetail() {
    int systemErrno = 0;
    WideString detail = ReadFailurePath(&systemErrno);
    const char* textId = nullptr;
    const WideString reason = ReadFailureReason(&textId);
    if (!reason.Empty()) {
        detail += u"\n";
        detail += reason;
    } else if (systemErrno != 0) {
        detail += u"\n";
        detail += FromUtf8(SystemErrorText(systemErrno).Data());
    }
    return detail;
}

WideString InstallStatus::ReadFailurePath(int* systemErrno) {
    StatusLock hold(*this);
    if (systemErrno) *systemErrno = failureErrno_;
    return failurePath_;
}

WideString InstallStatus::ReadFailureReason(const char** textId) {
    StatusLock hold(*this);
    *textId = failureTextId_;
    return failureReason_;
}

void InstallStatus::SetPaused(bool paused) {
    StatusLock hold(*this);
    paused_ = paused;
}

bool InstallStatus::IsPaused() {
    StatusLock hold(*this);
    return paused_;
}

void InstallStatus::ReadStatus(uint32_t* code, WideString* text, int32_t* percent) {
    StatusLock hold(*this);
    if (code) *code = code_;
    if (text) *text = text_;
    if (percent) *percent = percent_;
}

}  // namespace tpl
