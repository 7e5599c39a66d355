// Host-heap arrays: serialised form, rejection of malformed buffers, editing,
// allocation failures and ownership.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "containers/Arrays.h"
#include "runtime/VeskRuntime.h"

namespace {

// Every test starts without errors and must leave the host heap as it found
// it.
class ArraysTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::ClearErrors();
        vrt::FailNextAllocations(0);
        blocks_ = vrt::LiveHeapBlocks();
    }
    void TearDown() override {
        vrt::FailNextAllocations(0);
        EXPECT_EQ(vrt::LiveHeapBlocks(), blocks_) << "host heap blocks leaked or freed twice";
        vrt::ClearErrors();
    }
    static std::vector<int> ErrorCodes() {
        std::vector<int> codes;
        for (const auto& e : vrt::Errors()) codes.push_back(e.code);
        return codes;
    }

private:
    long blocks_ = 0;
};

// Little-endian reads of the serialised bytes, independent of the code under
// test.
std::int32_t ReadI32(const char* p) {
    std::uint32_t u = 0;
    for (int k = 0; k < 4; ++k) u |= std::uint32_t(static_cast<unsigned char>(p[k])) << (8 * k);
    return static_cast<std::int32_t>(u);
}

std::uint64_t ReadU64(const char* p) {
    std::uint64_t u = 0;
    for (int k = 0; k < 8; ++k) u |= std::uint64_t(static_cast<unsigned char>(p[k])) << (8 * k);
    return u;
}

std::uint64_t BitsOf(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, 8);
    return u;
}

std::vector<char> Header(std::int32_t count, int payloadBytes) {
    std::vector<char> buf(4 + static_cast<size_t>(payloadBytes), 0);
    for (int k = 0; k < 4; ++k) buf[k] = static_cast<char>((static_cast<std::uint32_t>(count) >> (8 * k)) & 0xFF);
    return buf;
}

std::vector<double> Values(const DoubleArray& a) {
    return std::vector<double>(a.GetData(), a.GetData() + a.Len());
}

