// Log-gamma, incomplete gamma and beta functions with their logarithms,
// beta, F-test and the rational error function.
#include "special/Gamma.h"

#include <cmath>
#include <limits>

#include "host/VeskHost.h"

namespace {

constexpr double kEps = 1e-16;       // relative step that ends a series
constexpr double kTiny = 1e-300;     // guard of the Lentz recurrences
constexpr int kMaxIter = 1000;       // cap of every series and fraction

const char* const kBetaNoConvergence =
    "a or b too big, Beta_P does not converge in 300 itterations";

// Lanczos coefficients c_1 ... c_6.
constexpr double kLanczos[6] = {76.18009172947146,     -86.50532032941677,
                                24.01409824083091,     -1.231739572450155,
                                0.1208650973866179e-2, -0.5395239384953e-5};

// ln(1 − e^y) for y ≤ 0. Near y = 0 the difference 1 − e^y is summed as
// −(y + y²/2! + ...) so that no digits are lost to cancellation.
double LnOneMinusExp(double y) {
    if (y < -0.01) return std::log(1.0 - std::exp(y));
    double s = 0.0;
    double term = 1.0;
    for (int k = 1; k <= kMaxIter; ++k) {
        term *= y / k;
        s += term;
        if (std::fabs(term) < kEps) break;
    }
    return std::log(-s);
}

// Series of P(a, x) for x < a + 1: the sum Σ x^n/(a(a+1)...(a+n)); the
// caller multiplies by e^−x·x^a/Γ(a). x > 0.
double GammaSeriesSum(double a, double x) {
    double ap = a;
    double del = 1.0 / a;
    double sum = del;
    for (int n = 1; n <= kMaxIter; ++n) {
        ap += 1.0;
        del *= x / ap;
        sum += del;
        if (std::fabs(del) < std::fabs(sum) * kEps) break;
    }
    return sum;
}

// P(a, x) by the series. x < 0 raises error 3; x ≤ 0 answers 0.
double GammaSeries(double a, double x) {
    if (x <= 0.0) {
        if (x < 0.0) VeskError(3);
        return 0.0;
    }
    const double sum = GammaSeriesSum(a, x);
    return sum * std::exp(a * std::log(x) - x - LnGamma(a));
}

// ln P(a, x) by the series; ln 0 = −∞ at x = 0.
double LnGammaSeries(double a, double x) {
    if (x <= 0.0) {
        if (x < 0.0) VeskError(3);
        return -std::numeric_limits<double>::infinity();
    }
    const double sum = GammaSeriesSum(a, x);
    return std::log(sum) - x + a * std::log(x) - LnGamma(a);
}

// Continued fraction of Q(a, x) for x ≥ a + 1 (modified Lentz); the caller
// multiplies by e^−x·x^a/Γ(a).
double GammaContFracValue(double a, double x) {
    double b = x + 1.0 - a;
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i <= kMaxIter; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = b + an / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0 / d;
        const double del = d * c;
        h *= del;
        if (std::fabs(del - 1.0) < kEps) break;
    }
    return h;
}

double GammaContFrac(double a, double x) {
    const double h = GammaContFracValue(a, x);
    return std::exp(a * std::log(x) - x - LnGamma(a)) * h;
}

double LnGammaContFrac(double a, double x) {
    const double h = GammaContFracValue(a, x);
    return a * std::log(x) - x - LnGamma(a) + std::log(h);
}

// Continued fraction of the incomplete beta function (modified Lentz). Each
// step multiplies h by two factors; the product form keeps h, the logarithmic
// form accumulates ln h so that tiny values stay representable. Raises error
// 3 when 1000 steps do not converge and answers the last estimate.
template <bool kLog>
double BetaContFracImpl(double a, double b, double x) {
    const double qab = a + b;
    const double qap = a + 1.0;
    const double qam = a - 1.0;
    double c = 1.0;
    double d = 1.0 - qab * x / qap;
    if (std::fabs(d) < kTiny) d = kTiny;
    d = 1.0 / d;
    double h = kLog ? std::log(d) : d;
    for (int m = 1; m <= kMaxIter; ++m) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1.0 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0 / d;
        if (kLog)
            h += std::log(d * c);
        else
            h *= d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1.0 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0 / d;
        const double del = d * c;
        if (kLog)
            h += std::log(del);
        else
            h *= del;
        if (std::fabs(del - 1.0) < kEps) return h;
    }
    VeskError(3, kBetaNoConvergence);
    return h;
}

double BetaContFrac(double a, double b, double x) { return BetaContFracImpl<false>(a, b, x); }
double LnBetaContFrac(double a, double b, double x) { return BetaContFracImpl<true>(a, b, x); }

// Incomplete gamma arguments: a > 0 and x ≥ 0 (NaN fails both).
bool GammaArgsBad(double a, double x) {
    if (x >= 0.0 && a > 0.0) return false;
    VeskError(3);
    return true;
}

