// Host-heap arrays: serialised form, rejection of malformed buffers, editing,
// allocation failures and ownership.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <type_traits>
#include <vector>

#include "containers/Arrays.h"
#include "runtime/VeskRuntime.h"

namespace {

// Every test starts without errors and must leave the host heap as it found
// it (no leak, no double release).
class ArraysTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::ClearErrors();
        blocks_ = vrt::LiveHeapBlocks();
    }
    void TearDown() override {
        vrt::FailNextAllocations(0);
        EXPECT_EQ(vrt::LiveHeapBlocks(), blocks_);
        vrt::ClearErrors();
    }
    static std::vector<int> Codes() {
        std::vector<int> codes;
        for (const auto& e : vrt::Errors()) codes.push_back(e.code);
        vrt::ClearErrors();
        return codes;
    }

private:
    long blocks_ = 0;
};

// Little-endian field of the serialised bytes, read independently of the
// code under test.
template <class U>
U ReadLE(const char* p) {
    std::uint64_t u = 0;
    for (size_t k = 0; k < sizeof(U); ++k) u |= std::uint64_t(static_cast<unsigned char>(p[k])) << (8 * k);
    return static_cast<U>(u);
}

std::uint64_t BitsOf(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, 8);
    return u;
}

std::vector<char> WithCount(std::int32_t count, size_t payload) {
    std::vector<char> buf(4 + payload, 0);
    for (int k = 0; k < 4; ++k) buf[static_cast<size_t>(k)] = static_cast<char>(static_cast<std::uint32_t>(count) >> (8 * k));
    return buf;
}

template <class A>
auto Values(const A& a) {
    using T = std::remove_pointer_t<decltype(a.GetData())>;
    return std::vector<T>(a.GetData(), a.GetData() + a.Len());
}

std::vector<double> Records(const DoubleArrayEx& a) {
    return std::vector<double>(a.GetData(), a.GetData() + static_cast<size_t>(a.Len()) * a.Width());
}

TEST_F(ArraysTest, SerialisedFormIsLittleEndianAndRoundTripsBitExact) {
    Variable out;
    DoubleArray(3).Serialize(out);
    ASSERT_EQ(out.GetType(), VT_BUFFER);
    ASSERT_EQ(out.GetDim(), 28);
    EXPECT_EQ(std::vector<char>(static_cast<char*>(out), static_cast<char*>(out) + 28), WithCount(3, 24));

    const std::vector<double> v = {1.5, -0.0, std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(), 5e-324, -1e308};
    DoubleArray a(6);
    std::copy(v.begin(), v.end(), a.GetData());
    EXPECT_EQ(a.GetSerializeSize(), 52);
    a.Serialize(out);
    ASSERT_EQ(out.GetDim(), 52);
    EXPECT_EQ(ReadLE<std::int32_t>(out), 6);
    DoubleArray back(static_cast<char*>(out), out.GetDim());
    ASSERT_EQ(back.Len(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ReadLE<std::uint64_t>(static_cast<char*>(out) + 4 + 8 * i), BitsOf(v[size_t(i)]));
        EXPECT_EQ(BitsOf(back[i]), BitsOf(v[size_t(i)]));
    }

    IntArray b(3);
    b[0] = -1;
    b[1] = 0x12345678;
    b[2] = std::numeric_limits<int>::min();
    b.Serialize(out);
    ASSERT_EQ(out.GetDim(), 16);
    EXPECT_EQ(static_cast<unsigned char>(static_cast<char*>(out)[8]), 0x78u);  // low byte first
    EXPECT_EQ(Values(IntArray(static_cast<char*>(out), 16)), Values(b));

    DoubleArrayEx e(2, 3);
    EXPECT_EQ(e.GetSerializeSize(), 56);
    e(1, 2) = 0.25;
    e.Serialize(out);
    ASSERT_EQ(out.GetDim(), 56);
    const char* p = out;
    EXPECT_EQ(ReadLE<std::int32_t>(p), 2);
    EXPECT_EQ(ReadLE<std::int32_t>(p + 4), 3);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(ReadLE<std::uint64_t>(p + 8 + 8 * k), BitsOf(e.GetData()[k]));

    // A cleared array serialises to a bare header; trailing bytes are ignored.
    a.Clear();
    a.Serialize(out);
    EXPECT_EQ(std::vector<char>(static_cast<char*>(out), static_cast<char*>(out) + out.GetDim()), WithCount(0, 0));
    std::vector<char> longer = WithCount(1, 20);
    longer[11] = 0x40;  // 2.0
    EXPECT_EQ(Values(DoubleArray(longer.data(), 24)), std::vector<double>{2.0});
    EXPECT_EQ(Values(DoubleArray(longer.data(), 12)), std::vector<double>{2.0});
    EXPECT_TRUE(Codes().empty());
}

