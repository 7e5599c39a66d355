// Weighted statistics: weight repair and normalisation, weighted mean and
// error, correlations, the weighted cumulative distribution and medians.
#include <cmath>
#include <memory>

#include "stat/Stat_Weighted.h"
#include "tests/stat/RobustTestSupport.h"

namespace {

const double kHalfPi = 1.5707963267948966;

using StatWeightedTest = RobustTest;

Values NormalisedWeights(const Stat_Weighted& cs) {
    auto& s = const_cast<Stat_Weighted&>(cs);
    const double* w = s.GetWeights();
    return Values(w, w + s.Len());
}

// Direct formulas on the normalised weights w (mean 1).
struct Direct {
    double mean = 0, wmean = 0, wsem2 = 0, dispW = 0, corr = 0;
    Direct(const Values& x, const Values& w) {
        const int n = static_cast<int>(x.size());
        double sx = 0, sw = 0;
        for (int i = 0; i < n; ++i) {
            sx += x[i];
            sw += w[i] * x[i];
        }
        mean = sx / n;
        wmean = sw / n;
        double sxx = 0, sww = 0, sxw = 0, se = 0;
        for (int i = 0; i < n; ++i) {
            sxx += (x[i] - mean) * (x[i] - mean);
            sww += (w[i] - 1) * (w[i] - 1);
            sxw += (x[i] - mean) * (w[i] - 1);
            se += w[i] * (x[i] - wmean) * (x[i] - wmean);
        }
        wsem2 = se / ((n - 1.0) * n);
        dispW = sww / (n - 1);
        corr = sxw / std::sqrt(sxx * sww);
    }
};

TEST_F(StatWeightedTest, WeightsAreRepairedAndNormalised) {
    struct Case {
        Values x, w, normalised;
    };
    const Case cases[] = {
        {{1, 2, 3}, {2, 2, 2}, {1, 1, 1}},
        {{1, 2, 3}, {0, 1, 3}, {3.0 / 13, 9.0 / 13, 27.0 / 13}},  // 0 → 1/3
        {{1, 2, 3}, {0, -2, 0}, {1, 1, 1}},                          // → 1e300/3
        {{1, 2, 3}, {1, 1, 4}, {0.5, 0.5, 2}},
        // The plain sum overflows: the weights normalised to 0 before.
        {{1, 2, 3}, {1e308, 1e308, 1e308}, {1, 1, 1}},
        {{1, 2, 3}, {1.5e308, 0.5e308, 1e308}, {1.5, 0.5, 1}},
    };
    for (const auto& c : cases) {
        Values x = c.x, w = c.w;
        Stat_Weighted s(x.data(), w.data(), 3);
        const Values got = NormalisedWeights(s);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], c.normalised[i], 1e-15) << c.w[i];
    }
    Values x = {1, 2, 3}, w = {1e308, 1e308, 1e308};
    Stat_Weighted huge(x.data(), w.data(), 3);
    EXPECT_EQ(huge.GetWeightedMean(), 2);
    Values w2 = {1, 1, 4};
    Stat_Weighted s(x.data(), w2.data(), 3);
    EXPECT_DOUBLE_EQ(s.GetWeightedMean(), 2.5);
    Values w3 = {2, 2, 2};
    Stat_Weighted flat(x.data(), w3.data(), 3);
    EXPECT_EQ(flat.GetDispOfWeights(), 0);
    EXPECT_EQ(flat.GetWeightsCorr(), 0);
    EXPECT_EQ(flat.GetWeightedMean(), flat.GetMean());
    ExpectNoError();
}

