// Stat: the descriptive statistics, the excess dispersion, the distribution
// verdict, rescaling, assignment, export and the failure paths.
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "stat/StatInternal.h"
#include "tests/stat/StatTestSupport.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Relative closeness for values derived by different but equally exact
// roads (rescaled vs. rebuilt): a few roundings of every sum.
void ExpectRelNear(double a, double b, double rel, const char* what) {
    EXPECT_NEAR(a, b, rel * std::fabs(b) + 1e-300) << what;
}

TEST_F(StatTest, SamplesWithoutDispersions) {
    Stat empty(nullptr, 0);
    EXPECT_EQ(empty.Len(), 0);
    EXPECT_EQ(empty.GetMin(), 1e300);
    EXPECT_EQ(empty.GetMax(), -1e300);
    EXPECT_EQ(StatTestAccess::Sum(empty), 0.0);
    EXPECT_EQ(empty.GetDisp(), 0.0);
    EXPECT_EQ(empty.GetDistrType(), DISTR_GAUSS);
    for (double v : {empty.GetMean(), empty.GetE2(), empty.GetE3(), empty.GetE4(), empty.GetSEM2()})
        EXPECT_TRUE(std::isnan(v));

    double one[] = {4.5};
    Stat single(one, 1);
    EXPECT_EQ(single.GetMean(), 4.5);
    EXPECT_EQ(single.GetDisp(), 0.0);
    EXPECT_EQ(single.GetSEM2(), 0.0);
    EXPECT_EQ(single.GetDistrType(), DISTR_GAUSS);

    double three[] = {1.0, 2.0, 3.0};
    Stat s(three, 3);
    EXPECT_EQ(s.GetMean(), 2.0);
    EXPECT_EQ(s.GetDisp(), 1.0);
    EXPECT_DOUBLE_EQ(s.GetSEM2(), 1.0 / 3.0);
    EXPECT_EQ(StatTestAccess::Sum(s), 6.0);
    EXPECT_DOUBLE_EQ(s.GetE2(), 14.0 / 3.0);
    EXPECT_EQ(s.GetE3(), 12.0);
    EXPECT_DOUBLE_EQ(s.GetE4(), 98.0 / 3.0);
    EXPECT_EQ(s.GetMin(), 1.0);
    EXPECT_EQ(s.GetMax(), 3.0);
    // The log-normal parameters of mean 2 and dispersion 1.
    const double disp = std::log(1.0 / 4.0 + 1.0);
    EXPECT_DOUBLE_EQ(StatTestAccess::LogNormDisp(s), disp);
    EXPECT_DOUBLE_EQ(StatTestAccess::LogNormMean(s), std::log(2.0) - disp / 2.0);
    EXPECT_DOUBLE_EQ(s.GetLogNormalDisp(), disp);
    EXPECT_DOUBLE_EQ(s.GetLogNormalMu0(), 2.0 * std::exp(-0.5 * disp));
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(StatTest, BadCountsGiveAnEmptySampleWithError3) {
    double v[] = {1.0, 2.0};
    Stat negative(v, -1);
    Stat nullValues(nullptr, nullptr, 2);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
    EXPECT_EQ(negative.Len(), 0);
    EXPECT_EQ(nullValues.Len(), 0);
    EXPECT_EQ(negative.GetMax(), -1e300);
}

TEST_F(StatTest, SamplesWithDispersions) {
    // All values equal: the value, the largest dispersion, 1/Σ(1/d).
    double same[] = {3.0, 3.0};
    double d14[] = {1.0, 4.0};
    Stat equal(same, d14, 2);
    EXPECT_EQ(equal.GetMean(), 3.0);
    EXPECT_EQ(equal.GetDisp(), 4.0);
    EXPECT_DOUBLE_EQ(equal.GetSEM2(), 0.8);
    EXPECT_EQ(equal.GetDisp0(), 0.0);

    // The excess dispersion and the weighted mean against the root of the
    // score found at high precision. The bisection stops at a relative width
    // of 1e-7 of s, so s² is known to about 2e-7.
    const auto rows = ReadStatReference("excess");
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows) {
        std::vector<double> x = row.fields[0], d = row.fields[1];
        const auto& want = row.fields[2];
        Stat s(x.data(), d.data(), static_cast<int>(x.size()));
        EXPECT_NEAR(s.GetDisp0(), want[0], 3e-7 * want[0]) << row.fields[0][0];
        EXPECT_NEAR(s.GetMean(), want[1], 1e-7 * std::fabs(want[1]) + 1e-12);
        EXPECT_NEAR(s.GetSEM2(), want[2], 3e-7 * want[2]);
        double meanTotal = 0.0;
        for (double di : d) meanTotal += want[0] + di;
        EXPECT_NEAR(s.GetDisp(), meanTotal / x.size(), 3e-7 * meanTotal);
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(StatTest, NonPositiveDispersionsBecomeThePopulationVariance) {
    double x[] = {1.0, 2.0, 6.0};
    double d[] = {0.0, 2.0, -1.0};
    Stat s(x, d, 3);
    const double variance = (4.0 + 1.0 + 9.0) / 3.0;
    const double* kept = StatTestAccess::Dispersions(s);
    EXPECT_DOUBLE_EQ(kept[0], variance);
    EXPECT_EQ(kept[1], 2.0);
    EXPECT_DOUBLE_EQ(kept[2], variance);
    // The caller's array is not touched.
    EXPECT_EQ(d[0], 0.0);
}

// Mend: the bisection compared signs by multiplying two score values, which
// underflow for far scaled samples (Disp0/k² came out 2.149 at k = 1, 2.334 at
// k = 1e80 and 0 at k = 1e100).
TEST_F(StatTest, ExcessDispersionFollowsTheScaleOfTheSample) {
    for (double k : {1.0, 1e-100, 1e80, 1e100, 1e150}) {
        double x[] = {1.0, 4.0, 2.0, 7.0, 3.0};
        double d[] = {1.0, 0.5, 1.0, 2.0, 1.0};
        for (int i = 0; i < 5; ++i) {
            x[i] *= k;
            d[i] *= k * k;
        }
        Stat s(x, d, 5);
        EXPECT_NEAR(s.GetDisp0() / (k * k), 2.149016164988754, 5e-7) << k;
        EXPECT_NEAR(s.GetMean() / k, 3.2475207334659144, 1e-6) << k;
    }
}

TEST_F(StatTest, LogLikelihoodsAgainstReference) {
    // Tolerance: ln Γ carries a relative error below 2e-10; the other terms
    // a few roundings of sums of about 100.
    const auto rows = ReadStatReference("loglik");
    ASSERT_EQ(rows.size(), 8u);
    double any[] = {1.0};
    Stat s(any, 1);
    for (const auto& row : rows) {
        const auto& x = row.fields[0];
        const double lg = row.fields[1][0], ll = row.fields[1][1];
        EXPECT_NEAR(StatTestAccess::Gauss(s, x), lg, 1e-9 * (1.0 + std::fabs(lg))) << x.size();
        EXPECT_NEAR(StatTestAccess::LogNormal(s, x), ll, 1e-9 * (1.0 + std::fabs(ll))) << x.size();
    }
    // A value ≤ 0: 0 for the normal model, −1e300 for the log-normal one.
    EXPECT_EQ(StatTestAccess::Gauss(s, {1.0, -2.0, 3.0}), 0.0);
    EXPECT_EQ(StatTestAccess::LogNormal(s, {1.0, 0.0, 3.0}), -1e300);
}

TEST_F(StatTest, DistributionVerdict) {
    struct Case {
        std::vector<double> x;
        int type;
    } cases[] = {
        {{1.0, 10.0, 100.0, 1000.0, 10000.0}, DISTR_LOGNORMAL},
        {{1.0, 2.0, 3.0}, DISTR_GAUSS},
        {{1.0, 10.0, 100.0, 1000.0, 0.0}, DISTR_GAUSS},  // a value ≤ 0
        {{-1.0, 10.0, 100.0, 1000.0, 10000.0}, DISTR_GAUSS},
        {{7.0, 7.0, 7.0}, DISTR_GAUSS},
        {{9.0}, DISTR_GAUSS},
    };
    for (auto& c : cases) {
        Stat s(c.x.data(), static_cast<int>(c.x.size()));
        EXPECT_EQ(s.GetDistrType(), c.type) << c.x[0] << " " << c.x.size();
        // Dispersions do not change the verdict.
        std::vector<double> d(c.x.size(), 1.0);
        Stat sd(c.x.data(), d.data(), static_cast<int>(c.x.size()));
        EXPECT_EQ(sd.GetDistrType(), c.type);
    }
    // Margin 1.0 in favour of the normal model: LL − LG is 0.97 for powers
    // of 3 (normal) and 1.39 for powers of 5 (log-normal).
    double inside[] = {1.0, 3.0, 9.0, 27.0, 81.0};
    double beyond[] = {1.0, 5.0, 25.0, 125.0};
    EXPECT_EQ(Stat(inside, 5).GetDistrType(), DISTR_GAUSS);
    EXPECT_EQ(Stat(beyond, 4).GetDistrType(), DISTR_LOGNORMAL);
}

TEST_F(StatTest, LogNormalDispersionNeedsAPositiveMean) {
    double x[] = {-1.0, -3.0};
    Stat s(x, 2);
    EXPECT_EQ(StatTestAccess::LogNormDisp(s), 0.0);
    EXPECT_EQ(StatTestAccess::LogNormMean(s), 0.0);
    EXPECT_EQ(s.GetLogNormalDisp(), 1.0);
    EXPECT_DOUBLE_EQ(s.GetLogNormalMu0(), -2.0 * std::exp(-0.5));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{10, 10}));
}

