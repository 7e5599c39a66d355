// Host-heap arrays: byte form, malformed buffers, editing, heap failures and
// ownership. Every test must leave the host heap as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "containers/Arrays.h"
#include "runtime/VeskRuntime.h"

namespace {

using Ints = std::vector<int>;
using Doubles = std::vector<double>;
using Bytes = std::vector<char>;

class ArraysTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::ClearErrors();
        blocks_ = vrt::LiveHeapBlocks();
    }
    void TearDown() override {
        vrt::FailNextAllocations(0);
        EXPECT_EQ(vrt::LiveHeapBlocks(), blocks_);
    }
    static Ints Codes() {  // error codes raised since the last call
        Ints codes;
        for (const auto& e : vrt::Errors()) codes.push_back(e.code);
        vrt::ClearErrors();
        return codes;
    }
    long blocks_ = 0;
};

// Little-endian bytes of int32 fields, then of doubles, written independently
// of the code under test.
Bytes LE(std::initializer_list<std::int32_t> ints, const Doubles& doubles = {}) {
    Bytes b;
    for (std::int32_t v : ints)
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * k)));
    for (double v : doubles)
        for (int k = 0; k < 8; ++k) b.push_back(static_cast<char>(std::bit_cast<std::uint64_t>(v) >> (8 * k)));
    return b;
}

Bytes Contents(const Variable& buffer) {
    return Bytes(static_cast<char*>(buffer), static_cast<char*>(buffer) + buffer.GetDim());
}

template <class A, class T>
A& Fill(A& a, std::initializer_list<T> v) {
    std::copy(v.begin(), v.end(), a.GetData());
    return a;
}

template <class A>
auto Values(const A& a) {
    size_t n = size_t(a.Len());
    if constexpr (std::is_same_v<A, DoubleArrayEx>) n *= size_t(a.Width());
    return std::vector<std::remove_pointer_t<decltype(a.GetData())>>(a.GetData(), a.GetData() + n);
}

TEST_F(ArraysTest, ByteFormOfAllThreeLayoutsRoundTrips) {
    Variable out;
    Variable again;
    DoubleArray(3).Serialize(out);
    EXPECT_EQ(out.GetType(), VT_BUFFER);
    EXPECT_EQ(Contents(out), LE({3}, Doubles(3)));
    DoubleArray a(5);
    Fill(a, {1.5, -0.0, HUGE_VAL, std::nan(""), -5e-324}).Serialize(out);
    EXPECT_EQ(Contents(out), LE({5}, {1.5, -0.0, HUGE_VAL, std::nan(""), -5e-324}));
    DoubleArray(out, out.GetDim()).Serialize(again);
    EXPECT_EQ(Contents(again), Contents(out));

    IntArray b(3);
    Fill(b, {-1, 0x12345678, INT_MIN}).Serialize(out);
    EXPECT_EQ(Contents(out), LE({3, -1, 0x12345678, INT_MIN}));
    EXPECT_EQ(Values(IntArray(out, out.GetDim())), Values(b));

    DoubleArrayEx e(2, 3);
    e(1, 2) = 0.25;
    e.Serialize(out);
    EXPECT_EQ(Contents(out), LE({2, 3}, {0, 0, 0, 0, 0, 0.25}));
    EXPECT_EQ(Ints({a.GetSerializeSize(), b.GetSerializeSize(), e.GetSerializeSize()}), Ints({44, 16, 56}));
    EXPECT_TRUE(Codes().empty());
}

