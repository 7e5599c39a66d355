// TFunc integrals against closed forms, zeros, extremes, and the
// log-integral of e^y against tests/data values from gen_reference.py.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "linalg/MatVector.h"
#include "tests/host/ErrorTest.h"
#include "tfunc/TFunc.h"

// The k-th nothrow allocation from the one where g_failAt is set to k fails.
int g_failAt = 0;
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    if (g_failAt > 0 && --g_failAt == 0) return nullptr;
    try { return ::operator new(n); } catch (...) { return nullptr; }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    if (g_failAt > 0 && --g_failAt == 0) return nullptr;
    try { return ::operator new[](n); } catch (...) { return nullptr; }
}

namespace {

using Calculus = ErrorTest;
using V = std::vector<double>;

TFunc Table(V xs, V ys) { return TFunc(xs.data(), ys.data(), static_cast<int>(xs.size())); }
TFunc Sampled(const V& xs, double (*g)(double)) {
    V ys;
    for (double x : xs) ys.push_back(g(x));
    return Table(xs, ys);
}
V Ys(TFunc* raw) {
    std::unique_ptr<TFunc> f(raw);
    return V(f->y, f->y + f->n);
}

// 3x^2 - 2x + 1 and its integral from a to b.
double Quad(double x) { return 3 * x * x - 2 * x + 1; }
double QuadInt(double a, double b) {
    auto F = [](double x) { return x * x * x - x * x + x; };
    return F(b) - F(a);
}
const V kIrregular = {0, 0.3, 0.45, 1.1, 1.7, 2.0, 2.9, 3.3, 3.35, 4.2, 5.0, 5.6, 6.0};

TEST_F(Calculus, TrapezoidsExactForPiecewiseLinear) {
    TFunc f = Table({0, 1, 2}, {0, 1, 2});
    EXPECT_EQ(V({f.Integral(0, 2), f.Integral(2, 0), f.Integral(-1, 0), f.Integral(2, 3), f.Integral(0.5, 1.5)}),
              (V{2, -2, 0, 2, 1}));
    TFunc one = Table({1}, {5});
    // A one-point table integrates from its point to itself: 0 (not its y).
    EXPECT_EQ(V({one.Integral(0, 3), one.IntegralSimpson(0, 3), Ys(one.Integral())[0],
                 Ys(one.IntegralSimpson())[0]}),
              (V{0, 0, 0, 0}));

    // y = 2x + 1, continued as constants outside [0, 6]: exact between any
    // limits in both orientations, and cumulatively at every node.
    TFunc g = Sampled(kIrregular, [](double x) { return 2 * x + 1; });
    auto F = [](double t) { return t <= 0 ? t : t >= 6 ? 42 + 13 * (t - 6) : t * t + t; };
    const double limits[] = {-3, 0, 0.3, 0.31, 1.9, 3.34, 5.99, 6, 8.5};
    for (double a : limits)
        for (double b : limits) EXPECT_NEAR(g.Integral(a, b), F(b) - F(a), 1e-12) << a << " " << b;
    V cumulative = Ys(g.Integral());
    for (int i = 0; i < g.n; ++i) EXPECT_NEAR(cumulative[i], F(g.x[i]), 1e-12) << i;
}

// Parabolas are exact for degree 2 on equal spacing, on irregular spacing and
// on a grid whose last step differs in the last digit (the unequal path).
TEST_F(Calculus, ParabolasExactForQuadratics) {
    V tenths, nudged;
    for (int i = 0; i <= 10; ++i) tenths.push_back(0.1 * i);
    nudged = tenths;
    nudged[10] = std::nextafter(nudged[10], 2.0);
    for (const V& grid : {tenths, nudged, kIrregular}) {
        TFunc f = Sampled(grid, Quad);
        V F = Ys(f.IntegralSimpson());
        const int last = f.n - 1;
        for (int i = 0; i <= last; ++i) {
            EXPECT_NEAR(F[i], QuadInt(0, grid[i]), 1e-12) << i;
            double up = f.IntegralSimpson(grid[i], grid[last]), down = f.IntegralSimpson(grid[last], grid[i]);
            if (last - i < 6) {  // fewer than six intervals: the trapezoid answer
                EXPECT_EQ(V({up, down}), V({f.Integral(grid[i], grid[last]), f.Integral(grid[last], grid[i])}));
            } else {
                EXPECT_NEAR(up, QuadInt(grid[i], grid[last]), 1e-12) << i;
                EXPECT_NEAR(down, -QuadInt(grid[i], grid[last]), 1e-12) << i;
            }
        }
        double outside = 2 * Quad(0) + QuadInt(0, grid[last]) + 3 * Quad(grid[last]);
        EXPECT_NEAR(f.IntegralSimpson(grid[last] + 3, -2), -outside, 1e-12);
    }
    TFunc sq = Sampled({0, 1, 2, 3, 4, 5, 6}, [](double x) { return x * x; });
    V F = Ys(sq.IntegralSimpson());
    // Equal spacing: F[1] is 1/3 correctly rounded (one parabola piece
    // through the unequal-spacing formula misses it by an ulp).
    EXPECT_EQ(V({F[1], F[2], F[6], sq.IntegralSimpson(0, 6), sq.IntegralSimpson(6, 0)}),
              (V{1.0 / 3, 8.0 / 3, 72, 72, -72}));
    EXPECT_EQ(Ys(Table({1, 3}, {2, 4}).IntegralSimpson()), (V{0, 6}));
}

// A repeated abscissa (a step) has no parabola through its triples: those
// are integrated by trapezoids instead of dividing by zero.
TEST_F(Calculus, RepeatedAbscissaStaysFinite) {
    EXPECT_EQ(Ys(Table({0, 1, 1, 2}, {0, 0, 1, 1}).IntegralSimpson()), (V{0, 0, 0, 1}));
    TFunc longer = Table({0, 1, 2, 3, 3, 4, 5, 6}, {0, 0, 0, 0, 2, 2, 2, 2});
    EXPECT_NEAR(longer.IntegralSimpson(0, 6), 6, 1e-12);
    EXPECT_NEAR(Ys(longer.IntegralSimpson())[7], 6, 1e-12);
}

V Roots(const TFunc& f) {
    std::unique_ptr<MatVector> r(f.Zero());
    return V(r->GetData(), r->GetData() + r->Len());
}

TEST_F(Calculus, ZerosAndExtremes) {
    EXPECT_EQ(Roots(Table({0, 2}, {-1, 1})), V{1});
    // A node at exactly 0 between opposite signs is met by both intervals;
    // equal neighbours (a table that is 0 everywhere) give none.
    EXPECT_EQ(Roots(Table({0, 1, 3, 4, 6}, {-2, 0, 4, 2, -2})), (V{1, 1, 5}));
    EXPECT_EQ(Roots(Table({0, 1, 2}, {0, 0, 0})), V{});
    // Tiny values of one sign have no root although their product underflows
    // to 0; tiny values of opposite signs do.
    EXPECT_EQ(Roots(Table({0, 1, 2}, {1e-200, 2e-200, 3e-200})), V{});
    EXPECT_EQ(Roots(Table({0, 1}, {-1e-200, 3e-200})), V{0.25});

    // The first extreme wins; an empty table gives (0, 0).
    double mx, my, nx, ny, ex = 9, ey = 9;
    TFunc f = Table({1, 2, 3, 4, 5}, {3, 7, 1, 7, 1});
    f.Max(mx, my);
    f.Min(nx, ny);
    TFunc(0).Max(ex, ey);
    EXPECT_EQ(V({mx, my, nx, ny, ex, ey}), (V{2, 7, 3, 1, 0, 0}));
}

// Every extreme is a value of the table, also when all values lie beyond
// ±1e300 (the former start values), and is the first of its kind.
TEST_F(Calculus, ExtremesAreTableValuesBeyondAnyStartValue) {
    struct Case {
        V y;
        double max, min;
        int maxAt, minAt;
    };
    const Case cases[] = {
        {{-1e301, -2e301, -1e301}, -1e301, -2e301, 0, 1},
        {{2e301, 1e301, 2e301}, 2e301, 1e301, 0, 1},
        {{-HUGE_VAL, -HUGE_VAL}, -HUGE_VAL, -HUGE_VAL, 0, 0},
        {{3, 7, 1, 7, 1}, 7, 1, 1, 2},
    };
    for (const Case& c : cases) {
        V xs;
        for (size_t i = 0; i < c.y.size(); ++i) xs.push_back(10.0 + static_cast<double>(i));
        TFunc f = Table(xs, c.y);
        double mx, my, nx, ny;
        f.Max(mx, my);
        f.Min(nx, ny);
        EXPECT_EQ(V({my, mx, ny, nx}), V({c.max, xs[c.maxAt], c.min, xs[c.minAt]}));
        EXPECT_EQ(V({f.maxY(), f.minY(), 1.0 * f.maxYindex(), 1.0 * f.minYindex()}),
                  V({c.max, c.min, 1.0 * c.maxAt, 1.0 * c.minAt}));
    }
}

TEST_F(Calculus, LogIntegralExp) {
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/tfunc_logintexp.txt");
    std::string word, name;
    double tol = 0, expected = 0;
    int cases = 0, n = 0;
    while (in >> word >> name >> tol >> n) {  // case <name> <tolerance> <n>
        TFunc f(n);
        for (int i = 0; i < n; ++i) in >> f.x[i] >> f.y[i];
        in >> word >> expected;
        EXPECT_NEAR(f.LogIntegralExp(), expected, tol) << name;
        ++cases;
    }
    EXPECT_EQ(cases, 6);
    EXPECT_NEAR(Table({0, 2}, {1.5, 1.5}).LogIntegralExp(), 1.5 + std::log(2.0), 1e-15);
    EXPECT_EQ(Table({0, 1}, {0, 20}).LogIntegralExp(), 20 - std::log(20.0));
    EXPECT_EQ(TFunc(0).LogIntegralExp(), -HUGE_VAL);
    EXPECT_EQ(Table({1, 1}, {3, 4}).LogIntegralExp(), -HUGE_VAL);
}

// Storage that cannot be obtained: error 1 and null (NaN for the
// log-integral); a table whose copy fails is left empty.
TEST_F(Calculus, AllocationFailures) {
    TFunc f = Table({0, 1, 2}, {-1, 1, 3});
    for (int k : {1, 2, 3}) {
        g_failAt = k;
        EXPECT_EQ(f.Integral(), nullptr) << k;
        g_failAt = k;
        EXPECT_EQ(f.IntegralSimpson(), nullptr) << k;
        g_failAt = k;
        EXPECT_EQ(f.Zero(), nullptr) << k;  // the vector, its values, its shrinking
    }
    g_failAt = 1;
    EXPECT_TRUE(std::isnan(f.LogIntegralExp()));
    EXPECT_EQ(ErrorCodes(), std::vector<int>(10, 1));
    g_failAt = 2;
    TFunc copy(f);
    EXPECT_EQ(copy.n, 0);
    EXPECT_EQ(g_failAt, 0);
}

}  // namespace
