// Bessel functions of fractional order: J, Y and I, K with their derivatives
// by Temme's series for x < 2 and Steed's continued-fraction method for
// x ≥ 2, and the Chebyshev expansions of the gamma terms they need.
#include <climits>
#include <cmath>
#include <numbers>

#include "host/VeskHost.h"
#include "special/Bessel.h"
#include "special/BesselAsymptotic.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kEps = 1e-16;
constexpr double kFpMin = 1e-300;
constexpr int kMaxIter = 1000;
constexpr double kXMin = 2.0;

// Chebyshev coefficients of gam1 and gam2 in 8μ² − 1.
constexpr double kC1[7] = {-1.142022680371168, 6.5165112670737e-3, 3.087090173086e-4,
                           -3.4706269649e-6,   6.9437664e-9,       3.67795e-11,
                           -1.356e-13};
constexpr double kC2[8] = {1.843740587300905, -7.68528408447867e-2, 1.2719271366546e-3,
                           -4.9717367042e-6,  -3.31261198e-8,       2.423096e-10,
                           -1.702e-13,        -1.49e-15};

// Orders up to 2³¹ (the magnitude of the most negative int order).
constexpr double kMaxOrder = 2147483648.0;
// Where BesselJY answers from Hankel's expansion instead of the continued
// fractions:
// - x − ν ≥ kHankelGap: the first continued fraction cannot converge within
//   its 1000 steps there (it needs the index to pass x; it converges up to
//   x − ν ≈ 930 at the most);
// - x ≥ kHankelMinX and ν ≤ x/2: the continued fractions' rounding grows with
//   x (6e-14 of the amplitude at x = 60, 2.6e-12 at 400, 7e-12 at 925),
//   while the expansion stays within 4e-15 from x = 20 on; it is also no
//   slower there (about ν − √(2x) recurrence steps against x continued-
//   fraction steps).
// Below both (x < 50, or ν > x/2 within 1000 of x) the results are those of
// the continued fractions.
constexpr double kHankelGap = 1000.0;
constexpr double kHankelMinX = 50.0;

// True where J, J′, I, I′ and K, K′ are surely normal doubles, so that the
// range tests (a few logarithms each) are skipped: for x in [1e-3, 705] and
// ν ≤ 50 the leading series term bounds ln I from below by −541 and the
// leading term of K's bounds ln K from above by 525, while ln I ≤ x and
// ln K ≥ −x − 4; Kapteyn's exponent of J stays above −525.
bool SurelyInRange(double x, double nu) { return x >= 1e-3 && x <= 705.0 && nu <= 50.0; }

bool UseHankel(double x, double nu) {
    return x - nu >= kHankelGap || (x >= kHankelMinX && nu <= 0.5 * x);
}

// |ln I| or |ln K| beyond this: the value lies far outside the double range
// (the estimate is within 0.1, the prefactors within e^22).
constexpr double kFarOut = 760.0;
constexpr double kInf = HUGE_VAL;

// How the results at |ν| give those at a negative order ν:
// - Integer ν = −n: C_−n = (−1)^n·C_n for J, Y and their derivatives (sign),
//   I_−n = I_n.
// - Non-integer ν = −ν′: with s = sin(πν′), c = cos(πν′),
//   J_−ν′ = c·J_ν′ − s·Y_ν′, Y_−ν′ = s·J_ν′ + c·Y_ν′,
//   I_−ν′ = I_ν′ + (2/π)·s·K_ν′, K_−ν′ = K_ν′, and the same for the
//   derivatives (c and s do not depend on x).
struct Reflection {
    bool fractional = false;
    double sign = 1.0;  // integer orders
    double s = 0.0;
    double c = 1.0;
};

// a·u + b·v with a term of an exactly zero coefficient left out: at a
// half-integer ν′ one of c, s is 0, and an infinite Y or K beside it must
// not make 0·∞ = NaN of the result.
double Combine(double a, double u, double b, double v) {
    if (a == 0.0) return b * v;
    if (b == 0.0) return a * u;
    return a * u + b * v;
}

// Checks x and ν for BesselJY and BesselIK. NaN in x or ν answers NaN
// results (true, *nanOut set); x ≤ 0, x = −∞ or |ν| > 2³¹ raise error 3
// (false). Otherwise *nu becomes |ν| and *r tells how to reflect.
enum class ArgCheck { Good, NaN, Bad };