// Every statistic of k·x, whether the sample is rescaled in place or built
// afresh, is the statistic of x scaled by the matching power of k.
TEST_F(StatTest, ScaleInvarianceUnderRescalingAndRebuilding) {
    std::mt19937_64 gen(12);
    std::lognormal_distribution<double> lognormal(1.0, 0.8);
    std::vector<double> x(400), d(400);
    for (auto& v : x) v = lognormal(gen);
    for (auto& v : d) v = 0.1 + 0.05 * lognormal(gen);
    for (bool withDisp : {false, true}) {
        for (double k : {2.0, 1e-3, 3.7e5}) {
            std::vector<double> kx(x), kd(d);
            for (auto& v : kx) v *= k;
            for (auto& v : kd) v *= k * k;
            Stat scaled = withDisp ? Stat(x.data(), d.data(), 400) : Stat(x.data(), 400);
            scaled *= k;
            Stat rebuilt = withDisp ? Stat(kx.data(), kd.data(), 400) : Stat(kx.data(), 400);
            Stat base = withDisp ? Stat(x.data(), d.data(), 400) : Stat(x.data(), 400);
            const double rel = withDisp ? 3e-7 : 1e-12;  // the bisection's width
            for (Stat* s : {&scaled, &rebuilt}) {
                ExpectRelNear(s->GetMean(), base.GetMean() * k, rel, "Mean");
                ExpectRelNear(s->GetDisp(), base.GetDisp() * k * k, rel, "Disp");
                ExpectRelNear(s->GetSEM2(), base.GetSEM2() * k * k, rel, "SEM2");
                ExpectRelNear(s->GetDisp0(), base.GetDisp0() * k * k, rel, "Disp0");
                ExpectRelNear(s->GetE2(), base.GetE2() * k * k, 1e-12, "E2");
                ExpectRelNear(s->GetE3(), base.GetE3() * k * k * k, 1e-12, "E3");
                ExpectRelNear(s->GetE4(), base.GetE4() * k * k * k * k, 1e-12, "E4");
                ExpectRelNear(s->GetMin(), base.GetMin() * k, 1e-15, "Min");
                ExpectRelNear(s->GetMax(), base.GetMax() * k, 1e-15, "Max");
                ExpectRelNear(StatTestAccess::Sum(*s), StatTestAccess::Sum(base) * k, 1e-12, "Sum");
                EXPECT_NEAR(StatTestAccess::LogNormDisp(*s), StatTestAccess::LogNormDisp(base), rel);
                EXPECT_NEAR(StatTestAccess::LogNormMean(*s), StatTestAccess::LogNormMean(base) + std::log(k),
                            rel);
                EXPECT_EQ(s->GetDistrType(), base.GetDistrType());
            }
        }
    }
}

