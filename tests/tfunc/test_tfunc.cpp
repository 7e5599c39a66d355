// TFunc storage, lookup, extremes and arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/host/ErrorTest.h"
#include "tfunc/TFunc.h"

namespace {

using TFuncTest = ErrorTest;
using V = std::vector<double>;

V Ys(const TFunc& f) { return V(f.y, f.y + f.n); }

TEST_F(TFuncTest, ConstructionAndEmptyTable) {
    TFunc f(3);
    EXPECT_EQ(V(f.x, f.x + f.n), (V{0, 1, 2}));
    EXPECT_EQ(Ys(f), (V{0, 0, 0}));

    // A negative count or a missing array: error 3 and an empty table.
    double xs[2] = {0, 1};
    TFunc negative(-2), missing(xs, nullptr, 2), borrowedMissing(nullptr, xs, 2, 1);
    EXPECT_EQ(negative.n + missing.n + borrowedMissing.n, 0);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3, 3}));

    TFunc e(0);
    EXPECT_EQ(V({e(3), e.minX(), e.maxX(), e.minY(), e.maxY()}), (V{0, 0, 1e-7, 0, 1e-7}));
    EXPECT_EQ(e.pos(1) + e.Index(1) + e.minYindex() + e.maxYindex(), 0);
}

TEST_F(TFuncTest, LookupAndExtremes) {
    double xs[3] = {0, 1, 2}, ys[3] = {0, 10, 20};
    TFunc f(xs, ys, 3);
    EXPECT_EQ(V({f(-1), f(0.5), f(1.25), f(5)}), (V{0, 5, 12.5, 20}));
    // pos: a tie goes to the lower index; Index: the last abscissa not above.
    EXPECT_EQ(V({1.0 * f.pos(0.5), 1.0 * f.pos(0.6), 1.0 * f.Index(0.5), 1.0 * f.Index(-1), 1.0 * f.Index(2)}),
              (V{0, 1, 0, -1, 2}));
    double x2[2] = {1, 3}, y2[2] = {4, 0}, rx[6] = {0, 1, 1, 2, 3, 4};
    TFunc line(x2, y2, 2), repeated(rx, rx, 6);
    EXPECT_EQ(V({line(2), 1.0 * line.pos(2.5), 1.0 * repeated.Index(1), 1.0 * repeated.Index(3.5)}), (V{2, 1, 2, 4}));
    // Three points with a kink: beyond x[1] the second segment answers.
    double ky[3] = {0, 10, 0};
    TFunc kinked(xs, ky, 3);
    EXPECT_EQ(V({kinked(1.5), 1.0 * kinked.pos(1.6), 1.0 * kinked.Index(1.5)}), (V{5, 2, 1}));

    double ex[5] = {1, 2, 3, 4, 5}, ey[5] = {3, 1, 1, 7, 7};
    TFunc h(ex, ey, 5);  // the first extreme wins
    EXPECT_EQ(V({h.minY(), h.maxY(), 1.0 * h.minYindex(), 1.0 * h.maxYindex()}), (V{1, 7, 1, 3}));
}

TEST_F(TFuncTest, Arithmetic) {
    double xs[3] = {0, 1, 2}, ys[3] = {1, -2, 4};
    TFunc f(xs, ys, 3);
    ((f += 1) *= 3) -= 2;
    f /= 0.0;  // error 10, nothing changes
    EXPECT_EQ(Ys(f), (V{4, -5, 13}));
    (f /= 2).pow(2);
    EXPECT_EQ(Ys(f), (V{4, 6.25, 42.25}));

    // A table operand is interpolated at this table's abscissae (0, 2, 4).
    // Division by zeros gives 0 there, with error 10 only where y was not 0.
    double gx[2] = {0, 4}, gy[2] = {0, 8}, hy[3] = {0, 0, 4};
    TFunc g(gx, gy, 2);
    f = TFunc(xs, ys, 3);
    (((f += g) /= TFunc(xs, hy, 3)) *= g) -= g;
    EXPECT_EQ(Ys(f), (V{0, -2, 4}));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{10, 10}));

    // A table combined with itself sees its original values at every point,
    // also where a repeated abscissa makes the lookup read a neighbour.
    double rx[4] = {0, 0, 1, 2}, ry[4] = {1, 2, 3, 4};
    TFunc r(rx, ry, 4), expected(r);
    expected += TFunc(r);
    r += r;
    EXPECT_EQ(Ys(r), Ys(expected));
}

TEST_F(TFuncTest, BorrowedArraysCopiesAndSelfAssignment) {
    double xs[3] = {1, 2, 4}, ys[3] = {1, 1, 1};
    {
        TFunc f(xs, ys, 3, 1);
        f.Shift(1);
        f += 2;
        TFunc copy(f);  // owned
        copy.ScaleX(100);
        copy *= 0;
        copy.ExpX();
        EXPECT_EQ(V(copy.x, copy.x + 3), (V{std::exp(200.0), std::exp(300.0), std::exp(500.0)}));
        copy.LnX();
        EXPECT_EQ(V(copy.x, copy.x + 3), (V{200, 300, 500}));
    }
    EXPECT_EQ(V(xs, xs + 3), (V{2, 3, 5}));
    EXPECT_EQ(V(ys, ys + 3), (V{3, 3, 3}));

    TFunc owned(2), borrowed(xs, ys, 3, 1);
    owned = borrowed;
    borrowed = owned;  // becomes owned; the caller's arrays stay
    EXPECT_EQ(borrowed.external, 0);
    EXPECT_NE(borrowed.x, xs);
    TFunc& alias = owned;
    owned = alias;
    EXPECT_EQ(Ys(owned), (V{3, 3, 3}));
    EXPECT_EQ(owned(4.5), 3);
}

}  // namespace
