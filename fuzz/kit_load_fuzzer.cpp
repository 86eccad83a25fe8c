// Feeds arbitrary bytes to the kit loader as a kit file, then extracts a few
// entries and looks up the texts of whatever loaded.
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "fs/file_io.h"
#include "fs/unique_file_handle.h"
#include "kit/kit_reader.h"
#include "text/convert.h"

namespace tpl {
namespace {

std::string g_directory;

void RemoveDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(g_directory, ignored);
}

// A private directory that is also the loader's TMPDIR, removed at exit.
const std::string& WorkDirectory() {
    if (g_directory.empty()) {
        setlocale(LC_ALL, "C.UTF-8");
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kitfuzz_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        g_directory = pattern;
        setenv("TMPDIR", g_directory.c_str(), 1);
        std::atexit(RemoveDirectory);
    }
    return g_directory;
}

bool WriteInput(const WideString& path, const uint8_t* data, size_t size) {
    UniqueFileHandle handle;
    if (FileOpen(path, GENERIC_WRITE, 0, CREATE_ALWAYS, handle.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0) return false;
    uint32_t written = 0;
    if (size > 0 && FileWrite(handle.Get(), data, static_cast<uint32_t>(size), &written, nullptr) != 0) return false;
    return FileTruncate(handle.Get()) == 0;
}

}  // namespace

int LoadOneInput(const uint8_t* data, size_t size) {
    const std::string& directory = WorkDirectory();
    const WideString kit = ToWide((directory + "/input.tkx").c_str());
    if (!WriteInput(kit, data, size)) std::abort();

    KitReader reader;
    if (reader.Load(kit) != 0) {
        if (reader.GetFileEntryCount() != 0 || !reader.GetTemporaryPath().Empty()) std::abort();
        return 0;
    }
    const WideString output = ToWide((directory + "/entry.out").c_str());
    const uint32_t count = reader.GetFileEntryCount();
    for (uint32_t i = 0; i < count && i < 4; ++i) {
        // Loading checked every entry against the body, so extraction cannot fail.
        if (reader.ExtractEntry(i, output) != 0) std::abort();
    }
    WideString product, vendor;
    reader.GetProductTexts(u"en", &product, &vendor);
    (void)reader.GetDescriptionPath(u"de");
    return 0;
}

}  // namespace tpl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tpl::LoadOneInput(data, size);
}