ArgCheck CheckFracArgs(double x, double* nu, Reflection* r) {
    if (std::isnan(x) || std::isnan(*nu)) return ArgCheck::NaN;
    if (!(x > 0.0) || !(std::fabs(*nu) <= kMaxOrder)) {
        VeskError(3);
        return ArgCheck::Bad;
    }
    if (*nu < 0.0) {
        *nu = -*nu;
        if (*nu != std::trunc(*nu)) {
            r->fractional = true;
            bessel_detail::SinCosPi(*nu, &r->s, &r->c);
        } else if (std::fmod(*nu, 2.0) == 1.0) {
            r->sign = -1.0;
        }
    }
    return ArgCheck::Good;
}

// Where the power series gives I, I′, J and J′ instead of Temme's series and
// the continued fractions, whose rounding grows as x falls below 1 (measured
// against mpmath: 2.9e-14 at x = 1e-3, 4.9e-5 at 1e-12, ∞ or NaN from 1e-20
// for ν = 0.5; 1.3e-13 at x = 1.5 for ν = 50.5), while the series, whose
// terms fall by x²/(4k(ν + k)), stays within a few units of 1e-16: x ≤ 0.01
// for every order, and x < 2 from ν = 10 on.
bool SeriesServes(double x, double nu) { return x <= 0.01 || (nu >= 10.0 && x < 2.0); }

void WriteFour(double* a, double* b, double* c, double* d, double va, double vb, double vc,
               double vd) {
    *a = va;
    *b = vb;
    *c = vc;
    *d = vd;
}

// x/sin(x), 1 below the rounding of the quotient.
double XOverSin(double v) { return std::fabs(v) < kEps ? 1.0 : v / std::sin(v); }

// Start of Temme's series for the orders μ and μ + 1 at x < 2, shared by J, Y
// and I, K: with d = −ln(x/2) and e = μ·d,
//   fact = πμ/sin(πμ), sum = gam1·cosh(e) + gam2·(sinh(e)/e)·d, e = (2/x)^μ.
struct TemmeStart {
    double x2;    // x/2
    double pimu;  // πμ
    double fact;
    double sum;
    double e;
    double gampl;  // 1/Γ(1 + μ)
    double gammi;  // 1/Γ(1 − μ)
};

// With d = −ln(x/2) given (t.x2 is left unset).
TemmeStart StartTemmeAt(double d, double mu) {
    TemmeStart t;
    t.pimu = kPi * mu;
    t.fact = XOverSin(t.pimu);
    const double e = mu * d;
    const double fact2 = std::fabs(e) < kEps ? 1.0 : std::sinh(e) / e;
    double gam1;
    double gam2;
    GammaTerms(mu, &gam1, &gam2, &t.gampl, &t.gammi);
    t.sum = gam1 * std::cosh(e) + gam2 * fact2 * d;
    t.e = std::exp(e);
    return t;
}

TemmeStart StartTemme(double x, double mu) {
    const double x2 = 0.5 * x;
    TemmeStart t = StartTemmeAt(-std::log(x2), mu);
    t.x2 = x2;
    return t;
}

// ln(x/2) = ln(x·2⁶⁴/2) − 64·ln 2 for tiny x, where x/2 itself may lose the
// last bits of a subnormal x (and rounds 5e-324 to 0).
double LnHalfTiny(double x) { return std::log(0.5 * std::ldexp(x, 64)) - 64.0 * std::numbers::ln2; }
// (x/2)^ν/c and c·(2/x)^ν for tiny x: the scaled power first, so that only the
// final product rounds into the subnormal range or overflows.
double PowHalfTiny(double x, double nu, double c) {
    return std::pow(0.5 * std::ldexp(x, 64), nu) / c * std::exp2(-64.0 * nu);
}
double PowTwoOverTiny(double x, double nu, double c) {
    return c * std::pow(2.0 / std::ldexp(x, 64), nu) * std::exp2(64.0 * nu);
}

}  // namespace

double ChebEval(double a, double b, const double* c, int m, double x) {
    if ((x - a) * (x - b) > 0.0) {
        VeskError(3);
        return 0.0;
    }
    const double y = (2.0 * x - a - b) / (b - a);
    const double y2 = 2.0 * y;
    double d = 0.0;
    double dd = 0.0;
    for (int j = m - 1; j >= 1; --j) {
        const double sv = d;
        d = y2 * d - dd + c[j];
        dd = sv;
    }
    return y * d - dd + c[0] / 2.0;
}

