// Stat: the fit of a normal distribution function to the cumulative
// distribution, solved by Climb with a current host processor.
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "host/Plugin.h"
#include "tests/stat/StatTestSupport.h"

namespace {

class StatFitTest : public StatTest {
protected:
    void SetUp() override {
        StatTest::SetUp();
        vrt::SetCurrentProcessor(&proc);
        VeskPlugin_Init(&proc);
    }
    void TearDown() override {
        vrt::SetCurrentProcessor(nullptr);
        StatTest::TearDown();
    }
    Processor proc;
};

std::unique_ptr<MatVectorCol> Fit(Stat& s) { return std::unique_ptr<MatVectorCol>(s.FitCumulativeDistribution()); }

// Normal samples of 50, 500 and 5000 values: the fitted centre and width lie
// within a few standard errors of μ and σ. The centre of a sample of n
// normal values scatters by about 1.25σ/√n (a median); the width by about
// σ/√n; the empirical convention adds a bias of half a bucket, below
// σ·1.25/n^(…) for these sizes, so the bound is 4 standard errors plus that
// half bucket.
TEST_F(StatFitTest, RecoversTheCentreAndWidthOfNormalSamples) {
    const double mu = 3.0, sigma = 2.0;
    for (int n : {50, 500, 5000}) {
        for (unsigned seed : {1u, 2u, 3u}) {
            std::mt19937_64 gen(seed * 1000 + n);
            std::normal_distribution<double> normal(mu, sigma);
            std::vector<double> x(n);
            for (auto& v : x) v = normal(gen);
            Stat s(x.data(), n);
            auto r = Fit(s);
            ASSERT_TRUE(r != nullptr);
            ASSERT_EQ(r->Len(), 4);
            const double se = sigma / std::sqrt(static_cast<double>(n));
            const double halfBucket = 0.5 * 2.5 * sigma / std::min(n, 1000);
            EXPECT_NEAR((*r)[0], mu, 4.0 * 1.25 * se + halfBucket) << n << " " << seed;
            const double fittedSigma = (*r)[1] * std::sqrt(static_cast<double>(n));
            EXPECT_NEAR(fittedSigma, sigma, 4.0 * se * 1.5 + 0.02 * sigma) << n << " " << seed;
            // The reported errors are positive and shrink with the sample.
            EXPECT_GT((*r)[2], 0.0);
            EXPECT_GT((*r)[3], 0.0);
        }
    }
    // The minimizer's iteration overruns are not reported.
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(StatFitTest, DegenerateSamplesAreNotFitted) {
    double same[] = {4.0, 4.0, 4.0, 4.0};
    Stat s(same, 4);
    auto r = Fit(s);
    ASSERT_TRUE(r != nullptr);
    EXPECT_EQ((*r)[0], 4.0);
    EXPECT_EQ((*r)[1], 0.0);
    EXPECT_EQ((*r)[3], 0.0);

    // Extremes relatively closer than 1e-12: (Mean, √SEM2, √SEM2, 2√SEM2).
    double close[] = {1e6, 1e6 + 1e-7, 1e6, 1e6 + 1e-7};
    Stat c(close, 4);
    r = Fit(c);
    ASSERT_TRUE(r != nullptr);
    const double se = std::sqrt(c.GetSEM2());
    EXPECT_EQ((*r)[0], c.GetMean());
    EXPECT_EQ((*r)[1], se);
    EXPECT_EQ((*r)[2], se);
    EXPECT_EQ((*r)[3], 2.0 * se);

    Stat empty(nullptr, 0);
    EXPECT_EQ(empty.FitCumulativeDistribution(), nullptr);
    EXPECT_TRUE(vrt::Errors().empty());
}

// Mend: σ's lower bound came from √Disp or the half-range, which one outlier
// inflates; the steps of {1, 1.5, 2, 2.5, 10⁶} could not be resolved and the
// fitted centre came out 71.5.
TEST_F(StatFitTest, AnOutlierDoesNotHideTheStepsOfASmallSample) {
    double x[] = {1.0, 1.5, 2.0, 2.5, 1e6};
    Stat s(x, 5);
    auto r = Fit(s);
    ASSERT_TRUE(r != nullptr);
    EXPECT_GE((*r)[0], 1.0);
    EXPECT_LE((*r)[0], 2.5);
}

// The empirical convention (F at the first value of each bucket) puts the
// centre of 1..5 half a step low: kept.
TEST_F(StatFitTest, EvenlySpacedSampleCentresHalfAStepLow) {
    double x[] = {1.0, 2.0, 3.0, 4.0, 5.0};
    Stat s(x, 5);
    auto r = Fit(s);
    ASSERT_TRUE(r != nullptr);
    EXPECT_NEAR((*r)[0], 2.5, 0.05);
}

// More than 200 points: the fit works on at most 101 of them around the
// median; a large sample fits as well as the small ones.
TEST_F(StatFitTest, LargeSampleFitsOnPointsAroundTheMedian) {
    std::mt19937_64 gen(77);
    std::normal_distribution<double> normal(-50.0, 0.5);
    std::vector<double> x(200000);
    for (auto& v : x) v = normal(gen);
    Stat s(x.data(), 200000);
    auto r = Fit(s);
    ASSERT_TRUE(r != nullptr);
    EXPECT_NEAR((*r)[0], -50.0, 0.01);
    EXPECT_NEAR((*r)[1] * std::sqrt(200000.0), 0.5, 0.02);
}

TEST_F(StatFitTest, RefusedStorageGivesNoFit) {
    std::vector<double> x(1200);
    for (int i = 0; i < 1200; ++i) x[i] = std::sin(0.37 * i);
    Stat s(x.data(), 1200);
    const long before = vrt::LiveHeapBlocks();
    vrt::FailNextAllocations(1);  // the sorted copy of the cumulative distribution
    EXPECT_EQ(s.FitCumulativeDistribution(), nullptr);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{1}));
    EXPECT_EQ(vrt::LiveHeapBlocks(), before);
    vrt::ClearErrors();
    auto r = Fit(s);  // storage available again
    ASSERT_TRUE(r != nullptr);
    EXPECT_NEAR((*r)[0], 0.0, 0.05);
}

// Mend: values that are not finite reached the minimizer as its bounds, and
// it reported errors 3 and 1000 to callers that never named it (the median,
// the estimated dispersions); such points are not fitted.
TEST_F(StatFitTest, NonFinitePointsAreNotFitted) {
    double x[] = {1.0, std::nan(""), 3.0, 2.0, 5.0};
    Stat s(x, 5);
    EXPECT_EQ(s.FitCumulativeDistribution(), nullptr);
    double median = 0.0, se = 0.0;
    s.GetMedian_SD(median, se);
    EXPECT_EQ(median, 3.0);  // the sample median, NaN last
    // All values equal, zero dispersions: their logarithms are −∞.
    double same[] = {2.0, 2.0, 2.0, 2.0, 2.0, 2.0}, d[] = {0.0, 0.0, 1.0, 1.0, 1.0, 1.0};
    Stat eq(same, d, 6);
    const double* est = eq.GetEstimationDisp();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(est[i], d[i]);
    EXPECT_TRUE(vrt::Errors().empty());
}

TEST_F(StatFitTest, WithoutAProcessorThereIsNoFit) {
    vrt::SetCurrentProcessor(nullptr);
    double x[] = {1.0, 2.0, 4.0, 8.0};
    Stat s(x, 4);
    EXPECT_EQ(s.FitCumulativeDistribution(), nullptr);
}

}  // namespace
