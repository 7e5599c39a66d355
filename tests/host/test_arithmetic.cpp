// Arithmetic on host values: fast paths in the operand's type, wrapping,
// division edge cases, and the hand-over to the host's general operations.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/Arithmetic.h"
#include "runtime/VeskRuntime.h"
#include "tests/host/ErrorTest.h"

namespace {

using ArithmeticTest = ErrorTest;

Variable Byte(int v) { return Variable(static_cast<unsigned char>(v)); }
Variable Int64(long long v) { return Variable(static_cast<VInt64>(v)); }

// The type code and the integer value of v.
void ExpectInt(const Variable& v, VVARTYPE type, long long value) {
    EXPECT_EQ(v.GetType(), type);
    EXPECT_EQ(v.GetInt64(), value);
}

TEST_F(ArithmeticTest, TopTypePromotion) {
    EXPECT_EQ(TopType(VT_INT, VT_INT64), VT_INT64);
    EXPECT_EQ(TopType(VT_BYTE, VT_INT64), VT_INT64);
    EXPECT_EQ(TopType(VT_INT64, VT_INT64), VT_INT64);
    EXPECT_EQ(TopType(VT_INT64, VT_DOUBLE), VT_DOUBLE);
    EXPECT_EQ(TopType(VT_FLOAT, VT_INT64), VT_FLOAT);
    EXPECT_EQ(TopType(VT_BYTE, VT_INT), VT_INT);
    EXPECT_EQ(TopType(VT_FLOAT, VT_DOUBLE), VT_DOUBLE);
    EXPECT_EQ(TopType(VT_BUFFER, VT_INT), 0xFFFF);
    EXPECT_EQ(TopType(VT_INT, VT_TEXT), 0xFFFF);
    EXPECT_EQ(TopType(VT_EMPTY, VT_EMPTY), 0xFFFF);
}

TEST_F(ArithmeticTest, IntegersWrapInTheirWidth) {
    Variable r;
    Add(r, Byte(200), Byte(100));
    ExpectInt(r, VT_BYTE, 44);
    ExpectInt(Byte(200) + Byte(100), VT_BYTE, 44);
    ExpectInt(Byte(100) - Byte(200), VT_BYTE, 156);
    ExpectInt(Byte(255) * Byte(255), VT_BYTE, 1);

    ExpectInt(Variable(INT_MAX) + Variable(1), VT_INT, INT_MIN);
    Sub(r, Variable(INT_MIN), Variable(1));
    ExpectInt(r, VT_INT, INT_MAX);
    Mul(r, Variable(65536), Variable(65536));
    ExpectInt(r, VT_INT, 0);

    ExpectInt(Int64(LLONG_MAX) + Int64(1), VT_INT64, LLONG_MIN);
    ExpectInt(Int64(LLONG_MIN) - Int64(1), VT_INT64, LLONG_MAX);
    Mul(r, Int64(LLONG_MIN), Int64(-1));
    ExpectInt(r, VT_INT64, LLONG_MIN);
    EXPECT_TRUE(vrt::Errors().empty());
}

// Div, Rest, operator/ and operator% of a by b give the quotient q and the
// remainder m in `type`.
void ExpectDivision(const Variable& a, const Variable& b, VVARTYPE type, long long q, long long m) {
    Variable r;
    Div(r, a, b);
    ExpectInt(r, type, q);
    Rest(r, a, b);
    ExpectInt(r, type, m);
    ExpectInt(a / b, type, q);
    ExpectInt(a % b, type, m);
}

TEST_F(ArithmeticTest, QuotientTruncatesAndRemainderFollowsTheDividend) {
    ExpectDivision(Variable(7), Variable(2), VT_INT, 3, 1);
    ExpectDivision(Variable(-7), Variable(2), VT_INT, -3, -1);
    ExpectDivision(Int64(-7), Int64(-2), VT_INT64, 3, -1);
    ExpectDivision(Byte(250), Byte(7), VT_BYTE, 35, 5);
    // The most negative value by -1 wraps to itself with remainder 0; every
    // other value divided by -1 is negated.
    ExpectDivision(Variable(INT_MIN), Variable(-1), VT_INT, INT_MIN, 0);
    ExpectDivision(Int64(LLONG_MIN), Int64(-1), VT_INT64, LLONG_MIN, 0);
    ExpectDivision(Variable(5), Variable(-1), VT_INT, -5, 0);
    ExpectDivision(Int64(-9), Int64(-1), VT_INT64, 9, 0);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(ArithmeticTest, ZeroDivisorRaisesTenInPlaceAndGoesToTheHostInOperators) {
    Variable r(3.5);
    Div(r, Variable(1.0), Variable(0.0));
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});
    EXPECT_EQ(r.GetType(), VT_DOUBLE);
    EXPECT_EQ(static_cast<double>(r), 0.0);

