// Hankel's expansion of J and Y, the uniform expansion of I and K, the power
// series of I and J, and the range tests of the Bessel family.
#include "special/BesselAsymptotic.h"

#include <cmath>
#include <numbers>

namespace bessel_detail {
namespace {

constexpr double kPi = std::numbers::pi;
// A term below this (the sums are near 1) no longer changes them.
constexpr double kTermFloor = 1e-17;
constexpr int kMaxTerms = 100;

// The sums of Hankel's expansion at order ν: P and Q of the value, R and S of
// the derivative, with a_k(ν)/x^k = a_{k−1}/x^{k−1}·(4ν² − (2k − 1)²)/(8kx)
// and b_k(ν)/x^k = a_{k−1}/x^{k−1}·(4ν² + (2k − 1)(2k + 1))/(8kx), the k-th
// term signed (−1)^⌊k/2⌋ and added to P, R (k even) or Q, S (k odd).
// oscillating = false gives the sums of the expansions of I and K for large x
// instead: P, R with every term signed (−1)^k (I, I′), Q, S unsigned (K, K′),
// each starting from 1.
struct HankelSums {
    double p = 1.0, q = 0.0, r = 1.0, s = 0.0;
};

HankelSums SumHankel(double x, double nu, bool oscillating) {
    HankelSums h;
    if (!oscillating) h.q = h.s = 1.0;
    const double mu = 4.0 * nu * nu;
    const double eightX = 8.0 * x;
    double a = 1.0;
    for (int k = 1; k <= kMaxTerms; ++k) {
        const double odd = 2.0 * k - 1.0;
        const double ak = a * ((mu - odd * odd) / (k * eightX));
        const double bk = a * ((mu + odd * (odd + 2.0)) / (k * eightX));
        if (oscillating) {
            const double sign = (k / 2) % 2 ? -1.0 : 1.0;
            if (k % 2 == 0) {
                h.p += sign * ak;
                h.r += sign * bk;
            } else {
                h.q += sign * ak;
                h.s += sign * bk;
            }
        } else {
            const double sign = k % 2 ? -1.0 : 1.0;
            h.p += sign * ak;
            h.r += sign * bk;
            h.q += ak;
            h.s += bk;
        }
        a = ak;
        if (std::fabs(ak) < kTermFloor && std::fabs(bk) < kTermFloor) break;
    }
    return h;
}

// J, Y, J′, Y′ at order ν by Hankel's expansion directly. The phase
// ω = x − (ν/2 + ¼)π is never formed: cos ω and sin ω come from cos x, sin x
// (exactly reduced by the C library) and the angle (ν/2 + ¼)π reduced
// modulo 2π, so that large x loses nothing to the subtraction.
struct JYValues {
    double j, y, jp, yp;
};

JYValues HankelDirect(double x, double nu) {
    const HankelSums h = SumHankel(x, nu, true);
    const double turns = std::fmod(0.5 * nu + 0.25, 2.0);
    const double cphi = std::cos(kPi * turns);
    const double sphi = std::sin(kPi * turns);
    const double cx = std::cos(x);
    const double sx = std::sin(x);
    const double cw = cx * cphi + sx * sphi;
    const double sw = sx * cphi - cx * sphi;
    const double amp = std::sqrt(2.0 / (kPi * x));
    return {amp * (h.p * cw - h.q * sw), amp * (h.p * sw + h.q * cw),
            -amp * (h.r * sw + h.s * cw), amp * (h.r * cw - h.s * sw)};
}

// e^(±νη)-scaled pieces of the uniform expansion at order ν, z = x/ν.
struct Uniform {
    double nuEta;    // ν·η, η = √(1 + z²) + ln(z/(1 + √(1 + z²)))
    double root;     // (1 + z²)^¼
    double z;
    double su, sv;   // Σ u_k(t)/ν^k, Σ v_k(t)/ν^k
    double suK, svK; // the same with (−1)^k
};

// Debye's polynomials u_k(t) = t^k·Σ_j c_j·t^(2j) and v_k, k = 1 … 6.
constexpr double kU[6][7] = {
    {1.0 / 8.0, -5.0 / 24.0},
    {9.0 / 128.0, -77.0 / 192.0, 385.0 / 1152.0},
    {75.0 / 1024.0, -4563.0 / 5120.0, 17017.0 / 9216.0, -85085.0 / 82944.0},
    {3675.0 / 32768.0, -96833.0 / 40960.0, 144001.0 / 16384.0, -7436429.0 / 663552.0,
     37182145.0 / 7962624.0},
    {59535.0 / 262144.0, -67608983.0 / 9175040.0, 250881631.0 / 5898240.0,
     -108313205.0 / 1179648.0, 5391411025.0 / 63700992.0, -5391411025.0 / 191102976.0},
    {2401245.0 / 4194304.0, -388895895.0 / 14680064.0, 1441372804469.0 / 6606028800.0,
     -33010308331.0 / 47185920.0, 4445922195.0 / 4194304.0, -1169936192425.0 / 1528823808.0,
     5849680962125.0 / 27518828544.0},
};
constexpr double kV[6][7] = {
    {-3.0 / 8.0, 7.0 / 24.0},
    {-15.0 / 128.0, 33.0 / 64.0, -455.0 / 1152.0},
    {-105.0 / 1024.0, 5577.0 / 5120.0, -6545.0 / 3072.0, 95095.0 / 82944.0},
    {-4725.0 / 32768.0, 114439.0 / 40960.0, -2448017.0 / 245760.0, 2739737.0 / 221184.0,
     -40415375.0 / 7962624.0},
    {-72765.0 / 262144.0, 15602073.0 / 1835008.0, -280397117.0 / 5898240.0,
     355886245.0 / 3538944.0, -215656441.0 / 2359296.0, 5763232475.0 / 191102976.0},
    {-2837835.0 / 4194304.0, 440748681.0 / 14680064.0, -75861726551.0 / 314572800.0,
     7176153985.0 / 9437184.0, -4775249765.0 / 4194304.0, 415138648925.0 / 509607936.0,
     -6183948445675.0 / 27518828544.0},
};

Uniform StartUniform(double x, double nu) {
    Uniform u;
    u.z = x / nu;
    const double sq = std::hypot(1.0, u.z);
    // ln(z/(1 + √(1 + z²))) from ln x − ln ν, so that z may underflow.
    u.nuEta = nu * (sq + (std::log(x) - std::log(nu) - std::log1p(sq)));
    u.root = std::sqrt(sq);
    const double t = 1.0 / sq;
    const double t2 = t * t;
    u.su = u.sv = u.suK = u.svK = 1.0;
    double scale = 1.0;  // (t/ν)^k
    for (int k = 1; k <= 6; ++k) {
        scale *= t / nu;
        double pu = 0.0;
        double pv = 0.0;
        for (int j = k; j >= 0; --j) {
            pu = pu * t2 + kU[k - 1][j];
            pv = pv * t2 + kV[k - 1][j];
        }
        const double sign = k % 2 ? -1.0 : 1.0;
        u.su += scale * pu;
        u.sv += scale * pv;
        u.suK += sign * scale * pu;
        u.svK += sign * scale * pv;
    }
    return u;
}

// ln Γ(ν + 1) to the C library's accuracy.
double LnGammaPlusOne(double nu) { return std::lgamma(nu + 1.0); }

// Γ(ν + 1). mingw-w64's double tgamma is up to 14 ulps off (glibc's up to
// 3.3); its long double tgamma, rounded once to double, stays within one ulp
// and so shares glibc's bits more often. Other C libraries: their double
// tgamma, as before.
double GammaPlusOne(double nu) {
#if defined(__MINGW32__)
    return static_cast<double>(std::tgamma(static_cast<long double>(nu + 1.0)));
#else
    return std::tgamma(nu + 1.0);
#endif
}

}  // namespace

bool JYLargeX(double x, double nu, double* j, double* y, double* jp, double* yp) {
    const double reach = std::sqrt(2.0 * x);
    if (nu <= reach) {
        const JYValues v = HankelDirect(x, nu);
        *j = v.j;
        *y = v.y;
        *jp = v.jp;
        *yp = v.yp;
        return true;
    }
    const double steps = std::ceil(nu - reach);
    if (steps > static_cast<double>(kMaxUpwardSteps)) return false;
    const long long n = static_cast<long long>(steps);
    const double nu0 = nu - steps;
    const JYValues lo = HankelDirect(x, nu0);
    const JYValues hi = HankelDirect(x, nu0 + 1.0);
    // Upward from (ν0, ν0 + 1) to (ν, ν + 1): C_{m+1} = (2m/x)·C_m − C_{m−1}.
    double j0 = lo.j, j1 = hi.j, y0 = lo.y, y1 = hi.y;
    for (long long l = 1; l <= n; ++l) {
        const double f = 2.0 * (nu0 + static_cast<double>(l)) / x;
        const double j2 = f * j1 - j0;
        const double y2 = f * y1 - y0;
        j0 = j1;
        j1 = j2;
        y0 = y1;
        y1 = y2;
    }
    const double q = nu / x;
    *j = j0;
    *y = y0;
    *jp = q * j0 - j1;
    *yp = q * y0 - y1;
    return true;
}

bool JYBeyondRange(double x, double nu) {
    if (!(x < nu)) return false;
    const double z = x / nu;
    const double s = std::sqrt((1.0 - z) * (1.0 + z));
    // ln of Kapteyn's bound: ν·(ln z + s − ln(1 + s)), with ln z = ln x − ln ν.
    const double lnZ = std::log(x) - std::log(nu);
    const double lnBound = nu * (lnZ + s - std::log1p(s));
    // J′ ≈ J·√(1 − z²)/z, larger than J for small z.
    return lnBound + std::fmax(0.0, std::log(s) - lnZ) < -800.0;
}

double LnIEstimate(double x, double nu) {
    if (nu < 1.0) {
        if (x >= 1.0) return x - 0.5 * (std::log(2.0 * kPi) + std::log(x));
        // ln x − ln 2: x/2 rounds a subnormal x (5e-324 to 0, I to 0).
        return nu * (std::log(x) - std::numbers::ln2) - LnGammaPlusOne(nu);
    }
    const Uniform u = StartUniform(x, nu);
    return u.nuEta - 0.5 * std::log(2.0 * kPi * nu) - std::log(u.root);
}

double LnKEstimate(double x, double nu) {
    if (nu < 1.0) {
        if (x >= 1.0) return -x + 0.5 * (std::log(0.5 * kPi) - std::log(x));
        // Between K0 ≈ ln(2/x) and Γ(ν)/2·(2/x)^ν.
        const double k0 = std::log(1.0 + std::log(2.0 / x));
        const double kn = nu * std::log(2.0 / x) + std::lgamma(std::fmax(nu, 0.5)) - std::log(2.0);
        return std::fmax(k0, kn);
    }
    const Uniform u = StartUniform(x, nu);
    return -u.nuEta + 0.5 * std::log(kPi / (2.0 * nu)) - std::log(u.root);
}

void KUniform(double x, double nu, double* k, double* kp) {
    if (nu * nu <= 2.0 * x) {
        const HankelSums h = SumHankel(x, nu, false);
        // e^−x·√(π/(2x)) in two halves: e^−x alone leaves the normal range.
        const double half = std::exp(-0.5 * x);
        const double e = half * (half * std::sqrt(0.5 * kPi / x));
        *k = e * h.q;
        *kp = -e * h.s;
        return;
    }
    const Uniform u = StartUniform(x, nu);
    const double base = -u.nuEta + 0.5 * std::log(kPi / (2.0 * nu));
    *k = std::exp(base - std::log(u.root)) * u.suK;
    *kp = -std::exp(base + std::log(u.root) - (std::log(x) - std::log(nu))) * u.svK;
}

void IKUniform(double x, double nu, double* i, double* k, double* ip, double* kp) {
    KUniform(x, nu, k, kp);
    if (nu * nu <= 2.0 * x) {
        const HankelSums h = SumHankel(x, nu, false);
        const double half = std::exp(0.5 * x);
        const double e = half * (half / std::sqrt(2.0 * kPi * x));
        *i = e * h.p;
        *ip = e * h.r;
        return;
    }
    const Uniform u = StartUniform(x, nu);
    const double base = u.nuEta - 0.5 * std::log(2.0 * kPi * nu);
    *i = std::exp(base - std::log(u.root)) * u.su;
    *ip = std::exp(base + std::log(u.root) - (std::log(x) - std::log(nu))) * u.sv;
}

double LnIUniform(double x, double nu, bool derivative) {
    const Uniform u = StartUniform(x, nu);
    const double base = u.nuEta - 0.5 * std::log(2.0 * kPi * nu);
    if (!derivative) return base - std::log(u.root) + std::log(u.su);
    return base + std::log(u.root) - (std::log(x) - std::log(nu)) + std::log(u.sv);
}

double LnILargeX(double x, double nu, bool derivative) {
    const HankelSums h = SumHankel(x, nu, false);
    return x - 0.5 * (std::log(2.0 * kPi) + std::log(x)) + std::log(derivative ? h.r : h.p);
}

void PowerSeries(double x, double nu, bool alternating, double* value, double* derivative) {
    // Leading term (x/2)^ν/Γ(ν + 1), in logarithms where the power or the
    // gamma function leaves the double range or the term falls below
    // 1e-290; the rounding of ν·ln(x/2) then costs up to |ν·ln(x/2)|·1e-16
    // of relative error (3.5e-14 for I₁ and J₁ at x = 1e-300).
    const double half = 0.5 * x;
    double lead = std::pow(half, nu) / GammaPlusOne(nu);
    double dlead = lead / x;  // the leading factor of the derivative
    if (!(std::isfinite(lead) && lead > 1e-290 && std::isfinite(dlead))) {
        const double lnLead = nu * std::log(half) - LnGammaPlusOne(nu);
        lead = std::exp(lnLead);
        dlead = std::exp(lnLead - std::log(x));
    }
    const double y = (alternating ? -0.25 : 0.25) * x * x;
    double term = 1.0;
    double sum = 1.0;
    double dsum = nu;  // Σ (ν + 2k)·term_k
    for (int k = 1; k <= kMaxTerms; ++k) {
        term *= y / (k * (nu + k));
        sum += term;
        dsum += (nu + 2.0 * k) * term;
        if (std::fabs(term) < kTermFloor * std::fabs(sum)) break;
    }
    *value = lead * sum;
    // I′ = Σ (ν + 2k)/x·term_k·lead; for ν = 0 the first term vanishes.
    *derivative = dlead * dsum;
}

double LnISeries(double x, double nu, bool derivative) {
    const double y = 0.25 * x * x;
    double term = 1.0;
    double sum = 1.0;
    double dsum = nu;
    for (int k = 1; k <= kMaxTerms; ++k) {
        term *= y / (k * (nu + k));
        sum += term;
        dsum += (nu + 2.0 * k) * term;
        if (std::fabs(term) < kTermFloor * std::fabs(sum)) break;
    }
    double lead;
    double sign = 1.0;
    if (nu >= 0.0) {
        lead = nu * std::log(0.5 * x) - LnGammaPlusOne(nu);
    } else {
        // 1/Γ(1 − ν′) = sin(πν′)·Γ(ν′)/π for ν′ = −ν, whose sign is that of
        // sin(πν′); ln Γ of the positive ν′ instead of the negative 1 − ν′.
        double s;
        double c;
        SinCosPi(-nu, &s, &c);
        lead = nu * std::log(0.5 * x) + std::lgamma(-nu) + std::log(std::fabs(s) / kPi);
        sign = s < 0.0 ? -1.0 : 1.0;
    }
    const double series = sign * (derivative ? dsum : sum);
    if (series < 0.0) return NAN;
    if (!derivative) return lead + std::log(series);
    return lead - std::log(x) + std::log(series);
}

double LnKUniform(double x, double nu, bool derivative) {
    const Uniform u = StartUniform(x, nu);
    const double base = -u.nuEta + 0.5 * std::log(kPi / (2.0 * nu));
    if (!derivative) return base - std::log(u.root) + std::log(u.suK);
    return base + std::log(u.root) - (std::log(x) - std::log(nu)) + std::log(u.svK);
}

void SinCosPi(double nu, double* s, double* c) {
    const double r = std::fmod(nu, 2.0);  // exact, in [0, 2)
    const double q = std::nearbyint(2.0 * r);  // quarter turns: 0 … 4
    const double t = r - 0.5 * q;  // exact, in [−¼, ¼]
    const double st = t == 0.0 ? 0.0 : std::sin(kPi * t);
    const double ct = t == 0.0 ? 1.0 : std::cos(kPi * t);
    switch (static_cast<int>(q) % 4) {
        case 0: *s = st; *c = ct; break;
        case 1: *s = ct; *c = 0.0 - st; break;
        case 2: *s = 0.0 - st; *c = -ct; break;
        default: *s = -ct; *c = st; break;
    }
}

}  // namespace bessel_detail
