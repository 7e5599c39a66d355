// Bessel functions of integer order (polynomial approximations and
// recurrences), the logarithms of I and I′, and the exported I/K family.
#include <cfloat>
#include <climits>
#include <cmath>
#include <numbers>

#include "special/Bessel.h"
#include "special/BesselAsymptotic.h"
#include "special/Gamma.h"

namespace {

// Below this x the asymptotic expansion of ln I and ln I′ is not used even
// when x > 4ν² − 1: for small orders 4ν² − 1 is negative or small and the
// expansion would be far off (ln I₀(0.01) near 4 instead of 2.5e-5).
constexpr double kAsymptoticMinX = 5.0;

// Arguments beyond which I0 overflows: the recurrence of BesselIInteger need
// not start higher than this for x to be covered.
constexpr double kRecurrenceMaxX = 1000.0;

// ln I_ν(x) ≈ x − ½·ln(2πx) + ln(1 − (4ν² − 1)/(8x)).
// ln(2πx), taken as a sum where 2πx overflows (x beyond 2.8e307).
double LnTwoPiX(double x) {
    const double t = 2.0 * std::numbers::pi * x;
    return t < HUGE_VAL ? std::log(t) : std::log(2.0 * std::numbers::pi) + std::log(x);
}

double LnBesselIAsymptotic(double x, double mu) {
    return x - 0.5 * LnTwoPiX(x) + std::log(1.0 - mu / (8.0 * x));
}

// ln I′_ν(x) ≈ ln((1 − s)(1 − t) + (4ν² − 1)/(8x²)) + x − ½·ln(2πx) with
// s = 1/(2x), t = (4ν² − 1)/(8x).
double LnBesselIpAsymptotic(double x, double mu) {
    const double s = 1.0 / (2.0 * x);
    const double t = mu / (8.0 * x);
    return std::log((1.0 - s) * (1.0 - t) + mu / (8.0 * (x * x))) + x - 0.5 * LnTwoPiX(x);
}

// ln(x/2), from ln x where halving a subnormal x would round (to 0 for the
// smallest): K0(5e-324) came out ∞ and K1 of it NaN, ln I₁(5e-324) −∞.
double LnHalf(double x) {
    return x < 2.0 * DBL_MIN ? std::log(x) - std::numbers::ln2 : std::log(x / 2.0);
}

// ν·ln(x/2) − ln Γ(ν + 1) for orders where ln Γ(ν + 1) overflows (from
// ν ≈ 2.5e305, where ν·ln ν > 1.8e308; the leading series term came out −∞
// or ∞ − ∞ = NaN there), by
// Stirling's ln Γ(ν + 1) = ν·ln ν − ν + ½·ln(2πν) (+ 1/(12ν), far below the
// rounding there): ν·(ln(x/(2ν)) + 1) − ½·ln(2πν), −∞ where it overflows.
double LnLeadHuge(double x, double nu) {
    return nu * ((LnHalf(x) - std::log(nu)) + 1.0) -
           0.5 * (std::log(2.0 * std::numbers::pi) + std::log(nu));
}

// Leading term of the power series: ln I_ν(x) ≈ ν·ln(x/2) − ln Γ(ν + 1) and
// ln I′_ν(x) ≈ (ν − 1)·ln(x/2) − ln Γ(ν + 1) + ln(ν/2), for x small beside ν.
double LnBesselISmall(double x, double nu) {
    const double lnGamma = LnGamma(nu + 1.0);
    if (!std::isfinite(lnGamma)) return LnLeadHuge(x, nu);
    return nu * LnHalf(x) - lnGamma;
}

double LnBesselIpSmall(double x, double nu) {
    const double lnGamma = LnGamma(nu + 1.0);
    // ln I′ = ln I + ln(ν/x) for the leading term.
    if (!std::isfinite(lnGamma)) return LnLeadHuge(x, nu) + (std::log(nu) - std::log(x));
    return (nu - 1.0) * LnHalf(x) - lnGamma + std::log(nu / 2.0);
}

// I_ν(x), or I′_ν(x) when derivative, by BesselIK; false after its error.
// At x = 0 the limits ±∞ of a negative non-integer order (other orders raise
// error 3 there, as BesselIK does).
bool FracI(double x, double nu, bool derivative, double* out) {
    if (x == 0.0 && nu < 0.0) {
        *out = derivative ? BesselIpFrac(x, nu) : BesselIFrac(x, nu);
        return std::isinf(*out);
    }
    double i;
    double k;
    double ip;
    double kp;
    if (!BesselIK(x, nu, &i, &k, &ip, &kp)) return false;
    *out = derivative ? ip : i;
    return true;
}

// I_n(ax) for 0 < ax < 1 by the power series Σ (ax/2)^(n+2k)/(k!·(n + k)!),
// whose first term is formed in logarithms; the terms fall at once.
double BesselISeries(long long n, double ax) {
    const double y = 0.25 * ax * ax;
    double term = std::exp(static_cast<double>(n) * std::log(0.5 * ax) - LnGamma(n + 1.0));
    double sum = term;
    for (long long k = 1; k <= 1000 && term > sum * 1e-16; ++k) {
        term *= y / (static_cast<double>(k) * static_cast<double>(n + k));
        sum += term;
    }
    return sum;
}

// ln I_ν(x) or ln I′_ν(x) (x > 0) where the value itself is not a normal
// double: the logarithm of the power series for x small beside ν, the
// expansion in 1/x for x large beside ν², the uniform expansion otherwise.
double LnBesselIFar(double x, double nu, bool derivative) {
    if (x * x <= nu + 1.0) return bessel_detail::LnISeries(x, nu, derivative);
    if (nu * nu <= 2.0 * x) return bessel_detail::LnILargeX(x, nu, derivative);
    return bessel_detail::LnIUniform(x, nu, derivative);
}

// True for a negative order that is not an integer (reflected through K).
bool NegativeFractional(double nu) { return nu < 0.0 && nu != std::trunc(nu); }

// ln I_−ν′(x) or ln I′_−ν′(x) (ν′ > 0 not an integer) from the value v that
// the reflection I_−ν′ = I_ν′ + (2/π)·sin(πν′)·K_ν′ gave: its logarithm, NaN
// where v < 0 (I_−ν′ is negative at small x where sin(πν′) < 0, I′_−ν′ where
// sin(πν′) > 0), +∞ for the limit +∞ at x = 0. Where v overflowed, from the
// larger of the two terms: I_ν′ as for positive orders, or K_ν′ through the
// logarithm of the power series of I_−ν′ (x² ≤ ν′ + 1) or the uniform
// expansion of K (larger x, which K overflows at only for ν′ above about 150).
double LnINegativeOrder(double x, double nup, double v, bool derivative) {
    if (!(v == HUGE_VAL && x > 0.0)) return std::log(v);
    if (bessel_detail::LnIEstimate(x, nup) >= bessel_detail::LnKEstimate(x, nup))
        return LnBesselIFar(x, nup, derivative);
    if (x * x <= nup + 1.0) return bessel_detail::LnISeries(x, -nup, derivative);
    double s;
    double c;
    bessel_detail::SinCosPi(nup, &s, &c);
    return std::log(2.0 / std::numbers::pi * std::fabs(s)) +
           bessel_detail::LnKUniform(x, nup, derivative);
}

// A value whose logarithm carries its full precision.
bool IsNormalPositive(double v) { return v >= DBL_MIN && v < HUGE_VAL; }

// The asymptotic region of ln I and ln I′.
bool InAsymptoticRegion(double x, double mu) { return x > mu && x >= kAsymptoticMinX; }

}  // namespace

