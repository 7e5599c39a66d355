// Robust estimates of Stat: the medians with their spread or standard error,
// the estimated per-value dispersions and the deterministic thinning of a
// sample.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "containers/Sort.h"
#include "solvers/Section.h"
#include "special/Gamma.h"
#include "stat/Stat.h"
#include "stat/StatInternal.h"
#include "stat/StatRobustInternal.h"

namespace statdetail {

namespace {

// Median of the values x[0..c-1] once ranks (c − 1)/2 and c/2 hold what a
// sort would put there.
double MiddleOf(const double* x, int c) {
    if (c % 2 == 1) return x[c / 2];
    return (x[c / 2 - 1] + x[c / 2]) / 2;
}

// Median of the absolute pairwise differences of t[0..m-1] (any order).
bool PairwiseSpread(const double* t, int m, double& spread) {
    const long count = static_cast<long>(m) * (m - 1) / 2;
    Scratch<double> diff(count);
    double* d = diff.Get();
    if (d == nullptr) {
        VeskError(1);
        return false;
    }
    long c = 0;
    for (int i = 1; i < m; ++i)
        for (int j = 0; j < i; ++j) d[c++] = std::fabs(t[i] - t[j]);
    // Only the middle order statistics are read: a selection gives the same
    // values as a full sort.
    const long mid = count / 2;
    std::nth_element(d, d + mid, d + count, LessNanLast);
    if (count % 2 == 1) {
        spread = d[mid];
    } else {
        const double below = *std::max_element(d, d + mid, LessNanLast);
        spread = (below + d[mid]) / 2;
    }
    return true;
}

}  // namespace

bool SampleMedian(const double* x, int n, double* median, double* spread) {
    Scratch<double> copy(n);
    double* v = copy.Get();
    if (v == nullptr) {
        VeskError(1);
        return false;
    }
    std::memcpy(v, x, sizeof(double) * n);
    // Only the middle ranks and, above 300 values, the 300 representatives
    // sorted[⌊k·(n − 1)/299⌋] are read: they are selected, not sorted.
    int ranks[302];
    int k = 0;
    const bool thin = spread != nullptr && n > 300;
    if (thin)
        for (int j = 0; j < 300; ++j) ranks[k++] = static_cast<int>(static_cast<std::int64_t>(j) * (n - 1) / 299);
    ranks[k++] = (n - 1) / 2;
    ranks[k++] = n / 2;
    std::sort(ranks, ranks + k);
    k = static_cast<int>(std::unique(ranks, ranks + k) - ranks);
    SelectRanksNanLast(v, n, ranks, k);
    if (spread != nullptr) {
        double reps[300];
        const double* t = v;
        int m = n;
        if (thin) {
            for (int j = 0; j < 300; ++j) reps[j] = v[static_cast<std::int64_t>(j) * (n - 1) / 299];
            t = reps;
            m = 300;
        }
        if (!PairwiseSpread(t, m, *spread)) return false;
    }
    if (median != nullptr) *median = MiddleOf(v, n);
    return true;
}

bool WeightedMedian(const double* x, const double* w, int n, double& median) {
    Scratch<ValuePair> pairs(n);
    ValuePair* p = pairs.Get();
    if (p == nullptr) {
        VeskError(1);
        return false;
    }
    for (int i = 0; i < n; ++i) p[i] = {x[i], w[i]};
    SortPairsNanLast(p, n);
    double total = 0;
    for (int i = 0; i < n; ++i) total += p[i].other;
    const double half = total / 2;
    double cum = 0;
    int i = 0;
    for (; i < n - 1; ++i) {
        cum += p[i].other;
        if (cum >= half) break;
    }
    median = (cum == half && i < n - 1) ? (p[i].value + p[i + 1].value) / 2 : p[i].value;
    return true;
}

bool NoneOrOneValue(const double* x, int n, double& median, double& other) {
    if (n > 1) return false;
    if (n == 1) {
        median = x[0];
        other = 0;
    }
    return true;
}

FittedCentre FitCentre(Stat& s, double& mu, double& se) {
    MatVectorCol* r = s.FitCumulativeDistribution();
    if (r == nullptr) return FittedCentre::None;
    mu = (*r)[0];
    se = (*r)[1];
    delete r;
    return s.GetMin() <= mu && mu <= s.GetMax() ? FittedCentre::Inside : FittedCentre::Outside;
}

bool MedianFromFit(Stat& s, double& median, double& seMedian) {
    double mu, se;
    switch (FitCentre(s, mu, se)) {
        case FittedCentre::Inside:
            median = mu;
            seMedian = std::sqrt(kHalfPi) * se;
            return true;
        case FittedCentre::Outside:
            s.GetMedian_MAD(median, seMedian);
            return true;
        case FittedCentre::None:
            break;
    }
    return false;
}

Variable NativeFunctionValue(void* fn) {
    Variable v;
    v.SetCppPointer(fn);
    return v;
}

}  // namespace statdetail

