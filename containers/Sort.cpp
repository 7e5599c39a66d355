// Quicksort, index sort and binary searches over plain arrays.
#include "containers/Sort.h"

#include <cstddef>
#include <cstdlib>
#include <type_traits>
#include <utility>

namespace {

// Pending segments of the quicksort. The larger part of a split waits on the
// stack while the smaller one is sorted first, so each waiting segment was
// pushed while sorting a segment less than half the size of the one below
// it: an int range never needs more than 31 entries.
constexpr int kStackDepth = 64;

// The quicksort reads keys and exchanges entries through an accessor, so that
// the same steps sort an array in place or an index array by the values it
// points to.
template <class T>
struct DirectAccess {
    T* a;
    T Key(int i) const { return a[i]; }
    void Swap(int i, int j) const { std::swap(a[i], a[j]); }
};

template <class T>
struct IndexAccess {
    int* idx;
    const T* v;
    T Key(int i) const { return v[idx[i]]; }
    void Swap(int i, int j) const { std::swap(idx[i], idx[j]); }
};

// Moves the entries whose key is NaN to the top of [left, right] and answers
// the last position below them (left - 1 when every key is NaN).
template <class Acc>
int GatherNans(const Acc& acc, int left, int right) {
    int top = right;
    for (int m = right; m >= left; --m) {
        const auto key = acc.Key(m);
        if (key != key) {
            if (m != top) acc.Swap(m, top);
            --top;
        }
    }
    return top;
}

// Moves the entries whose key equals v to the top of [l, r] and answers the
// last position below them.
template <class Acc, class K>
int GatherEqual(const Acc& acc, int l, int r, K v) {
    int top = r;
    for (int m = r; m >= l; --m) {
        if (acc.Key(m) == v) {
            if (m != top) acc.Swap(m, top);
            --top;
        }
    }
    return top;
}

// Iterative quicksort of [left, right] (right > left, no NaN keys).
//
// Each pass takes the middle entry's key v as pivot and sweeps i upward from
// l while h comes down from r: a key greater than v is exchanged with the
// first key <= v found from h downward, leaving a[l..h] <= v < a[h+1..r]; the
// pivot is then moved to h. A segment whose keys all equal v is finished in
// one sweep. When nothing lies above v (v is the segment's maximum) every
// copy of v is gathered at the top, so that a repeated maximum costs one pass
// instead of one pass per copy.
template <class Acc>
void SortSegments(const Acc& acc, int left, int right) {
    using K = decltype(acc.Key(0));
    int stackL[kStackDepth];
    int stackR[kStackDepth];
    int depth = 0;
    int l = left;
    int r = right;
    for (;;) {
        int nextL = 0;
        int nextR = 0;
        if (r - l == 1) {
            if (acc.Key(l) > acc.Key(r)) acc.Swap(l, r);
        } else {
            int p = static_cast<int>((static_cast<long long>(l) + r) / 2);
            const K v = acc.Key(p);
            bool allEqual = true;
            int i = l;
            int h = r;
            while (i <= h) {
                const K ai = acc.Key(i);
                const bool equal = ai == v;
                if (!(allEqual && equal)) {
                    allEqual = false;
                    if (!equal && !(ai < v)) {
                        int j = h;
                        while (j > i && !(acc.Key(j) <= v)) --j;
                        if (j > i) {
                            acc.Swap(i, j);
                            if (j == p) p = i;
                            h = j - 1;
                        } else {
                            h = i - 1;
                        }
                    }
                }
                ++i;
            }
            if (!allEqual) {
                if (h == r) {
                    const int below = GatherEqual(acc, l, r, v);
                    if (l < below) {
                        nextL = l;
                        nextR = below;
                    }
                } else {
                    if (p != h && acc.Key(p) > acc.Key(h)) acc.Swap(p, h);
                    const bool lowPart = l < h - 1;
                    const bool highPart = h + 1 < r;
                    if (lowPart && highPart) {
                        const bool lowLarger = h - l > r - h;
                        stackL[depth] = lowLarger ? l : h + 1;
                        stackR[depth] = lowLarger ? h - 1 : r;
                        ++depth;
                        nextL = lowLarger ? h + 1 : l;
                        nextR = lowLarger ? r : h - 1;
                    } else if (lowPart) {
                        nextL = l;
                        nextR = h - 1;
                    } else if (highPart) {
                        nextL = h + 1;
                        nextR = r;
                    }
                }
            }
        }
        if (nextR > nextL) {
            l = nextL;
            r = nextR;
            continue;
        }
        if (depth == 0) return;
        --depth;
        l = stackL[depth];
        r = stackR[depth];
    }
}

template <class Acc>
void SortRange(const Acc& acc, int left, int right) {
    if (right <= left) return;
    using K = decltype(acc.Key(0));
    if constexpr (std::is_floating_point_v<K>) right = GatherNans(acc, left, right);
    if (right > left) SortSegments(acc, left, right);
}

// Ends of a sorted strided array: lo at the smaller value, hi at the larger.
template <class T>
struct Search {
    const T* a;
    std::ptrdiff_t stride;
    int n;
    bool descending;
    int lo;
    int hi;

