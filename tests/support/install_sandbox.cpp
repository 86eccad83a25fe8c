#include "support/install_sandbox.h"

#include "support/test_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/message_catalog.h"
#include "text/convert.h"

namespace tpl {

namespace fs = std::filesystem;

void InstallSandboxTest::SetUp() {
    PrivateDirectoryTest::SetUp();
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
}

void InstallSandboxTest::TearDown() {
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    PrivateDirectoryTest::TearDown();
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
    return ReadWholeFile(path);
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

}  // namespace tpl
