// Stat: least-squares fit of a normal distribution function to the
// cumulative distribution, through the minimizer Climb.
#include <cmath>
#include <new>

#include "host/Plugin.h"
#include "linalg/Matrix.h"
#include "solvers/Climb.h"
#include "special/Gamma.h"
#include "stat/Stat.h"
#include "stat/StatInternal.h"

namespace {

// Σ (F[i] − (1 + erf((X[i] − μ)/(σ√2)))/2)² over the fitted points, with
// p = (μ, ln σ) and extra = (address of X, address of F, count).
double FitResidue(MatVector& p, Variable& extra) {
    const double* X = static_cast<const double*>(extra[0].GetCppPointer());
    const double* F = static_cast<const double*>(extra[1].GetCppPointer());
    const int count = static_cast<int>(extra[2]);
    const double mu = p[0];
    const double width = std::exp(p[1]) * std::sqrt(2.0);
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        const double r = F[i] - (1.0 + Erf((X[i] - mu) / width)) / 2.0;
        sum += r * r;
    }
    return sum;
}

// New vector of 4 entries, or null with error 1.
MatVectorCol* NewResult(double a, double b, double c, double d) {
    MatVectorCol* r = new (std::nothrow) MatVectorCol(4);
    if (r == nullptr || r->Len() != 4) {
        delete r;
        VeskError(1);
        return nullptr;
    }
    (*r)[0] = a;
    (*r)[1] = b;
    (*r)[2] = c;
    (*r)[3] = d;
    return r;
}

}  // namespace

MatVectorCol* Stat::FitCumulativeDistribution() {
    double* X = nullptr;
    double* F = nullptr;
    int m = 0;
    GetCumulativeDistr(X, F, m);
    if (X == nullptr || F == nullptr || m < 1) return nullptr;
    if (m <= 200) return FitCumulativeDistribution(X, F, m);

    // At most 101 points around the median: slot 50 holds the first point
    // above F = 0.5, the others every m/100 points on either side.
    int c = 0;
    while (c < m && !(F[c] > 0.5)) ++c;
    if (c >= m) return FitCumulativeDistribution(X, F, m);
    double xs[102], fs[102];
    const double step = m / 100.0;
    xs[50] = X[c];
    fs[50] = F[c];
    int first = 50;
    for (double t = c - 1; t >= 0 && first > 0; t -= step) {
        --first;
        xs[first] = X[static_cast<int>(t)];
        fs[first] = F[static_cast<int>(t)];
    }
    int last = 50;
    for (double t = c + 1; t < m && last < 100; t += step) {
        ++last;
        xs[last] = X[static_cast<int>(t)];
        fs[last] = F[static_cast<int>(t)];
    }
    if (xs[last] > xs[first]) return FitCumulativeDistribution(xs + first, fs + first, last - first + 1);
    return FitCumulativeDistribution(X, F, m);
}

MatVectorCol* Stat::FitCumulativeDistribution(double* X, double* F, int m) {
    if (X == nullptr || F == nullptr || m < 1) return nullptr;
    const double range = Max - Min;
    if (range == 0.0 || range / (std::fabs(Min) + std::fabs(Max)) < 1e-12) {
        const double se = std::sqrt(SEM2);
        return NewResult(Mean, se, se, 2.0 * se);
    }

    // The minimizer runs only with a host processor; without one there is
    // no fit (its start point would come back as if fitted).
    if (GetOwner() == nullptr) return nullptr;

    // Fit range: without the tails below F = 0.1 and above F = 0.9 when
    // there are more than 10 points.
    int lo = 0, hi = m - 1;
    if (m > 10) {
        const int half = m / 2;
        for (int i = 0; i < half; ++i) {
            if (F[i] > 0.1) {
                lo = i;
                break;
            }
        }
        for (int i = m - 1; i > half; --i) {
            if (F[i] < 0.9) {
                hi = i;
                break;
            }
        }
    }

    double w = (X[hi] - X[lo]) / 2.0;
    // √Disp only when it is a normal number: a sample ×1e-300 has Disp 0
    // (underflow), which made the width 1, far beyond the data.
    const double sd = std::sqrt(Disp);
    if (sd <= w && std::isnormal(sd)) w = sd;
    if (w == 0.0) w = 1.0;

    double mu0 = X[lo];
    for (int i = lo; i <= hi; ++i) {
        if (F[i] >= 0.5) {
            mu0 = i > 0 ? (X[i - 1] + X[i]) / 2.0 : X[i];
            break;
        }
    }

    // The fit runs on the points centred on the start mu0 and scaled by the
    // width w: the minimizer's difference steps and tolerances then follow
    // the data, whatever its scale (×1e-300 failed to fit) and location
    // (at 1e10 the steps of the Hessian vanished against X).
    const int count = hi - lo + 1;
    statdetail::Scratch<double> scaledBuf(count);
    double* u = scaledBuf.Get();
    if (u == nullptr) {
        VeskError(1);
        return nullptr;
    }
    for (int i = 0; i < count; ++i) u[i] = (X[lo + i] - mu0) / w;
    // Lower bound of σ: w/10⁴, or a tenth of the smallest step between
    // fitted points when that is smaller, so one far outlier (which inflates
    // w) cannot hide the steps of a small sample.
    double sigmaLow = 1e-4;
    for (int i = 1; i < count; ++i) {
        const double gap = u[i] - u[i - 1];
        if (gap > 0.0 && gap / 10.0 < sigmaLow) sigmaLow = gap / 10.0;
    }

    Variable objective;
    objective.SetCppPointer(reinterpret_cast<void*>(&FitResidue));
    Variable extra(VT_ARRAY, 3);
    extra[0].SetCppPointer(u);
    extra[1].SetCppPointer(F + lo);
    extra[2] = count;
    double bounds[4] = {u[0], u[count - 1], std::log(sigmaLow), std::log(100.0)};
    double start[2] = {0.0, 0.0};
    // A point that is not a finite number (a NaN or infinite value in the
    // sample) leaves nothing to fit; the minimizer would only report it.
    for (double b : bounds) {
        if (!std::isfinite(b)) return nullptr;
    }
    if (!std::isfinite(mu0) || !std::isfinite(w)) return nullptr;

    Climb climb(objective, 2, bounds, start, accuracy);
    climb.SetExtraParam(extra);
    climb.SetErrorIfMaxItterNumberExceed(0);
    climb.Solve();
    MatVectorCol p(climb.GetResult());
    if (p.Len() != 2) {
        VeskError(1);
        return nullptr;
    }
    Matrix* H = climb.GetHessian(p);
    if (H == nullptr) return nullptr;
    Matrix* C = H->PseudoInverse();
    delete H;
    if (C == nullptr) return nullptr;
    const double R = FitResidue(p, extra);
    const double c00 = (*C)[0][0];
    const double c11 = (*C)[1][1];
    delete C;
    // Back to the data's units: μ = mu0 + w·μ', σ = w·σ'; the error of μ
    // scales with w, the error of σ is σ times the error of ln σ.
    const double sigma = w * std::exp(p[1]);
    return NewResult(mu0 + w * p[0], sigma / std::sqrt(static_cast<double>(n)),
                     w * std::sqrt(std::fabs(R * c00) * 2.0 / m), sigma * std::sqrt(std::fabs(R * c11) * 2.0 / m));
}

