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

WideString PathLinesBreakAfterSlashes(const WideString& text) {
    WideString shown;
    bool lineIsPath = false;
    for (uint32_t i = 0; i < text.Length(); ++i) {
        const char16_t unit = text[i];
        const bool lineStart = i == 0 || text[i - 1] == u'\n';
        if (lineStart) lineIsPath = unit == u'/';
        shown.Append(unit);
        const bool last = i + 1 == text.Length() || text[i + 1] == u'\n';
        if (!lineIsPath || last) continue;
        if (unit == u'/') {
            shown.Append(u'\u200B');
        } else if (WideString(u"- +,;!?)]}\u2010\u2013").Find(unit) != WideString::npos) {
            // Characters after which a line may break in prose.
            shown.Append(u'\u2060');
        }
    }
    return shown;
}

}  // namespace tpl
