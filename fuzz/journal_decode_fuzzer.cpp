// Feeds arbitrary bytes to the journal reader, as a recovery meets a journal
// left on disk (torn by a crash, or forged). Besides crashes it checks what
// recovery relies on: records are read one after another up to the first
// damaged one, so a journal cut short or with bytes after it reads as the
// same records up to there.
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
#include "journal/install_journal.h"
#include "text/path_bytes.h"

namespace tpl {
namespace {

bool SameRecord(const JournalRecord& a, const JournalRecord& b) {
    return a.tag == b.tag && a.path == b.path && a.exact == b.exact && a.identity.device == b.identity.device &&
           a.identity.inode == b.identity.inode && a.times.writeSeconds == b.times.writeSeconds &&
           a.times.writeNanoseconds == b.times.writeNanoseconds && a.times.accessSeconds == b.times.accessSeconds &&
           a.times.accessNanoseconds == b.times.accessNanoseconds;
}

// True when every record of prefix stands, the same, at the start of whole.
bool StartsWith(const std::vector<JournalRecord>& whole, const std::vector<JournalRecord>& prefix) {
    if (prefix.size() > whole.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (!SameRecord(whole[i], prefix[i])) return false;
    return true;
}

}  // namespace

int DecodeOneInput(const uint8_t* data, size_t size) {
    static const bool localeSet = setlocale(LC_ALL, "C.UTF-8") != nullptr;
    (void)localeSet;
    const std::string contents(reinterpret_cast<const char*>(data), size);
    const std::vector<JournalRecord> records = DecodeJournal(contents);
    // A torn last write: what was read before the cut is read the same.
    const std::vector<JournalRecord> cut = DecodeJournal(contents.substr(0, size / 2));
    if (!StartsWith(records, cut)) std::abort();
    // Anything after the journal's end leaves its records as they were.
    const std::vector<JournalRecord> extended = DecodeJournal(contents + "T 3:/x\n");
    if (!StartsWith(extended, records)) std::abort();
    // The records that name a path come back from their own encoding.
    for (const JournalRecord& record : records) {
        if (!record.exact || record.tag == 'N' || record.tag == 'I') continue;
        const std::vector<JournalRecord> again =
            DecodeJournal(EncodeJournalRecord(record.tag, PathToBytes(record.path)));
        if (again.size() != 1 || !SameRecord(again[0], record)) std::abort();
    }
    return 0;
}

}  // namespace tpl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tpl::DecodeOneInput(data, size);
}
