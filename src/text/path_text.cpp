#include "text/path_text.h"

WideString NormalizeTargetDirectory(const WideString& directory) {
    WideString result = directory;
    if (result.Empty()) return result;
    char16_t* units = result.MutableData();
    for (uint32_t i = 0; i < result.Length(); ++i)
        if (units[i] == u'\\') units[i] = u'/';
    if (!result.EndsWith(u'/')) result.Append(u'/');
    return result;
}

WideString ParentDirectory(const WideString& path) {
    const uint32_t slash = path.FindLast(u'/');
    if (slash == WideString::npos) return WideString();
    if (slash == 0) return WideString(u"/");
    return path.Substring(0, slash);
}

WideString WithoutFinalSeparator(const WideString& path) {
    uint32_t length = path.Length();
    while (length > 1 && path[length - 1] == u'/') --length;
    return length == path.Length() ? path : path.Substring(0, length);
}

bool PathStartsWith(const WideString& path, const WideString& prefix) {
    if (prefix.Length() > path.Length()) return false;
    const char16_t* a = path.Data();
    const char16_t* b = prefix.Data();
    for (uint32_t i = 0; i < prefix.Length(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}
