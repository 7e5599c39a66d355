// Most probable value of a Stat sample under the location models, its
// squared error from the normalised likelihood curve, and the tabulated
// log-likelihood curve.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "solvers/Section.h"
#include "stat/Stat.h"
#include "stat/StatInternal.h"
#include "stat/StatRobustInternal.h"
#include "tfunc/TFunc.h"

using namespace statdetail;

namespace {

// The parameter block of a ProbFunc: (values, dispersions, weights, n).
Variable ParameterBlock(double* x, double* d, double* w, int n) {
    Variable v(VT_ARRAY, 4);
    v[0].SetCppPointer(x);
    v[1].SetCppPointer(d);
    v[2].SetCppPointer(w);
    v[3] = n;
    return v;
}

bool AllPositive(const double* d, int n) {
    for (int i = 0; i < n; ++i)
        if (!(d[i] > 0)) return false;
    return true;
}

// Number of values within [centre − half, centre + half].
int CountWithin(const double* x, int n, double centre, double half) {
    int c = 0;
    for (int i = 0; i < n; ++i)
        if (centre - half <= x[i] && x[i] <= centre + half) ++c;
    return c;
}

// Index of the first and last largest of L(j) over the given indices; the
// search starts from −1e300 with both indices 0.
template <class L>
void ArgMaxRange(int count, int stride, L&& value, int& first, int& last) {
    double best = -1e300;
    first = last = 0;
    for (int j = 0; j < count; j += stride) {
        const double v = value(j);
        if (v > best) {
            best = v;
            first = last = j;
        } else if (v >= best) {
            last = j;
        }
    }
}

// Bisection continues while the bracket is wider than accuracy·range and
// its midpoint still differs from both ends.
auto WidthRule(double range, double accuracy) {
    return [range, accuracy](double a, double b) {
        const double m = (a + b) * 0.5;
        return std::fabs(b - a) / range > accuracy && m != a && m != b;
    };
}

// What the error's search reads of the sample: Mean, Disp, Min and Max.
struct Frame {
    double mean, disp, min, max;
};

// GetSEM2OfMostProbableValue on the sample described by fr.
double Sem2OfMostProbableValue(double mpv, ProbFunc f, Variable& v, int logScale, const Frame& fr,
                               double accuracy) {
    const double L0 = -f(mpv, v);

    // Search range: the data and three standard deviations about the mean.
    double lo = std::min(fr.mean - 3 * std::sqrt(fr.disp), fr.min);
    double hi = std::max(fr.mean + 3 * std::sqrt(fr.disp), fr.max);
    if (std::fabs(lo - hi) <= 1e-7 * std::fabs(lo + hi)) {
        const double widen = mpv == 0 ? 1.0 : std::sqrt(std::fabs(mpv));
        lo -= widen;
        hi += widen;
    }
    if (logScale == 1 && lo <= 0) lo = fr.min / 100;

    // Where the likelihood falls to 1e-4 of its peak on either side. Every
    // bisection stops on a width relative to its search range, so the
    // answer's precision does not depend on how far the data lie from 0.
    const double c = std::log(0.0001);
    auto g = [&](double x) { return -f(x, v) - L0 - c; };
    const auto limitWidth = WidthRule(hi - lo, accuracy);
    const double glo = g(lo);
    const double L = glo >= 0 ? lo : BisectSigns(g, lo, mpv, glo, limitWidth);
    const double U = g(hi) >= 0 ? hi : BisectSigns(g, mpv, hi, g(mpv), limitWidth);

    // The likelihood curve on 30 points, normalised to integrate to 1.
    double t[30], p[30];
    for (int k = 0; k < 30; ++k) {
        t[k] = L + k * (U - L) / 29;
        p[k] = std::exp(-f(t[k], v) - L0);
    }
    TFunc curve(t, p, 30, 1);
    const double area = curve.IntegralSimpson(t[0], t[29]);
    if (!(area > 0)) return 0.0;
    curve /= area;

    // Quantiles holding 0.34 of the probability on each side of the peak.
    const auto quantileWidth = WidthRule(U - L, accuracy);
    auto below = [&](double x) { return curve.IntegralSimpson(x, mpv) - 0.34; };
    auto above = [&](double x) { return curve.IntegralSimpson(mpv, x) - 0.34; };
    const double hL = below(L);
    const double qlo = hL <= 0 ? L : BisectSigns(below, L, mpv, hL, quantileWidth);
    const double qhi = above(U) <= 0 ? U : BisectSigns(above, mpv, U, above(mpv), quantileWidth);
    const double h = (qhi - qlo) / 2;
    return h * h;
}

// Sample variance of x[0..n-1] (n ≥ 2).
double Variance(const double* x, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += x[i];
    const double mean = sum / n;
    double sq = 0;
    for (int i = 0; i < n; ++i) sq += (x[i] - mean) * (x[i] - mean);
    return sq / (n - 1);
}

}  // namespace