void GammaTerms(double mu, double* gam1, double* gam2, double* gampl, double* gammi) {
    const double xx = 8.0 * mu * mu - 1.0;
    *gam1 = ChebEval(-1.0, 1.0, kC1, 7, xx);
    *gam2 = ChebEval(-1.0, 1.0, kC2, 8, xx);
    *gampl = *gam2 - mu * *gam1;
    *gammi = *gam2 + mu * *gam1;
}

namespace {

// Outcome of the described continued-fraction method of J and Y.
enum class Steed { Done, Cf1Failed, Failed };

// J, Y, J′, Y′ for x > 0, 0 ≤ ν < x + kHankelGap by Temme's series or
// Steed's method. Cf1Failed: the first continued fraction did not converge
// (no error raised); Failed: error 3 raised. Writes only on Done.
Steed SteedJY(double x, double nu, double* rj, double* ry, double* rjp, double* ryp) {
    int nl;
    if (x < kXMin) {
        nl = static_cast<int>(nu + 0.5);
    } else {
        const double t = nu - x + 1.5;
        nl = t > 0.0 ? static_cast<int>(t) : 0;
    }
    const double mu = nu - nl;
    const double mu2 = mu * mu;
    const double xi = 1.0 / x;
    const double xi2 = 2.0 * xi;
    const double w = xi2 / kPi;

    // CF1: J′_ν/J_ν, counting the sign changes of the denominators.
    int isign = 1;
    double h = nu * xi;
    if (h < kFpMin) h = kFpMin;
    double b = xi2 * nu;
    double d = 0.0;
    double c = h;
    int i;
    for (i = 1; i <= kMaxIter; ++i) {
        b += xi2;
        d = b - d;
        if (std::fabs(d) < kFpMin) d = kFpMin;
        c = b - 1.0 / c;
        if (std::fabs(c) < kFpMin) c = kFpMin;
        d = 1.0 / d;
        const double del = c * d;
        h = del * h;
        if (d < 0.0) isign = -isign;
        if (std::fabs(del - 1.0) < kEps) break;
    }
    if (i > kMaxIter) return Steed::Cf1Failed;

    // Downward recurrence from order ν to order μ (unnormalised).
    double rjl = isign * kFpMin;
    double rjpl = h * rjl;
    const double rjl1 = rjl;
    const double rjp1 = rjpl;
    double fact = nu * xi;
    for (int l = nl; l >= 1; --l) {
        const double rjtemp = fact * rjl + rjpl;
        fact -= xi;
        rjpl = fact * rjtemp - rjl;
        rjl = rjtemp;
    }
    if (rjl == 0.0) rjl = kEps;
    const double f = rjpl / rjl;

    double rjmu;
    double rymu;
    double rymup;
    double ry1;
    if (x < kXMin) {
        // Temme's series for Y_μ and Y_μ+1.
        const TemmeStart t = StartTemme(x, mu);
        double ff = 2.0 / kPi * t.fact * t.sum;
        double p = t.e / (t.gampl * kPi);
        double q = 1.0 / (t.e * kPi * t.gammi);
        const double pimu2 = 0.5 * t.pimu;
        const double fact3 = std::fabs(pimu2) < kEps ? 1.0 : std::sin(pimu2) / pimu2;
        const double r = kPi * pimu2 * (fact3 * fact3);
        c = 1.0;
        d = -t.x2 * t.x2;
        double sum = ff + r * q;
        double sum1 = p;
        for (i = 1; i <= kMaxIter; ++i) {
            ff = (i * ff + p + q) / (i * static_cast<double>(i) - mu2);
            c *= d / i;
            p /= i - mu;
            q /= i + mu;
            const double del = c * (ff + r * q);
            sum += del;
            const double del1 = c * p - i * del;
            sum1 += del1;
            if (std::fabs(del) < (1.0 + std::fabs(sum)) * kEps) break;
        }
        if (i > kMaxIter) {
            VeskError(3, "bessy series failed to converge");
            return Steed::Failed;
        }
        rymu = -sum;
        ry1 = -sum1 * xi2;
        rymup = mu * xi * rymu - ry1;
        rjmu = w / (rymup - f * rymu);
    } else {
        // CF2: p + iq = (J′_μ + iY′_μ)/(J_μ + iY_μ) by Steed's method.
        double a = 0.25 - mu2;
        double p = -0.5 * xi;
        double q = 1.0;
        const double br = 2.0 * x;
        double bi = 2.0;
        fact = a * xi / (p * p + q * q);
        double cr = br + q * fact;
        double ci = bi + p * fact;
        double den = br * br + bi * bi;
        double dr = br / den;
        double di = -bi / den;
        double dlr = cr * dr - ci * di;
        double dli = cr * di + ci * dr;
        double temp = p * dlr - q * dli;
        q = p * dli + q * dlr;
        p = temp;
        for (i = 2; i <= kMaxIter; ++i) {
            a += 2 * (i - 1);
            bi += 2.0;
            dr = a * dr + br;
            di = a * di + bi;
            if (std::fabs(dr) + std::fabs(di) < kFpMin) dr = kFpMin;
            fact = a / (cr * cr + ci * ci);
            cr = br + cr * fact;
            ci = bi - ci * fact;
            if (std::fabs(cr) + std::fabs(ci) < kFpMin) cr = kFpMin;
            den = dr * dr + di * di;
            dr /= den;
            di = -di / den;
            dlr = cr * dr - ci * di;
            dli = cr * di + ci * dr;
            temp = p * dlr - q * dli;
            q = p * dli + q * dlr;
            p = temp;
            if (std::fabs(dlr - 1.0) + std::fabs(dli) < kEps) break;
        }
        if (i > kMaxIter) {
            VeskError(3, "cf2 failed in bessjy");
            return Steed::Failed;
        }
        const double gam = (p - f) / q;
        rjmu = std::sqrt(w / ((p - f) * gam + q));
        if (rjl < 0.0) rjmu = -rjmu;
        rymu = rjmu * gam;
        rymup = rymu * (p + q / gam);
        ry1 = mu * xi * rymu - rymup;
    }

    fact = rjmu / rjl;
    *rj = rjl1 * fact;
    *rjp = rjp1 * fact;
    // Counted in 64 bits: nl may be INT_MAX.
    for (long long l = 1; l <= nl; ++l) {
        const double rytemp = (mu + l) * xi2 * ry1 - rymu;
        rymu = ry1;
        ry1 = rytemp;
    }
    *ry = rymu;
    *ryp = nu * xi * rymu - ry1;
    return Steed::Done;
}

// J, J′ (alternating) or I, I′ by the power series for x ≤ 0.01 where the
// first continued fraction failed (x below about 3e-308, where 2/x
// overflows): its terms in x² underflow there, leaving (x/2)^ν/Γ(ν + 1) and
// the derivative ν/x times it, (x/2)^(ν−1)/(2Γ(ν)) (∓x/2 for ν = 0).
void TinySeries(double x, double nu, bool alternating, double* value, double* derivative) {
    *value = PowHalfTiny(x, nu, std::tgamma(nu + 1.0));
    if (nu == 0.0) {
        *derivative = (alternating ? -0.5 : 0.5) * x;
        return;
    }
    // h^(ν−1) with h = x·2⁶³: ν − 1 is exact from ν = ½ on; below, h^ν/h
    // (a rounded ν − 1 would cost ν·ln h·1e-16 ≈ 4e-14).
    const double h = 0.5 * std::ldexp(x, 64);
    const double power = nu >= 0.5 ? std::pow(h, nu - 1.0) : std::pow(h, nu) / h;
    *derivative = power / (2.0 * std::tgamma(nu)) * std::exp2(64.0 - 64.0 * nu);
}

// Y and Y′ for x ≤ 0.01 where the first continued fraction failed (x below
// about 3e-308; the terms in x² of the series have underflowed there). For
// small ν Temme's leading terms of Y_ν and Y_ν+1 (no 2/x in Y_ν, and Y′
// taken as −Y_ν+1·(1 + πν·Y_ν/(2Γ(ν+1)·(2/x)^ν)), so that no ∞ − ∞
// arises); otherwise the leading form Y = −Γ(ν)/π·(2/x)^ν, Y′ = −ν·Y/x.
// Where they overflow, −∞ and +∞.
// From ν·ln(2/x) = 20 on (ν ≥ 0.028 at x = 1e-308) the leading small-x
// forms of Y and K are exact to rounding (the neglected part is within
// e^−40 of them); below it Temme's leading terms, whose e^(ν·ln(2/x))
// carries up to ν·ln(2/x)·1.1e-16 of relative error.
constexpr double kTinyLeadFrom = 20.0;

void TinyY(double x, double nu, double* ry, double* ryp) {
    if (nu * -LnHalfTiny(x) < kTinyLeadFrom) {
        const TemmeStart t = StartTemmeAt(-LnHalfTiny(x), nu);
        const double ff = 2.0 / kPi * t.fact * t.sum;
        const double q = 1.0 / (t.e * kPi * t.gammi);
        const double pimu2 = 0.5 * t.pimu;
        const double fact3 = std::fabs(pimu2) < kEps ? 1.0 : std::sin(pimu2) / pimu2;
        const double r = kPi * pimu2 * (fact3 * fact3);
        *ry = -(ff + r * q);
        const double minusY1 = 2.0 * t.e / (t.gampl * kPi) / x;  // −Y_ν+1
        *ryp = minusY1 * (1.0 + nu * *ry * t.gampl * kPi / (2.0 * t.e));
        return;
    }
    *ry = -PowTwoOverTiny(x, nu, std::tgamma(nu) / kPi);
    *ryp = (-nu * *ry) / x;
}

}  // namespace

