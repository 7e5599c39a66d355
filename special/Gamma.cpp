// Log-gamma, incomplete gamma and beta functions with their logarithms,
// beta, F-test and the rational error function.
#include "special/Gamma.h"

#include <cmath>
#include <limits>

#include "host/VeskHost.h"
#include "special/GammaUniform.h"
#include "special/BetaUniform.h"

namespace {

constexpr double kEps = 1e-16;       // relative step that ends a series
constexpr double kTiny = 1e-300;     // guard of the Lentz recurrences
constexpr int kMaxIter = 1000;       // terms every series and fraction may take
// Where more terms are needed (large parameters near the middle of the
// distribution, about 8.6·√a terms for the incomplete gamma function), the
// cap grows to kTermsPerRoot·√(parameter), never beyond kMaxTerms.
constexpr double kTermsPerRoot = 16.0;
constexpr double kMaxTerms = 4e6;

const char* const kBetaNoConvergence =
    "a or b too big, Beta_P does not converge in 300 itterations";
const char* const kGammaNoConvergence = "a too big, incomplete gamma does not converge";

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kHalfLn2Pi = 0.91893853320467274178;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kEulerGamma = 0.57721566490153286061;  // Euler's constant γ

// Cap on the terms of a series or fraction whose largest parameter is p.
long TermCap(double p) {
    constexpr double kFrom = (kMaxIter / kTermsPerRoot) * (kMaxIter / kTermsPerRoot);
    if (!(p > kFrom)) return kMaxIter;  // no square root for ordinary parameters
    return static_cast<long>(std::fmin(kMaxTerms, kTermsPerRoot * std::sqrt(p)));
}

// δ(z) = ln Γ(z) − ((z − ½)·ln z − z + ½·ln 2π), the remainder of Stirling's
// formula: its asymptotic series for z ≥ 10 (error below 3e-14·δ), the
// difference itself below (where no large logarithm cancels).
double StirlingRemainder(double z) {
    if (z < 10.0) return LnGamma(z) - ((z - 0.5) * std::log(z) - z + kHalfLn2Pi);
    const double r = 1.0 / (z * z);
    return (1.0 / 12 - r * (1.0 / 360 - r * (1.0 / 1260 - r * (1.0 / 1680 - r / 1188)))) / z;
}

// ln(1 + t) − t without cancelling for small t.
double Log1pMinus(double t) {
    if (std::fabs(t) > 0.25) return std::log1p(t) - t;
    // −t²/2 + t³/3 − ...: the terms fall by at least a factor 4.
    double term = -t * t / 2;
    double s = term;
    double power = -t * t;
    for (int k = 3; std::fabs(term) > 1e-17 * std::fabs(s); ++k) {
        power *= -t;
        term = power / k;
        s += term;
    }
    return s;
}

// a·(ln λ − (λ − 1)) for λ = x/a, as a·(ln(1 + t) − t) with t = (x − a)/a.
// Below x = a/2 the rounding of t, which ln(1 + t) magnifies by 1/λ (8e-5 in
// ln P(1736170, 1), t = −1 and −∞ at a = 1e16), is avoided: ln λ is taken
// from x/a (from ln x − ln a where x/a leaves the normal range) and a·t is
// x − a.
double ScaledLogRatioMinus(double a, double x) {
    if (x >= 0.5 * a) return a * Log1pMinus((x - a) / a);
    const double ratio = x / a;
    const double lnRatio =
        ratio >= std::numeric_limits<double>::min() ? std::log(ratio) : std::log(x) - std::log(a);
    return a * lnRatio - (x - a);
}

// ln(x^a·e^−x/Γ(a)), the prefactor of the incomplete gamma function, for
// large a: a·(ln λ − λ + 1) + ½·ln(a/2π) − δ(a), so that the large
// logarithms a·ln x and ln Γ(a) are not formed and cancelled.
double LnGammaPrefactorLarge(double a, double x) {
    return ScaledLogRatioMinus(a, x) + 0.5 * std::log(a) - kHalfLn2Pi - StirlingRemainder(a);
}

// From this parameter on the described ln Γ differences and prefactors lose
// about 2·a·ln a units of 1e-16 to cancellation (2e-11 at 1e4, 2.3e-10 at
// 2e4, 1.7e-9 at 1e6, 1e-5 at 1e10): Stirling's formula takes their place.
constexpr double kStirlingFrom = 1e4;

// The prefactor's logarithm for a series or fraction that took `terms` terms:
// as described (a·ln x − x − ln Γ(a)) wherever 1000 terms sufficed and a is
// below kStirlingFrom, so those results stay as they were; the
// cancellation-free form beyond.
bool DescribedGammaPrefactor(double a, long terms) {
    return (terms <= kMaxIter && a < kStirlingFrom) || a < 10.0;
}

double LnGammaPrefactor(double a, double x, long terms) {
    if (DescribedGammaPrefactor(a, terms)) return a * std::log(x) - x - LnGamma(a);
    return LnGammaPrefactorLarge(a, x);
}

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

// ln(1 − e^y) for y ≤ 0 to the rounding of y: log1p(−e^y) where e^y is small
// (LnOneMinusExp's log(1 − e^y) would round 1 − e^y), ln(−expm1(y)) above.
double LnComplement(double y) {
    return y < -0.6931 ? std::log1p(-std::exp(y)) : std::log(-std::expm1(y));
}

// ln(1 − e^y) for the incomplete gamma functions: where e^y < 0.01 as
// log1p(−e^y), which keeps the digits of a small complement (ln(1 − e^y)
// answers ln of the rounded 1 − e^y: −1.11e-15 for −1.056e-15), and +0 as
// before where e^y underflows; above as LnOneMinusExp, so those results stay
// as they were.
double LnGammaComplement(double y) {
    constexpr double kLnOnePercent = -4.605170185988091;
    if (y < kLnOnePercent) return LnComplement(y) + 0.0;
    return LnOneMinusExp(y);
}

// Parameters below this are "tiny": Q = a·T with T → E1(x) as a → 0 is
// formed directly for x < a + 1, where 1 − P would keep nothing of it
// (Gamma_Q(1e-300, 0.5) was −2.4e-14 for 5.6e-301).
constexpr double kTinyParameter = 1e-4;

// ln Γ(1 + a)/a for a ≤ kTinyParameter: −γ + Σ (−1)^k·ζ(k)/k·a^(k−1), k = 2 ... 5
// (the next term is below 2e-21).
double LnGammaOnePlusOverA(double a) {
    constexpr double kZ2 = 0.82246703342411321824;  // ζ(2)/2
    constexpr double kZ3 = 0.40068563438653142847;  // ζ(3)/3
    constexpr double kZ4 = 0.27058080842778454788;  // ζ(4)/4
    constexpr double kZ5 = 0.20738555102867398527;  // ζ(5)/5
    return -kEulerGamma + a * (kZ2 - a * (kZ3 - a * (kZ4 - a * kZ5)));
}

// Q(a, x)/a for a ≤ kTinyParameter and 0 < x < a + 1. From the power series of
// γ(a, x), P = e^u·(1 + a·S) with u = a·v, v = ln x − ln Γ(1 + a)/a and
// S = Σ_{n≥1} (−x)^n/(n!·(a + n)); so Q/a = −v·(e^u − 1)/u − e^u·S, without
// forming 1 − P. The two parts cancel by less than a factor 4 for x < 1.
double TinyParameterQOverA(double a, double x) {
    const double v = std::log(x) - LnGammaOnePlusOverA(a);
    const double u = a * v;
    const double expm1OverU = std::fabs(u) < 1e-20 ? 1.0 : std::expm1(u) / u;
    double term = 1.0;
    double s = 0.0;
    for (int n = 1; n <= kMaxIter; ++n) {
        term *= -x / n;
        const double add = term / (a + n);
        s += add;
        if (std::fabs(add) < kEps * std::fabs(s)) break;
    }
    return -v * expm1OverU - std::exp(u) * s;
}

// Series of P(a, x) for x < a + 1: the sum Σ x^n/(a(a+1)...(a+n)) and the
// logarithm of its prefactor e^−x·x^a/Γ(a). x > 0, a above kTinyParameter.
// A cap reached raises error 3 and leaves the last estimate.
struct GammaSum {
    double sum;
    double lnPrefactor;
    bool described;  // lnPrefactor is a·ln x − x − ln Γ(a)
};

GammaSum GammaSeriesSum(double a, double x) {
    // From a = 1e280 the terms 1/a·(x/a)^n would reach the subnormal range
    // before the sum converges (slow, 5 µs a call at 1e300; from 4.5e307, where
    // 1/a itself is subnormal, they lose their digits and never vanish): they
    // are summed times a, the prefactor divided by a.
    const bool scaled = a > 1e280;
    double ap = a;
    double del = scaled ? 1.0 : 1.0 / a;
    double sum = del;
    const long cap = TermCap(a);
    long n = 1;
    for (; n <= cap; ++n) {
        ap += 1.0;
        del *= x / ap;
        sum += del;
        if (std::fabs(del) < std::fabs(sum) * kEps) break;
    }
    if (n > cap) VeskError(3, kGammaNoConvergence);
    const double lnPrefactor = LnGammaPrefactor(a, x, n);
    return {sum, scaled ? lnPrefactor - std::log(a) : lnPrefactor, DescribedGammaPrefactor(a, n)};
}

// P(a, x) by the series. x < 0 raises error 3; x ≤ 0 answers 0.
double GammaSeries(double a, double x) {
    if (x <= 0.0) {
        if (x < 0.0) VeskError(3);
        return 0.0;
    }
    const GammaSum s = GammaSeriesSum(a, x);
    return s.sum * std::exp(s.lnPrefactor);
}

// ln P(a, x) by the series; ln 0 = −∞ at x = 0.
double LnGammaSeries(double a, double x) {
    if (x <= 0.0) {
        if (x < 0.0) VeskError(3);
        return -std::numeric_limits<double>::infinity();
    }
    const GammaSum s = GammaSeriesSum(a, x);
    if (s.described) return std::log(s.sum) - x + a * std::log(x) - LnGamma(a);
    return std::log(s.sum) + s.lnPrefactor;
}

// Continued fraction of Q(a, x) for x ≥ a + 1 (modified Lentz) and the
// logarithm of its prefactor e^−x·x^a/Γ(a). A cap reached raises error 3
// and leaves the last estimate.
GammaSum GammaContFracValue(double a, double x) {
    // From 2^53 on x + 1 rounds (by up to 3e-9 of b at a = 1e16, x = a + 3√a);
    // x − a is exact there, as x lies within a factor 2 of a where b is small.
    double b = x < 0x1p53 ? x + 1.0 - a : (x - a) + 1.0;
    // Where the fraction's first correction, of relative size (a − 1)/b², lies
    // below 2^-54 (x far above a; all of it once 1/b leaves the normal range),
    // h = 1/b. Before, the steps could stay one unit away from 1 without end
    // (b + 2 = b at b ≫ 2^53) and raised error 3 after 30 ms at the cap.
    if (std::fabs(a - 1.0) < 0x1p-54 * b * b || b > 1.0 / std::numeric_limits<double>::min())
        return {1.0 / b, LnGammaPrefactor(a, x, 1), DescribedGammaPrefactor(a, 1)};
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double h = d;
    const long cap = TermCap(a);
    long i = 1;
    for (; i <= cap; ++i) {
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
    if (i > cap) VeskError(3, kGammaNoConvergence);
    return {h, LnGammaPrefactor(a, x, i), DescribedGammaPrefactor(a, i)};
}

double GammaContFrac(double a, double x) {
    const GammaSum s = GammaContFracValue(a, x);
    return std::exp(s.lnPrefactor) * s.sum;
}

double LnGammaContFrac(double a, double x) {
    const GammaSum s = GammaContFracValue(a, x);
    return s.lnPrefactor + std::log(s.sum);
}

// The step that ends the incomplete beta fraction from a + b = kStirlingFrom
// on: with huge parameters the steps' rounding can keep every factor a unit
// off 1, and the fraction would run to its cap (4·10⁶ steps, 0.15 s).
constexpr double kLargeFracEps = 4e-16;

// Continued fraction of the incomplete beta function (modified Lentz). Each
// step multiplies h by two factors; the product form keeps h, the logarithmic
// form accumulates ln h so that tiny values stay representable. Raises error
// 3 when the cap of steps does not converge and answers the last estimate.
template <bool kLog>
double BetaContFracImpl(double a, double b, double x, bool large) {
    const double eps = large ? kLargeFracEps : kEps;
    const double qab = a + b;
    const double qap = a + 1.0;
    const double qam = a - 1.0;
    double c = 1.0;
    double d = 1.0 - qab * x / qap;
    if (std::fabs(d) < kTiny) d = kTiny;
    d = 1.0 / d;
    double h = kLog ? std::log(d) : d;
    const long cap = TermCap(std::fmax(a, b));
    for (long m = 1; m <= cap; ++m) {
        const long m2 = 2 * m;
        // From a + b = kStirlingFrom on as ratios: the products overflow
        // from parameters of about 1e154.
        double aa = large ? m * ((b - m) / (qam + m2)) * (x / (a + m2))
                          : m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1.0 + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1.0 + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0 / d;
        if (kLog)
            h += std::log(d * c);
        else
            h *= d * c;
        aa = large ? -((a + m) / (a + m2)) * ((qab + m) / (qap + m2)) * x
                   : -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
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
        if (std::fabs(del - 1.0) < eps) return h;
    }
    VeskError(3, kBetaNoConvergence);
    return h;
}

double BetaContFrac(double a, double b, double x) {
    return BetaContFracImpl<false>(a, b, x, !(a + b < kStirlingFrom));
}
double LnBetaContFrac(double a, double b, double x) {
    return BetaContFracImpl<true>(a, b, x, !(a + b < kStirlingFrom));
}

// Incomplete gamma arguments: a > 0 and x ≥ 0 (NaN fails both).
bool GammaArgsBad(double a, double x) {
    if (x >= 0.0 && a > 0.0) return false;
    VeskError(3);
    return true;
}

// Incomplete beta arguments: a > 0, b > 0 and 0 ≤ x ≤ 1 (NaN fails).
bool BetaArgsBad(double a, double b, double x) {
    if (a > 0.0 && b > 0.0 && x >= 0.0 && x <= 1.0) return false;
    VeskError(3);
    return true;
}

// The limit of a function of two arguments where one is +∞ (both valid):
// `ifFirst` when the first is infinite, `ifSecond` when only the second is;
// no limit (NaN) when both are. P(a, x) takes (x, a, 1, 0): P(a, ∞) = 1,
// P(∞, x) = 0; I_x(a, b) for 0 < x < 1 takes (a, b, 0, 1): I_x(∞, b) = 0,
// I_x(a, ∞) = 1.
struct Limit {
    bool applies;
    double value;
};

Limit LimitAt(double first, double second, double ifFirst, double ifSecond) {
    if (first == kInf) return {true, second == kInf ? std::nan("") : ifFirst};
    if (second == kInf) return {true, ifSecond};
    return {false, 0.0};
}

// ln Γ(b) − ln Γ(a + b) for b ≥ a > 0 and b ≥ 10 (Stirling's remainder by its
// series), used from a + b = kStirlingFrom and for a small beside b, without
// forming either large logarithm: −(b − ½)·ln(1 + a/b) − a·ln(a + b) + a
// + δ(b) − δ(a + b).
double LnGammaDifference(double a, double b) {
    const double s = a + b;
    return -(b - 0.5) * std::log1p(a / b) - a * std::log(s) + a + StirlingRemainder(b) -
           StirlingRemainder(s);
}

// ln of the prefactor x^a·(1 − x)^b/B(a, b) of the incomplete beta function
// (0 < x < 1). Below a + b = kStirlingFrom as described; from there with
// Stirling's formula for the three gamma functions,
//   T + ½·ln(ab/(2π(a + b))) + δ(a + b) − δ(a) − δ(b),
//   T = a·ln(x(a + b)/a) + b·ln((1 − x)(a + b)/b),
// where T, the only large part, is formed from N = x·b − (1 − x)·a: with
// u = N/a and v = −N/b the two logarithms are ln(1 + u) and ln(1 + v), and
// since a·u + b·v = 0 near the mean (|u|, |v| < ½) T = a·(ln(1 + u) − u) +
// b·(ln(1 + v) − v) without cancelling the large linear terms.
double LnBetaPrefactor(double a, double b, double x) {
    const double s = a + b;
    if (s < kStirlingFrom)
        return LnGamma(a + b) - LnGamma(a) - LnGamma(b) + a * std::log(x) + b * std::log(1.0 - x);
    const double n = -beta_detail::MeanDistance(a, b, x);  // x·b − (1 − x)·a, exactly
    const double u = n / a;
    const double v = -n / b;
    double t;
    if (std::fabs(u) < 0.5 && std::fabs(v) < 0.5)
        t = a * Log1pMinus(u) + b * Log1pMinus(v);
    else
        t = a * (std::log(x) + std::log1p(b / a)) + b * (std::log1p(-x) + std::log1p(a / b));
    return t + 0.5 * std::log(a / s * b) - kHalfLn2Pi + StirlingRemainder(s) -
           StirlingRemainder(a) - StirlingRemainder(b);
}

// Below a + b = kStirlingFrom, where one parameter p is small beside a
// larger q ≥ 10, the side of p evaluated by the fraction is close to 1 and
// the value asked for is its complement (1 − I from I, or I from 1 − I): it
// keeps the absolute error of the described prefactor's logarithm, whose ln Γ
// sum rounds two logarithms of about q·ln q and ln(1 − x) the rounding of
// 1 − x (together 1e-11 at q = 1e4, which reached 1e-8 of a complement of
// 5e-4 at p = 1e-4; in the calls SmallSideBeta leaves, up to 1.8e-9).
// SmallParameterSideLoses tells from the described result whether that
// error, 2.2e-16·(q·ln q + q), exceeds kSmallSideShare of the bound in the
// value asked for (measured: every call beyond the bound had an estimate
// above 0.7 of it); LnSmallParameterSide then forms
// ln(xs^p·(1 − xs)^q/(p·B(p, q))) for the side's argument xs without large
// terms: ln Γ(q) − ln Γ(p + q) as the Stirling difference, ln Γ(1 + p) for
// ln Γ(p) + ln p, and log1p(−xs).
constexpr double kSmallSideFrom = 10.0;
constexpr double kSmallSideShare = 0.5;
constexpr double kBetaBound = 6e-10;

bool SmallParameterSideLoses(double p, double q, double askedRelError) {
    if (!(q >= kSmallSideFrom && p < q && p + q < kStirlingFrom)) return false;
    const double lnPrefactorError =
        std::numeric_limits<double>::epsilon() * q * (std::log(q) + 1.0);
    return lnPrefactorError * askedRelError > kSmallSideShare * kBetaBound;
}

double LnSmallParameterSide(double p, double q, double xs) {
    return p * std::log(xs) + q * std::log1p(-xs) - LnGamma(1.0 + p) - LnGammaDifference(p, q);
}

// P(a, x) (Q where `upper`), or its logarithm where `log`, by the method of
// the region: the limits at infinity; Temme's uniform expansion for large a
// near the mean; Q/a directly for tiny a below x = a + 1; otherwise the
// series (P, below x = a + 1) or the continued fraction (Q), with the other
// side as the complement.
double IncompleteGamma(double a, double x, bool upper, bool log) {
    if (GammaArgsBad(a, x)) return 0.0;
    if (const Limit l = LimitAt(x, a, 1.0, 0.0); l.applies) {
        const double v = upper ? 1.0 - l.value : l.value;
        return log ? std::log(v) : v;
    }
    if (gamma_detail::UniformApplies(a, x)) {
        return log ? gamma_detail::LnUniformGamma(a, x, !upper)
                   : gamma_detail::UniformGamma(a, x, !upper);
    }
    if (x > 0.0 && a <= kTinyParameter && x < a + 1.0) {
        const double t = TinyParameterQOverA(a, x);
        if (upper) return log ? std::log(a) + std::log(t) : a * t;
        return log ? std::log1p(-a * t) : 1.0 - a * t;
    }
    if (x < a + 1.0) {
        if (!log) return upper ? 1.0 - GammaSeries(a, x) : GammaSeries(a, x);
        const double lp = LnGammaSeries(a, x);
        return upper ? LnGammaComplement(lp) : lp;
    }
    if (!log) return upper ? GammaContFrac(a, x) : 1.0 - GammaContFrac(a, x);
    const double lq = LnGammaContFrac(a, x);
    return upper ? lq : LnGammaComplement(lq);
}

// Where a + b ≥ kStirlingFrom the incomplete beta function is taken from one
// of two expansions when x lies where they are accurate and short;
// elsewhere the continued fraction remains (see LargeParameterBeta). p is
// the smaller parameter, q the larger, λ = a − (a + b)·x formed without
// rounding error, σ = √(pq/(p + q)) its standard deviation.
//   Gamma form: x on p's side (x, or 1 − x, exact from ½ on) at most ½ with
//     p·w² ≤ kGammaFormWidth, w = −ln(1 − x on p's side): x there, not
//     1 − x, carries the distance from the mean. Its series and fraction take
//     few terms up to p = kGammaFormCheapTo, and far from the mean beyond.
//   Temme's uniform expansion: p ≥ kUniformFrom; accurate out to |λ| = p/2
//     where p's side leads and to p where q's does, and short out to
//     max(kUniformReach·p, kUniformWidths·σ), where the fraction becomes
//     short; out to the accurate limit where the fraction would evaluate q's
//     side of a pair with q > kUnequal·p (it would lose the distance from the
//     mean in the rounding of (a + b)·x).
constexpr double kUniformFrom = 30.0;
constexpr double kGammaFormWidth = 4e-3;
constexpr double kGammaFormCheapTo = 1000.0;
constexpr double kGammaFormTo = 1e150;
constexpr double kUniformReach = 0.05;
constexpr double kUniformWidths = 5.0;
constexpr double kUnequal = 16.0;
constexpr double kBeyondDoubles = 1000.0;
constexpr double kLogOnly = 1e17;

struct BetaSide {
    bool applies;
    double lnDirect;
    bool lowerDirect;  // lnDirect is ln I, else ln(1 − I)
};

// The gamma form for the smaller parameter p, the larger q and the argument
// xs on p's side (x when p is a).
BetaSide GammaFormSide(double p, double q, double xs, bool aSmall) {
    const beta_detail::GammaFormBeta g = beta_detail::GammaFormLowerBeta(p, q, xs);
    const double ln = g.lnDirect + StirlingRemainder(p + q) - StirlingRemainder(q);
    return {true, ln, g.lowerDirect == aSmall};
}

// Temme's expansion for I (λ ≥ 0) or 1 − I (λ < 0).
BetaSide UniformSide(double a, double b, double lambda) {
    // Below the mean I directly; above it 1 − I = I_{1−x}(b, a) with −λ.
    const bool lower = lambda >= 0.0;
    const beta_detail::UniformBeta u = lower ? beta_detail::UniformLowerBeta(a, b, lambda)
                                             : beta_detail::UniformLowerBeta(b, a, -lambda);
    const double ln = u.lnFactor - StirlingRemainder(a) - StirlingRemainder(b) +
                      StirlingRemainder(a + b) + std::log(u.sum);
    return {true, ln, lower};
}

BetaSide LargeParameterBeta(double a, double b, double x) {
    if (!(a + b >= kStirlingFrom)) return {false, 0.0, false};
    // I_½(a, a) = ½ by symmetry, exactly.
    if (a == b && x == 0.5) return {true, -kLn2, true};
    const bool aSmall = a <= b;
    const double p = aSmall ? a : b;
    const double q = aSmall ? b : a;
    const double xs = aSmall ? x : 1.0 - x;
    const double w = -std::log1p(-xs);
    // (q + (p − 1)/2)·w, the gamma argument, at most 1e50: its powers stay finite.
    // Below p = 1 the expansion's terms fall with w² rather than p·w²: its
    // first dropped term, below 8.2e-7·|p − 1|·w⁸ of I, reached 2.4e-12 of
    // |ln I| (about q·w) at w = 0.65, q = 16865; where that estimate exceeds a
    // tenth of the bound the continued fraction takes over (within 1e-15 there;
    // a p below the normal range keeps the gamma form, which the fraction's
    // prefactor could not take).
    const bool truncationShows = p >= std::numeric_limits<double>::min() &&
                                 8.2e-7 * std::fabs(p - 1.0) * std::pow(w, 7) > 1e-13 * q;
    const bool gammaForm = xs <= 0.5 && p * w * w <= kGammaFormWidth && p <= kGammaFormTo &&
                           (q + 0.5 * (p - 1.0)) * w <= 1e50 && !truncationShows;
    if (gammaForm && p <= kGammaFormCheapTo) return GammaFormSide(p, q, xs, aSmall);
    if (p >= kUniformFrom) {
        const double lambda = beta_detail::MeanDistance(a, b, x);
        const double width = std::sqrt(p / (p + q) * q);  // standard deviation of λ
        // q leads where x lies above p's mean (1 − I from I_{1−x}(q, p)).
        const bool largeFirst = (lambda < 0.0) == aSmall;
        const double limit = largeFirst ? p : 0.5 * p;
        const double reach = largeFirst && q > kUnequal * p
                                 ? limit
                                 : std::fmax(kUniformReach * p, kUniformWidths * width);
        if (std::fabs(lambda) <= std::fmin(limit, reach)) return UniformSide(a, b, lambda);
    }
    if (gammaForm) return GammaFormSide(p, q, xs, aSmall);
    // Above the mean and far beyond the expansions, 1 − I < e^−f (f from
    // log1p of the relative distances) lies below the smallest double: I is
    // 1 and ln I −0 without the fraction, which at huge parameters does not
    // converge there.
    // Below the mean, where f exceeds 1e17, ln I = −f to 4e-15 of itself (the
    // rest, the logarithm of a power of the parameters, stays below 400).
    const double lambda = beta_detail::MeanDistance(a, b, x);
    const double f = -a * std::log1p(-lambda / a) - b * std::log1p(lambda / b);
    if (lambda < 0.0 && f > kBeyondDoubles) return {true, -f, false};
    if (lambda > 0.0 && f > kLogOnly) return {true, -f, true};
    return {false, 0.0, false};
}

// The sum Σ B_2k/(2k·a^2k) of ψ(a) = ln a − 1/(2a) − that, a ≥ 20.
double DigammaSeriesTail(double a) {
    const double r = 1.0 / (a * a);
    return r * (1.0 / 12 - r * (1.0 / 120 - r * (1.0 / 252 - r * (1.0 / 240 - r * (1.0 / 132)))));
}

// ψ(a) + γ for a > 0: the recurrence ψ(a) = ψ(a + 1) − 1/a up to 20, then
// the asymptotic series (its next term, 691/(32760·a^12), is below 6e-18).
double DigammaPlusEuler(double a) {
    double shift = 0.0;
    while (a < 20.0) {
        shift += 1.0 / a;
        a += 1.0;
    }
    return std::log(a) - 0.5 / a - DigammaSeriesTail(a) + kEulerGamma - shift;
}

// For a tiny second parameter b, I_x(a, b) = b·B_x(a, 0)·(1 + O(b)) with
// B_x(a, 0) = ∫₀ˣ t^(a−1)/(1 − t) dt = −ln y − ψ(a) − γ − Σ_{n≥1} C(a − 1, n)·(−y)^n/n,
// y = 1 − x. The O(b) part is below b·(ln²y + |ψ(a) + γ| + 1) of it; where
// that is under 1e-16 the first-order form is returned (0 where it does
// not apply). It serves the side where the fraction would give 1 − I and
// round I away: there y ≤ (b + 1)/(a + b + 2), a·y < 1 and the series takes
// few terms.
double TinyParameterBetaIntegral(double a, double b, double y) {
    const double lny = std::log(y);
    const double psi = DigammaPlusEuler(a);
    if (!(b * (lny * lny + std::fabs(psi) + 1.0) <= 1e-16)) return 0.0;
    double c = 1.0;
    double sum = 0.0;
    for (int n = 1; n <= 300; ++n) {
        c *= (a - n) * -y / n;
        const double term = c / n;
        sum += term;
        if (std::fabs(term) <= 1e-17 * std::fabs(sum) || c == 0.0) break;
    }
    return -lny - psi - sum;
}

// ζ(k) for k = 2 ... 25.
constexpr int kZetaTo = 25;
constexpr double kZeta[kZetaTo - 1] = {
    1.6449340668482264, 1.2020569031595943, 1.0823232337111382, 1.0369277551433699,
    1.0173430619844491, 1.0083492773819228, 1.0040773561979443, 1.0020083928260822,
    1.0009945751278181, 1.0004941886041195, 1.000246086553308,  1.0001227133475785,
    1.0000612481350587, 1.000030588236307,  1.0000152822594087, 1.0000076371976379,
    1.000003817293265,  1.0000019082127166, 1.0000009539620339, 1.0000004769329868,
    1.0000002384505027, 1.000000119219926,  1.0000000596081891, 1.0000000298035035};

// ln c − b·(ψ(a) + γ), c = Γ(a + b)/(Γ(a)·Γ(1 + b)), for b ≤ kSmallRatio·min(1,
// a), from the Taylor series of ln c in b: b·(ψ(a) + γ) + Σ_{k≥2} (−1)^k/k·
// b^k·(ζ(k, a) − ζ(k)).
// ζ(k, a) = Σ_{j<N} (a + j)^−k + ζ(k, A), A = a + N ≥ 20, the last by its
// Euler–Maclaurin series A^(1−k)/(k − 1) + A^−k/2 + Σ B_2i/(2i)!·(k)_(2i−1)·A^(1−k−2i)
// (six terms; the seventh is below 1.5e-17 of A^−k at k = 2, and b^k keeps
// it far below the sum for larger k). Every power is taken as
// (b/(a + j))^k so that a tiny a does not overflow a^−k. The terms fall by at
// least kSmallRatio; the sum ends where they are below 1e-17 of `scale`
// (b or b·|ψ(a) + γ|, whichever is larger).
constexpr double kSmallRatio = 0.1;
double LnGammaRatioHigherOrders(double a, double b, double scale) {
    constexpr double kBernoulli[6] = {1.0 / 12,       -1.0 / 720,      1.0 / 30240,
                                      -1.0 / 1209600, 1.0 / 47900160, -691.0 / 1307674368000.0};
    double ratio[20];  // b/(a + j)
    double power[20];  // its k-th power
    int n = 0;
    double big = a;
    for (; big < 20.0; big += 1.0, ++n) power[n] = ratio[n] = b / big;
    const double rA = b / big;
    double powA = rA;
    double bk = b;
    double sum = 0.0;
    for (int k = 2; k <= kZetaTo; ++k) {
        double shifted = 0.0;
        for (int j = 0; j < n; ++j) {
            power[j] *= ratio[j];
            shifted += power[j];
        }
        powA *= rA;
        bk *= b;
        // A^k·ζ(k, A) − A/(k − 1) − ½ by its Euler–Maclaurin terms.
        const double r2 = 1.0 / (big * big);
        double poch = k / big;  // (k)_(2i−1)·A^(1−2i)
        double tail = 0.0;
        for (int i = 0; i < 6; ++i) {
            tail += kBernoulli[i] * poch;
            poch *= (k + 2.0 * i + 1.0) * (k + 2.0 * i + 2.0) * r2;
        }
        const double zetaTail = powA * (big / (k - 1) + 0.5 + tail);
        const double term = (shifted + zetaTail - bk * kZeta[k - 2]) / k;
        sum += (k % 2 == 0) ? term : -term;
        if (std::fabs(term) <= 1e-17 * scale) break;
    }
    return sum;
}

// I_x(a, b)/b for a small b, x = 1 − y on the side where the fraction gives
// 1 − I (y ≤ (b + 1)/(a + b + 2)), from the exact form
//   1 − I = I_y(b, a) = c·y^b·(1 + b·S),  S = Σ_{n≥1} (1 − a)_n·y^n/(n!·(b + n)),
//   I/b = −expm1(l)/b − c·y^b·S,  l = b·ln y + ln c = b·g,
// whose two parts are each of the order of 1, so nothing of I cancels
// against 1, and a subnormal b keeps its digits (expm1(l)/b = g·expm1(l)/l).
// From a = 20 on, ln y + ψ(a) (−ln a and ln a on this side) is taken as
// ln(a·y) + ψ(a) − ln a. 0 where b > kSmallRatio·min(1, a) (the series of
// ln c ends late).
double SmallParameterBeta(double a, double b, double y) {
    if (!(b <= kSmallRatio * std::fmin(1.0, a))) return 0.0;
    double first;  // ln y + ψ(a) + γ
    double scale;
    if (a >= 20.0) {
        first = std::log(a * y) + (kEulerGamma - 0.5 / a - DigammaSeriesTail(a));
        scale = b;
    } else {
        const double psi = DigammaPlusEuler(a);
        first = std::log(y) + psi;
        scale = b * std::fmax(1.0, std::fabs(psi));
    }
    const double g = first + LnGammaRatioHigherOrders(a, b, scale) / b;
    const double l = b * g;
    double r = 1.0;
    double s = 0.0;
    for (int n = 1; n <= 500; ++n) {
        r *= (n - a) * y / n;
        const double term = r / (b + n);
        s += term;
        if (std::fabs(term) <= 1e-17 * std::fabs(s) || r == 0.0) break;
    }
    return -g * (l == 0.0 ? 1.0 : std::expm1(l) / l) - std::exp(l) * s;
}

// Where the fraction gives 1 − I and I is small, I carries the rounding of
// the complement, about (20 + p·ln(1 + p))·1e-16 absolute for the larger
// parameter p (measured against mpmath from a = 0.25 to 9990, b from 1e-16
// to 0.5: 1e-15 to 7e-15 up to p = 10, 1e-14 at 30, up to 8e-14 at 100,
// 1.3e-12 at 1000 and 2e-11 at 9990, the rounding of ln Γ(p)). The
// small-parameter form takes the calls where this estimate exceeds the
// fraction's bound of 6e-10 of the value (of |ln I| for the logarithm).
// From a + b = kStirlingFrom on, where the gamma form gives 1 − I (as P of
// the small parameter) with the Stirling prefactor, the complement keeps
// about 1e-16 absolute, up to 2.2e-16 (measured from a + b = 1e4 to 1e7
// with the small parameter from 1e-6 to 3e-3, and 2.5e-16 from a = 1e4 to
// 1e8); the bound of that region is 1e-12. The estimate, 4e-16, puts the
// switch where the complement's error would reach about half the bound
// (at 1e-16 it left calls at 1.6e-12 of I and 1.9e-12 of ln I).
constexpr double kFractionBound = 6e-10;
constexpr double kLargeBound = 1e-12;
constexpr double kLargeComplementRounding = 4e-16;
double ComplementRounding(double p) { return 1e-16 * (20.0 + p * std::log1p(p)); }

// I_x(a, b)/b (x = 1 − y) by SmallParameterBeta where the complement would
// leave I beyond the bound of its region, else 0. `log`: the bound of ln I,
// which only a small I (below ½) misses: near 1 the complement keeps it.
double SmallSideBeta(double a, double b, double y, bool log) {
    const bool large = !(a + b < kStirlingFrom);
    const double rounding = large ? kLargeComplementRounding : ComplementRounding(a);
    const double bound = large ? kLargeBound : kFractionBound;
    // On this side I is at least about b·E1(1) ≈ b/5: no series where it
    // cannot be small enough.
    if (!(b * bound <= 20.0 * rounding)) return 0.0;
    const double perB = SmallParameterBeta(a, b, y);
    const double i = b * perB;
    const double weight = log ? -(std::log(b) + std::log(perB)) : 1.0;
    return perB > 0.0 && i < 0.5 && i * weight * bound < rounding ? perB : 0.0;
}

// Unbiased variance of n ≥ 2 values from one pass of sums, (Σd² − n·m²)/(n − 1)
// with d the values less the first one and m their mean: the one-pass
// formula about a shift from inside the sample, so that a large common offset
// does not cancel the digits of the spread.
double SampleVariance(const double* data, int n) {
    const double shift = data[0];
    double sum = 0.0;
    double sum2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double d = data[i] - shift;
        sum += d;
        sum2 += d * d;
    }
    const double mean = sum / n;
    return (sum2 - n * (mean * mean)) / (n - 1);
}

}  // namespace