TEST_F(ArraysTest, DoubleArraySerialisesLittleEndianAndRoundTripsBitExact) {
    DoubleArray zeros(3);
    EXPECT_EQ(zeros.GetSerializeSize(), 28);
    Variable out;
    zeros.Serialize(out);
    ASSERT_EQ(out.GetType(), VT_BUFFER);
    ASSERT_EQ(out.GetDim(), 28);
    const char* bytes = out;
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(ReadU64(bytes + 4 + 8 * k), 0u);

    const std::vector<double> v = {1.5, -0.0, std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(), 5e-324, -1e308};
    DoubleArray a(static_cast<int>(v.size()));
    for (size_t i = 0; i < v.size(); ++i) a[static_cast<int>(i)] = v[i];
    a.Serialize(out);
    ASSERT_EQ(out.GetDim(), 4 + 8 * 6);
    bytes = out;
    EXPECT_EQ(ReadI32(bytes), 6);
    for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(ReadU64(bytes + 4 + 8 * i), BitsOf(v[i]));

    DoubleArray back(bytes, out.GetDim());
    ASSERT_EQ(back.Len(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(BitsOf(back[i]), BitsOf(v[static_cast<size_t>(i)]));

    // An empty array and a cleared one both serialise to a bare header.
    DoubleArray empty(0);
    empty.Serialize(out);
    EXPECT_EQ(out.GetDim(), 4);
    a.Clear();
    a.Serialize(out);
    ASSERT_EQ(out.GetDim(), 4);
    EXPECT_EQ(ReadI32(out), 0);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(ArraysTest, IntArrayRoundTripsThroughItsByteForm) {
    IntArray a(4);
    a[0] = -1;
    a[1] = 0x12345678;
    a[2] = std::numeric_limits<int>::min();
    a[3] = 7;
    EXPECT_EQ(a.GetSerializeSize(), 20);
    Variable out;
    a.Serialize(out);
    ASSERT_EQ(out.GetDim(), 20);
    const char* bytes = out;
    EXPECT_EQ(ReadI32(bytes), 4);
    EXPECT_EQ(static_cast<unsigned char>(bytes[8]), 0x78u);  // low byte first
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadI32(bytes + 4 + 4 * i), a[i]);

    IntArray back(bytes, out.GetDim());
    ASSERT_EQ(back.Len(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(back[i], a[i]);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(ArraysTest, BufferWhoseElementsFitIsAcceptedEvenWithTrailingBytes) {
    std::vector<char> buf = Header(2, 16);
    const double two[2] = {2.0, -3.0};
    std::memcpy(buf.data() + 4, two, 16);
    DoubleArray exact(buf.data(), 20);
    EXPECT_EQ(Values(exact), (std::vector<double>{2.0, -3.0}));
    buf.resize(40, 0x55);
    DoubleArray longer(buf.data(), 40);
    EXPECT_EQ(Values(longer), (std::vector<double>{2.0, -3.0}));
    DoubleArray none(Header(0, 0).data(), 4);
    EXPECT_EQ(none.Len(), 0);
    EXPECT_NE(none.GetData(), nullptr);
    EXPECT_TRUE(vrt::Errors().empty());
}

// Each malformed buffer raises error 3 and yields exactly one 0.0 element.
TEST_F(ArraysTest, MalformedBuffersAreRejectedWithOneZeroElement) {
    struct Case {
        const char* what;
        std::int32_t count;
        int size;
    };
    const Case cases[] = {
        {"count 2 in 19 bytes", 2, 19},
        {"negative count", -1, 64},
        {"most negative count", std::numeric_limits<std::int32_t>::min(), 64},
        {"count whose bytes wrap 32 bits (8 * 2^29)", 1 << 29, 64},
        {"count whose bytes wrap to 8 (8 * (2^29 + 1))", (1 << 29) + 1, 64},
        {"largest count", std::numeric_limits<std::int32_t>::max(), 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        vrt::ClearErrors();
        std::vector<char> buf = Header(c.count, 60);
        DoubleArray a(buf.data(), c.size);
        ASSERT_EQ(a.Len(), 1);
        EXPECT_EQ(BitsOf(a[0]), 0u);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
    }
    // Buffers shorter than the header, and no buffer at all.
    const std::vector<char> buf = Header(0, 0);
    for (int size : {3, 0, -5}) {
        vrt::ClearErrors();
        DoubleArray a(buf.data(), size);
        IntArray b(buf.data(), size);
        EXPECT_EQ(a.Len(), 1);
        EXPECT_EQ(b.Len(), 1);
        EXPECT_EQ(b[0], 0);
        EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3})) << "size " << size;
    }
    vrt::ClearErrors();
    DoubleArray null(nullptr, 100);
    EXPECT_EQ(null.Len(), 1);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
}

TEST_F(ArraysTest, IntBufferCountIsCheckedWithoutOverflow) {
    for (std::int32_t count : {1 << 30, (1 << 30) + 1, 3}) {
        vrt::ClearErrors();
        std::vector<char> buf = Header(count, 8);
        IntArray a(buf.data(), 12);  // room for two ints only
        EXPECT_EQ(a.Len(), 1) << count;
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
    }
}

TEST_F(ArraysTest, BufferConstructorsWithoutStorage) {
    std::vector<char> good = Header(1, 8);
    vrt::FailNextAllocations(1);
    DoubleArray a(good.data(), 12);
    EXPECT_EQ(a.Len(), 0);
    EXPECT_TRUE(vrt::Errors().empty());

    std::vector<char> bad = Header(-1, 0);
    vrt::FailNextAllocations(1);
    IntArray b(bad.data(), 4);
    EXPECT_EQ(b.Len(), 0);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
}

TEST_F(ArraysTest, InsertAndRemoveKeepOrderAndExactLength) {
    DoubleArray a(3);
    a[0] = 1;
    a[1] = 2;
    a[2] = 3;
    a.InsertItem(1, 9.0);
    EXPECT_EQ(Values(a), (std::vector<double>{1, 9, 2, 3}));
    a.InsertItem(4, 8.0);
    EXPECT_EQ(Values(a), (std::vector<double>{1, 9, 2, 3, 8}));
    a.InsertItem(0, 7.0);
    EXPECT_EQ(Values(a), (std::vector<double>{7, 1, 9, 2, 3, 8}));
    a.RemoveItem(0);
    a.RemoveItem(4);
    a.RemoveItem(1);
    EXPECT_EQ(Values(a), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(a.GetSerializeSize(), 28);

    // Removing the only element keeps the storage, so insertion still works.
    IntArray one(1);
    one.RemoveItem(0);
    EXPECT_EQ(one.Len(), 0);
    ASSERT_NE(one.GetData(), nullptr);
    one.RemoveItem(0);  // nothing to remove
    EXPECT_EQ(one.Len(), 0);
    one.InsertItem(0, 5);
    ASSERT_EQ(one.Len(), 1);
    EXPECT_EQ(one[0], 5);

    // After Clear there is no storage: InsertItem does nothing, SetLen
    // restores storage.
    one.Clear();
    one.InsertItem(0, 6);
    EXPECT_EQ(one.Len(), 0);
    EXPECT_EQ(one.GetData(), nullptr);
    EXPECT_EQ(one.SetLen(2), 2);
    one[0] = 1;
    one[1] = 2;
    one.InsertItem(2, 3);
    EXPECT_EQ(one.Len(), 3);
    EXPECT_EQ(one[2], 3);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(ArraysTest, FailedAllocationsLeaveArraysUsable) {
    DoubleArray a(2);
    a[0] = 4;
    a[1] = 5;

    vrt::FailNextAllocations(1);
    EXPECT_EQ(a.SetLen(10), 2);
    vrt::FailNextAllocations(1);
    a.InsertItem(0, 1.0);
    EXPECT_EQ(Values(a), (std::vector<double>{4, 5}));

    vrt::FailNextAllocations(1);
    DoubleArray copy(a);
    EXPECT_EQ(copy.Len(), 0);
    DoubleArray target(5);
    vrt::FailNextAllocations(1);
    target = a;
    EXPECT_EQ(target.Len(), 0);
    target = a;
    EXPECT_EQ(Values(target), Values(a));

    vrt::FailNextAllocations(1);
    DoubleArray none(4);
    EXPECT_EQ(none.Len(), 0);

    // A negative size is a bad argument, not an allocation.
    EXPECT_EQ(a.SetLen(-1), 2);
    DoubleArray negative(-3);
    EXPECT_EQ(negative.Len(), 0);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
}

TEST_F(ArraysTest, CopyAndAssignmentAreDeep) {
    IntArray a(3);
    a[0] = 3;
    a[1] = 1;
    a[2] = 2;
    IntArray b(a);
    b[0] = 99;
    EXPECT_EQ(a[0], 3);
    IntArray c(3);
    int* keep = c.GetData();
    c = a;  // same length: the storage is kept
    EXPECT_EQ(c.GetData(), keep);
    EXPECT_EQ(c[2], 2);
    c = c;
    EXPECT_EQ(c[1], 1);
    IntArray d(1);
    d = a;
    ASSERT_EQ(d.Len(), 3);
    EXPECT_EQ(d[0], 3);
    a.QSort();
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[2], 3);
    EXPECT_EQ(d[0], 3);
}

TEST_F(ArraysTest, MemberSortPutsNaNsLast) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> in = {3, nan, -1, 2, nan, -7, 2, 0.5};
    DoubleArray a(static_cast<int>(in.size()));
    for (size_t i = 0; i < in.size(); ++i) a[static_cast<int>(i)] = in[i];
    a.QSort();
    const std::vector<double> sorted = {-7, -1, 0.5, 2, 2, 3};
    for (size_t i = 0; i < sorted.size(); ++i) EXPECT_EQ(a[static_cast<int>(i)], sorted[i]);
    EXPECT_TRUE(std::isnan(a[6]) && std::isnan(a[7]));
    DoubleArray cleared(0);
    cleared.Clear();
    cleared.QSort();
    EXPECT_EQ(cleared.Len(), 0);
}

std::vector<double> Records(const DoubleArrayEx& a) {
    return std::vector<double>(a.GetData(), a.GetData() + static_cast<size_t>(a.Len()) * a.Width());
}

// Writes the values record after record into an array of matching size.
void Fill(DoubleArrayEx& a, const std::vector<double>& values) {
    ASSERT_EQ(values.size(), static_cast<size_t>(a.Len()) * a.Width());
    std::copy(values.begin(), values.end(), a.GetData());
}

TEST_F(ArraysTest, DoubleArrayExSerialisesRecordAfterRecord) {
    DoubleArrayEx zeros(2, 3);
    EXPECT_EQ(zeros.GetSerializeSize(), 56);
    Variable out;
    zeros.Serialize(out);
    ASSERT_EQ(out.GetDim(), 56);
    EXPECT_EQ(ReadI32(out), 2);
    EXPECT_EQ(ReadI32(static_cast<char*>(out) + 4), 3);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(ReadU64(static_cast<char*>(out) + 8 + 8 * k), 0u);

    DoubleArrayEx a(3, 2);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) a(i, j) = 10.0 * i + j + 0.25;
    a.Serialize(out);
    ASSERT_EQ(out.GetDim(), 8 + 8 * 6);
    const char* bytes = out;
    EXPECT_EQ(ReadI32(bytes), 3);
    EXPECT_EQ(ReadI32(bytes + 4), 2);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) EXPECT_EQ(ReadU64(bytes + 8 + 8 * (2 * i + j)), BitsOf(a(i, j)));
}

TEST_F(ArraysTest, DoubleArrayExEditsWholeRecords) {
    DoubleArrayEx a(2, 2);
    Fill(a, {1, 2, 3, 4});
    const double rec[2] = {5, 6};
    a.InsertItem(1, rec);
    EXPECT_EQ(Records(a), (std::vector<double>{1, 2, 5, 6, 3, 4}));
    a.InsertItem(3, rec);
    EXPECT_EQ(Records(a), (std::vector<double>{1, 2, 5, 6, 3, 4, 5, 6}));
    a.RemoveItem(1);
    a.RemoveItem(0);
    EXPECT_EQ(Records(a), (std::vector<double>{3, 4, 5, 6}));

    // A record of the array itself may be inserted: the block moves while
    // growing, and records at or after the insertion point shift.
    a.InsertItem(0, a[1]);
    EXPECT_EQ(Records(a), (std::vector<double>{5, 6, 3, 4, 5, 6}));
    a.InsertItem(2, a[0]);
    EXPECT_EQ(Records(a), (std::vector<double>{5, 6, 3, 4, 5, 6, 5, 6}));
    a.InsertItem(1, a[1] + 1);  // straddles records 1 and 2
    EXPECT_EQ(Records(a), (std::vector<double>{5, 6, 4, 5, 3, 4, 5, 6, 5, 6}));

    a.Clear();
    a.InsertItem(0, rec);
    EXPECT_EQ(a.Len(), 0);
    EXPECT_EQ(a.SetLen(2), 2);  // fresh storage after Clear is zero-filled
    EXPECT_EQ(Records(a), (std::vector<double>{0, 0, 0, 0}));
    vrt::FailNextAllocations(1);
    EXPECT_EQ(a.SetLen(5), 2);
    vrt::FailNextAllocations(1);
    a.InsertItem(0, rec);
    EXPECT_EQ(a.Len(), 2);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(ArraysTest, DoubleArrayExCopyAssignAndExtremes) {
    DoubleArrayEx a(3, 2);
    Fill(a, {1, 5, 2, 7, 3, 7});
    EXPECT_EQ(a.FindMaxIndex(1), 1);
    EXPECT_EQ(a.FindMinIndex(1), 0);
    EXPECT_EQ(a.FindMaxIndex(0), 2);

    DoubleArrayEx b(a);
    b(1, 1) = 0;
    EXPECT_EQ(a(1, 1), 7);
    EXPECT_EQ(b.FindMinIndex(1), 1);
    DoubleArrayEx c(1, 5);
    c = a;
    EXPECT_EQ(c.Width(), 2);
    EXPECT_EQ(Records(c), Records(a));
    DoubleArrayEx d(7, 1);
    vrt::FailNextAllocations(1);
    d = a;
    EXPECT_EQ(d.Len(), 0);
    EXPECT_EQ(d.Width(), 2);

    DoubleArrayEx empty(0, 3);
    EXPECT_EQ(empty.FindMaxIndex(0), -1);
    EXPECT_EQ(empty.FindMinIndex(0), -1);
    vrt::FailNextAllocations(1);
    DoubleArrayEx none(4, 3);
    EXPECT_EQ(none.Len(), 0);
    EXPECT_EQ(none.Width(), 3);
    EXPECT_TRUE(vrt::Errors().empty());
    DoubleArrayEx negative(-1, 3);
    EXPECT_EQ(negative.Len(), 0);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
}

TEST_F(ArraysTest, DoubleArraySetOwnsZeroFilledBlocks) {
    static_assert(!std::is_copy_constructible_v<DoubleArraySet>);
    static_assert(!std::is_copy_assignable_v<DoubleArraySet>);
    {
        DoubleArraySet s(3, 4);
        EXPECT_EQ(s.IsValid(), 1);
        EXPECT_EQ(s.SetLen(), 3);
        EXPECT_EQ(s.ItemLen(), 4);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(s.GetSet()[i], s[i]);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(s[i][k], 0.0);
            for (int k = 0; k < 10; ++k) EXPECT_EQ(s.Param(i)[k], 0.0);
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
    {
        DoubleArraySet s(0, 4);
        EXPECT_EQ(s.Param(0), nullptr);
        EXPECT_EQ(s.Param(-1), nullptr);
    }
    EXPECT_TRUE(vrt::Errors().empty());
    DoubleArraySet bad(-2, 4);
    EXPECT_EQ(bad.IsValid(), 0);
    EXPECT_EQ(bad.SetLen(), 0);
    EXPECT_EQ(bad.Param(0), nullptr);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
}

TEST_F(ArraysTest, ZeroFilledAllocation) {
    auto* p = static_cast<unsigned char*>(HMALLOCZ(16));
    ASSERT_NE(p, nullptr);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(p[k], 0);
    HFREE(p);
    vrt::FailNextAllocations(1);
    EXPECT_EQ(HMALLOCZ(16), nullptr);
}

// Other modules read the fields directly: after the vtable pointer come the
// fields in their documented order.
TEST_F(ArraysTest, FieldsFollowTheVtablePointerInOrder) {
    auto at = [](const void* obj, size_t off, auto sample) {
        decltype(sample) v;
        std::memcpy(&v, static_cast<const unsigned char*>(obj) + off, sizeof v);
        return v;
    };
    DoubleArray d(2);
    EXPECT_EQ(at(&d, 8, (double*)nullptr), d.GetData());
    EXPECT_EQ(at(&d, 16, 0), 2);
    IntArray i(5);
    EXPECT_EQ(at(&i, 8, (int*)nullptr), i.GetData());
    EXPECT_EQ(at(&i, 16, 0), 5);
    DoubleArrayEx e(3, 4);
    EXPECT_EQ(at(&e, 8, (double*)nullptr), e.GetData());
    EXPECT_EQ(at(&e, 16, 0), 4);
    EXPECT_EQ(at(&e, 20, 0), 3);
    DoubleArraySet s(2, 6);
    EXPECT_EQ(at(&s, 8, (double**)nullptr)[1], s.Param(1));
    EXPECT_EQ(at(&s, 16, (double**)nullptr), s.GetSet());
    EXPECT_EQ(at(&s, 24, 0), 2);
    EXPECT_EQ(at(&s, 28, 0), 6);
    EXPECT_EQ(at(&s, 32, 0), 1);
}

}  // namespace