using namespace statdetail;

namespace {

const double kTwoOverSqrtPi = 1.1283791670955126;

// Inverse error function by linear interpolation in a table of erf at 100
// points evenly spaced on [0, 5]. Fractions at or below erf(0) give 0,
// fractions above erf(5) (the whole sample) give 5, the end of the table.
class InverseErfTable {
public:
    InverseErfTable() {
        for (int k = 0; k < kPoints; ++k) {
            t_[k] = k * 5.0 / 99;
            e_[k] = Erf(t_[k]);
        }
    }
    double operator()(double q) const {
        const int i = BFindInsertIndex(const_cast<double*>(e_.data()), q, kPoints);
        if (i <= 0) return 0.0;
        if (i >= kPoints) return t_[kPoints - 1];
        const double de = e_[i] - e_[i - 1];
        if (!(de > 0)) return t_[i - 1];
        return t_[i - 1] + (q - e_[i - 1]) * (t_[i] - t_[i - 1]) / de;
    }

private:
    static constexpr int kPoints = 100;
    std::array<double, kPoints> t_;
    std::array<double, kPoints> e_;
};

// Share of the variance that a normal distribution keeps when truncated
// symmetrically to the central fraction erf(z): 1 − (2/√π)·z·e^(−z²)/erf(z).
double TruncatedVarianceFactor(double z) {
    const double e = Erf(z);
    if (e == 0) return 0.0;
    return 1 - kTwoOverSqrtPi * z * std::exp(-z * z) / e;
}

// Q(s) = Σ over i from ⌊3·c0/4⌋ to c0 − 1 of (V[i] − A[i]·s²)², A the
// truncated-variance factors; extra = (address of A, address of V, c0).
double TruncatedFitObjective(double s, Variable& extra) {
    const double* A = static_cast<const double*>(extra[0].GetCppPointer());
    const double* V = static_cast<const double*>(extra[1].GetCppPointer());
    const int c0 = static_cast<int>(extra[2]);
    const double s2 = s * s;
    double q = 0;
    for (int i = (3 * c0) / 4; i < c0; ++i) {
        const double r = V[i] - A[i] * s2;
        q += r * r;
    }
    return q;
}

// Points the fit at A[0..c0-1], V[0..c0-1] and bounds its search for s by
// [0, min(w0, 2·√max(V/A))] over the summed range: the minimum, at
// s² = ΣA·V/ΣA², lies below √max(V/A), and a bracket no wider than needed
// keeps the search's relative tolerance fine when far outliers inflate w0.
void SetFitRange(Variable& extra, GoldSection_Double& gold, double* A, double* V, int c0,
                 double w0) {
    extra[0].SetCppPointer(A);
    extra[1].SetCppPointer(V);
    extra[2] = c0;
    gold.SetExtraParam(extra);
    double top = 0;
    for (int i = (3 * c0) / 4; i < c0; ++i)
        if (A[i] > 0 && V[i] / A[i] > top) top = V[i] / A[i];
    double* bounds = gold.GetBoundaries();
    bounds[0] = 0;
    bounds[1] = std::min(w0, 2 * std::sqrt(top));
}

// Sample variance of n < 3 values (0 for fewer than two).
double SmallSampleVariance(const double* x, int n) {
    if (n < 2) return 0.0;
    const double d = x[0] - x[1];
    return d * d / 2;
}

}  // namespace

// ------------------------------------------------------------------ medians

void Stat::GetMedian_MAD(double& median, double& spread) {
    if (NoneOrOneValue(data, n, median, spread)) return;
    if (n == 2) {
        median = Mean;
        spread = std::fabs(data[0] - data[1]);
        return;
    }
    double med, sp;
    if (!SampleMedian(data, n, &med, &sp)) return;
    median = med;
    spread = sp;
}

