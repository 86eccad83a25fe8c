#include "support/install_sandbox.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/message_catalog.h"
#include "text/convert.h"

namespace fs = std::filesystem;

namespace {
void Remember(const char* name, std::string* saved, bool* had) {
    const char* value = std::getenv(name);
    *had = value != nullptr;
    if (value) *saved = value;
}

void Restore(const char* name, const std::string& saved, bool had) {
    if (had) setenv(name, saved.c_str(), 1);
    else unsetenv(name);
}
}  // namespace

void InstallSandboxTest::SetUp() {
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/app_install_tests.XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ + "/home";
    tmp_ = root_ + "/tmp";
    cwd_ = root_ + "/cwd";
    for (const std::string& dir : {home_, tmp_, cwd_}) fs::create_directories(dir);
    Remember("HOME", &savedHome_, &hadHome_);
    Remember("TMPDIR", &savedTmpdir_, &hadTmpdir_);
    setenv("HOME", home_.c_str(), 1);
    setenv("TMPDIR", tmp_.c_str(), 1);
    savedCwd_ = fs::current_path().string();
    fs::current_path(cwd_);
}

void InstallSandboxTest::TearDown() {
    fs::current_path(savedCwd_);
    Restore("HOME", savedHome_, hadHome_);
    Restore("TMPDIR", savedTmpdir_, hadTmpdir_);
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void InstallSandboxTest::WriteKit(const std::vector<KitMemoryEntry>& entries, bool withTrailer) {
    KitLanguageEntry english{u"en", u"Product", u"Vendor", u""};
    const std::string kit = cwd_ + "/qbx4.tkx";
    ASSERT_EQ(WriteKitFromMemory(ToWide(kit.c_str()), {english}, KitTableLayout(), entries, 9, withTrailer), 0u);
}

void InstallSandboxTest::WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string InstallSandboxTest::ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool InstallSandboxTest::Exists(const std::string& path) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

void InstallSandboxTest::NameTemplateLocation(const std::string& directory) {
    WriteFile(home_ + "/.Vq/pivotrun/pivotrun.cfg", "ConfigurationTemplatesLocation=" + directory + "\n");
}

std::vector<std::string> InstallSandboxTest::TemporaryLeftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tmp_)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("txk", 0) == 0 || name.rfind("wz4sx", 0) == 0) names.push_back(name);
    }
    return names;
}
