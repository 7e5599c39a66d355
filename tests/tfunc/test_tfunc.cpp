// TFunc storage, lookup, extremes, arithmetic and abscissa transformations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "runtime/VeskRuntime.h"
#include "tests/host/ErrorTest.h"
#include "tfunc/TFunc.h"

namespace {

using TFuncTest = ErrorTest;

std::vector<double> Ys(const TFunc& f) { return std::vector<double>(f.y, f.y + f.n); }

TEST_F(TFuncTest, ConstructionAndBadInput) {
    TFunc f(3);
    ASSERT_EQ(f.n, 3);
    EXPECT_EQ(std::vector<double>(f.x, f.x + 3), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(Ys(f), (std::vector<double>{0, 0, 0}));
    EXPECT_TRUE(vrt::Errors().empty());

    TFunc negative(-2);
    double xs[2] = {0, 1};
    TFunc missing(xs, nullptr, 2);
    TFunc borrowedMissing(nullptr, xs, 2, 1);
    EXPECT_EQ(negative.n, 0);
    EXPECT_EQ(missing.n, 0);
    EXPECT_EQ(borrowedMissing.n, 0);
    EXPECT_EQ(borrowedMissing.external, 0);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3, 3}));
}

TEST_F(TFuncTest, LookupOnThreePoints) {
    double xs[3] = {0, 1, 2}, ys[3] = {0, 10, 20};
    TFunc f(xs, ys, 3);
    EXPECT_EQ(f(-1), 0);
    EXPECT_EQ(f(0.5), 5);
    EXPECT_EQ(f(1.25), 12.5);
    EXPECT_EQ(f(5), 20);
    EXPECT_EQ(f.pos(0.5), 0);  // a tie goes to the lower index
    EXPECT_EQ(f.pos(0.6), 1);
    EXPECT_EQ(f.pos(-3), 0);
    EXPECT_EQ(f.pos(9), 2);
    EXPECT_EQ(f.Index(0.5), 0);
    EXPECT_EQ(f.Index(-1), -1);
    EXPECT_EQ(f.Index(0), 0);
    EXPECT_EQ(f.Index(1), 1);
    EXPECT_EQ(f.Index(2), 2);

    double x2[2] = {1, 3}, y2[2] = {4, 0};
    TFunc line(x2, y2, 2);
    EXPECT_EQ(line(2), 2);
    EXPECT_EQ(line.Index(2.9), 0);
    EXPECT_EQ(line.pos(2.5), 1);
}

// Bisection must agree with a linear scan on an irregular table, at nodes,
// between them and outside.
TEST_F(TFuncTest, BisectionAgreesWithLinearScan) {
    const int n = 1001;
    std::vector<double> xs(n), ys(n);
    std::mt19937_64 gen(7);
    std::uniform_real_distribution<double> step(0.01, 1.0);
    double x = -5;
    for (int i = 0; i < n; ++i) {
        xs[i] = x;
        ys[i] = std::sin(x);
        x += step(gen);
    }
    TFunc f(xs.data(), ys.data(), n);
    std::uniform_real_distribution<double> where(xs[0] - 2, xs[n - 1] + 2);
    for (int k = 0; k < 3000; ++k) {
        double t = k % 3 == 0 ? xs[static_cast<size_t>(k) % n] : where(gen);
        int last = -1;
        while (last + 1 < n && xs[last + 1] <= t) ++last;
        EXPECT_EQ(f.Index(t), last) << t;
        if (last >= 0 && last < n - 1) {
            double w = (t - xs[last]) / (xs[last + 1] - xs[last]);
            EXPECT_NEAR(f(t), ys[last] + (ys[last + 1] - ys[last]) * w, 1e-15);
            int nearest = t - xs[last] > xs[last + 1] - t ? last + 1 : last;
            EXPECT_EQ(f.pos(t), nearest);
        }
    }
}

TEST_F(TFuncTest, ExtremesAndEmptyTable) {
    TFunc empty(0);
    EXPECT_EQ(empty(3), 0);
    EXPECT_EQ(empty.minX(), 0);
    EXPECT_EQ(empty.maxX(), 1e-7);
    EXPECT_EQ(empty.minY(), 0);
    EXPECT_EQ(empty.maxY(), 1e-7);
    EXPECT_EQ(empty.minYindex(), 0);
    EXPECT_EQ(empty.maxYindex(), 0);
    EXPECT_EQ(empty.pos(1), 0);
    EXPECT_EQ(empty.Index(1), 0);

    double xs[5] = {1, 2, 3, 4, 5}, ys[5] = {3, 1, 1, 7, 7};
    TFunc f(xs, ys, 5);
    EXPECT_EQ(f.minX(), 1);
    EXPECT_EQ(f.maxX(), 5);
    EXPECT_EQ(f.minY(), 1);
    EXPECT_EQ(f.maxY(), 7);
    EXPECT_EQ(f.minYindex(), 1);  // the first extreme wins
    EXPECT_EQ(f.maxYindex(), 3);
}

