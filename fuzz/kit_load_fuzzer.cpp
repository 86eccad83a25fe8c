// Feeds arbitrary bytes to the kit loader as a kit file, then extracts a few
// entries and looks up the texts of whatever loaded.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include "fuzz_work_directory.h"
#include "kit/kit_reader.h"
#include "text/convert.h"

namespace tpl {

namespace {

// "txk" files in the loader's temporary directory: a failed load leaves none.
int UnpackedBodiesLeft() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FuzzWorkDirectory()))
        if (entry.path().filename().string().rfind("txk", 0) == 0) ++count;
    return count;
}

}  // namespace

int LoadOneInput(const uint8_t* data, size_t size) {
    const WideString kit = WriteFuzzInput("input.tkx", data, size);

    KitReader reader;
    if (reader.Load(kit) != 0) {
        if (reader.GetFileEntryCount() != 0 || UnpackedBodiesLeft() != 0) std::abort();
        return 0;
    }
    const WideString output = ToWide((FuzzWorkDirectory() + "/entry.out").c_str());
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
