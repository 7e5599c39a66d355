// Normal, Poisson and binomial deviates drawn from the host's uniform Rand,
// with their caches between calls.
#include "special/Random.h"

#include <cmath>
#include <numbers>

#include "host/VeskHost.h"
#include "special/Gamma.h"

namespace {

// RandGauss: the second deviate of the last pair, unscaled.
bool g_gaussHasSpare = false;
double g_gaussSpare = 0.0;

// RandPoisson: the last mean and the constants derived from it.
double g_poissonMean = -1.0;
double g_poissonG = 0.0;
double g_poissonSq = 0.0;
double g_poissonLnMean = 0.0;

// RandBinominal: the last trial count and probability with their constants.
int g_binomN = -1;
double g_binomEn = 0.0;
double g_binomLnFactN = 0.0;
double g_binomP = -1.0;
double g_binomPc = 0.0;
double g_binomLnP = 0.0;
double g_binomLnPc = 0.0;

// A point of the Lorentzian comparison function of the rejection methods:
// y = tan(π·u) for a uniform u, and em = sq·y + centre drawn until it lies in
// [0, limit).
double DrawLorentzian(double sq, double centre, double limit, double* y) {
    double em;
    do {
        *y = std::tan(std::numbers::pi * Rand(1.0));
        em = sq * *y + centre;
    } while (em < 0.0 || em >= limit);
    return em;
}

// From this mean on, the exponent of the Poisson acceptance ratio is formed
// without its large logarithms near the mean.
constexpr double kStablePoissonFrom = 1e8;

// ln(mean^k·e^−mean/k!) − ln(mean^mean·e^−mean/mean!), the exponent of the
// Poisson acceptance ratio at k, for the mean cached in g_poisson*. As
// described, k·ln mean − ln Γ(k + 1) − g; for a mean from kStablePoissonFrom
// on and k within half the mean of it, where those terms (about mean·ln mean)
// would cancel to a few units, by Stirling's formula with t = (k − mean)/mean:
//   −mean·((ln(1 + t) − t) + t·ln(1 + t)) − ½·ln(1 + t) + 1/(12·mean) − 1/(12·k),
// every term of which is small there.
double PoissonLnRatio(double k, double mean) {
    const double t = (k - mean) / mean;
    if (mean < kStablePoissonFrom || !(std::fabs(t) < 0.5))
        return k * g_poissonLnMean - LnGamma(k + 1.0) - g_poissonG;
    const double l = std::log1p(t);
    return -mean * ((l - t) + t * l) - 0.5 * l + (1.0 / (12.0 * mean) - 1.0 / (12.0 * k));
}

}  // namespace

double RandGauss(double mean, double sigma) {
    if (g_gaussHasSpare) {
        g_gaussHasSpare = false;
        return g_gaussSpare * sigma + mean;
    }
    double u;
    double w;
    double r;
    do {
        u = Rand(2.0) - 1.0;
        w = Rand(2.0) - 1.0;
        r = u * u + w * w;
    } while (r >= 1.0 || r == 0.0);
    const double fac = std::sqrt(-2.0 * std::log(r) / r);
    g_gaussSpare = fac * u;
    g_gaussHasSpare = true;
    return fac * w * sigma + mean;
}

double RandPoisson(double mean) {
    if (!std::isfinite(mean)) return 0.0;
    // From half the double range on, √(2·mean) overflows and the Lorentzian
    // draw never lands in range; the spread √mean is then far below the
    // spacing of doubles near mean, so mean itself is the deviate.
    if (2.0 * mean == HUGE_VAL) return mean;
    if (mean < 12.0) {
        if (mean != g_poissonMean) {
            g_poissonMean = mean;
            g_poissonG = std::exp(-mean);
        }
        double em = -1.0;
        double t = 1.0;
        do {
            em += 1.0;
            t *= Rand(1.0);
        } while (t > g_poissonG);
        return em;
    }
    if (mean != g_poissonMean) {
        g_poissonMean = mean;
        g_poissonSq = std::sqrt(2.0 * mean);
        g_poissonLnMean = std::log(mean);
        g_poissonG = mean * g_poissonLnMean - LnGamma(mean + 1.0);
    }
    const double infinity = HUGE_VAL;
    double em;
    double t;
    do {
        double y;
        em = std::floor(DrawLorentzian(g_poissonSq, mean, infinity, &y));
        t = 0.9 * (1.0 + y * y) * std::exp(PoissonLnRatio(em, mean));
    } while (Rand(1.0) > t);
    return em;
}

double RandBinominal(double p, int n) {
    if (std::isnan(p) || n <= 0) return 0.0;
    const double q = p <= 0.5 ? p : 1.0 - p;
    const double am = n * q;
    double count;
    if (n < 25) {
        int hits = 0;
        for (int j = 0; j < n; ++j)
            if (Rand(1.0) < q) ++hits;
        count = hits;
    } else if (am < 1.0) {
        const double g = std::exp(-am);
        double t = 1.0;
        int j;
        for (j = 0; j <= n; ++j) {
            t *= Rand(1.0);
            if (t < g) break;
        }
        count = j <= n ? j : n;
    } else {
        if (n != g_binomN) {
            g_binomN = n;
            g_binomEn = n;
            g_binomLnFactN = LnGamma(g_binomEn + 1.0);
        }
        if (q != g_binomP) {
            g_binomP = q;
            g_binomPc = 1.0 - q;
            g_binomLnP = std::log(q);
            g_binomLnPc = std::log(g_binomPc);
        }
        const double en = g_binomEn;
        const double sq = std::sqrt(2.0 * am * g_binomPc);
        double em;
        double t;
        do {
            double y;
            em = std::floor(DrawLorentzian(sq, am, en + 1.0, &y));
            t = 1.2 * sq * (1.0 + y * y) *
                std::exp(g_binomLnFactN - LnGamma(em + 1.0) - LnGamma(en - em + 1.0) +
                         em * g_binomLnP + (en - em) * g_binomLnPc);
        } while (Rand(1.0) > t);
        count = em;
    }
    return q == p ? count : n - count;
}
