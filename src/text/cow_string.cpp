// Storage and editing of CowString: the inline form, shared blocks with an
// atomic reference count, copy-on-write and the block growth rules.
#include "text/cow_string.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace tpl {

namespace {

template <typename Unit>
uint32_t ZeroTerminatedLength(const Unit* units) {
    if (units == nullptr) return 0;
    uint64_t n = 0;
    while (units[n] != 0) ++n;
    if (n > 2147483646u) throw std::length_error("basic_string");
    return static_cast<uint32_t>(n);
}

template <typename Unit>
void CopyUnits(Unit* dst, const Unit* src, uint32_t n) noexcept {
    if (n != 0) std::memcpy(dst, src, n * sizeof(Unit));
}

template <typename Unit>
void MoveUnits(Unit* dst, const Unit* src, uint32_t n) noexcept {
    if (n != 0 && dst != src) std::memmove(dst, src, n * sizeof(Unit));
}

// True when p lies in [begin, begin + count); compared as addresses so that
// unrelated pointers are ordered safely.
template <typename Unit>
bool PointsInto(const Unit* p, const Unit* begin, uint32_t count) noexcept {
    const auto a = reinterpret_cast<uintptr_t>(p);
    const auto b = reinterpret_cast<uintptr_t>(begin);
    return a >= b && a < b + uint64_t(count) * sizeof(Unit);
}

void ThrowOutOfRange() { throw std::out_of_range("basic_string"); }

}  // namespace

// ---- block management --------------------------------------------------

template <typename Unit, uint32_t N>
int32_t* CowString<Unit, N>::CountOf(Unit* block) noexcept {
    return reinterpret_cast<int32_t*>(block);
}

