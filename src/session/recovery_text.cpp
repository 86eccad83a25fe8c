#include "session/recovery_text.h"

#include "catalog/language_rules.h"
#include "catalog/message_catalog.h"
#include "fs/user_names.h"
#include "session/console_text.h"

namespace tpl {

namespace {

// The catalog text of id in the console's language, its numbers grouped.
std::string Sentence(const char* id, std::initializer_list<uint64_t> numbers) {
    return WithNumbers(LanguageCode(ConsoleLanguage()), ConsoleCatalogUtf8(id), numbers);
}

}  // namespace

std::string RecoveryMessage(const RecoveryReport& report, size_t width) {
    const ConsolePiece target{ConsoleCatalogUtf8("IDS_TEMPLATE_CATALOG"), report.targetDirectory};
    const ConsolePiece backup{ConsoleCatalogUtf8("IDS_RECOVERY_BACKUP"), report.backupDirectory};
    if (report.missing)
        return ConsoleMessage({{Sentence("IDS_RECOVERY_MISSING", {}), WideString()}, target, backup}, width);
    if (report.foreign) {
        // A name, not a count: nothing to group.
        std::string text = ConsoleCatalogUtf8("IDS_RECOVERY_FOREIGN");
        const size_t place = text.find("%1");
        if (place != std::string::npos) text.replace(place, 2, UserName(report.foreignOwner));
        return ConsoleMessage({{text, WideString()}, backup}, width);
    }
    if (report.busy) return ConsoleMessage({{Sentence("IDS_RECOVERY_BUSY", {}), WideString()}, target, backup}, width);
    if (report.unreadable) return ConsoleMessage({{Sentence("IDS_RECOVERY_UNREADABLE", {}), WideString()}, backup}, width);
    if (report.committed) return ConsoleMessage({{Sentence("IDS_RECOVERY_COMMITTED", {}), WideString()}, target}, width);
    std::vector<ConsolePiece> pieces = {
        {Sentence("IDS_RECOVERY_ROLLEDBACK", {report.restoredFiles, report.removedFiles, report.removedDirectories}),
         WideString()},
        target};
    if (report.keptFiles > 0) {
        pieces.push_back({Sentence("IDS_RECOVERY_KEPT", {report.keptFiles}), WideString()});
        pieces.push_back(backup);
    }
    return ConsoleMessage(pieces, width);
}

}  // namespace tpl
