// TFunc integrals, zeros, extremes and the log-integral of e^y. Integrals are
// checked against closed forms: trapezoids are exact for the piecewise-linear
// interpolant, parabolas for polynomials up to degree 2 on any spacing.
// LogIntegralExp is checked against tests/data values made by
// tests/tfunc/gen_reference.py.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "linalg/MatVector.h"
#include "tfunc/TFunc.h"

namespace {

using V = std::vector<double>;

// Rounding of a few operations per interval on values of order 100.
constexpr double kExactTol = 1e-12;

TFunc Table(V xs, V ys) { return TFunc(xs.data(), ys.data(), static_cast<int>(xs.size())); }

TFunc Sampled(const V& xs, double (*g)(double)) {
    V ys;
    for (double x : xs) ys.push_back(g(x));
    return Table(xs, ys);
}

// 3x^2 - 2x + 1 and its integral from a to b.
double Quad(double x) { return 3 * x * x - 2 * x + 1; }
double QuadInt(double a, double b) {
    auto F = [](double x) { return x * x * x - x * x + x; };
    return F(b) - F(a);
}

const V kIrregular = {0, 0.3, 0.45, 1.1, 1.7, 2.0, 2.9, 3.3, 3.35, 4.2, 5.0, 5.6, 6.0};

V Ys(const TFunc* f) { return V(f->y, f->y + f->n); }

TEST(TFuncCalculus, TrapezoidIntegral) {
    TFunc f = Table({0, 1, 2}, {0, 1, 2});
    EXPECT_EQ(V({f.Integral(0, 2), f.Integral(2, 0), f.Integral(-1, 0), f.Integral(2, 3),
                 f.Integral(0.5, 1.5)}),
              (V{2, -2, 0, 2, 1}));

    // y = 2x + 1 on irregular nodes, continued as constants outside [0, 6]:
    // exact between any limits, in both orientations.
    TFunc g = Sampled(kIrregular, [](double x) { return 2 * x + 1; });
    auto F = [](double t) { return t <= 0 ? t : t >= 6 ? 42 + 13 * (t - 6) : t * t + t; };
    const double limits[] = {-3, -0.2, 0, 0.3, 0.31, 1.9, 3.3, 3.34, 5.99, 6, 8.5};
    for (double a : limits)
        for (double b : limits) EXPECT_NEAR(g.Integral(a, b), F(b) - F(a), kExactTol) << a << " " << b;

    TFunc single = Table({1}, {5});
    EXPECT_EQ(single.Integral(0, 3) + single.IntegralSimpson(0, 3), 0);
}

TEST(TFuncCalculus, CumulativeIntegrals) {
    TFunc f = Sampled(kIrregular, Quad);
    std::unique_ptr<TFunc> trap(f.Integral()), simp(f.IntegralSimpson());
    EXPECT_EQ(trap->x[5], f.x[5]);
    // The trapezoids overestimate this convex function by h^3/2 per step.
    double excess = 0;
    for (int i = 0; i < f.n; ++i) {
        double h = i ? f.x[i] - f.x[i - 1] : 0;
        excess += h * h * h / 2;
        EXPECT_NEAR(simp->y[i], QuadInt(0, f.x[i]), kExactTol) << i;
        EXPECT_NEAR(trap->y[i], QuadInt(0, f.x[i]) + excess, kExactTol) << i;
    }

    // Equal spacing, y = x^2.
    std::unique_ptr<TFunc> sq(Sampled({0, 1, 2, 3, 4, 5, 6}, [](double x) { return x * x; }).IntegralSimpson());
    EXPECT_EQ(sq->y[6], 72);
    EXPECT_EQ(sq->y[2], 8.0 / 3);

    // Two points: one trapezoid; one point: an unchanged copy.
    EXPECT_EQ(Ys(std::unique_ptr<TFunc>(Table({1, 3}, {2, 4}).IntegralSimpson()).get()), (V{0, 6}));
    EXPECT_EQ(Ys(std::unique_ptr<TFunc>(Table({1}, {2}).Integral()).get()), V{2});
}

// A grid whose last step differs from the first in the last digit takes the
// unequal-spacing path; both paths are exact for a parabola.
TEST(TFuncCalculus, SpacingSwitchKeepsParabolaExact) {
    V xs;
    for (int i = 0; i <= 10; ++i) xs.push_back(0.1 * i);
    V nudged = xs;
    nudged[10] = std::nextafter(nudged[10], 2.0);
    for (const V& grid : {xs, nudged}) {
        TFunc f = Sampled(grid, Quad);
        std::unique_ptr<TFunc> F(f.IntegralSimpson());
        for (int i = 0; i <= 10; ++i) EXPECT_NEAR(F->y[i], QuadInt(0, grid[i]), 1e-15) << i;
        EXPECT_NEAR(f.IntegralSimpson(0, grid[10]), QuadInt(0, grid[10]), 1e-15);
    }
}

TEST(TFuncCalculus, DefiniteParabolaIntegral) {
    TFunc sq = Sampled({0, 1, 2, 3, 4, 5, 6}, [](double x) { return x * x; });
    EXPECT_EQ(sq.IntegralSimpson(0, 6), 72);
    EXPECT_EQ(sq.IntegralSimpson(6, 0), -72);

    // Exact from any node to the end of the table (odd and even numbers of
    // intervals) and with limits beyond it, in both orientations. An upper
    // limit inside the table ends with a trapezoid piece, so exactness holds
    // only up to the last node.
    TFunc f = Sampled(kIrregular, Quad);
    for (int i = 0; i + 6 < 13; ++i) {
        EXPECT_NEAR(f.IntegralSimpson(kIrregular[i], 6), QuadInt(kIrregular[i], 6), kExactTol) << i;
        EXPECT_NEAR(f.IntegralSimpson(6, kIrregular[i]), -QuadInt(kIrregular[i], 6), kExactTol) << i;
    }
    EXPECT_NEAR(f.IntegralSimpson(9, -2), -(2 * Quad(0) + QuadInt(0, 6) + 3 * Quad(6)), kExactTol);

    // Fewer than six intervals between the brackets: the trapezoid answer.
    for (double b : {1.7, 2.0, 2.5}) {
        EXPECT_EQ(f.IntegralSimpson(0.3, b), f.Integral(0.3, b));
        EXPECT_EQ(f.IntegralSimpson(b, 0.3), f.Integral(b, 0.3));
    }
}

// A repeated abscissa (a step) has no parabola through its triples: those
// are integrated by trapezoids instead of dividing by zero.
TEST(TFuncCalculus, RepeatedAbscissaStaysFinite) {
    TFunc step = Table({0, 1, 1, 2}, {0, 0, 1, 1});
    EXPECT_EQ(Ys(std::unique_ptr<TFunc>(step.IntegralSimpson()).get()), (V{0, 0, 0, 1}));
    TFunc longer = Table({0, 1, 2, 3, 3, 4, 5, 6}, {0, 0, 0, 0, 2, 2, 2, 2});
    EXPECT_NEAR(longer.IntegralSimpson(0, 6), 6, kExactTol);
    EXPECT_NEAR(std::unique_ptr<TFunc>(longer.IntegralSimpson())->y[7], 6, kExactTol);
}

V Roots(const TFunc& f) {
    std::unique_ptr<MatVector> r(f.Zero());
    return V(r->GetData(), r->GetData() + r->Len());
}

TEST(TFuncCalculus, ZerosAndExtremes) {
    EXPECT_EQ(Roots(Table({0, 2}, {-1, 1})), V{1});
    // A node at exactly 0 between opposite signs is met by both intervals;
    // equal neighbours (a table that is 0 everywhere) give none.
    EXPECT_EQ(Roots(Table({0, 1, 3, 4, 6}, {-2, 0, 4, 2, -2})), (V{1, 1, 5}));
    EXPECT_EQ(Roots(Table({0, 1, 2}, {0, 0, 0})), V{});
    // Tiny values of one sign have no root although their product underflows
    // to 0; tiny values of opposite signs do.
    EXPECT_EQ(Roots(Table({0, 1, 2}, {1e-200, 2e-200, 3e-200})), V{});
    EXPECT_EQ(Roots(Table({0, 1}, {-1e-200, 3e-200})), V{0.25});

    double x = 9, y = 9;
    TFunc(0).Max(x, y);
    EXPECT_EQ(V({x, y}), (V{0, 0}));
    TFunc f = Table({1, 2, 3, 4, 5}, {3, 7, 1, 7, 1});
    f.Max(x, y);
    EXPECT_EQ(V({x, y}), (V{2, 7}));
    f.Min(x, y);
    EXPECT_EQ(V({x, y}), (V{3, 1}));
}

TEST(TFuncCalculus, LogIntegralExp) {
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/tfunc_logintexp.txt");
    std::string word, name, tol, a, b;
    int cases = 0, n = 0;
    V xs, ys;
    while (in >> word) {
        if (word == "case") {
            in >> name >> tol >> n;
            xs.clear();
            ys.clear();
            for (int i = 0; i < n && in >> a >> b; ++i) {
                xs.push_back(std::strtod(a.c_str(), nullptr));
                ys.push_back(std::strtod(b.c_str(), nullptr));
            }
        } else if (word == "expect" && in >> a) {
            EXPECT_NEAR(Table(xs, ys).LogIntegralExp(), std::strtod(a.c_str(), nullptr),
                        std::strtod(tol.c_str(), nullptr))
                << name;
            ++cases;
        }
    }
    EXPECT_EQ(cases, 4);
    EXPECT_NEAR(Table({0, 2}, {1.5, 1.5}).LogIntegralExp(), 1.5 + std::log(2.0), 1e-15);
    EXPECT_EQ(Table({0, 1}, {0, 20}).LogIntegralExp(), 20 - std::log(20.0));
    const double minusInf = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(TFunc(0).LogIntegralExp(), minusInf);
    EXPECT_EQ(Table({1, 1}, {3, 4}).LogIntegralExp(), minusInf);
}

}  // namespace
