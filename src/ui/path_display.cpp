#include "ui/path_display.h"

#include "text/convert.h"
#include "text/utf8.h"

NarrowString PathForDisplay(const WideString& path) {
    return ToUtf8(path);
}

WideString PathFromDisplay(const char* text) {
    return FromUtf8(text);
}

WideString PathFromFileSystem(const char* bytes) {
    return ToWide(bytes);
}
