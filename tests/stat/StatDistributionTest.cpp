// Stat: the model functions of the location likelihood and the cumulative
// distribution.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "special/Gamma.h"
#include "tests/stat/StatTestSupport.h"

namespace {

// The per-value terms written straight from their definitions.
double DirectTerm(int type, bool logScale, double x, double d, double m) {
    double delta = x - m, disp = d;
    if (logScale) {
        const double s = 1.0 + d / (x * x);
        disp = std::log(s);
        delta = std::log(x / (std::sqrt(s) * m));
    }
    const double q = delta * delta / (2.0 * disp);  // Δ²/(2d)
    switch (type) {
        case 0: {
            double a = std::fabs(delta);
            double z = std::sqrt(q);
            if (logScale) {
                a = std::max(a, 1e-5);
                z = a / std::sqrt(2.0 * disp);
            } else if (z < 1e-5) {
                z = 1e-5;
                a = 1e-5 * std::sqrt(2.0 * d);
            }
            return -std::log(Erf(z) / a);
        }
        case 1: {
            const double t = 1.0 - std::exp(-q);
            if (t == 0.0) return -std::log(0.5);
            return logScale ? -std::log(t / (delta * delta)) : -std::log(t / (2.0 * q));
        }
        case 2:
            return std::log(1.0 + q);
        default:
            return q;
    }
}

TEST_F(StatTest, ModelFunctionsInBothForms) {
    double x[] = {1.0, 2.5, 4.0, 2.2, 9.0};
    double d[] = {0.5, 1.0, 2.0, 0.25, 3.0};
    double w[] = {1.0, 0.5, 2.0, 1.5, 0.25};
    Variable v(VT_ARRAY, 4);
    v[0].SetCppPointer(x);
    v[1].SetCppPointer(d);
    v[2].SetCppPointer(w);
    v[3] = 5;
    for (int logScale : {0, 1}) {
        for (int type : {0, 1, 2, 3, 7, -1}) {
            ProbFunc host = Stat::GetProbFuncPtr(type, logScale);
            CProbFunc plain = Stat::GetCProbFuncPtr(type, logScale);
            ASSERT_NE(host, nullptr);
            ASSERT_NE(plain, nullptr);
            // Other types are the Gaussian model.
            if (type > 3 || type < 0) {
                EXPECT_EQ(plain, Stat::GetCProbFuncPtr(3, logScale));
            }
            // m on a value (Δ = 0 for the linear forms), between and beside values.
            for (double m : {2.5, 1.0, 3.1, 0.7, 6.0}) {
                double want = 0.0;
                for (int i = 0; i < 5; ++i) want += w[i] * DirectTerm(type, logScale, x[i], d[i], m);
                const double got = plain(m, x, d, w, 5);
                EXPECT_NEAR(got, want, 1e-12 * (1.0 + std::fabs(want))) << type << logScale << m;
                EXPECT_EQ(host(m, v), got);
                EXPECT_EQ(plain(m, x, d, w, 0), 0.0);
            }
        }
    }
    // Exact values: type 3 and type 2 on x = 1, d = 2, w = 1 at m = 3.
    double one[] = {1.0}, two[] = {2.0}, unit[] = {1.0};
    EXPECT_EQ(Stat::GetCProbFuncPtr(3, 0)(3.0, one, two, unit, 1), 1.0);
    EXPECT_EQ(Stat::GetCProbFuncPtr(2, 0)(3.0, one, two, unit, 1), std::log(2.0));
    // The flat centre of the heavy-tailed models: t exactly 0 gives −ln 0.5.
    EXPECT_EQ(Stat::GetCProbFuncPtr(1, 0)(1.0, one, two, unit, 1), -std::log(0.5));
}

struct Layout {
    std::vector<double> x;
    std::vector<double> X;
    std::vector<double> F;
};

TEST_F(StatTest, CumulativeDistributionPointLayouts) {
    const Layout layouts[] = {
        {{4.0, 4.0, 4.0}, {0.004, 4.0}, {0.0, 1.0}},
        {{0.0}, {-0.001, 0.0}, {0.0, 1.0}},
        // Mend: the low point of a single negative value lies below it.
        {{-5.0}, {1.999 * -5.0, -5.0}, {0.0, 1.0}},
        {{3.0, 1.0, 4.0, 2.0}, {0.0, 1.0, 2.0, 3.0, 4.0}, {0.0, 0.25, 0.5, 0.75, 1.0}},
        {{1.0, 2.0, 1.0}, {0.0, 1.0, 2.0}, {0.0, 2.0 / 3.0, 1.0}},
        {{2.0, 2.0, 5.0, 5.0, 5.0}, {-1.0, 2.0, 5.0}, {0.0, 0.4, 1.0}},
    };
    for (const auto& c : layouts) {
        std::vector<double> x = c.x;
        Stat s(x.data(), static_cast<int>(x.size()));
        double* X = nullptr;
        double* F = nullptr;
        int m = 0;
        s.GetCumulativeDistr(X, F, m);
        ASSERT_EQ(m, static_cast<int>(c.X.size())) << c.x[0];
        for (int i = 0; i < m; ++i) {
            EXPECT_DOUBLE_EQ(X[i], c.X[i]) << c.x[0] << " " << i;
            EXPECT_DOUBLE_EQ(F[i], c.F[i]) << c.x[0] << " " << i;
        }
        // Later calls hand out the same cache.
        double* X2 = nullptr;
        double* F2 = nullptr;
        int m2 = 0;
        s.GetCumulativeDistr(X2, F2, m2);
        EXPECT_TRUE(X2 == X && F2 == F && m2 == m);
    }
}

// Mend: an empty sample built its low point from entries never written; it
// has no cumulative distribution and no fit.
TEST_F(StatTest, EmptySampleHasNoCumulativeDistribution) {
    Stat empty(nullptr, 0);
    double marker = 1.0;
    double* X = &marker;
    double* F = &marker;
    int m = 3;
    empty.GetCumulativeDistr(X, F, m);
    EXPECT_EQ(X, nullptr);
    EXPECT_EQ(F, nullptr);
    EXPECT_EQ(m, 0);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(StatTest, LargeSamplesKeepEveryBucketsFirstValue) {
    std::vector<double> x(5000);
    for (int i = 0; i < 5000; ++i) x[i] = 0.5 * i - 700.0;
    std::vector<double> sorted = x;
    std::shuffle(x.begin(), x.end(), std::mt19937(5));
    Stat s(x.data(), 5000);
    double* X = nullptr;
    double* F = nullptr;
    int m = 0;
    s.GetCumulativeDistr(X, F, m);
    ASSERT_EQ(m, 1001);
    EXPECT_EQ(X[0], 2.0 * sorted[0] - sorted[5]);
    EXPECT_EQ(F[0], 0.0);
    for (int j = 0; j < 1000; ++j) {
        ASSERT_EQ(X[j + 1], sorted[5 * j]) << j;
        ASSERT_EQ(F[j + 1], (j + 1) / 1000.0) << j;
    }

    // 10⁶ values in 20 distinct levels: one point per level and the low point.
    std::vector<double> levels(1000000);
    for (int i = 0; i < 1000000; ++i) levels[i] = static_cast<double>((i * 7919LL) % 20);
    Stat many(levels.data(), 1000000);
    many.GetCumulativeDistr(X, F, m);
    ASSERT_EQ(m, 21);
    for (int j = 1; j < 21; ++j) {
        EXPECT_EQ(X[j], j - 1.0);
        EXPECT_DOUBLE_EQ(F[j], j / 20.0);
    }
}

}  // namespace
