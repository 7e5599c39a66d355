// Inner kernels of the matrix decompositions: one template per kernel over
// the vector type, instantiated for two lanes (baseline) and, on x86-64, for
// four lanes in functions compiled for AVX2, chosen at run time through a
// table of function pointers. (Eight lanes, AVX-512F, measured no faster on
// the decompositions here, and slower for the Cholesky factor.)
#include "linalg/LinalgKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define VESK_WIDE_KERNELS 1
#endif

namespace linalg_kernels {
namespace {

using Pair = double __attribute__((vector_size(16)));
#ifdef VESK_WIDE_KERNELS
using Quad = double __attribute__((vector_size(32)));
#endif

// The helpers below are always inlined into the kernel that uses them, so
// no vector crosses a call: the warning about the calling convention of wide
// vectors in functions compiled without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#define VESK_KERNEL inline __attribute__((always_inline))

template <class V>
constexpr int kLanes = sizeof(V) / sizeof(double);

template <class V>
VESK_KERNEL V Load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
VESK_KERNEL void Store(double* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

template <class V>
VESK_KERNEL V Splat(double d) {
    return d - V{};
}

// Rows of k taken per pass of the strip kernels: few enough for their pages
// and lines to stay at hand while every strip of the outputs passes over them.
constexpr int kRowBlock = 32;

// t(j) = t(j) - f(k) r(k, j) (Subtract) or t(j) + f(k) r(k, j), one term at a
// time for k = k0, k0 + step, ... (count terms), for j in [j0, j1): strips of
// four vectors held in registers over a block of k, then single vectors, then
// single values.
template <class V, bool Subtract>
VESK_KERNEL void StripSumsT(double* t, int j0, int j1, const double* r, long stride, const double* f, long fStride,
                            int k0, int count, int step) {
    constexpr int w = kLanes<V>;
    for (int done = 0; done < count; done += kRowBlock) {
        const int block = std::min(kRowBlock, count - done);
        const int first = k0 + done * step;
        const double* rFirst = r + first * stride;
        const double* fFirst = f + first * fStride;
        const long rStep = step * stride;
        const long fStep = step * fStride;
        int j = j0;
        for (; j + 4 * w <= j1; j += 4 * w) {
            V s0 = Load<V>(t + j), s1 = Load<V>(t + j + w), s2 = Load<V>(t + j + 2 * w), s3 = Load<V>(t + j + 3 * w);
            for (int b = 0; b < block; ++b) {
                // Indexed rather than stepped: a pointer stepped past the last
                // row would leave its array.
                const double* rk = rFirst + j + b * rStep;
                const V fv = Splat<V>(fFirst[b * fStep]);
                if (Subtract) {
                    s0 = s0 - fv * Load<V>(rk);
                    s1 = s1 - fv * Load<V>(rk + w);
                    s2 = s2 - fv * Load<V>(rk + 2 * w);
                    s3 = s3 - fv * Load<V>(rk + 3 * w);
                } else {
                    s0 = s0 + fv * Load<V>(rk);
                    s1 = s1 + fv * Load<V>(rk + w);
                    s2 = s2 + fv * Load<V>(rk + 2 * w);
                    s3 = s3 + fv * Load<V>(rk + 3 * w);
                }
            }
            Store(t + j, s0);
            Store(t + j + w, s1);
            Store(t + j + 2 * w, s2);
            Store(t + j + 3 * w, s3);
        }
        for (; j + w <= j1; j += w) {
            V s0 = Load<V>(t + j);
            for (int b = 0; b < block; ++b) {
                const double* rk = rFirst + j + b * rStep;
                const V fv = Splat<V>(fFirst[b * fStep]);
                s0 = Subtract ? s0 - fv * Load<V>(rk) : s0 + fv * Load<V>(rk);
            }
            Store(t + j, s0);
        }
        for (; j < j1; ++j) {
            double s0 = t[j];
            for (int b = 0; b < block; ++b) {
                const double fb = fFirst[b * fStep], rb = rFirst[j + b * rStep];
                s0 = Subtract ? s0 - fb * rb : s0 + fb * rb;
            }
            t[j] = s0;
        }
    }
}

template <class V>
VESK_KERNEL bool CholeskyColumnT(double* t, const double* a, int n, int i) {
    double* ti = t + static_cast<long>(i) * n;
    std::copy(a + static_cast<long>(i) * n + i, a + static_cast<long>(i + 1) * n, ti + i);
    // Row k of t holds L(., k); its element i is the factor L(i, k).
    if (i > 0) StripSumsT<V, true>(ti, i, n, t, n, t + i, n, i - 1, i, -1);
    const double s = ti[i];
    if (s <= 0.0) return false;
    const double diagonal = std::sqrt(s);
    ti[i] = diagonal;
    for (int j = i + 1; j < n; ++j) ti[j] = ti[j] / diagonal;
    return true;
}

template <class V>
VESK_KERNEL void AddRowSumsT(double* t, int j0, int j1, const double* r, long stride, const double* f, long fStride,
                             int k0, int k1) {
    if (k1 > k0) StripSumsT<V, false>(t, j0, j1, r, stride, f, fStride, k0, k1 - k0, 1);
}

template <class V>
VESK_KERNEL void SubtractRowSumsT(double* t, int j0, int j1, const double* r, long stride, const double* f, int k0,
                                  int count, int step) {
    if (count > 0) StripSumsT<V, true>(t, j0, j1, r, stride, f, 1, k0, count, step);
}

template <class V>
VESK_KERNEL void AddScaledT(double* row, const double* f, double a, int j0, int j1) {
    constexpr int w = kLanes<V>;
    const V av = Splat<V>(a);
    int j = j0;
    for (; j + w <= j1; j += w) Store(row + j, Load<V>(row + j) + Load<V>(f + j) * av);
    for (; j < j1; ++j) row[j] += f[j] * a;
}

// a[q] (row q of a w x w block, w = the lanes) becomes column q.
template <class V>
VESK_KERNEL void TransposeBlock(V* a) {
    if constexpr (kLanes<V> == 2) {
        const V c0 = __builtin_shufflevector(a[0], a[1], 0, 2);
        const V c1 = __builtin_shufflevector(a[0], a[1], 1, 3);
        a[0] = c0;
        a[1] = c1;
    } else {
        const V t0 = __builtin_shufflevector(a[0], a[1], 0, 4, 2, 6);
        const V t1 = __builtin_shufflevector(a[0], a[1], 1, 5, 3, 7);
        const V t2 = __builtin_shufflevector(a[2], a[3], 0, 4, 2, 6);
        const V t3 = __builtin_shufflevector(a[2], a[3], 1, 5, 3, 7);
        a[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
        a[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
        a[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
        a[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
    }
}

// Eight rows at a time: the sums of w rows share a vector (lane q: row q),
// fed by w x w blocks of the rows transposed in registers, so each lane still
// adds m(j, k) x(k) with k rising; 8 / w such vectors overlap. The last
// k (fewer than w) and the last rows are summed one value at a time.
template <class V>
VESK_KERNEL void DotAndUpdateRowsT(double* m, long stride, int j0, int j1, int k0, int k1, const double* x,
                                   const double* y) {
    constexpr int w = kLanes<V>;
    constexpr int kRows = 8;
    constexpr int kGroups = kRows / w;
    const int kv = k0 + (k1 - k0) / w * w;
    int j = j0;
    for (; j + kRows <= j1; j += kRows) {
        double* r = m + j * stride;
        V acc[kGroups];
        for (int g = 0; g < kGroups; ++g) acc[g] = V{};
        for (int k = k0; k < kv; k += w) {
            V xs[w];
            for (int q = 0; q < w; ++q) xs[q] = Splat<V>(x[k + q]);
            for (int g = 0; g < kGroups; ++g) {
                V block[w];
                for (int q = 0; q < w; ++q) block[q] = Load<V>(r + (g * w + q) * stride + k);
                TransposeBlock(block);
                for (int q = 0; q < w; ++q) acc[g] = acc[g] + block[q] * xs[q];
            }
        }
        for (int g = 0; g < kGroups; ++g) {
            for (int q = 0; q < w; ++q) {
                double* row = r + (g * w + q) * stride;
                double d = acc[g][q];
                for (int k = kv; k < k1; ++k) d += row[k] * x[k];
                AddScaledT<V>(row, y, d, k0, k1);
            }
        }
    }
    for (; j < j1; ++j) {
        double* row = m + j * stride;
        double d = 0.0;
        for (int k = k0; k < k1; ++k) d += row[k] * x[k];
        AddScaledT<V>(row, y, d, k0, k1);
    }
}

// One rotation of the pair (y, z) held in registers: y becomes y c + z s and
// z becomes z c - y s.
template <class V>
VESK_KERNEL void Rotate(V& y, V& z, const V& c, const V& s) {
    const V ny = y * c + z * s;
    z = z * c - y * s;
    y = ny;
}

// A chain of rotations over a strip of columns of t (u vectors from column
// r): the row that stays in every rotation of the chain (the pivot `fixed`,
// or for neighbours the lower row of the pair, which the next rotation takes
// as its upper row) is carried in registers, so each rotation loads and
// stores one row segment. Several vectors per strip keep enough independent
// chains in flight.
template <class V, int u>
VESK_KERNEL void RotateStrip(double* t, long stride, int r, int fixed, int first, int last, const double* c,
                             const double* s) {
    constexpr int w = kLanes<V>;
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
            Rotate(carry[v], z, ci, si);
            if (fixed < 0) {
                Store(upper + v * w, carry[v]);
                carry[v] = z;
            } else {
                Store(other + v * w, z);
            }
        }
    }
    const int stays = fixed < 0 ? last + 1 : fixed;
    for (int v = 0; v < u; ++v) Store(t + stays * stride + r + v * w, carry[v]);
}

// Every operation of the batch on the strip of columns [r, r + u w) of t.
template <class V, int u>
VESK_KERNEL void RowOpsStrip(double* t, long stride, int r, const RowOp* ops, int count) {
    constexpr int w = kLanes<V>;
    for (int o = 0; o < count; ++o) {
        const RowOp& op = ops[o];
        if (op.fixed == RowOp::kNegate) {
            double* row = t + op.first * stride + r;
            for (int v = 0; v < u; ++v) Store(row + v * w, -Load<V>(row + v * w));
        } else if (op.last >= op.first) {
            RotateStrip<V, u>(t, stride, r, op.fixed, op.first, op.last, op.c, op.s);
        }
    }
}

template <class V>
VESK_KERNEL void ApplyRowOpsT(double* t, long stride, int len, const RowOp* ops, int count) {
    constexpr int w = kLanes<V>;
    int r = 0;
    for (; r + 4 * w <= len; r += 4 * w) RowOpsStrip<V, 4>(t, stride, r, ops, count);
    for (; r + w <= len; r += w) RowOpsStrip<V, 1>(t, stride, r, ops, count);
    for (; r < len; ++r) {
        for (int o = 0; o < count; ++o) {
            const RowOp& op = ops[o];
            if (op.fixed == RowOp::kNegate) {
                double& x = t[op.first * stride + r];
                x = -x;
                continue;
            }
            for (int i = op.first; i <= op.last; ++i) {
                double& y = t[(op.fixed < 0 ? i : op.fixed) * stride + r];
                double& z = t[(op.fixed < 0 ? i + 1 : i) * stride + r];
                const double ny = y * op.c[i] + z * op.s[i];
                z = z * op.c[i] - y * op.s[i];
                y = ny;
            }
        }
    }
}

// The kernels of one width.
struct Table {
    int lanes;
    bool (*choleskyColumn)(double*, const double*, int, int);
    void (*addRowSums)(double*, int, int, const double*, long, const double*, long, int, int);
    void (*subtractRowSums)(double*, int, int, const double*, long, const double*, int, int, int);
    void (*addScaled)(double*, const double*, double, int, int);
    void (*applyRowOps)(double*, long, int, const RowOp*, int);
    void (*dotAndUpdateRows)(double*, long, int, int, int, int, const double*, const double*);
};

#define VESK_KERNEL_TABLE(name, V, attributes)                                                              \
    namespace name {                                                                                        \
    attributes bool CholeskyColumn(double* t, const double* a, int n, int i) {                              \
        return CholeskyColumnT<V>(t, a, n, i);                                                              \
    }                                                                                                       \
    attributes void AddRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f,    \
                               long fStride, int k0, int k1) {                                              \
        AddRowSumsT<V>(t, j0, j1, r, stride, f, fStride, k0, k1);                                           \
    }                                                                                                       \
    attributes void SubtractRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, \
                                    int k0, int count, int step) {                                          \
        SubtractRowSumsT<V>(t, j0, j1, r, stride, f, k0, count, step);                                      \
    }                                                                                                       \
    attributes void AddScaled(double* row, const double* f, double a, int j0, int j1) {                     \
        AddScaledT<V>(row, f, a, j0, j1);                                                                   \
    }                                                                                                       \
    attributes void ApplyRowOps(double* t, long stride, int len, const RowOp* ops, int count) {             \
        ApplyRowOpsT<V>(t, stride, len, ops, count);                                                        \
    }                                                                                                       \
    attributes void DotAndUpdateRows(double* m, long stride, int j0, int j1, int k0, int k1,               \
                                     const double* x, const double* y) {                                    \
        DotAndUpdateRowsT<V>(m, stride, j0, j1, k0, k1, x, y);                                              \
    }                                                                                                       \
    constexpr Table kTable{kLanes<V>, CholeskyColumn, AddRowSums,  SubtractRowSums,                       \
                           AddScaled, ApplyRowOps,    DotAndUpdateRows};                                    \
    }

VESK_KERNEL_TABLE(lanes2, Pair, )
#ifdef VESK_WIDE_KERNELS
VESK_KERNEL_TABLE(lanes4, Quad, __attribute__((target("avx2"))))
#endif

#undef VESK_KERNEL_TABLE

// The widest table the processor runs with at most `lanes` lanes.
const Table* Widest(int lanes) {
#ifdef VESK_WIDE_KERNELS
    __builtin_cpu_init();
    if (lanes >= 4 && __builtin_cpu_supports("avx2")) return &lanes4::kTable;
#else
    (void)lanes;
#endif
    return &lanes2::kTable;
}

std::atomic<const Table*>& Current() {
    static std::atomic<const Table*> table(Widest(4));
    return table;
}

const Table& Kernels() { return *Current().load(std::memory_order_relaxed); }

}  // namespace

int Lanes() { return Kernels().lanes; }

int UseLanes(int lanes) {
    Current().store(Widest(lanes), std::memory_order_relaxed);
    return Lanes();
}

bool CholeskyColumn(double* t, const double* a, int n, int i) { return Kernels().choleskyColumn(t, a, n, i); }

void AddRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, long fStride, int k0,
                int k1) {
    Kernels().addRowSums(t, j0, j1, r, stride, f, fStride, k0, k1);
}

void SubtractRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, int k0, int count,
                     int step) {
    Kernels().subtractRowSums(t, j0, j1, r, stride, f, k0, count, step);
}

void AddScaled(double* row, const double* f, double a, int j0, int j1) { Kernels().addScaled(row, f, a, j0, j1); }

void ApplyRowOps(double* t, long stride, int len, const RowOp* ops, int count) {
    if (count > 0) Kernels().applyRowOps(t, stride, len, ops, count);
}

void DotAndUpdateRows(double* m, long stride, int j0, int j1, int k0, int k1, const double* x, const double* y) {
    Kernels().dotAndUpdateRows(m, stride, j0, j1, k0, k1, x, y);
}

}  // namespace linalg_kernels
