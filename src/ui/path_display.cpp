#include "ui/path_display.h"

#include "text/path_bytes.h"
#include "text/utf8.h"

namespace tpl {

NarrowString PathForDisplay(const WideString& path) {
    // A name the locale could not read is most likely UTF-8, the toolkit's
    // own encoding; its other bytes show as U+FFFD.
    if (HasEscapedBytes(path)) {
        const NarrowString bytes = PathToBytes(path);
        return ToUtf8(FromUtf8(bytes.Data(), bytes.Length()));
    }
    return ToUtf8(path);
}

WideString PathFromDisplay(const char* text) {
    return FromUtf8(text);
}

WideString PathFromFileSystem(const char* bytes) {
    return PathFromBytes(bytes);
}

}  // namespace tpl
