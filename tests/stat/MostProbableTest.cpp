// Most probable value, its squared error and the log-likelihood curve.
#include <algorithm>
#include <cmath>
#include <memory>

#include "stat/Stat_Weighted.h"
#include "tests/stat/StatTestSupport.h"

namespace {

using Result = std::unique_ptr<MatVectorCol>;

Result Mpv(Stat& s, int type, int logScale = 0) { return Result(s.GetMostProbableValue(type, logScale)); }

Values Entries(const Result& r) { return Values(r->GetData(), r->GetData() + 3); }

// The log-likelihood's maximum on a 4001-point grid over [lo, hi], refined
// twice on 401 points: independent of the search.
double GridMaximum(CProbFunc f, double lo, double hi, Values x, double* d, double* w) {
    for (int pass = 0; pass < 3; ++pass) {
        const int points = pass == 0 ? 4001 : 401;
        const double h = (hi - lo) / (points - 1);
        int best = 0;
        double bestL = -1e300;
        for (int i = 0; i < points; ++i) {
            const double L = -f(lo + i * h, x.data(), d, w, static_cast<int>(x.size()));
            if (L > bestL) {
                bestL = L;
                best = i;
            }
        }
        lo = lo + (best - 1) * h;
        hi = lo + 2 * h;
    }
    return (lo + hi) / 2;
}

TEST_F(StatTest, SamplesWithoutASearch) {
    // One value: (x, Disp, 0); two values, equal values, or an estimated
    // dispersion of 0 (a tight core and one outlier): (Mean, SEM2, 0).
    Values one = {3.5}, d = {0.25}, two = {1, 4}, same = {2, 2, 2, 2, 2}, core = {5, 5, 5, 5, 5, 5, 5, 100};
    Stat plain(one.data(), 1), withDisp(one.data(), d.data(), 1), pair(two.data(), 2), flat(same.data(), 5),
        zero(core.data(), 8);
    EXPECT_EQ(Entries(Mpv(plain, 3)), (Values{3.5, 0, 0}));
    EXPECT_EQ(Entries(Mpv(withDisp, 0)), (Values{3.5, 0.25, 0}));
    EXPECT_EQ(Entries(Mpv(pair, 2)), (Values{2.5, pair.GetSEM2(), 0}));
    EXPECT_EQ(Entries(Mpv(flat, 1)), (Values{2, 0, 0}));
    EXPECT_EQ(zero.GetEstimationDisp()[0], 0);
    EXPECT_EQ(Entries(Mpv(zero, 3)), (Values{zero.GetMean(), zero.GetSEM2(), 0}));
    // 301 values: the search runs on SampleSubset(250), its sem2 × 250/301.
    Values x = NormalSample(301, 2.0, 1.0, 71);
    Stat s(x.data(), 301);
    std::unique_ptr<Stat> sub(s.SampleSubset(250));
    Result r = Mpv(s, 3), rs = Mpv(*sub, 3);
    EXPECT_EQ((Values{(*r)[0], (*r)[1]}), (Values{(*rs)[0], (*rs)[1] * 250 / 301}));
    ExpectErrors({});
}

TEST_F(StatTest, EveryModelMaximisesItsLikelihood) {
    Values normal = NormalSample(120, 10.0, 2.0, 81), lognormal = NormalSample(120, 0.0, 0.5, 82), w(120, 1.0);
    for (double& v : lognormal) v = std::exp(v);
    for (int logScale : {0, 1}) {
        Values x = logScale ? lognormal : normal;
        Stat s(x.data(), 120);
        for (int type : {0, 1, 2, 3}) {
            Result r = Mpv(s, type, logScale);
            const double best = GridMaximum(Stat::GetCProbFuncPtr(type, logScale), s.GetMin(), s.GetMax(), x,
                                            s.GetEstimationDisp(), w.data());
            EXPECT_NEAR((*r)[0], best, 1e-4 * std::sqrt((*r)[1])) << "type " << type << " log " << logScale;
            EXPECT_TRUE((*r)[1] > 0 && (*r)[2] > 0);
        }
    }
    ExpectErrors({});
}

// With one estimated dispersion d, type 3 peaks at the mean and ±0.34 of the
// probability spans ±0.99446 standard errors (n·sem2 = 0.98895·d).
// Mend: the coarse scan kept the maximum outside its bracket (uniform rows).
// Mend: far from zero the error's bisections stopped coarse, and at
// 1e5 ± 0.01 the search never ended (offset rows).
TEST_F(StatTest, GaussianModelGivesTheMeanAndItsError) {
    const struct {
        int n;
        double offset, sd;
    } cases[] = {{61, 0, 0}, {100, 0, 0}, {300, 0, 0}, {100, 1000, 1e-3}, {100, 100, 1e-5}, {100, 1e5, 0.01}};
    for (const auto& c : cases) {
        Values x = c.sd == 0 ? UniformSample(c.n, 0.0, 1.0, 90 + c.n) : NormalSample(c.n, c.offset, c.sd, 7);
        Stat s(x.data(), c.n);
        Result r = Mpv(s, 3);
        const double d = s.GetEstimationDisp()[0];
        EXPECT_NEAR((*r)[0], s.GetMean(), (c.sd == 0 ? 1e-5 : 1e-4) * std::sqrt(d / c.n)) << c.n << " " << c.offset;
        EXPECT_NEAR(c.n * (*r)[1] / d, 0.98895, 0.02) << c.n << " " << c.offset;
    }
    ExpectErrors({});
}

TEST_F(StatTest, MostProbableValueFollowsScaleAndShift) {
    const Values x = NormalSample(150, 1.0, 1.0, 101);
    Values x0 = x;
    Stat base(x0.data(), 150);
    for (int type : {0, 2, 3}) {
        Result r0 = Mpv(base, type);
        for (double k : {-4.0, 1e-3, 5e4}) {
            for (double c : {0.0, 300.0}) {
                Values y = Scaled(x, k, c);
                Stat s(y.data(), 150);
                Result r = Mpv(s, type);
                EXPECT_NEAR((*r)[0], (*r0)[0] * k + c, 1e-4 * std::sqrt((*r0)[1]) * std::fabs(k)) << type << k << c;
                EXPECT_NEAR((*r)[1] / ((*r0)[1] * k * k), 1, 1e-3) << type << " " << k << " " << c;
            }
        }
    }
    ExpectErrors({});
}

// Type 3 peaks at Σ(w·x/d)/Σ(w/d); a weighted sample is never thinned.
TEST_F(StatTest, WeightedSamplesUseTheirWeightsAndDispersions) {
    const int n = 500;
    Values x = NormalSample(n, 3.0, 1.0, 111), w = UniformSample(n, 0.5, 2.0, 112);
    Values disp = UniformSample(n, 0.5, 1.5, 113);
    Stat_Weighted plain(x.data(), w.data(), n), given(x.data(), disp.data(), w.data(), n);
    Result r(plain.GetMostProbableValue(3, 0));
    EXPECT_NEAR((*r)[0], plain.GetWeightedMean(), 1e-5 * std::sqrt((*r)[1]));
    r.reset(given.GetMostProbableValue(3, 0));
    const double *d = given.GetEstimationDisp(), *nw = given.GetWeights();
    double num = 0, den = 0;
    for (int i = 0; i < n; ++i) {
        num += nw[i] * x[i] / d[i];
        den += nw[i] / d[i];
    }
    EXPECT_NEAR((*r)[0], num / den, 1e-5 * std::sqrt((*r)[1]));
    ExpectErrors({});
}

TEST_F(StatTest, LogProbabilityCurve) {
    Values x = {1, 2, 2.5, 4, 7}, w(5, 1.0);
    Stat s(x.data(), 5);
    double *X = nullptr, *Y = nullptr;
    s.GetLogProbabilityDistribution(3, 0, 12, X, Y);
    ASSERT_NE(X, nullptr);
    std::unique_ptr<double[]> ownX(X), ownY(Y);
    double* d = s.GetEstimationDisp();
    Values L(12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(X[i], -2.0 + i * 1.0);  // [Min − r/2, Max + r/2) in 2r/k steps
        L[i] = -Stat::GetCProbFuncPtr(3, 0)(X[i], x.data(), d, w.data(), 5);
    }
    const double top = *std::max_element(L.begin(), L.end());
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(Y[i], L[i] - top, 1e-12);
    ExpectErrors({});
    // Mend: no points (a negative size was allocated), no values or no
    // positive dispersions: error 3, both outputs null.
    Values same = {3, 3, 3};
    Stat flat(same.data(), 3), empty(nullptr, 0);
    const std::pair<Stat*, int> refused[] = {{&s, 0}, {&s, -5}, {&empty, 10}, {&flat, 10}};
    for (const auto& [stat, k] : refused) {
        X = Y = d;
        stat->GetLogProbabilityDistribution(2, 0, k, X, Y);
        EXPECT_TRUE(X == nullptr && Y == nullptr);
        ExpectErrors({3});
    }
}

}  // namespace
