// Bessel functions of fractional order: J, Y and I, K with their derivatives
// by Temme's series for x < 2 and Steed's continued-fraction method for
// x ≥ 2, and the Chebyshev expansions of the gamma terms they need.
#include <climits>
#include <cmath>
#include <numbers>

#include "host/VeskHost.h"
#include "special/Bessel.h"

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

// x > 0 and finite, 0 ≤ ν within the int range (NaN fails every test).
bool FracArgsBad(double x, double nu) {
    if (x > 0.0 && x < HUGE_VAL && nu >= 0.0 && nu <= INT_MAX) return false;
    VeskError(3);
    return true;
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

TemmeStart StartTemme(double x, double mu) {
    TemmeStart t;
    t.x2 = 0.5 * x;
    t.pimu = kPi * mu;
    t.fact = XOverSin(t.pimu);
    const double d = -std::log(t.x2);
    const double e = mu * d;
    const double fact2 = std::fabs(e) < kEps ? 1.0 : std::sinh(e) / e;
    double gam1;
    double gam2;
    GammaTerms(mu, &gam1, &gam2, &t.gampl, &t.gammi);
    t.sum = gam1 * std::cosh(e) + gam2 * fact2 * d;
    t.e = std::exp(e);
    return t;
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

bool BesselJY(double x, double nu, double* rj, double* ry, double* rjp, double* ryp) {
    if (FracArgsBad(x, nu)) return false;
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
    if (i > kMaxIter) {
        VeskError(3, "x too large; try asymptotic expansion");
        return false;
    }

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
            return false;
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
            return false;
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
    return true;
}

bool BesselIK(double x, double nu, double* ri, double* rk, double* rip, double* rkp) {
    if (FracArgsBad(x, nu)) return false;
    const int nl = static_cast<int>(nu + 0.5);
    const double mu = nu - nl;
    const double mu2 = mu * mu;
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
    if (x < kXMin) {
        // Temme's series for K_μ and K_μ+1.
        const TemmeStart t = StartTemme(x, mu);
        double ff = t.fact * t.sum;
        double sum = ff;
        double p = 0.5 * t.e / t.gampl;
        double q = 0.5 / (t.e * t.gammi);
        c = 1.0;
        d = t.x2 * t.x2;
        double sum1 = p;
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
        rkmu = sum;
        rk1 = sum1 * xi2;
    } else {
        // CF2 with Temme's normalisation: K_μ and K_μ+1.
        b = 2.0 * (1.0 + x);
        d = 1.0 / b;
        h = d;
        double delh = d;
        double q1 = 0.0;
        double q2 = 1.0;
        const double a1 = 0.25 - mu2;
        double q = a1;
        c = a1;
        double a = -a1;
        double s = 1.0 + q * delh;
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
        rkmu = std::sqrt(kPi / (2.0 * x)) * std::exp(-x) / s;
        rk1 = rkmu * (mu + x + 0.5 - h) * xi;
    }

    const double rkmup = mu * xi * rkmu - rk1;
    const double rimu = xi / (f * rkmu - rkmup);
    *ri = (rimu * ril1) / ril;
    *rip = (rimu * rip1) / ril;
    // Counted in 64 bits: nl may be INT_MAX.
    for (long long l = 1; l <= nl; ++l) {
        const double rktemp = (mu + l) * xi2 * rk1 + rkmu;
        rkmu = rk1;
        rk1 = rktemp;
    }
    *rk = rkmu;
    *rkp = nu * xi * rkmu - rk1;
    return true;
}

namespace {

// Which of the four results of BesselJY / BesselIK a single-value entry
// point answers.
enum Pick { kFirst, kSecond, kFirstDeriv, kSecondDeriv };

template <bool (*Routine)(double, double, double*, double*, double*, double*)>
double PickOne(double x, double nu, Pick which) {
    double v[4];
    if (!Routine(x, nu, &v[kFirst], &v[kSecond], &v[kFirstDeriv], &v[kSecondDeriv])) return 0.0;
    return v[which];
}

}  // namespace

double BesselJFrac(double x, double nu) { return PickOne<BesselJY>(x, nu, kFirst); }
double BesselYFrac(double x, double nu) { return PickOne<BesselJY>(x, nu, kSecond); }
double BesselJpFrac(double x, double nu) { return PickOne<BesselJY>(x, nu, kFirstDeriv); }
double BesselYpFrac(double x, double nu) { return PickOne<BesselJY>(x, nu, kSecondDeriv); }
double BesselIFrac(double x, double nu) { return PickOne<BesselIK>(x, nu, kFirst); }
double BesselKFrac(double x, double nu) { return PickOne<BesselIK>(x, nu, kSecond); }
double BesselIpFrac(double x, double nu) { return PickOne<BesselIK>(x, nu, kFirstDeriv); }
double BesselKpFrac(double x, double nu) { return PickOne<BesselIK>(x, nu, kSecondDeriv); }
