// Stat: construction, the descriptive statistics, the distribution verdict,
// the log-normal parameters, rescaling, assignment and export to a host
// object.
#include "stat/Stat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "special/Gamma.h"
#include "stat/StatInternal.h"

using statdetail::CopyDoubles;
using statdetail::NewDoubles;

namespace {

// The smallest total dispersion s² + d[i] and the weights relative to it,
// u[i] = vmin/(s² + d[i]) in [0, 1]: the inverse-variance weights without
// their overflow. Answers vmin; a vmin of 0 (a dispersion that underflowed)
// gives weight 1 to the values with total dispersion 0, 0 to the others,
// and answers the smallest positive double in its place.
double RelativeWeights(double s2, const double* d, int n, double* u) {
    double vmin = HUGE_VAL;
    for (int i = 0; i < n; ++i) vmin = std::min(vmin, s2 + d[i]);
    if (vmin == 0.0) {
        for (int i = 0; i < n; ++i) u[i] = s2 + d[i] == 0.0 ? 1.0 : 0.0;
        return std::numeric_limits<double>::denorm_min();
    }
    for (int i = 0; i < n; ++i) u[i] = vmin / (s2 + d[i]);
    return vmin;
}

// The excess-dispersion score divided by the largest weight 1/vmin, from
// the relative weights: Σ (u[i]·(x[i] − m)²/vmin − 1)·u[i] (a term may be
// +∞, which is the score's sign).
double RelativeExcessScore(double s2, const double* x, const double* d, int n, double* u) {
    const double vmin = RelativeWeights(s2, d, n, u);
    double sumU = 0.0, sumUX = 0.0;
    for (int i = 0; i < n; ++i) {
        sumU += u[i];
        sumUX += u[i] * x[i];
    }
    const double m = sumUX / sumU;
    double g = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = x[i] - m;
        g += (u[i] * (dx * dx) / vmin - 1.0) * u[i];
    }
    return g;
}

// Excess-dispersion score of excess scale s for values x with dispersions d:
// with w[i] = 1/(s² + d[i]), W = Σw and m = Σw·x/W (Σw·x when W ≤ 0),
// g(s) = Σ (w[i]·(x[i] − m)² − 1)·w[i]. w is scratch room for n doubles.
// When the weights overflow (a total dispersion below about 5.6e-309), the
// answer is g divided by the largest weight, which keeps its sign: the
// bisection only reads signs.
double ExcessScore(double s, const double* x, const double* d, int n, double* w) {
    const double s2 = s * s;
    double sumW = 0.0;
    double sumWX = 0.0;
    for (int i = 0; i < n; ++i) {
        w[i] = 1.0 / (s2 + d[i]);
        sumW += w[i];
        sumWX += w[i] * x[i];
    }
    if (!std::isfinite(sumW) || !std::isfinite(sumWX)) return RelativeExcessScore(s2, x, d, n, w);
    const double m = sumW > 0.0 ? sumWX / sumW : sumWX;
    double g = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = x[i] - m;
        g += (w[i] * (dx * dx) - 1.0) * w[i];
    }
    return g;
}

// Extremes (strict comparisons, from +∞ and −∞, so they are values of the
// sample whatever its scale; NaNs are passed over) and the sums of x,
// x², x³ = x²·x and x⁴ = x³·x, in the order the values are added.
struct Moments {
    double min = HUGE_VAL, max = -HUGE_VAL;
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
    void Add(double x) {
        if (min > x) min = x;
        if (x > max) max = x;
        const double x2 = x * x;
        const double x3 = x2 * x;
        s1 += x;
        s2 += x2;
        s3 += x3;
        s4 += x3 * x;
    }
};

