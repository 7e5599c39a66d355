// Helpers shared by the statistics sources (Stat, Stat_Weighted); not part
// of the exported interface.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#include "host/VeskHost.h"

namespace statdetail {

// Strict weak order of doubles ascending with every NaN after every number.
inline bool LessNanLast(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

// Sorts x[0..n-1] ascending, NaNs last.
void SortNanLast(double* x, int n);

// Puts into x[r] (for every rank r listed ascending in ranks[0..k-1]) the
// value a full ascending NaN-last sort would put there; the other places
// hold the rest of the values in no particular order.
void SelectRanksNanLast(double* x, int n, const int* ranks, int k);

// A value with its dispersion or weight, ordered by the value.
struct ValuePair {
    double value;
    double other;
};

// Sorts pairs ascending by value, NaN values last.
void SortPairsNanLast(ValuePair* p, int n);

// True when a and b are non-zero numbers of opposite sign (what a product
// a·b < 0 means, without the product's underflow).
inline bool OppositeSigns(double a, double b) {
    return (a < 0.0 && b > 0.0) || (a > 0.0 && b < 0.0);
}

// Bisection for a sign change of g on [a, b], given ga = g(a): m = (a + b)/2;
// stops when g(m) is exactly 0; b = m when g(m) and ga have opposite signs,
// else a = m and ga = g(m); continues while goOn(a, b) and fewer than
// maxSteps midpoints were taken. Answers the last midpoint.
template <class G, class GoOn>
double BisectSigns(G&& g, double a, double b, double ga, GoOn&& goOn, int maxSteps = 1100) {
    double m = a;
    for (int step = 0; step < maxSteps; ++step) {
        m = (a + b) * 0.5;
        const double gm = g(m);
        if (gm == 0.0) break;
        if (OppositeSigns(gm, ga)) {
            b = m;
        } else {
            a = m;
            ga = gm;
        }
        if (!goOn(a, b)) break;
    }
    return m;
}

// v·power with power = c^p when that is a normal number (or c is 0), else v
// times p factors c in turn, so a power beyond the doubles (c² overflows for
// |c| above 1.3e154, underflows below 1.5e-154) neither turns 0 into NaN nor
// loses a representable result.
inline double TimesPower(double v, double c, double power, int p) {
    if (std::isnormal(power) || c == 0.0) return v * power;
    for (int i = 0; i < p; ++i) v *= c;
    return v;
}

// True when every x[0..n-1] is a finite number.
inline bool AllFinite(const double* x, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(x[i])) return false;
    return true;
}

// Scratch array of count elements of T for a sample of `values` values
// (count when omitted): on the stack below 1000 values, from the host heap
// (HMALLOC/HFREE) otherwise. Get() is null when the heap refuses (no error is
// raised here).
template <class T>
class Scratch {
public:
    explicit Scratch(long count, long values = -1) {
        if ((values < 0 ? count : values) < 1000 && count <= kLocal) {
            p_ = local_;
        } else {
            p_ = static_cast<T*>(HMALLOC(static_cast<size_t>(count) * sizeof(T)));
            heap_ = true;
        }
    }
    ~Scratch() {
        if (heap_ && p_ != nullptr) HFREE(p_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    T* Get() const { return p_; }

private:
    static constexpr long kLocal = 1001;
    T local_[kLocal];
    T* p_ = nullptr;
    bool heap_ = false;
};

// New array of count doubles by the module's ordinary array allocation; null
// (no error raised) when refused or count is negative.
inline double* NewDoubles(long count) {
    if (count < 0) return nullptr;
    return new (std::nothrow) double[static_cast<size_t>(count == 0 ? 1 : count)];
}

// New array holding a copy of count doubles (at least one slot); null (no
// error raised) when refused.
inline double* CopyDoubles(const double* src, long count) {
    double* p = NewDoubles(count);
    if (p != nullptr && count > 0) std::memcpy(p, src, static_cast<size_t>(count) * sizeof(double));
    return p;
}

// Ends the build of a cumulative distribution whose m points (X ascending,
// F the cumulative counts or weights) are filled: merges ties into their
// first point with the last point's F, adds the low point (see
// Stat::GetCumulativeDistr) and divides F by its last value. The arrays need
// room for m + 1 points; m grows by one less the merged ties. Needs m ≥ 1.
void FinishCumulative(double* X, double* F, int& m);

}  // namespace statdetail
