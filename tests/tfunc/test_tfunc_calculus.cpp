// TFunc integrals, extremes and the log-integral of e^y. Integrals are
// checked against closed forms: trapezoids are exact for the
// piecewise-linear interpolant, parabolas for polynomials up to degree 2 on
// any spacing. LogIntegralExp is checked against tests/data values made by
// tests/tfunc/gen_reference.py.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "linalg/MatVector.h"
#include "runtime/VeskRuntime.h"
#include "tfunc/TFunc.h"

namespace {

// Rounding of a few operations per interval on values of order 100.
constexpr double kExactTol = 1e-12;

TFunc Table(std::vector<double> xs, std::vector<double> ys) {
    return TFunc(xs.data(), ys.data(), static_cast<int>(xs.size()));
}

TFunc Sampled(const std::vector<double>& xs, double (*g)(double)) {
    std::vector<double> ys;
    for (double x : xs) ys.push_back(g(x));
    return Table(xs, ys);
}

double Square(double x) { return x * x; }
// 3x^2 - 2x + 1 and its antiderivative.
double Quad(double x) { return 3 * x * x - 2 * x + 1; }
double QuadInt(double a, double b) {
    auto F = [](double x) { return x * x * x - x * x + x; };
    return F(b) - F(a);
}

// Irregular abscissae on [0, 6] with 13 points.
std::vector<double> Irregular() {
    return {0, 0.3, 0.45, 1.1, 1.7, 2.0, 2.9, 3.3, 3.35, 4.2, 5.0, 5.6, 6.0};
}

TEST(TFuncCalculus, TrapezoidIntegralOnALine) {
    TFunc f = Table({0, 1, 2}, {0, 1, 2});
    EXPECT_EQ(f.Integral(0, 2), 2);
    EXPECT_EQ(f.Integral(2, 0), -2);
    EXPECT_EQ(f.Integral(-1, 0), 0);
    EXPECT_EQ(f.Integral(2, 3), 2);  // constant continuation
    EXPECT_EQ(f.Integral(0.5, 1.5), 1);
    EXPECT_EQ(f.Integral(1.5, 1.5), 0);

    // y = 2x + 1 on irregular nodes, continued as constants outside [0, 6].
    TFunc g = Sampled(Irregular(), [](double x) { return 2 * x + 1; });
    auto exact = [](double a, double b) {
        auto F = [](double t) {
            if (t <= 0) return t;
            if (t >= 6) return 42 + 13 * (t - 6);
            return t * t + t;
        };
        return F(b) - F(a);
    };
    const double limits[] = {-3, -0.2, 0, 0.3, 0.31, 1.9, 3.3, 3.34, 5.99, 6, 8.5};
    for (double a : limits)
        for (double b : limits) EXPECT_NEAR(g.Integral(a, b), exact(a, b), kExactTol) << a << " " << b;

    TFunc single = Table({1}, {5});
    EXPECT_EQ(single.Integral(0, 3), 0);
    EXPECT_EQ(single.IntegralSimpson(0, 3), 0);
}

TEST(TFuncCalculus, CumulativeIntegrals) {
    TFunc f = Sampled(Irregular(), Quad);
    std::unique_ptr<TFunc> trap(f.Integral());
    std::unique_ptr<TFunc> simp(f.IntegralSimpson());
    ASSERT_TRUE(trap && simp);
    EXPECT_EQ(trap->x[5], f.x[5]);
    EXPECT_NE(trap->y, f.y);
    for (int i = 0; i < f.n; ++i) EXPECT_NEAR(simp->y[i], QuadInt(0, f.x[i]), kExactTol) << i;
    // The trapezoid sum overestimates a convex function by h^3/2 per step.
    double excess = 0;
    for (int i = 1; i < f.n; ++i) {
        double h = f.x[i] - f.x[i - 1];
        excess += h * h * h / 2;
        EXPECT_NEAR(trap->y[i], QuadInt(0, f.x[i]) + excess, kExactTol) << i;
    }

    // Equal spacing: the rule gives y = x^2 exactly.
    TFunc sq = Sampled({0, 1, 2, 3, 4, 5, 6}, Square);
    std::unique_ptr<TFunc> F(sq.IntegralSimpson());
    EXPECT_EQ(F->y[6], 72);
    EXPECT_EQ(F->y[2], 8.0 / 3);
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(F->y[i], i * i * i / 3.0, kExactTol);

    // Two points: one trapezoid; one point: an unchanged copy.
    std::unique_ptr<TFunc> two(Table({1, 3}, {2, 4}).IntegralSimpson());
    EXPECT_EQ(two->y[1], 6);
    std::unique_ptr<TFunc> one(Table({1}, {2}).Integral());
    EXPECT_EQ(one->n, 1);
    EXPECT_EQ(one->y[0], 2);
}

// A grid whose last step differs from the first in the last digit takes the
// unequal-spacing path; both paths are exact for a parabola.
TEST(TFuncCalculus, SpacingSwitchKeepsParabolaExact) {
    std::vector<double> xs;
    for (int i = 0; i <= 10; ++i) xs.push_back(0.1 * i);
    std::vector<double> nudged = xs;
    nudged[10] = std::nextafter(nudged[10], 2.0);
    for (const auto& grid : {xs, nudged}) {
        TFunc f = Sampled(grid, Quad);
        std::unique_ptr<TFunc> F(f.IntegralSimpson());
        for (int i = 0; i <= 10; ++i) EXPECT_NEAR(F->y[i], QuadInt(0, grid[i]), 1e-15) << i;
        EXPECT_NEAR(f.IntegralSimpson(0, grid[10]), QuadInt(0, grid[10]), 1e-15);
    }
}

TEST(TFuncCalculus, DefiniteSimpsonIntegral) {
    TFunc sq = Sampled({0, 1, 2, 3, 4, 5, 6}, Square);
    EXPECT_EQ(sq.IntegralSimpson(0, 6), 72);
    EXPECT_EQ(sq.IntegralSimpson(6, 0), -72);

    // Exact from any node to the end of the table (odd and even numbers of
    // intervals), and with limits beyond it (constant continuation), in both
    // orientations. An upper limit inside the table ends with a trapezoid
    // piece, so exactness is only checked up to the last node.
    TFunc f = Sampled(Irregular(), Quad);
    const std::vector<double> xs = Irregular();
    for (int i = 0; i + 6 < 13; ++i) {
        EXPECT_NEAR(f.IntegralSimpson(xs[i], 6), QuadInt(xs[i], 6), kExactTol) << i;
        EXPECT_NEAR(f.IntegralSimpson(6, xs[i]), -QuadInt(xs[i], 6), kExactTol) << i;
    }
    EXPECT_NEAR(f.IntegralSimpson(-2, 9), 2 * Quad(0) + QuadInt(0, 6) + 3 * Quad(6), kExactTol);
    EXPECT_NEAR(f.IntegralSimpson(9, -0.5), -(0.5 * Quad(0) + QuadInt(0, 6) + 3 * Quad(6)),
                kExactTol);

    // Fewer than six intervals between the brackets: the trapezoid answer,
    // sign included.
    for (double b : {1.7, 2.0, 2.5}) {
        EXPECT_EQ(f.IntegralSimpson(0.3, b), f.Integral(0.3, b));
        EXPECT_EQ(f.IntegralSimpson(b, 0.3), f.Integral(b, 0.3));
    }
}

// A repeated abscissa (a step) has no parabola through its triples: those
// are integrated by trapezoids instead of dividing by zero.
TEST(TFuncCalculus, RepeatedAbscissaStaysFinite) {
    TFunc step = Table({0, 1, 1, 2}, {0, 0, 1, 1});
    std::unique_ptr<TFunc> F(step.IntegralSimpson());
    std::unique_ptr<TFunc> T(step.Integral());
    EXPECT_EQ(std::vector<double>(F->y, F->y + 4), (std::vector<double>{0, 0, 0, 1}));
    EXPECT_EQ(std::vector<double>(T->y, T->y + 4), (std::vector<double>{0, 0, 0, 1}));

    TFunc longer = Table({0, 1, 2, 3, 3, 4, 5, 6}, {0, 0, 0, 0, 2, 2, 2, 2});
    EXPECT_NEAR(longer.IntegralSimpson(0, 6), 6, kExactTol);
    std::unique_ptr<TFunc> G(longer.IntegralSimpson());
    EXPECT_NEAR(G->y[7], 6, kExactTol);
}

std::vector<double> Roots(const TFunc& f) {
    std::unique_ptr<MatVector> r(f.Zero());
    if (!r) return {-999};
    return std::vector<double>(r->GetData(), r->GetData() + r->Len());
}

TEST(TFuncCalculus, Zero) {
    EXPECT_EQ(Roots(Table({0, 2}, {-1, 1})), std::vector<double>{1});
    // A node at exactly 0 between opposite signs is met by both intervals;
    // equal neighbours (a table that is 0 everywhere) give none.
    EXPECT_EQ(Roots(Table({0, 1, 3, 4, 6}, {-2, 0, 4, 2, -2})), (std::vector<double>{1, 1, 5}));
    EXPECT_EQ(Roots(Table({0, 1, 2}, {0, 0, 0})), std::vector<double>{});
    EXPECT_EQ(Roots(TFunc(0)), std::vector<double>{});
    // Tiny values of one sign have no root even though their product
    // underflows to 0; tiny values of opposite signs do.
    EXPECT_EQ(Roots(Table({0, 1, 2}, {1e-200, 2e-200, 3e-200})), std::vector<double>{});
    EXPECT_EQ(Roots(Table({0, 1}, {-1e-200, 3e-200})), std::vector<double>{0.25});
}

TEST(TFuncCalculus, MaxAndMin) {
    double x = 9, y = 9;
    TFunc(0).Max(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    Table({4}, {-2}).Min(x, y);
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, -2);
    TFunc f = Table({1, 2, 3, 4, 5}, {3, 7, 1, 7, 1});
    f.Max(x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 7);
    f.Min(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 1);
}

struct LogCase {
    std::string name;
    double tol = 0;
    std::vector<double> x, y;
    double expect = 0;
};

std::vector<LogCase> ReadLogCases() {
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/tfunc_logintexp.txt");
    std::vector<LogCase> cases;
    std::string word;
    while (in >> word) {
        if (word == "case") {
            LogCase c;
            int n = 0;
            std::string tol;
            in >> c.name >> tol >> n;
            c.tol = std::strtod(tol.c_str(), nullptr);
            for (int i = 0; i < n; ++i) {
                std::string a, b;
                in >> a >> b;
                c.x.push_back(std::strtod(a.c_str(), nullptr));
                c.y.push_back(std::strtod(b.c_str(), nullptr));
            }
            cases.push_back(c);
        } else if (word == "expect" && !cases.empty()) {
            in >> word;
            cases.back().expect = std::strtod(word.c_str(), nullptr);
        }
    }
    return cases;
}

TEST(TFuncCalculus, LogIntegralExp) {
    std::vector<LogCase> cases = ReadLogCases();
    ASSERT_EQ(cases.size(), 4u);
    for (const LogCase& c : cases) {
        TFunc f = Table(c.x, c.y);
        EXPECT_NEAR(f.LogIntegralExp(), c.expect, c.tol) << c.name;
    }
    EXPECT_NEAR(Table({0, 2}, {1.5, 1.5}).LogIntegralExp(), 1.5 + std::log(2.0), 1e-15);
    EXPECT_EQ(Table({0, 1}, {0, 20}).LogIntegralExp(), 20 - std::log(20.0));
    const double minusInf = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(TFunc(0).LogIntegralExp(), minusInf);
    EXPECT_EQ(Table({1}, {3}).LogIntegralExp(), minusInf);
    EXPECT_EQ(Table({1, 1}, {3, 4}).LogIntegralExp(), minusInf);
}

}  // namespace
