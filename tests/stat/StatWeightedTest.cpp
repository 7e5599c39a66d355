// Weighted statistics: weight repair and normalisation, weighted mean and
// error, correlations, the weighted cumulative distribution and medians.
#include <cmath>
#include <memory>

#include "stat/Stat_Weighted.h"
#include "tests/stat/StatTestSupport.h"

namespace {

Values NormalisedWeights(Stat_Weighted& s) { return Values(s.GetWeights(), s.GetWeights() + s.Len()); }

TEST_F(StatTest, WeightsAreRepairedAndNormalised) {
    const struct {
        Values w, normalised;
    } cases[] = {
        {{0, 1, 3}, {3.0 / 13, 9.0 / 13, 27.0 / 13}},  // 0 → 1/3
        {{0, -2, 0}, {1, 1, 1}},                       // → 1e300/3
        {{1, 1, 4}, {0.5, 0.5, 2}},
        {{1e308, 1e308, 1e308}, {1, 1, 1}},  // mend: the plain sum overflowed to weights 0
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

// Values 1..5; by hand at 30 digits. Mend: weights 1..5 gave WeightsCorr 0.8
// (a sum over n against dispersions over n − 1).
TEST_F(StatTest, WeightedResultsOfSmallSamples) {
    const struct {
        Values w;
        double mean, sem2, dispW, corr, toW[4], corrDisp;
    } cases[] = {
        {{1, 2, 3, 4, 5},
         11.0 / 3,
         7.0 / 18,
         5.0 / 18,
         1,
         {1, 0.94463147287168807, 0.94463147287168807, 1},
         0.15811388300841897},
        {{2, 1, 4, 3, 5},
         53.0 / 15,
         0.46222222222222222,
         5.0 / 18,
         0.8,
         {0.8, 0.70779181711749023, 0.70779181711749023, 0.67160581741541129},
         0.12649110640673517},
    };
    for (const auto& c : cases) {
        Values x = {1, 2, 3, 4, 5}, w = c.w, xd = x, wd = w, d(5, 100.0);
        Stat_Weighted s(x.data(), w.data(), 5), g(xd.data(), d.data(), wd.data(), 5);
        EXPECT_NEAR(s.GetWeightedMean(), c.mean, 1e-15);
        EXPECT_NEAR(s.GetWeightedSEM2(), c.sem2, 1e-15);
        EXPECT_NEAR(s.GetDispOfWeights(), c.dispW, 1e-15);
        EXPECT_NEAR(s.GetWeightsCorr(), c.corr, 1e-15);
        for (int f = 0; f < 4; ++f) EXPECT_NEAR(s.GetCorrToWeight(f / 2, f % 2), c.toW[f], 1e-15) << f;
        // With dispersions (here Disp0 = 0) deviations are standardised by √(Disp0
        // + d).
        EXPECT_EQ(g.GetDisp0(), 0.0);
        EXPECT_NEAR(g.GetWeightsCorr(), c.corrDisp, 1e-15);
        EXPECT_NEAR(g.GetWeightedSEM2(), c.sem2, 1e-15);
    }
    Values v = {1, 2, 3, 4, 5}, down = {5, 4, 3, 2, 1};
    EXPECT_NEAR(Stat_Weighted(v.data(), down.data(), 5).GetWeightsCorr(), -1.0, 1e-15);
    ExpectErrors({});
}

TEST_F(StatTest, WeightedResultsFollowScaleAndShift) {
    const Values x = NormalSample(80, 0.5, 1.0, 51), w = UniformSample(80, 0.1, 2.0, 52);
    Values x0 = x, w0 = w;
    Stat_Weighted base(x0.data(), w0.data(), 80);
    for (double k : {-2.0, 1e-5, 3e7}) {
        for (double c : {0.0, 1e5}) {
            Values y = Scaled(x, k, c), wy = w;
            Stat_Weighted s(y.data(), wy.data(), 80);
            // A shift costs the digits of c/k that the values carry.
            const double tol = 1e-13 * (std::fabs(c) + 10 * std::fabs(k)), rel = 1e-13 + 1e-14 * std::fabs(c / k);
            EXPECT_NEAR(s.GetWeightedMean(), base.GetWeightedMean() * k + c, tol);
            EXPECT_NEAR(s.GetWeightedSEM2() / (base.GetWeightedSEM2() * k * k), 1, rel);
            EXPECT_NEAR(s.GetWeightsCorr(), base.GetWeightsCorr() * (k > 0 ? 1 : -1), rel);
            EXPECT_EQ(s.GetDispOfWeights(), base.GetDispOfWeights());
        }
    }
    // Mend: rescaling in place kept the weighted results, so the median of a
    // few values (the weighted mean) ignored the factor.
    for (double k : {-2.0, 0.5}) {
        Values v = {1, 2, 4, 7}, vw = {1, 3, 2, 5}, kv = Scaled(v, k), kw = vw;
        Stat_Weighted s(v.data(), vw.data(), 4), rebuilt(kv.data(), kw.data(), 4);
        s *= k;
        double median = 0, se = 0;
        s.GetMedian_SD(median, se);
        EXPECT_DOUBLE_EQ(median, rebuilt.GetWeightedMean()) << k;
        EXPECT_DOUBLE_EQ(se, std::sqrt(1.5707963267948966 * rebuilt.GetWeightedSEM2())) << k;
        EXPECT_DOUBLE_EQ(s.GetWeightsCorr(), rebuilt.GetWeightsCorr()) << k;
    }
    ExpectErrors({});
}

TEST_F(StatTest, FewValuesBadInputAndLogarithms) {
    Values x = {4}, w = {7}, x2 = {1, 3}, w2 = {1, 3}, x4 = {1, 2, 3, 9};
    Stat_Weighted one(x.data(), w.data(), 1), two(x2.data(), w2.data(), 2);
    EXPECT_EQ(one.GetDispOfWeights() + one.GetWeightedSEM2(), 0);
    double median = -1, err = -1;
    one.GetMedian_SD(median, err);
    EXPECT_EQ((Values{median, err}), (Values{4, 0}));
    two.GetMedian_MAD(median, err);
    EXPECT_EQ((Values{median, err}), (Values{2.5, 2}));  // the weighted mean
    ExpectErrors({});
    // Mend: null weights kept the values' statistics under Len 0; now empty
    // throughout.
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
    EXPECT_EQ(s.GetCorrToWeight(1, 0) + m.GetCorrToWeight(1, 1), 0.0);
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
        const auto [X, F] = Cumulative(s);
        EXPECT_EQ(X, c.X);
        for (size_t j = 0; j < X.size(); ++j) EXPECT_DOUBLE_EQ(F[j], c.F[j]);
        double *X2 = nullptr, *F2 = nullptr;
        int m = 0;
        s.GetCumulativeDistr(X2, F2, m);
        EXPECT_EQ(X2, StatTestAccess::CumX(s));  // cached
    }
    // 5000 values in buckets of five, weight 2 on each bucket's first value:
    // X there, F the weight through it over that through the last one.
    Values x(5000), w(5000);
    for (int i = 0; i < 5000; ++i) {
        x[i] = 5000 - i;
        w[i] = (4999 - i) % 5 == 0 ? 2 : 1;
    }
    Stat_Weighted big(x.data(), w.data(), 5000);
    const auto [X, F] = Cumulative(big);
    ASSERT_EQ(X.size(), 1001u);
    EXPECT_EQ(X[0], 2 * X[1] - X[2]);
    for (int j = 1; j < 1001; ++j) {
        EXPECT_EQ(X[j], 5 * (j - 1) + 1);
        EXPECT_NEAR(F[j], (6 * (j - 1) + 2) / 5996.0, 1e-13);
    }
    // Mend: a heavy first weight pulls the fit below Min and the fallback
    // answered the same value; now the weighted median of the values.
    Values v = {1, 2, 3, 4, 5}, heavy = {1000, 1, 1, 1, 1};
    Stat_Weighted s(v.data(), heavy.data(), 5);
    std::unique_ptr<MatVectorCol> fit(s.FitCumulativeDistribution());
    EXPECT_LT((*fit)[0], s.GetMin());
    double median = -1, err = -1;
    s.GetMedian_SD(median, err);
    EXPECT_EQ(median, 1);
    s.GetMedian_MAD(median, err);
    EXPECT_EQ((Values{median, err}), (Values{1, 2}));  // err: the unweighted pairwise median (kept)
    ExpectErrors({});
}

// Without a host processor there is no fit and the medians come from the
// weighted median itself: where the cumulative weight reaches exactly half,
// the mean of that value and the next.
TEST_F(StatTest, WeightedMedianWithoutTheFit) {
    const struct {
        Values x, w;
        double median;
    } cases[] = {
        {{6, 1, 5, 2, 4, 3}, {1, 1, 1, 1, 1, 1}, 3.5},
        {{1, 2, 3, 4, 5, 6, 7, 8}, {2, 2, 2, 2, 2, 2, 2, 2}, 4.5},
        {{1, 2, 3, 4, 5, 6}, {3, 1, 1, 1, 1, 1}, 2.5},  // weight 4 of 8 through the value 2
        {{1, 2, 3, 4, 5, 6}, {1, 1, 1, 1, 1, 2}, 4},    // past half within the value 4
    };
    vrt::SetCurrentProcessor(nullptr);
    for (auto c : cases) {
        Stat_Weighted s(c.x.data(), c.w.data(), static_cast<int>(c.x.size()));
        double median = -1, err = -1;
        s.GetMedian_SD(median, err);
        EXPECT_EQ(median, c.median);
        s.GetMedian_MAD(median, err);
        EXPECT_EQ(median, c.median);
    }
    vrt::SetCurrentProcessor(&proc);
    ExpectErrors({});
}

TEST_F(StatTest, WeightedOverridesExportAndCopies) {
    Values x = UniformSample(1000, 1, 2, 61), w = UniformSample(1000, 1, 2, 62);
    Stat_Weighted s(x.data(), w.data(), 1000);
    double* own = s.GetWeights();
    s.FreeWeights(own);  // releases nothing: the object's own array
    vrt::DefineClass("StatResult", 0);
    Variable obj;
    ASSERT_TRUE(vrt::NewObject(obj, "StatResult"));
    s.UpdateVeskObject(obj);
    const char* const names[] = {"LogNormMean",  "WeightsDistrType", "DispOfWeights", "WeightsCorr",
                                 "WeightedMean", "WeightedSEM2",     "Weights"};
    Object* o = obj.GetObject();
    ASSERT_EQ(o->MemberCount(), 20);  // Stat's 14 first
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(o->MemberName(13 + i), names[i]);
    EXPECT_EQ(static_cast<double>(obj("WeightedMean")), s.GetWeightedMean());
    EXPECT_EQ(vrt::ToDoubles(obj("Weights")), Values(own, own + 1000));

    Values v = {1, 2, 3, 4}, vw = {1, 2, 3, 4}, v2 = {5, 6}, w2 = {1, 3};
    Stat_Weighted a(v.data(), vw.data(), 4), b(v2.data(), w2.data(), 2), copy(a);
    b = a;
    for (Stat_Weighted* c : {&copy, &b}) {
        EXPECT_NE(c->GetWeights(), a.GetWeights());
        EXPECT_EQ(NormalisedWeights(*c), NormalisedWeights(a));
        EXPECT_EQ(c->GetWeightsCorr(), a.GetWeightsCorr());
    }
    b = b;
    EXPECT_EQ(b.Len(), 4);
    ExpectErrors({});
}

}  // namespace
