// Inner kernels of the matrix decompositions, internal to the module.
//
// Each kernel forms many independent results together along contiguous
// memory, in vector registers, while every single result receives exactly
// the operations, in exactly the order, of the plain scalar loop: vector
// lanes round like the scalar operations, so results are the same bit for
// bit whichever width is used. The baseline is two lanes (SSE2 on x86-64,
// NEON on aarch64); on x86-64 four lanes (AVX2), and eight (AVX-512F) for
// the rotations and the Cholesky columns, are chosen at run time where the
// processor has them, never with fused multiply-add.
#pragma once

namespace linalg_kernels {

// The lanes of the widest kernels in use: 2, 4 or 8 (8: the rotations and
// the Cholesky columns, the others then take 4).
int Lanes();
// Chooses the kernels of `lanes` lanes, or the widest available below that
// (so 0 or 2 gives the baseline); answers the lanes now in use. For tests,
// which compare the widths; 8 restores the default choice.
int UseLanes(int lanes);

// Column i of the Cholesky factor L of the n x n row-major a into row i of
// t, which holds L transposed (t(k, j) = L(j, k); rows above i complete):
// s(j) = a(i, j) - sum_{k = i-1 down to 0} L(i, k) L(j, k) for j >= i,
// L(i, i) = sqrt(s(i)), L(j, i) = s(j) / L(i, i). Answers false, the row
// unfinished, when s(i) is 0.0 or less (a NaN s(i) goes on).
bool CholeskyColumn(double* t, const double* a, int n, int i);
// Columns i and i + 1 (i + 1 < n) of the same: the same values as
// CholeskyColumn on i and then on i + 1, each row of t read once for both.
// Answers false, the rows unfinished, as CholeskyColumn on either.
bool CholeskyColumnPair(double* t, const double* a, int n, int i);

// One step of a batch of row operations on the row-major t: a chain of plane
// rotations i = first .. last, rotation i with c[i] and s[i] making two rows
// (y, z) into (y c + z s, z c - y s), on rows (fixed, i) for fixed >= 0 or on
// rows (i, i + 1) for kNeighbours; or, with fixed == kNegate, the negation of
// row `first`.
struct RowOp {
    static constexpr int kNeighbours = -1;
    static constexpr int kNegate = -2;
    int fixed;
    int first;
    int last;
    const double* c;
    const double* s;
};

// The operations ops[0 .. count-1] in their order on every element of t
// (row stride `stride`, len values used per row). A strip of columns passes
// through all of them while it stays in cache, so t is read and written once
// per batch rather than once per chain.
void ApplyRowOps(double* t, long stride, int len, const RowOp* ops, int count);

#if defined(__x86_64__) || defined(__i386__)
// ApplyRowOps, CholeskyColumn and CholeskyColumnPair in eight lanes (short
// columns in four), compiled for AVX-512F: only for processors that have it
// (the table of kernels checks).
void ApplyRowOps8(double* t, long stride, int len, const RowOp* ops, int count);
bool CholeskyColumn8(double* t, const double* a, int n, int i);
bool CholeskyColumnPair8(double* t, const double* a, int n, int i);
#endif

// t(j) += f(k) r(k, j) for j in [j0, j1), one term at a time for k = k0 .. k1 - 1
// rising, where r(k, .) is row k of the row-major r (stride `stride`) and
// f(k) = f[k * fStride] (a column of r itself, or an array).
void AddRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, long fStride, int k0,
                int k1);

// t(j) -= f(k) r(k, j) for j in [j0, j1), one term at a time for
// k = k0, k0 + step, ... (count terms; step 1 or -1), with f(k) = f[k].
void SubtractRowSums(double* t, int j0, int j1, const double* r, long stride, const double* f, int k0, int count,
                     int step);

// row(j) += f(j) a for j in [j0, j1).
void AddScaled(double* row, const double* f, double a, int j0, int j1);

// m(k, j) += f(j) x(k) for k in [k0, k1), j in [j0, j1), m row-major (stride
// `stride`).
void AddScaledRows(double* m, long stride, int k0, int k1, int j0, int j1, const double* f, const double* x);

// Columns [j0, j1) of the row-major m (stride `stride`), k rising: for k in
// [kd, ku) s(j) += y(k) m(k, j); for k in [ku, k1) first m(k, j) += f(j) x(k),
// then s(j) += y(k) m(k, j) with the new value. One walk over the rows does
// one step's update and the next step's sums.
void UpdateAndSum(double* m, long stride, int kd, int ku, int k1, int j0, int j1, const double* f, const double* x,
                  double* s, const double* y);

// For each row j in [j0, j1) of the row-major m (stride `stride`): when f
// is not null, first m(j, k) += f(k) m(j, col) for k in [k0, k1) (col outside
// that range); then d = sum_{k = k0 .. k1 - 1} m(j, k) x(k) with k rising from
// 0.0, and m(j, k) += d y(k) for k in [k0, k1). The rows are independent;
// eight are formed together so that their sums overlap, and each row takes
// both updates while in cache.
void DotAndUpdateRows(double* m, long stride, int j0, int j1, int k0, int k1, const double* x, const double* y,
                      const double* f, int col);

}  // namespace linalg_kernels