namespace {

// J, Y, J′, Y′ for x > 0 and ν ≥ 0 into v; false after error 3.
bool JYNonNegative(double x, double nu, double* v) {
    if (x == kInf) {
        WriteFour(&v[0], &v[1], &v[2], &v[3], 0.0, 0.0, 0.0, 0.0);
    } else if (!SurelyInRange(x, nu) && bessel_detail::JYBeyondRange(x, nu)) {
        WriteFour(&v[0], &v[1], &v[2], &v[3], 0.0, -kInf, 0.0, kInf);
    } else {
        const Steed s =
            UseHankel(x, nu) ? Steed::Cf1Failed : SteedJY(x, nu, &v[0], &v[1], &v[2], &v[3]);
        if (s == Steed::Failed) return false;
        if (s == Steed::Cf1Failed && x <= 0.01) {
            TinySeries(x, nu, true, &v[0], &v[2]);
            TinyY(x, nu, &v[1], &v[3]);
        } else if (s == Steed::Cf1Failed &&
                   (x < kHankelMinX || !bessel_detail::JYLargeX(x, nu, &v[0], &v[1], &v[2], &v[3]))) {
            VeskError(3, "x too large; try asymptotic expansion");
            return false;
        }
        if (s == Steed::Done) {
            if (SeriesServes(x, nu)) bessel_detail::PowerSeries(x, nu, true, &v[0], &v[2]);
            // Below the first turning point Y < 0 rises steeply: where Y or Y′
            // overflowed inside the recurrences (∞ − ∞), their limits.
            if (x < nu || x < 1.0) {
                if (std::isnan(v[1])) v[1] = -kInf;
                if (std::isnan(v[3])) v[3] = kInf;
            }
        }
    }
    return true;
}

}  // namespace

