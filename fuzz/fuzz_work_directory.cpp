#include "fuzz_work_directory.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include "fs/file_io.h"
#include "fs/unique_file_handle.h"
#include "text/convert.h"

namespace tpl {
namespace {

std::string g_directory;

void RemoveDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(g_directory, ignored);
}

}  // namespace

const std::string& FuzzWorkDirectory() {
    if (g_directory.empty()) {
        setlocale(LC_ALL, "C.UTF-8");
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/fuzz_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        g_directory = pattern;
        setenv("TMPDIR", g_directory.c_str(), 1);
        std::atexit(RemoveDirectory);
    }
    return g_directory;
}

WideString WriteFuzzInput(const char* name, const uint8_t* data, size_t size) {
    const WideString path = ToWide((FuzzWorkDirectory() + "/" + name).c_str());
    UniqueFileHandle handle;
    if (FileOpen(path, GENERIC_WRITE, 0, CREATE_ALWAYS, handle.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0) std::abort();
    if (WriteAll(handle.Get(), data, size) != 0 || FileTruncate(handle.Get()) != 0) std::abort();
    return path;
}

}  // namespace tpl
