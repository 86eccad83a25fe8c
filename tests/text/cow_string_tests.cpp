#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "text/cow_string.h"
#include "support/wide_text.h"

namespace tpl {

namespace {

std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }

template <typename Fn>
void ExpectOutOfRange(Fn fn) {
    try {
        fn();
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ("basic_string", e.what());
    }
}

TEST(CowString, InlineUpToNineUnitsSharedFromTen) {
    WideString nine(u"123456789");
    EXPECT_FALSE(nine.IsShared());
    EXPECT_EQ(0u, nine.Capacity());
    EXPECT_EQ(0, nine.ShareCount());

    WideString ten = nine + u"0";
    EXPECT_TRUE(ten.IsShared());
    EXPECT_EQ(12u, ten.Capacity());
    EXPECT_EQ(1, ten.ShareCount());
    EXPECT_EQ(u"1234567890", Text(ten));
    EXPECT_EQ(0, ten.Data()[10]);

    WideString sub = (ten + ten).Substring(5, 10);
    EXPECT_TRUE(sub.IsShared());
    EXPECT_EQ(12u, sub.Capacity());
    EXPECT_EQ(u"6789012345", Text(sub));

    NarrowString n19("1234567890123456789");
    EXPECT_FALSE(n19.IsShared());
    NarrowString n20 = n19 + "0";
    EXPECT_TRUE(n20.IsShared());
    EXPECT_EQ(24u, n20.Capacity());
    EXPECT_STREQ("12345678901234567890", n20.Data());
}

TEST(CowString, WritingToACopyLeavesTheOriginal) {
    WideString original(u"shared text block");
    WideString copy = original;
    EXPECT_EQ(2, original.ShareCount());
    EXPECT_EQ(original.Data(), copy.Data());

    copy.MutableData()[0] = u'S';
    EXPECT_EQ(u"shared text block", Text(original));
    EXPECT_EQ(u"Shared text block", Text(copy));
    EXPECT_EQ(1, original.ShareCount());
    EXPECT_EQ(1, copy.ShareCount());
    EXPECT_EQ(copy.Length() + 2, copy.Capacity());

    WideString other = original;
    other.Erase(0, 7);
    EXPECT_EQ(u"shared text block", Text(original));
    EXPECT_EQ(u"text block", Text(other));

    // Appending to a shared copy grows from the exact size by half.
    WideString appended = original;  // 17 units, block of 19 once unique
    appended.Append(u'!');
    EXPECT_EQ(u"shared text block", Text(original));
    EXPECT_EQ(u"shared text block!", Text(appended));
    EXPECT_EQ(28u, appended.Capacity());  // max(19 + 9, 20) slots, 56 bytes
}

TEST(CowString, MoveStealsTheBlock) {
    WideString a(u"long enough to be shared");
    const char16_t* data = a.Data();
    WideString b(std::move(a));
    EXPECT_EQ(data, b.Data());
    EXPECT_EQ(1, b.ShareCount());
    EXPECT_TRUE(a.Empty());
    WideString c;
    c = std::move(b);
    EXPECT_EQ(data, c.Data());
    EXPECT_TRUE(b.Empty());
}

TEST(CowString, SelfAndOverlappingAssignment) {
    for (const char16_t* start : {u"abcdefgh", u"abcdefghijklmnopqrstuvwxyz"}) {
        SCOPED_TRACE(std::u16string(start).size());
        WideString s(start);
        const std::u16string expected(start);
        auto& alias = s;
        s = alias;
        EXPECT_EQ(expected, Text(s));

        s.Assign(s.Data() + 2, 4);
        EXPECT_EQ(expected.substr(2, 4), Text(s));

        s = WideString(start);
        s.AssignSubstring(s, 3);
        EXPECT_EQ(expected.substr(3), Text(s));

        s = WideString(start);
        s.Replace(1, 2, s.Data() + 4, 3);  // source lies after the replaced range
        EXPECT_EQ(expected.substr(0, 1) + expected.substr(4, 3) + expected.substr(3), Text(s));

        s = WideString(start);
        s += s;  // grows while reading from itself
        EXPECT_EQ(expected + expected, Text(s));
    }
    // Assigning from a block shared with another string.
    WideString a(u"0123456789abcdef");
    WideString b = a;
    b.AssignSubstring(a, 10);
    EXPECT_EQ(u"abcdef", Text(b));
    EXPECT_EQ(u"0123456789abcdef", Text(a));
}

TEST(CowString, PositionsPastTheEndThrow) {
    for (const char16_t* text : {u"short", u"a longer shared text"}) {
        WideString s(text);
        const uint32_t n = s.Length();
        EXPECT_TRUE(s.Substring(n).Empty());
        ExpectOutOfRange([&] { (void)s.Substring(n + 1); });
        ExpectOutOfRange([&] { s.Erase(n + 1); });
        ExpectOutOfRange([&] { s.Replace(n + 1, 0, u"x", 1); });
        WideString target;
        target.AssignSubstring(s, n);
        EXPECT_TRUE(target.Empty());
        ExpectOutOfRange([&] { target.AssignSubstring(s, n + 1); });
        EXPECT_EQ(std::u16string(text), Text(s));
    }
}

TEST(CowString, EmptyingASharedStringKeepsTheSharedForm) {
    WideString s(u"a text of some length");
    const uint32_t capacity = s.Capacity();
    s.Resize(0);
    EXPECT_TRUE(s.IsShared());
    EXPECT_EQ(0u, s.Length());
    EXPECT_EQ(0, s.Data()[0]);
    EXPECT_EQ(capacity, s.Capacity());
    // Only copy assignment from an inline string returns to the inline form.
    s = WideString(u"abc");
    EXPECT_FALSE(s.IsShared());
    EXPECT_EQ(u"abc", Text(s));
}

TEST(CowString, GrowthIsRoundedByByteSize) {
    struct Row { uint32_t length; uint32_t capacity; };
    // (length + 2) * 2 bytes rounded to 8, 16, 32, 64 ... or not at all.
    for (Row row : {Row{10, 12}, Row{11, 16}, Row{126, 128}, Row{127, 136}, Row{200, 208},
                    Row{300, 304}, Row{600, 608}, Row{1500, 1536}, Row{9000, 9002}}) {
        WideString s;
        s.Resize(row.length);
        EXPECT_EQ(row.capacity, s.Capacity()) << row.length;
        EXPECT_EQ(row.length, s.Length());
    }
    NarrowString n;
    n.Resize(21);  // 25 bytes -> 32
    EXPECT_EQ(32u, n.Capacity());
    n.Resize(40, true);  // max(48, 44) -> 48
    EXPECT_EQ(48u, n.Capacity());

    // Appending one unit at a time reallocates rarely and keeps the text.
    WideString built;
    std::u16string expected;
    int reallocations = 0;
    for (int i = 0; i < 5000; ++i) {
        const uint32_t before = built.Capacity();
        const char16_t unit = static_cast<char16_t>(u'a' + i % 26);
        built += unit;
        expected += unit;
        reallocations += built.Capacity() != before;
    }
    EXPECT_EQ(expected, Text(built));
    EXPECT_LT(reallocations, 25);
}

TEST(CowString, ResultsAboveTheLimitThrowLengthError) {
    WideString s(u"some text here");
    EXPECT_THROW(s.Resize(WideString::kMaxLength + 1), std::length_error);
    // The length is checked before any unit of the source is read.
    EXPECT_THROW(s.Append(s.Data(), WideString::kMaxLength), std::length_error);
    NarrowString n("x");
    EXPECT_THROW(n.Replace(0, 0, n.Data(), NarrowString::kMaxLength), std::length_error);
    EXPECT_EQ(u"some text here", Text(s));
}

TEST(CowString, ComparisonAndSearch) {
    WideString s(u"dir/sub/file");
    EXPECT_TRUE(s.Equals(u"dir/sub/file"));
    EXPECT_FALSE(s.Equals(u"dir/sub/fil"));
    EXPECT_FALSE(s.Equals(u"dir/sub/files"));
    EXPECT_TRUE(WideString().Equals(u""));
    const char16_t withZero[] = {u'.', 0, u'.'};
    EXPECT_FALSE(WideString(withZero, 3).Equals(u"."));
    EXPECT_EQ(3u, s.Find(u'/'));
    EXPECT_EQ(7u, s.Find(u'/', 4));
    EXPECT_EQ(7u, s.FindLast(u'/'));
    EXPECT_EQ(WideString::npos, s.Find(u'x'));
    EXPECT_EQ(4u, s.Find(WideString(u"sub")));
    EXPECT_EQ(WideString::npos, s.Find(WideString(u"file"), 9));
    EXPECT_TRUE(s.Contains(u"file"));
    EXPECT_FALSE(s.Contains(u"filex"));
    EXPECT_EQ(s, WideString(u"dir/sub/file"));
}

TEST(CowString, BlocksSharedAcrossThreadsAreCountedExactly) {
    const WideString source(u"a block that both threads copy and drop");
    std::atomic<int> ready{0};
    auto churn = [&source, &ready] {
        // Start together so that the two threads really overlap.
        ready.fetch_add(1);
        while (ready.load() < 2) {
        }
        for (int i = 0; i < 1000000; ++i) {
            WideString copy = source;
            WideString second;
            second = copy;
        }
    };
    std::thread a(churn), b(churn);
    a.join();
    b.join();
    EXPECT_EQ(1, source.ShareCount());
}

}  // namespace

}  // namespace tpl
