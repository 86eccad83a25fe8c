#include "session/entry_tally.h"

#include "catalog/message_catalog.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

std::string ChangeCountsLine(const ChangeCounts& counts) {
    return std::to_string(counts.added) + " added, " + std::to_string(counts.replaced) + " replaced, " +
           std::to_string(counts.kept) + " kept";
}

namespace {
// A page has room for a few names; the backup directory holds them all.
constexpr size_t kNamedUnrestoredFiles = 2;

WideString Number(uint32_t value) {
    return FromInteger(static_cast<int32_t>(value), 10);
}
}  // namespace

void EntryTally::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    summary_ = InstallSummary();
}

InstallSummary EntryTally::Summary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return summary_;
}

int32_t EntryTally::RollbackPercent(int32_t from) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (summary_.rolledBack || from <= 0) return 0;
    // Every file added or replaced and every directory made is one step
    // back (an entry written twice is counted twice, so the bar may stop
    // short of 0 until the end).
    const uint64_t steps = uint64_t{summary_.changes.added} + summary_.changes.replaced + summary_.directoriesCreated;
    if (steps == 0) return from;
    const uint64_t left = summary_.undoneSteps >= steps ? 0 : steps - summary_.undoneSteps;
    return static_cast<int32_t>(uint64_t{static_cast<uint32_t>(from)} * left / steps);
}

void EntryTally::EntryHandled(const WideString& destination, EntryAction action, uint32_t code, int systemError) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (code == 0) {
            if (action == EntryAction::Add) ++summary_.changes.added;
            if (action == EntryAction::Replace) ++summary_.changes.replaced;
            if (action == EntryAction::Keep) ++summary_.changes.kept;
        }
    }
    if (next_) next_->EntryHandled(destination, action, code, systemError);
}

void EntryTally::DirectoryCreated(const WideString& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++summary_.directoriesCreated;
    }
    if (next_) next_->DirectoryCreated(path);
}

void EntryTally::NothingToDo() {
    if (next_) next_->NothingToDo();
}

void EntryTally::Committed() {
    if (next_) next_->Committed();
}

void EntryTally::RolledBackStep(RollbackStep step, const WideString& path, bool done) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++summary_.undoneSteps;
        if (step == RollbackStep::FileRestored && !done) summary_.notRestored.push_back(path);
    }
    if (next_) next_->RolledBackStep(step, path, done);
}

void EntryTally::BackupKept(const WideString& backupDirectory) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        summary_.backupDirectory = backupDirectory;
    }
    if (next_) next_->BackupKept(backupDirectory);
}

void EntryTally::RolledBack(uint32_t code, bool complete) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        summary_.rolledBack = true;
    }
    if (next_) next_->RolledBack(code, complete);
}

WideString SuccessReport(const InstallSummary& summary, const WideString& directory) {
    const ChangeCounts& changes = summary.changes;
    const uint32_t written = changes.added + changes.replaced;
    WideString report =
        FormatPattern(MessageCatalog::GetText(written == 1 ? "IDS_SUCCESS_INSTALLED_ONE" : "IDS_SUCCESS_INSTALLED"),
                      {Number(written), directory});
    // A user's own newer copy stays where it is: the page says so.
    if (changes.replaced > 0 || changes.kept > 0) {
        report += u"\n";
        report += FormatPattern(MessageCatalog::GetText("IDS_SUCCESS_CHANGES"),
                                {Number(changes.replaced), Number(changes.kept)});
    }
    return report;
}

WideString UndoneReport(const InstallSummary& summary, const WideString& directory, const char* finishTextId,
                        const WideString& reason, const WideString& detail) {
    WideString report;
    if (summary.notRestored.empty()) {
        report = MessageCatalog::GetText(finishTextId);
    } else {
        // The usual text would claim an unchanged directory.
        report = MessageCatalog::GetText("IDS_ROLLBACK_INCOMPLETE");
        for (size_t i = 0; i < summary.notRestored.size() && i < kNamedUnrestoredFiles; ++i) {
            // Below the template directory, as the kit names them.
            const WideString& path = summary.notRestored[i];
            const WideString prefix = WithSeparator(directory);
            report += u"\n";
            report += !directory.Empty() && PathStartsWith(path, prefix) ? path.Substring(prefix.Length()) : path;
        }
        if (summary.notRestored.size() > kNamedUnrestoredFiles) report += u"\n\u2026";
        if (!summary.backupDirectory.Empty()) {
            report += u"\n";
            report += MessageCatalog::GetText("IDS_ROLLBACK_KEPTIN");
            report += u"\n";
            report += summary.backupDirectory;
        }
    }
    if (!reason.Empty()) {
        report += u"\n\n";
        report += reason;
        if (!detail.Empty()) {
            report += u"\n";
            report += detail;
        }
    }
    return report;
}

}  // namespace tpl
