// Most probable value, its squared error and the log-likelihood curve.
#include <algorithm>
#include <cmath>
#include <memory>

#include "special/Gamma.h"
#include "stat/Stat_Weighted.h"
#include "tests/stat/RobustTestSupport.h"

namespace {

using MostProbableTest = RobustTest;
using Result = std::unique_ptr<MatVectorCol>;

// Negative log-likelihood of location m, written out from the model
// definitions. Type 0 uses the module's Erf, as the models do: its 1.2e-7
// error moves the flat-topped optimum of that model by up to 0.3 % of a
// standard error, which would hide what the comparison checks (the search).
double NegLogLikelihood(int type, int logScale, double m, const Values& x, const double* d,
                        const double* w) {
    double sum = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        double delta = x[i] - m, disp = d[i];
        if (logScale) {
            const double s = 1 + d[i] / (x[i] * x[i]);
            disp = std::log(s);
            delta = std::log(x[i] / (std::sqrt(s) * m));
        }
        const double q = delta * delta;
        double term;
        if (type == 0) {
            double a = std::fabs(delta), z;
            if (logScale) {
                a = std::sqrt(std::max(q, 1e-10));
                z = std::sqrt(a * a / (2 * disp));
            } else {
                z = a / std::sqrt(2 * disp);
                if (z < 1e-5) {
                    z = 1e-5;
                    a = 1e-5 * std::sqrt(2 * disp);
                }
            }
            term = -std::log(Erf(z) / a);
        } else if (type == 1) {
            const double u = logScale ? q : q / disp;
            const double t = 1 - std::exp(-q / (2 * disp));
            term = t == 0 ? -std::log(0.5) : -std::log(t / u);
        } else if (type == 2) {
            term = std::log(1 + q / (2 * disp));
        } else {
            term = q / (2 * disp);
        }
        sum += w[i] * term;
    }
    return sum;
}

// Maximum of the likelihood on a grid of 4001 points over [lo, hi], refined
// twice on a grid of 401 points over the neighbouring steps.
double GridMaximum(int type, int logScale, double lo, double hi, const Values& x, const double* d,
                   const double* w) {
    for (int pass = 0; pass < 3; ++pass) {
        const int points = pass == 0 ? 4001 : 401;
        const double h = (hi - lo) / (points - 1);
        int best = 0;
        double bestL = -1e300;
        for (int i = 0; i < points; ++i) {
            const double L = -NegLogLikelihood(type, logScale, lo + i * h, x, d, w);
            if (L > bestL) {
                bestL = L;
                best = i;
            }
        }
        const double c = lo + best * h;
        lo = c - h;
        hi = c + h;
    }
    return (lo + hi) / 2;
}

Result Mpv(Stat& s, int type, int logScale = 0) {
    return Result(s.GetMostProbableValue(type, logScale));
}

TEST_F(MostProbableTest, SamplesWithoutASearch) {
    Values one = {3.5}, d = {0.25};
    Stat plain(one.data(), 1), withDisp(one.data(), d.data(), 1);
    Result r = Mpv(plain, 3);
    EXPECT_EQ(Values(r->GetData(), r->GetData() + 3), (Values{3.5, 0, 0}));
    r = Mpv(withDisp, 0);
    EXPECT_EQ(Values(r->GetData(), r->GetData() + 3), (Values{3.5, 0.25, 0}));
    Values two = {1, 4};
    Stat pair(two.data(), 2);
    r = Mpv(pair, 2);
    EXPECT_EQ(Values(r->GetData(), r->GetData() + 3), (Values{2.5, pair.GetSEM2(), 0}));
    Values same = {2, 2, 2, 2, 2};
    Stat flat(same.data(), 5);
    r = Mpv(flat, 1);
    EXPECT_EQ(Values(r->GetData(), r->GetData() + 3), (Values{2, 0, 0}));
    // A tight core and one outlier: the estimated dispersion is 0.
    Values core = {5, 5, 5, 5, 5, 5, 5, 100};
    Stat zero(core.data(), 8);
    EXPECT_EQ(zero.GetEstimationDisp()[0], 0);
    r = Mpv(zero, 3);
    EXPECT_EQ(Values(r->GetData(), r->GetData() + 3), (Values{zero.GetMean(), zero.GetSEM2(), 0}));
    ExpectNoError();
}

TEST_F(MostProbableTest, LongSamplesAreSearchedThinned) {
    const Values x = NormalSample(301, 2.0, 1.0, 71);
    Values xs = x;
    Stat s(xs.data(), 301);
    std::unique_ptr<Stat> sub(s.SampleSubset(250));
    Result r = Mpv(s, 3), rs = Mpv(*sub, 3);
    EXPECT_EQ((*r)[0], (*rs)[0]);
    EXPECT_EQ((*r)[1], (*rs)[1] * 250 / 301);
    EXPECT_GT((*r)[2], (*rs)[2]);  // counted in the whole sample
    ExpectNoError();
}

TEST_F(MostProbableTest, EveryModelMaximisesItsLikelihood) {
    const Values normal = NormalSample(120, 10.0, 2.0, 81);
    Values lognormal = NormalSample(120, 0.0, 0.5, 82);
    for (double& v : lognormal) v = std::exp(v);
    for (int logScale : {0, 1}) {
        const Values& x = logScale ? lognormal : normal;
        Values xs = x;
        Stat s(xs.data(), static_cast<int>(x.size()));
        const double* d = s.GetEstimationDisp();
        const Values w(x.size(), 1.0);
        for (int type : {0, 1, 2, 3}) {
            Result r = Mpv(s, type, logScale);
            const double best = GridMaximum(type, logScale, s.GetMin(), s.GetMax(), x, d, w.data());
            EXPECT_NEAR((*r)[0], best, 1e-4 * std::sqrt((*r)[1]))
                << "type " << type << " log " << logScale;
            EXPECT_GT((*r)[1], 0);
            EXPECT_GT((*r)[2], 0);
        }
    }
    ExpectNoError();
}

