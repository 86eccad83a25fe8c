#include "session/preparation_context.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "catalog/message_catalog.h"
#include "fs/file_io.h"
#include "fs/free_space.h"
#include "fs/temp_names.h"
#include "kit/kit_trailer.h"
#include "text/convert.h"
#include "text/installer_file_names.h"
#include "text/utf8.h"
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
    const uint64_t kilobytes = (bytes + (roundUp ? 1023 : 0)) / 1024;
    return ToWide(NarrowString(std::to_string(kilobytes).c_str()));
}

// The need is rounded up and the free space down, so that the two never
// read the same.
WideString NoSpaceContext(const WideString& kitPath) {
    WideString directory;
    GetTempDirectory(&directory);
    WideString context = MessageCatalog::GetText("IDS_NOSPACE_TEMPDIR");
    context += u" ";
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

// The folder of the executable, or the current directory.
WideString NoSourceContext(const WideString& kitPath) {
    if (kitPath.Empty()) return WideString();
    WideString context = MessageCatalog::GetText("IDS_NOSOURCE_SEARCHED");
    context += u"\n";
    context += ParentDirectory(kitPath);
    return context;
}

}  // namespace

namespace {
std::string Utf8Of(const WideString& text) {
    const NarrowString utf8 = ToUtf8(text);
    return std::string(utf8.Data(), utf8.Length());
}
}  // namespace

std::string KitErrorText(int32_t languageId, const char* errorTextId, const WideString& kitPath) {
    const char* found = errorTextId != nullptr ? MessageCatalog::FindUtf8(languageId, errorTextId) : nullptr;
    std::string text = found != nullptr ? found : "";
    const WideString name = kitPath.Substring(kitPath.FindLast(u'/') + 1);
    if (name.Empty() || name.Equals(kKitFileName)) return text;
    const std::string usual = Utf8Of(WideString(kKitFileName));
    const size_t at = text.find(usual);
    if (at != std::string::npos) text.replace(at, usual.size(), Utf8Of(name));
    return text;
}

WideString PreparationErrorContext(const char* errorTextId, const WideString& kitPath) {
    if (errorTextId == nullptr) return WideString();
    if (std::strcmp(errorTextId, "IDS_ERROR_NOSOURCE") == 0) return NoSourceContext(kitPath);
    if (std::strcmp(errorTextId, "IDS_ERROR_NOSPACE") == 0) return NoSpaceContext(kitPath);
    return WideString();
}

}  // namespace tpl
