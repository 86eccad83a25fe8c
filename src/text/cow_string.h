#pragma once
// Small-string-optimised, reference-counted, copy-on-write string of 16-bit
// (WideString) or 8-bit (NarrowString) units. Short texts live inline; longer
// ones live in a heap block that copies share until one of them writes.
//
// Heap block layout: a signed 32-bit reference count, the text units, a 0 unit.
// The capacity word counts unit slots including the slots of the count.
#include <cstdint>

namespace tpl {

template <typename Unit, uint32_t InlineSlots>
class CowString {
public:
    using unit_type = Unit;
    static constexpr uint32_t npos = 0xFFFFFFFFu;
    // The mode/length value that marks the shared form.
    static constexpr uint32_t kSharedMode = InlineSlots;
    // Unit slots taken by the 32-bit reference count at the start of a block.
    static constexpr uint32_t kCountSlots = 4 / sizeof(Unit);
    static constexpr uint32_t kMaxLength = 2147483646u;

    CowString() noexcept;
    CowString(const Unit* units, uint32_t count);
    CowString(const Unit* zeroTerminated);  // NOLINT: implicit from literals is intended
    CowString(const CowString& other) noexcept;
    CowString(CowString&& other) noexcept;
    ~CowString();

    CowString& operator=(const CowString& other) noexcept;
    CowString& operator=(CowString&& other) noexcept;

    // Inline: asked for at nearly every step of every path's handling.
    uint32_t Length() const noexcept {
        return IsShared() ? static_cast<uint32_t>(shared_.end - shared_.block) - kCountSlots : mode_;
    }
    bool Empty() const noexcept { return Length() == 0; }
    // Zero-terminated units; valid until the string is next changed.
    const Unit* Data() const noexcept { return IsShared() ? shared_.block + kCountSlots : inline_; }
    Unit operator[](uint32_t pos) const noexcept { return Data()[pos]; }
    Unit Back() const noexcept { return Data()[Length() - 1]; }

    // Introspection of the storage form (used by tests and diagnostics).
    bool IsShared() const noexcept { return mode_ == kSharedMode; }
    uint32_t Capacity() const noexcept;  // unit slots incl. count slots; 0 inline
    int32_t ShareCount() const noexcept; // 0 inline

    // Copies count units; the source may lie inside this string.
    void Assign(const Unit* units, uint32_t count);
    // Takes min(count, other.Length() - pos) units from pos; pos > length throws
    // std::out_of_range("basic_string"). other may be *this.
    void AssignSubstring(const CowString& other, uint32_t pos, uint32_t count = npos);
    CowString Substring(uint32_t pos, uint32_t count = npos) const;
    void Erase(uint32_t pos, uint32_t count = npos);
    void Append(const Unit* units, uint32_t count);
    void Append(const CowString& other);
    void Append(Unit unit);
    // Sets the length to n; units between the old and new length are not
    // initialised. grow selects the growth-by-half rule.
    void Resize(uint32_t n, bool grow = false);
    // Replaces min(count, length - pos) units at pos by n units.
    void Replace(uint32_t pos, uint32_t count, const Unit* units, uint32_t n);
    // Writable units after making the block unique.
    Unit* MutableData();

    bool Equals(const Unit* zeroTerminated) const noexcept;
    bool Equals(const CowString& other) const noexcept;
    bool EndsWith(Unit unit) const noexcept;
    // Position of the first/last occurrence, or npos.
    uint32_t Find(Unit unit, uint32_t from = 0) const noexcept;
    uint32_t Find(const CowString& what, uint32_t from = 0) const noexcept;
    uint32_t FindLast(Unit unit) const noexcept;
    bool Contains(const CowString& what) const noexcept { return Find(what) != npos; }

    CowString& operator+=(const CowString& other) { Append(other); return *this; }
    CowString& operator+=(const Unit* zeroTerminated);
    CowString& operator+=(Unit unit) { Append(unit); return *this; }

    // A string of n units whose contents the caller fills through
    // MutableData(); a block, when needed, is sized exactly (no spare room).
    static CowString WithLength(uint32_t n);

private:
    // How much spare room a block that must grow is given.
    enum class Growth { Exact, ByHalf };
    static constexpr uint32_t kMaxCapacity = kMaxLength + kCountSlots;

    static Unit* AllocateBlock(uint32_t capacity);
    static void ReleaseBlock(Unit* block) noexcept;
    static int32_t* CountOf(Unit* block) noexcept;
    static uint32_t RoundCapacity(uint64_t slots) noexcept;

    Unit* Units() noexcept;
    bool IsUnique() const noexcept;
    bool CanWriteInPlace(uint32_t newLength) const noexcept;
    uint32_t GrownCapacity(uint32_t newLength, Growth growth) const noexcept;
    void SetLength(uint32_t n) noexcept;
    void AdoptBlock(Unit* block, uint32_t capacity, uint32_t length) noexcept;
    void BecomeEmptyInline() noexcept;
    // The one writer: units [pos, pos + removed) become n units from src
    // (left uninitialised when src is null). src may lie inside this string.
    void ReplaceUnits(uint32_t pos, uint32_t removed, const Unit* src, uint32_t n, Growth growth);


    struct Shared {
        Unit* block;    // reference count, then units, then 0
        Unit* end;      // the terminating 0 unit
        uint32_t capacity;
    };
    uint32_t mode_;     // inline length 0..InlineSlots-1, or kSharedMode
    union {
        Unit inline_[InlineSlots];
        Shared shared_;
    };
    friend class CowStringAccess;
};

template <typename Unit, uint32_t N>
CowString<Unit, N> operator+(const CowString<Unit, N>& a, const CowString<Unit, N>& b);
template <typename Unit, uint32_t N>
CowString<Unit, N> operator+(const CowString<Unit, N>& a, const Unit* zeroTerminated);
template <typename Unit, uint32_t N>
bool operator==(const CowString<Unit, N>& a, const CowString<Unit, N>& b) noexcept { return a.Equals(b); }
template <typename Unit, uint32_t N>
bool operator!=(const CowString<Unit, N>& a, const CowString<Unit, N>& b) noexcept { return !a.Equals(b); }

using WideString = CowString<char16_t, 10>;
using NarrowString = CowString<char, 20>;

extern template class CowString<char16_t, 10>;
extern template class CowString<char, 20>;
extern template WideString operator+(const WideString&, const WideString&);
extern template WideString operator+(const WideString&, const char16_t*);
extern template NarrowString operator+(const NarrowString&, const NarrowString&);
extern template NarrowString operator+(const NarrowString&, const char*);

}  // namespace tpl
