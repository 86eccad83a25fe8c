// Encoding, decoding and writing of the installation journal.
#include "journal/install_journal.h"

#include <cstring>

#include "fs/file_io.h"
#include "fs/path_ops.h"
#include "text/path_bytes.h"

namespace tpl {

namespace {

// Always forced to disk: the target (without it nothing can be found
// again), the commit (without it a half-removed backup would be "restored"
// over the installed files) and the end of a rollback that kept files.
// Moves into the backup are forced by the engine only when the backup lies
// on another file system (the move is then a copy, and the recovery has to
// know whether it completed); on the same one a rename is atomic and the
// recovery finds moved files by walking the backup directory. Creations are
// only written to the kernel: a power loss that loses such a record leaves
// an added file behind, never loses one of the user's.
bool NeedsSync(char tag) {
    return tag == 'T' || tag == 'C' || tag == 'R';
}

bool ParseDecimal(const std::string& text, size_t begin, size_t end, uint64_t* value) {
    if (begin == end || end - begin > 20) return false;
    uint64_t result = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    *value = result;
    return true;
}

bool ParseSigned(const std::string& text, size_t begin, size_t end, int64_t* value) {
    const bool negative = begin < end && text[begin] == '-';
    uint64_t magnitude = 0;
    if (!ParseDecimal(text, begin + (negative ? 1 : 0), end, &magnitude) || magnitude > INT64_MAX) return false;
    *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// "as ans ms mns" before the first ":".
bool ParseTimes(const std::string& payload, size_t colon, PathTimes* times) {
    int64_t* fields[] = {&times->accessSeconds, &times->accessNanoseconds, &times->writeSeconds,
                         &times->writeNanoseconds};
    size_t begin = 0;
    for (size_t i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? payload.find(' ', begin) : colon;
        if (end == std::string::npos || end > colon || !ParseSigned(payload, begin, end, fields[i])) return false;
        begin = end + 1;
    }
    return times->accessNanoseconds >= 0 && times->accessNanoseconds < 1000000000 && times->writeNanoseconds >= 0 &&
           times->writeNanoseconds < 1000000000;
}

// "device inode" before the first ":".
bool ParseIdentity(const std::string& payload, size_t colon, PathIdentity* identity) {
    const size_t blank = payload.find(' ');
    if (blank == std::string::npos || blank > colon || !ParseDecimal(payload, 0, blank, &identity->device) ||
        !ParseDecimal(payload, blank + 1, colon, &identity->inode))
        return false;
    identity->known = true;
    return true;
}

// The tags a run writes; any other byte there is damage.
bool IsKnownTag(char tag) {
    return tag != '\0' && std::strchr("TDIFBMNXRCU", tag) != nullptr;
}

// The fields of an N or I record before its path; false when malformed.
bool DecodeFields(char tag, const std::string& payload, size_t colon, JournalRecord* record) {
    if (tag == 'I') return ParseIdentity(payload, colon, &record->identity);
    return ParseTimes(payload, colon, &record->times);
}

// Turns a record's payload into its path (and times or identity); false
// when malformed.
bool DecodePayload(char tag, const std::string& payload, JournalRecord* record) {
    std::string path = payload;
    if (tag == 'N' || tag == 'I') {
        const size_t colon = payload.find(':');
        if (colon == std::string::npos || !DecodeFields(tag, payload, colon, record)) return false;
        path = payload.substr(colon + 1);
    }
    const NarrowString narrow(path.data(), static_cast<uint32_t>(path.size()));
    record->path = PathFromBytes(narrow.Data(), narrow.Length());
    const NarrowString back = PathToBytes(record->path);
    record->exact = std::string(back.Data(), back.Length()) == path;
    return true;
}

}  // namespace

std::string EncodeJournalRecord(char tag, const NarrowString& payload) {
    std::string record;
    record.reserve(payload.Length() + 16);
    record += tag;
    record += ' ';
    record += std::to_string(payload.Length());
    record += ':';
    record.append(payload.Data(), payload.Length());
    record += '\n';
    return record;
}

std::vector<JournalRecord> DecodeJournal(const std::string& contents) {
    std::vector<JournalRecord> records;
    size_t pos = 0;
    while (pos + 4 <= contents.size()) {
        const char tag = contents[pos];
        if (!IsKnownTag(tag) || contents[pos + 1] != ' ') break;
        const size_t colon = contents.find(':', pos + 2);
        uint64_t length = 0;
        if (colon == std::string::npos || colon - pos > 12 || !ParseDecimal(contents, pos + 2, colon, &length)) break;
        if (length > contents.size() - colon - 1) break;
        const size_t end = colon + 1 + static_cast<size_t>(length);
        if (end >= contents.size() || contents[end] != '\n') break;
        JournalRecord record;
        record.tag = tag;
        if (!DecodePayload(tag, contents.substr(colon + 1, static_cast<size_t>(length)), &record)) break;
        records.push_back(record);
        pos = end + 1;
    }
    return records;
}

uint32_t InstallJournal::Begin(const OwnedDirectory& backup, const WideString& targetDirectory) {
    path_ = backup.Path();
    path_ += kJournalFileName;
    const uint32_t code = file_.CreateAt(backup.Get(), kJournalFileName);
    if (code != ERROR_SUCCESS) return code;
    return Record('T', targetDirectory);
}

uint32_t InstallJournal::Record(char tag, const WideString& path, bool forceToDisk) {
    if (!file_.IsOpen()) return ERROR_SUCCESS;
    return file_.Append(EncodeJournalRecord(tag, PathToBytes(path)), forceToDisk || NeedsSync(tag));
}

uint32_t InstallJournal::RecordPlanned(char tag, const WideString& path) {
    return file_.AppendLater(EncodeJournalRecord(tag, PathToBytes(path)));
}

uint32_t InstallJournal::RecordDirectoryTime(const WideString& directory, const PathTimes& times) {
    if (!file_.IsOpen()) return ERROR_SUCCESS;
    const std::string payload = std::to_string(times.accessSeconds) + " " + std::to_string(times.accessNanoseconds) +
                                " " + std::to_string(times.writeSeconds) + " " +
                                std::to_string(times.writeNanoseconds) + ":";
    NarrowString text(payload.data(), static_cast<uint32_t>(payload.size()));
    text += PathToBytes(directory);
    return file_.Append(EncodeJournalRecord('N', text), NeedsSync('N'));
}

uint32_t InstallJournal::RecordDirectoryIdentity(const WideString& directory, const PathIdentity& identity) {
    if (!file_.IsOpen()) return ERROR_SUCCESS;
    const std::string payload = std::to_string(identity.device) + " " + std::to_string(identity.inode) + ":";
    NarrowString text(payload.data(), static_cast<uint32_t>(payload.size()));
    text += PathToBytes(directory);
    return file_.Append(EncodeJournalRecord('I', text), NeedsSync('I'));
}

uint32_t InstallJournal::RecordFileIdentity(const WideString& file, const PathIdentity& identity) {
    if (!file_.IsOpen()) return ERROR_SUCCESS;
    const std::string payload = std::to_string(identity.device) + " " + std::to_string(identity.inode) + ":";
    NarrowString text(payload.data(), static_cast<uint32_t>(payload.size()));
    text += PathToBytes(file);
    return file_.AppendLater(EncodeJournalRecord('I', text));
}

uint32_t InstallJournal::RecordCommit() {
    return Record('C', WideString());
}

void InstallJournal::Remove() noexcept {
    file_.Remove();
}

}  // namespace tpl
