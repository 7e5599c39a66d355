// Weighted statistics: weight repair and normalisation, weighted mean and
// error, correlations, the weighted cumulative distribution and medians.
#include <cmath>
#include <memory>

#include "stat/Stat_Weighted.h"
#include "tests/stat/StatTestSupport.h"

namespace {

const double kHalfPi = 1.5707963267948966;

Values NormalisedWeights(Stat_Weighted& s) {
    const double* w = s.GetWeights();
    return Values(w, w + s.Len());
}

TEST_F(StatTest, WeightsAreRepairedAndNormalised) {
    const struct {
        Values w, normalised;
    } cases[] = {
        {{2, 2, 2}, {1, 1, 1}},
        {{0, 1, 3}, {3.0 / 13, 9.0 / 13, 27.0 / 13}},  // 0 → 1/3
        {{0, -2, 0}, {1, 1, 1}},                        // → 1e300/3
        {{1, 1, 4}, {0.5, 0.5, 2}},
        // Mend: the plain sum overflowed and the weights normalised to 0.
        {{1e308, 1e308, 1e308}, {1, 1, 1}},
        {{1.5e308, 0.5e308, 1e308}, {1.5, 0.5, 1}},
    };
    for (auto c : cases) {
        Values x = {1, 2, 3};
        Stat_Weighted s(x.data(), c.w.data(), 3);
        const Values got = NormalisedWeights(s);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], c.normalised[i], 1e-15) << c.w[i];
    }
    ExpectErrors({});
}

TEST_F(StatTest, WeightedResultsMatchDirectFormulas) {
    const int n = 257;
    const Values x = NormalSample(n, 10.0, 2.0, 31), d = UniformSample(n, 0.5, 2.0, 42);
    Values w = UniformSample(n, 0.2, 3.0, 32);
    for (int i = 0; i < n; ++i) w[i] += 0.3 * x[i];  // correlated with the values
    Values xs = x, ws = w, xd = x, wd = w, dd = d;
    Stat_Weighted s(xs.data(), ws.data(), n), g(xd.data(), dd.data(), wd.data(), n);
    const Values nw = NormalisedWeights(s);
    double sum = 0, sw = 0, sx = 0;
    for (int i = 0; i < n; ++i) {
        sum += w[i];
        sx += x[i];
    }
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(nw[i], w[i] * n / sum, 1e-15 * nw[i]);
        sw += nw[i] * x[i];
    }
    const double mean = sx / n, wmean = sw / n;
    double sxx = 0, sww = 0, sxw = 0, se = 0, sab = 0;
    for (int i = 0; i < n; ++i) {
        sxx += (x[i] - mean) * (x[i] - mean);
        sww += (nw[i] - 1) * (nw[i] - 1);
        sxw += (x[i] - mean) * (nw[i] - 1);
        se += nw[i] * (x[i] - wmean) * (x[i] - wmean);
        // With dispersions the deviations are standardised by √(Disp0 + d).
        sab += (x[i] - g.GetMean()) / std::sqrt(g.GetDisp0() + d[i]) * (nw[i] - 1);
    }
    const double wsem2 = se / ((n - 1.0) * n), dispW = sww / (n - 1), corr = sxw / std::sqrt(sxx * sww);
    EXPECT_NEAR(s.GetWeightedMean(), wmean, 1e-14);
    EXPECT_NEAR(s.GetWeightedSEM2(), wsem2, 1e-14 * wsem2);
    EXPECT_NEAR(s.GetDispOfWeights(), dispW, 1e-14 * dispW);
    EXPECT_NEAR(s.GetWeightsCorr(), corr, 1e-13);
    EXPECT_GT(corr, 0.5);
    EXPECT_NEAR(g.GetWeightsCorr(), sab / (n - 1) / std::sqrt(dispW), 1e-14);
    EXPECT_NEAR(g.GetWeightedSEM2(), wsem2, 1e-14 * wsem2);
    // GetCorrToWeight, in its log forms on ln x − ln Mean and ln w.
    for (int lx : {0, 1}) {
        for (int lw : {0, 1}) {
            double ab = 0, aa = 0, bb = 0;
            for (int i = 0; i < n; ++i) {
                const double a = lx ? std::log(x[i]) - std::log(mean) : x[i] - mean;
                const double b = lw ? std::log(nw[i]) : nw[i] - 1;
                ab += a * b;
                aa += a * a;
                bb += b * b;
            }
            EXPECT_NEAR(s.GetCorrToWeight(lx, lw), ab / std::sqrt(aa * bb), 1e-13) << lx << lw;
        }
    }
    // Mend: values 1..5 with weights 1..5 gave WeightsCorr 0.8, a sum over
    // n against dispersions over n − 1.
    Values v = {1, 2, 3, 4, 5}, up = v, down = {5, 4, 3, 2, 1};
    Stat_Weighted a(v.data(), up.data(), 5), b(v.data(), down.data(), 5);
    EXPECT_NEAR(a.GetWeightsCorr(), 1.0, 1e-15);
    EXPECT_NEAR(a.GetCorrToWeight(0, 0), 1.0, 1e-15);
    EXPECT_NEAR(b.GetWeightsCorr(), -1.0, 1e-15);
    ExpectErrors({});
}