// Each malformed buffer raises error 3 and yields exactly one 0 element;
// counts whose byte size wraps 32 bits must not pass the size check.
TEST_F(ArraysTest, MalformedBuffersGiveOneZeroElement) {
    struct Case {
        std::int32_t count;
        int size;
    };
    const Case doubles[] = {{2, 19}, {-1, 64}, {INT32_MIN, 64}, {1 << 29, 64}, {(1 << 29) + 1, 64}, {INT32_MAX, 64}};
    for (const Case& c : doubles) {
        DoubleArray a(WithCount(c.count, 60).data(), c.size);
        ASSERT_EQ(a.Len(), 1) << c.count;
        EXPECT_EQ(BitsOf(a[0]), 0u);
        EXPECT_EQ(Codes(), std::vector<int>{3}) << c.count;
    }
    EXPECT_EQ(DoubleArray(WithCount(2, 16).data(), 20).Len(), 2);
    for (std::int32_t count : {1 << 30, (1 << 30) + 1, 3}) {
        IntArray a(WithCount(count, 8).data(), 12);
        EXPECT_EQ(Values(a), std::vector<int>{0}) << count;
        EXPECT_EQ(Codes(), std::vector<int>{3});
    }
    // Shorter than the header, and no buffer at all.
    for (int size : {3, 0, -5}) {
        EXPECT_EQ(Values(IntArray(WithCount(0, 0).data(), size)), std::vector<int>{0});
        EXPECT_EQ(Codes(), std::vector<int>{3}) << size;
    }
    EXPECT_EQ(DoubleArray(nullptr, 100).Len(), 1);
    EXPECT_EQ(Codes(), std::vector<int>{3});

    // Without storage: length 0, and the error only for the malformed one.
    vrt::FailNextAllocations(1);
    EXPECT_EQ(DoubleArray(WithCount(1, 8).data(), 12).Len(), 0);
    EXPECT_TRUE(Codes().empty());
    vrt::FailNextAllocations(1);
    EXPECT_EQ(IntArray(WithCount(-1, 0).data(), 4).Len(), 0);
    EXPECT_EQ(Codes(), std::vector<int>{3});
}