TEST_F(StatTest, RescalingByANegativeFactor) {
    double x[] = {1.0, 2.0, 4.0};
    double d[] = {0.5, 0.5, 1.0};
    Stat s(x, d, 3);
    s *= 2.0;
    // A negative factor keeps Min ≤ Max, zeroes LogNormMean with the mean
    // and drops the cached cumulative distribution, which is rebuilt
    // ascending.
    double* X = nullptr;
    double* F = nullptr;
    int m = 0;
    s.GetCumulativeDistr(X, F, m);
    s *= -1.0;
    EXPECT_EQ(s.GetMin(), -8.0);
    EXPECT_EQ(s.GetMax(), -2.0);
    EXPECT_EQ(StatTestAccess::LogNormMean(s), 0.0);
    EXPECT_EQ(StatTestAccess::CumN(s), 0);
    s.GetCumulativeDistr(X, F, m);
    ASSERT_EQ(m, 4);
    for (int i = 1; i < m; ++i) EXPECT_LT(X[i - 1], X[i]);
    EXPECT_EQ(X[3], -2.0);
    EXPECT_EQ(StatTestAccess::Dispersions(s)[2], 4.0);  // ×2², then ×(−1)²
}

TEST_F(StatTest, CopiesAndAssignmentOwnTheirArrays) {
    double x[] = {1.0, 5.0, 2.0, 8.0};
    double d[] = {1.0, 2.0, 1.0, 3.0};
    Stat* source = new Stat(x, d, 4);
    source->SetAccuracy(1e-3);
    double* X = nullptr;
    double* F = nullptr;
    int m = 0;
    source->GetCumulativeDistr(X, F, m);

    Stat copy(*source);
    EXPECT_EQ(copy.GetAccuracy(), 1e-7);  // the copy starts afresh
    EXPECT_EQ(StatTestAccess::CumN(copy), 0);
    EXPECT_EQ(copy.GetMean(), source->GetMean());

    double y[] = {3.0};
    Stat assigned(y, 1);
    assigned = *source;
    EXPECT_EQ(assigned.GetAccuracy(), 1e-3);
    EXPECT_NE(StatTestAccess::Values(assigned), StatTestAccess::Values(*source));
    EXPECT_NE(StatTestAccess::CumX(assigned), StatTestAccess::CumX(*source));
    const double mean = source->GetMean(), disp0 = source->GetDisp0();
    delete source;  // nothing of the assigned object may go with it
    EXPECT_EQ(assigned.Len(), 4);
    EXPECT_EQ(assigned.GetMean(), mean);
    EXPECT_EQ(assigned.GetDisp0(), disp0);
    EXPECT_EQ(StatTestAccess::Dispersions(assigned)[3], 3.0);
    assigned.GetCumulativeDistr(X, F, m);
    EXPECT_EQ(m, 5);
    EXPECT_EQ(X[4], 8.0);
    assigned = assigned;
    EXPECT_EQ(assigned.Len(), 4);
}

