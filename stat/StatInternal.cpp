// Helpers shared by the statistics sources: sorts with NaNs last and the end
// of a cumulative-distribution build.
#include "stat/StatInternal.h"

namespace statdetail {

void SortNanLast(double* x, int n) {
    if (n > 1) std::sort(x, x + n, LessNanLast);
}

namespace {

// Ranks ranks[0..k-1] (ascending, all in [lo, hi)) of x[lo..hi-1].
void SelectRange(double* x, int lo, int hi, const int* ranks, int k) {
    while (k > 0) {
        if (hi - lo <= 32) {
            std::sort(x + lo, x + hi, LessNanLast);
            return;
        }
        const int mid = k / 2;
        const int r = ranks[mid];
        std::nth_element(x + lo, x + r, x + hi, LessNanLast);
        SelectRange(x, lo, r, ranks, mid);
        lo = r + 1;
        ranks += mid + 1;
        k -= mid + 1;
    }
}

}  // namespace

void SelectRanksNanLast(double* x, int n, const int* ranks, int k) { SelectRange(x, 0, n, ranks, k); }

void SortPairsNanLast(ValuePair* p, int n) {
    if (n > 1) {
        std::sort(p, p + n, [](const ValuePair& a, const ValuePair& b) {
            return LessNanLast(a.value, b.value);
        });
    }
}

void FinishCumulative(double* X, double* F, int& m) {
    // Ties: a run of equal X keeps its first point with the run's last F.
    int kept = 0;
    for (int j = 1; j < m; ++j) {
        if (X[j] == X[kept]) {
            F[kept] = F[j];
        } else {
            ++kept;
            X[kept] = X[j];
            F[kept] = F[j];
        }
    }
    m = kept + 1;

    // The low point, F = 0.
    if (m == 1) {
        const double v = X[0];
        X[1] = v;
        F[1] = F[0];
        if (v > 0.0) {
            X[0] = 0.001 * v;
        } else if (v < 0.0) {
            X[0] = 1.999 * v;
        } else {
            X[0] = -0.001;
        }
    } else {
        for (int j = m; j > 0; --j) {
            X[j] = X[j - 1];
            F[j] = F[j - 1];
        }
        // As far below the first point as the second lies above it; formed
        // as X[1] − (X[2] − X[1]) when 2·X[1] overflows (values near
        // 1.7e308), which put the low point at +∞, above the others.
        const double twice = 2.0 * X[1];
        X[0] = std::isfinite(twice) ? twice - X[2] : X[1] - (X[2] - X[1]);
    }
    ++m;
    F[0] = 0.0;

    const double last = F[m - 1];
    for (int j = 0; j < m; ++j) F[j] /= last;
}

}  // namespace statdetail
