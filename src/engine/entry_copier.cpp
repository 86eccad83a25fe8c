#include "engine/entry_copier.h"

#include <exception>
#include <system_error>
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "kit/kit_reader.h"

namespace tpl {

EntryCopier::EntryCopier(const KitReader& kit, uint32_t helpers) : kit_(kit) {
    try {
        helpers_.reserve(helpers);
        while (helpers_.size() < helpers) helpers_.emplace_back(&EntryCopier::CopyInTurn, this);
    } catch (const std::exception&) {
        // The threads that did start copy; with none the caller does.
    }
}

EntryCopier::~EntryCopier() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
        work_.notify_all();
    }
    for (std::thread& helper : helpers_) helper.join();
    // Left only when a copy is handed over after a stop: closed unwritten.
    for (Job& job : jobs_) FileClose(job.file);
}

uint32_t EntryCopier::Copy(const KitFileEntry& entry, UniqueFileHandle file, const WideString& destination,
                           EntryAction action) {
    Job job;
    job.entry.writeTime = entry.writeTime;
    job.entry.dataOffset = entry.dataOffset;
    job.entry.dataSize = entry.dataSize;
    job.destination = destination;
    job.action = action;
    if (helpers_.empty()) {
        job.file = file.Release();
        Finish(job, ownBuffer_);
        return failure_.code;
    }
    std::unique_lock<std::mutex> hold(lock_);
    if (jobs_.size() >= kQueueLength) {
        WakeHelpers();
        callerWaits_ = true;
        done_.wait(hold, [this] { return jobs_.size() < kQueueLength; });
        callerWaits_ = false;
    }
    job.file = file.Release();
    jobs_.push_back(std::move(job));
    // Helpers are woken for a handful of files at a time: a wake-up for
    // every small file would cost more than its copy.
    if (jobs_.size() >= kWakeBatch) WakeHelpers();
    return failure_.code;
}

uint32_t EntryCopier::Drain() {
    std::unique_lock<std::mutex> hold(lock_);
    WakeHelpers();
    callerWaits_ = true;
    done_.wait(hold, [this] { return jobs_.empty() && busy_ == 0; });
    callerWaits_ = false;
    return failure_.code;
}

void EntryCopier::WakeHelpers() {
    if (idle_ > 0 && !jobs_.empty()) work_.notify_all();
}

bool EntryCopier::Failed() {
    std::lock_guard<std::mutex> hold(lock_);
    return failure_.code != 0;
}

CopyFailure EntryCopier::Failure() {
    std::lock_guard<std::mutex> hold(lock_);
    if (failure_.code != 0 && failure_.systemErrno != 0) SetLastFileErrno(failure_.systemErrno);
    return failure_;
}

void EntryCopier::CopyInTurn() {
    std::unique_ptr<unsigned char[]> buffer;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        ++idle_;
        work_.wait(hold, [this] { return stopping_ || !jobs_.empty(); });
        --idle_;
        if (jobs_.empty()) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        ++busy_;
        hold.unlock();
        Finish(job, buffer);
        hold.lock();
        --busy_;
        if (callerWaits_) done_.notify_one();
    }
}

void EntryCopier::Finish(Job& job, std::unique_ptr<unsigned char[]>& buffer) {
    UniqueFileHandle file(job.file);
    uint32_t code = 0;
    {
        std::lock_guard<std::mutex> hold(lock_);
        code = failure_.code;
    }
    // After a failure the run is undone: what is left only needs closing.
    if (code != 0) return;
    try {
        // Touched only where the kernel cannot copy between the two files.
        if (!buffer) buffer.reset(new unsigned char[kKitCopyBufferSize]);
        code = kit_.CopyEntryData(job.entry, file.Get(), buffer.get(), kKitCopyBufferSize);
    } catch (const std::bad_alloc&) {
        code = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (code == 0) code = file.Reset();
    if (code == 0) return;
    const int cause = GetLastFileErrno();
    std::lock_guard<std::mutex> hold(lock_);
    if (failure_.code != 0) return;
    failure_.code = code;
    failure_.systemErrno = cause;
    failure_.destination = job.destination;
    failure_.action = job.action;
}

}  // namespace tpl
