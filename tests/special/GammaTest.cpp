// Gamma, beta and error functions: ends of the ranges, errors and bad input.
#include <cmath>
#include <limits>

#include "special/Gamma.h"
#include "tests/special/FunctionTestSupport.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kBetaText = "a or b too big, Beta_P does not converge in 300 itterations";

using GammaTest = FunctionTest;

TEST_F(GammaTest, EndsOfTheRangeAreExactWithoutError) {
    for (double a : {0.3, 1.0, 7.5}) {
        EXPECT_EQ(Gamma_P(a, 0.0), 0.0);
        EXPECT_EQ(Gamma_Q(a, 0.0), 1.0);
        // The logarithms are those of the values, not the 0 of an empty series.
        EXPECT_EQ(LnGamma_P(a, 0.0), -kInf);
        EXPECT_EQ(LnGamma_Q(a, 0.0), 0.0);
        for (double b : {0.5, 2.0}) {
            EXPECT_EQ(Beta_I(a, b, 0.0), 0.0);
            EXPECT_EQ(Beta_I(a, b, 1.0), 1.0);
            EXPECT_EQ(LnBeta_I(a, b, 0.0), -kInf);
            EXPECT_EQ(LnBeta_I(a, b, 1.0), 0.0);
        }
    }
    ExpectNoError();
}

TEST_F(GammaTest, BadArgumentsRaiseCode3AndAnswerZero) {
    double (*const gammaFns[])(double, double) = {Gamma_P, Gamma_Q, LnGamma_P, LnGamma_Q};
    const double badGamma[][2] = {{0.0, 1.0}, {-1.0, 1.0}, {1.0, -1.0}, {kNaN, 1.0}, {1.0, kNaN}};
    for (auto fn : gammaFns) {
        for (const auto& ax : badGamma) {
            EXPECT_EQ(fn(ax[0], ax[1]), 0.0);
            ExpectOneError(3);
        }
    }
    for (auto fn : {Beta_I, LnBeta_I}) {
        for (double x : {1.5, -0.1, kNaN}) {
            EXPECT_EQ(fn(2.0, 3.0, x), 0.0);
            ExpectOneError(3);
        }
    }
}

TEST_F(GammaTest, BetaContinuedFractionReportsNonConvergence) {
    // Far more than 1000 steps needed: the last estimate is still answered.
    for (auto fn : {Beta_I, LnBeta_I}) {
        EXPECT_TRUE(std::isfinite(fn(1e8, 1e8, 0.5)));
        ExpectOneError(3, kBetaText);
    }
    // A NaN parameter runs the fraction to its cap.
    EXPECT_TRUE(std::isnan(Beta_I(kNaN, 2.0, 0.5)));
    ExpectOneError(3, kBetaText);
}

TEST_F(GammaTest, NonFiniteArgumentsAndTheSymmetryOfErf) {
    EXPECT_TRUE(std::isnan(LnGamma(kNaN)));
    EXPECT_TRUE(std::isnan(Erf(kNaN)));
    EXPECT_TRUE(std::isnan(Beta(kNaN, 2.0)));
    const double p = Gamma_P(2.0, kInf);
    EXPECT_TRUE(std::isnan(p) || p == 1.0);
    EXPECT_EQ(Erf(-kInf), -1.0);
    EXPECT_NEAR(Erf(0.0), 0.0, 1.2e-7);  // about −3e-8 by the approximation
    for (double x : {1e-9, 0.2, 1.0, 2.7, 9.0, kInf}) EXPECT_EQ(Erf(-x), -Erf(x)) << x;
    ExpectNoError();
}

TEST_F(GammaTest, FTestEdgeCases) {
    const double a[] = {1.0, 2.0, 3.0, 4.0};
    const double shifted[] = {11.0, 12.0, 13.0, 14.0};
    const double constant[] = {5.0, 5.0, 5.0};
    double f = -1.0;
    EXPECT_EQ(FTest(a, 4, shifted, 4, &f), 1.0);
    EXPECT_EQ(f, 1.0);
    f = -1.0;
    const double prob = FTest(constant, 3, a, 4, &f);
    EXPECT_EQ(f, 1e6);
    // Numerator nb − 1 = 3, denominator na − 1 = 2: 2·I_y(1, 3/2) with
    // y = 2/(2 + 3·1e6), and I_y(1, b) = 1 − (1 − y)^b.
    EXPECT_NEAR(prob, -2.0 * std::expm1(1.5 * std::log1p(-2.0 / (2.0 + 3e6))), 1e-15);
    f = -1.0;
    EXPECT_EQ(FTest(a, 1, shifted, 4, &f), 0.0);
    EXPECT_EQ(FTest(a, 4, shifted, 0, &f), 0.0);
    EXPECT_EQ(f, -1.0);
    ExpectNoError();
}

}  // namespace
