// Stat: the model functions of the location likelihood, the cumulative
// distribution and the fit of a normal distribution function to it.
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "special/Gamma.h"
#include "tests/stat/StatTestSupport.h"

namespace {

// Hand values of a term for types 3, 2, 1, 0 with q = Δ²/(2d) = 1 (x = 1:
// d = 2, m = 3 linear; d = e² − 1, m = e⁻³ in the log form) and at Δ = 0 (the
// clamps at 1e-5, t exactly 0). Type 0 goes through the library's Erf, whose
// 1.2e-7 error is a per-mille at 1e-5. Types outside 0..3 are type 3.
TEST_F(StatTest, ModelFunctionsInBothForms) {
    const double erf1 = -std::log(Erf(1.0) / 2.0), half = -std::log(0.5);
    const struct {
        int logScale;
        double m, want[4];
    } cases[] = {
        {0, 3.0, {1.0, std::log(2.0), 1.1518223259470272, erf1}},
        {1, std::exp(-3.0), {1.0, std::log(2.0), 1.8449695065069725, erf1}},
        {0, 1.0, {0.0, 0.0, half, -std::log(Erf(1e-5) / 2e-5)}},
        {1, std::exp(-1.0), {0.0, 0.0, half, -std::log(Erf(5e-6) / 1e-5)}},
    };
    for (const auto& c : cases) {
        const double dd = c.logScale ? 6.3890560989306502 : 2.0;
        double x[] = {1.0, 1.0}, d[] = {dd, dd}, w[] = {0.5, 2.0};
        Variable v(VT_ARRAY, 4);
        v[0].SetCppPointer(x);
        v[1].SetCppPointer(d);
        v[2].SetCppPointer(w);
        v[3] = 2;
        for (int type : {3, 2, 1, 0, 7, -1}) {
            const double want = c.want[type == 0 || type == 1 || type == 2 ? 3 - type : 0];
            CProbFunc plain = Stat::GetCProbFuncPtr(type, c.logScale);
            EXPECT_NEAR(plain(c.m, x, d, w + 1, 1), 2.0 * want, 1e-13) << type << c.logScale << c.m;
            EXPECT_NEAR(plain(c.m, x, d, w, 2), 2.5 * want, 1e-13) << type << c.logScale << c.m;
            EXPECT_EQ(Stat::GetProbFuncPtr(type, c.logScale)(c.m, v), plain(c.m, x, d, w, 2));
            EXPECT_EQ(plain(c.m, x, d, w, 0), 0.0);
        }
    }
}

TEST_F(StatTest, CumulativeDistributionPointLayouts) {
    const struct {
        Values x, X, F;
    } layouts[] = {
        {{4.0, 4.0, 4.0}, {0.004, 4.0}, {0.0, 1.0}},
        {{0.0}, {-0.001, 0.0}, {0.0, 1.0}},
        {{-5.0}, {1.999 * -5.0, -5.0}, {0.0, 1.0}},  // mend: the low point lies below a negative value
        {{3.0, 1.0, 4.0, 2.0}, {0.0, 1.0, 2.0, 3.0, 4.0}, {0.0, 0.25, 0.5, 0.75, 1.0}},
        {{1.0, 2.0, 1.0}, {0.0, 1.0, 2.0}, {0.0, 2.0 / 3.0, 1.0}},
        {{2.0, 2.0, 5.0, 5.0, 5.0}, {-1.0, 2.0, 5.0}, {0.0, 0.4, 1.0}},
    };
    for (auto c : layouts) {
        Stat s(c.x.data(), static_cast<int>(c.x.size()));
        double *X = nullptr, *F = nullptr, *X2 = nullptr, *F2 = nullptr;
        int m = 0, m2 = 0;
        s.GetCumulativeDistr(X, F, m);
        ASSERT_EQ(m, static_cast<int>(c.X.size())) << c.x[0];
        for (int i = 0; i < m; ++i) {
            EXPECT_DOUBLE_EQ(X[i], c.X[i]) << c.x[0] << " " << i;
            EXPECT_DOUBLE_EQ(F[i], c.F[i]) << c.x[0] << " " << i;
        }
        s.GetCumulativeDistr(X2, F2, m2);  // the cache
        EXPECT_TRUE(X2 == X && F2 == F && m2 == m);
    }
    // Mend: an empty sample read unwritten entries; no distribution, no fit.
    Stat empty(nullptr, 0);
    double marker = 1.0;
    double *X = &marker, *F = &marker;
    int m = 3;
    empty.GetCumulativeDistr(X, F, m);
    EXPECT_TRUE(X == nullptr && F == nullptr && m == 0);
    EXPECT_EQ(empty.FitCumulativeDistribution(), nullptr);
    ExpectErrors({});
}

TEST_F(StatTest, LargeSamplesKeepEveryBucketsFirstValue) {
    Values x(5000);
    for (int i = 0; i < 5000; ++i) x[i] = 0.5 * i - 700.0;
    Values sorted = x;
    std::shuffle(x.begin(), x.end(), std::mt19937(5));
    Stat s(x.data(), 5000);
    const auto [X, F] = Cumulative(s);
    ASSERT_EQ(X.size(), 1001u);
    EXPECT_EQ((Values{X[0], F[0]}), (Values{2.0 * sorted[0] - sorted[5], 0.0}));
    for (int j = 0; j < 1000; ++j) {
        ASSERT_EQ(X[j + 1], sorted[5 * j]) << j;
        ASSERT_EQ(F[j + 1], (j + 1) / 1000.0) << j;
    }
}

using Fit = std::unique_ptr<MatVectorCol>;

// The centre scatters by about 1.25σ/√n (a median), the width by about σ/√n;
// the empirical convention adds up to half a bucket. Above 200 points the fit
// uses at most 101 around the median.
TEST_F(StatTest, FitRecoversTheCentreAndWidthOfNormalSamples) {
    const struct {
        int n;
        std::uint64_t seed;
        double mu, sigma;
    } cases[] = {{50, 1, 3, 2},   {50, 2, 3, 2},   {500, 1, 3, 2},       {500, 2, 3, 2},
                 {5000, 1, 3, 2}, {5000, 2, 3, 2}, {200000, 1, -50, 0.5}};
    for (const auto& c : cases) {
        Values x = NormalSample(c.n, c.mu, c.sigma, c.seed * 1000 + c.n);
        Stat s(x.data(), c.n);
        Fit r(s.FitCumulativeDistribution());
        ASSERT_TRUE(r != nullptr);
        const double se = c.sigma / std::sqrt(static_cast<double>(c.n));
        const double halfBucket = 0.5 * 2.5 * c.sigma / std::min(c.n, 1000);
        EXPECT_NEAR((*r)[0], c.mu, 4.0 * 1.25 * se + halfBucket) << c.n << " " << c.seed;
        EXPECT_NEAR((*r)[1] * std::sqrt(static_cast<double>(c.n)), c.sigma, 6.0 * se + 0.02 * c.sigma) << c.n;
        EXPECT_TRUE((*r)[2] > 0.0 && (*r)[3] > 0.0);
    }
    ExpectErrors({});  // the minimizer's iteration overruns are not reported
}

TEST_F(StatTest, FitOfSmallAndDegenerateSamples) {
    // Extremes equal or closer than 1e-12: (Mean, √SEM2, √SEM2, 2√SEM2).
    double same[] = {4.0, 4.0, 4.0, 4.0}, close[] = {1e6, 1e6 + 1e-7, 1e6, 1e6 + 1e-7};
    for (double* x : {same, close}) {
        Stat s(x, 4);
        Fit r(s.FitCumulativeDistribution());
        ASSERT_TRUE(r != nullptr);
        const double se = std::sqrt(s.GetSEM2());
        EXPECT_EQ(Values(r->GetData(), r->GetData() + 4), (Values{s.GetMean(), se, se, 2.0 * se}));
    }
    // Kept: F at each bucket's first value puts the centre of 1..5 half a step
    // low.
    double even[] = {1.0, 2.0, 3.0, 4.0, 5.0};
    Stat s(even, 5);
    Fit r(s.FitCumulativeDistribution());
    EXPECT_NEAR((*r)[0], 2.5, 0.05);
    // Mend: σ's lower bound grew with one outlier (centre 71.5 here).
    double outlier[] = {1.0, 1.5, 2.0, 2.5, 1e6};
    Stat o(outlier, 5);
    r.reset(o.FitCumulativeDistribution());
    EXPECT_TRUE((*r)[0] >= 1.0 && (*r)[0] <= 2.5) << (*r)[0];
    ExpectErrors({});
}

// Mend: non-finite points reached the minimizer as bounds and it reported
// errors 3 and 1000 to callers of the median; such points are not fitted.
TEST_F(StatTest, NoFitWithoutFinitePointsOrAProcessor) {
    double x[] = {1.0, std::nan(""), 3.0, 2.0, 5.0};
    Stat s(x, 5);
    EXPECT_EQ(s.FitCumulativeDistribution(), nullptr);
    double median = 0.0, se = 0.0;
    s.GetMedian_SD(median, se);
    EXPECT_EQ(median, 3.0);  // the sample median, NaN last
    // Equal values, zero dispersions: their logarithms are −∞.
    double same[] = {2.0, 2.0, 2.0, 2.0, 2.0, 2.0}, d[] = {0.0, 0.0, 1.0, 1.0, 1.0, 1.0};
    Stat eq(same, d, 6);
    const double* est = eq.GetEstimationDisp();
    EXPECT_EQ(Values(est, est + 6), Values(d, d + 6));
    ExpectErrors({});

    vrt::SetCurrentProcessor(nullptr);
    double y[] = {1.0, 2.0, 4.0, 8.0};
    EXPECT_EQ(Stat(y, 4).FitCumulativeDistribution(), nullptr);
}

}  // namespace
