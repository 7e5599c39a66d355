#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <vector>

#include "special/Random.h"
#include "tests/special/SpecialTestSupport.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kDraws = 20000;

class RandomTest : public SpecialTest {
protected:
    // Leaves RandGauss without a held spare: a call that used the spare makes
    // no draw, one that made a pair holds a spare that a second call consumes.
    static void ClearGaussSpare() {
        vrt::SeedRand(99);
        const double first = Rand(1.0);
        vrt::SeedRand(99);
        RandGauss(0.0, 1.0);
        if (Rand(1.0) != first) RandGauss(0.0, 1.0);
    }

    // Uniform deviates consumed by fn after seeding with seed.
    static int DrawsUsed(std::uint64_t seed, const std::function<void()>& fn) {
        vrt::SeedRand(seed);
        fn();
        const double next = Rand(1.0);
        vrt::SeedRand(seed);
        for (int n = 0; n < 100000; ++n)
            if (Rand(1.0) == next) return n;
        return -1;
    }
};

// Chi-square statistic of integer counts against exact probabilities, tail
// cells merged until each expects at least 5; the test passes below the 0.999
// quantile (Wilson–Hilferty), which a sound generator misses once in 1000
// seeds.
void ExpectChiSquareFits(const std::map<int, int>& counts, int n,
                         const std::function<double(int)>& pmf, int kMax) {
    std::vector<double> observed, expected;
    double cellObs = 0.0, cellExp = 0.0;
    for (int k = 0; k <= kMax; ++k) {
        const auto it = counts.find(k);
        cellObs += it == counts.end() ? 0 : it->second;
        cellExp += n * pmf(k);
        if (cellExp >= 5.0) {
            observed.push_back(cellObs);
            expected.push_back(cellExp);
            cellObs = cellExp = 0.0;
        }
    }
    // What is left (including the tail beyond kMax) joins the last cell.
    double total = 0.0;
    for (double e : expected) total += e;
    ASSERT_FALSE(expected.empty());
    observed.back() += cellObs;
    expected.back() += n - total;
    for (const auto& [k, c] : counts) {
        if (k > kMax) observed.back() += c;
        ASSERT_GE(k, 0);
    }
    double chi2 = 0.0;
    for (size_t i = 0; i < observed.size(); ++i)
        chi2 += (observed[i] - expected[i]) * (observed[i] - expected[i]) / expected[i];
    const double df = static_cast<double>(observed.size()) - 1.0;
    const double h = 2.0 / (9.0 * df);
    const double critical = df * std::pow(1.0 - h + 3.09 * std::sqrt(h), 3.0);
    EXPECT_LT(chi2, critical) << "cells " << observed.size();
}

// Sample mean and variance within 4 standard errors of mean and var.
void ExpectMoments(const std::vector<double>& v, double mean, double var, double kurtosisExcess) {
    const double n = static_cast<double>(v.size());
    double s = 0.0, s2 = 0.0;
    for (double x : v) s += x;
    const double m = s / n;
    for (double x : v) s2 += (x - m) * (x - m);
    const double sv = s2 / (n - 1.0);
    EXPECT_NEAR(m, mean, 4.0 * std::sqrt(var / n));
    EXPECT_NEAR(sv, var, 4.0 * var * std::sqrt((2.0 + kurtosisExcess) / n));
}

double PoissonPmf(double mean, int k) { return std::exp(k * std::log(mean) - mean - std::lgamma(k + 1.0)); }

double BinomialPmf(double p, int n, int k) {
    return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) +
                    k * std::log(p) + (n - k) * std::log1p(-p));
}

TEST_F(RandomTest, SeededSequencesRepeat) {
    ClearGaussSpare();
    vrt::SeedRand(5);
    const double a[] = {RandGauss(1.0, 2.0), RandGauss(1.0, 2.0), RandGauss(1.0, 2.0),
                        RandPoisson(4.0), RandPoisson(30.0), RandBinominal(0.3, 50)};
    ClearGaussSpare();
    vrt::SeedRand(5);
    const double b[] = {RandGauss(1.0, 2.0), RandGauss(1.0, 2.0), RandGauss(1.0, 2.0),
                        RandPoisson(4.0), RandPoisson(30.0), RandBinominal(0.3, 50)};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], b[i]) << i;
}

TEST_F(RandomTest, GaussHeldSpareIsScaledByTheNextCall) {
    ClearGaussSpare();
    vrt::SeedRand(11);
    RandGauss(0.0, 1.0);
    const double spare = RandGauss(0.0, 1.0);
    ClearGaussSpare();
    vrt::SeedRand(11);
    RandGauss(-3.0, 0.5);
    const double afterFirst = Rand(1.0);
    ClearGaussSpare();
    vrt::SeedRand(11);
    RandGauss(-3.0, 0.5);
    // The second call draws nothing and scales the unscaled spare.
    EXPECT_EQ(RandGauss(10.0, 3.0), spare * 3.0 + 10.0);
    EXPECT_EQ(Rand(1.0), afterFirst);
}