bool IsIntegralOrder(double nu, int* n) {
    if (!(nu >= INT_MIN && nu <= INT_MAX)) return false;
    const int t = static_cast<int>(nu);
    if (t != nu) return false;
    *n = t;
    return true;
}

double BesselI0(double x) {
    const double ax = std::fabs(x);
    if (ax == HUGE_VAL) return HUGE_VAL;  // e^|x|/√|x| would be ∞/∞
    if (ax < 3.75) {
        const double y = (x / 3.75) * (x / 3.75);
        return 1.0 + y * (3.5156229 + y * (3.0899424 + y * (1.2067492 + y * (0.2659732 +
               y * (0.360768e-1 + y * 0.45813e-2)))));
    }
    const double y = 3.75 / ax;
    return (std::exp(ax) / std::sqrt(ax)) *
           (0.39894228 + y * (0.1328592e-1 + y * (0.225319e-2 + y * (-0.157565e-2 +
            y * (0.916281e-2 + y * (-0.2057706e-1 + y * (0.2635537e-1 +
            y * (-0.1647633e-1 + y * 0.392377e-2))))))));
}

double BesselI1(double x) {
    const double ax = std::fabs(x);
    if (ax == HUGE_VAL) return x;
    double ans;
    if (ax < 3.75) {
        const double y = (x / 3.75) * (x / 3.75);
        ans = ax * (0.5 + y * (0.87890594 + y * (0.51498869 + y * (0.15084934 +
              y * (0.2658733e-1 + y * (0.301532e-2 + y * 0.32411e-3))))));
    } else {
        const double y = 3.75 / ax;
        ans = 0.2282967e-1 + y * (-0.2895312e-1 + y * (0.1787654e-1 - y * 0.420059e-2));
        ans = 0.39894228 + y * (-0.3988024e-1 + y * (-0.362018e-2 + y * (0.163801e-2 +
              y * (-0.1031555e-1 + y * ans))));
        ans *= std::exp(ax) / std::sqrt(ax);
    }
    return x < 0.0 ? -ans : ans;
}