double LnGamma(double x) {
    if (x == kInf) return kInf;
    double tmp = x + 5.5;
    tmp -= (x + 0.5) * std::log(tmp);
    double ser = 1.000000000190015;
    for (int j = 0; j < 6; ++j) ser += kLanczos[j] / (x + (j + 1));
    const double ratio = 2.5066282746310005 * ser / x;
    // Below about 1e-307 the ratio overflows; its logarithm does not.
    if (ratio == kInf && x > 0.0) return std::log(2.5066282746310005 * ser) - std::log(x) - tmp;
    return std::log(ratio) - tmp;
}

double Gamma_P(double a, double x) { return IncompleteGamma(a, x, false, false); }
double Gamma_Q(double a, double x) { return IncompleteGamma(a, x, true, false); }
double LnGamma_P(double a, double x) { return IncompleteGamma(a, x, false, true); }
double LnGamma_Q(double a, double x) { return IncompleteGamma(a, x, true, true); }

double Beta_I(double a, double b, double x) {
    if (BetaArgsBad(a, b, x)) return 0.0;
    if (x == 0.0) return 0.0;
    if (x == 1.0) return 1.0;
    if (const Limit l = LimitAt(a, b, 0.0, 1.0); l.applies) return l.value;
    // From a + b = kStirlingFrom on too, a small b with x at or above
    // (a + 1)/(a + b + 2) takes the small-parameter form first (the gamma
    // form gives 1 − I there).
    if (a + b >= kStirlingFrom && !(x < (a + 1.0) / (a + b + 2.0)))
        if (const double perB = SmallSideBeta(a, b, 1.0 - x, false); perB > 0.0) return b * perB;
    if (const BetaSide s = LargeParameterBeta(a, b, x); s.applies) {
        const double direct = std::exp(s.lnDirect);
        return s.lowerDirect ? direct : 1.0 - direct;
    }
    const double lbt = LnBetaPrefactor(a, b, x);
    const double bt = std::exp(lbt);
    // A parameter below the normal range: the prefactor and the division by
    // the parameter are joined in the logarithm (e^lbt alone is subnormal).
    const bool subnormal = std::fmin(a, b) < std::numeric_limits<double>::min();
    double i;
    if (x < (a + 1.0) / (a + b + 2.0))
        i = subnormal ? std::exp(lbt + std::log(BetaContFrac(a, b, x)) - std::log(a))
                      : bt * BetaContFrac(a, b, x) / a;
    else if (const double bx = TinyParameterBetaIntegral(a, b, 1.0 - x); bx > 0.0)
        i = b * bx;
    else if (const double perB = SmallSideBeta(a, b, 1.0 - x, false); perB > 0.0)
        i = b * perB;
    else {
        const double cf = BetaContFrac(b, a, 1.0 - x);
        i = 1.0 - (subnormal ? std::exp(lbt + std::log(cf) - std::log(b)) : bt * cf / b);
        // A small b: I is the complement of a side close to 1.
        if (SmallParameterSideLoses(b, a, (1.0 - i) / i))
            i = -std::expm1(LnSmallParameterSide(b, a, 1.0 - x) + std::log(cf));
    }
    // An estimate left by a fraction that did not converge stays a probability.
    return std::fmin(1.0, std::fmax(0.0, i));
}

