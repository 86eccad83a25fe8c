#pragma once
// Fixtures for the kit tests: a private directory whose "tmp" is the
// loader's TMPDIR (so leftover "txk" files can be counted), raw deflate of
// hand-built bodies, and small file helpers.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "kit/kit_body_codec.h"
#include "kit/kit_writer.h"
#include "support/private_directory.h"
#include "support/test_files.h"
#include "support/wide_text.h"

namespace tpl {

ByteVector DeflateRaw(const ByteVector& body, int level = 9);
void WriteBytes(const std::string& path, const ByteVector& bytes);
void WriteBytes(const std::string& path, const std::string& bytes);
// Deterministic bytes: random (incompressible) or repeating (compressible).
std::string NoiseBytes(size_t size, uint32_t seed);
std::string PatternBytes(size_t size);
// The number of open descriptors of this process.
size_t OpenDescriptorCount();

// A whole kit from entries held in memory; entries' data are laid out one
// after the other in table order.
struct KitMemoryEntry {
    WideString name;
    FILETIME writeTime = 0;
    std::string data;
};

// How a test lays out a kit's tables: as the writer does by default, or
// with another header flag and extra bytes after every record, which the
// format allows and readers skip, though the writer never makes them.
struct KitTableLayout {
    bool singleLanguageForm = false;
    uint32_t tableFlag = 1;
    uint32_t recordPadding = 0;
};
ByteVector EncodeKitTables(const std::vector<KitLanguageEntry>& languages, const std::vector<KitFileRecord>& files,
                           const KitTableLayout& layout);

[[nodiscard]] uint32_t WriteKitFromMemory(const WideString& path, const std::vector<KitLanguageEntry>& languages,
                                          const KitTableLayout& layout, const std::vector<KitMemoryEntry>& entries,
                                          int level = 9, bool withTrailer = true);

class KitTest : public PrivateDirectoryTest {
protected:
    KitTest() : PrivateDirectoryTest({"kit_test", true}) {}

    WideString WPath(const std::string& name) const { return Wide(Path(name)); }
    // "txk" files left in the loader's temporary directory.
    int LeftoverTempFiles() const;
    // The contents of the one "txk" file there: the unpacked body of the kit
    // a reader holds.
    std::string UnpackedBody() const;
    // Writes a kit body as a raw deflate stream into the file "name".
    WideString WriteBodyKit(const std::string& name, const ByteVector& body);
    // A table-form kit with one "en" language and the given entries.
    WideString WriteSimpleKit(const std::string& name, const std::vector<KitMemoryEntry>& entries,
                              bool withTrailer = true, int level = 9);
};

}  // namespace tpl