TEST_F(TFuncTest, ArithmeticWithNumbers) {
    double xs[3] = {0, 1, 2}, ys[3] = {1, -2, 4};
    TFunc f(xs, ys, 3);
    f += 1;
    f *= 3;
    f -= 2;
    EXPECT_EQ(Ys(f), (std::vector<double>{4, -5, 13}));
    f /= 0.0;
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});
    EXPECT_EQ(Ys(f), (std::vector<double>{4, -5, 13}));
    f /= 2;
    f.pow(2);
    EXPECT_EQ(Ys(f), (std::vector<double>{4, 6.25, 42.25}));
}

TEST_F(TFuncTest, ArithmeticWithTables) {
    double xs[3] = {0, 1, 2}, ys[3] = {2, 4, 6};
    double gx[2] = {0, 4}, gy[2] = {0, 8};  // g(t) = 2t, sampled off this grid
    TFunc f(xs, ys, 3), g(gx, gy, 2);
    f += g;
    EXPECT_EQ(Ys(f), (std::vector<double>{2, 6, 10}));
    f -= g;
    f *= g;
    EXPECT_EQ(Ys(f), (std::vector<double>{0, 8, 24}));

    // Division by a table that vanishes: zero where g is zero, error 10 only
    // when the ordinate was not already zero, and the loop goes on.
    double hx[3] = {0, 1, 2}, hy[3] = {0, 0, 4};
    TFunc h(hx, hy, 3);
    f /= h;
    EXPECT_EQ(Ys(f), (std::vector<double>{0, 0, 6}));
    EXPECT_EQ(ErrorCodes(), std::vector<int>{10});
}

// A table combined with itself sees its original values at every point, also
// where a repeated abscissa makes the lookup read a neighbour.
TEST_F(TFuncTest, ArithmeticWithItself) {
    double xs[4] = {0, 0, 1, 2}, ys[4] = {1, 2, 3, 4};
    TFunc f(xs, ys, 4);
    TFunc expected(f);
    expected += TFunc(f);
    f += f;
    EXPECT_EQ(Ys(f), Ys(expected));
    f *= f;
    expected *= TFunc(expected);
    EXPECT_EQ(Ys(f), Ys(expected));
}

TEST_F(TFuncTest, BorrowedArraysAndCopies) {
    double xs[3] = {1, 2, 4}, ys[3] = {1, 1, 1};
    {
        TFunc f(xs, ys, 3, 1);
        EXPECT_EQ(f.x, xs);
        f.Shift(1);
        f += 2;
        TFunc copy(f);
        EXPECT_EQ(copy.external, 0);
        copy.Shift(100);
        copy *= 0;
    }
    EXPECT_EQ(std::vector<double>(xs, xs + 3), (std::vector<double>{2, 3, 5}));
    EXPECT_EQ(std::vector<double>(ys, ys + 3), (std::vector<double>{3, 3, 3}));

    // Assignment releases owned arrays, leaves borrowed ones alone, and
    // assigning a table to itself keeps its points.
    TFunc owned(2);
    TFunc borrowed(xs, ys, 3, 1);
    owned = borrowed;
    EXPECT_EQ(owned.external, 0);
    EXPECT_NE(owned.x, xs);
    borrowed = owned;
    EXPECT_EQ(borrowed.external, 0);
    EXPECT_EQ(Ys(borrowed), (std::vector<double>{3, 3, 3}));
    TFunc& alias = owned;
    owned = alias;
    EXPECT_EQ(owned.n, 3);
    EXPECT_EQ(Ys(owned), (std::vector<double>{3, 3, 3}));
    EXPECT_EQ(owned(4), 3);
}

TEST_F(TFuncTest, AbscissaTransformations) {
    double xs[3] = {1, 2, 4}, ys[3] = {5, 6, 7};
    TFunc f(xs, ys, 3);
    f.ScaleX(2);
    f.LnX();
    EXPECT_EQ(f.x[2], std::log(8.0));
    f.ExpX();
    EXPECT_EQ(f.x[0], std::exp(std::log(2.0)));
    f.Shift(-1);
    EXPECT_EQ(f.x[1], std::exp(std::log(4.0)) - 1);
    EXPECT_EQ(Ys(f), (std::vector<double>{5, 6, 7}));
}

}  // namespace