bool BesselJY(double x, double nu, double* rj, double* ry, double* rjp, double* ryp) {
    Reflection r;
    switch (CheckFracArgs(x, &nu, &r)) {
        case ArgCheck::Bad: return false;
        case ArgCheck::NaN: WriteFour(rj, ry, rjp, ryp, NAN, NAN, NAN, NAN); return true;
        case ArgCheck::Good: break;
    }
    double v[4];
    if (!JYNonNegative(x, nu, v)) return false;
    if (r.fractional) {
        WriteFour(rj, ry, rjp, ryp, Combine(r.c, v[0], -r.s, v[1]), Combine(r.s, v[0], r.c, v[1]),
                  Combine(r.c, v[2], -r.s, v[3]), Combine(r.s, v[2], r.c, v[3]));
        return true;
    }
    WriteFour(rj, ry, rjp, ryp, r.sign * v[0], r.sign * v[1], r.sign * v[2], r.sign * v[3]);
    return true;
}

namespace {

// Orders too large for the recurrences, or x where K_μ underflows (and I_μ
// overflows) inside them: the expansions of BesselAsymptotic answer.
bool ExpansionServesIK(double x, double nu) {
    return nu > bessel_detail::kMaxRecurrenceOrder || x > bessel_detail::kMaxScaledX;
}

// K_μ and K_μ+1 (|μ| ≤ ½) by Temme's series (x < 2) or the second continued
// fraction with Temme's normalisation; false after error 3.
bool KPair(double x, double mu, double* rkmu, double* rk1) {
    const double mu2 = mu * mu;
    const double xi = 1.0 / x;
    const double xi2 = 2.0 * xi;
    if (x < kXMin) {
        // Temme's series for K_μ and K_μ+1.
        const TemmeStart t = StartTemme(x, mu);
        double ff = t.fact * t.sum;
        double sum = ff;
        double p = 0.5 * t.e / t.gampl;
        double q = 0.5 / (t.e * t.gammi);
        double c = 1.0;
        const double d = t.x2 * t.x2;
        double sum1 = p;
        int i;
        for (i = 1; i <= kMaxIter; ++i) {
            ff = (i * ff + p + q) / (i * static_cast<double>(i) - mu2);
            c *= d / i;
            p /= i - mu;
            q /= i + mu;
            const double del = c * ff;
            sum += del;
            const double del1 = c * (p - i * ff);
            sum1 += del1;
            if (std::fabs(del) < std::fabs(sum) * kEps) break;
        }
        if (i > kMaxIter) {
            VeskError(3, "series failed to converge");
            return false;
        }
        *rkmu = sum;
        *rk1 = sum1 * xi2;
    } else {
        // CF2 with Temme's normalisation: K_μ and K_μ+1.
        double b = 2.0 * (1.0 + x);
        double d = 1.0 / b;
        double h = d;
        double delh = d;
        double q1 = 0.0;
        double q2 = 1.0;
        const double a1 = 0.25 - mu2;
        double q = a1;
        double c = a1;
        double a = -a1;
        double s = 1.0 + q * delh;
        int i;
        for (i = 2; i <= kMaxIter; ++i) {
            a -= 2 * (i - 1);
            c = -a * c / i;
            const double qnew = (q1 - b * q2) / a;
            q1 = q2;
            q2 = qnew;
            q += c * qnew;
            b += 2.0;
            d = 1.0 / (b + a * d);
            delh = (b * d - 1.0) * delh;
            h += delh;
            const double dels = q * delh;
            s += dels;
            if (std::fabs(dels / s) < kEps) break;
        }
        if (i > kMaxIter) {
            VeskError(3, "failure to converge in cf2");
            return false;
        }
        h = a1 * h;
        *rkmu = std::sqrt(kPi / (2.0 * x)) * std::exp(-x) / s;
        *rk1 = *rkmu * (mu + x + 0.5 - h) * xi;
    }

    return true;
}

// Below the normal doubles 2/x overflows inside Temme's series and the
// recurrence (K was ∞ or 0 where finite); K and K′ come from their small-x
// forms there.
constexpr double kTinyX = 2.2250738585072014e-308;

// K and K′ for x < kTinyX, the counterpart of TinyY: for small ν Temme's
// leading terms, K = fact·sum and K′ = −K_ν+1·(1 − ν·K/(Γ(ν+1)·(2/x)^ν));
// otherwise K = Γ(ν)/2·(2/x)^ν, K′ = −ν·K/x; +∞ and −∞ where they overflow.
void TinyK(double x, double nu, double* rk, double* rkp) {
    if (nu * -LnHalfTiny(x) < kTinyLeadFrom) {
        const TemmeStart t = StartTemmeAt(-LnHalfTiny(x), nu);
        *rk = t.fact * t.sum;
        const double k1 = t.e / t.gampl / x;  // K_ν+1
        *rkp = -k1 * (1.0 - nu * *rk * t.gampl / t.e);
        return;
    }
    *rk = PowTwoOverTiny(x, nu, 0.5 * std::tgamma(nu));
    *rkp = (-nu * *rk) / x;
}

// Upward recurrence from K_μ, K_μ+1 to K_ν and K′_ν (nl steps). Once K is
// infinite every higher order is: K = +∞, K′ = −∞ without further steps.
void KUpward(double x, double nu, double mu, int nl, double rkmu, double rk1, double* rk,
             double* rkp) {
    const double xi = 1.0 / x;
    const double xi2 = 2.0 * xi;
    // Counted in 64 bits: nl may be INT_MAX.
    for (long long l = 1; l <= nl; ++l) {
        if (rk1 == kInf) {
            *rk = kInf;
            *rkp = -kInf;
            return;
        }
        const double rktemp = (mu + l) * xi2 * rk1 + rkmu;
        rkmu = rk1;
        rk1 = rktemp;
    }
    *rk = rkmu;
    // An infinite K_ν+1 makes K′ = ν/x·K − K_ν+1 = −∞ (not ∞ − ∞).
    *rkp = rk1 == kInf ? -kInf : nu * xi * rkmu - rk1;
}

// K and K′ where they lie far outside the double range (x = ∞ included):
// true with the limits written.
bool KSettled(double x, double nu, double* rk, double* rkp) {
    const double lnK = x == kInf ? -kInf : bessel_detail::LnKEstimate(x, nu);
    if (lnK > kFarOut) {
        *rk = kInf;
        *rkp = -kInf;
        return true;
    }
    if (lnK < -kFarOut) {
        *rk = 0.0;
        *rkp = -0.0;
        return true;
    }
    return false;
}

// K_ν(x) and K′_ν(x) for x > 0, ν ≥ 0 without the work that only I needs (the
// first continued fraction, the downward recurrence and I's normalisation):
// the same operations as the K part of BesselIK, so the same bits.
bool KAlone(double x, double nu, double* rk, double* rkp) {
    if (x < kTinyX && nu <= bessel_detail::kMaxRecurrenceOrder) {
        TinyK(x, nu, rk, rkp);
        return true;
    }
    if (!SurelyInRange(x, nu) && KSettled(x, nu, rk, rkp)) return true;
    if (ExpansionServesIK(x, nu)) {
        bessel_detail::KUniform(x, nu, rk, rkp);
        return true;
    }
    const int nl = static_cast<int>(nu + 0.5);
    const double mu = nu - nl;
    double rkmu;
    double rk1;
    if (!KPair(x, mu, &rkmu, &rk1)) return false;
    KUpward(x, nu, mu, nl, rkmu, rk1, rk, rkp);
    return true;
}

// I and I′ far outside the double range, or of an order too large for the
// recurrences: true with I, I′ written (K, K′ then come from KAlone).
bool IOutOfReach(double x, double nu, double* ri, double* rip) {
    if (x == kInf) {
        *ri = *rip = kInf;
        return true;
    }
    const double lnI = bessel_detail::LnIEstimate(x, nu);
    // I′ ≈ I·√(1 + z²)/z, z = x/ν.
    const double lnIp = lnI + std::log(std::hypot(1.0, x / nu)) - (std::log(x) - std::log(nu));
    if (std::fmax(lnI, lnIp) < -kFarOut) {
        *ri = *rip = 0.0;
        return true;
    }
    if (lnI > kFarOut) {
        *ri = *rip = kInf;
        return true;
    }
    if (ExpansionServesIK(x, nu)) {
        double k;
        double kp;
        bessel_detail::IKUniform(x, nu, ri, &k, rip, &kp);
        return true;
    }
    return false;
}

// I, I′ (i4) and K, K′ (k4) for x > 0 and ν ≥ 0; false after error 3.
bool IKNonNegative(double x, double nu, double* i4, double* k4) {
    if (!SurelyInRange(x, nu) && IOutOfReach(x, nu, &i4[0], &i4[1]))
        return KAlone(x, nu, &k4[0], &k4[1]);
    const int nl = static_cast<int>(nu + 0.5);
    const double mu = nu - nl;
    const double xi = 1.0 / x;
    const double xi2 = 2.0 * xi;

    // CF1: I′_ν/I_ν.
    double h = nu * xi;
    if (h < kFpMin) h = kFpMin;
    double b = xi2 * nu;
    double d = 0.0;
    double c = h;
    int i;
    for (i = 1; i <= kMaxIter; ++i) {
        b += xi2;
        d = 1.0 / (b + d);
        c = b + 1.0 / c;
        const double del = c * d;
        h = del * h;
        if (std::fabs(del - 1.0) < kEps) break;
    }
    if (i > kMaxIter && x <= 0.01) {
        // x below about 1.5e-308, where 2/x overflows: I, I′ by the series,
        // K, K′ as BesselKFrac and BesselKpFrac answer them.
        TinySeries(x, nu, false, &i4[0], &i4[1]);
        return KAlone(x, nu, &k4[0], &k4[1]);
    }
    if (i > kMaxIter) {
        VeskError(3, "x too large; try asymptotic expansion");
        return false;
    }

    // Downward recurrence from order ν to order μ (unnormalised).
    double ril = kFpMin;
    double ripl = h * ril;
    const double ril1 = ril;
    const double rip1 = ripl;
    double fact = nu * xi;
    for (int l = nl; l >= 1; --l) {
        const double ritemp = fact * ril + ripl;
        fact -= xi;
        ripl = fact * ritemp + ril;
        ril = ritemp;
    }
    const double f = ripl / ril;

    double rkmu;
    double rk1;
    if (!KPair(x, mu, &rkmu, &rk1)) return false;
    const double rkmup = mu * xi * rkmu - rk1;
    const double rimu = xi / (f * rkmu - rkmup);
    i4[0] = (rimu * ril1) / ril;
    i4[1] = (rimu * rip1) / ril;
    if (SeriesServes(x, nu)) bessel_detail::PowerSeries(x, nu, false, &i4[0], &i4[1]);
    if (SurelyInRange(x, nu) || !KSettled(x, nu, &k4[0], &k4[1]))
        KUpward(x, nu, mu, nl, rkmu, rk1, &k4[0], &k4[1]);
    return true;
}

}  // namespace

