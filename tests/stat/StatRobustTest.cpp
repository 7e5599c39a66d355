// Robust estimates of Stat: medians, estimated dispersions, thinning.
#include <algorithm>
#include <cmath>
#include <memory>

#include "tests/stat/StatTestSupport.h"

namespace {

const double kHalfPi = 1.5707963267948966;

double Variance(const Values& x) {  // two-pass
    double m = 0, s = 0;
    for (double v : x) m += v;
    m /= x.size();
    for (double v : x) s += (v - m) * (v - m);
    return s / (x.size() - 1);
}

double Estimate(Values x) {
    std::unique_ptr<double[]> d(Stat::EstimateDisp(x.data(), static_cast<int>(x.size()), 1e-7));
    if (!d) return NAN;
    for (size_t i = 1; i < x.size(); ++i) EXPECT_EQ(d[i], d[0]);
    return d[0];
}

TEST_F(StatTest, MediansOfFewValues) {
    // GetMedian_MAD: median and median pairwise difference; GetMedian_SD up
    // to four values: the median and √(π/2·SEM2).
    const struct {
        Values x;
        double median, spread, sem2;
    } cases[] = {
        {{7}, 7, 0, 0},
        {{5, 9}, 7, 4, 4},
        {{1, 2, 4}, 2, 2, 7.0 / 9},
        {{4, 1, 3, 2}, 2.5, 1.5, 5.0 / 12},
        {{4, 10, 1, 2}, 3, 4.5, 16.25 / 4},
        {{1, 1, 1, 1, 50}, 1, 0, NAN},  // 6 zero differences of 10
    };
    for (auto c : cases) {
        Stat s(c.x.data(), static_cast<int>(c.x.size()));
        double median = -1, spread = -1;
        s.GetMedian_MAD(median, spread);
        EXPECT_EQ((Values{median, spread}), (Values{c.median, c.spread})) << c.x.size();
        if (std::isnan(c.sem2)) continue;
        s.GetMedian_SD(median, spread);
        EXPECT_EQ(median, c.median) << c.x.size();
        EXPECT_DOUBLE_EQ(spread, std::sqrt(kHalfPi * c.sem2)) << c.x.size();
    }
    Stat empty(nullptr, 0);
    double median = -1, spread = -1;
    empty.GetMedian_MAD(median, spread);
    empty.GetMedian_SD(median, spread);
    EXPECT_EQ(median + spread, -2);
    ExpectErrors({});
}

TEST_F(StatTest, MediansOfLargerSamples) {
    // The median |X − Y| of two normal values is √2·0.67449σ.
    for (int n : {301, 20000}) {
        Values x = NormalSample(n, 3.0, 2.0, 11);
        Stat s(x.data(), n);
        double median, spread;
        s.GetMedian_MAD(median, spread);
        EXPECT_NEAR(spread, 2.0 * std::sqrt(2.0) * 0.6744897501960817, 0.08) << n;
        std::sort(x.begin(), x.end());
        EXPECT_EQ(median, n % 2 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2);
    }
    ExpectErrors({});
}

TEST_F(StatTest, MediansFollowScaleAndShift) {
    const Values x = NormalSample(300, 2.0, 1.5, 17);
    Values x0 = x;
    Stat base(x0.data(), 300);
    double m0, s0, f0, e0, m, sp, f, e;
    base.GetMedian_MAD(m0, s0);
    base.GetMedian_SD(f0, e0);
    for (double k : {-3.0, 1e-4, 2e5}) {
        for (double c : {0.0, 1e6}) {
            Values y = Scaled(x, k, c);
            Stat s(y.data(), 300);
            s.GetMedian_MAD(m, sp);
            const double tol = 1e-14 * (std::fabs(c) + std::fabs(k) * 10);
            EXPECT_NEAR(m, m0 * k + c, tol);
            EXPECT_NEAR(sp, s0 * std::fabs(k), tol);
            // The fit follows k > 0 within the minimizer's tolerance (mirroring moves it).
            if (k < 0) continue;
            s.GetMedian_SD(f, e);
            EXPECT_NEAR(f, f0 * k + c, 1e-3 * e0 * k) << k << " " << c;
            EXPECT_NEAR(e / (e0 * k), 1, 1e-3) << k << " " << c;
        }
    }
    ExpectErrors({});
}

TEST_F(StatTest, EstimateDispAgainstReferenceAndNormalSamples) {
    // erf here is good to 1.2e-7 and the search stops at 1e-7 of 2σ.
    const auto reference = ReadRobustReference("disp");
    EXPECT_EQ(reference.size(), 7u);
    for (const auto& c : reference) EXPECT_NEAR(Estimate(c.values), c.expect, 5e-6 * c.expect) << c.name;
    // It rests on the central part of the sample: several per cent of scatter
    // at n = 20000. Mend: far outliers widened the search range (1e9 gave 0).
    for (double far : {0.0, 50.0, 1e4, 1e9}) {
        Values x = NormalSample(20000, 0.0, 1.0, 9);
        const double core = Variance(x);
        for (int i = 0; far > 0 && i < 15; ++i) x.push_back((i % 2 ? -far : far) * (1 + i));
        EXPECT_NEAR(Estimate(x) / core, 1.0, 0.08) << far;
    }
    ExpectErrors({});
}

TEST_F(StatTest, EstimateDispFollowsScaleAndIgnoresShift) {
    const Values x = NormalSample(500, 0.0, 1.127, 21);
    const double base = Estimate(x);
    for (double k : {1024.0, 1.0 / 64}) EXPECT_EQ(Estimate(Scaled(x, k)), base * k * k) << k;  // exact
    // Mend: the bracket had no units (4σ² for σ = 0.01).
    for (double k : {1e-6, 0.01, 7.5e4}) EXPECT_NEAR(Estimate(Scaled(x, k)) / (base * k * k), 1, 2e-6);
    // Mend: sums about zero cancelled the variance (8e-18 at 1e9).
    for (double c : {-250.0, 1e7, 1e9}) EXPECT_NEAR(Estimate(Scaled(x, 1, c)) / base, 1, c < 1e8 ? 2e-6 : 1e-5) << c;
    ExpectErrors({});
}

TEST_F(StatTest, EstimateDispOfFewValuesAndBadArguments) {
    // Mend: one value was read before its arrays (through the object too).
    EXPECT_EQ((Values{Estimate({4.5}), Estimate({1.0, 4.0}), Estimate({2.0, 2.0, 2.0})}), (Values{0.0, 4.5, 0.0}));
    Values x50 = NormalSample(50, 1.0, 0.5, 3), one = {3.0};
    Stat s(x50.data(), 50), single(one.data(), 1);
    double* d = s.GetEstimationDisp();
    EXPECT_EQ(d[7], Estimate(x50));
    EXPECT_EQ(s.GetEstimationDisp(), d);  // cached
    EXPECT_EQ(single.GetEstimationDisp()[0], 0.0);
    delete[] Stat::EstimateDisp(nullptr, 0, 1e-7);
    ExpectErrors({});
    double x[] = {1, 2, 3};
    EXPECT_EQ(Stat::EstimateDisp(x, -1, 1e-7), nullptr);
    EXPECT_EQ(Stat::EstimateDisp(nullptr, 3, 1e-7), nullptr);
    ExpectErrors({3, 3});
}

TEST_F(StatTest, GivenDispersionsBelowTheThresholdAreRaised) {
    Values x = {1, 2, 3, 4};
    for (const auto& c : ReadRobustReference("threshold")) {
        Values d = c.values;
        Stat s(x.data(), d.data(), 4);
        const double* est = s.GetEstimationDisp();
        for (int i = 0; i < 4; ++i) {
            const double want = std::max(d[i], c.expect);
            EXPECT_NEAR(est[i], want, 1e-13 * want) << c.name << " " << i;
        }
    }
    // Fewer than three values: the given dispersions themselves.
    double v[] = {1, 2}, dd[] = {0.5, 3};
    Stat two(v, dd, 2);
    EXPECT_EQ(Values(two.GetEstimationDisp(), two.GetEstimationDisp() + 2), Values(dd, dd + 2));
    ExpectErrors({});
}

TEST_F(StatTest, SampleSubsetTakesEvenlySpacedSortedValues) {
    // Scrambled 0..999: every fourth sorted value from the smallest (kept).
    Values x(1000);
    for (int i = 0; i < 1000; ++i) x[i] = (i * 389) % 1000;
    Stat s(x.data(), 1000);
    std::unique_ptr<Stat> sub(s.SampleSubset(250)), all(s.SampleSubset(1000));
    EXPECT_EQ((Values{sub->GetMin(), sub->GetMax(), sub->GetMean()}), (Values{0, 996, 498}));
    EXPECT_EQ(sub->Len() + all->Len(), 1250);  // k ≥ n: a full copy
    // Dispersions stay with their values: 39..0 with 1 + x², thinned to 0, 4,
    // ..., 36.
    Values y(40), d(40), sy, sd;
    for (int i = 0; i < 40; ++i) {
        y[i] = 39 - i;
        d[i] = 1 + y[i] * y[i];
        if (i < 10) {
            sy.push_back(4 * i);
            sd.push_back(1 + 16.0 * i * i);
        }
    }
    std::unique_ptr<Stat> subd(Stat(y.data(), d.data(), 40).SampleSubset(10));
    Stat direct(sy.data(), sd.data(), 10);
    EXPECT_EQ((Values{subd->GetMean(), subd->GetSEM2()}), (Values{direct.GetMean(), direct.GetSEM2()}));
    ExpectErrors({});
    // Mend: k ≤ 0 is refused (0 made a NaN index and −1 never ended).
    for (int k : {0, -1, -1000}) EXPECT_EQ(s.SampleSubset(k), nullptr);
    ExpectErrors({3, 3, 3});
}

}  // namespace
