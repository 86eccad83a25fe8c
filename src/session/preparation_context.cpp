#include "session/preparation_context.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "catalog/language_rules.h"
#include "catalog/message_catalog.h"
#include "fs/file_io.h"
#include "fs/free_space.h"
#include "fs/temp_names.h"
#include "kit/kit_trailer.h"
#include "session/install_preparation.h"
#include "session/target_directory.h"
#include "text/installer_file_names.h"
#include "text/utf8.h"
#include "text/convert.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// What the preparation asks of the temporary directory: three times the
// kit, or the body it inflates to when its trailer names that and it is
// more. 0 when the kit cannot be measured.
uint64_t TemporarySpaceNeeded(const WideString& kitPath) {
    uint32_t kitSize = 0;
    if (GetFileSizeByPath(kitPath, &kitSize) != 0) return 0;
    uint64_t needed = uint64_t{kitSize} * 3;
    KitTrailer trailer;
    if (ReadKitTrailer(kitPath, &trailer) && trailer.bodyLength > needed) needed = trailer.bodyLength;
    return needed;
}

WideString Kilobytes(uint64_t bytes, bool roundUp) {
    return GroupedNumberText((bytes + (roundUp ? 1023 : 0)) / 1024);
}

// The need is rounded up and the free space down, so that the two never
// read the same.
WideString NoSpaceContext(const WideString& kitPath) {
    WideString directory;
    GetTempDirectory(&directory);
    // The path on a line of its own, as under every other notice: it
    // breaks nowhere, and no language's colon needs a space after it.
    WideString context = MessageCatalog::GetText("IDS_NOSPACE_TEMPDIR");
    context += u"\n";
    context += WithoutFinalSeparator(directory);
    uint64_t freeSpace = 0;
    const uint64_t needed = TemporarySpaceNeeded(kitPath);
    if (needed > 0 && GetFreeSpace(&freeSpace) == 0) {
        context += u"\n";
        context += FormatPattern(MessageCatalog::GetText("IDS_NOSPACE_SIZES"),
                                 {Kilobytes(needed, true), Kilobytes(freeSpace, false)});
    }
    return context;
}

bool IsKitFileText(const char* textId) {
    return std::strcmp(textId, "IDS_ERROR_NOSOURCE") == 0 || std::strcmp(textId, "IDS_ERROR_DAMAGEDSOURCE") == 0;
}

WideString FileName(const WideString& path) {
    const WideString parent = ParentDirectory(path);
    uint32_t begin = parent.Length();
    while (begin < path.Length() && path[begin] == u'/') ++begin;
    return path.Substring(begin);
}

// The folder of the executable, or the current directory, where the kit
// was looked for; a kit file given by name is shown whole.
WideString NoSourceContext(const WideString& kitPath) {
    if (kitPath.Empty()) return WideString();
    if (FileName(kitPath) != WideString(kKitFileName)) return kitPath;
    WideString context = MessageCatalog::GetText("IDS_NOSOURCE_SEARCHED");
    context += u"\n";
    context += ParentDirectory(kitPath);
    return context;
}

}  // namespace

WideString PreparationErrorContext(const char* errorTextId, const WideString& kitPath) {
    if (errorTextId == nullptr) return WideString();
    if (std::strcmp(errorTextId, "IDS_ERROR_NOSOURCE") == 0) return NoSourceContext(kitPath);
    if (std::strcmp(errorTextId, "IDS_ERROR_NOSPACE") == 0) return NoSpaceContext(kitPath);
    if (std::strcmp(errorTextId, "IDS_ERROR_DAMAGEDSOURCE") == 0) return kitPath;
    return WideString();
}

std::string PreparationErrorTextUtf8(int32_t languageId, const PreparationResult& result) {
    const char* stored = MessageCatalog::FindUtf8(languageId, result.errorTextId);
    if (stored == nullptr) return std::string();
    WideString text = FormatPattern(FromUtf8(stored), {FirstControlCharacterShown(result.errorPath)});
    // After the pattern, so that a "%1" in the kit's name stays as it is.
    if (IsKitFileText(result.errorTextId)) {
        const WideString name = FileName(result.errorPath);
        if (!name.Empty()) ReplaceAll(text, WideString(kKitFileName), name);
    }
    const NarrowString utf8 = ToUtf8(text);
    return std::string(utf8.Data(), utf8.Length());
}

WideString PreparationErrorText(const PreparationResult& result) {
    return FromUtf8(PreparationErrorTextUtf8(MessageCatalog::CurrentLanguage(), result).c_str());
}

}  // namespace tpl