MatVectorCol* Stat::GetMostProbableValue(int type, int logScale) {
    MatVectorCol* r = new (std::nothrow) MatVectorCol(3);
    if (r == nullptr || r->Len() != 3) {
        delete r;
        VeskError(1);
        return nullptr;
    }
    (*r)[0] = Mean;
    if (n == 1) {
        (*r)[1] = Disp;
        return r;
    }
    (*r)[1] = SEM2;
    if (n == 2 || Max == Min || (Max - Min) / (std::fabs(Min) + std::fabs(Max)) < 1e-7) return r;

    if (isTooLong()) {
        Stat* sub = SampleSubset(250);
        if (sub == nullptr) return r;
        MatVectorCol* rs = sub->GetMostProbableValue(type, logScale);
        delete sub;
        if (rs == nullptr) return r;
        delete r;
        r = rs;
        (*r)[1] = (*r)[1] * 250 / n;
        const double half = std::sqrt(n * (*r)[1]);
        (*r)[2] = CountWithin(data, n, (*r)[0], half);
        return r;
    }

    ProbFunc f = GetProbFuncPtr(type, logScale);
    double* d = GetEstimationDisp();
    if (d == nullptr) return r;
    double* w = GetWeights();
    if (w == nullptr) return r;
    if (!AllFinite(w, n)) {
        FreeWeights(w);
        VeskError(3, "GetMostProbableValue: a weight is not a finite number");
        (*r)[0] = (*r)[1] = NAN;
        return r;
    }

    // The search runs in the data's own scale: on the values divided by
    // 2^e, the power of two at or below Max − Min, and the dispersions by
    // 2^2e. Powers of two scale exactly, so a sample spanning 1 or more
    // searches as before, and far scaled samples (×1e-20, whose bracket
    // had a floor of 10·accuracy, or ×1e-300, whose dispersions underflow)
    // search like the sample itself.
    int e = 0;
    const double range = Max - Min;
    std::frexp(std::isfinite(range) ? range : Max / 2 - Min / 2, &e);
    const int sh = e - 1;
    Scratch<double> scaledBuf(2 * static_cast<long>(n), n);
    Scratch<double> distinct(n);
    double* xs = scaledBuf.Get();
    double* u = distinct.Get();
    if (xs == nullptr || u == nullptr) {
        FreeWeights(w);
        VeskError(1);
        return r;
    }
    double* ds = xs + n;
    for (int i = 0; i < n; ++i) {
        xs[i] = std::ldexp(data[i], -sh);
        ds[i] = std::ldexp(d[i], -2 * sh);
    }
    if (dataDisp == nullptr && !std::all_of(ds, ds + n, [](double x) { return std::isnormal(x); })) {
        // The estimate in the data's units under- or overflowed: estimate
        // again on the scaled values.
        std::unique_ptr<double[]> est(EstimateDisp(xs, n, accuracy));
        if (est != nullptr) std::memcpy(ds, est.get(), sizeof(double) * n);
    }
    if (!AllPositive(ds, n)) {
        FreeWeights(w);
        return r;
    }
    Frame fr = {std::ldexp(Mean, -sh), std::ldexp(Disp, -2 * sh), std::ldexp(Min, -sh), std::ldexp(Max, -sh)};
    if (!std::isnormal(fr.disp) && dataDisp == nullptr) fr.disp = Variance(xs, n);
    Variable v = ParameterBlock(xs, ds, w, n);

    // Distinct values, ascending.
    std::memcpy(u, xs, sizeof(double) * n);
    SortNanLast(u, n);
    const int K = static_cast<int>(std::unique(u, u + n) - u);

    // Coarse scan over every step-th distinct value; the bracket reaches one
    // scan step beyond the best points on each side, where the maximum of a
    // unimodal likelihood must lie.
    const int step = std::max(1, K / 30);
    int lo, hi;
    ArgMaxRange(K, step, [&](int j) { return -f(u[j], v); }, lo, hi);
    hi = std::min(K - 1, hi + step);
    lo = std::max(0, lo - step);

    // Fine scan: 30 points across the bracket.
    double g[30];
    for (int k = 0; k < 30; ++k) g[k] = u[lo] + k * (u[hi] - u[lo]) / 29;
    int first, last;
    ArgMaxRange(30, 1, [&](int k) { return -f(g[k], v); }, first, last);
    double bounds[2] = {g[first > 0 ? first - 1 : 0], g[last < 29 ? last + 1 : 29]};
    const double wmin = 10 * accuracy * std::max(1.0, fr.max - fr.min);
    if (bounds[1] - bounds[0] < wmin) {
        bounds[0] -= wmin;
        bounds[1] += wmin;
    }

    Variable fn = NativeFunctionValue(reinterpret_cast<void*>(f));
    GoldSection_Double gold(fn, bounds, accuracy);
    gold.SetExtraParam(v);
    const double mpv = gold.Solve();
    const double sem2 = Sem2OfMostProbableValue(mpv, f, v, logScale, fr, accuracy);
    FreeWeights(w);

    (*r)[0] = std::ldexp(mpv, sh);
    (*r)[1] = std::ldexp(sem2, 2 * sh);
    (*r)[2] = CountWithin(xs, n, mpv, std::sqrt(n * sem2));
    return r;
}

