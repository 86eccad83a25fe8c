// The executable's path and the working directory, without length limits.
#include "fs/process_paths.h"

#include <filesystem>
#include <string>

using tpl::NarrowString;

namespace {

NarrowString FromStd(const std::string& text) {
    return NarrowString(text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace

NarrowString GetExecutablePath() {
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
    return error ? NarrowString() : FromStd(path);
}

NarrowString GetCurrentDirectory() {
    std::error_code error;
    const std::string path = std::filesystem::current_path(error).string();
    return error ? NarrowString() : FromStd(path);
}
