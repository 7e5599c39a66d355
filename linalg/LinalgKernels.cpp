// Inner kernels of the matrix decompositions: one template per kernel over
// the vector type, instantiated for two lanes (baseline) and, on x86-64, for
// four lanes in functions compiled for AVX2 and chosen at run time.
#include "linalg/LinalgKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define VESK_WIDE_KERNELS 1
#define VESK_WIDE_TARGET __attribute__((target("avx2")))
#endif

namespace linalg_kernels {
namespace {

using Pair = double __attribute__((vector_size(16)));
#ifdef VESK_WIDE_KERNELS
using Quad = double __attribute__((vector_size(32)));
#endif

// The helpers below are always inlined into the kernel that uses them, so
// no vector crosses a call: the warning about the calling convention of
// four-lane vectors in functions compiled without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#define VESK_KERNEL inline __attribute__((always_inline))

template <class V>
VESK_KERNEL V Load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
VESK_KERNEL void Store(double* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

template <class V>
VESK_KERNEL V Splat(double d) {
    return d - V{};
}

bool Detect() {
#ifdef VESK_WIDE_KERNELS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

std::atomic<bool>& WideFlag() {
    static std::atomic<bool> flag(Detect());
    return flag;
}

// The sums of column i advance together: strips of four vectors held in
// registers over a block of k (falling), the blocks few enough rows for their
// pages and lines to stay at hand while every strip passes over them; then
// single vectors, then single sums.
template <class V>
VESK_KERNEL bool CholeskyColumnT(double* t, const double* a, int n, int i) {
    constexpr int w = sizeof(V) / sizeof(double);
    double* ti = t + static_cast<long>(i) * n;
    std::copy(a + static_cast<long>(i) * n + i, a + static_cast<long>(i + 1) * n, ti + i);
    const long stride = n;
    constexpr int kBlock = 32;
    for (int top = i - 1; top >= 0; top -= kBlock) {
        const int bottom = std::max(0, top - kBlock + 1);
        const double* tTop = t + static_cast<long>(top) * n;
        int j = i;
        for (; j + 4 * w <= n; j += 4 * w) {
            V s0 = Load<V>(ti + j), s1 = Load<V>(ti + j + w), s2 = Load<V>(ti + j + 2 * w),
              s3 = Load<V>(ti + j + 3 * w);
            const double* tk = tTop;
            for (int k = top; k >= bottom; --k, tk -= stride) {
                const V f = Splat<V>(tk[i]);
                s0 = s0 - f * Load<V>(tk + j);
                s1 = s1 - f * Load<V>(tk + j + w);
                s2 = s2 - f * Load<V>(tk + j + 2 * w);
                s3 = s3 - f * Load<V>(tk + j + 3 * w);
            }
            Store(ti + j, s0);
            Store(ti + j + w, s1);
            Store(ti + j + 2 * w, s2);
            Store(ti + j + 3 * w, s3);
        }
        for (; j + w <= n; j += w) {
            V s0 = Load<V>(ti + j);
            const double* tk = tTop;
            for (int k = top; k >= bottom; --k, tk -= stride) s0 = s0 - Splat<V>(tk[i]) * Load<V>(tk + j);
            Store(ti + j, s0);
        }
        for (; j < n; ++j) {
            double s0 = ti[j];
            for (int k = top; k >= bottom; --k) s0 -= t[k * stride + i] * t[k * stride + j];
            ti[j] = s0;
        }
    }
    const double s = ti[i];
    if (s <= 0.0) return false;
    const double diagonal = std::sqrt(s);
    ti[i] = diagonal;
    for (int j = i + 1; j < n; ++j) ti[j] = ti[j] / diagonal;
    return true;
}

// One rotation of the pair (y, z) held in registers: y becomes y c + z s and
// z becomes z c - y s.
template <class V>
VESK_KERNEL void Rotate(V& y, V& z, V c, V s) {
    const V ny = y * c + z * s;
    z = z * c - y * s;
    y = ny;
}

// A chain of rotations over a strip of columns of t (u vectors of w values
// from column r): the row that stays in every rotation of the chain (the
// pivot `fixed`, or for neighbours the lower row of the pair, which the next
// rotation takes as its upper row) is carried in registers, so each rotation
// loads and stores one row segment. Several vectors per strip keep enough
// independent chains in flight.
template <class V, int u>
VESK_KERNEL void RotateStrip(double* t, long stride, int r, int fixed, int first, int last, const double* c,
                             const double* s) {
    constexpr int w = sizeof(V) / sizeof(double);
    V carry[u];
    const int carried = fixed < 0 ? first : fixed;
    for (int v = 0; v < u; ++v) carry[v] = Load<V>(t + carried * stride + r + v * w);
    for (int i = first; i <= last; ++i) {
        const V ci = Splat<V>(c[i]);
        const V si = Splat<V>(s[i]);
        double* other = t + (fixed < 0 ? i + 1 : i) * stride + r;
        double* upper = t + i * stride + r;
        for (int v = 0; v < u; ++v) {
            V z = Load<V>(other + v * w);
            if (fixed < 0) {
                Rotate(carry[v], z, ci, si);
                Store(upper + v * w, carry[v]);
                carry[v] = z;
            } else {
                Rotate(carry[v], z, ci, si);
                Store(other + v * w, z);
            }
        }
    }
    const int stays = fixed < 0 ? last + 1 : fixed;
    for (int v = 0; v < u; ++v) Store(t + stays * stride + r + v * w, carry[v]);
}

template <class V>
VESK_KERNEL void RotateChainT(double* t, long stride, int len, int fixed, int first, int last, const double* c,
                              const double* s) {
    if (last < first) return;
    constexpr int w = sizeof(V) / sizeof(double);
    int r = 0;
    for (; r + 4 * w <= len; r += 4 * w) RotateStrip<V, 4>(t, stride, r, fixed, first, last, c, s);
    for (; r + w <= len; r += w) RotateStrip<V, 1>(t, stride, r, fixed, first, last, c, s);
    for (; r < len; ++r) {
        for (int i = first; i <= last; ++i) {
            double& y = t[(fixed < 0 ? i : fixed) * stride + r];
            double& z = t[(fixed < 0 ? i + 1 : i) * stride + r];
            const double ny = y * c[i] + z * s[i];
            z = z * c[i] - y * s[i];
            y = ny;
        }
    }
}

bool CholeskyColumnBase(double* t, const double* a, int n, int i) { return CholeskyColumnT<Pair>(t, a, n, i); }
void RotateChainBase(double* t, long stride, int len, int fixed, int first, int last, const double* c,
                     const double* s) {
    RotateChainT<Pair>(t, stride, len, fixed, first, last, c, s);
}

#ifdef VESK_WIDE_KERNELS
VESK_WIDE_TARGET bool CholeskyColumnWide(double* t, const double* a, int n, int i) {
    return CholeskyColumnT<Quad>(t, a, n, i);
}
VESK_WIDE_TARGET void RotateChainWide(double* t, long stride, int len, int fixed, int first, int last,
                                      const double* c, const double* s) {
    RotateChainT<Quad>(t, stride, len, fixed, first, last, c, s);
}
#endif

void RotateChain(double* t, long stride, int len, int fixed, int first, int last, const double* c,
                 const double* s) {
#ifdef VESK_WIDE_KERNELS
    if (WideVectors()) return RotateChainWide(t, stride, len, fixed, first, last, c, s);
#endif
    RotateChainBase(t, stride, len, fixed, first, last, c, s);
}

}  // namespace

bool WideVectors() { return WideFlag().load(std::memory_order_relaxed); }

void UseWideVectors(bool use) { WideFlag().store(use && Detect(), std::memory_order_relaxed); }

bool CholeskyColumn(double* t, const double* a, int n, int i) {
#ifdef VESK_WIDE_KERNELS
    if (WideVectors()) return CholeskyColumnWide(t, a, n, i);
#endif
    return CholeskyColumnBase(t, a, n, i);
}

void RotateNeighbours(double* t, long stride, int len, int first, int last, const double* c, const double* s) {
    RotateChain(t, stride, len, -1, first, last, c, s);
}

void RotateAgainst(double* t, long stride, int len, int fixed, int first, int last, const double* c,
                   const double* s) {
    RotateChain(t, stride, len, fixed, first, last, c, s);
}

}  // namespace linalg_kernels