// Disp/Mean² of a sample with Mean > 0, the shape of its log-normal. From
// the squares when they are normal numbers (every ordinary sample); otherwise
// without forming them, since Disp and Mean² under- or overflow together
// (values ×1e-165 or ×1e154): from the deviations relative to Mean when the
// values carry no dispersions, else as (Disp/Mean)/Mean.
double ShapeRatio(const double* x, int n, bool withDisp, double mean, double disp) {
    const double q = mean * mean;
    if (std::isnormal(q) && std::isnormal(disp)) return disp / q;
    if (withDisp) return disp / mean / mean;
    double sq = 0.0;
    for (int i = 0; i < n; ++i) {
        const double r = (x[i] - mean) / mean;
        sq += r * r;
    }
    return n >= 2 ? sq / (n - 1) : sq;
}

}  // namespace

Stat::Stat(double* values, int count) { Init(values, nullptr, count); }

Stat::Stat(double* values, double* disp, int count) { Init(values, disp, count); }

Stat::Stat(Stat& other) { Init(other.data, other.dataDisp, other.n); }

void Stat::Init(const double* values, const double* disp, int count) {
    data = nullptr;
    dataDisp = nullptr;
    estDataDisp = nullptr;
    extraData = nullptr;
    n = 0;
    Mean = Disp = SEM2 = Sum = Disp0 = 0.0;
    DistrType = DISTR_GAUSS;
    LogNormMean = LogNormDisp = 0.0;
    E2 = E3 = E4 = 0.0;
    Min = Max = 0.0;
    cumX = cumF = nullptr;
    cumN = 0;
    accuracy = 1e-7;

    if (count < 0 || (count > 0 && values == nullptr)) {
        VeskError(3);
        count = 0;
    }
    data = CopyDoubles(values, count);
    if (data != nullptr && disp != nullptr && count > 0) {
        dataDisp = CopyDoubles(disp, count);
        if (dataDisp == nullptr) {
            delete[] data;
            data = nullptr;
        }
    }
    if (data == nullptr) {
        VeskError(1);
        count = 0;
    }
    n = count;
    FindMeanDisp();
}

Stat::~Stat() { ReleaseArrays(); }

void Stat::ReleaseArrays() {
    delete[] data;
    delete[] dataDisp;
    delete[] estDataDisp;
    delete[] extraData;
    delete[] cumX;
    delete[] cumF;
}

int Stat::isTooLong() { return n > 300 ? 1 : 0; }

double* Stat::GetWeights() {
    double* w = NewDoubles(n);
    if (w == nullptr) {
        VeskError(1);
        return nullptr;
    }
    for (int i = 0; i < n; ++i) w[i] = 1.0;
    return w;
}

void Stat::FreeWeights(double* w) { delete[] w; }

void Stat::FindMeanDisp() {
    DistrType = CheckDistrType(data, n);
    CheckDisp();
    if (dataDisp != nullptr) {
        FindMeanDisp1();
    } else {
        FindMeanDisp0();
    }
    if (Mean > 0.0) {
        LogNormDisp = std::log(ShapeRatio(data, n, dataDisp != nullptr, Mean, Disp) + 1.0);
        LogNormMean = std::log(Mean) - LogNormDisp / 2.0;
    } else {
        LogNormDisp = 0.0;
        LogNormMean = 0.0;
    }
}

void Stat::CheckDisp() {
    if (dataDisp == nullptr || n < 1) return;
    bool haveVariance = false;
    double variance = 0.0;
    for (int i = 0; i < n; ++i) {
        if (dataDisp[i] > 0.0) continue;
        if (!haveVariance || variance <= 0.0) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += data[k];
            const double mean = sum / n;
            double sq = 0.0;
            for (int k = 0; k < n; ++k) {
                const double dx = data[k] - mean;
                sq += dx * dx;
            }
            variance = sq / n;
            haveVariance = true;
        }
        dataDisp[i] = variance;
    }
}

double Stat::GatherMoments(bool lastFirst) {
    Moments mo;
    if (lastFirst) {
        for (int i = n - 1; i >= 0; --i) mo.Add(data[i]);
    } else {
        for (int i = 0; i < n; ++i) mo.Add(data[i]);
    }
    Min = mo.min;
    Max = mo.max;
    if (n == 0) {
        Min = 1e300;
        Max = -1e300;
    } else if (Min > Max) {  // every value is a NaN
        Min = Max = NAN;
    }
    Sum = mo.s1;
    E2 = mo.s2 / n;
    E3 = mo.s3 / n;
    E4 = mo.s4 / n;
    return mo.s2;
}

