// Arithmetic on host values: same-typed fast paths, wrapping, division edge
// cases and the hand-over to the host's general operations.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "host/Arithmetic.h"
#include "tests/host/ErrorTest.h"

namespace {

using ArithmeticTest = ErrorTest;
using InPlace = void (*)(Variable&, const Variable&, const Variable&);
using Operator = Variable (*)(const Variable&, const Variable&);
enum Fn { kAdd, kSub, kMul, kDiv, kRest, kOr, kAnd, kXor };
const InPlace kInPlace[] = {Add, Sub, Mul, Div, Rest, Or, And, Xor};
const Operator kOperator[] = {operator+, operator-, operator*, operator/,
                              operator%, operator|, operator&, operator^};

Variable B(int v) { return Variable(static_cast<unsigned char>(v)); }
Variable L(long long v) { return Variable(static_cast<VInt64>(v)); }

// r has the type and the value of want.
void ExpectSame(const Variable& r, const Variable& want) {
    EXPECT_EQ(r.GetType(), want.GetType());
    if (want.GetType() & VT_INTEGER_MASK) EXPECT_EQ(r.GetInt64(), want.GetInt64());
    else EXPECT_EQ(static_cast<double>(r), static_cast<double>(want));
}

TEST_F(ArithmeticTest, TopType) {
    const struct { VVARTYPE a, b, want; } cases[] = {
        {8, 2, 2}, {4, 2, 2}, {2, 32, 32}, {16, 2, 16}, {4, 8, 8}, {32, 16, 32}, {512, 8, 0xFFFF},
        {8, 64, 0xFFFF}, {0, 0, 0xFFFF}};
    for (const auto& c : cases) EXPECT_EQ(TopType(c.a, c.b), c.want) << c.a << ", " << c.b;
}

// The in-place function and the operator agree on every pair here, fast path
// or host path alike.
TEST_F(ArithmeticTest, FunctionsAndOperators) {
    const struct { Fn fn; Variable a, b, want; } cases[] = {
        // Integers wrap in their width; bytes are unsigned.
        {kAdd, B(200), B(100), B(44)}, {kSub, B(100), B(200), B(156)}, {kMul, B(255), B(255), B(1)},
        {kAdd, INT_MAX, 1, INT_MIN}, {kMul, 65536, 65536, 0}, {kAdd, L(LLONG_MAX), L(1), L(LLONG_MIN)},
        {kSub, L(LLONG_MIN), L(1), L(LLONG_MAX)}, {kMul, L(LLONG_MIN), L(-1), L(LLONG_MIN)},
        // Quotients truncate; a remainder has the sign of the dividend.
        {kDiv, 7, 2, 3}, {kRest, 7, 2, 1}, {kDiv, -7, 2, -3}, {kRest, -7, 2, -1}, {kDiv, 5, -1, -5},
        {kDiv, L(-7), L(-2), L(3)}, {kRest, L(-7), L(-2), L(-1)}, {kRest, B(250), B(7), B(5)},
        // The most negative value by -1 wraps to itself with remainder 0.
        {kDiv, INT_MIN, -1, INT_MIN}, {kRest, INT_MIN, -1, 0}, {kDiv, L(LLONG_MIN), L(-1), L(LLONG_MIN)},
        {kRest, L(LLONG_MIN), L(-1), L(0)},
        // Bitwise: bytes give a 32-bit integer.
        {kOr, B(6), B(3), 7}, {kAnd, B(6), B(3), 2}, {kXor, B(6), B(3), 5}, {kAnd, -1, 0xF0, 0xF0},
        {kOr, L(LLONG_MIN), L(1), L(LLONG_MIN + 1)},
        // Floating pairs keep their type; their remainder and mixed pairs are the host's.
        {kAdd, 0.1f, 0.2f, 0.1f + 0.2f}, {kMul, 0.1, 3.0, 0.1 * 3.0}, {kRest, -7.5, 2.0, -1.5},
        {kAdd, 2, 0.5, 2.5}, {kMul, B(3), 1000, 3000}, {kOr, 5, L(2), L(7)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        Variable r;
        kInPlace[c.fn](r, c.a, c.b);
        ExpectSame(r, c.want);
        ExpectSame(kOperator[c.fn](c.a, c.b), c.want);
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(ArithmeticTest, ZeroDivisor) {
    // In place: error 10 and the result the zero of the dividend's type.
    const struct { InPlace f; Variable a, b; } cases[] = {
        {Div, 1.0, 0.0}, {Div, 1.0f, -0.0f}, {Div, L(5), L(0)}, {Rest, B(9), B(0)}};
    for (const auto& c : cases) {
        Variable r(3.5);
        c.f(r, c.a, c.b);
        ExpectSame(r, Variable(c.a.GetType(), 0));
    }
    EXPECT_EQ(ErrorCodes(), std::vector<int>(4, 10));
    // The operators hand it to the host: infinity for floating values, error
    // 10 and no value for integers.
    vrt::ClearErrors();
    EXPECT_EQ(static_cast<double>(Variable(1.0) / Variable(0.0)), INFINITY);
    EXPECT_TRUE(vrt::Errors().empty());
    EXPECT_EQ((Variable(5) % Variable(0)).GetType(), VT_EMPTY);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});
}

TEST_F(ArithmeticTest, ResultMayBeAnOperandOrAReference) {
    Variable x(40), target(10), ref;
    Add(x, x, Variable(2));
    ExpectSame(x, 42);
    Div(x, x, x);
    ExpectSame(x, 1);
    ref = &target;
    ExpectSame(ref + Variable(5), 15);
    Sub(ref, Variable(9), Variable(4));
    ExpectSame(target, 5);
    EXPECT_TRUE(vrt::Errors().empty());
}

}  // namespace
