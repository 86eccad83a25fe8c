#include "temp_home.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include "text/convert.h"

namespace tpl {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

void TempHomeTest::SetUp() {
    PrivateDirectoryTest::SetUp();
    mainUser_ = home_ + "/.Vq/pivotrun/pivotrun.cfg";
    altUser_ = home_ + "/.Vq/pivotrunt/pivotrun.cfg";
    mainCommon_ = home_ + "/.qbx4//.Vq/pivotrun/pivotrun.cfg";
}

}  // namespace tpl
