#include "kit/kit_entry_names.h"

#include <algorithm>
#include <random>
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

namespace {

// The usual name: components that are neither empty, "." nor "..", and no
// 0 unit. Its relative path is the name with "/" for every separator.
bool IsPlainName(const char16_t* units, uint32_t length) {
    uint32_t componentStart = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && units[i] == 0) return false;
        if (i < length && !IsSeparator(units[i])) continue;
        const uint32_t size = i - componentStart;
        if (size == 0 || (size <= 2 && units[componentStart] == u'.' && units[i - 1] == u'.')) return false;
        componentStart = i + 1;
    }
    return true;
}

}  // namespace

bool MakeRelativeEntryPath(const WideString& name, WideString* relative) {
    const char16_t* units = name.Data();
    const uint32_t length = name.Length();
    // Four times per entry of an installation: the usual name is copied
    // once, separators turned, rather than built a component at a time.
    if (IsPlainName(units, length)) {
        WideString result = WideString::WithLength(length);
        char16_t* out = result.MutableData();
        for (uint32_t i = 0; i < length; ++i) out[i] = IsSeparator(units[i]) ? u'/' : units[i];
        *relative = result;
        return true;
    }
    for (uint32_t i = 0; i < length; ++i)
        if (units[i] == 0) return false;
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
    // A control character is no name a vendor can have meant, and one shown
    // in a listing or a log could move the cursor or recolour the terminal.
    for (uint32_t i = 0; i < length; ++i)
        if (name[i] < 0x20 || (name[i] >= 0x7f && name[i] <= 0x9f)) return false;
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

namespace {

uint64_t MixUnit(uint64_t hash, uint64_t unit) {
    return (hash ^ unit) * 0x100000001b3ull;
}

// Ends a component: every bit of it reaches every bit of the hash, and the
// value is the hash of the path up to here.
uint64_t EndComponent(uint64_t hash) {
    hash ^= hash >> 30;
    hash *= 0xbf58476d1ce4e5b9ull;
    hash ^= hash >> 27;
    hash *= 0x94d049bb133111ebull;
    return hash ^ (hash >> 31);
}

// Calls prefix(hash, end) after each component of name with the hash of
// the path up to it and where it ends in the name; stops when prefix
// returns true.
template <typename Prefix>
bool ForEachPathPrefix(const WideString& name, uint64_t seed, Prefix prefix) {
    uint64_t hash = seed;
    for (ComponentCursor cursor(name); !cursor.AtEnd(); cursor.Next()) {
        for (uint32_t i = 0; i < cursor.Size(); ++i) hash = MixUnit(hash, cursor.Data()[i]);
        hash = EndComponent(hash);
        const uint32_t end = static_cast<uint32_t>(cursor.Data() - name.Data()) + cursor.Size();
        if (prefix(hash, end)) return true;
    }
    return false;
}

// Whether some entry's path is the path directory names.
bool SomeEntryIs(KitFileTable& table, KitBodyReader& reader, const WideString& directory) {
    for (uint32_t i = 0; i < table.Count(); ++i) {
        bool ancestor = false;
        if (CompareComponents(table.Entry(reader, i).name, directory, &ancestor) == 0) return true;
    }
    return false;
}

}  // namespace

uint64_t EntryPathHash(const WideString& name, uint64_t seed) {
    uint64_t last = seed;
    ForEachPathPrefix(name, seed, [&last](uint64_t hash, uint32_t) {
        last = hash;
        return false;
    });
    return last;
}

uint64_t EntryPathHashSeed() {
    std::random_device device;
    return uint64_t{device()} << 32 | device();
}

bool HasRepeatedEntry(KitFileTable& table, KitBodyReader& reader, const std::vector<uint64_t>& pathHashes) {
    // Entries by hash: equal paths are neighbours; a chance collision is
    // told apart by the names.
    std::vector<std::pair<uint64_t, uint32_t>> byHash;
    byHash.reserve(pathHashes.size());
    for (uint32_t i = 0; i < pathHashes.size(); ++i) byHash.emplace_back(pathHashes[i], i);
    std::sort(byHash.begin(), byHash.end());
    for (size_t i = 1; i < byHash.size(); ++i) {
        if (byHash[i].first != byHash[i - 1].first) continue;
        bool ancestor = false;
        if (CompareComponents(table.Entry(reader, byHash[i - 1].second).name,
                              table.Entry(reader, byHash[i].second).name, &ancestor) == 0)
            return true;
    }
    return false;
}

bool HasFileUsedAsDirectory(KitFileTable& table, KitBodyReader& reader, std::vector<uint64_t> pathHashes,
                            uint64_t seed) {
    std::sort(pathHashes.begin(), pathHashes.end());
    for (uint32_t i = 0; i < table.Count(); ++i) {
        const WideString name = table.Entry(reader, i).name;
        const bool found = ForEachPathPrefix(name, seed, [&](uint64_t hash, uint32_t end) {
            // The last component is the entry itself.
            if (end == name.Length() || !std::binary_search(pathHashes.begin(), pathHashes.end(), hash)) return false;
            // A matching hash is most likely the directory itself; a chance
            // collision is told apart by the names.
            return SomeEntryIs(table, reader, name.Substring(0, end));
        });
        if (found) return true;
    }
    return false;
}

}  // namespace tpl
