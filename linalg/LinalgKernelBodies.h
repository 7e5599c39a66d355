// Bodies of the inner kernels of the matrix decompositions: one template per
// kernel over the vector type (GCC vector extensions), included by the
// sources that instantiate them for their vector width. Everything here has
// internal linkage, so each source keeps the code compiled for its own
// instruction set. Internal to the module.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>

#include "linalg/LinalgKernels.h"

#if defined(__x86_64__) || defined(__i386__)
#define VESK_WIDE_KERNELS 1
#endif

namespace linalg_kernels {
namespace {

using Pair = double __attribute__((vector_size(16)));
#ifdef VESK_WIDE_KERNELS
using Quad = double __attribute__((vector_size(32)));
using Oct = double __attribute__((vector_size(64)));
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

template <class V>
VESK_KERNEL void AddScaledRowsT(double* m, long stride, int k0, int k1, int j0, int j1, const double* f,
                                const double* x) {
    for (int k = k0; k < k1; ++k) AddScaledT<V>(m + k * stride, f, x[k], j0, j1);
}

// Columns [j0, j1) of the row-major m: rows [kd, ku) only summed, rows
// [ku, k1) first updated, m(k, j) += f(j) x(k), then summed, s(j) += y(k)
// m(k, j), with k rising: strips of u vectors of s held in registers over
// all the rows (eight, so that enough sums are in flight to hide the
// latency of the additions), then single vectors, then single values.
template <class V, int u>
VESK_KERNEL int UpdateAndSumStrips(double* m, long stride, int kd, int ku, int k1, int j0, int j1, const double* f,
                                   const double* x, double* s, const double* y) {
    constexpr int w = kLanes<V>;
    int j = j0;
    for (; j + u * w <= j1; j += u * w) {
        V sv[u];
        for (int q = 0; q < u; ++q) sv[q] = Load<V>(s + j + q * w);
        for (int k = kd; k < ku; ++k) {
            const double* row = m + k * stride + j;
            const V yk = Splat<V>(y[k]);
            for (int q = 0; q < u; ++q) sv[q] = sv[q] + yk * Load<V>(row + q * w);
        }
        for (int k = ku; k < k1; ++k) {
            double* row = m + k * stride + j;
            const V xk = Splat<V>(x[k]);
            const V yk = Splat<V>(y[k]);
            for (int q = 0; q < u; ++q) {
                const V r = Load<V>(row + q * w) + Load<V>(f + j + q * w) * xk;
                Store(row + q * w, r);
                sv[q] = sv[q] + yk * r;
            }
        }
        for (int q = 0; q < u; ++q) Store(s + j + q * w, sv[q]);
    }
    return j;
}

template <class V>
VESK_KERNEL void UpdateAndSumT(double* m, long stride, int kd, int ku, int k1, int j0, int j1, const double* f,
                               const double* x, double* s, const double* y) {
    int j = UpdateAndSumStrips<V, 8>(m, stride, kd, ku, k1, j0, j1, f, x, s, y);
    j = UpdateAndSumStrips<V, 1>(m, stride, kd, ku, k1, j, j1, f, x, s, y);
    for (; j < j1; ++j) {
        double sj = s[j];
        for (int k = kd; k < ku; ++k) sj = sj + y[k] * m[k * stride + j];
        for (int k = ku; k < k1; ++k) {
            double& r = m[k * stride + j];
            r += f[j] * x[k];
            sj = sj + y[k] * r;
        }
        s[j] = sj;
    }
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
                                   const double* y, const double* f, int col) {
    constexpr int w = kLanes<V>;
    constexpr int kRows = 8;
    constexpr int kGroups = kRows / w;
    const int kv = k0 + (k1 - k0) / w * w;
    int j = j0;
    for (; j + kRows <= j1; j += kRows) {
        double* r = m + j * stride;
        if (f != nullptr)
            for (int q = 0; q < kRows; ++q) {
                double* row = r + q * stride;
                AddScaledT<V>(row, f, row[col], k0, k1);
            }
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
        if (f != nullptr) AddScaledT<V>(row, f, row[col], k0, k1);
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

// A piece of a chain of neighbours (rotations first .. last) over the strip
// of columns [r, r + u w) of t, the lower row of each pair carried in
// registers to the next rotation and stored after the last: a chain split
// into pieces gives the same values as in one.
template <class V, int u>
VESK_KERNEL void RotateNeighbours(double* t, long stride, int r, int first, int last, const double* c,
                                  const double* s) {
    constexpr int w = kLanes<V>;
    double* upper = t + first * stride + r;
    V carry[u];
#pragma GCC unroll 8
    for (int v = 0; v < u; ++v) carry[v] = Load<V>(upper + v * w);
    for (int i = first; i <= last; ++i, upper += stride) {
        const V ci = Splat<V>(c[i]);
        const V si = Splat<V>(s[i]);
        const double* lower = upper + stride;
#pragma GCC unroll 8
        for (int v = 0; v < u; ++v) {
            V z = Load<V>(lower + v * w);
            Rotate(carry[v], z, ci, si);
            Store(upper + v * w, carry[v]);
            carry[v] = z;
        }
    }
#pragma GCC unroll 8
    for (int v = 0; v < u; ++v) Store(upper + v * w, carry[v]);
}

// Rotations per stage of the wavefront below: the rows a stage of all the
// operations touches (about (count + 1) kWaveRows) stay in the first-level
// cache.
constexpr int kWaveRows = 16;

// The operations ops[0 .. count-1], chains of neighbours and negations only,
// on the strip of columns [r, r + u w) of t, as a wavefront: at stage T,
// operation o takes its rotations i in [base + (T - o) kWaveRows, base +
// (T - o + 1) kWaveRows) (a negation of row i counts as rotation i), the
// operations in their order. Every row thus receives the operations in their
// order: when operation o + 1 reaches rotation i (rows i and i + 1),
// operation o has passed rotation i + 1 and written both rows back. The rows
// of a stage are few, so each stays in cache through all the operations.
template <class V, int u>
VESK_KERNEL void WaveStrip(double* t, long stride, int r, const RowOp* ops, int count) {
    constexpr int w = kLanes<V>;
    int base = ops[0].first;
    int end = ops[0].last;
    for (int o = 1; o < count; ++o) {
        base = std::min(base, ops[o].first);
        end = std::max(end, ops[o].last);
    }
    const int stages = (end - base) / kWaveRows + count;
    for (int stage = 0; stage < stages; ++stage) {
        for (int o = 0; o < count && o <= stage; ++o) {
            const RowOp& op = ops[o];
            const int from = std::max(op.first, base + (stage - o) * kWaveRows);
            const int to = std::min(op.last, base + (stage - o + 1) * kWaveRows - 1);
            if (from > to) continue;
            if (op.fixed == RowOp::kNegate) {
                double* row = t + op.first * stride + r;
                for (int v = 0; v < u; ++v) Store(row + v * w, -Load<V>(row + v * w));
            } else {
                RotateNeighbours<V, u>(t, stride, r, from, to, op.c, op.s);
            }
        }
    }
}

// Every operation of the batch on the strip of columns [r, r + u w) of t:
// runs of neighbour chains and negations as a wavefront, a chain on a fixed
// row (rare) on its own.
template <class V, int u>
VESK_KERNEL void RowOpsStrip(double* t, long stride, int r, const RowOp* ops, int count) {
    int o = 0;
    while (o < count) {
        if (ops[o].fixed >= 0) {
            RotateStrip<V, u>(t, stride, r, ops[o].fixed, ops[o].first, ops[o].last, ops[o].c, ops[o].s);
            ++o;
            continue;
        }
        int run = o + 1;
        while (run < count && ops[run].fixed < 0) ++run;
        WaveStrip<V, u>(t, stride, r, ops + o, run - o);
        o = run;
    }
}

// Strips of kStripVectors<V> vectors, then of one vector, from column r;
// answers the first column left over.
template <class V>
constexpr int kStripVectors = 4;

template <class V>
VESK_KERNEL int RowOpsStrips(double* t, long stride, int r, int len, const RowOp* ops, int count) {
    constexpr int w = kLanes<V>;
    constexpr int u = kStripVectors<V>;
    for (; r + u * w <= len; r += u * w) RowOpsStrip<V, u>(t, stride, r, ops, count);
    for (; r + w <= len; r += w) RowOpsStrip<V, 1>(t, stride, r, ops, count);
    return r;
}

// The columns left over take narrower vectors, then single values.
template <class V>
VESK_KERNEL void ApplyRowOpsT(double* t, long stride, int len, const RowOp* ops, int count) {
    int r = RowOpsStrips<V>(t, stride, 0, len, ops, count);
#ifdef VESK_WIDE_KERNELS
    if constexpr (kLanes<V> == 8) r = RowOpsStrips<Quad>(t, stride, r, len, ops, count);
#endif
    if constexpr (kLanes<V> > 2) r = RowOpsStrips<Pair>(t, stride, r, len, ops, count);
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

}  // namespace
}  // namespace linalg_kernels