TEST_F(StatWeightedTest, WeightedResultsMatchDirectFormulas) {
    const int n = 257;
    const Values x = NormalSample(n, 10.0, 2.0, 31);
    Values w = UniformSample(n, 0.2, 3.0, 32);
    for (int i = 0; i < n; ++i) w[i] += 0.3 * x[i];  // correlated with the values
    Values xs = x, ws = w;
    Stat_Weighted s(xs.data(), ws.data(), n);
    const Values nw = NormalisedWeights(s);
    const Direct direct(x, nw);
    double sum = 0;
    for (double v : w) sum += v;
    for (int i = 0; i < n; ++i) EXPECT_NEAR(nw[i], w[i] * n / sum, 1e-15 * nw[i]);
    EXPECT_NEAR(s.GetWeightedMean(), direct.wmean, 1e-14);
    EXPECT_NEAR(s.GetWeightedSEM2(), direct.wsem2, 1e-14 * direct.wsem2);
    EXPECT_NEAR(s.GetDispOfWeights(), direct.dispW, 1e-14 * direct.dispW);
    EXPECT_NEAR(s.GetWeightsCorr(), direct.corr, 1e-13);
    EXPECT_GT(direct.corr, 0.5);
    // Log forms: correlations of ln x − ln Mean and ln w.
    auto corr = [&](bool logX, bool logW) {
        double ab = 0, aa = 0, bb = 0;
        for (int i = 0; i < n; ++i) {
            const double a = logX ? std::log(x[i]) - std::log(s.GetMean()) : x[i] - s.GetMean();
            const double b = logW ? std::log(nw[i]) : nw[i] - 1;
            ab += a * b;
            aa += a * a;
            bb += b * b;
        }
        return ab / std::sqrt(aa * bb);
    };
    for (int lx : {0, 1})
        for (int lw : {0, 1}) EXPECT_NEAR(s.GetCorrToWeight(lx, lw), corr(lx, lw), 1e-13);

    // With dispersions d the value deviations are standardised by
    // √(Disp0 + d).
    Values d = UniformSample(n, 0.5, 2.0, 42);
    Values xd = x, wd = w;
    Stat_Weighted g(xd.data(), d.data(), wd.data(), n);
    double sab = 0;
    for (int i = 0; i < n; ++i)
        sab += (x[i] - g.GetMean()) / std::sqrt(g.GetDisp0() + d[i]) * (nw[i] - 1);
    EXPECT_NEAR(g.GetWeightsCorr(), sab / (n - 1) / std::sqrt(direct.dispW), 1e-14);
    EXPECT_NEAR(g.GetWeightedSEM2(), direct.wsem2, 1e-14 * direct.wsem2);
    ExpectNoError();
}

TEST_F(StatWeightedTest, PerfectLinearPairsCorrelateFully) {
    // Values 1..5 with weights 1..5 gave 0.8: a sum over n against
    // dispersions over n − 1.
    Values x = {1, 2, 3, 4, 5}, up = {1, 2, 3, 4, 5}, down = {5, 4, 3, 2, 1};
    Stat_Weighted a(x.data(), up.data(), 5);
    EXPECT_NEAR(a.GetWeightsCorr(), 1.0, 1e-15);
    EXPECT_NEAR(a.GetCorrToWeight(0, 0), 1.0, 1e-15);
    Stat_Weighted b(x.data(), down.data(), 5);
    EXPECT_NEAR(b.GetWeightsCorr(), -1.0, 1e-15);
    ExpectNoError();
}

TEST_F(StatWeightedTest, ScaleAndShiftOfTheValues) {
    const int n = 80;
    const Values x = NormalSample(n, 0.5, 1.0, 51), w = UniformSample(n, 0.1, 2.0, 52);
    Values x0 = x, w0 = w;
    Stat_Weighted base(x0.data(), w0.data(), n);
    for (double k : {-2.0, 1e-5, 3e7}) {
        for (double c : {0.0, 1e5}) {
            Values y = Scaled(x, k, c), wy = w;
            Stat_Weighted s(y.data(), wy.data(), n);
            // A shift costs the digits of c/k that the values carry.
            const double tol = 1e-13 * (std::fabs(c) + 10 * std::fabs(k));
            const double rel = 1e-13 + 1e-14 * std::fabs(c / k);
            EXPECT_NEAR(s.GetWeightedMean(), base.GetWeightedMean() * k + c, tol);
            EXPECT_NEAR(s.GetWeightedSEM2() / (base.GetWeightedSEM2() * k * k), 1, rel);
            EXPECT_NEAR(s.GetWeightsCorr(), base.GetWeightsCorr() * (k > 0 ? 1 : -1), rel);
            EXPECT_EQ(s.GetDispOfWeights(), base.GetDispOfWeights());
        }
    }
    ExpectNoError();
}

// Mend: rescaling a weighted sample left WeightedMean, WeightedSEM2 and
// WeightsCorr as they were, so the median of a few values (the weighted
// mean) ignored the factor.
TEST_F(StatWeightedTest, RescalingCarriesTheWeightedResults) {
    for (double k : {-2.0, 0.5}) {
        Values x = {1, 2, 4, 7}, w = {1, 3, 2, 5}, kx = Scaled(x, k), kw = w;
        Stat_Weighted s(x.data(), w.data(), 4), rebuilt(kx.data(), kw.data(), 4);
        s *= k;
        EXPECT_DOUBLE_EQ(s.GetWeightedMean(), rebuilt.GetWeightedMean()) << k;
        EXPECT_DOUBLE_EQ(s.GetWeightedSEM2(), rebuilt.GetWeightedSEM2()) << k;
        EXPECT_DOUBLE_EQ(s.GetWeightsCorr(), rebuilt.GetWeightsCorr()) << k;
        double median = 0, se = 0;
        s.GetMedian_SD(median, se);
        EXPECT_DOUBLE_EQ(median, rebuilt.GetWeightedMean()) << k;
    }
    ExpectNoError();
}