void Stat::FindMeanDisp0() {
    GatherMoments(false);
    Mean = Sum / n;
    double sq = 0.0;
    for (int i = 0; i < n; ++i) {
        const double dx = data[i] - Mean;
        sq += dx * dx;
    }
    Disp = n >= 2 ? sq / (n - 1) : sq;
    if (std::isinf(sq)) {
        // The squares overflowed (deviations above 1.3e154): the same sum
        // over the deviations divided by the largest, times its square, so
        // a dispersion within the doubles is kept.
        double top = 0.0;
        for (int i = 0; i < n; ++i) top = std::max(top, std::fabs(data[i] - Mean));
        if (std::isfinite(top)) {
            double rq = 0.0;
            for (int i = 0; i < n; ++i) {
                const double r = (data[i] - Mean) / top;
                rq += r * r;
            }
            Disp = (n >= 2 ? rq / (n - 1) : rq) * top * top;
        }
    }
    SEM2 = Disp / n;
}

void Stat::FindMeanDisp1() {
    const double sumSquares = GatherMoments(true);

    if (Min == Max) {
        Mean = Min;
        SEM2 = 0.0;
        Disp0 = 0.0;
        Disp = 0.0;
        double inverseSum = 0.0;
        for (int i = n - 1; i >= 0; --i) {
            const double d = dataDisp[i];
            if (d > Disp) Disp = d;
            if (d > 0.0) inverseSum += 1.0 / d;
        }
        if (inverseSum > 0.0) SEM2 = 1.0 / inverseSum;
        return;
    }

    // Excess scale s: root of the score on [0, h], signs compared, never
    // multiplied (the product of two scores underflows for large values).
    double s = 0.0;
    statdetail::Scratch<double> weights(static_cast<long>(n) + 1, n);
    if (weights.Get() == nullptr) {
        VeskError(1);
    } else {
        double* w = weights.Get();
        auto g = [&](double e) { return ExcessScore(e, data, dataDisp, n, w); };
        const double h = std::sqrt(sumSquares / (n - 1));
        const double gl = g(0.0);
        if (statdetail::OppositeSigns(g(h), gl)) {
            const double tol = accuracy;
            s = statdetail::BisectSigns(g, 0.0, h, gl, [tol](double a, double b) {
                return std::fabs(a - b) / (b + a) > tol;
            });
        }
    }

    const double s2e = s * s;
    Disp0 = s2e;
    double sumV = 0.0, sumInv = 0.0, sumXV = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = s2e + dataDisp[i];
        sumV += v;
        sumInv += 1.0 / v;
        sumXV += data[i] / v;
    }
    Disp = sumV / n;
    Mean = sumXV;
    SEM2 = 0.0;
    if (sumInv > 0.0) {
        Mean = sumXV / sumInv;
        SEM2 = 1.0 / sumInv;
    }
    if (std::isfinite(sumInv) && std::isfinite(sumXV)) return;
    // A total dispersion below about 5.6e-309 overflows its weight: the
    // weights relative to the largest give the mean, which such a value
    // dominates, and SEM2 = vmin/Σu.
    statdetail::Scratch<double> relative(n);
    double* u = relative.Get();
    if (u == nullptr) {
        VeskError(1);
        return;
    }
    const double vmin = RelativeWeights(s2e, dataDisp, n, u);
    double sumU = 0.0, sumUX = 0.0;
    for (int i = 0; i < n; ++i) {
        sumU += u[i];
        sumUX += u[i] * data[i];
    }
    Mean = sumUX / sumU;
    SEM2 = vmin / sumU;
}