double BesselK0(double x) {
    if (x <= 2.0) {
        const double y = x * x / 4.0;
        return (-LnHalf(x) * BesselI0(x)) +
               (-0.57721566 + y * (0.42278420 + y * (0.23069756 + y * (0.3488590e-1 +
                y * (0.262698e-2 + y * (0.10750e-3 + y * 0.74e-5))))));
    }
    const double y = 2.0 / x;
    return (std::exp(-x) / std::sqrt(x)) *
           (1.25331414 + y * (-0.7832358e-1 + y * (0.2189568e-1 + y * (-0.1062446e-1 +
            y * (0.587872e-2 + y * (-0.251540e-2 + y * 0.53208e-3))))));
}

double BesselK1(double x) {
    if (x == 0.0) return HUGE_VAL;  // ln(x/2)·I1(x) would be −∞·0
    if (x <= 2.0) {
        const double y = x * x / 4.0;
        return (LnHalf(x) * BesselI1(x)) +
               (1.0 + y * (0.15443144 + y * (-0.67278579 + y * (-0.18156897 +
                y * (-0.1919402e-1 + y * (-0.110404e-2 + y * (-0.4686e-4))))))) / x;
    }
    const double y = 2.0 / x;
    return (std::exp(-x) / std::sqrt(x)) *
           (1.25331414 + y * (0.23498619 + y * (-0.3655620e-1 + y * (0.1504268e-1 +
            y * (-0.780353e-2 + y * (0.325614e-2 + y * (-0.68245e-3)))))));
}

double BesselIInteger(int n, double x) {
    // I_−n = I_n; the magnitude is taken in 64 bits so that INT_MIN is safe.
    const long long order = n < 0 ? -static_cast<long long>(n) : n;
    if (order == 0) return BesselI0(x);
    if (order == 1) return BesselI1(x);
    if (x == 0.0) return 0.0;
    if (std::isnan(x)) return x;
    const bool negate = x < 0.0 && (order & 1);
    // Far outside the double range, or an order whose recurrence would run
    // millions of steps: the fractional-order routine settles the limit at
    // once or answers from the uniform expansion.
    const double ax = std::fabs(x);
    const double lnI =
        ax == HUGE_VAL ? HUGE_VAL : bessel_detail::LnIEstimate(ax, static_cast<double>(order));
    if (static_cast<double>(order) > bessel_detail::kMaxRecurrenceOrder || std::fabs(lnI) > 760.0) {
        const double v = BesselIFrac(ax, static_cast<double>(order));
        return negate ? -v : v;
    }
    const double tox = 2.0 / std::fabs(x);
    // The ratio I_{j+1}/I_j converges in the downward recurrence only once j
    // is well above both n and x: start from the larger of the two.
    const double cover =
        std::fmax(static_cast<double>(order), std::floor(std::fmin(std::fabs(x), kRecurrenceMaxX)));
    const long long start =
        2 * (static_cast<long long>(cover) + static_cast<long long>(std::sqrt(40.0 * cover)));
    double bip = 0.0;
    double ans = 0.0;
    double bi = 1.0;
    for (long long j = start; j > 0; --j) {
        const double bim = bip + static_cast<double>(j) * tox * bi;
        bip = bi;
        bi = bim;
        if (std::fabs(bi) > 1e10) {
            ans *= 1e-10;
            bi *= 1e-10;
            bip *= 1e-10;
        }
        if (j == order) ans = bip;
    }
    ans *= BesselI0(x) / bi;
    // For |x| far below 1 the steps grow by about j·2/|x| while the scaling
    // takes off only 1e-10 at a time: bi overflows or ans underflows, and the
    // quotient comes out NaN or 0 (I₅(1e-20) = 2.6e-104 gave NaN). The power
    // series serves there.
    if (!(std::isfinite(ans) && ans != 0.0) && std::fabs(x) < 1.0)
        ans = BesselISeries(order, std::fabs(x));
    return x < 0.0 && (order & 1) ? -ans : ans;
}

