// Random deviates under a seeded host generator: reproducibility, cached
// state, method switches and distributions.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "special/Random.h"
#include "tests/special/FunctionTestSupport.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kDraws = 20000;

class RandomTest : public FunctionTest {
protected:
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

    // Leaves RandGauss without a held spare: a call that draws makes a pair.
    static void ClearGaussSpare() {
        if (DrawsUsed(99, [] { RandGauss(0.0, 1.0); }) > 0) RandGauss(0.0, 1.0);
    }
};

// kDraws deviates: mean and variance within 4 standard errors, and a chi-square
// fit of the cells cellOf(x) (the last one open; counts when cellOf is empty)
// to prob(k), cells merged to expect at least 5, below the 0.999 quantile.
void ExpectDistribution(const std::function<double()>& draw, std::function<int(double)> cellOf,
                        int cells, const std::function<double(int)>& prob, double mean,
                        double var, double kurtosisExcess) {
    if (!cellOf) cellOf = [](double x) {
        EXPECT_TRUE(x >= 0.0 && x == std::floor(x)) << x;
        return static_cast<int>(x);
    };
    std::vector<int> counts(cells);
    double s = 0.0, s2 = 0.0;
    for (int i = 0; i < kDraws; ++i) {
        const double x = draw();
        s += x;
        s2 += x * x;
        counts[std::min(cellOf(x), cells - 1)]++;
    }
    const double n = kDraws, m = s / n;
    EXPECT_NEAR(m, mean, 4.0 * std::sqrt(var / n));
    const double sv = (s2 - n * m * m) / (n - 1.0);
    EXPECT_NEAR(sv, var, 4.0 * var * std::sqrt((2.0 + kurtosisExcess) / n));
    double chi2 = 0.0, obs = 0.0, expected = 0.0, rest = n;
    int used = 0;
    for (int k = 0; k < cells; ++k) {
        const double e = k + 1 < cells ? n * prob(k) : rest;
        obs += counts[k];
        expected += e;
        rest -= e;
        if ((expected >= 5.0 && rest >= 5.0) || k + 1 == cells) {
            chi2 += (obs - expected) * (obs - expected) / expected;
            obs = expected = 0.0;
            ++used;
        }
    }
    const double df = used - 1.0, h = 2.0 / (9.0 * df);
    EXPECT_LT(chi2, df * std::pow(1.0 - h + 3.09 * std::sqrt(h), 3.0)) << used << " cells";
}

TEST_F(RandomTest, SeededSequencesRepeat) {
    std::vector<double> runs[2];
    for (auto& run : runs) {
        ClearGaussSpare();
        vrt::SeedRand(5);
        run = {RandGauss(1.0, 2.0), RandGauss(1.0, 2.0), RandGauss(1.0, 2.0),
               RandPoisson(4.0),    RandPoisson(30.0),   RandBinominal(0.3, 50)};
    }
    EXPECT_EQ(runs[0], runs[1]);
}

TEST_F(RandomTest, GaussHeldSpareIsScaledByTheNextCall) {
    ClearGaussSpare();
    vrt::SeedRand(11);
    RandGauss(0.0, 1.0);
    const double spare = RandGauss(0.0, 1.0);
    ClearGaussSpare();
    vrt::SeedRand(11);
    RandGauss(-3.0, 0.5);
    // The second call draws nothing and scales the unscaled spare.
    double second = 0.0;
    EXPECT_EQ(DrawsUsed(12, [&] { second = RandGauss(10.0, 3.0); }), 0);
    EXPECT_EQ(second, spare * 3.0 + 10.0);
}

TEST_F(RandomTest, GaussDistribution) {
    ClearGaussSpare();
    vrt::SeedRand(2024);
    // Twenty cells of width 0.5 in z = (x − 2)/3 from −5 to 5, the outer ones open.
    const auto cell = [](double x) { return std::max(0, int(std::floor((x + 13.0) / 1.5))); };
    const auto cdf = [](double k) { return 0.5 * std::erfc(-(k / 2.0 - 5.0) / std::sqrt(2.0)); };
    ExpectDistribution([] { return RandGauss(2.0, 3.0); }, cell, 20,
                       [&](int k) { return cdf(k + 1) - (k ? cdf(k) : 0.0); }, 2.0, 9.0, 0.0);
}

TEST_F(RandomTest, PoissonDistributionOnBothMethods) {
    vrt::SeedRand(7);
    for (double mean : {0.7, 4.0, 11.9, 12.0, 45.0}) {
        SCOPED_TRACE(mean);
        const auto pmf = [&](int k) {
            return std::exp(k * std::log(mean) - mean - std::lgamma(k + 1.0));
        };
        ExpectDistribution([&] { return RandPoisson(mean); }, nullptr, int(mean * 3 + 11), pmf,
                           mean, mean, 1.0 / mean);
    }
}

// Huge means keep the Poisson spread (variance/mean was 1.39 at 1e15, 8.5 at
// 1e16 and 1455 at 1e20): mean and variance of the draws agree with the mean
// within a few standard errors (that of the variance ratio is √(2/n)).
TEST_F(RandomTest, PoissonKeepsItsSpreadForHugeMeans) {
    vrt::SeedRand(11);
    const int n = 20000;
    for (double mean : {1e9, 1e15, 1e16, 1e20}) {
        double s = 0.0, s2 = 0.0;
        for (int i = 0; i < n; ++i) {
            const double d = RandPoisson(mean) - mean;
            s += d;
            s2 += d * d;
        }
        const double m = s / n;
        EXPECT_NEAR(m / std::sqrt(mean / n), 0.0, 4.0) << mean;
        EXPECT_NEAR((s2 / n - m * m) / mean, 1.0, 4.0 * std::sqrt(2.0 / n)) << mean;
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
        const double var = n * p * (1.0 - p);
        const auto pmf = [&](int k) {
            return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) -
                            std::lgamma(n - k + 1.0) + k * std::log(p) + (n - k) * std::log1p(-p));
        };
        ExpectDistribution([&] { return RandBinominal(p, n); }, nullptr, n + 1, pmf, n * p, var,
                           (1.0 - 6.0 * p * (1.0 - p)) / var);
    }
}

TEST_F(RandomTest, ArgumentsOutsideTheDomainAnswerPromptly) {
    const auto withoutDrawing = [] {
        EXPECT_EQ(RandPoisson(kNaN), 0.0);
        EXPECT_EQ(RandPoisson(kInf), 0.0);
        // √(2·mean) overflows: the Lorentzian could never land in range.
        EXPECT_EQ(RandPoisson(1.7e308), 1.7e308);
        EXPECT_EQ(RandBinominal(kNaN, 50), 0.0);
        EXPECT_EQ(RandBinominal(0.5, 0), 0.0);
        EXPECT_EQ(RandBinominal(0.7, -4), 0.0);
    };
    EXPECT_EQ(DrawsUsed(3, withoutDrawing), 0);
    EXPECT_EQ(RandPoisson(-3.0), 0.0);
    EXPECT_EQ(RandBinominal(-0.5, 30), 0.0);
    EXPECT_EQ(RandBinominal(1.5, 30), 30.0);
    EXPECT_TRUE(std::isnan(RandGauss(kNaN, 1.0)));
    ExpectNoError();
}

}  // namespace