double Stat::GetSEM2OfMostProbableValue(double mpv, ProbFunc f, Variable& v, int logScale) {
    return Sem2OfMostProbableValue(mpv, f, v, logScale, Frame{Mean, Disp, Min, Max}, accuracy);
}

void Stat::GetLogProbabilityDistribution(int type, int logScale, int k, double*& X, double*& Y) {
    X = Y = nullptr;
    if (k <= 0) {
        VeskError(3, "GetLogProbabilityDistribution: the number of points must be positive");
        return;
    }
    if (n <= 0) {
        VeskError(3, "GetLogProbabilityDistribution: the sample is empty");
        return;
    }
    double* x = NewDoubles(k);
    double* y = NewDoubles(k);
    if (x == nullptr || y == nullptr) {
        delete[] x;
        delete[] y;
        VeskError(1);
        return;
    }
    double* d = GetEstimationDisp();
    double* w = d != nullptr ? GetWeights() : nullptr;
    if (w == nullptr || !AllPositive(d, n) || !AllFinite(w, n)) {
        if (w != nullptr) {
            FreeWeights(w);
            VeskError(3, "GetLogProbabilityDistribution: the dispersions are not positive or a weight is not finite");
        }
        delete[] x;
        delete[] y;
        return;
    }
    ProbFunc f = GetProbFuncPtr(type, logScale);
    Variable v = ParameterBlock(data, d, w, n);
    const double range = Max - Min;
    const double a = Min - range / 2;
    const double h = 2 * range / k;
    double top = -1e300;
    for (int i = 0; i < k; ++i) {
        x[i] = a + i * h;
        y[i] = -f(x[i], v);
        if (y[i] > top) top = y[i];
    }
    for (int i = 0; i < k; ++i) y[i] -= top;
    FreeWeights(w);
    X = x;
    Y = y;
}