bool BesselIK(double x, double nu, double* ri, double* rk, double* rip, double* rkp) {
    Reflection r;  // I_−n = I_n and K_−ν = K_ν: the sign is not needed
    switch (CheckFracArgs(x, &nu, &r)) {
        case ArgCheck::Bad: return false;
        case ArgCheck::NaN: WriteFour(ri, rk, rip, rkp, NAN, NAN, NAN, NAN); return true;
        case ArgCheck::Good: break;
    }
    double i4[2];
    double k4[2];
    if (!IKNonNegative(x, nu, i4, k4)) return false;
    if (r.fractional) {
        const double f = 2.0 / kPi * r.s;
        i4[0] = Combine(1.0, i4[0], f, k4[0]);
        i4[1] = Combine(1.0, i4[1], f, k4[1]);
    }
    WriteFour(ri, rk, rip, rkp, i4[0], k4[0], i4[1], k4[1]);
    return true;
}

namespace {

// Which of the four results of BesselJY / BesselIK a single-value entry
// point answers.
enum Pick { kFirst, kSecond, kFirstDeriv, kSecondDeriv };

// J_ν(0), I_ν(0) and their derivatives for a negative non-integer ν = −ν′
// (|ν| ≤ 2³¹): the limits as x falls to 0. The leading term (x/2)^−ν′/Γ(1 − ν′)
// of the power series outgrows every other, so the value tends to ±∞ with
// the sign of Γ(1 − ν′), (−1)^⌊ν′⌋, and the derivative, −ν′/x times it, to ∓∞.
// False for every other (ν, x).
bool LimitAtZero(double x, double nu, Pick which, double* out) {
    if (!(x == 0.0 && nu < 0.0 && nu >= -kMaxOrder && nu != std::trunc(nu))) return false;
    const double sign = std::fmod(std::floor(-nu), 2.0) == 0.0 ? 1.0 : -1.0;
    *out = which == kFirst ? sign * kInf : -sign * kInf;
    return true;
}

template <bool (*Routine)(double, double, double*, double*, double*, double*)>
double PickOne(double x, double nu, Pick which) {
    double v[4];
    if (!Routine(x, nu, &v[kFirst], &v[kSecond], &v[kFirstDeriv], &v[kSecondDeriv])) return 0.0;
    return v[which];
}

// K_ν(x) (derivative false) or K′_ν(x) by KAlone, for every real ν
// (K_−ν = K_ν); NaN answers NaN; 0 after error 3.
double PickK(double x, double nu, bool derivative) {
    if (std::isnan(x) || std::isnan(nu)) return NAN;
    if (!(x > 0.0) || !(std::fabs(nu) <= kMaxOrder)) {
        VeskError(3);
        return 0.0;
    }
    double k;
    double kp;
    if (!KAlone(x, std::fabs(nu), &k, &kp)) return 0.0;
    return derivative ? kp : k;
}

// J, J′, I, I′: their limits at x = 0 for negative non-integer orders first.
template <bool (*Routine)(double, double, double*, double*, double*, double*)>
double PickFirst(double x, double nu, Pick which) {
    double limit;
    if (LimitAtZero(x, nu, which, &limit)) return limit;
    return PickOne<Routine>(x, nu, which);
}

}  // namespace

double BesselJFrac(double x, double nu) { return PickFirst<BesselJY>(x, nu, kFirst); }
double BesselYFrac(double x, double nu) { return PickOne<BesselJY>(x, nu, kSecond); }
double BesselJpFrac(double x, double nu) { return PickFirst<BesselJY>(x, nu, kFirstDeriv); }
double BesselYpFrac(double x, double nu) { return PickOne<BesselJY>(x, nu, kSecondDeriv); }
double BesselIFrac(double x, double nu) { return PickFirst<BesselIK>(x, nu, kFirst); }
double BesselKFrac(double x, double nu) { return PickK(x, nu, false); }
double BesselIpFrac(double x, double nu) { return PickFirst<BesselIK>(x, nu, kFirstDeriv); }
double BesselKpFrac(double x, double nu) { return PickK(x, nu, true); }