TEST_F(StatWeightedTest, LogarithmsOfNonPositiveNumbersRaise88) {
    Values x = {0, 1, 2}, w = {1, 2, 3};
    Stat_Weighted s(x.data(), w.data(), 3);
    EXPECT_EQ(s.GetCorrToWeight(1, 0), 0.0);
    ExpectOneError(88);
    Values neg = {-3, -1, -2};
    Stat_Weighted m(neg.data(), w.data(), 3);
    EXPECT_EQ(m.GetCorrToWeight(1, 1), 0.0);
    ExpectOneError(88);
    EXPECT_NE(m.GetCorrToWeight(0, 1), 0.0);  // weights are positive after repair
    Stat_Weighted empty(nullptr, nullptr, 0);
    EXPECT_EQ(empty.GetCorrToWeight(1, 1), 0.0);
    ExpectNoError();
}

TEST_F(StatWeightedTest, FewValuesAndBadInput) {
    Values x = {4}, w = {7};
    Stat_Weighted one(x.data(), w.data(), 1);
    EXPECT_EQ(one.GetDispOfWeights(), 0);
    EXPECT_EQ(one.GetWeightedSEM2(), 0);  // falls back to SEM2
    EXPECT_EQ(one.GetWeightedMean(), 4);
    double median = -1, err = -1;
    one.GetMedian_SD(median, err);
    EXPECT_EQ(median, 4);
    EXPECT_EQ(err, 0);
    Values x2 = {1, 3}, w2 = {1, 3};
    Stat_Weighted two(x2.data(), w2.data(), 2);
    two.GetMedian_MAD(median, err);
    EXPECT_EQ(median, 2.5);  // the weighted mean
    EXPECT_EQ(err, 2);
    Values x4 = {1, 2, 3, 9}, w4 = {1, 1, 1, 1};
    Stat_Weighted four(x4.data(), w4.data(), 4);
    four.GetMedian_SD(median, err);
    EXPECT_EQ(median, four.GetWeightedMean());
    EXPECT_DOUBLE_EQ(err, std::sqrt(kHalfPi * four.GetWeightedSEM2()));
    ExpectNoError();
    // Mend: a null weights array gave Len 0 but kept the statistics of the
    // values (Mean 3.75, Min 1); the sample is now empty throughout.
    Values d4 = {1, 2, 1, 2};
    for (double* disp : {static_cast<double*>(nullptr), d4.data()}) {
        Stat_Weighted bad(x4.data(), disp, nullptr, 4);
        ExpectOneError(3);
        EXPECT_EQ(bad.Len(), 0);
        EXPECT_TRUE(std::isnan(bad.GetMean()));
        EXPECT_EQ(bad.GetMin(), 1e300);
        EXPECT_EQ(bad.GetDisp(), 0);
        EXPECT_EQ(bad.GetDisp0(), 0);
    }
}

TEST_F(StatWeightedTest, CumulativeDistributionAccumulatesWeights) {
    struct Case {
        Values x, w, X, F;
    };
    const Case cases[] = {
        {{3, 1, 2}, {1, 1, 2}, {0, 1, 2, 3}, {0, 0.25, 0.75, 1}},
        {{1, 2, 1}, {1, 1, 2}, {0, 1, 2}, {0, 0.75, 1}},  // tie merged to its last F
        {{-5}, {3}, {-5 * 1.999, -5}, {0, 1}},
    };
    for (const auto& c : cases) {
        Values x = c.x, w = c.w;
        Stat_Weighted s(x.data(), w.data(), static_cast<int>(x.size()));
        double *X = nullptr, *F = nullptr;
        int m = 0;
        s.GetCumulativeDistr(X, F, m);
        ASSERT_EQ(m, static_cast<int>(c.X.size()));
        EXPECT_EQ(Values(X, X + m), c.X);
        for (int j = 0; j < m; ++j) EXPECT_DOUBLE_EQ(F[j], c.F[j]);
        double *X2, *F2;
        s.GetCumulativeDistr(X2, F2, m);
        EXPECT_EQ(X2, X);  // cached
    }
    // 5000 values in buckets of five: the first value of each bucket and the
    // weight share through it.
    const int n = 5000;
    Values x(n), w(n);
    double total = 0;
    for (int i = 0; i < n; ++i) {
        x[i] = n - i;
        w[i] = 1 + (i % 3);
        total += w[i];
    }
    Stat_Weighted s(x.data(), w.data(), n);
    double *X, *F;
    int m;
    s.GetCumulativeDistr(X, F, m);
    ASSERT_EQ(m, 1001);
    Values starts, cums;
    double cum = 0;
    for (int v = 1; v <= n; ++v) {  // value v has index n − v
        cum += 1 + ((n - v) % 3);
        if ((v - 1) % 5 == 0) {
            starts.push_back(v);
            cums.push_back(cum);
        }
    }
    for (int j = 1; j < m; ++j) {
        EXPECT_EQ(X[j], starts[j - 1]);
        EXPECT_NEAR(F[j], cums[j - 1] / cums.back(), 1e-13);
    }
    EXPECT_EQ(X[0], 2 * X[1] - X[2]);
    Stat_Weighted empty(nullptr, nullptr, 0);
    X = F = reinterpret_cast<double*>(&m);
    empty.GetCumulativeDistr(X, F, m);
    EXPECT_EQ(X, nullptr);
    EXPECT_EQ(m, 0);
    ExpectNoError();
}

