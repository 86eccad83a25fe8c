#include "kit/kit_reader.h"

#include <new>
#include "fs/file_copy.h"
#include "fs/file_io.h"
#include "fs/path_ops.h"
#include "fs/temp_file_claim.h"
#include "fs/temp_names.h"
#include "fs/unique_file_handle.h"
#include "kit/kit_body_reader.h"
#include "kit/kit_inflate.h"
#include "kit/kit_table_parser.h"
#include "text/text_helpers.h"

namespace tpl {

KitReader::KitReader() : copyBuffer_(new unsigned char[kKitCopyBufferSize]) {}

KitReader::~KitReader() {
    Release();
}

void KitReader::Release() noexcept {
    {
        std::lock_guard<std::mutex> lock(tableLock_);
        files_.Clear();
        tableReader_.reset();
    }
    if (tempHandle_ != INVALID_FILE_HANDLE) {
        FileClose(tempHandle_);
        tempHandle_ = INVALID_FILE_HANDLE;
    }
    if (!tempPath_.Empty()) {
        DeleteFilePath(tempPath_);
        tempPath_ = WideString();
    }
    trailer_ = KitTrailerState::Absent;
}

uint32_t KitReader::LoadSteps(const WideString& kitPath, KitLoadObserver* observer, const FileVersion* expectedKit) {
    WideString tempDirectory;
    uint32_t code = GetTempDirectory(&tempDirectory);
    if (code != 0) return code;
    code = MakeTempFileName(tempDirectory, kKitTempPrefix, &tempPath_);
    if (code != 0) return code;
    // Held open and claimed from the start, so that the next start of the
    // installer can tell this file from one a killed run left behind.
    code = FileOpen(tempPath_, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, &tempHandle_, FILE_ATTRIBUTE_NORMAL);
    if (code != 0) return code;
    code = ClaimOpenFile(tempHandle_);
    if (code != 0) return code;

    KitInflateResult inflated;
    code = InflateKit(kitPath, tempPath_, kKitMaxBodySize, &inflated, observer, expectedKit);
    if (code != 0) return code;

    std::lock_guard<std::mutex> lock(tableLock_);
    tableReader_.reset(new BufferedFileBodyReader(tempHandle_));
    uint32_t dataStart = 0;
    ReadKitTables(*tableReader_, inflated.bodySize, languages_, files_, &dataStart);
    trailer_ = inflated.trailer;
    return 0;
}

uint32_t KitReader::Load(const WideString& kitPath, KitLoadObserver* observer, const FileVersion* expectedKit) {
    // A second load starts from scratch: the first one's file goes.
    Release();
    languages_.clear();
    uint32_t code = 0;
    try {
        code = LoadSteps(kitPath, observer, expectedKit);
    } catch (const KitReadFailure& failure) {
        code = failure.code != 0 ? failure.code : ERROR_INVALID_DATA;
    } catch (const std::bad_alloc&) {
        code = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (code != 0) Release();
    return code;
}

uint32_t KitReader::CopyThroughBuffer(uint64_t offset, uint32_t count, FileHandle target, unsigned char* buffer,
                                     uint32_t bufferSize) const {
    uint32_t remaining = count;
    while (remaining > 0) {
        // Reading no more than the entry needs keeps small entries from
        // pulling a whole buffer of their neighbours through the cache.
        const uint32_t want = remaining < bufferSize ? remaining : bufferSize;
        uint32_t got = 0;
        uint32_t code = FileReadAt(tempHandle_, offset, buffer, want, &got);
        if (code != 0) return code;
        if (got == 0) return ERROR_INVALID_DATA;  // the unpacked kit ends before the entry does
        code = WriteAll(target, buffer, got);
        if (code != 0) return code;
        offset += got;
        remaining -= got;
    }
    return 0;
}

uint32_t KitReader::ExtractEntry(uint32_t index, const WideString& destination) {
    if (tempHandle_ == INVALID_FILE_HANDLE) return ERROR_INVALID_HANDLE;
    if (index >= GetFileEntryCount()) return ERROR_INVALID_PARAMETER;
    UniqueFileHandle target;
    uint32_t code = FileOpen(destination, GENERIC_WRITE, 0, CREATE_ALWAYS, target.OutPtr(), FILE_ATTRIBUTE_NORMAL);
    // The open keeps what the file held: it is emptied first.
    if (code == 0) code = FileTruncate(target.Get());
    if (code == 0) code = ExtractEntryTo(index, target.Get());
    if (code != 0) return code;
    return target.Reset();
}

uint32_t KitReader::ReadFileEntry(uint32_t index, KitFileEntry* entry) const {
    std::lock_guard<std::mutex> lock(tableLock_);
    if (!tableReader_ || index >= files_.Count()) return ERROR_INVALID_PARAMETER;
    try {
        *entry = files_.Entry(*tableReader_, index);
    } catch (const KitReadFailure& failure) {
        return failure.code != 0 ? failure.code : ERROR_INVALID_DATA;
    }
    return 0;
}

KitFileEntry KitReader::GetFileEntry(uint32_t index) const {
    KitFileEntry entry;
    if (ReadFileEntry(index, &entry) != 0) return KitFileEntry();
    return entry;
}

uint32_t KitReader::ExtractEntryTo(uint32_t index, FileHandle target) {
    if (tempHandle_ == INVALID_FILE_HANDLE) return ERROR_INVALID_HANDLE;
    KitFileEntry entry;
    const uint32_t read = ReadFileEntry(index, &entry);
    if (read != 0) return read;
    return CopyEntryData(entry, target, copyBuffer_.get(), kKitCopyBufferSize);
}

uint32_t KitReader::CopyEntryData(const KitFileEntry& entry, FileHandle target, unsigned char* buffer,
                                  uint32_t bufferSize) const {
    if (tempHandle_ == INVALID_FILE_HANDLE) return ERROR_INVALID_HANDLE;
    // The kernel copies from the unpacked kit's pages straight into the
    // destination's; where it cannot, the entry goes through the buffer.
    uint32_t copied = 0;
    uint32_t code = FileCopyRange(tempHandle_, entry.dataOffset, target, entry.dataSize, &copied);
    if (code == ERROR_NOT_SUPPORTED) {
        code = CopyThroughBuffer(entry.dataOffset, entry.dataSize, target, buffer, bufferSize);
    } else if (code == 0 && copied != entry.dataSize) {
        code = ERROR_INVALID_DATA;  // the unpacked kit ends before the entry does
    }
    if (code != 0) return code;
    return FileSetWriteTime(target, nullptr, nullptr, &entry.writeTime);
}

namespace {

// The language's own text, else the kit's English one, else its first
// language's: a kit written for one language still names its product.
template <typename Field>
WideString TextWithFallback(const std::vector<KitLanguageEntry>& languages, const WideString& languageCode,
                            Field field) {
    const WideString english(u"en");
    for (const WideString& code : {languageCode, english}) {
        for (const KitLanguageEntry& language : languages) {
            if (CompareNoCase(language.code, code) == 0 && !(language.*field).Empty()) return language.*field;
        }
    }
    for (const KitLanguageEntry& language : languages) {
        if (!(language.*field).Empty()) return language.*field;
    }
    return WideString();
}

}  // namespace

void KitReader::GetProductTexts(const WideString& languageCode, WideString* product, WideString* vendor) const {
    if (product != nullptr) *product = TextWithFallback(languages_, languageCode, &KitLanguageEntry::product);
    if (vendor != nullptr) *vendor = TextWithFallback(languages_, languageCode, &KitLanguageEntry::vendor);
}

WideString KitReader::GetDescriptionPath(const WideString& languageCode) const {
    return TextWithFallback(languages_, languageCode, &KitLanguageEntry::descriptionPath);
}

}  // namespace tpl
