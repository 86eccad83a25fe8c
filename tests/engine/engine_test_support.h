#pragma once
// Fixtures for the engine tests: a private directory holding the template
// directory ("target") and the temporary directory ("tmp", also TMPDIR, so
// backup directories can be looked for), kits written by our own kit writer,
// and snapshots of whole trees to compare before and after a run.
#include <gtest/gtest.h>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>
#include "engine/install_engine.h"
#include "engine/install_status.h"
#include "kit/kit_reader.h"
#include "support/kit_test_support.h"
#include "support/private_directory.h"
#include "support/test_files.h"
#include "support/wide_text.h"

namespace tpl {

struct TreeItem {
    bool directory = false;
    bool link = false;
    std::string bytes;    // file content, or the link's target
    int64_t mtimeNs = 0;  // whole seconds only for directories
    mode_t mode = 0;
    bool operator==(const TreeItem& o) const {
        return directory == o.directory && link == o.link && bytes == o.bytes && mtimeNs == o.mtimeNs && mode == o.mode;
    }
};
using TreeSnapshot = std::map<std::string, TreeItem>;

// Every entry below root (links not followed), times to the nanosecond;
// withDirectoryTimes false leaves directory times out.
TreeSnapshot SnapshotTree(const std::string& root, bool withDirectoryTimes = true);
// The first difference, for failure messages; empty when equal.
std::string DescribeDifference(const TreeSnapshot& expected, const TreeSnapshot& actual);

FILETIME FileTimeOfSeconds(int64_t unixSeconds);
// What the engine last posted to the status block.
struct Posted {
    uint32_t code = 0;
    std::string text;
    int32_t percent = -1;
};
Posted ReadPosted(InstallStatus& status);

KitMemoryEntry Entry(const std::string& name, int64_t unixSeconds, const std::string& data);

class EngineTest : public PrivateDirectoryTest {
protected:
    EngineTest() : PrivateDirectoryTest({"engine_test", true}) {}
    void SetUp() override;
    void TearDown() override;

    std::string TargetPath(const std::string& relative) const { return target_ + "/" + relative; }
    // A file below the target with the given content, time and mode
    // (parents made as needed).
    void PutFile(const std::string& relative, const std::string& content, int64_t unixSeconds, mode_t mode = 0644);
    void PutDirectory(const std::string& relative, mode_t mode = 0755);
    // Gives the target and every directory below it an old modification
    // time, so a run that changes a directory's entries shows in its time.
    void AgeDirectories();
    std::string ReadFile(const std::string& path) const;
    bool Exists(const std::string& path) const;
    int64_t MtimeSeconds(const std::string& path) const;

    // Writes the kit and loads it into kit_.
    void LoadKit(const std::vector<KitMemoryEntry>& entries);
    // The same, returning the load's result.
    uint32_t TryLoadKit(const std::vector<KitMemoryEntry>& entries);
    // Posts the job (kit_, target directory) and runs one installation
    // without the success pause.
    uint32_t RunInstall(InstallEngine& engine);
    uint32_t RunInstall();
    // Names in the temporary directory that begin with "wz4sx".
    std::vector<std::string> BackupDirectoriesLeft() const;

    std::string target_;
    KitReader kit_;
    InstallStatus status_;
};

}  // namespace tpl
