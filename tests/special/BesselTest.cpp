// Bessel functions: order dispatch, symmetries, mended regions, errors and
// bad input.
#include <climits>
#include <cmath>
#include <limits>

#include "special/Bessel.h"
#include "special/Gamma.h"
#include "tests/special/FunctionTestSupport.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Relative accuracy of the fractional-order routines and of the integer-order
// I normalised with the I0 polynomial.
constexpr double kFracTol = 1e-12;
constexpr double kIntegerITol = 4.8e-7;

using BesselTest = FunctionTest;

TEST_F(BesselTest, IntegralOrdersUseTheRecurrencesOthersTheFractionalRoutine) {
    for (double x : {0.3, 2.0, 17.0}) {
        EXPECT_EQ(BesselIn(x, 2.0), BesselIInteger(2, x));
        EXPECT_EQ(BesselIn(x, 2.5), BesselIFrac(x, 2.5));
        EXPECT_EQ(BesselKn(x, 3.0), BesselKInteger(3, x));
        EXPECT_EQ(BesselKn(x, 3.5), BesselKFrac(x, 3.5));
        EXPECT_EQ(BesselKn(x, 0.0), BesselK0(x));
        EXPECT_EQ(BesselKn(x, 1.0), BesselK1(x));
        // I′0 = I1.
        EXPECT_NEAR(BesselIpn(x, 0.0), BesselIFrac(x, 1.0), kFracTol * BesselIFrac(x, 1.0));
    }
    ExpectNoError();
}

TEST_F(BesselTest, IntegerOrderSymmetries) {
    EXPECT_EQ(BesselIn(0.0, 3.0), 0.0);
    EXPECT_EQ(BesselIn(-1.0, 3.0), -BesselIn(1.0, 3.0));
    EXPECT_EQ(BesselIn(-1.0, 2.0), BesselIn(1.0, 2.0));
    // Negative integer orders: I_−n = I_n and K_−n = K_n.
    EXPECT_EQ(BesselIn(1.7, -3.0), BesselIn(1.7, 3.0));
    EXPECT_EQ(BesselKn(1.7, -4.0), BesselKn(1.7, 4.0));
    EXPECT_EQ(BesselIInteger(INT_MIN + 1, 0.0), 0.0);
    ExpectNoError();
}

TEST_F(BesselTest, LogarithmRegions) {
    // ν/30 > x: the leading series term.
    EXPECT_EQ(LnBesselIn(1.0, 60.0), 60.0 * std::log(0.5) - LnGamma(61.0));
    // x > 4ν² − 1 and x large: the asymptotic form, within 1e-2 of ln I₂(100).
    EXPECT_NEAR(LnBesselIn(100.0, 2.0), 96.75963227590303, 1e-2);
    // x > 4ν² − 1 for ν = 0 too, but the asymptotic form is far off at small x.
    EXPECT_NEAR(LnBesselIn(0.01, 0.0), 2.4999843751736090e-05, kIntegerITol);
    EXPECT_NEAR(LnBesselIpn(0.3, 0.0), -1.8858909998885494, kFracTol * 1.9);
    ExpectNoError();
}

TEST_F(BesselTest, FractionalRoutinesReportErrorsAndWriteNothing) {
    double v[4] = {7.0, 7.0, 7.0, 7.0};
    const double bad[][2] = {{0.0, 0.5}, {-1.0, 0.5}, {0.0, -0.5}, {-1.0, -2.5},
                             {-kInf, 0.5}, {1.0, 3e9}, {1.0, -3e9 - 0.5}, {1.0, kInf}};
    for (const auto& a : bad) {
        EXPECT_FALSE(BesselJY(a[0], a[1], &v[0], &v[1], &v[2], &v[3]));
        ExpectOneError(3);
        EXPECT_FALSE(BesselIK(a[0], a[1], &v[0], &v[1], &v[2], &v[3]));
        ExpectOneError(3);
    }
    // Orders far beyond √(2x) below x − 1000 would need more upward steps of
    // Hankel's start than a call may take.
    EXPECT_FALSE(BesselJY(1e6, 5e5 + 0.5, &v[0], &v[1], &v[2], &v[3]));
    ExpectOneError(3, "x too large; try asymptotic expansion");
    for (double w : v) EXPECT_EQ(w, 7.0);
    // Every single-value routine answers 0 after such an error.
    double (*const single[])(double, double) = {
        BesselJFrac, BesselYFrac, BesselJpFrac, BesselYpFrac, BesselIFrac,
        BesselKFrac, BesselIpFrac, BesselKpFrac, BesselIpn,   BesselKpn};
    for (auto fn : single) {
        EXPECT_EQ(fn(0.0, 1.5), 0.0);
        ExpectOneError(3);
    }
    EXPECT_EQ(BesselIn(-2.0, 0.5), 0.0);
    ExpectOneError(3);
    EXPECT_EQ(LnBesselIpn(0.0, 0.0), 0.0);
    ExpectOneError(3);
}

TEST_F(BesselTest, NonFiniteAndHugeArguments) {
    EXPECT_TRUE(std::isnan(BesselIn(kNaN, 3.0)));
    EXPECT_TRUE(std::isnan(LnBesselIn(kNaN, 3.0)));
    EXPECT_FALSE(std::isfinite(BesselIn(kInf, 3.0)));
    EXPECT_EQ(BesselKn(kInf, 1e9), 0.0);
    EXPECT_EQ(BesselKn(1.0, 2e9), kInf);
    // NaN in x or the order gives NaN results without an error.
    double v[4];
    EXPECT_TRUE(BesselJY(kNaN, 0.5, &v[0], &v[1], &v[2], &v[3]));
    EXPECT_TRUE(std::isnan(v[0]) && std::isnan(v[3]));
    EXPECT_TRUE(BesselIK(1.0, kNaN, &v[0], &v[1], &v[2], &v[3]));
    EXPECT_TRUE(std::isnan(v[1]) && std::isnan(v[2]));
    EXPECT_TRUE(std::isnan(BesselKFrac(kNaN, 1.5)));
    ExpectNoError();
}

TEST_F(BesselTest, TemmeSeriesParts) {
    const double c[] = {4.0, 3.0, 2.0};
    EXPECT_EQ(ChebEval(-1.0, 1.0, c, 3, 1.5), 0.0);
    ExpectOneError(3);
    for (double mu : {-0.5, -0.2, 0.0, 0.3, 0.5}) {
        double gam1, gam2, gampl, gammi;
        GammaTerms(mu, &gam1, &gam2, &gampl, &gammi);
        // 4e-16 plus one more unit for the C library's tgamma on Windows.
        EXPECT_NEAR(gampl, 1.0 / std::tgamma(1.0 + mu), 6e-16) << mu;
        EXPECT_NEAR(gammi, 1.0 / std::tgamma(1.0 - mu), 6e-16) << mu;
    }
    // Results follow the written order of operations bit for bit: the square in
    // r = π·(πμ/2)·(sin(πμ/2)/(πμ/2))², rounded apart, sets the last bit of Y here.
    EXPECT_EQ(BesselYFrac(1.5, 1.3), -0x1.29bf1dab0e066p-1);
    ExpectNoError();
}

}  // namespace
