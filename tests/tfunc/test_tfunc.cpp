// TFunc storage, lookup, extremes and arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
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

    double xs[2] = {0, 1};
    TFunc negative(-2), missing(xs, nullptr, 2), borrowedMissing(nullptr, xs, 2, 1);
    EXPECT_EQ(negative.n + missing.n + borrowedMissing.n, 0);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3, 3}));

    TFunc empty(0);
    EXPECT_EQ(empty(3), 0);
    EXPECT_EQ(empty.pos(1) + empty.Index(1) + empty.minYindex() + empty.maxYindex(), 0);
    EXPECT_EQ(empty.minX(), 0);
    EXPECT_EQ(empty.maxX(), 1e-7);
    EXPECT_EQ(empty.minY(), 0);
    EXPECT_EQ(empty.maxY(), 1e-7);
}

TEST_F(TFuncTest, LookupAndExtremes) {
    double xs[3] = {0, 1, 2}, ys[3] = {0, 10, 20};
    TFunc f(xs, ys, 3);
    EXPECT_EQ(V({f(-1), f(0.5), f(1.25), f(5)}), (V{0, 5, 12.5, 20}));
    EXPECT_EQ(f.pos(0.5), 0);  // a tie goes to the lower index
    EXPECT_EQ(f.pos(0.6), 1);
    EXPECT_EQ(f.Index(0.5), 0);
    EXPECT_EQ(f.Index(-1), -1);
    EXPECT_EQ(f.Index(2), 2);
    double x2[2] = {1, 3}, y2[2] = {4, 0};
    TFunc line(x2, y2, 2);
    EXPECT_EQ(line(2), 2);
    EXPECT_EQ(line.pos(2.5), 1);

    double ex[5] = {1, 2, 3, 4, 5}, ey[5] = {3, 1, 1, 7, 7};
    TFunc g(ex, ey, 5);
    EXPECT_EQ(V({g.minY(), g.maxY()}), (V{1, 7}));
    EXPECT_EQ(g.minYindex(), 1);  // the first extreme wins
    EXPECT_EQ(g.maxYindex(), 3);
}

// Bisection agrees with a linear scan on an irregular table, at nodes,
// between them and outside.
TEST_F(TFuncTest, BisectionAgreesWithLinearScan) {
    const int n = 1001;
    V xs(n), ys(n);
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> step(0.01, 1.0);
    for (int i = 0; i < n; ++i) {
        xs[i] = i == 0 ? -5 : xs[i - 1] + step(gen);
        ys[i] = std::sin(xs[i]);
    }
    TFunc f(xs.data(), ys.data(), n);
    std::uniform_real_distribution<double> where(xs[0] - 2, xs[n - 1] + 2);
    for (int k = 0; k < 3000; ++k) {
        double t = k % 3 == 0 ? xs[static_cast<size_t>(k) % n] : where(gen);
        int last = -1;
        while (last + 1 < n && xs[last + 1] <= t) ++last;
        EXPECT_EQ(f.Index(t), last) << t;
        if (last < 0 || last == n - 1) continue;
        double w = (t - xs[last]) / (xs[last + 1] - xs[last]);
        EXPECT_NEAR(f(t), ys[last] + (ys[last + 1] - ys[last]) * w, 1e-15);
        EXPECT_EQ(f.pos(t), t - xs[last] > xs[last + 1] - t ? last + 1 : last);
    }
}

TEST_F(TFuncTest, Arithmetic) {
    double xs[3] = {0, 1, 2}, ys[3] = {1, -2, 4};
    TFunc f(xs, ys, 3);
    ((f += 1) *= 3) -= 2;
    EXPECT_EQ(Ys(f), (V{4, -5, 13}));
    f /= 0.0;
    EXPECT_EQ(Ys(f), (V{4, -5, 13}));
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});
    (f /= 2).pow(2);
    EXPECT_EQ(Ys(f), (V{4, 6.25, 42.25}));

    // A table operand is interpolated at this table's abscissae.
    double gx[2] = {0, 4}, gy[2] = {0, 8};
    TFunc g(gx, gy, 2);
    f = TFunc(xs, ys, 3);
    f += g;
    EXPECT_EQ(Ys(f), (V{1, 0, 8}));
    f *= g;
    EXPECT_EQ(Ys(f), (V{0, 0, 32}));
    // Division by zeros: 0 there, error 10 only where y was not already 0.
    double hy[3] = {0, 0, 4};
    f /= TFunc(xs, hy, 3);
    EXPECT_EQ(Ys(f), (V{0, 0, 8}));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{10}));

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
