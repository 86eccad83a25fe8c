#pragma once
// The record shared by the GUI thread and the installation worker, guarded by
// one POSIX semaphore used as a lock.
#include <atomic>
#include <cstdint>
#include <pthread.h>
#include <semaphore.h>
#include "text/cow_string.h"

namespace tpl {

class InstallObserver;
class KitReader;

class InstallStatus {
public:
    InstallStatus() = default;
    ~InstallStatus();
    InstallStatus(const InstallStatus&) = delete;
    InstallStatus& operator=(const InstallStatus&) = delete;

    void Init();
    void PostStatus(uint32_t code, const WideString& text, int32_t percent);
    // kitSpent: the run is the kit's last use, and may let its unpacked file
    // go once every entry is written (see InstallEngine::Run).
    void PostJob(KitReader* kit, const WideString& targetDirectory, bool kitSpent = false);
    void TakeJob(KitReader** kit, WideString* targetDirectory, bool* kitSpent = nullptr);
    bool IsCancelRequested();
    // Asks the running installation to roll back and end with ERROR_CANCELLED.
    void RequestCancel();
    // While paused the worker holds between two entries (a question to the
    // user is open); a cancel request or an interruption still ends the hold.
    void SetPaused(bool paused);
    bool IsPaused();
    void ReadStatus(uint32_t* code, WideString* text, int32_t* percent);
    // What a failed run adds to its error text: the path it failed at and
    // the errno behind the failure (0 when none). Posted by the worker
    // before its failure status; cleared with each job.
    // A refused lock names who is in the way (reason) and the catalog text
    // (textId) that tells what failed, in place of the system's text.
    void PostFailureDetail(const WideString& path, int systemErrno, const WideString& reason = WideString(),
                           const char* textId = nullptr);
    // The path and, on a line of its own, what the system said.
    WideString ReadFailureDetail();
    // The path; *systemErrno (may be null) the errno.
    WideString ReadFailurePath(int* systemErrno);
    // The reason posted with the path, and its text id (null when none).
    WideString ReadFailureReason(const char** textId);

private:
    friend class StatusLock;
    sem_t lock_;
    KitReader* kit_ = nullptr;
    bool kitSpent_ = false;
    WideString targetDirectory_;
    bool cancelRequested_ = false;
    bool paused_ = false;
    uint32_t code_ = 0;
    WideString text_;
    int32_t percent_ = 0;
    WideString failurePath_;
    int failureErrno_ = 0;
    WideString failureReason_;
    const char* failureTextId_ = nullptr;
    WideString failureDetail_;
    bool initialized_ = false;
};

class WorkerThread {
public:
    // Signature of pthread_create; replaceable so tests can make a start fail.
    using ThreadCreator = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    // Called by every later run's engine after each entry (InstallEngine::SetEntryHook).
    using EntryHook = void (*)(uint32_t index);

    WorkerThread() = default;
    ~WorkerThread();  // joins a started thread
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // successPauseMs: pause after the success post (the wizard passes 1000).
    // A worker that cannot be started posts a final failure into the status.
    void Start(InstallStatus* status, uint32_t successPauseMs = 1000);
    // Asks the started run to stop: it rolls back and ends with
    // ERROR_CANCELLED (the status block carries the request to the engine,
    // which reads it between steps and while paused). Before Start, and
    // after the run, it does nothing.
    void RequestStop();
    // Told of every step of later runs (may be null; not owned; must outlive them).
    void SetObserver(InstallObserver* observer) noexcept { observer_ = observer; }
    // Waits for the worker to end (rollback included). Safe to call twice.
    void Join();

    static void SetThreadCreatorForTesting(ThreadCreator creator) noexcept;
    // Only a test build of the program sets one; nullptr removes it.
    static void SetEntryHookForTesting(EntryHook hook) noexcept;

private:
    static void* Run(void* self);
    InstallStatus* status_ = nullptr;
    pthread_t thread_{};
    uint32_t successPauseMs_ = 1000;
    bool joinable_ = false;
    InstallObserver* observer_ = nullptr;
};

}  // namespace tpl