TEST_F(RandomTest, GaussDistribution) {
    ClearGaussSpare();
    vrt::SeedRand(2024);
    std::vector<double> v(kDraws);
    for (double& x : v) x = RandGauss(2.0, 3.0);
    ExpectMoments(v, 2.0, 9.0, 0.0);
    // Twenty cells of width 0.5 in z = (x − mean)/sigma from −5 to 5, the two
    // outer ones open.
    std::map<int, int> counts;
    for (double x : v) {
        const double z = (x - 2.0) / 3.0;
        counts[std::clamp(static_cast<int>(std::floor((z + 5.0) * 2.0)), 0, 19)]++;
    }
    const auto cdf = [](double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); };
    ExpectChiSquareFits(counts, kDraws, [&](int k) {
        const double lo = k == 0 ? -HUGE_VAL : k / 2.0 - 5.0;
        const double hi = k == 19 ? HUGE_VAL : (k + 1) / 2.0 - 5.0;
        return cdf(hi) - cdf(lo);
    }, 19);
}

TEST_F(RandomTest, PoissonDistributionOnBothMethods) {
    vrt::SeedRand(7);
    for (double mean : {0.7, 4.0, 11.9, 12.0, 45.0}) {
        SCOPED_TRACE(mean);
        std::vector<double> v(kDraws);
        std::map<int, int> counts;
        for (double& x : v) {
            x = RandPoisson(mean);
            ASSERT_EQ(x, std::floor(x));
            counts[static_cast<int>(x)]++;
        }
        ExpectMoments(v, mean, mean, 1.0 / mean);
        ExpectChiSquareFits(counts, kDraws, [&](int k) { return PoissonPmf(mean, k); },
                            static_cast<int>(mean * 3 + 10));
    }
}

TEST_F(RandomTest, PoissonSwitchesToRejectionAtTwelve) {
    // The product method uses exactly k + 1 uniforms for the answer k; the
    // rejection method a few per trial, whatever the answer.
    int matches = 0;
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        double k = 0.0;
        const int product = DrawsUsed(seed, [&] { k = RandPoisson(11.9); });
        EXPECT_EQ(product, static_cast<int>(k) + 1);
        const int rejection = DrawsUsed(seed, [&] { k = RandPoisson(12.0); });
        matches += rejection == static_cast<int>(k) + 1;
    }
    EXPECT_LE(matches, 2);
}

TEST_F(RandomTest, BinomialAbove0_5CountsTheComplement) {
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        vrt::SeedRand(seed);
        int below = 0;
        for (int i = 0; i < 10; ++i) below += Rand(1.0) < 1.0 - 0.7;
        vrt::SeedRand(seed);
        EXPECT_EQ(RandBinominal(0.7, 10), 10 - below);
    }
}

TEST_F(RandomTest, BinomialDistributionOnEveryMethod) {
    vrt::SeedRand(31);
    // Direct counting, the Poisson limit, rejection below and above p = 0.5.
    const std::pair<double, int> cases[] = {{0.3, 10}, {0.02, 30}, {0.4, 100}, {0.8, 60}};
    for (const auto& [p, n] : cases) {
        SCOPED_TRACE(p);
        std::vector<double> v(kDraws);
        std::map<int, int> counts;
        for (double& x : v) {
            x = RandBinominal(p, n);
            ASSERT_EQ(x, std::floor(x));
            ASSERT_GE(x, 0.0);
            ASSERT_LE(x, n);
            counts[static_cast<int>(x)]++;
        }
        const double var = n * p * (1.0 - p);
        ExpectMoments(v, n * p, var, (1.0 - 6.0 * p * (1.0 - p)) / var);
        ExpectChiSquareFits(counts, kDraws, [&](int k) { return BinomialPmf(p, n, k); }, n);
    }
}

TEST_F(RandomTest, ArgumentsOutsideTheDomainAnswerPromptly) {
    EXPECT_EQ(RandPoisson(kNaN), 0.0);
    EXPECT_EQ(RandPoisson(kInf), 0.0);
    EXPECT_EQ(RandPoisson(-3.0), 0.0);
    EXPECT_EQ(RandBinominal(kNaN, 50), 0.0);
    EXPECT_EQ(RandBinominal(0.5, 0), 0.0);
    EXPECT_EQ(RandBinominal(0.5, -4), 0.0);
    EXPECT_EQ(RandBinominal(-0.5, 30), 0.0);
    EXPECT_EQ(RandBinominal(1.5, 30), 30.0);
    EXPECT_TRUE(std::isnan(RandGauss(kNaN, 1.0)));
    ExpectNoError();
}

}  // namespace
