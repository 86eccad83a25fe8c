#include "engine/install_status.h"

#include "catalog/message_catalog.h"
#include "engine/install_engine.h"
#include "fs/file_types.h"

namespace tpl {

namespace {
WorkerThread::ThreadCreator g_threadCreator = &pthread_create;
// A plain pointer, constant-initialised: a test build sets it from a static
// initialiser of its own, which may run before this file's.
WorkerThread::EntryHook g_entryHook = nullptr;

// Without a final state the wizard would poll the status block forever.
void PostFinal(InstallStatus* status, uint32_t code, const char* textId) {
    if (status) status->PostStatus(code, MessageCatalog::GetText(textId), 0);
}
}  // namespace

void WorkerThread::SetThreadCreatorForTesting(ThreadCreator creator) noexcept {
    g_threadCreator = creator ? creator : &pthread_create;
}

void WorkerThread::SetEntryHookForTesting(EntryHook hook) noexcept {
    g_entryHook = hook;
}

WorkerThread::~WorkerThread() {
    Join();
}

void WorkerThread::Start(InstallStatus* status, uint32_t successPauseMs) {
    Join();  // a previous run must have ended before its status is reused
    status_ = status;
    successPauseMs_ = successPauseMs;

    pthread_attr_t attributes;
    int result = pthread_attr_init(&attributes);
    if (result != 0) {
        PostFinal(status_, static_cast<uint32_t>(result), "IDS_INSTALL_ERROR");
        return;
    }
    result = g_threadCreator(&thread_, &attributes, &WorkerThread::Run, this);
    pthread_attr_destroy(&attributes);
    if (result == 0)
        joinable_ = true;
    else
        PostFinal(status_, static_cast<uint32_t>(result), "IDS_INSTALL_ERROR");
}

void WorkerThread::RequestStop() {
    if (status_) status_->RequestCancel();
}

void WorkerThread::Join() {
    if (!joinable_) return;
    pthread_join(thread_, nullptr);
    joinable_ = false;
}

void* WorkerThread::Run(void* self) {
    auto* worker = static_cast<WorkerThread*>(self);
    if (worker->status_ && worker->status_->IsCancelRequested()) {
        // Nothing was touched; the wizard still needs a final state to leave its loop.
        PostFinal(worker->status_, ERROR_CANCELLED, "IDS_CANCEL_FINISH");
        return nullptr;
    }
    InstallEngine engine;
    if (g_entryHook) engine.SetEntryHook(g_entryHook);
    engine.SetObserver(worker->observer_);
    engine.Run(worker->status_, worker->successPauseMs_);
    return nullptr;
}

}  // namespace tpl
