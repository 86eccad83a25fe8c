#include "session/entry_tally.h"

#include "catalog/language_rules.h"
#include "catalog/message_catalog.h"
#include "text/utf8.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

std::string ChangeCountsLine(const ChangeCounts& counts) {
    return std::to_string(counts.added) + " added, " + std::to_string(counts.replaced) + " replaced, " +
           std::to_string(counts.kept) + " kept";
}

std::string ChangeCountsText(int32_t languageId, const ChangeCounts& counts) {
    const char* pattern = MessageCatalog::FindUtf8(languageId, "IDS_SUMMARY_COUNTS");
    if (pattern == nullptr) return ChangeCountsLine(counts);
    return WithNumbers(LanguageCode(languageId), pattern, {counts.added, counts.replaced, counts.kept});
}

namespace {
// A page has room for a few names; the backup directory holds them all.
constexpr size_t kNamedUnrestoredFiles = 2;

WideString Number(uint32_t value) {
    return GroupedNumberText(value);
}

// A path inside a sentence goes on a line of its own, where it can be
// read (and broken) as the path it is.
WideString PathOnItsOwnLine(const WideString& path) {
    return WideString(u"\n") + path + WideString(u"\n");
}

void TrimBlanksAroundLineBreaks(WideString* text) {
    ReplaceAll(*text, u" \n", u"\n");
    ReplaceAll(*text, u"\n ", u"\n");
    while (!text->Empty() && (*text)[0] == u'\n') *text = text->Substring(1);
    while (!text->Empty() && (*text)[text->Length() - 1] == u'\n') *text = text->Substring(0, text->Length() - 1);
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
        if (step == RollbackStep::FileRemoved && !done && summary_.notRemovedCount++ <= kNamedUnrestoredFiles)
            summary_.notRemoved.push_back(path);
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
        FormatPattern(CountText("IDS_SUCCESS_INSTALLED", written), {Number(written), PathOnItsOwnLine(directory)});
    TrimBlanksAroundLineBreaks(&report);
    // A user's own newer copy stays where it is: the page says so.
    if (changes.replaced > 0 || changes.kept > 0) {
        report += u"\n";
        report += FormatPattern(MessageCatalog::GetText("IDS_SUCCESS_CHANGES"),
                                {Number(changes.replaced), Number(changes.kept)});
    }
    return report;
}

namespace {
// Up to kNamedUnrestoredFiles of paths, below the template directory as the
// kit names them, one a line.
void AppendSomePaths(const std::vector<WideString>& paths, size_t named, const WideString& directory,
                     WideString* report) {
    const WideString prefix = WithSeparator(directory);
    for (size_t i = 0; i < paths.size() && i < named; ++i) {
        const WideString& path = paths[i];
        *report += u"\n";
        *report += !directory.Empty() && PathStartsWith(path, prefix) ? path.Substring(prefix.Length()) : path;
    }
    if (paths.size() > named && named > 1) *report += u"\n\u2026";
}
}  // namespace

WideString UndoneReport(const InstallSummary& summary, const WideString& directory, const char* finishTextId,
                        const WideString& reason, const WideString& detail) {
    WideString report;
    if (summary.notRestored.empty() && summary.notRemoved.empty()) report = MessageCatalog::GetText(finishTextId);
    // The usual text would claim an unchanged directory.
    // Both kinds at once leave the page room for the first replaced file
    // only; the log and the next start name the rest.
    const bool both = !summary.notRestored.empty() && !summary.notRemoved.empty();
    const size_t named = both ? 1 : kNamedUnrestoredFiles;
    if (!summary.notRestored.empty()) {
        report = MessageCatalog::GetText("IDS_ROLLBACK_INCOMPLETE");
        AppendSomePaths(summary.notRestored, named, directory, &report);
        if (!summary.backupDirectory.Empty()) {
            report += u"\n";
            report += MessageCatalog::GetText("IDS_ROLLBACK_KEPTIN");
            report += both ? u" " : u"\n";
            report += summary.backupDirectory;
        }
    }
    if (!summary.notRemoved.empty()) {
        if (!report.Empty()) report += u"\n";
        report += MessageCatalog::GetText("IDS_ROLLBACK_UNREMOVED");
        if (!both) AppendSomePaths(summary.notRemoved, named, directory, &report);
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