    vrt::ClearErrors();
    r = 7;
    Div(r, Variable(1.0f), Variable(-0.0f));
    Rest(r, Byte(9), Byte(0));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{10, 10}));
    ExpectInt(r, VT_BYTE, 0);

    // The host divides floating values by zero without error.
    vrt::ClearErrors();
    Variable inf = Variable(1.0) / Variable(0.0);
    EXPECT_EQ(inf.GetType(), VT_DOUBLE);
    EXPECT_EQ(static_cast<double>(inf), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(vrt::Errors().empty());

    // The host raises 10 for an integer zero divisor and answers nothing.
    Variable none = Variable(5) % Variable(0);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});
    EXPECT_EQ(none.GetType(), VT_EMPTY);
}

TEST_F(ArithmeticTest, FloatingPairsKeepTheirType) {
    Variable r;
    Add(r, Variable(0.1f), Variable(0.2f));
    EXPECT_EQ(r.GetType(), VT_FLOAT);
    EXPECT_EQ(static_cast<double>(r), static_cast<double>(0.1f + 0.2f));
    Variable d = Variable(0.1) * Variable(3.0);
    EXPECT_EQ(d.GetType(), VT_DOUBLE);
    EXPECT_EQ(static_cast<double>(d), 0.1 * 3.0);
    // The remainder of floating values is the host's.
    Rest(r, Variable(7.5), Variable(2.0));
    EXPECT_EQ(r.GetType(), VT_DOUBLE);
    EXPECT_EQ(static_cast<double>(r), 1.5);
    EXPECT_EQ(static_cast<double>(Variable(-7.5) % Variable(2.0)), -1.5);
}

TEST_F(ArithmeticTest, MixedAndNonNumericPairsGoToTheHost) {
    Variable r;
    Add(r, Variable(2), Variable(0.5));
    EXPECT_EQ(r.GetType(), VT_DOUBLE);
    EXPECT_EQ(static_cast<double>(r), 2.5);
    Div(r, Variable(1), Variable(0.0));  // the host's: no error, infinity
    EXPECT_TRUE(std::isinf(static_cast<double>(r)));
    Variable p = Byte(3) * Variable(1000);
    ExpectInt(p, VT_INT, 3000);
    ExpectInt(Variable(5) | Int64(2), VT_INT64, 7);

    Variable a, b;
    vrt::MakeArray(a, {1, 2, 3});
    vrt::MakeArray(b, {10, 20, 30});
    EXPECT_EQ(vrt::ToDoubles(a + b), (std::vector<double>{11, 22, 33}));
    Sub(r, b, a);
    EXPECT_EQ(vrt::ToDoubles(r), (std::vector<double>{9, 18, 27}));
    EXPECT_EQ(vrt::ToDoubles(a), (std::vector<double>{1, 2, 3}));
    EXPECT_TRUE(vrt::Errors().empty());

    // Bitwise operations of floating values and texts are the host's errors.
    Or(r, Variable(1.0), Variable(2.0));
    Add(r, Variable("a"), Variable("b"));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
    EXPECT_EQ(r.GetType(), VT_EMPTY);
}

TEST_F(ArithmeticTest, BitwiseResultsWidenBytesToInt) {
    Variable r;
    Or(r, Byte(6), Byte(3));
    ExpectInt(r, VT_INT, 7);
    And(r, Byte(6), Byte(3));
    ExpectInt(r, VT_INT, 2);
    Xor(r, Byte(6), Byte(3));
    ExpectInt(r, VT_INT, 5);
    ExpectInt(Byte(6) | Byte(3), VT_INT, 7);
    ExpectInt(Byte(6) & Byte(3), VT_INT, 2);
    ExpectInt(Byte(6) ^ Byte(3), VT_INT, 5);

    ExpectInt(Variable(-1) & Variable(0x0F0), VT_INT, 0x0F0);
    ExpectInt(Int64(LLONG_MIN) | Int64(1), VT_INT64, LLONG_MIN + 1);
    ExpectInt(Int64(-1) ^ Int64(0), VT_INT64, -1);
}

TEST_F(ArithmeticTest, ResultMayBeAnOperandOrAReference) {
    Variable x(40), y(2);
    Add(x, x, y);
    ExpectInt(x, VT_INT, 42);
    Div(x, x, x);
    ExpectInt(x, VT_INT, 1);

    // A mixed pair through the host with the result aliasing an operand.
    Variable d(1.5);
    Mul(d, d, Variable(2));
    EXPECT_EQ(static_cast<double>(d), 3.0);

    // A reference operand is read through; a reference result is written
    // through to its target.
    Variable target(10), ref;
    ref = &target;
    ExpectInt(ref + Variable(5), VT_INT, 15);
    Sub(ref, Variable(9), Variable(4));
    ExpectInt(target, VT_INT, 5);
    EXPECT_TRUE(vrt::Errors().empty());
}

}  // namespace
