// Completing interrupted installations from their journals.
#include "engine/journal/journal_recovery.h"

#include <algorithm>
#include <set>
#include <string>
#include "fs/dir_ops.h"
#include "fs/journal_file.h"
#include "text/convert.h"
#include "text/text_helpers.h"

namespace {

bool StartsWith(const WideString& text, const WideString& prefix)
{
    if (prefix.Length() > text.Length())
        return false;
    for (uint32_t i = 0; i < prefix.Length(); ++i)
        if (text[i] != prefix[i])
            return false;
    return true;
}

std::u16string Key(const WideString& path)
{
    return std::u16string(path.Data(), path.Length());
}

// Moves each backed-up file home. A file whose move into the backup had not
// completed (no M record) while the original still stands is left alone: the
// copy in the backup may be partial, the original is whole.
uint32_t RestoreBackups(const WideString& backupDirectory, const WideString& target,
                        const std::vector<JournalRecord>& records)
{
    std::set<std::u16string> moved;
    for (const JournalRecord& r : records)
        if (r.tag == 'M')
            moved.insert(Key(r.path));
    std::set<std::u16string> done;
    uint32_t restored = 0;
    for (const JournalRecord& r : records) {
        if (r.tag != 'B' || !StartsWith(r.path, target) || !done.insert(Key(r.path)).second)
            continue;
        WideString source = backupDirectory;
        source += r.path.Substring(target.Length());
        if (!PathExists(source))
            continue;
        if (moved.count(Key(r.path)) == 0 && PathExists(r.path))
            continue;
        if (MovePath(source, r.path) == 0)
            ++restored;
    }
    return restored;
}

}  // namespace

RecoveryReport RestoreFromJournal(const WideString& backupDirectory, const std::vector<JournalRecord>& records)
{
    RecoveryReport report;
    report.backupDirectory = backupDirectory;
    if (!records.empty() && records.front().tag == 'T')
        report.targetDirectory = records.front().path;
    report.committed = std::any_of(records.begin(), records.end(),
                                   [](const JournalRecord& r) { return r.tag == 'C'; });
    if (!report.committed && !report.targetDirectory.Empty()) {
        report.restoredFiles = RestoreBackups(backupDirectory, report.targetDirectory, records);
        // Children were recorded after their parents: remove the deepest first.
        for (auto it = records.rbegin(); it != records.rend(); ++it) {
            if (it->tag == 'D' && PathExists(it->path)) {
                RemoveTree(it->path);
                ++report.removedDirectories;
            }
        }
        for (const JournalRecord& r : records) {
            if (r.tag == 'F' && PathExists(r.path)) {
                DeleteFilePath(r.path);
                ++report.removedFiles;
            }
        }
    }
    RemoveTree(backupDirectory);
    return report;
}

std::vector<RecoveryReport> RecoverInterruptedInstallations()
{
    std::vector<RecoveryReport> reports;
    WideString temp;
    GetTempDirectory(&temp);
    std::vector<WideString> candidates;
    {
        FileFinder finder;
        for (bool found = finder.FindFirst(temp + u"wz4sx*"); found; found = finder.FindNext()) {
            if ((finder.FoundAttributes() & FILE_ATTRIBUTE_DIRECTORY) && !finder.FoundIsSymbolicLink())
                candidates.push_back(temp + finder.FoundName() + u"/");
        }
    }
    for (const WideString& directory : candidates) {
        if (!IsDirectoryOfCurrentUser(directory))
            continue;
        std::string contents;
        JournalLock lock;
        if (ReadUnlockedJournal(directory + kJournalFileName, &contents, &lock) != 0)
            continue;  // no journal, or its installation is still running
        reports.push_back(RestoreFromJournal(directory, DecodeJournal(contents)));
    }
    return reports;
}

NarrowString DescribeRecovery(const RecoveryReport& report)
{
    std::string line;
    if (report.committed) {
        line = "finished an interrupted installation into " + std::string(ToNarrow(report.targetDirectory).Data()) +
               ": it had completed; its backup was removed";
    } else {
        line = "rolled back an interrupted installation into " +
               std::string(ToNarrow(report.targetDirectory).Data()) + ": " +
               std::to_string(report.restoredFiles) + " replaced files restored, " +
               std::to_string(report.removedFiles) + " added files and " +
               std::to_string(report.removedDirectories) + " added directories removed";
    }
    return NarrowString(line.data(), static_cast<uint32_t>(line.size()));
}
