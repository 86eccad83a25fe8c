#pragma once
// The install log (--log=FILE): one line per step, each with a UTC time
// stamp and the process id, names with their control characters escaped, appended and written at once, so that a kill leaves a complete
// prefix. It names paths, sizes, codes and outcomes, never file contents.
// The engine's steps arrive on its worker thread, the session's on the main
// thread; lines never mix.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#include "config/template_locations.h"
#include "engine/install_observer.h"
#include "fs/append_file.h"
#include "text/cow_string.h"

namespace tpl {

class KitReader;
struct PreparationResult;
struct PreparedInstallation;

class InstallLog : public InstallObserver {
public:
    // 0, or the error number with SystemError() telling why. Until it
    // succeeds every line below is dropped.
    uint32_t Open(const WideString& path);
    int SystemError() const { return file_.SystemError(); }

    void Started(int argc, char** argv);
    // The kit (path, size, language texts) or why the preparation failed.
    void Prepared(const PreparationResult& result, const PreparedInstallation& prepared, const KitReader& kit);
    void InstallationStarted(const WideString& targetDirectory);
    // unrecordedFile: the launcher file that could not be written, or empty.
    void Recorded(const WideString& directory, const std::vector<LauncherFileRecording>& recordings);
    void Finished(int exitStatus);

    void EntryHandled(const WideString& destination, EntryAction action, uint32_t code,
                      int systemError) override;
    void DirectoryCreated(const WideString& path) override;
    void Committed() override;
    void NothingToDo() override;
    void RolledBackStep(RollbackStep step, const WideString& path, bool done) override;
    void RolledBack(uint32_t code, bool complete) override;

    // One line: the time stamp, the process id in brackets, text and a line
    // feed. Names within text must have been escaped (EscapeControlCharacters).
    void Write(const std::string& text);

private:
    std::mutex mutex_;
    AppendFile file_;
};

// "error 183: File exists": the code with the system's text for errno, or
// for the code itself when the system gave none.
std::string DescribeError(uint32_t code, int systemError);

}  // namespace tpl