// Each malformed buffer raises error 3 and gives exactly one 0 element;
// counts whose byte size wraps 32 bits must not pass the size check.
TEST_F(ArraysTest, MalformedBuffersGiveOneZeroElement) {
    for (std::int32_t count : {2, -1, INT32_MIN, 1 << 29, (1 << 29) + 1, INT32_MAX}) {
        EXPECT_EQ(Values(DoubleArray(LE({count}, Doubles(8)).data(), count == 2 ? 19 : 64)), Doubles{0});
        EXPECT_EQ(Codes(), Ints{3}) << count;
    }
    EXPECT_EQ(DoubleArray(LE({2}, Doubles(2)).data(), 20).Len(), 2);
    // {count, size}; the last three are shorter than the header.
    for (auto [count, size] : {std::pair{1 << 30, 12}, {(1 << 30) + 1, 12}, {3, 12}, {0, 3}, {0, 0}, {0, -5}}) {
        EXPECT_EQ(Values(IntArray(LE({count, 0, 0}).data(), size)), Ints{0}) << count << " " << size;
        EXPECT_EQ(Codes(), Ints{3});
    }
    EXPECT_EQ(DoubleArray(static_cast<const char*>(nullptr), 100).Len(), 1);
    EXPECT_EQ(Codes(), Ints{3});
}

TEST_F(ArraysTest, InsertRemoveCopySortAndStorageAfterClear) {
    DoubleArray a(3);
    Fill(a, {1.0, 2.0, 3.0}).InsertItem(1, 9.0);
    a.InsertItem(4, 8.0);  // at the length: appends
    EXPECT_EQ(Values(a), Doubles({1, 9, 2, 3, 8}));
    a.RemoveItem(0);
    a.RemoveItem(3);
    DoubleArray copy(a);
    DoubleArray same(3);
    const double* keep = same.GetData();
    same = a;  // same length: the storage is kept
    Fill(a, {std::nan(""), 3.0, -1.0}).QSort();  // NaNs last
    EXPECT_TRUE(a[0] == -1 && a[1] == 3 && std::isnan(a[2]));
    EXPECT_EQ(Values(copy), Doubles({9, 2, 3}));
    EXPECT_TRUE(Values(same) == Values(copy) && same.GetData() == keep);

    // Removing the only element keeps the storage, so insertion still works;
    // after Clear only SetLen gives storage again.
    IntArray one(1);
    one.RemoveItem(0);
    one.RemoveItem(0);
    one.InsertItem(0, 5);
    EXPECT_EQ(Values(one), Ints{5});
    one.Clear();
    one.InsertItem(0, 6);
    EXPECT_EQ(one.Len(), 0);
    EXPECT_EQ(one.SetLen(2), 2);
    Fill(one, {2, 1}).QSort();
    EXPECT_EQ(Values(one), Ints({1, 2}));
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ArraysTest, HeapFailuresAndBadSizes) {
    DoubleArray a(2);
    Fill(a, {4.0, 5.0});
    auto failing = [](auto make) {
        vrt::FailNextAllocations(1);
        return make();
    };
    EXPECT_EQ(failing([&] { return a.SetLen(10); }), 2);
    failing([&] { a.InsertItem(0, 1.0); });
    EXPECT_EQ(Values(a), Doubles({4, 5}));
    DoubleArray target(5);
    EXPECT_EQ(failing([&] { return (target = a).Len(); }), 0);
    EXPECT_EQ(failing([&] { return DoubleArray(a).Len(); }), 0);
    EXPECT_EQ(failing([] { return DoubleArray(4).Len(); }), 0);
    EXPECT_EQ(failing([] { return DoubleArray(LE({1}, {1.0}).data(), 12).Len(); }), 0);
    EXPECT_EQ(failing([] { return DoubleArrayEx(4, 3).Len(); }), 0);
    EXPECT_EQ(failing([] { return HMALLOCZ(16); }), nullptr);
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(failing([] { return IntArray(LE({-1}).data(), 4).Len(); }), 0);  // malformed
    EXPECT_EQ(Codes(), Ints{3});
    EXPECT_EQ(a.SetLen(-1) + DoubleArray(-3).Len() + DoubleArrayEx(-1, 3).Len(), 2);
    EXPECT_EQ(Codes(), Ints({3, 3, 3}));
}