double BesselKInteger(int n, double x) {
    const long long order = n < 0 ? -static_cast<long long>(n) : n;
    if (order == 0) return BesselK0(x);
    if (order == 1) return BesselK1(x);
    // Orders whose recurrence would run millions of steps, and x where K0 and
    // K1 underflow while K_n need not (K_n(x) of x > 705 came out 0 even
    // where it overflows): the fractional-order routine for K alone.
    if (x > 0.0 && (static_cast<double>(order) > bessel_detail::kMaxRecurrenceOrder ||
                    x > bessel_detail::kMaxScaledX))
        return BesselKFrac(x, static_cast<double>(order));
    const double tox = 2.0 / x;
    double bkm = BesselK0(x);
    double bk = BesselK1(x);
    for (long long j = 1; j < order; ++j) {
        // Once K is infinite, NaN, or both terms are 0, no later step changes it.
        if (!std::isfinite(bk) || (bk == 0.0 && bkm == 0.0)) break;
        const double bkp = bkm + static_cast<double>(j) * tox * bk;
        bkm = bk;
        bk = bkp;
    }
    return bk;
}

double BesselJInteger(int n, double x) {
    const long long order = n < 0 ? -static_cast<long long>(n) : n;
    const double nu = static_cast<double>(order);
    const double ax = std::fabs(x);
    if (x != 0.0 && !std::isnan(x) &&
        (nu > bessel_detail::kMaxRecurrenceOrder || bessel_detail::JYBeyondRange(ax, nu))) {
        // J_−n(x) = J_n(−x) = (−1)^n·J_n(x).
        const bool negate = (order & 1) && ((n < 0) != (x < 0.0));
        const double v = BesselJFrac(ax, nu);
        return negate ? -v : v;
    }
    return jn(n, x);
}

double BesselYInteger(int n, double x) {
    const long long order = n < 0 ? -static_cast<long long>(n) : n;
    const double nu = static_cast<double>(order);
    if (x > 0.0 &&
        (nu > bessel_detail::kMaxRecurrenceOrder || bessel_detail::JYBeyondRange(x, nu))) {
        const double v = BesselYFrac(x, nu);
        return n < 0 && (order & 1) ? -v : v;
    }
    return yn(n, x);
}

double BesselIn(double x, double n) {
    int order;
    if (IsIntegralOrder(n, &order)) return BesselIInteger(order, x);
    return BesselIFrac(x, n);
}

double BesselKn(double x, double n) {
    int order;
    if (IsIntegralOrder(n, &order)) return BesselKInteger(order, x);
    return BesselKFrac(x, n);
}

double BesselIpn(double x, double nu) { return BesselIpFrac(x, nu); }

double BesselKpn(double x, double nu) { return BesselKpFrac(x, nu); }

double LnBesselIn(double x, double nu) {
    if (x == HUGE_VAL && !std::isnan(nu)) return HUGE_VAL;
    if (nu / 30.0 > x) return LnBesselISmall(x, nu);
    const double mu = 4.0 * nu * nu - 1.0;
    if (InAsymptoticRegion(x, mu)) return LnBesselIAsymptotic(x, mu);
    double value;
    int order;
    if (IsIntegralOrder(nu, &order))
        value = BesselIInteger(order, x);
    else if (!FracI(x, nu, false, &value))
        return 0.0;
    if (NegativeFractional(nu)) return LnINegativeOrder(x, -nu, value, false);
    // Where I is not a normal double (it under- or overflowed, or lost bits
    // as a subnormal), its logarithm from the series or the expansions.
    if (x > 0.0 && !IsNormalPositive(value)) return LnBesselIFar(x, std::fabs(nu), false);
    return std::log(value);
}

double LnBesselIpn(double x, double nu) {
    if (x == HUGE_VAL && !std::isnan(nu)) return HUGE_VAL;
    if (nu / 30.0 > x) return LnBesselIpSmall(x, nu);
    const double mu = 4.0 * nu * nu - 1.0;
    if (!InAsymptoticRegion(x, mu)) {
        double ip;
        if (!FracI(x, nu, true, &ip)) return 0.0;
        if (NegativeFractional(nu)) return LnINegativeOrder(x, -nu, ip, true);
        if (IsNormalPositive(ip)) return std::log(ip);
        return LnBesselIFar(x, std::fabs(nu), true);
    }
    return LnBesselIpAsymptotic(x, mu);
}