void Stat::GetMedian_SD(double& median, double& seMedian) {
    if (NoneOrOneValue(data, n, median, seMedian)) return;
    if (n >= 5 && MedianFromFit(*this, median, seMedian)) return;
    // Up to four values, or no fit: the sample median and the large-sample
    // error of a normal sample's median.
    double med = Mean;
    if (n > 2 && !SampleMedian(data, n, &med, nullptr)) return;
    median = med;
    seMedian = std::sqrt(kHalfPi * SEM2);
}

// --------------------------------------------------- estimated dispersions

double* Stat::EstimateDisp(double* x, int n, double accuracy) {
    if (n < 0 || (n > 0 && x == nullptr)) {
        VeskError(3, "EstimateDisp: no values");
        return nullptr;
    }
    double* result = NewDoubles(n);
    if (result == nullptr) {
        VeskError(1);
        return nullptr;
    }
    if (n < 3) {
        const double v = SmallSampleVariance(x, n);
        for (int i = 0; i < n; ++i) result[i] = v;
        return result;
    }
    const int m3 = static_cast<int>(3 * static_cast<std::int64_t>(n) / 4);
    Scratch<double> sortedBuf(n);
    Scratch<double> vBuf(m3, n), aBuf(m3, n);
    double* s = sortedBuf.Get();
    double* V = vBuf.Get();
    double* A = aBuf.Get();
    if (s == nullptr || V == nullptr || A == nullptr) {
        delete[] result;
        VeskError(1);
        return nullptr;
    }
    std::memcpy(s, x, sizeof(double) * n);
    SortNanLast(s, n);
    const InverseErfTable inverseErf;

    // Sums run over deviations from a sample value near the centre, so a
    // shift of the data changes nothing and S2 does not hold mean² twice.
    const double centre = s[(n - 1) / 2];
    double S1 = 0;
    for (int i = 0; i < n; ++i) S1 += s[i] - centre;
    double mean = S1 / n;

    // Trimming: remove the value farthest from the current mean, one at a
    // time (the smallest on a tie). V[k] first keeps the removed deviation.
    int lo = 0, hi = n - 1;
    for (int k = 0; k < m3; ++k) {
        const int c = n - k;
        const double dlo = s[lo] - centre;
        const double dhi = s[hi] - centre;
        double removed;
        if (dhi - mean > mean - dlo) {
            removed = dhi;
            --hi;
        } else {
            removed = dlo;
            ++lo;
        }
        V[k] = removed;
        S1 -= removed;
        mean = S1 / (c - 1);
    }
    // The variances of the nested remainders, accumulated from the core
    // outwards: adding back never cancels, so far outliers cannot swamp the
    // variance of the core.
    double R1 = 0, R2 = 0;
    for (int i = lo; i <= hi; ++i) {
        const double d = s[i] - centre;
        R1 += d;
        R2 += d * d;
    }
    const double trimmedMean = R1 / (hi - lo + 1);
    for (int k = m3 - 1; k >= 0; --k) {
        const double d = V[k];
        R1 += d;
        R2 += d * d;
        const int c = n - k;
        const double mk = R1 / c;
        V[k] = R2 / c - mk * mk;
    }
    const double w0 = 2 * std::sqrt(std::max(0.0, V[0]));

    // First fit of the truncated-normal variances. A[k], the variance share
    // at z = erf⁻¹(remaining fraction), is made only where the fit reads it.
    for (int k = (3 * m3) / 4; k < m3; ++k)
        A[k] = TruncatedVarianceFactor(inverseErf(static_cast<double>(n - k) / n));
    double bounds[2] = {0.0, w0};
    Variable fn = NativeFunctionValue(reinterpret_cast<void*>(&TruncatedFitObjective));
    GoldSection_Double gold(fn, bounds, accuracy);
    Variable extra(VT_ARRAY, 3);
    SetFitRange(extra, gold, A, V, m3, w0);
    const double s1 = gold.Solve();

    // Second fit on the inliers only: the fractions count the values within
    // three standard deviations of the trimmed mean.
    long inliers = 0;
    for (int i = 0; i < n; ++i)
        if (std::fabs((s[i] - centre) - trimmedMean) < 3 * s1) ++inliers;
    // The fractions are those of the inliers from `first` on, the last step
    // that still keeps all of them; a step whose fraction is not below 1
    // keeps its first value.
    auto fraction = [&](int k) {
        return inliers > 0 ? static_cast<double>(n - k) / static_cast<double>(inliers) : HUGE_VAL;
    };
    int first = 0;
    for (int k = 0; k < m3; ++k)
        if (!(fraction(k) < 1)) first = k;
    for (int k = first + (3 * (m3 - first)) / 4; k < m3; ++k)
        if (fraction(k) < 1) A[k] = TruncatedVarianceFactor(inverseErf(fraction(k)));
    SetFitRange(extra, gold, A + first, V + first, m3 - first, w0);
    const double s2 = gold.Solve();
    for (int i = 0; i < n; ++i) result[i] = s2 * s2;
    return result;
}

