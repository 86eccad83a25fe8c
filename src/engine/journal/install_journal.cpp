// Encoding, decoding and writing of the installation journal.
#include "engine/journal/install_journal.h"

#include "fs/file_types.h"
#include "text/convert.h"

namespace {

// Steps that destroy nothing (creating what did not exist) are only written
// to the kernel; steps that move a user's file away are forced to disk first,
// so that even a power loss cannot hide where the file went.
bool NeedsSync(char tag)
{
    return tag == 'T' || tag == 'B' || tag == 'C';
}

}  // namespace

std::string EncodeJournalRecord(char tag, const NarrowString& path)
{
    std::string record;
    record.reserve(path.Length() + 16);
    record += tag;
    record += ' ';
    record += std::to_string(path.Length());
    record += ':';
    record.append(path.Data(), path.Length());
    record += '\n';
    return record;
}

std::vector<JournalRecord> DecodeJournal(const std::string& contents)
{
    std::vector<JournalRecord> records;
    size_t pos = 0;
    while (pos + 4 <= contents.size()) {
        const char tag = contents[pos];
        if (contents[pos + 1] != ' ')
            break;
        size_t colon = contents.find(':', pos + 2);
        if (colon == std::string::npos || colon == pos + 2 || colon - pos > 12)
            break;
        uint64_t length = 0;
        bool digits = true;
        for (size_t i = pos + 2; i < colon; ++i) {
            if (contents[i] < '0' || contents[i] > '9') {
                digits = false;
                break;
            }
            length = length * 10 + static_cast<uint64_t>(contents[i] - '0');
        }
        if (!digits || length > contents.size() - colon - 1)
            break;
        const size_t end = colon + 1 + static_cast<size_t>(length);
        if (end >= contents.size() || contents[end] != '\n')
            break;
        NarrowString narrow(contents.data() + colon + 1, static_cast<uint32_t>(length));
        records.push_back({tag, ToWide(narrow)});
        pos = end + 1;
    }
    return records;
}

uint32_t InstallJournal::Begin(const WideString& backupDirectory, const WideString& targetDirectory)
{
    path_ = backupDirectory;
    path_ += kJournalFileName;
    records_.clear();
    uint32_t code = file_.Create(path_);
    if (code != ERROR_SUCCESS)
        return code;
    return Record('T', targetDirectory);
}

uint32_t InstallJournal::Record(char tag, const WideString& path)
{
    if (!file_.IsOpen())
        return ERROR_SUCCESS;
    records_.push_back({tag, path});
    return file_.Append(EncodeJournalRecord(tag, ToNarrow(path)), NeedsSync(tag));
}

uint32_t InstallJournal::RecordCommit()
{
    return Record('C', WideString());
}
