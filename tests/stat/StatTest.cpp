// Stat: the descriptive statistics, the excess dispersion, the distribution
// verdict, rescaling, assignment, export and the failure paths.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <random>

#include "stat/StatInternal.h"
#include "tests/stat/StatTestSupport.h"

namespace {

TEST_F(StatTest, SamplesWithoutDispersions) {
    Stat empty(nullptr, 0);
    EXPECT_EQ((Values{empty.GetMin(), empty.GetMax(), StatTestAccess::Sum(empty), empty.GetDisp()}),
              (Values{1e300, -1e300, 0.0, 0.0}));
    for (double v : {empty.GetMean(), empty.GetE2(), empty.GetE3(), empty.GetE4(), empty.GetSEM2()})
        EXPECT_TRUE(std::isnan(v));
    double three[] = {1.0, 2.0, 3.0}, one[] = {4.5};
    EXPECT_EQ(Stat(one, 1).GetSEM2(), 0.0);
    Stat s(three, 3);
    EXPECT_EQ((Values{s.GetMean(), s.GetDisp(), s.GetE3(), 3 * s.GetE4()}), (Values{2.0, 1.0, 12.0, 98.0}));
    EXPECT_DOUBLE_EQ(s.GetSEM2(), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(s.GetLogNormalMu0(), 2.0 * std::exp(-0.5 * std::log(1.25)));
    ExpectErrors({});
    // Bad counts: empty (error 3); a mean ≤ 0 has no log-normal parameters (10).
    Stat negative(three, -1), nullValues(nullptr, nullptr, 2);
    EXPECT_EQ(negative.Len() + nullValues.Len(), 0);
    ExpectErrors({3, 3});
    double below[] = {-1.0, -3.0};
    Stat m(below, 2);
    EXPECT_EQ(m.GetLogNormalDisp(), 1.0);
    EXPECT_DOUBLE_EQ(m.GetLogNormalMu0(), -2.0 * std::exp(-0.5));
    ExpectErrors({10, 10});
}

TEST_F(StatTest, SamplesWithDispersions) {
    double same[] = {3.0, 3.0}, d14[] = {1.0, 4.0};
    Stat equal(same, d14, 2);
    EXPECT_EQ((Values{equal.GetMean(), equal.GetDisp(), equal.GetDisp0()}), (Values{3.0, 4.0, 0.0}));
    EXPECT_DOUBLE_EQ(equal.GetSEM2(), 0.8);
    // The bisection stops at 1e-7 of s, so s² is known to about 2e-7.
    const auto rows = ReadStatReference("excess");
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows) {
        Values x = row[0], d = row[1];
        const Values& want = row[2];
        Stat s(x.data(), d.data(), static_cast<int>(x.size()));
        EXPECT_NEAR(s.GetDisp0(), want[0], 3e-7 * want[0]) << x[0];
        EXPECT_NEAR(s.GetMean(), want[1], 1e-7 * std::fabs(want[1]) + 1e-12);
        EXPECT_NEAR(s.GetSEM2(), want[2], 3e-7 * want[2]);
    }
    // Dispersions ≤ 0 become the population variance, in a copy.
    double x[] = {1.0, 2.0, 6.0}, d[] = {0.0, 2.0, -1.0};
    Stat s(x, d, 3);
    const double* kept = StatTestAccess::Dispersions(s);
    EXPECT_EQ((Values{kept[1], d[0]}), (Values{2.0, 0.0}));
    EXPECT_DOUBLE_EQ(kept[2], 14.0 / 3.0);
    ExpectErrors({});
}

// Mend: the bisection multiplied two scores to compare signs, which underflow
// for far scaled samples (0 at k = 1e100).
TEST_F(StatTest, ExcessDispersionFollowsTheScaleOfTheSample) {
    for (double k : {1.0, 1e-100, 1e80, 1e100, 1e150}) {
        Values x = Scaled({1.0, 4.0, 2.0, 7.0, 3.0}, k), d = Scaled({1.0, 0.5, 1.0, 2.0, 1.0}, k * k);
        Stat s(x.data(), d.data(), 5);
        EXPECT_NEAR(s.GetDisp0() / (k * k), 2.149016164988754, 5e-7) << k;
        EXPECT_NEAR(s.GetMean() / k, 3.2475207334659144, 1e-6) << k;
    }
}

TEST_F(StatTest, LogLikelihoodsAndTheVerdict) {
    // ln Γ is good to 2e-10 relative; the rest a few roundings of sums of ~100.
    const auto rows = ReadStatReference("loglik");
    ASSERT_EQ(rows.size(), 8u);
    double any[] = {1.0};
    Stat s(any, 1);
    for (const auto& row : rows) {
        const double lg = row[1][0], ll = row[1][1];
        EXPECT_NEAR(StatTestAccess::Gauss(s, row[0]), lg, 1e-9 * (1.0 + std::fabs(lg))) << row[0].size();
        EXPECT_NEAR(StatTestAccess::LogNormal(s, row[0]), ll, 1e-9 * (1.0 + std::fabs(ll)));
    }
    EXPECT_EQ(StatTestAccess::Gauss(s, {1.0, -2.0, 3.0}), 0.0);
    EXPECT_EQ(StatTestAccess::LogNormal(s, {1.0, 0.0, 3.0}), -1e300);
    // Margin 1.0 for the normal model: LL − LG is 0.97 for 3ⁱ, 1.39 for 5ⁱ.
    const std::pair<Values, int> cases[] = {
        {{1.0, 10.0, 100.0, 1000.0, 10000.0}, DISTR_LOGNORMAL},
        {{1.0, 2.0, 3.0}, DISTR_GAUSS},
        {{1.0, 10.0, 100.0, 1000.0, 0.0}, DISTR_GAUSS},
        {{9.0}, DISTR_GAUSS},
        {{1.0, 3.0, 9.0, 27.0, 81.0}, DISTR_GAUSS},
        {{1.0, 5.0, 25.0, 125.0}, DISTR_LOGNORMAL},
    };
    for (auto [x, type] : cases) {
        Values d(x.size(), 1.0);
        const int n = static_cast<int>(x.size());
        EXPECT_EQ(Stat(x.data(), n).GetDistrType(), type) << x[0];
        EXPECT_EQ(Stat(x.data(), d.data(), n).GetDistrType(), type) << x[0];
    }
}

// Every statistic of k·x, rescaled in place or built afresh, is that of x
// times the matching power of k.
TEST_F(StatTest, ScaleInvarianceUnderRescalingAndRebuilding) {
    Values x = NormalSample(400, 1.0, 0.8, 12), d = UniformSample(400, 0.1, 0.3, 13);
    for (auto& v : x) v = std::exp(v);
    using Get = double (*)(Stat&);
    const std::pair<Get, int> stats[] = {
        {[](Stat& s) { return s.GetMean(); }, 1},  {[](Stat& s) { return s.GetSEM2(); }, 2},
        {[](Stat& s) { return s.GetDisp0(); }, 2}, {[](Stat& s) { return s.GetE2(); }, 2},
        {[](Stat& s) { return s.GetE3(); }, 3},    {[](Stat& s) { return s.GetE4(); }, 4},
        {[](Stat& s) { return s.GetDisp(); }, 2},  {[](Stat& s) { return StatTestAccess::Sum(s); }, 1},
    };
    for (bool withDisp : {false, true}) {
        auto make = [&](Values& v, Values& dv) {
            return withDisp ? Stat(v.data(), dv.data(), 400) : Stat(v.data(), 400);
        };
        for (double k : {2.0, 1e-3, 3.7e5}) {
            Values kx = Scaled(x, k), kd = Scaled(d, k * k);
            Stat scaled = make(x, d), rebuilt = make(kx, kd), base = make(x, d);
            scaled *= k;
            const double rel = withDisp ? 3e-7 : 1e-12;  // the bisection's width
            for (Stat* s : {&scaled, &rebuilt}) {
                for (const auto& [get, power] : stats) {
                    const double want = get(base) * std::pow(k, power);
                    EXPECT_NEAR(get(*s), want, rel * std::fabs(want) + 1e-300) << power << " " << k;
                }
                EXPECT_NEAR(StatTestAccess::LogNormDisp(*s), StatTestAccess::LogNormDisp(base), rel);
                EXPECT_NEAR(StatTestAccess::LogNormMean(*s), StatTestAccess::LogNormMean(base) + std::log(k), rel);
                EXPECT_EQ(s->GetDistrType(), base.GetDistrType());
            }
        }
    }
}

// A negative factor keeps Min ≤ Max, clears LogNormMean and rebuilds the
// cached cumulative distribution ascending.
TEST_F(StatTest, RescalingByANegativeFactor) {
    double x[] = {1.0, 2.0, 4.0}, d[] = {0.5, 0.5, 1.0};
    Stat s(x, d, 3);
    s *= 2.0;
    Cumulative(s);
    s *= -1.0;
    EXPECT_EQ((Values{s.GetMin(), s.GetMax(), StatTestAccess::LogNormMean(s)}), (Values{-8.0, -2.0, 0.0}));
    EXPECT_EQ(StatTestAccess::CumX(s), nullptr);
    EXPECT_EQ(Cumulative(s).first, (Values{-12.0, -8.0, -4.0, -2.0}));
    EXPECT_EQ(StatTestAccess::Dispersions(s)[2], 4.0);  // ×2², then ×(−1)²
}

TEST_F(StatTest, CopiesAndAssignmentOwnTheirArrays) {
    double x[] = {1.0, 5.0, 2.0, 8.0}, d[] = {1.0, 2.0, 1.0, 3.0}, y[] = {3.0};
    Stat* source = new Stat(x, d, 4);
    source->SetAccuracy(1e-3);
    Cumulative(*source);
    Stat copy(*source), assigned(y, 1);
    EXPECT_EQ(copy.GetAccuracy(), 1e-7);  // the copy starts afresh
    EXPECT_EQ(StatTestAccess::CumX(copy), nullptr);
    assigned = *source;
    EXPECT_EQ(assigned.GetAccuracy(), 1e-3);
    const double mean = source->GetMean(), disp0 = source->GetDisp0();
    delete source;  // nothing of the copies may go with it
    EXPECT_EQ((Values{copy.GetMean(), assigned.GetMean(), assigned.GetDisp0()}), (Values{mean, mean, disp0}));
    EXPECT_EQ(StatTestAccess::Dispersions(assigned)[3], 3.0);
    EXPECT_EQ(Cumulative(assigned).first, (Values{0.0, 1.0, 2.0, 5.0, 8.0}));
    assigned = assigned;
    EXPECT_EQ(assigned.Len(), 4);
}

TEST_F(StatTest, ExportToAHostObject) {
    Values x(301);
    std::iota(x.begin(), x.end(), 1.0);
    Stat s(x.data(), 301);
    vrt::DefineClass("StatResult", 0);
    Variable obj;
    ASSERT_TRUE(vrt::NewObject(obj, "StatResult"));
    obj("estDataDisp") = 7.0;  // cleared: no estimated dispersions exist
    s.UpdateVeskObject(obj);
    const char* names[] = {"estDataDisp", "Mean",      "Disp", "SEM2", "Disp0", "E2",          "E3",
                           "E4",          "DistrType", "Min",  "Max",  "Sum",   "LogNormDisp", "LogNormMean"};
    Object* o = obj.GetObject();
    ASSERT_EQ(o->MemberCount(), 14);
    for (int i = 0; i < 14; ++i) EXPECT_STREQ(o->MemberName(i), names[i]);
    EXPECT_EQ(static_cast<double>(obj("Sum")), 301.0 * 151.0);
    EXPECT_EQ(obj("DistrType").GetType(), static_cast<VVARTYPE>(VT_INT));
    EXPECT_EQ(obj("estDataDisp").GetType(), static_cast<VVARTYPE>(VT_EMPTY));
}

// Mend: the sorts' comparison was no order with NaNs; NaNs now sort last.
TEST_F(StatTest, SortsPutNaNLast) {
    // Above 1000 values ranks are selected: each must hold the full sort's value.
    std::mt19937 gen(3);
    Values values(3000);
    for (auto& v : values) v = (gen() % 50 == 0) ? std::nan("") : static_cast<double>(gen() % 40);
    Values sorted = values;
    std::sort(sorted.begin(), sorted.end(),
              [](double a, double b) { return !std::isnan(a) && (std::isnan(b) || a < b); });
    std::vector<int> ranks;
    for (int r = 0; r < 3000; r += 1 + static_cast<int>(gen() % 7)) ranks.push_back(r);
    statdetail::SelectRanksNanLast(values.data(), 3000, ranks.data(), static_cast<int>(ranks.size()));
    for (int r : ranks) EXPECT_TRUE(values[r] == sorted[r] || (std::isnan(values[r]) && std::isnan(sorted[r]))) << r;
    // The median of {1, NaN, 3, 2, 5} came out as 5.
    double x[] = {1.0, std::nan(""), 3.0, 2.0, 5.0};
    Stat s(x, 5);
    double median = 0, spread = 0;
    s.GetMedian_MAD(median, spread);
    EXPECT_EQ(median, 3.0);
    const Values X = Cumulative(s).first;
    ASSERT_EQ(X.size(), 6u);
    EXPECT_EQ(Values(X.begin(), X.begin() + 5), (Values{0.0, 1.0, 2.0, 3.0, 5.0}));
}

// Each refused block raises error 1, leaves the outputs unwritten and leaks nothing.
TEST_F(StatTest, HostHeapRefusalsAreReportedAndHarmless) {
    const long before = vrt::LiveHeapBlocks();
    Values x = NormalSample(2000, 0.0, 1.0, 2), d(2000, 0.25), positive = x;
    for (double& v : positive) v = std::exp(v);
    auto refused = [](auto call) {
        vrt::FailNextAllocations(1);
        call();
        vrt::FailNextAllocations(0);
        ExpectErrors({1});
    };
    // The score's weights: no excess dispersion; the log-values: taken as normal.
    refused([&] { EXPECT_EQ(Stat(x.data(), d.data(), 2000).GetDisp0(), 0.0); });
    ASSERT_EQ(Stat(positive.data(), 2000).GetDistrType(), DISTR_LOGNORMAL);
    refused([&] { EXPECT_EQ(Stat(positive.data(), 2000).GetDistrType(), DISTR_GAUSS); });
    Stat s(x.data(), d.data(), 2000);
    double marker = -1, *X = &marker, *F = &marker, median = -1, spread = -1;
    int m = -5;
    refused([&] { s.GetCumulativeDistr(X, F, m); });
    EXPECT_TRUE(X == &marker && m == -5 && StatTestAccess::CumX(s) == nullptr);
    refused([&] { EXPECT_EQ(s.FitCumulativeDistribution(), nullptr); });  // the sorted copy
    refused([&] { EXPECT_EQ(Stat::EstimateDisp(x.data(), 2000, 1e-7), nullptr); });
    refused([&] { EXPECT_EQ(s.SampleSubset(250), nullptr); });
    refused([&] { s.GetMedian_MAD(median, spread); });  // the sorted copy
    Stat small(x.data(), 500);
    refused([&] { small.GetMedian_MAD(median, spread); });  // the differences
    EXPECT_EQ(median + spread, -2);
    // Storage available again: all works.
    s.GetCumulativeDistr(X, F, m);
    EXPECT_EQ(m, 1001);
    std::unique_ptr<MatVectorCol> fit(s.FitCumulativeDistribution());
    EXPECT_NEAR((*fit)[0], 0.0, 0.1);
    fit.reset();
    EXPECT_GT(s.GetDisp0(), 0.5);
    EXPECT_EQ(vrt::LiveHeapBlocks(), before);
}

}  // namespace