double* Stat::GetEstimationDisp() {
    if (dataDisp == nullptr) {
        if (estDataDisp == nullptr) estDataDisp = EstimateDisp(data, n, accuracy);
        return estDataDisp;
    }
    if (n < 3) return dataDisp;
    if (estDataDisp != nullptr) return estDataDisp;
    double* est = NewDoubles(n);
    double* logs = NewDoubles(n);
    if (est == nullptr || logs == nullptr) {
        delete[] est;
        delete[] logs;
        VeskError(1);
        return dataDisp;
    }
    for (int i = 0; i < n; ++i) logs[i] = std::log(dataDisp[i]);
    Stat* logStat = new (std::nothrow) Stat(logs, n);
    delete[] logs;
    if (logStat == nullptr) {
        delete[] est;
        VeskError(1);
        return dataDisp;
    }
    double med = 0, se = 0;
    logStat->GetMedian_SD(med, se);
    delete logStat;
    // Dispersions far below the typical one are raised to exp(median − se);
    // a threshold that is not a number leaves every dispersion as given.
    const double threshold = std::exp(med - se);
    for (int i = 0; i < n; ++i) est[i] = dataDisp[i] < threshold ? threshold : dataDisp[i];
    estDataDisp = est;
    return estDataDisp;
}

// ---------------------------------------------------------------- thinning

Stat* Stat::SampleSubset(int k) {
    if (k <= 0) {
        VeskError(3, "SampleSubset: the subset size must be positive");
        return nullptr;
    }
    Stat* r;
    if (n <= k)
        r = new (std::nothrow) Stat(*this);
    else
        return dataDisp != nullptr ? SampleSubset1(k) : SampleSubset0(k);
    if (r == nullptr) VeskError(1);
    return r;
}

namespace {

// Indices sorted[⌊j·step + 0.5⌋], j = 0, 1, …, below n, with step = n/k.
template <class Take>
int TakeEvenly(int n, int k, Take&& take) {
    const double step = static_cast<double>(n) / k;
    int count = 0;
    for (int j = 0;; ++j) {
        const double pos = j * step + 0.5;
        if (!(pos < n)) break;
        take(count++, static_cast<int>(pos));
    }
    return count;
}

}  // namespace

Stat* Stat::SampleSubset0(int k) {
    Scratch<double> copyBuf(n);
    Scratch<int> rankBuf(k + 1, k);
    double* s = copyBuf.Get();
    int* ranks = rankBuf.Get();
    double* taken = NewDoubles(k + 1);
    if (s == nullptr || ranks == nullptr || taken == nullptr) {
        delete[] taken;
        VeskError(1);
        return nullptr;
    }
    std::memcpy(s, data, sizeof(double) * n);
    // Only the taken ranks are read: they are selected, not sorted.
    const int count = TakeEvenly(n, k, [&](int j, int i) { ranks[j] = i; });
    SelectRanksNanLast(s, n, ranks, count);
    for (int j = 0; j < count; ++j) taken[j] = s[ranks[j]];
    Stat* r = new (std::nothrow) Stat(taken, count);
    delete[] taken;
    if (r == nullptr) VeskError(1);
    return r;
}

Stat* Stat::SampleSubset1(int k) {
    Scratch<ValuePair> pairBuf(n);
    ValuePair* p = pairBuf.Get();
    double* values = NewDoubles(k + 1);
    double* disps = NewDoubles(k + 1);
    if (p == nullptr || values == nullptr || disps == nullptr) {
        delete[] values;
        delete[] disps;
        VeskError(1);
        return nullptr;
    }
    for (int i = 0; i < n; ++i) p[i] = {data[i], dataDisp[i]};
    SortPairsNanLast(p, n);
    const int count = TakeEvenly(n, k, [&](int j, int i) {
        values[j] = p[i].value;
        disps[j] = p[i].other;
    });
    Stat* r = new (std::nothrow) Stat(values, disps, count);
    delete[] values;
    delete[] disps;
    if (r == nullptr) VeskError(1);
    return r;
}