    Search(const T* array, int count, int step) : a(array), stride(step), n(count) {
        descending = a[(n - 1) * stride] < a[0];
        lo = descending ? n - 1 : 0;
        hi = descending ? 0 : n - 1;
    }
    double At(int k) const { return static_cast<double>(a[k * stride]); }
    // Halves [lo, hi] until the ends are neighbours; answers an index whose
    // element equals x as soon as one is met, else -1.
    int Bisect(double x) {
        while (std::abs(hi - lo) > 1) {
            const int mid = static_cast<int>((static_cast<long long>(lo) + hi) / 2);
            const double e = At(mid);
            if (e == x) return mid;
            if (e < x) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        return -1;
    }
};

}  // namespace

template <class T>
void QSort(T* a, int left, int right) {
    SortRange(DirectAccess<T>{a}, left, right);
}

template <class T>
void QSortIndex(int* idx, T* v, int left, int right) {
    SortRange(IndexAccess<T>{idx, v}, left, right);
}

template <class T>
int BFind(T* a, double x, int n, int stride) {
    if (n <= 0) return -1;
    Search<T> s(a, n, stride);
    if (s.At(n - 1) == x) return n - 1;
    if (s.At(0) == x) return 0;
    const int found = s.Bisect(x);
    if (found >= 0) return found;
    if (s.At(s.hi) == x) return s.hi;
    if (s.At(s.lo) == x) return s.lo;
    return -1;
}

template <class T>
int BFind(T* a, double x, int n) {
    return BFind(a, x, n, 1);
}

template <class T>
int BFindInsertIndex(T* a, double x, int n, int stride) {
    if (n <= 1) return n == 1 ? 0 : -1;
    Search<T> s(a, n, stride);
    const bool asc = !s.descending;
    if (x > s.At(s.hi)) return asc ? n : 0;
    if (x < s.At(s.lo)) return asc ? 0 : n;
    const int found = s.Bisect(x);
    if (found >= 0) return asc ? found + 1 : found;
    if (s.At(s.hi) == x) return asc ? s.hi + 1 : s.hi;
    return asc ? s.lo + 1 : s.lo;
}

template <class T>
int BFindInsertIndex(T* a, double x, int n) {
    return BFindInsertIndex(a, x, n, 1);
}

template void QSort<int>(int*, int, int);
template void QSort<float>(float*, int, int);
template void QSort<double>(double*, int, int);
template void QSortIndex<double>(int*, double*, int, int);

template int BFind<int>(int*, double, int, int);
template int BFind<float>(float*, double, int, int);
template int BFind<double>(double*, double, int, int);
template int BFind<int>(int*, double, int);
template int BFind<float>(float*, double, int);
template int BFind<double>(double*, double, int);

template int BFindInsertIndex<int>(int*, double, int, int);
template int BFindInsertIndex<float>(float*, double, int, int);
template int BFindInsertIndex<double>(double*, double, int, int);
template int BFindInsertIndex<int>(int*, double, int);
template int BFindInsertIndex<float>(float*, double, int);
template int BFindInsertIndex<double>(double*, double, int);