DISTR_TYPE Stat::CheckDistrType(double* x, int count) {
    double mn = HUGE_VAL, mx = -HUGE_VAL;
    bool nonPositive = false;
    for (int i = count - 1; i >= 0; --i) {
        if (x[i] <= 0.0) {
            nonPositive = true;
            break;
        }
        if (x[i] < mn) mn = x[i];
        if (x[i] > mx) mx = x[i];
    }
    if (count < 2 || nonPositive || mn == mx) return DISTR_GAUSS;
    const double lg = GetLogLikelihoodOfGauss(x, count);
    const double ll = GetLogLikelihoodOfLogNormal(x, count);
    return ll >= lg + 1.0 ? DISTR_LOGNORMAL : DISTR_GAUSS;
}

namespace {

// Smallest value of x scanned from the last to the first, starting at 1.03
// (the marginal likelihoods only ask whether it is positive).
double ScanMinimum(const double* x, int n) {
    double mn = 1.03;
    for (int i = n - 1; i >= 0; --i) {
        if (x[i] < mn) mn = x[i];
    }
    return mn;
}

// The terms both marginal log-likelihoods share, for N values whose scatter
// about their mean is S: ln Γ((N+1)/2) + ½ ln 2 − (N/2) ln π − ((N−1)/2) ln N
// − (N/2) ln V with V = S/N (S = 1/N when the scatter is exactly 0).
double CommonLikelihood(double N, double S, double& V) {
    if (S == 0.0) S = 1.0 / N;
    V = S / N;
    return LnGamma((N + 1.0) / 2.0) + 0.5 * std::log(2.0) - (N / 2.0) * std::log(std::numbers::pi) -
           ((N - 1.0) / 2.0) * std::log(N) - (N / 2.0) * std::log(V);
}

// Mean of y[0..n-1] and the sum of squared deviations from it.
double Scatter(const double* y, int n, double& mean) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += y[i];
    mean = sum / n;
    double sq = 0.0;
    for (int i = 0; i < n; ++i) {
        const double d = y[i] - mean;
        sq += d * d;
    }
    return sq;
}

}  // namespace

double Stat::GetLogLikelihoodOfGauss(double* x, int count) {
    if (count >= 1 && ScanMinimum(x, count) <= 0.0) return 0.0;
    const double N = count;
    double m = 0.0;
    double S = Scatter(x, count, m);
    if (count == 0) S = 1.0 / N;
    double V = 0.0;
    const double common = CommonLikelihood(N, S, V);
    return common - std::log(20.0 * std::sqrt(V)) - std::log(10000.0);
}

double Stat::GetLogLikelihoodOfLogNormal(double* x, int count) {
    if (ScanMinimum(x, count) <= 0.0) return -1e300;
    statdetail::Scratch<double> logs(count);
    double* y = logs.Get();
    if (y == nullptr) {
        VeskError(1);
        return -1e300;
    }
    for (int i = 0; i < count; ++i) y[i] = std::log(x[i]);
    const double N = count;
    double m = 0.0;
    const double S = Scatter(y, count, m);
    double V = 0.0;
    const double common = CommonLikelihood(N, S, V);
    return common - N * m - 2.0 * std::log(10000.0);
}

void Stat::SetAccuracy(double a) {
    if (a >= 1e-15 && a <= 1e-2) {
        accuracy = a;
    } else {
        VeskError(3, "Stat::SetAccuracy: the accuracy must lie between 1e-15 and 1e-2");
    }
}

double Stat::GetLogNormalDisp() {
    if (Mean > 0.0) return std::log(ShapeRatio(data, n, dataDisp != nullptr, Mean, Disp) + 1.0);
    VeskError(10);
    return 1.0;
}

double Stat::GetLogNormalMu0() { return Mean * std::exp(-0.5 * GetLogNormalDisp()); }

