#include "text/path_text.h"

namespace tpl {

WideString NormalizeTargetDirectory(const WideString& directory) {
    // A "\\" is a character of a name here, as the file system has it;
    // only the kit's own entry names use it as a separator.
    WideString result = directory;
    if (result.Empty()) return result;
    if (!result.EndsWith(u'/')) result.Append(u'/');
    return result;
}

namespace {

// Length of units without their final "/"s; a path of "/"s only keeps one.
template <class Unit>
size_t LengthWithoutFinalSeparators(const Unit* units, size_t length) {
    while (length > 1 && units[length - 1] == Unit('/')) --length;
    return length;
}

// Length of the parent's text within units, or npos when the parent is
// not a prefix of the path ("/" and "." stand for themselves).
constexpr size_t kRoot = static_cast<size_t>(-1);
constexpr size_t kCurrent = static_cast<size_t>(-2);

template <class Unit>
size_t ParentLength(const Unit* units, size_t length) {
    size_t end = LengthWithoutFinalSeparators(units, length);
    if (end == 0) return kCurrent;
    if (end == 1 && units[0] == Unit('/')) return kRoot;
    while (end > 0 && units[end - 1] != Unit('/')) --end;
    if (end == 0) return kCurrent;
    while (end > 0 && units[end - 1] == Unit('/')) --end;
    return end == 0 ? kRoot : end;
}

}  // namespace

WideString ParentDirectory(const WideString& path) {
    const size_t length = ParentLength(path.Data(), path.Length());
    if (length == kRoot) return WideString(u"/");
    if (length == kCurrent) return WideString(u".");
    return path.Substring(0, static_cast<uint32_t>(length));
}

std::string ParentDirectory(const std::string& path) {
    const size_t length = ParentLength(path.data(), path.size());
    if (length == kRoot) return "/";
    if (length == kCurrent) return ".";
    return path.substr(0, length);
}

WideString WithoutFinalSeparator(const WideString& path) {
    const size_t length = LengthWithoutFinalSeparators(path.Data(), path.Length());
    return length == path.Length() ? path : path.Substring(0, static_cast<uint32_t>(length));
}

std::string WithoutFinalSeparator(const std::string& path) {
    return path.substr(0, LengthWithoutFinalSeparators(path.data(), path.size()));
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
