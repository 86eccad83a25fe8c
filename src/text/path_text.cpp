#include "text/path_text.h"

namespace tpl {

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

std::string DirectoryHolding(const std::string& path) {
    const size_t nameEnd = path.find_last_not_of('/');
    if (nameEnd == std::string::npos) return path.empty() ? std::string(".") : std::string("/");
    const size_t slash = path.rfind('/', nameEnd);
    if (slash == std::string::npos) return ".";
    const size_t parentEnd = path.find_last_not_of('/', slash);
    return parentEnd == std::string::npos ? std::string("/") : path.substr(0, parentEnd + 1);
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

}  // namespace tpl
