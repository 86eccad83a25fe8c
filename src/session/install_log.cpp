#include "session/install_log.h"

#include <cerrno>
#include <chrono>
#include <ctime>

#include <unistd.h>

#include "catalog/message_catalog.h"
#include "fs/file_io.h"
#include "fs/file_types.h"
#include "kit/kit_reader.h"
#include "session/console_text.h"
#include "session/install_preparation.h"
#include "text/utf8.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// A name or a kit's text as UTF-8, escaped: a name with a line feed in it
// must not forge a line of the log.
std::string Utf8(const WideString& text) {
    const NarrowString utf8 = ToUtf8(text);
    return EscapeControlCharactersAndBackslash(std::string(utf8.Data(), utf8.Length()));
}

// 2026-12-07T12:30:01.042Z
std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts{};
    char text[48] = "?";
    if (gmtime_r(&seconds, &parts) != nullptr) {
        char whole[32];
        std::strftime(whole, sizeof whole, "%Y-%m-%dT%H:%M:%S", &parts);
        std::snprintf(text, sizeof text, "%s.%03dZ", whole, static_cast<int>(millis));
    }
    return text;
}

const char* RollbackStepText(RollbackStep step, bool done) {
    switch (step) {
        case RollbackStep::FileRemoved:
            return done ? "rollback removed added file: " : "rollback could not remove added file: ";
        case RollbackStep::FileRestored:
            return done ? "rollback restored: " : "rollback could not restore (kept in the backup): ";
        case RollbackStep::DirectoryRemoved: break;
    }
    return done ? "rollback removed created directory: " : "rollback could not remove created directory: ";
}

}  // namespace

std::string DescribeError(uint32_t code, int systemError) {
    return ErrorReasonText(code, systemError).Data();
}

uint32_t InstallLog::Open(const WideString& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_.Open(path);
}

void InstallLog::Write(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.IsOpen()) return;
    // The process id tells apart the lines of runs that share one log.
    const std::string line = TimeStamp() + " [" + std::to_string(::getpid()) + "] " + text + "\n";
    // A log that fills the disk must not stop the installation.
    (void)file_.Append(line.data(), line.size());
}

void InstallLog::Started(int argc, char** argv) {
    std::string line = "started:";
    for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
        line += " ";
        line += EscapeControlCharactersAndBackslash(argv[i]);
    }
    Write(line);
}

void InstallLog::Prepared(const PreparationResult& result, const PreparedInstallation& prepared,
                          const KitReader& kit) {
    if (!prepared.kitPath.Empty()) {
        uint32_t size = 0;
        const bool sized = GetFileSizeByPath(prepared.kitPath, &size) == 0;
        Write("kit: " + Utf8(prepared.kitPath) + (sized ? ", " + std::to_string(size) + " bytes" : std::string()) +
              (kit.GetFileEntryCount() > 0 ? ", " + std::to_string(kit.GetFileEntryCount()) + " entries" : std::string()));
    }
    for (const KitLanguageEntry& language : kit.GetLanguageEntries()) {
        Write("kit language " + Utf8(language.code) + ": product \"" + Utf8(language.product) + "\", vendor \"" +
              Utf8(language.vendor) + "\", description \"" + Utf8(language.descriptionPath) + "\"");
    }
    const KitSignatureCheck& signature = prepared.signature;
    if (signature.verified) {
        Write("kit signature: verified, key " + signature.keyId + ", trusted comment \"" +
              EscapeControlCharacters(signature.trustedComment) + "\"");
    } else if (!signature.Ok()) {
        Write("kit signature: refused" + (signature.keyId.empty() ? std::string() : ", key " + signature.keyId) +
              ": " + Utf8(signature.path) + ": " + EscapeControlCharacters(signature.reason));
    }
    if (result.interrupted) Write("preparation interrupted by a signal");
    if (result.errorTextId != nullptr) {
        const char* english = MessageCatalog::FindUtf8(kEnglishLanguageId, result.errorTextId);
        // What failed in words, where, and why: never the text's identifier.
        std::string line = std::string("preparation failed: ") + (english ? english : "");
        if (!result.errorPath.Empty()) line += ": " + Utf8(result.errorPath);
        if (!result.errorReason.Empty()) line += std::string(": ") + result.errorReason.Data();
        Write(line);
    }
}

void InstallLog::InstallationStarted(const WideString& targetDirectory) {
    Write("target: " + Utf8(targetDirectory));
}

void InstallLog::Recorded(const WideString& directory, const std::vector<LauncherFileRecording>& recordings) {
    // As the launcher file holds it: less one trailing separator.
    std::string recorded = Utf8(directory);
    if (recorded.size() > 1 && recorded.back() == '/') recorded.pop_back();
    for (const LauncherFileRecording& recording : recordings) {
        const std::string file = Utf8(recording.path);
        switch (recording.action) {
            case LauncherFileAction::Skipped:
                Write("launcher file: not recorded (--no-record)");
                break;
            case LauncherFileAction::Unchanged:
                Write("launcher file: " + file + " already lists " + recorded + " first; nothing written");
                break;
            case LauncherFileAction::Updated:
            case LauncherFileAction::Created:
                Write("launcher file: recorded " + recorded + " in " + file + " (" +
                      LauncherFileActionName(recording.action) + ")");
                break;
            case LauncherFileAction::Failed:
                Write("launcher file: could not record " + recorded + " in " + file + ": " +
                      SystemErrorText(recording.systemErrno).Data());
                break;
        }
    }
}

void InstallLog::Finished(int exitStatus) {
    Write("exit status " + std::to_string(exitStatus));
}

void InstallLog::EntryHandled(const WideString& destination, EntryAction action, uint32_t code, int systemError) {
    if (code != 0) {
        Write("failed (" + DescribeError(code, systemError) + "): " + Utf8(destination));
        return;
    }
    switch (action) {
        case EntryAction::Add: Write("added: " + Utf8(destination)); break;
        case EntryAction::Replace: Write("replaced (backed up): " + Utf8(destination)); break;
        case EntryAction::Keep: Write("kept (up to date): " + Utf8(destination)); break;
        case EntryAction::Blocked: break;
    }
}

void InstallLog::DirectoryCreated(const WideString& path) {
    Write("directory created: " + Utf8(path));
}

void InstallLog::NothingToDo() {
    Write("nothing to do: every file is up to date");
}

void InstallLog::Committed() {
    Write("committed");
}

void InstallLog::RolledBackStep(RollbackStep step, const WideString& path, bool done) {
    Write(RollbackStepText(step, done) + Utf8(path));
}

void InstallLog::RolledBack(uint32_t code, bool complete) {
    std::string line =
        code == ERROR_CANCELLED ? "rolled back after a cancel" : "rolled back after a failure: " + DescribeError(code, 0);
    if (!complete) line += "; replaced files that could not be restored stay in the backup directory";
    Write(line);
}

}  // namespace tpl
