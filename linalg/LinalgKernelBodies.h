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

// Divides t(j) for j in [j0, j1) by d.
VESK_KERNEL void DivideRange(double* t, int j0, int j1, double d) {
    for (int j = j0; j < j1; ++j) t[j] = t[j] / d;
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
    DivideRange(ti, i + 1, n, diagonal);
    return true;
}

// Vectors per strip of CholeskyColumnPairT: four, so that eight sums are in
// flight (four of each column) to hide the latency of the subtractions.
constexpr int kPairVectors = 4;
// Rows ahead of the walk of PairStripPass whose lines of column i's strip
// are fetched early: the walk goes down the rows, one page per row, which
// the processor's own prefetching does not follow.
constexpr int kPairFetchAhead = 8;

// One pass of CholeskyColumnPairT over all k: the sums of column i for the
// entries [ja, ja + u w) and those of column i + 1 for [jb, jb + u w) (an
// earlier strip, whose L(j, i) are final), each term in the order of
// CholeskyColumnT (column i + 1's first term, k = i, before the walk).
template <class V, int u>
VESK_KERNEL void PairStripPass(double* t, int n, int i, int ja, int jb) {
    constexpr int w = kLanes<V>;
    double* ta = t + static_cast<long>(i) * n;
    double* tb = ta + n;
    V sa[u], sb[u];
    const V first = Splat<V>(ta[i + 1]);
    for (int q = 0; q < u; ++q) {
        sa[q] = Load<V>(ta + ja + q * w);
        sb[q] = Load<V>(tb + jb + q * w) - first * Load<V>(ta + jb + q * w);
    }
    for (int k = i - 1; k >= 0; --k) {
        const double* rk = t + static_cast<long>(k) * n;
        const V fa = Splat<V>(rk[i]);
        const V fb = Splat<V>(rk[i + 1]);
        if (k >= kPairFetchAhead) {
            const double* ahead = rk - kPairFetchAhead * static_cast<long>(n) + ja;
            for (int q = 0; q < u * w; q += 8) __builtin_prefetch(ahead + q);
            __builtin_prefetch(ahead + u * w - 1);
        }
        for (int q = 0; q < u; ++q) {
            sa[q] = sa[q] - fa * Load<V>(rk + ja + q * w);
            sb[q] = sb[q] - fb * Load<V>(rk + jb + q * w);
        }
    }
    for (int q = 0; q < u; ++q) {
        Store(ta + ja + q * w, sa[q]);
        Store(tb + jb + q * w, sb[q]);
    }
}

// Columns i and i + 1 (i + 1 < n) of the Cholesky factor, each entry's
// operations and their order those of CholeskyColumnT on column i and then
// column i + 1. Column i + 1's sum for entry j starts with L(j, i) L(i + 1,
// i) and then takes k = i - 1 .. 0 like column i's, so the entries are
// walked in strips of u w, column i on strip m together with column i + 1 on
// strip m - 1 (finished in column i by the pass before): the walk over the
// rows of t serves both columns, and the lines of strip m - 1, read by the
// pass before, are mostly still in the nearer caches. Strip 0 of column
// i holds the diagonal, needed by all its divisions and, through L(i + 1, i),
// by column i + 1; strip 0 of column i + 1 (entry i + 1 onwards) holds its
// diagonal. Answers false, as CholeskyColumnT, at the first diagonal sum of
// 0.0 or less.
template <class V, int u>
VESK_KERNEL bool CholeskyColumnPairT(double* t, const double* a, int n, int i) {
    constexpr int width = u * kLanes<V>;
    double* ta = t + static_cast<long>(i) * n;
    double* tb = ta + n;
    std::copy(a + static_cast<long>(i) * n + i, a + static_cast<long>(i + 1) * n, ta + i);
    std::copy(a + static_cast<long>(i + 1) * n + i + 1, a + static_cast<long>(i + 2) * n, tb + i + 1);
    // Row k of t holds L(., k): its elements i and i + 1 are the factors.
    const double* fa = t + i;
    const double* fb = t + i + 1;
    int ja0 = std::min(n, i + width);
    if (i > 0) StripSumsT<V, true>(ta, i, ja0, t, n, fa, n, i - 1, i, -1);
    if (ta[i] <= 0.0) return false;
    const double da = std::sqrt(ta[i]);
    ta[i] = da;
    DivideRange(ta, i + 1, ja0, da);
    // Column i + 1's strip [jb0, jb1) beside column i's [ja0, ja1), both
    // over the same strips. Column i + 1's first strip starts at entry i,
    // above the factor (t(i + 1, i) is L(i, i + 1), outside the triangle):
    // so that it is whole, its sum is formed there too and then the element
    // put back. A strip narrower than u w (the last ones) takes the general
    // kernel, column i first.
    const double above = tb[i];
    double db = 0.0;
    int jb0 = i, jb1 = ja0;
    while (jb0 < n) {
        const int ja1 = std::min(n, ja0 + width);
        if (ja1 - ja0 == width && jb1 - jb0 == width) {
            PairStripPass<V, u>(t, n, i, ja0, jb0);
        } else {
            if (i > 0) StripSumsT<V, true>(ta, ja0, ja1, t, n, fa, n, i - 1, i, -1);
            StripSumsT<V, true>(tb, jb0, jb1, t, n, fb, n, i, i + 1, -1);
        }
        DivideRange(ta, ja0, ja1, da);
        if (jb0 == i) {
            tb[i] = above;
            if (tb[i + 1] <= 0.0) return false;
            db = std::sqrt(tb[i + 1]);
            tb[i + 1] = db;
            DivideRange(tb, i + 2, jb1, db);
        } else {
            DivideRange(tb, jb0, jb1, db);
        }
        jb0 = ja0;
        jb1 = ja1;
        ja0 = ja1;
    }
    return true;
}

// Columns shorter than this are formed one by one: their strips are few,
// and the pairing costs more than it saves (about 6 % at n = 50).
constexpr int kShortPair = 96;

// Columns i and i + 1 (i + 1 < n): paired in V, or one by one in Short for
// short columns.
template <class V, class Short>
VESK_KERNEL bool CholeskyColumnsT(double* t, const double* a, int n, int i) {
    if (n - i < kShortPair) return CholeskyColumnT<Short>(t, a, n, i) && CholeskyColumnT<Short>(t, a, n, i + 1);
    return CholeskyColumnPairT<V, kPairVectors>(t, a, n, i);
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
