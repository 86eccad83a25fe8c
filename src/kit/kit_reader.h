#pragma once
// Finds, unpacks and reads a distribution kit, and copies entries out of it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include "kit/kit_body_reader.h"
#include "kit/kit_file_table.h"
#include "fs/path_identity.h"
#include "kit/kit_format.h"
#include "kit/kit_load_observer.h"
#include "kit/kit_trailer.h"

namespace tpl {

// The kit path: beside the executable, or in the current directory.
// Empty when the directory cannot be determined.
WideString LocateKitFile(bool useCurrentDirectory);

// Raw-inflates the kit into outputPath (which must exist). 0 or an error number.
[[nodiscard]] uint32_t InflateKitToFile(const WideString& kitPath, const WideString& outputPath);

class KitReader {
public:
    KitReader();
    ~KitReader();  // closes and deletes the temporary file
    KitReader(const KitReader&) = delete;
    KitReader& operator=(const KitReader&) = delete;

    // Unpacks the kit into a "txk" temporary file and reads its tables. The
    // observer (may be null) follows the unpacking and may stop it.
    // With expectedKit, only that version of the kit file is unpacked (the
    // one whose signature was checked): ERROR_FILE_INVALID otherwise.
    [[nodiscard]] uint32_t Load(const WideString& kitPath, KitLoadObserver* observer = nullptr,
                                const FileVersion* expectedKit = nullptr);
    // Writes entry index to destination with its write time. Worker thread.
    [[nodiscard]] uint32_t ExtractEntry(uint32_t index, const WideString& destination);
    // The same into an empty file the caller has opened for writing (and
    // still owns): its contents become the entry's, its time the entry's.
    [[nodiscard]] uint32_t ExtractEntryTo(uint32_t index, FileHandle target);
    // The same for an entry already read, through the caller's buffer where
    // the kernel cannot copy: several threads may copy entries at once
    // (while none releases or loads the kit).
    [[nodiscard]] uint32_t CopyEntryData(const KitFileEntry& entry, FileHandle target, unsigned char* buffer,
                                         uint32_t bufferSize) const;

    void GetProductTexts(const WideString& languageCode, WideString* product, WideString* vendor) const;
    WideString GetDescriptionPath(const WideString& languageCode) const;

    uint32_t GetFileEntryCount() const noexcept { return files_.Count(); }
    // Read back from the unpacked kit (its names are not kept in memory),
    // cheaply in table order. An entry that cannot be read any more comes
    // with an empty name, which no installation accepts.
    KitFileEntry GetFileEntry(uint32_t index) const;
    const std::vector<KitLanguageEntry>& GetLanguageEntries() const noexcept { return languages_; }
    // Closes and deletes the temporary file now (also done by the destructor).
    // The file entries go with it; the language texts stay readable.
    void Release() noexcept;
    // Whether the last successful load found and checked an integrity trailer.
    KitTrailerState GetTrailerState() const noexcept { return trailer_; }

private:
    std::vector<KitLanguageEntry> languages_;
    WideString tempPath_;
    FileHandle tempHandle_ = INVALID_FILE_HANDLE;
    // The table and its reader over the unpacked kit move as entries are
    // read; the lock keeps readers on different threads apart.
    mutable std::mutex tableLock_;
    mutable KitFileTable files_;
    mutable std::unique_ptr<BufferedFileBodyReader> tableReader_;
    std::unique_ptr<unsigned char[]> copyBuffer_;
    KitTrailerState trailer_ = KitTrailerState::Absent;

    uint32_t LoadSteps(const WideString& kitPath, KitLoadObserver* observer, const FileVersion* expectedKit);
    // GetFileEntry, with the reason when the entry cannot be read.
    uint32_t ReadFileEntry(uint32_t index, KitFileEntry* entry) const;
    // Copies count bytes of the unpacked kit at offset to target's position.
    uint32_t CopyThroughBuffer(uint64_t offset, uint32_t count, FileHandle target, unsigned char* buffer,
                               uint32_t bufferSize) const;
};

}  // namespace tpl
