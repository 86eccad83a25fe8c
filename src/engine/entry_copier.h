#pragma once
// Writes the contents of the files a run makes, on helper threads, while the
// run goes on to make the next ones: making a file (its name and inode) and
// filling it are then spread over the cores, for many small entries and for
// large ones alike. The run hands over each new, empty file; the copier
// fills it, gives it the entry's time and closes it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include "fs/unique_file_handle.h"
#include "kit/kit_format.h"
#include "kit/kit_entry_action.h"
#include "text/cow_string.h"

namespace tpl {

class KitReader;

// The first copy that failed: where, how and why.
struct CopyFailure {
    uint32_t code = 0;
    int systemErrno = 0;
    WideString destination;
    EntryAction action = EntryAction::Add;
};

class EntryCopier {
public:
    // helpers: threads to copy on; with none (or none that start) every copy
    // is made at once by the caller.
    EntryCopier(const KitReader& kit, uint32_t helpers);
    ~EntryCopier();  // waits for every copy
    EntryCopier(const EntryCopier&) = delete;
    EntryCopier& operator=(const EntryCopier&) = delete;

    // Hands over file, made empty for entry at destination (action: what it
    // does there). Returns the code of the first copy that failed so far,
    // this one's when it is made at once; see Failure().
    uint32_t Copy(const KitFileEntry& entry, UniqueFileHandle file, const WideString& destination, EntryAction action);
    // Waits until every file handed over is written and closed; the first
    // failure's code, or 0.
    uint32_t Drain();
    // Whether a copy has failed (without waiting for the others).
    bool Failed();
    // The first failure; its errno becomes the calling thread's last error.
    CopyFailure Failure();

private:
    struct Job {
        KitFileEntry entry;  // without its name
        FileHandle file = INVALID_FILE_HANDLE;
        WideString destination;
        EntryAction action = EntryAction::Add;
    };
    // Jobs waiting at most: the run stays at most this far ahead.
    static constexpr size_t kQueueLength = 64;
    static constexpr size_t kWakeBatch = 8;

    void CopyInTurn();
    // Fills and closes the job's file; false when it failed (kept in failure_).
    void Finish(Job& job, std::unique_ptr<unsigned char[]>& buffer);

    const KitReader& kit_;
    // Wakes the helpers that sleep, when there is work. Under lock_.
    void WakeHelpers();

    std::mutex lock_;
    std::condition_variable work_;  // helpers wait for jobs
    std::condition_variable done_;  // the caller waits for room or for the end
    std::deque<Job> jobs_;
    size_t busy_ = 0;  // jobs taken and not yet finished
    size_t idle_ = 0;  // helpers asleep
    bool callerWaits_ = false;
    bool stopping_ = false;
    CopyFailure failure_;
    std::unique_ptr<unsigned char[]> ownBuffer_;  // the caller's, when it copies itself
    std::vector<std::thread> helpers_;
};

}  // namespace tpl