TEST_F(StatTest, WeightsTooLongAndExport) {
    std::vector<double> x(301);
    std::iota(x.begin(), x.end(), 1.0);
    EXPECT_EQ(Stat(x.data(), 300).isTooLong(), 0);
    Stat s(x.data(), 301);
    EXPECT_EQ(s.isTooLong(), 1);
    double* w = s.GetWeights();
    ASSERT_NE(w, nullptr);
    for (int i = 0; i < 301; ++i) ASSERT_EQ(w[i], 1.0);
    s.FreeWeights(w);

    vrt::DefineClass("StatResult", 0);
    Variable obj;
    ASSERT_TRUE(vrt::NewObject(obj, "StatResult"));
    obj("estDataDisp") = 7.0;  // cleared: no estimated dispersions exist
    s.UpdateVeskObject(obj);
    const char* names[] = {"estDataDisp", "Mean", "Disp", "SEM2", "Disp0", "E2", "E3", "E4",
                           "DistrType", "Min", "Max", "Sum", "LogNormDisp", "LogNormMean"};
    Object* o = obj.GetObject();
    ASSERT_EQ(o->MemberCount(), 14);
    for (int i = 0; i < 14; ++i) EXPECT_STREQ(o->MemberName(i), names[i]);
    EXPECT_EQ(static_cast<double>(obj("Mean")), 151.0);
    EXPECT_EQ(obj("DistrType").GetType(), static_cast<VVARTYPE>(VT_INT));
    EXPECT_EQ(static_cast<double>(obj("Sum")), 301.0 * 151.0);
    EXPECT_EQ(static_cast<double>(obj("Max")), 301.0);
    EXPECT_EQ(obj("estDataDisp").GetType(), static_cast<VVARTYPE>(VT_EMPTY));
    EXPECT_EQ(static_cast<double>(obj("LogNormMean")), StatTestAccess::LogNormMean(s));
}

