#include "engine_test_support.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include "text/convert.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {
void SetTimes(const std::string& path, int64_t unixSeconds, long nanoseconds = 0) {
    const struct timespec times[2] = {{static_cast<time_t>(unixSeconds), nanoseconds},
                                      {static_cast<time_t>(unixSeconds), nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}
}  // namespace

TreeSnapshot SnapshotTree(const std::string& root, bool withDirectoryTimes) {
    TreeSnapshot snapshot;
    for (auto it = fsys::recursive_directory_iterator(root); it != fsys::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().string();
        struct stat status;
        if (lstat(path.c_str(), &status) != 0) continue;
        TreeItem item;
        item.mode = status.st_mode & 07777;
        item.directory = S_ISDIR(status.st_mode);
        item.link = S_ISLNK(status.st_mode);
        if (item.directory) {
            item.mtimeNs = withDirectoryTimes
                               ? static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec
                               : 0;
        } else {
            item.mtimeNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
            // A FIFO or a device is never opened: reading it could block.
            if (item.link)
                item.bytes = fsys::read_symlink(path).string();
            else if (S_ISREG(status.st_mode))
                item.bytes = ReadWholeFile(path);
            else
                item.bytes = S_ISFIFO(status.st_mode) ? "<fifo>" : "<special>";
            if (item.link) item.mtimeNs = 0;
        }
        snapshot[path.substr(root.size())] = item;
    }
    return snapshot;
}

std::string DescribeDifference(const TreeSnapshot& expected, const TreeSnapshot& actual) {
    for (const auto& [path, item] : expected) {
        auto found = actual.find(path);
        if (found == actual.end()) return "missing " + path;
        if (!(found->second == item)) {
            std::ostringstream text;
            text << "changed " << path << ": mode " << std::oct << item.mode << "->" << found->second.mode << std::dec
                 << " mtime " << item.mtimeNs << "->" << found->second.mtimeNs << " size " << item.bytes.size() << "->"
                 << found->second.bytes.size();
            return text.str();
        }
    }
    for (const auto& entry : actual)
        if (expected.count(entry.first) == 0) return "added " + entry.first;
    return std::string();
}

Posted ReadPosted(InstallStatus& status) {
    Posted posted;
    WideString text;
    status.ReadStatus(&posted.code, &text, &posted.percent);
    posted.text = Narrow(text);
    return posted;
}

FILETIME FileTimeOfSeconds(int64_t unixSeconds) {
    return static_cast<FILETIME>(unixSeconds + 11644473600LL) * 10000000u;
}

KitMemoryEntry Entry(const std::string& name, int64_t unixSeconds, const std::string& data) {
    KitMemoryEntry entry;
    entry.name = Wide(name);
    entry.writeTime = FileTimeOfSeconds(unixSeconds);
    entry.data = data;
    return entry;
}

void EngineTest::SetUp() {
    PrivateDirectoryTest::SetUp();
    target_ = Path("target");
    fsys::create_directory(target_);
    status_.Init();
}

void EngineTest::TearDown() {
    kit_.Release();
    PrivateDirectoryTest::TearDown();
}

void EngineTest::PutFile(const std::string& relative, const std::string& content, int64_t unixSeconds, mode_t mode) {
    const std::string path = TargetPath(relative);
    fsys::create_directories(fsys::path(path).parent_path());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    SetTimes(path, unixSeconds);
}

void EngineTest::PutDirectory(const std::string& relative, mode_t mode) {
    const std::string path = TargetPath(relative);
    fsys::create_directories(path);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

void EngineTest::AgeDirectories() {
    constexpr int64_t kAged = 1400000000;
    // A part below the second, which a rollback must put back too.
    constexpr long kAgedNanoseconds = 987654321;
    std::vector<std::string> directories = {target_};
    for (const auto& entry : fsys::recursive_directory_iterator(target_))
        if (entry.is_directory() && !entry.is_symlink()) directories.push_back(entry.path().string());
    for (const std::string& directory : directories) SetTimes(directory, kAged, kAgedNanoseconds);
}

std::string EngineTest::ReadFile(const std::string& path) const {
    return ReadWholeFile(path);
}

bool EngineTest::Exists(const std::string& path) const {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

int64_t EngineTest::MtimeSeconds(const std::string& path) const {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_mtim.tv_sec) : -1;
}

void EngineTest::LoadKit(const std::vector<KitMemoryEntry>& entries) {
    ASSERT_EQ(TryLoadKit(entries), 0u);
    ASSERT_EQ(kit_.GetFileEntryCount(), entries.size());
}

uint32_t EngineTest::TryLoadKit(const std::vector<KitMemoryEntry>& entries) {
    KitTableLayout layout;
    std::vector<KitLanguageEntry> languages(1);
    languages[0].code = u"en";
    const WideString kitPath = Wide(root_ + "/qbx4.tkx");
    const uint32_t written = WriteKitFromMemory(kitPath, languages, layout, entries);
    return written != 0 ? written : kit_.Load(kitPath);
}

uint32_t EngineTest::RunInstall(InstallEngine& engine) {
    status_.PostJob(&kit_, Wide(target_));
    return engine.Run(&status_, 0);
}

uint32_t EngineTest::RunInstall() {
    InstallEngine engine;
    return RunInstall(engine);
}

std::vector<std::string> EngineTest::BackupDirectoriesLeft() const {
    std::vector<std::string> names;
    for (const auto& entry : fsys::directory_iterator(tmp_)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("wz4sx", 0) == 0) names.push_back(name);
    }
    return names;
}

}  // namespace tpl