// A byte size beyond the int range of a host buffer: -1, error 3, no bytes.
TEST_F(ArraysTest, SerialisedSizeBeyondIntRange) {
    IntArray big;
    if (big.SetLen(1 << 29) != 1 << 29) GTEST_SKIP() << "no 2 GiB block";  // never touched
    EXPECT_EQ(big.GetSerializeSize(), -1);
    Variable out;
    big.Serialize(out);
    EXPECT_EQ(out.GetDim(), 0);
    EXPECT_EQ(Codes(), Ints{3});
}

TEST_F(ArraysTest, RecordsMoveWholeAndMayBeInsertedFromTheArrayItself) {
    // The block moves while growing and the records from the insertion point
    // on shift up: the inserted values are those before the insertion.
    DoubleArrayEx a(2, 2);
    Fill(a, {3.0, 4.0, 5.0, 6.0}).InsertItem(0, a[1]);
    a.InsertItem(3, a[0]);      // at the count: appends
    a.InsertItem(1, a[1] + 1);  // straddles records 1 and 2
    a.InsertItem(4, a[1]);
    EXPECT_EQ(Values(a), Doubles({5, 6, 4, 5, 3, 4, 5, 6, 4, 5, 5, 6}));
    // Width 3, from the middle of the record before: its last two values and
    // the first of the record that moves up.
    DoubleArrayEx r(2, 3);
    Fill(r, {1.0, 2.0, 3.0, 4.0, 5.0, 6.0}).InsertItem(1, r[0] + 1);
    EXPECT_EQ(Values(r), Doubles({1, 2, 3, 2, 3, 4, 4, 5, 6}));
    a.RemoveItem(0);
    a.RemoveItem(1);
    const Doubles expected = {4, 5, 5, 6, 4, 5, 5, 6};
    DoubleArrayEx copy(a);
    DoubleArrayEx assigned(1, 5);
    assigned = a;
    a.Clear();
    EXPECT_TRUE(Values(copy) == expected && Values(assigned) == expected && assigned.Width() == 2);
    a.InsertItem(0, copy[0]);
    EXPECT_EQ(a.Len(), 0);
    EXPECT_EQ(a.SetLen(2), 2);  // fresh storage after Clear is zero-filled
    EXPECT_EQ(Values(a), Doubles(4));

    // Extremes of a column: the first record wins ties; none without records.
    EXPECT_EQ(Ints({copy.FindMaxIndex(0), copy.FindMinIndex(0), copy.FindMaxIndex(1), copy.FindMinIndex(1),
                    DoubleArrayEx(0, 3).FindMaxIndex(0), DoubleArrayEx(0, 3).FindMinIndex(0)}),
              Ints({1, 0, 1, 0, -1, -1}));
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ArraysTest, ArraySetOwnsZeroFilledBlocksAndCannotBeCopied) {
    static_assert(!std::is_copy_constructible_v<DoubleArraySet> && !std::is_copy_assignable_v<DoubleArraySet>);
    DoubleArraySet s(3, 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Doubles(s[i], s[i] + 4), Doubles(4));
        EXPECT_EQ(Doubles(s.Param(i), s.Param(i) + 10), Doubles(10));
    }
    EXPECT_TRUE(s.IsValid() == 1 && s.GetSet()[2] == s[2] && s.Param(1) != s.Param(0));
    EXPECT_TRUE(s.Param(-1) == s.Param(0) && s.Param(3) == s.Param(0));
    vrt::FailNextAllocations(1);  // item 0
    DoubleArraySet failed(3, 4);
    EXPECT_TRUE(failed.IsValid() == 0 && failed[0] == nullptr && failed[2] != nullptr);
    EXPECT_EQ(DoubleArraySet(0, 4).Param(0), nullptr);
    EXPECT_TRUE(Codes().empty());
    DoubleArraySet bad(-2, 4);
    EXPECT_TRUE(bad.IsValid() == 0 && bad.SetLen() == 0 && bad.Param(0) == nullptr);
    EXPECT_EQ(Codes(), Ints{3});
}

}  // namespace