TEST_F(StatTest, WeightedResultsFollowScaleAndShift) {
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
    // Mend: rescaling in place left WeightedMean, WeightedSEM2 and
    // WeightsCorr as they were, so the median of a few values (the weighted
    // mean) ignored the factor.
    for (double k : {-2.0, 0.5}) {
        Values v = {1, 2, 4, 7}, vw = {1, 3, 2, 5}, kv = Scaled(v, k), kw = vw;
        Stat_Weighted s(v.data(), vw.data(), 4), rebuilt(kv.data(), kw.data(), 4);
        s *= k;
        EXPECT_DOUBLE_EQ(s.GetWeightedMean(), rebuilt.GetWeightedMean()) << k;
        EXPECT_DOUBLE_EQ(s.GetWeightedSEM2(), rebuilt.GetWeightedSEM2()) << k;
        EXPECT_DOUBLE_EQ(s.GetWeightsCorr(), rebuilt.GetWeightsCorr()) << k;
        double median = 0, se = 0;
        s.GetMedian_SD(median, se);
        EXPECT_DOUBLE_EQ(median, rebuilt.GetWeightedMean()) << k;
    }
    ExpectErrors({});
}

TEST_F(StatTest, FewValuesBadInputAndLogarithms) {
    Values x = {4}, w = {7}, x2 = {1, 3}, w2 = {1, 3}, x4 = {1, 2, 3, 9}, w4 = {1, 1, 1, 1};
    Stat_Weighted one(x.data(), w.data(), 1), two(x2.data(), w2.data(), 2), four(x4.data(), w4.data(), 4);
    EXPECT_EQ(one.GetDispOfWeights() + one.GetWeightedSEM2(), 0);  // SEM2 when 0
    double median = -1, err = -1;
    one.GetMedian_SD(median, err);
    EXPECT_EQ(median, 4);
    EXPECT_EQ(err, 0);
    two.GetMedian_MAD(median, err);
    EXPECT_EQ(median, 2.5);  // the weighted mean
    EXPECT_EQ(err, 2);
    four.GetMedian_SD(median, err);
    EXPECT_EQ(median, four.GetWeightedMean());
    EXPECT_DOUBLE_EQ(err, std::sqrt(kHalfPi * four.GetWeightedSEM2()));
    EXPECT_EQ(four.isTooLong(), 0);
    ExpectErrors({});
    // Mend: a null weights array gave Len 0 but kept the statistics of the
    // values (Mean 3.75, Min 1); the sample is now empty throughout.
    Values d4 = {1, 2, 1, 2};
    for (double* disp : {static_cast<double*>(nullptr), d4.data()}) {
        Stat_Weighted bad(x4.data(), disp, nullptr, 4);
        ExpectErrors({3});
        EXPECT_TRUE(bad.Len() == 0 && std::isnan(bad.GetMean()) && bad.GetMin() == 1e300);
        EXPECT_EQ(bad.GetDisp() + bad.GetDisp0(), 0);
    }
    // A logarithm of a number ≤ 0 raises 88 and answers 0.
    Values z = {0, 1, 2}, neg = {-3, -1, -2}, wz = {1, 2, 3};
    Stat_Weighted s(z.data(), wz.data(), 3), m(neg.data(), wz.data(), 3), empty(nullptr, nullptr, 0);
    EXPECT_EQ(s.GetCorrToWeight(1, 0), 0.0);
    EXPECT_EQ(m.GetCorrToWeight(1, 1), 0.0);
    ExpectErrors({88, 88});
    EXPECT_NE(m.GetCorrToWeight(0, 1), 0.0);  // weights are positive after repair
    EXPECT_EQ(empty.GetCorrToWeight(1, 1), 0.0);
    ExpectErrors({});
}