template <typename Unit, uint32_t N>
Unit* CowString<Unit, N>::AllocateBlock(uint32_t capacity) {
    // capacity slots (count included) plus one slot for the terminating 0.
    const size_t bytes = (size_t(capacity) + 1) * sizeof(Unit);
    void* raw = ::operator new(bytes);
    new (raw) int32_t(1);
    return static_cast<Unit*>(raw);
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::ReleaseBlock(Unit* block) noexcept {
    // Acquire-release so that the owner freeing the block sees every write
    // made by the owners that dropped their references before it.
    if (__atomic_sub_fetch(CountOf(block), 1, __ATOMIC_ACQ_REL) == 0) ::operator delete(block);
}

template <typename Unit, uint32_t N>
uint32_t CowString<Unit, N>::RoundCapacity(uint64_t slots) noexcept {
    uint64_t bytes = slots * sizeof(Unit);
    uint64_t step = 1;
    if (bytes <= 256) step = 8;
    else if (bytes <= 512) step = 16;
    else if (bytes < 1024) step = 32;
    else if (bytes < 2048) step = 64;
    else if (bytes < 4096) step = 128;
    else if (bytes < 8192) step = 256;
    else if (bytes < 16384) step = 512;
    bytes = (bytes + step - 1) / step * step;
    return static_cast<uint32_t>(std::min<uint64_t>(bytes / sizeof(Unit), kMaxCapacity));
}

template <typename Unit, uint32_t N>
bool CowString<Unit, N>::IsUnique() const noexcept {
    return __atomic_load_n(CountOf(shared_.block), __ATOMIC_ACQUIRE) == 1;
}

template <typename Unit, uint32_t N>
bool CowString<Unit, N>::CanWriteInPlace(uint32_t newLength) const noexcept {
    if (!IsShared()) return newLength < N;
    return IsUnique() && uint64_t(newLength) + kCountSlots <= shared_.capacity;
}

template <typename Unit, uint32_t N>
uint32_t CowString<Unit, N>::GrownCapacity(uint32_t newLength, Growth growth) const noexcept {
    const uint64_t need = uint64_t(newLength) + kCountSlots;
    // A block shared with others is first copied at exactly its size; a
    // write that still fits keeps that size, one that does not grows from it.
    uint64_t base = 0;
    if (IsShared()) base = IsUnique() ? shared_.capacity : uint64_t(Length()) + kCountSlots;
    if (need <= base) return static_cast<uint32_t>(base);
    uint64_t want = need;
    if (growth == Growth::ByHalf) want = std::max(base + base / 2, need);
    return RoundCapacity(std::min<uint64_t>(want, kMaxCapacity));
}

template <typename Unit, uint32_t N>
Unit* CowString<Unit, N>::Units() noexcept {
    return IsShared() ? shared_.block + kCountSlots : inline_;
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::SetLength(uint32_t n) noexcept {
    if (IsShared()) {
        shared_.end = shared_.block + kCountSlots + n;
        *shared_.end = 0;
    } else {
        mode_ = n;
        inline_[n] = 0;
    }
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::AdoptBlock(Unit* block, uint32_t capacity, uint32_t length) noexcept {
    mode_ = kSharedMode;
    shared_.block = block;
    shared_.capacity = capacity;
    SetLength(length);
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::BecomeEmptyInline() noexcept {
    mode_ = 0;
    inline_[0] = 0;
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::ReplaceUnits(uint32_t pos, uint32_t removed, const Unit* src, uint32_t n,
                                      Growth growth) {
    const uint32_t length = Length();
    const uint64_t wanted = uint64_t(length) - removed + n;
    if (wanted > kMaxLength) throw std::length_error("basic_string");
    const uint32_t newLength = static_cast<uint32_t>(wanted);
    const uint32_t tail = length - pos - removed;
    Unit* units = Units();
    const bool overlaps = src != nullptr && n != 0 && PointsInto(src, units, length + 1);
    const bool wholeText = pos == 0 && tail == 0;

    if (CanWriteInPlace(newLength) && (!overlaps || wholeText)) {
        MoveUnits(units + pos + n, units + pos + removed, tail);
        if (src != nullptr) MoveUnits(units + pos, src, n);
        SetLength(newLength);
        return;
    }
    if (!IsShared() && newLength < N) {
        // Inline text whose replacement comes from inside itself.
        Unit scratch[N];
        CopyUnits(scratch, units, pos);
        CopyUnits(scratch + pos, src, n);
        CopyUnits(scratch + pos + n, units + pos + removed, tail);
        CopyUnits(inline_, scratch, newLength);
        SetLength(newLength);
        return;
    }
    // A new block; the old one stays alive until every unit is copied out of
    // it, so src may point into it.
    const uint32_t capacity = GrownCapacity(newLength, growth);
    Unit* block = AllocateBlock(capacity);
    Unit* dst = block + kCountSlots;
    CopyUnits(dst, units, pos);
    if (src != nullptr) CopyUnits(dst + pos, src, n);
    CopyUnits(dst + pos + n, units + pos + removed, tail);
    Unit* old = IsShared() ? shared_.block : nullptr;
    AdoptBlock(block, capacity, newLength);
    if (old != nullptr) ReleaseBlock(old);
}

// ---- construction and assignment ---------------------------------------

template <typename Unit, uint32_t N>
CowString<Unit, N>::CowString() noexcept : mode_(0) {
    inline_[0] = 0;
}

template <typename Unit, uint32_t N>
CowString<Unit, N> CowString<Unit, N>::WithLength(uint32_t n) {
    if (n > kMaxLength) throw std::length_error("basic_string");
    CowString s;
    if (n < N) {
        s.SetLength(n);
    } else {
        s.AdoptBlock(AllocateBlock(n + kCountSlots), n + kCountSlots, n);
    }
    return s;
}

template <typename Unit, uint32_t N>
CowString<Unit, N>::CowString(const Unit* units, uint32_t count) : CowString(WithLength(count)) {
    CopyUnits(Units(), units, count);
}

template <typename Unit, uint32_t N>
CowString<Unit, N>::CowString(const Unit* zeroTerminated)
    : CowString(zeroTerminated, ZeroTerminatedLength(zeroTerminated)) {}

template <typename Unit, uint32_t N>
CowString<Unit, N>::CowString(const CowString& other) noexcept : mode_(other.mode_) {
    if (other.IsShared()) {
        shared_ = other.shared_;
        __atomic_add_fetch(CountOf(shared_.block), 1, __ATOMIC_RELAXED);
    } else {
        CopyUnits(inline_, other.inline_, mode_ + 1);
    }
}

template <typename Unit, uint32_t N>
CowString<Unit, N>::CowString(CowString&& other) noexcept : mode_(other.mode_) {
    if (other.IsShared()) {
        shared_ = other.shared_;
        other.BecomeEmptyInline();
    } else {
        CopyUnits(inline_, other.inline_, mode_ + 1);
    }
}

template <typename Unit, uint32_t N>
CowString<Unit, N>::~CowString() {
    if (IsShared()) ReleaseBlock(shared_.block);
}

template <typename Unit, uint32_t N>
CowString<Unit, N>& CowString<Unit, N>::operator=(const CowString& other) noexcept {
    if (this == &other) return *this;
    // The source's block gets its reference before ours is dropped, so that
    // assigning between two owners of the same block never frees it.
    if (other.IsShared()) __atomic_add_fetch(CountOf(other.shared_.block), 1, __ATOMIC_RELAXED);
    if (IsShared()) ReleaseBlock(shared_.block);
    mode_ = other.mode_;
    if (other.IsShared()) {
        shared_ = other.shared_;
    } else {
        CopyUnits(inline_, other.inline_, mode_ + 1);
    }
    return *this;
}

template <typename Unit, uint32_t N>
CowString<Unit, N>& CowString<Unit, N>::operator=(CowString&& other) noexcept {
    if (this == &other) return *this;
    if (IsShared()) ReleaseBlock(shared_.block);
    mode_ = other.mode_;
    if (other.IsShared()) {
        shared_ = other.shared_;
        other.BecomeEmptyInline();
    } else {
        CopyUnits(inline_, other.inline_, mode_ + 1);
    }
    return *this;
}

// ---- observers -----------------------------------------------------------

template <typename Unit, uint32_t N>
uint32_t CowString<Unit, N>::Capacity() const noexcept {
    return IsShared() ? shared_.capacity : 0;
}

template <typename Unit, uint32_t N>
int32_t CowString<Unit, N>::ShareCount() const noexcept {
    return IsShared() ? __atomic_load_n(CountOf(shared_.block), __ATOMIC_ACQUIRE) : 0;
}

// ---- editing ---------------------------------------------------------------

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Assign(const Unit* units, uint32_t count) {
    ReplaceUnits(0, Length(), units, count, Growth::Exact);
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::AssignSubstring(const CowString& other, uint32_t pos, uint32_t count) {
    const uint32_t length = other.Length();
    if (pos > length) ThrowOutOfRange();
    Assign(other.Data() + pos, std::min(count, length - pos));
}

template <typename Unit, uint32_t N>
CowString<Unit, N> CowString<Unit, N>::Substring(uint32_t pos, uint32_t count) const {
    const uint32_t length = Length();
    if (pos > length) ThrowOutOfRange();
    return CowString(Data() + pos, std::min(count, length - pos));
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Erase(uint32_t pos, uint32_t count) {
    const uint32_t length = Length();
    if (pos > length) ThrowOutOfRange();
    const uint32_t removed = std::min(count, length - pos);
    if (removed != 0) ReplaceUnits(pos, removed, nullptr, 0, Growth::Exact);
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Append(const Unit* units, uint32_t count) {
    if (count != 0) ReplaceUnits(Length(), 0, units, count, Growth::ByHalf);
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Append(const CowString& other) {
    Append(other.Data(), other.Length());
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Append(Unit unit) {
    ReplaceUnits(Length(), 0, &unit, 1, Growth::ByHalf);
}

template <typename Unit, uint32_t N>
CowString<Unit, N>& CowString<Unit, N>::operator+=(const Unit* zeroTerminated) {
    Append(zeroTerminated, ZeroTerminatedLength(zeroTerminated));
    return *this;
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Resize(uint32_t n, bool grow) {
    const uint32_t length = Length();
    if (n > kMaxLength) throw std::length_error("basic_string");
    if (n > length) {
        ReplaceUnits(length, 0, nullptr, n - length, grow ? Growth::ByHalf : Growth::Exact);
    } else if (n < length) {
        ReplaceUnits(n, length - n, nullptr, 0, Growth::Exact);
    }
}

template <typename Unit, uint32_t N>
void CowString<Unit, N>::Replace(uint32_t pos, uint32_t count, const Unit* units, uint32_t n) {
    const uint32_t length = Length();
    if (pos > length) ThrowOutOfRange();
    ReplaceUnits(pos, std::min(count, length - pos), units, n, Growth::Exact);
}

template <typename Unit, uint32_t N>
Unit* CowString<Unit, N>::MutableData() {
    if (IsShared() && !IsUnique()) ReplaceUnits(Length(), 0, nullptr, 0, Growth::Exact);
    return Units();
}

// ---- comparison and search -------------------------------------------------

template <typename Unit, uint32_t N>
bool CowString<Unit, N>::Equals(const Unit* zeroTerminated) const noexcept {
    const Unit* mine = Data();
    const uint32_t length = Length();
    if (zeroTerminated == nullptr) return length == 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (zeroTerminated[i] != mine[i] || zeroTerminated[i] == 0) return false;
    }
    return zeroTerminated[length] == 0;
}

template <typename Unit, uint32_t N>
bool CowString<Unit, N>::Equals(const CowString& other) const noexcept {
    const uint32_t length = Length();
    if (length != other.Length()) return false;
    return length == 0 || std::memcmp(Data(), other.Data(), length * sizeof(Unit)) == 0;
}

template <typename Unit, uint32_t N>
bool CowString<Unit, N>::EndsWith(Unit unit) const noexcept {
    return !Empty() && Back() == unit;
}

template <typename Unit, uint32_t N>
uint32_t CowString<Unit, N>::Find(Unit unit, uint32_t from) const noexcept {
    const Unit* units = Data();
    const uint32_t length = Length();
    for (uint32_t i = from; i < length; ++i) {
        if (units[i] == unit) return i;
    }
    return npos;
}

template <typename Unit, uint32_t N>
uint32_t CowString<Unit, N>::Find(const CowString& what, uint32_t from) const noexcept {
    const uint32_t length = Length();
    const uint32_t n = what.Length();
    if (from > length || n > length - from) return npos;
    const Unit* units = Data();
    const Unit* needle = what.Data();
    for (uint32_t i = from; i <= length - n; ++i) {
        if (n == 0 || (units[i] == needle[0] && std::memcmp(units + i, needle, n * sizeof(Unit)) == 0)) {
            return i;
        }
    }
    return npos;
}

template <typename Unit, uint32_t N>
uint32_t CowString<Unit, N>::FindLast(Unit unit) const noexcept {
    const Unit* units = Data();
    for (uint32_t i = Length(); i > 0; --i) {
        if (units[i - 1] == unit) return i - 1;
    }
    return npos;
}

// ---- concatenation -----------------------------------------------------------

namespace {

template <typename Unit, uint32_t N>
CowString<Unit, N> Concatenate(const Unit* a, uint32_t na, const Unit* b, uint32_t nb) {
    const uint64_t total = uint64_t(na) + nb;
    if (total > CowString<Unit, N>::kMaxLength) throw std::length_error("basic_string");
    auto result = CowString<Unit, N>::WithLength(static_cast<uint32_t>(total));
    Unit* dst = result.MutableData();
    CopyUnits(dst, a, na);
    CopyUnits(dst + na, b, nb);
    return result;
}

}  // namespace

template <typename Unit, uint32_t N>
CowString<Unit, N> operator+(const CowString<Unit, N>& a, const CowString<Unit, N>& b) {
    return Concatenate<Unit, N>(a.Data(), a.Length(), b.Data(), b.Length());
}

template <typename Unit, uint32_t N>
CowString<Unit, N> operator+(const CowString<Unit, N>& a, const Unit* zeroTerminated) {
    return Concatenate<Unit, N>(a.Data(), a.Length(), zeroTerminated, ZeroTerminatedLength(zeroTerminated));
}

template class CowString<char16_t, 10>;
template class CowString<char, 20>;
template WideString operator+(const WideString&, const WideString&);
template WideString operator+(const WideString&, const char16_t*);
template NarrowString operator+(const NarrowString&, const NarrowString&);
template NarrowString operator+(const NarrowString&, const char*);

}  // namespace tpl