// Incomplete beta argument: 0 ≤ x ≤ 1 (NaN fails).
bool BetaArgBad(double x) {
    if (x >= 0.0 && x <= 1.0) return false;
    VeskError(3);
    return true;
}

// ln of the prefactor x^a·(1 − x)^b/B(a, b) of the incomplete beta function.
double LnBetaPrefactor(double a, double b, double x) {
    return LnGamma(a + b) - LnGamma(a) - LnGamma(b) + a * std::log(x) + b * std::log(1.0 - x);
}

// Unbiased variance of n ≥ 2 values from one pass of sums.
double SampleVariance(const double* data, int n) {
    double sum = 0.0;
    double sum2 = 0.0;
    for (int i = 0; i < n; ++i) {
        sum += data[i];
        sum2 += data[i] * data[i];
    }
    const double mean = sum / n;
    return (sum2 - n * (mean * mean)) / (n - 1);
}

}  // namespace

double LnGamma(double x) {
    double tmp = x + 5.5;
    tmp -= (x + 0.5) * std::log(tmp);
    double ser = 1.000000000190015;
    for (int j = 0; j < 6; ++j) ser += kLanczos[j] / (x + (j + 1));
    return std::log(2.5066282746310005 * ser / x) - tmp;
}

double Gamma_P(double a, double x) {
    if (GammaArgsBad(a, x)) return 0.0;
    if (x < a + 1.0) return GammaSeries(a, x);
    return 1.0 - GammaContFrac(a, x);
}

double Gamma_Q(double a, double x) {
    if (GammaArgsBad(a, x)) return 0.0;
    if (x < a + 1.0) return 1.0 - GammaSeries(a, x);
    return GammaContFrac(a, x);
}

double LnGamma_P(double a, double x) {
    if (GammaArgsBad(a, x)) return 0.0;
    if (x < a + 1.0) return LnGammaSeries(a, x);
    return LnOneMinusExp(LnGammaContFrac(a, x));
}

double LnGamma_Q(double a, double x) {
    if (GammaArgsBad(a, x)) return 0.0;
    if (x < a + 1.0) return LnOneMinusExp(LnGammaSeries(a, x));
    return LnGammaContFrac(a, x);
}

double Beta_I(double a, double b, double x) {
    if (BetaArgBad(x)) return 0.0;
    if (x == 0.0) return 0.0;
    if (x == 1.0) return 1.0;
    const double bt = std::exp(LnBetaPrefactor(a, b, x));
    if (x < (a + 1.0) / (a + b + 2.0)) return bt * BetaContFrac(a, b, x) / a;
    return 1.0 - bt * BetaContFrac(b, a, 1.0 - x) / b;
}

double LnBeta_I(double a, double b, double x) {
    if (BetaArgBad(x)) return 0.0;
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (x == 1.0) return 0.0;
    const double lbt = LnBetaPrefactor(a, b, x);
    if (x < (a + 1.0) / (a + b + 2.0)) return lbt + LnBetaContFrac(a, b, x) - std::log(a);
    return LnOneMinusExp(lbt + LnBetaContFrac(b, a, 1.0 - x) - std::log(b));
}

double Beta(double a, double b) { return std::exp(LnBeta(a, b)); }

double LnBeta(double a, double b) { return LnGamma(a) + LnGamma(b) - LnGamma(a + b); }

double FTest(const double* dataA, int na, const double* dataB, int nb, double* f) {
    if (na < 2 || nb < 2) return 0.0;
    const double varA = SampleVariance(dataA, na);
    const double varB = SampleVariance(dataB, nb);
    if (varA == varB) {
        *f = 1.0;
        return 1.0;
    }
    double num;
    double den;
    if (varA <= 0.0 || varB <= 0.0) {
        *f = 1e6;
        num = nb - 1;
        den = na - 1;
    } else if (varA > varB) {
        *f = varA / varB;
        num = na - 1;
        den = nb - 1;
    } else {
        *f = varB / varA;
        num = nb - 1;
        den = na - 1;
    }
    double prob = 2.0 * Beta_I(0.5 * den, 0.5 * num, den / (den + num * *f));
    if (prob > 1.0) prob = 2.0 - prob;
    return prob;
}

double Erf(double x) {
    const double z = std::fabs(x);
    const double t = 1.0 / (1.0 + 0.5 * z);
    const double r =
        t * std::exp(-z * z - 1.26551223 +
                     t * (1.00002368 +
                          t * (0.37409196 +
                               t * (0.09678418 +
                                    t * (-0.18628806 +
                                         t * (0.27886807 +
                                              t * (-1.13520398 +
                                                   t * (1.48851587 +
                                                        t * (-0.82215223 + t * 0.17087277)))))))));
    return x >= 0.0 ? 1.0 - r : r - 1.0;
}