TEST_F(MostProbableTest, GaussianModelGivesTheMeanAndItsError) {
    // With one estimated dispersion d for all values, type 3 is maximised at
    // the mean, and ±0.34 of the probability spans ±0.99446 standard errors
    // (n·sem2 = 0.98895·d). The coarse scan kept the maximum outside its
    // bracket for these sizes (0.6 standard errors off).
    for (int n : {61, 100, 300}) {
        Values x = UniformSample(n, 0.0, 1.0, 90 + n);
        Stat s(x.data(), n);
        Result r = Mpv(s, 3);
        const double d = s.GetEstimationDisp()[0];
        EXPECT_NEAR((*r)[0], s.GetMean(), 1e-5 * std::sqrt(d / n)) << n;
        EXPECT_NEAR(n * (*r)[1] / d, 0.98895, 0.02) << n;
    }
    // Far from zero the error's bisections stopped coarse (0.34 of the
    // expected error at 1000 ± 1e-3, 13 times it at 100 ± 1e-5).
    const struct {
        double offset, sd;
    } far[] = {{1000, 1e-3}, {100, 1e-5}, {1e5, 0.01}};
    for (const auto& c : far) {
        Values x = NormalSample(100, c.offset, c.sd, 7);
        Stat s(x.data(), 100);
        Result r = Mpv(s, 3);
        const double d = s.GetEstimationDisp()[0];
        EXPECT_NEAR((*r)[0], s.GetMean(), 1e-4 * std::sqrt(d / 100)) << c.offset;
        EXPECT_NEAR(100 * (*r)[1] / d, 0.98895, 0.02) << c.offset;
    }
    ExpectNoError();
}

TEST_F(MostProbableTest, ScaleAndShift) {
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
                const double se = std::sqrt((*r0)[1]) * std::fabs(k);
                EXPECT_NEAR((*r)[0], (*r0)[0] * k + c, 1e-4 * se) << type << " " << k << " " << c;
                EXPECT_NEAR((*r)[1] / ((*r0)[1] * k * k), 1, 1e-3) << type << " " << k << " " << c;
            }
        }
    }
    ExpectNoError();
}

TEST_F(MostProbableTest, WeightedSamplesUseTheirWeightsAndDispersions) {
    // Type 3 is maximised at Σ(w·x/d)/Σ(w/d).
    const int n = 500;  // never thinned
    Values x = NormalSample(n, 3.0, 1.0, 111), w = UniformSample(n, 0.5, 2.0, 112);
    Values disp = UniformSample(n, 0.5, 1.5, 113);
    Stat_Weighted plain(x.data(), w.data(), n);
    Result r(plain.GetMostProbableValue(3, 0));
    EXPECT_NEAR((*r)[0], plain.GetWeightedMean(), 1e-5 * std::sqrt((*r)[1]));
    Stat_Weighted given(x.data(), disp.data(), w.data(), n);
    r.reset(given.GetMostProbableValue(3, 0));
    const double* d = given.GetEstimationDisp();
    const double* nw = given.GetWeights();
    double num = 0, den = 0;
    for (int i = 0; i < n; ++i) {
        num += nw[i] * x[i] / d[i];
        den += nw[i] / d[i];
    }
    EXPECT_NEAR((*r)[0], num / den, 1e-5 * std::sqrt((*r)[1]));
    ExpectNoError();
}

TEST_F(MostProbableTest, LogProbabilityCurve) {
    Values x = {1, 2, 2.5, 4, 7};
    Stat s(x.data(), 5);
    double *X = nullptr, *Y = nullptr;
    s.GetLogProbabilityDistribution(3, 0, 12, X, Y);
    ASSERT_NE(X, nullptr);
    const double* d = s.GetEstimationDisp();
    const Values w(5, 1.0);
    double top = -1e300;
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(X[i], -2.0 + i * 1.0);  // [Min − r/2, Max + r/2) in 2r/k steps
        top = std::max(top, -NegLogLikelihood(3, 0, X[i], x, d, w.data()));
    }
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(Y[i], -NegLogLikelihood(3, 0, X[i], x, d, w.data()) - top, 1e-12);
    EXPECT_EQ(*std::max_element(Y, Y + 12), 0.0);
    delete[] X;
    delete[] Y;
    ExpectNoError();
    // No points (a negative size was allocated before), no values, or no
    // positive dispersions: refused, both outputs null.
    Values same = {3, 3, 3};
    Stat flat(same.data(), 3), empty(nullptr, 0);
    struct {
        Stat* s;
        int k;
    } refused[] = {{&s, 0}, {&s, -5}, {&empty, 10}, {&flat, 10}};
    for (auto& c : refused) {
        X = Y = reinterpret_cast<double*>(&c);
        c.s->GetLogProbabilityDistribution(2, 0, c.k, X, Y);
        EXPECT_EQ(X, nullptr);
        EXPECT_EQ(Y, nullptr);
        ExpectOneError(3);
    }
}

}  // namespace