TEST_F(ArraysTest, InsertRemoveAndStorageAfterClear) {
    DoubleArray a(3);
    std::iota(a.GetData(), a.GetData() + 3, 1.0);
    a.InsertItem(1, 9.0);
    a.InsertItem(4, 8.0);
    EXPECT_EQ(Values(a), (std::vector<double>{1, 9, 2, 3, 8}));
    a.RemoveItem(0);
    a.RemoveItem(3);
    EXPECT_EQ(Values(a), (std::vector<double>{9, 2, 3}));

    // Removing the only element keeps the storage, so insertion still works;
    // after Clear only SetLen gives storage again.
    IntArray one(1);
    one.RemoveItem(0);
    one.RemoveItem(0);
    EXPECT_EQ(one.Len(), 0);
    one.InsertItem(0, 5);
    EXPECT_EQ(Values(one), std::vector<int>{5});
    one.Clear();
    one.InsertItem(0, 6);
    EXPECT_EQ(one.Len(), 0);
    EXPECT_EQ(one.GetData(), nullptr);
    EXPECT_EQ(one.SetLen(1), 1);
    one[0] = 1;
    one.InsertItem(1, 2);
    EXPECT_EQ(Values(one), (std::vector<int>{1, 2}));
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ArraysTest, FailedAllocationsAndBadSizes) {
    DoubleArray a(2);
    a[0] = 4;
    a[1] = 5;
    vrt::FailNextAllocations(1);
    EXPECT_EQ(a.SetLen(10), 2);
    vrt::FailNextAllocations(1);
    a.InsertItem(0, 1.0);
    EXPECT_EQ(Values(a), (std::vector<double>{4, 5}));
    vrt::FailNextAllocations(1);
    EXPECT_EQ(DoubleArray(a).Len(), 0);
    DoubleArray target(5);
    vrt::FailNextAllocations(1);
    target = a;
    EXPECT_EQ(target.Len(), 0);
    vrt::FailNextAllocations(1);
    EXPECT_EQ(DoubleArray(4).Len(), 0);
    EXPECT_TRUE(Codes().empty());

    EXPECT_EQ(a.SetLen(-1), 2);
    EXPECT_EQ(DoubleArray(-3).Len(), 0);
    EXPECT_EQ(DoubleArrayEx(-1, 3).Len(), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{3, 3, 3}));
}

TEST_F(ArraysTest, CopiesAreDeepAndMemberSortPutsNaNsLast) {
    IntArray a(3);
    a[0] = 3;
    a[1] = 1;
    a[2] = 2;
    IntArray b(a);
    IntArray c(3);
    int* keep = c.GetData();
    c = a;  // same length: the storage is kept
    EXPECT_EQ(c.GetData(), keep);
    c = c;
    a.QSort();
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Values(b), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(Values(c), (std::vector<int>{3, 1, 2}));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> in = {3, nan, -1, 2, nan, -7, 2, 0.5};
    DoubleArray d(8);
    std::copy(in.begin(), in.end(), d.GetData());
    d.QSort();
    const std::vector<double> numbers = {-7, -1, 0.5, 2, 2, 3};
    EXPECT_TRUE(std::equal(numbers.begin(), numbers.end(), d.GetData()));
    EXPECT_TRUE(std::isnan(d[6]) && std::isnan(d[7]));
}

TEST_F(ArraysTest, RecordsMoveWholeAndMayBeInsertedFromTheArrayItself) {
    DoubleArrayEx a(2, 2);
    std::iota(a.GetData(), a.GetData() + 4, 1.0);
    const double rec[2] = {5, 6};
    a.InsertItem(1, rec);
    a.InsertItem(3, rec);
    EXPECT_EQ(Records(a), (std::vector<double>{1, 2, 5, 6, 3, 4, 5, 6}));
    a.RemoveItem(1);
    a.RemoveItem(0);
    EXPECT_EQ(Records(a), (std::vector<double>{3, 4, 5, 6}));

    // The block moves while growing and records from the insertion point on
    // shift up: the inserted values must be those before the insertion.
    a.InsertItem(0, a[1]);
    a.InsertItem(2, a[0]);
    EXPECT_EQ(Records(a), (std::vector<double>{5, 6, 3, 4, 5, 6, 5, 6}));
    a.InsertItem(1, a[1] + 1);  // straddles records 1 and 2
    EXPECT_EQ(Records(a), (std::vector<double>{5, 6, 4, 5, 3, 4, 5, 6, 5, 6}));

    DoubleArrayEx copy(a);
    DoubleArrayEx assigned(1, 5);
    assigned = a;
    a(0, 0) = -1;
    EXPECT_EQ(assigned.Width(), 2);
    EXPECT_EQ(Records(assigned), Records(copy));

    a.Clear();
    a.InsertItem(0, rec);
    EXPECT_EQ(a.Len(), 0);
    EXPECT_EQ(a.SetLen(2), 2);  // fresh storage after Clear is zero-filled
    EXPECT_EQ(Records(a), (std::vector<double>{0, 0, 0, 0}));
    vrt::FailNextAllocations(1);
    EXPECT_EQ(a.SetLen(5), 2);
    vrt::FailNextAllocations(1);
    DoubleArrayEx none(4, 3);
    EXPECT_EQ(none.Len(), 0);
    EXPECT_EQ(none.Width(), 3);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ArraysTest, ExtremeRecordIsTheFirstOnTies) {
    DoubleArrayEx a(3, 2);
    const double values[] = {1, 5, 2, 7, 3, 7};
    std::copy(values, values + 6, a.GetData());
    EXPECT_EQ(a.FindMaxIndex(1), 1);
    EXPECT_EQ(a.FindMinIndex(1), 0);
    EXPECT_EQ(a.FindMaxIndex(0), 2);
    EXPECT_EQ(DoubleArrayEx(0, 3).FindMaxIndex(0), -1);
    EXPECT_EQ(DoubleArrayEx(0, 3).FindMinIndex(0), -1);
}