TEST_F(StatTest, WeightedCumulativeDistributionAndMedian) {
    const struct {
        Values x, w, X, F;
    } cases[] = {
        {{3, 1, 2}, {1, 1, 2}, {0, 1, 2, 3}, {0, 0.25, 0.75, 1}},
        {{1, 2, 1}, {1, 1, 2}, {0, 1, 2}, {0, 0.75, 1}},  // tie merged to its last F
        {{-5}, {3}, {-5 * 1.999, -5}, {0, 1}},
    };
    for (auto c : cases) {
        Stat_Weighted s(c.x.data(), c.w.data(), static_cast<int>(c.x.size()));
        double *X = nullptr, *F = nullptr, *X2 = nullptr, *F2 = nullptr;
        int m = 0;
        s.GetCumulativeDistr(X, F, m);
        ASSERT_EQ(m, static_cast<int>(c.X.size()));
        EXPECT_EQ(Values(X, X + m), c.X);
        for (int j = 0; j < m; ++j) EXPECT_DOUBLE_EQ(F[j], c.F[j]);
        s.GetCumulativeDistr(X2, F2, m);
        EXPECT_EQ(X2, X);  // cached
    }
    // 5000 values in buckets of five: the first value of each bucket and the
    // weight share through it.
    const int n = 5000;
    Values x(n), w(n);
    for (int i = 0; i < n; ++i) {
        x[i] = n - i;
        w[i] = 1 + (i % 3);
    }
    Stat_Weighted big(x.data(), w.data(), n);
    const auto [X, F] = Cumulative(big);
    ASSERT_EQ(X.size(), 1001u);
    Values cums;
    double cum = 0;
    for (int v = 1; v <= n; ++v) {  // value v has index n − v
        cum += 1 + ((n - v) % 3);
        if ((v - 1) % 5 == 0) cums.push_back(cum);
    }
    for (int j = 1; j < 1001; ++j) {
        EXPECT_EQ(X[j], 5 * (j - 1) + 1);
        EXPECT_NEAR(F[j], cums[j - 1] / cums.back(), 1e-13);
    }
    EXPECT_EQ(X[0], 2 * X[1] - X[2]);

    // Mend: a heavy first weight pulls the fitted centre to 0.25, below Min,
    // and the fallback answered the same fitted value; now the weighted
    // median of the values.
    Values v = {1, 2, 3, 4, 5}, heavy = {1000, 1, 1, 1, 1};
    Stat_Weighted s(v.data(), heavy.data(), 5);
    std::unique_ptr<MatVectorCol> fit(s.FitCumulativeDistribution());
    EXPECT_LT((*fit)[0], s.GetMin());
    double median = -1, err = -1;
    s.GetMedian_SD(median, err);
    EXPECT_EQ(median, 1);
    s.GetMedian_MAD(median, err);
    EXPECT_EQ(median, 1);
    EXPECT_EQ(err, 2);  // the unweighted median of pairwise differences (kept)
    ExpectErrors({});
}

TEST_F(StatTest, WeightedOverridesExportAndCopies) {
    const int n = 1000;
    Values x = UniformSample(n, 1, 2, 61), w = UniformSample(n, 1, 2, 62);
    Stat_Weighted s(x.data(), w.data(), n);
    double* own = s.GetWeights();  // the object's own array
    s.FreeWeights(own);             // releases nothing

    vrt::DefineClass("StatResult", 0);
    Variable obj;
    ASSERT_TRUE(vrt::NewObject(obj, "StatResult"));
    s.UpdateVeskObject(obj);
    const char* const names[] = {"WeightsDistrType", "DispOfWeights", "WeightsCorr",
                                 "WeightedMean",     "WeightedSEM2",  "Weights"};
    Object* o = obj.GetObject();
    ASSERT_EQ(o->MemberCount(), 20);  // Stat's 14 first
    EXPECT_STREQ(o->MemberName(13), "LogNormMean");
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(o->MemberName(14 + i), names[i]);
    EXPECT_EQ(static_cast<double>(obj("WeightedMean")), s.GetWeightedMean());
    EXPECT_EQ(static_cast<int>(obj("WeightsDistrType")), s.GetWeightsDistrType());
    EXPECT_EQ(vrt::ToDoubles(obj("Weights")), Values(own, own + n));

    Values v = {1, 2, 3, 4}, vw = {1, 2, 3, 4}, v2 = {5, 6}, w2 = {1, 3};
    Stat_Weighted a(v.data(), vw.data(), 4), b(v2.data(), w2.data(), 2);
    Stat_Weighted copy(a);
    EXPECT_NE(copy.GetWeights(), a.GetWeights());
    EXPECT_EQ(NormalisedWeights(copy), NormalisedWeights(a));
    EXPECT_EQ(copy.GetWeightedMean(), a.GetWeightedMean());
    b = a;
    EXPECT_EQ(b.Len(), 4);
    EXPECT_NE(b.GetWeights(), a.GetWeights());
    EXPECT_EQ(NormalisedWeights(b), NormalisedWeights(a));
    EXPECT_EQ(b.GetWeightsCorr(), a.GetWeightsCorr());
    b = b;
    EXPECT_EQ(b.Len(), 4);
    ExpectErrors({});
}

}  // namespace