double LnBeta_I(double a, double b, double x) {
    if (BetaArgsBad(a, b, x)) return 0.0;
    if (x == 0.0) return -kInf;
    if (x == 1.0) return 0.0;
    if (const Limit l = LimitAt(a, b, 0.0, 1.0); l.applies) return std::log(l.value);
    if (a + b >= kStirlingFrom) {
        // A small parameter as in Beta_I; with a the small one, ln(1 − a·(that)).
        const bool below = x < (a + 1.0) / (a + b + 2.0);
        const double per = below ? SmallSideBeta(b, a, x, false) : SmallSideBeta(a, b, 1.0 - x, true);
        if (per > 0.0) return below ? std::log1p(-a * per) : std::log(b) + std::log(per);
    }
    if (const BetaSide s = LargeParameterBeta(a, b, x); s.applies)
        return std::fmin(0.0, s.lowerDirect ? s.lnDirect : LnComplement(s.lnDirect));
    const double lbt = LnBetaPrefactor(a, b, x);
    double li;
    if (x < (a + 1.0) / (a + b + 2.0)) {
        // A tiny a: 1 − I = a·B_{1−x}(b, 0) directly, which ln I = ln(1 − that) keeps.
        if (const double bx = TinyParameterBetaIntegral(b, a, x); bx > 0.0)
            li = std::log1p(-a * bx);
        else if (const double perA = SmallSideBeta(b, a, x, false); perA > 0.0)
            li = std::log1p(-a * perA);
        else {
            const double cf = LnBetaContFrac(a, b, x);
            li = lbt + cf - std::log(a);
            // A small a: I is close to 1 and ln I of the order of 1 − I.
            if (SmallParameterSideLoses(a, b, 1.0 / std::fabs(li)))
                li = LnSmallParameterSide(a, b, x) + cf;
        }
    } else if (const double bx = TinyParameterBetaIntegral(a, b, 1.0 - x); bx > 0.0) {
        li = std::log(b) + std::log(bx);
    } else if (const double perB = SmallSideBeta(a, b, 1.0 - x, true); perB > 0.0) {
        li = std::log(b) + std::log(perB);
    } else {
        // From y = −15 on the rounding of 1 − e^y exceeds 3.6e-10 of
        // ln(1 − e^y) (−1.11e-15 for −1.0562e-15 at y = −34.5, 0 below −37).
        const double cf = LnBetaContFrac(b, a, 1.0 - x);
        double y = lbt + cf - std::log(b);
        li = y < -15.0 ? LnComplement(y) : LnOneMinusExp(y);
        // A small b: 1 − I = e^y is close to 1 (error of y times e^y/(1 − e^y)
        // in I, over |ln I| in its logarithm).
        if (SmallParameterSideLoses(b, a, -std::exp(y) / std::expm1(y) / std::fabs(li))) {
            y = LnSmallParameterSide(b, a, 1.0 - x) + cf;
            li = y < -15.0 ? LnComplement(y) : LnOneMinusExp(y);
        }
    }
    return std::fmin(0.0, li);
}