TEST_F(ArraysTest, ArraySetOwnsZeroFilledBlocksAndCannotBeCopied) {
    static_assert(!std::is_copy_constructible_v<DoubleArraySet> && !std::is_copy_assignable_v<DoubleArraySet>);
    {
        DoubleArraySet s(3, 4);
        EXPECT_EQ(s.IsValid(), 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(s.GetSet()[i], s[i]);
            EXPECT_TRUE(std::all_of(s[i], s[i] + 4, [](double x) { return x == 0; }));
            EXPECT_TRUE(std::all_of(s.Param(i), s.Param(i) + 10, [](double x) { return x == 0; }));
        }
        EXPECT_NE(s.Param(1), s.Param(0));
        EXPECT_EQ(s.Param(-1), s.Param(0));
        EXPECT_EQ(s.Param(3), s.Param(0));
    }
    {
        vrt::FailNextAllocations(1);  // item 0
        DoubleArraySet s(3, 4);
        EXPECT_EQ(s.IsValid(), 0);
        EXPECT_EQ(s[0], nullptr);
        EXPECT_NE(s[2], nullptr);
    }
    EXPECT_EQ(DoubleArraySet(0, 4).Param(0), nullptr);
    EXPECT_TRUE(Codes().empty());
    DoubleArraySet bad(-2, 4);
    EXPECT_EQ(bad.IsValid() + bad.SetLen(), 0);
    EXPECT_EQ(bad.Param(0), nullptr);
    EXPECT_EQ(Codes(), std::vector<int>{3});
}

TEST_F(ArraysTest, ZeroFilledAllocationAndFieldOrder) {
    auto* p = static_cast<unsigned char*>(HMALLOCZ(16));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(std::all_of(p, p + 16, [](unsigned char c) { return c == 0; }));
    HFREE(p);
    vrt::FailNextAllocations(1);
    EXPECT_EQ(HMALLOCZ(16), nullptr);

    // Other modules read the fields directly: they follow the vtable pointer
    // in their documented order.
    auto at = [](const void* obj, size_t off, auto sample) {
        decltype(sample) v;
        std::memcpy(&v, static_cast<const unsigned char*>(obj) + off, sizeof v);
        return v;
    };
    DoubleArray d(2);
    EXPECT_EQ(at(&d, 8, (double*)nullptr), d.GetData());
    EXPECT_EQ(at(&d, 16, 0), 2);
    DoubleArrayEx e(3, 4);
    EXPECT_EQ(at(&e, 8, (double*)nullptr), e.GetData());
    EXPECT_EQ(at(&e, 16, 0) * 10 + at(&e, 20, 0), 43);
    DoubleArraySet s(2, 6);
    EXPECT_EQ(at(&s, 8, (double**)nullptr)[1], s.Param(1));
    EXPECT_EQ(at(&s, 16, (double**)nullptr), s.GetSet());
    EXPECT_EQ(at(&s, 24, 0) * 100 + at(&s, 28, 0) * 10 + at(&s, 32, 0), 261);
}

}  // namespace
