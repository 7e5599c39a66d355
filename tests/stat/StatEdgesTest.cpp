// Stat and Stat_Weighted at the edges of the doubles: far scaled and shifted
// samples, vanishing dispersions, refused accuracies and non-finite weights.
// Every group below once gave a plainly wrong answer without an error.
#include <algorithm>
#include <cmath>
#include <memory>

#include "stat/Stat_Weighted.h"
#include "tests/stat/StatTestSupport.h"

namespace {

using Result = std::unique_ptr<MatVectorCol>;

// Min and Max started from the sentinels ±1e300.
TEST_F(StatTest, ExtremesAreValuesOfTheSample) {
    const struct {
        Values x;
        double min, max;
    } cases[] = {
        {{2e300, 3e300, 5e300}, 2e300, 5e300},
        {{-2e300, -5e300, -3e300}, -5e300, -2e300},
        {{std::nan(""), 4.0, 1.0}, 1.0, 4.0},
    };
    for (auto c : cases) {
        Values d(c.x.size(), 1.0);
        const int n = static_cast<int>(c.x.size());
        Stat plain(c.x.data(), n), withDisp(c.x.data(), d.data(), n);
        EXPECT_EQ((Values{plain.GetMin(), plain.GetMax()}), (Values{c.min, c.max})) << c.x[1];
        EXPECT_EQ((Values{withDisp.GetMin(), withDisp.GetMax()}), (Values{c.min, c.max})) << c.x[1];
    }
    Values far = Scaled(NormalSample(400, 5.0, 1.0, 3), 1e300);
    Stat big(far.data(), 400);
    std::unique_ptr<Stat> sub(big.SampleSubset(250));
    EXPECT_EQ(sub->GetMin(), big.GetMin());
    EXPECT_GT(sub->GetMin(), 1e300);
    // The smallest positive weight repairs a weight ≤ 0: 2e300, not 1e300.
    Values x = {1, 2, 3}, w = {0, 2e300, 2e300};
    Stat_Weighted ws(x.data(), w.data(), 3);
    EXPECT_NEAR(ws.GetWeights()[0], 3.0 / 7, 1e-15);
    ExpectErrors({});
}

// c² overflowing made Disp0 = 0·∞; c² underflowing lost the dispersions.
TEST_F(StatTest, RescalingBeyondTheSquareOfTheFactor) {
    const struct {
        double unit, c;
    } cases[] = {{1e-150, 1e155}, {1e150, 1e-155}, {1e-100, 1e250}};
    for (const auto& c : cases) {
        Values x = Scaled({1, 2, 3}, c.unit), d = {c.unit * c.unit, c.unit * c.unit, c.unit * c.unit};
        Stat plain(x.data(), 3), withDisp(x.data(), d.data(), 3);
        plain *= c.c;
        withDisp *= c.c;
        const double k = c.unit * c.c;
        EXPECT_EQ(plain.GetDisp0(), 0.0) << c.c;
        EXPECT_NEAR(plain.GetDisp() / (k * k), 1.0, 1e-14) << c.c;
        EXPECT_NEAR(plain.GetE2() / (k * k), 14.0 / 3, 1e-14) << c.c;
        EXPECT_NEAR(plain.GetSEM2() / (k * k), 1.0 / 3, 1e-14) << c.c;
        EXPECT_NEAR(withDisp.GetSEM2() / (k * k), 1.0 / 3, 1e-14) << c.c;
        EXPECT_NEAR(StatTestAccess::Dispersions(withDisp)[0] / (k * k), 1.0, 1e-14) << c.c;
    }
    ExpectErrors({});
}

// Disp/Mean² was formed from squares that under- or overflow: NaN; Disp
// overflowed with its squares.
TEST_F(StatTest, LogNormalShapeOfFarScaledSamples) {
    for (double k : {1.0, 1e-165, 1e154, 1e-300, 1e300}) {
        Values x = Scaled({1, 2, 3}, k);
        Stat s(x.data(), 3);
        EXPECT_NEAR(s.GetLogNormalDisp(), std::log(1.25), 1e-15) << k;
        EXPECT_NEAR(StatTestAccess::LogNormDisp(s), std::log(1.25), 1e-15) << k;
        EXPECT_NEAR(StatTestAccess::LogNormMean(s), std::log(2 * k) - std::log(1.25) / 2, 1e-14 * 700) << k;
        EXPECT_NEAR(s.GetLogNormalMu0() / k, 2 / std::sqrt(1.25), 1e-15) << k;
    }
    // The squares of the deviations overflow; their mean does not.
    Values x = Scaled({1, 2, 3}, 1e154);
    EXPECT_NEAR(Stat(x.data(), 3).GetDisp() / 1e308, 1, 1e-15);
    ExpectErrors({});
}

// The bracket of the search had an absolute floor of width 10·accuracy, so
// samples spanning less than about 1e-11 came out biased, and below 1e-14
// outside the data.
TEST_F(StatTest, MostProbableValueOfNarrowSamples) {
    const Values x = NormalSample(100, 5.0, 2.0, 41);
    Values x0 = x;
    Stat base(x0.data(), 100);
    Result r0(base.GetMostProbableValue(3, 0));
    for (double k : {1e-12, 1e-13, 1e-20}) {
        Values y = Scaled(x, k);
        Stat s(y.data(), 100);
        Result r(s.GetMostProbableValue(3, 0));
        EXPECT_NEAR((*r)[0] / k, (*r0)[0], 1e-4 * std::sqrt((*r0)[1])) << k;
        EXPECT_NEAR((*r)[1] / (k * k) / (*r0)[1], 1, 1e-6) << k;
        EXPECT_EQ((*r)[2], (*r0)[2]) << k;
    }
    ExpectErrors({});
}

// The error of σ was the error of ln σ times σ^(1/n), a number without the
// data's units; the error of μ vanished against a far location.
TEST_F(StatTest, FitErrorsFollowTheData) {
    const Values x = NormalSample(150, 5.0, 2.0, 43);
    Values x0 = x;
    Stat base(x0.data(), 150);
    Result r0(base.FitCumulativeDistribution());
    ASSERT_TRUE(r0 != nullptr);
    const struct {
        double k, c;
    } cases[] = {{1e-3, 0}, {1e4, 0}, {1e10, 0}, {1, 1e9}, {1, 1e10}, {1e-300, 0}};
    for (const auto& c : cases) {
        Values y = Scaled(x, c.k, c.c);
        Stat s(y.data(), 150);
        Result r(s.FitCumulativeDistribution());
        ASSERT_TRUE(r != nullptr) << c.k << " " << c.c;
        EXPECT_NEAR(((*r)[0] - c.c) / c.k, (*r0)[0], 1e-6 * (*r0)[1] * std::sqrt(150.0)) << c.k << " " << c.c;
        // The errors come from a difference Hessian: good to about 1e-3.
        EXPECT_NEAR((*r)[1] / c.k / (*r0)[1], 1, 1e-6) << c.k << " " << c.c;
        for (int i = 2; i < 4; ++i) EXPECT_NEAR((*r)[i] / c.k / (*r0)[i], 1, 1e-3) << i << " " << c.k << " " << c.c;
    }
    ExpectErrors({});
}

// 1/d overflowed: Mean NaN, Disp0 0, SEM2 0. A vanishing dispersion now
// dominates the weighted mean.
TEST_F(StatTest, VanishingDispersionsDominate) {
    Values x = {1, 2, 3}, d = {1e-320, 1, 1};
    Stat s(x.data(), d.data(), 3);
    EXPECT_EQ((Values{s.GetMean(), s.GetDisp0()}), (Values{1.0, 0.0}));
    EXPECT_GT(s.GetSEM2(), 0.0);
    EXPECT_LE(s.GetSEM2(), 1e-320);
    // Two vanishing dispersions that disagree leave an excess dispersion that
    // the tiny dispersions do not change.
    Values d2 = {1e-320, 1e-320, 1}, d3 = {1e-300, 1e-300, 1};
    Stat two(x.data(), d2.data(), 3), near(x.data(), d3.data(), 3);
    EXPECT_GT(two.GetDisp0(), 0.0);
    EXPECT_NEAR(two.GetDisp0(), near.GetDisp0(), 1e-6 * near.GetDisp0());
    EXPECT_NEAR(two.GetMean(), near.GetMean(), 1e-12);
    // Dispersions ≤ 0 replaced by a population variance that underflowed.
    Values tiny = Scaled({1, 2, 3}, 1e-170), zero = {0, 0, 0};
    Stat z(tiny.data(), zero.data(), 3);
    EXPECT_DOUBLE_EQ(z.GetMean(), 2e-170);
    ExpectErrors({});
}

// An accuracy out of range was taken as given: the most probable value left
// the data (0.5), the squared error grew 13 times (NaN) and the fit ran for
// many seconds (0 or negative).
TEST_F(StatTest, AccuraciesOutOfRangeAreRefused) {
    Values x = {1, 2, 3, 4, 100};
    Stat s(x.data(), 5);
    for (double a : {0.5, 0.011, std::nan(""), 0.0, -1e-7, 1e-16, HUGE_VAL}) {
        s.SetAccuracy(a);
        EXPECT_EQ(s.GetAccuracy(), 1e-7) << a;
        ExpectErrors({3});
    }
    Result r0(s.GetMostProbableValue(0, 0)), r3(s.GetMostProbableValue(3, 0));
    Values y = NormalSample(100, 5.0, 2.0, 47);
    Stat t(y.data(), 100);
    double med0 = 0, se0 = 0;
    t.GetMedian_SD(med0, se0);
    for (double a : {1e-2, 1e-15}) {
        s.SetAccuracy(a);
        t.SetAccuracy(a);
        EXPECT_EQ(s.GetAccuracy(), a);
        for (int type : {0, 3}) {
            const Result& want = type == 0 ? r0 : r3;
            Result r(s.GetMostProbableValue(type, 0));
            // Within the accuracy of the range, and for the squared error
            // that of the curve's width (about 4 times wider, doubled).
            EXPECT_NEAR((*r)[0], (*want)[0], 2 * std::max(a, 1e-7) * 99) << type << " " << a;
            EXPECT_NEAR((*r)[1] / (*want)[1], 1, 10 * std::max(a, 1e-7)) << type << " " << a;
        }
        double med = 0, se = 0;
        t.GetMedian_SD(med, se);
        EXPECT_NEAR(med, med0, 0.02 * se0) << a;
    }
    ExpectErrors({});
}

// A NaN or infinite weight made the search answer about Min with a squared
// error of 0 and no error.
TEST_F(StatTest, NonFiniteWeightsAreRefused) {
    Values x = {1, 2, 3, 4, 5, 6};
    for (double bad : {std::nan(""), HUGE_VAL}) {
        Values w = {1, bad, 1, 1, 1, 1};
        Stat_Weighted s(x.data(), w.data(), 6);
        EXPECT_TRUE(std::isnan(s.GetWeightedMean()));
        ExpectErrors({});
        Result r(s.GetMostProbableValue(3, 0));
        EXPECT_TRUE(std::isnan((*r)[0]) && std::isnan((*r)[1]));
        ExpectErrors({3});
        double *X = nullptr, *Y = nullptr;
        s.GetLogProbabilityDistribution(3, 0, 10, X, Y);
        EXPECT_TRUE(X == nullptr && Y == nullptr);
        ExpectErrors({3});
        double median = 0, se = 0;
        s.GetMedian_SD(median, se);
        EXPECT_TRUE(std::isnan(median) && std::isnan(se));
        ExpectErrors({3});
    }
}

// 2d overflowed in the heavy-tailed model (−∞ everywhere), 2·X[1] − X[2] in
// the cumulative distribution's low point (X not ascending), and the fit of
// a sample ×1e-300 failed with error 1000.
TEST_F(StatTest, ModelsAndCumulativeNearTheLargestDoubles) {
    CProbFunc f = Stat::GetCProbFuncPtr(0, 0);
    const double k = 7e153;
    double x1[] = {1.0}, d1[] = {2.0}, xk[] = {k}, dk[] = {2 * k * k}, w[] = {1.0};
    ASSERT_TRUE(std::isinf(2 * dk[0]));
    EXPECT_NEAR(f(3 * k, xk, dk, w, 1), f(3, x1, d1, w, 1) + std::log(k), 1e-13 * std::log(k));
    Values big = {1.7e308, 1.75e308, 1.78e308};
    Stat s(big.data(), 3);
    const Values X = Cumulative(s).first;
    ASSERT_EQ(X.size(), 4u);
    for (int i = 1; i < 4; ++i) EXPECT_LT(X[i - 1], X[i]) << i;
    EXPECT_DOUBLE_EQ(X[0], 1.65e308);
    Values tiny = Scaled(NormalSample(100, 5.0, 2.0, 49), 1e-300);
    Stat t(tiny.data(), 100);
    double median = 0, se = 0;
    t.GetMedian_SD(median, se);
    EXPECT_TRUE(median >= t.GetMin() && median <= t.GetMax());
    EXPECT_GT(se, 0);
    ExpectErrors({});
}

// Every estimate of the sample ×k is k (or k²) times that of the sample, and
// every location of the sample + c is c more, within the stated accuracies:
// rounding for the moments and the sample medians, the minimizer's and the
// searches' tolerances for the fit and the most probable value.
TEST_F(StatTest, EstimatesFollowScaleAndShift) {
    struct Estimate {
        const char* name;
        int power;  // 1 location, 2 squared, 0 spread (scales by k, no shift)
        double rel;
    };
    const Estimate names[] = {{"Mean", 1, 1e-14},   {"Disp", 2, 1e-13},      {"SEM2", 2, 1e-13},
                              {"MAD median", 1, 1e-14}, {"MAD spread", 0, 1e-14}, {"SD median", 1, 1e-6},
                              {"SD error", 0, 1e-4},   {"fit centre", 1, 1e-6}, {"fit width", 0, 1e-4},
                              {"fit error μ", 0, 1e-4}, {"fit error σ", 0, 1e-4}, {"mpv 3", 1, 1e-5},
                              {"sem2 3", 2, 1e-4},     {"mpv 0", 1, 1e-4},      {"sem2 0", 2, 1e-3},
                              {"mpv 2", 1, 1e-5},      {"sem2 2", 2, 1e-4}};
    const int count = sizeof(names) / sizeof(names[0]), kFirstSearched = 11;
    auto estimates = [&](Values v) {
        Stat s(v.data(), static_cast<int>(v.size()));
        Values e;
        e.push_back(s.GetMean());
        e.push_back(s.GetDisp());
        e.push_back(s.GetSEM2());
        double a = 0, b = 0;
        s.GetMedian_MAD(a, b);
        e.push_back(a);
        e.push_back(b);
        s.GetMedian_SD(a, b);
        e.push_back(a);
        e.push_back(b);
        Result fit(s.FitCumulativeDistribution());
        for (int i = 0; i < 4; ++i) e.push_back(fit ? (*fit)[i] : NAN);
        for (int type : {3, 0, 2}) {
            Result r(s.GetMostProbableValue(type, 0));
            e.push_back((*r)[0]);
            e.push_back((*r)[1]);
        }
        return e;
    };
    const Values x = NormalSample(120, 5.0, 2.0, 53);
    const Values base = estimates(x);
    ASSERT_EQ(static_cast<int>(base.size()), count);
    // The unit of each tolerance: the sample's standard deviation (squared
    // for the squared estimates).
    const double sd = std::sqrt(base[1]);
    for (double k : {1e-300, 1e-20, 1e20, 1e300}) {
        const Values got = estimates(Scaled(x, k));
        for (int i = 0; i < count; ++i) {
            const double want = names[i].power == 2 ? base[i] * k * k : base[i] * k;
            if (!std::isnormal(want)) continue;  // k² beyond the doubles
            const double unit = names[i].power == 2 ? base[1] * k * k : sd * k;
            EXPECT_NEAR(got[i], want, names[i].rel * unit) << names[i].name << " k = " << k;
        }
    }
    for (double c : {-1e3, 1e6, 1e9}) {
        const Values got = estimates(Scaled(x, 1, c));
        for (int i = 0; i < count; ++i) {
            // Kept: extremes relatively closer than 1e-7 (the sample + 1e9)
            // are not searched; the answer is (Mean, SEM2).
            if (std::fabs(c) > 1e8 && i >= kFirstSearched) continue;
            const double want = names[i].power == 1 ? base[i] + c : base[i];
            const double unit = names[i].power == 2 ? base[1] : sd;
            // The shifted values carry c's rounding: about 1e-16·|c| each.
            EXPECT_NEAR(got[i], want, names[i].rel * unit + 1e-14 * std::fabs(c) * (names[i].power == 2 ? sd : 1))
                << names[i].name << " c = " << c;
        }
    }
    ExpectErrors({});
}

}  // namespace