Stat& Stat::operator*=(double c) {
    const double c2 = c * c;
    const double c3 = c2 * c;
    const double c4 = c2 * c2;
    auto times = [c](double v, double power, int p) { return statdetail::TimesPower(v, c, power, p); };
    for (int i = 0; i < n; ++i) data[i] *= c;
    if (dataDisp != nullptr) {
        for (int i = 0; i < n; ++i) dataDisp[i] = times(dataDisp[i], c2, 2);
    }
    if (estDataDisp != nullptr) {
        for (int i = 0; i < n; ++i) estDataDisp[i] = times(estDataDisp[i], c2, 2);
    }
    Mean *= c;
    Disp = times(Disp, c2, 2);
    SEM2 = times(SEM2, c2, 2);
    Disp0 = times(Disp0, c2, 2);
    E2 = times(E2, c2, 2);
    E3 = times(E3, c3, 3);
    E4 = times(E4, c4, 4);
    Min *= c;
    Max *= c;
    Sum *= c;
    if (Min > Max) {
        const double t = Min;
        Min = Max;
        Max = t;
    }
    LogNormMean = Mean > 0.0 ? std::log(Mean) - LogNormDisp / 2.0 : 0.0;
    if (c > 0.0) {
        if (cumX != nullptr) {
            for (int i = 0; i < cumN; ++i) cumX[i] *= c;
        }
    } else {
        delete[] cumX;
        delete[] cumF;
        cumX = cumF = nullptr;
        cumN = 0;
    }
    return *this;
}

Stat& Stat::operator=(const Stat& other) {
    if (this == &other) return *this;
    // Every new array is made before anything is released, so a refusal
    // leaves this object as it was.
    double* newData = CopyDoubles(other.data, other.n);
    double* newDisp = other.dataDisp != nullptr ? CopyDoubles(other.dataDisp, other.n) : nullptr;
    double* newEst = other.estDataDisp != nullptr ? CopyDoubles(other.estDataDisp, other.n) : nullptr;
    const bool haveCum = other.cumX != nullptr && other.cumF != nullptr;
    double* newCumX = haveCum ? CopyDoubles(other.cumX, other.cumN) : nullptr;
    double* newCumF = haveCum ? CopyDoubles(other.cumF, other.cumN) : nullptr;
    if (newData == nullptr || (other.dataDisp != nullptr && newDisp == nullptr) ||
        (other.estDataDisp != nullptr && newEst == nullptr) ||
        (haveCum && (newCumX == nullptr || newCumF == nullptr))) {
        delete[] newData;
        delete[] newDisp;
        delete[] newEst;
        delete[] newCumX;
        delete[] newCumF;
        VeskError(1);
        return *this;
    }
    ReleaseArrays();
    data = newData;
    dataDisp = newDisp;
    estDataDisp = newEst;
    extraData = nullptr;
    cumX = newCumX;
    cumF = newCumF;
    cumN = haveCum ? other.cumN : 0;
    n = other.n;
    Mean = other.Mean;
    Disp = other.Disp;
    SEM2 = other.SEM2;
    Sum = other.Sum;
    Disp0 = other.Disp0;
    DistrType = other.DistrType;
    LogNormMean = other.LogNormMean;
    LogNormDisp = other.LogNormDisp;
    E2 = other.E2;
    E3 = other.E3;
    E4 = other.E4;
    Min = other.Min;
    Max = other.Max;
    accuracy = other.accuracy;
    return *this;
}

void Stat::UpdateVeskObject(Variable& obj) {
    obj("Mean") = Mean;
    obj("Disp") = Disp;
    obj("SEM2") = SEM2;
    obj("Disp0") = Disp0;
    obj("E2") = E2;
    obj("E3") = E3;
    obj("E4") = E4;
    obj("DistrType") = static_cast<int>(DistrType);
    obj("Min") = Min;
    obj("Max") = Max;
    obj("Sum") = Sum;
    Variable& est = obj("estDataDisp");
    if (estDataDisp != nullptr) {
        est.Init(VT_ARRAY, n);
        for (int i = 0; i < n; ++i) est[i] = estDataDisp[i];
    } else {
        est.Clear();
    }
    obj("LogNormDisp") = LogNormDisp;
    obj("LogNormMean") = LogNormMean;
}
