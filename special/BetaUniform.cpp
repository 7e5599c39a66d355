// Temme's uniform asymptotic expansion of the incomplete beta function.
#include "special/BetaUniform.h"

#include <cmath>

namespace beta_detail {

namespace {

constexpr double kTwoOverRootPi = 1.1283791670955126;  // 2/√π
constexpr double kInvTwoRootTwo = 0.35355339059327376;  // 2^(−3/2)
constexpr int kTerms = 20;                             // coefficients of the expansion
constexpr double kStop = 1e-16;                        // relative size of the last term

// φ(t) = t − ln(1 + t) for t > −1, without cancelling for small t (0.0 −
// keeps φ(0) = +0).
double Phi(double t) { return 0.0 - Log1pMinus(t); }

// Lanes of the coefficient recursion computed side by side: the coefficients
// 2...kTerms + 1 in groups of four.
constexpr int kLanes = 4;
static_assert(kTerms % kLanes == 0, "the groups of lanes end at kTerms + 1");

// c[i − 1] = b_{i−1}(i)/(i + 1) for i = lo...lo + kLanes − 1, where for each
// i the coefficients b_k of (Σ a0ₖ wᵏ)^r, r = −(i + 1)/2, follow from the
// power recursion. Each i needs its own O(i²) recursion; the lanes are
// independent, so they run side by side (in registers) instead of one long
// chain of additions. Every lane adds its terms in the same order as a lone
// recursion would, and its factors j·r − (m − j), halves of small integers,
// are exact however they are formed (here by steps of r + 1), so the values do
// not depend on the grouping.
void PowerCoefficients(const double* a0, int lo, double* c) {
    const int hi = lo + kLanes - 1;
    double r[kLanes], rStep[kLanes];
    double b0[kTerms + 1][kLanes];
    for (int l = 0; l < kLanes; ++l) {
        r[l] = -0.5 * (lo + l + 1.0);
        rStep[l] = r[l] + 1.0;
        b0[0][l] = r[l] * a0[0];
    }
    // Lanes past their own i (i < m) run along; their values are not used.
    for (int m = 2; m <= hi; ++m) {
        double bsum[kLanes] = {};
        double factor[kLanes];
        for (int l = 0; l < kLanes; ++l) factor[l] = r[l] - (m - 1);
        for (int j = 1; j <= m - 1; ++j) {
            const double aj = a0[j - 1];
            const double* bj = b0[m - j - 1];
            for (int l = 0; l < kLanes; ++l) {
                bsum[l] += factor[l] * aj * bj[l];
                factor[l] += rStep[l];
            }
        }
        for (int l = 0; l < kLanes; ++l) b0[m - 1][l] = r[l] * a0[m - 1] + bsum[l] / m;
    }
    for (int l = 0; l < kLanes; ++l) c[lo + l - 1] = b0[lo + l - 1][l] / (lo + l + 1.0);
}

}  // namespace

double MeanDistance(double a, double b, double x) {
    // Beyond the double range a + b is formed at half scale, exactly.
    double scale = 1.0;
    if (a + b == INFINITY) {
        a *= 0.5;
        b *= 0.5;
        scale = 2.0;
    }
    const double s = a + b;
    const double sErr = (a - (s - (s - a))) + (b - (s - a));  // a + b = s + sErr
    const double p = s * x;
    const double pErr = std::fma(s, x, -p);  // s·x = p + pErr
    return scale * ((a - p) - (pErr + sErr * x));
}

double ScaledErfc(double z) {
    // The product rounds e^(z²) once (z² itself carries at most 16 units of
    // 1e-16 relative below z = 4).
    if (z < 4.0) return std::exp(z * z) * std::erfc(z);
    // Laplace's continued fraction 1/√π / (z + (1/2)/(z + 1/(z + (3/2)/(z + ...)))),
    // evaluated from its 60th level (below 1e-17 from z = 4 on). The levels
    // beyond K change the result by about K!/(2z²)^K of itself; larger z start
    // where that stays below 1e-30, so the rounded result is the same as from
    // the 60th level (checked bit for bit at 3.2e7 points from z = 4 to 4e6),
    // and the chain of divisions is up to ten times shorter.
    const int levels = z < 8.0 ? 60 : z < 16.0 ? 30 : z < 32.0 ? 16 : z < 128.0 ? 12 : z < 1024.0 ? 8 : 6;
    double f = z;
    for (int k = levels; k >= 1; --k) f = z + 0.5 * k / f;
    return 0.56418958354775629 / f;
}

UniformBeta UniformLowerBeta(double a, double b, double lambda) {
    double h, r0, r1, w0;
    if (a < b) {
        h = a / b;
        r1 = (b - a) / b;
        w0 = 1.0 / std::sqrt(a * (1.0 + h));
    } else {
        h = b / a;
        r1 = (b - a) / a;
        w0 = 1.0 / std::sqrt(b * (1.0 + h));
    }
    r0 = 1.0 / (1.0 + h);
    const double f = a * Phi(-lambda / a) + b * Phi(lambda / b);
    const double z0 = std::sqrt(f);
    const double z = 0.5 * (z0 / kInvTwoRootTwo);
    const double z2 = f + f;

    double a0[kTerms + 1], c[kTerms + 1], d[kTerms + 1];
    a0[0] = (2.0 / 3.0) * r1;
    c[0] = -0.5 * a0[0];
    d[0] = -c[0];
    // The integrals J₀, J₁ of the terms carry their powers of w0 (j0 as
    // w0ⁿ·J₀ₙ, j1 as w0ⁿ⁺¹·J₁ₙ, the powers of z likewise), so that neither a
    // huge z nor a tiny w0 overflows at huge parameters.
    double j0 = (0.5 / kTwoOverRootPi) * ScaledErfc(z0);
    double j1 = kInvTwoRootTwo * w0;
    double sum = j0 + d[0] * j1;
    const double w2 = w0 * w0;
    const double step = z2 * w2;

    // a0ₖ, the coefficients of the expanded exponent, all ahead (they are cheap).
    double s = 1.0;
    const double h2 = h * h;
    double hn = 1.0;
    for (int n = 2; n <= kTerms; n += 2) {
        // (a/b)²ⁿ below 1e-40 changes nothing; its subnormal powers would
        // slow every later step a hundredfold.
        hn *= h2;
        if (hn < 1e-40) hn = 0.0;
        a0[n - 1] = 2.0 * r0 * (1.0 + h * hn) / (n + 2.0);
        s += hn;
        a0[n] = 2.0 * r1 * s / (n + 3.0);
    }
    double znm1 = z * w2;
    double zn = z2 * w2 * w0;
    int ready = 1;  // c[0...ready − 1] are known
    for (int n = 2; n <= kTerms; n += 2) {
        const int np1 = n + 1;
        if (ready < np1) {
            PowerCoefficients(a0, n, c);
            ready = n + kLanes - 1;
        }
        for (int i = n; i <= np1; ++i) {
            double dsum = 0.0;
            for (int j = 1; j <= i - 1; ++j) dsum += d[i - j - 1] * c[j - 1];
            d[i - 1] = -(dsum + c[i - 1]);
        }
        j0 = kInvTwoRootTwo * znm1 + (n - 1.0) * w2 * j0;
        j1 = kInvTwoRootTwo * zn + n * w2 * j1;
        znm1 *= step;
        zn *= step;
        const double t0 = d[n - 1] * j0;
        const double t1 = d[np1 - 1] * j1;
        sum += t0 + t1;
        if (std::fabs(t0) + std::fabs(t1) <= kStop * sum) break;
    }
    return {-f, kTwoOverRootPi * sum};
}

namespace {

// ln(z^p·e^−z/Γ(p + 1)) for z > 0: for p below 10 directly, from there as
// p·(ln(1 + t) − t) − ½·ln(2πp) − δ(p) with t = (z − p)/p, so that p·ln z and
// ln Γ(p + 1) are not formed and cancelled. The rounding of t, which ln(1 + t)
// magnifies by p/z, costs up to p²/z·1.1e-16 (3e-8 in ln I = −22569 at p =
// 1960, z = 6.4e-3; 8.8e-8 of I = 4.8e-122 at p = 16, z = 2.1e-7): where that
// exceeds 1e-13, a tenth of the bound, and below z = p/16 (where ln(z/p),
// whose own rounding is p·|ln(z/p)| units, is the better by a factor 3 or more),
// ln(1 + t) is taken from ln(z/p) (ScaledLogRatioMinus).
double LnGammaDensity(double p, double z) {
    if (p < 10.0) return p * std::log(z) - z - std::log(std::tgamma(p + 1.0));
    constexpr double kLn2Pi = 1.8378770664093455;
    const bool roundingShows = 16.0 * z < p && p * p * 1.1e-16 > 1e-13 * z;
    const double scaled = roundingShows ? ScaledLogRatioMinus(p, z) : -p * Phi((z - p) / p);
    return scaled - 0.5 * (kLn2Pi + std::log(p)) - StirlingDelta(p);
}

// Terms of the series and fraction of the incomplete gamma function.
constexpr int kGammaTerms = 2000;

}  // namespace

GammaFormBeta GammaFormLowerBeta(double p, double q, double x) {
    const double w = -std::log1p(-x);
    const double nu = q + 0.5 * (p - 1.0);
    const double z = nu * w;
    // Coefficients of w², w⁴, w⁶ in ((1 − e^−w)/(w·e^−w/2))^m = (sinh(w/2)/(w/2))^m,
    //   c1 = m/24, c2 = (m²/72 − m/180)/16, c3 = (m/2835 − m²/1080 + m³/1296)/64,
    // taken as kₖ = cₖ·(p)₂ₖ/ν²ᵏ without its factor p (so that a p below the
    // normal range does not lose the digits of the Q side), grouped as
    // (cₖ/νᵏ)·((p + 1)···(p + 2k − 1)/νᵏ) with factors m/ν and (p + j)/ν, so
    // that nothing overflows for p up to 1e150.
    const double m = p - 1.0;
    const double s = 1.0 / nu;
    const double ms = m * s;
    const double f1 = (p + 1.0) * s, f2 = (p + 2.0) * s, f3 = (p + 3.0) * s;
    const double k1 = ms / 24.0 * f1;
    const double k2 = (ms * ms / 72.0 - ms * s / 180.0) / 16.0 * f1 * f2 * (p + 3.0);
    const double k3 = (ms * s * s / 2835.0 - ms * ms * s / 1080.0 + ms * ms * ms / 1296.0) / 64.0 *
                      f1 * f2 * f3 * (p + 4.0) * (p + 5.0);
    // ln K = ln Γ(p + q) − ln Γ(q) − p·ln ν by Stirling's formula, less the δ terms.
    const double lnK = -q * Phi(p / q) - 0.5 * std::log1p(p / q) + p * std::log1p(0.5 * (p + 1.0) / nu);
    const double lnD = LnGammaDensity(p, z);  // ln(z^p·e^−z/Γ(p + 1))
    // t_n = z^n/((p + 1)...(p + n)): D·Σ_{n≥j} t_n = P(p + j, z) for the lower side,
    // D·t_j is the step from Q(p + j) to Q(p + j + 1).
    double t[6];
    t[0] = 1.0;
    for (int n = 1; n < 6; ++n) t[n] = t[n - 1] * z / (p + n);
    double lnSum;  // ln of Σ p·kₖ·(side at p + 2k) in units of D
    const bool lower = z < p + 1.0;
    if (lower) {
        // P(p + j, z) = D·Σ_{n≥j} t_n: the tail beyond n = 5 once, then the
        // partial sums of the first terms added from the small end.
        double tail = 0.0;
        double term = t[5];
        for (int n = 6; n < kGammaTerms; ++n) {
            term *= z / (p + n);
            tail += term;
            if (term < 1e-17 * tail) break;
        }
        const double s6 = tail;
        const double s4 = s6 + t[5] + t[4];
        const double s2 = s4 + t[3] + t[2];
        const double s0 = s2 + t[1] + t[0];
        lnSum = std::log(s0 + p * (k1 * s2 + (k2 * s4 + k3 * s6)));
    } else {
        // Q(p, z) = D·p/z·F, F Legendre's continued fraction (modified Lentz).
        double b = z + 1.0 - p;
        double c = 1e300;
        double d = 1.0 / b;
        double h = d;
        for (int i = 1; i < kGammaTerms; ++i) {
            const double an = -i * (i - p);
            b += 2.0;
            d = an * d + b;
            if (std::fabs(d) < 1e-300) d = 1e-300;
            c = b + an / c;
            if (std::fabs(c) < 1e-300) c = 1e-300;
            d = 1.0 / d;
            const double del = d * c;
            h *= del;
            if (std::fabs(del - 1.0) < 1e-15) break;  // rounding keeps del from 1 at huge p
        }
        const double q0 = p * h;  // Q(p, z)/D
        const double q2 = q0 + t[0] + t[1];
        const double q4 = q2 + t[2] + t[3];
        const double q6 = q4 + t[4] + t[5];
        lnSum = std::log(p) + std::log(h + (k1 * q2 + (k2 * q4 + k3 * q6)));
    }
    return {lnK + lnD + lnSum, lower};
}

}  // namespace beta_detail