// Mend: the sorts ordered with a comparison that is no order when a value is
// NaN; NaNs now sort after every number.
TEST_F(StatTest, SortsPutNaNLast) {
    double v[] = {1.0, kNaN, 3.0, 2.0, 5.0, kNaN, -1.0};
    statdetail::SortNanLast(v, 7);
    const double want[] = {-1.0, 1.0, 2.0, 3.0, 5.0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(v[i], want[i]);
    EXPECT_TRUE(std::isnan(v[5]) && std::isnan(v[6]));

    // Selecting ranks puts at each rank what the full sort puts there.
    std::mt19937 gen(3);
    std::vector<double> values(3000);
    for (auto& x : values) x = (gen() % 50 == 0) ? kNaN : static_cast<double>(gen() % 40);
    std::vector<double> sorted = values, selected = values;
    statdetail::SortNanLast(sorted.data(), 3000);
    std::vector<int> ranks;
    for (int r = 0; r < 3000; r += 1 + static_cast<int>(gen() % 7)) ranks.push_back(r);
    if (ranks.back() != 2999) ranks.push_back(2999);
    statdetail::SelectRanksNanLast(selected.data(), 3000, ranks.data(), static_cast<int>(ranks.size()));
    for (int r : ranks) {
        if (std::isnan(sorted[r])) {
            EXPECT_TRUE(std::isnan(selected[r])) << r;
        } else {
            EXPECT_EQ(selected[r], sorted[r]) << r;
        }
    }

    statdetail::ValuePair p[] = {{kNaN, 1.0}, {2.0, 2.0}, {1.0, 3.0}};
    statdetail::SortPairsNanLast(p, 3);
    EXPECT_EQ(p[0].other, 3.0);
    EXPECT_EQ(p[1].other, 2.0);
    EXPECT_TRUE(std::isnan(p[2].value));

    // The cumulative distribution of {1, NaN, 3, 2, 5} ascends through the
    // numbers.
    double x[] = {1.0, kNaN, 3.0, 2.0, 5.0};
    Stat s(x, 5);
    double* X = nullptr;
    double* F = nullptr;
    int m = 0;
    s.GetCumulativeDistr(X, F, m);
    ASSERT_EQ(m, 6);
    const double wantX[] = {0.0, 1.0, 2.0, 3.0, 5.0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(X[i], wantX[i]);
    EXPECT_TRUE(std::isnan(X[5]));
}

TEST_F(StatTest, HostHeapRefusalsAreReportedAndHarmless) {
    const long before = vrt::LiveHeapBlocks();
    std::vector<double> x(1500), d(1500, 1.0);
    for (int i = 0; i < 1500; ++i) x[i] = 0.01 * i - 3.0;  // has values ≤ 0

    // The score's weights: no excess dispersion, the plain weighted mean.
    vrt::FailNextAllocations(1);
    Stat noScratch(x.data(), d.data(), 1500);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{1}));
    EXPECT_EQ(noScratch.GetDisp0(), 0.0);
    Stat reference(x.data(), d.data(), 1500);
    EXPECT_GT(reference.GetDisp0(), 0.0);
    vrt::ClearErrors();

    // The log-values of the log-normal likelihood: taken as normal.
    std::vector<double> positive(1500);
    for (int i = 0; i < 1500; ++i) positive[i] = std::exp(0.01 * i);
    ASSERT_EQ(Stat(positive.data(), 1500).GetDistrType(), DISTR_LOGNORMAL);
    vrt::FailNextAllocations(1);
    Stat noLogs(positive.data(), 1500);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{1}));
    EXPECT_EQ(noLogs.GetDistrType(), DISTR_GAUSS);
    vrt::ClearErrors();

    // The sorted copy of the cumulative distribution: outputs untouched,
    // nothing cached, the next call builds it.
    double marker = 0.0;
    double* X = &marker;
    double* F = &marker;
    int m = -5;
    vrt::FailNextAllocations(1);
    reference.GetCumulativeDistr(X, F, m);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{1}));
    EXPECT_EQ(X, &marker);
    EXPECT_EQ(m, -5);
    EXPECT_EQ(StatTestAccess::CumX(reference), nullptr);
    reference.GetCumulativeDistr(X, F, m);
    EXPECT_EQ(m, 1001);
    EXPECT_EQ(vrt::LiveHeapBlocks(), before);
}

}  // namespace