double Beta(double a, double b) { return std::exp(LnBeta(a, b)); }

double LnBeta(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return a + b;
    if (a == kInf || b == kInf) return -kInf;
    const double small = std::fmin(a, b);
    const double large = std::fmax(a, b);
    if (small + large < kStirlingFrom) return LnGamma(a) + LnGamma(b) - LnGamma(a + b);
    const double lnGammaSmall = LnGamma(small);
    if (lnGammaSmall < kInf && small + large < kInf) return lnGammaSmall + LnGammaDifference(small, large);
    // Both parameters so large that ln Γ or their sum overflows: Stirling's
    // formula for all three, −a·ln(1 + b/a) − b·ln(1 + a/b) + ½·ln(2π(1/a +
    // 1/b)) + δ(a) + δ(b) − δ(a + b), whose terms stay finite.
    return -small * std::log1p(large / small) - large * std::log1p(small / large) +
           0.5 * std::log(1.0 / small + 1.0 / large) + kHalfLn2Pi + StirlingRemainder(small) +
           StirlingRemainder(large) - StirlingRemainder(small + large);
}

double beta_detail::StirlingDelta(double z) { return StirlingRemainder(z); }
double beta_detail::Log1pMinus(double t) { return ::Log1pMinus(t); }
double beta_detail::ScaledLogRatioMinus(double a, double x) { return ::ScaledLogRatioMinus(a, x); }

double FTest(const double* dataA, int na, const double* dataB, int nb, double* f) {
    if (na < 2 || nb < 2) return 0.0;
    const double varA = SampleVariance(dataA, na);
    const double varB = SampleVariance(dataB, nb);
    // A sample holding NaN or an infinity has no variance to compare.
    if (std::isnan(varA) || std::isnan(varB)) {
        VeskError(3);
        return 0.0;
    }
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