TEST_F(StatWeightedTest, MedianStaysInsideTheData) {
    // A heavy first weight pulled the fitted centre to 0.25, below Min, and
    // the fallback returned the same fitted value.
    Values x = {1, 2, 3, 4, 5}, w = {1000, 1, 1, 1, 1};
    Stat_Weighted s(x.data(), w.data(), 5);
    std::unique_ptr<MatVectorCol> fit(s.FitCumulativeDistribution());
    ASSERT_NE(fit, nullptr);
    EXPECT_LT((*fit)[0], s.GetMin());
    double median = -1, err = -1;
    s.GetMedian_SD(median, err);
    EXPECT_EQ(median, 1);
    s.GetMedian_MAD(median, err);
    EXPECT_EQ(median, 1);
    EXPECT_EQ(err, 2);  // the unweighted median of pairwise differences
    ExpectNoError();
}

TEST_F(StatWeightedTest, OverridesAndExport) {
    const int n = 1000;
    Values x = UniformSample(n, 1, 2, 61), w = UniformSample(n, 1, 2, 62);
    Stat_Weighted s(x.data(), w.data(), n);
    EXPECT_EQ(s.isTooLong(), 0);
    double* own = s.GetWeights();
    EXPECT_EQ(s.GetWeights(), own);
    s.FreeWeights(own);
    EXPECT_EQ(s.GetWeights()[3], own[3]);

    vrt::DefineClass("StatResult", 0);
    Variable obj;
    ASSERT_TRUE(vrt::NewObject(obj, "StatResult"));
    s.UpdateVeskObject(obj);
    const char* const names[] = {"Mean", "Disp", "SEM2", "Disp0", "E2", "E3", "E4", "DistrType",
                                 "Min", "Max", "Sum", "estDataDisp", "LogNormDisp",
                                 "LogNormMean", "WeightsDistrType", "DispOfWeights",
                                 "WeightsCorr", "WeightedMean", "WeightedSEM2", "Weights"};
    Object* o = obj.GetObject();
    ASSERT_EQ(o->MemberCount(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_STREQ(o->MemberName(i), names[i]);
    EXPECT_EQ(static_cast<double>(obj("WeightedMean")), s.GetWeightedMean());
    EXPECT_EQ(static_cast<int>(obj("WeightsDistrType")), s.GetWeightsDistrType());
    EXPECT_EQ(vrt::ToDoubles(obj("Weights")), Values(own, own + n));
    ExpectNoError();
}

TEST_F(StatWeightedTest, CopiesOwnTheirWeights) {
    Values x = {1, 2, 3, 4}, w = {1, 2, 3, 4}, x2 = {5, 6}, w2 = {1, 3};
    Stat_Weighted a(x.data(), w.data(), 4);
    Stat_Weighted copy(a);
    EXPECT_NE(copy.GetWeights(), a.GetWeights());
    EXPECT_EQ(NormalisedWeights(copy), NormalisedWeights(a));
    EXPECT_EQ(copy.GetWeightedMean(), a.GetWeightedMean());
    Stat_Weighted b(x2.data(), w2.data(), 2);
    b = a;
    EXPECT_EQ(b.Len(), 4);
    EXPECT_NE(b.GetWeights(), a.GetWeights());
    EXPECT_EQ(NormalisedWeights(b), NormalisedWeights(a));
    EXPECT_EQ(b.GetWeightsCorr(), a.GetWeightsCorr());
    b = b;
    EXPECT_EQ(b.Len(), 4);
    ExpectNoError();
}

}  // namespace
