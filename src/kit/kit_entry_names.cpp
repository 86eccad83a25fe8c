#include "kit/kit_entry_names.h"

#include <algorithm>
#include "text/path_bytes.h"

namespace tpl {

namespace {

bool IsSeparator(char16_t unit) {
    return unit == u'/' || unit == u'\\';
}

bool IsDotComponent(const char16_t* units, uint32_t count) {
    return count == 1 && units[0] == u'.';
}

// Walks a name's components as MakeRelativeEntryPath keeps them: empty and
// "." components are stepped over.
class ComponentCursor {
public:
    explicit ComponentCursor(const WideString& name) : units_(name.Data()), length_(name.Length()) { Advance(); }

    bool AtEnd() const noexcept { return begin_ >= length_; }
    const char16_t* Data() const noexcept { return units_ + begin_; }
    uint32_t Size() const noexcept { return end_ - begin_; }

    void Next() noexcept {
        begin_ = end_ + 1;
        Advance();
    }

private:
    void Advance() noexcept {
        while (begin_ < length_) {
            end_ = begin_;
            while (end_ < length_ && !IsSeparator(units_[end_])) ++end_;
            if (end_ > begin_ && !IsDotComponent(units_ + begin_, end_ - begin_)) return;
            begin_ = end_ + 1;
        }
    }

    const char16_t* units_;
    uint32_t length_;
    uint32_t begin_ = 0;
    uint32_t end_ = 0;
};

// Orders names component by component, so that a name comes right before
// the names below it. *ancestor is set when a is a proper ancestor of b.
int CompareComponents(const WideString& a, const WideString& b, bool* ancestor) {
    *ancestor = false;
    ComponentCursor left(a);
    ComponentCursor right(b);
    for (;;) {
        if (left.AtEnd() || right.AtEnd()) {
            if (left.AtEnd() && right.AtEnd()) return 0;
            *ancestor = left.AtEnd();
            return left.AtEnd() ? -1 : 1;
        }
        const uint32_t common = std::min(left.Size(), right.Size());
        for (uint32_t i = 0; i < common; ++i)
            if (left.Data()[i] != right.Data()[i]) return left.Data()[i] < right.Data()[i] ? -1 : 1;
        if (left.Size() != right.Size()) return left.Size() < right.Size() ? -1 : 1;
        left.Next();
        right.Next();
    }
}

}  // namespace

bool FitsPathLimit(const WideString& path) {
    return FitsPathLimit(PathToBytes(path));
}

bool FitsPathLimit(const NarrowString& bytes) {
    if (bytes.Length() > kKitMaxNameBytes) return false;
    uint32_t component = 0;
    // In the locale encodings in use a "/" byte is always the character.
    for (uint32_t i = 0; i < bytes.Length(); ++i) {
        component = bytes[i] == '/' ? 0 : component + 1;
        if (component > kKitMaxComponentBytes) return false;
    }
    return true;
}

bool MakeRelativeEntryPath(const WideString& name, WideString* relative) {
    for (uint32_t i = 0; i < name.Length(); ++i)
        if (name[i] == 0) return false;
    WideString result;
    for (ComponentCursor cursor(name); !cursor.AtEnd(); cursor.Next()) {
        const bool dotDot = cursor.Size() == 2 && cursor.Data()[0] == u'.' && cursor.Data()[1] == u'.';
        if (dotDot) return false;
        if (!result.Empty()) result.Append(u'/');
        result.Append(cursor.Data(), cursor.Size());
    }
    if (result.Empty()) return false;
    *relative = result;
    return true;
}

bool IsInstallableEntryName(const WideString& name) {
    const uint32_t length = name.Length();
    // Every unit becomes at least one byte: a longer name cannot fit, and
    // it is refused before anything is allocated for it.
    if (length == 0 || length > kKitMaxNameBytes) return false;
    if (IsSeparator(name[0]) || IsSeparator(name[length - 1])) return false;
    if (IsDotComponent(name.Data() + length - 1, 1) && (length == 1 || IsSeparator(name[length - 2]))) return false;
    WideString relative;
    if (!MakeRelativeEntryPath(name, &relative)) return false;
    // Measured in the bytes the file system will be given; a unit that would
    // be written as a raw byte is no text a vendor can have meant.
    if (HasEscapedBytes(relative)) return false;
    const NarrowString converted = PathToBytes(relative);
    if (converted.Empty()) return false;
    return FitsPathLimit(converted);
}

bool HasFileUsedAsDirectory(const std::vector<KitFileEntry>& files) {
    std::vector<uint32_t> order(files.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&files](uint32_t a, uint32_t b) {
        bool ancestor = false;
        return CompareComponents(files[a].name, files[b].name, &ancestor) < 0;
    });
    // Sorted so, the names below a name follow it and its duplicates directly.
    for (size_t i = 1; i < order.size(); ++i) {
        bool ancestor = false;
        CompareComponents(files[order[i - 1]].name, files[order[i]].name, &ancestor);
        if (ancestor) return true;
    }
    return false;
}

}  // namespace tpl
