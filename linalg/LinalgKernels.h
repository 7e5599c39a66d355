// Inner kernels of the matrix decompositions, internal to the module.
//
// Each kernel forms many independent results together along contiguous
// memory, in vector registers, while every single result receives exactly
// the operations, in exactly the order, of the plain scalar loop: vector
// lanes round like the scalar operations, so results are the same bit for
// bit whichever width is used. On x86-64 a kernel of four lanes (AVX2, no
// fused multiply-add) is chosen at run time where the processor has it;
// the baseline is two lanes (SSE2, or NEON on aarch64).
#pragma once

namespace linalg_kernels {

// Whether the four-lane kernels run (the processor has them and they are not
// switched off). UseWideVectors(false) makes every kernel take the two-lane
// path, so that tests can compare the two; true restores the choice.
bool WideVectors();
void UseWideVectors(bool use);

// Column i of the Cholesky factor L of the n x n row-major a into row i of
// t, which holds L transposed (t(k, j) = L(j, k); rows below i complete):
// s(j) = a(i, j) - sum_{k = i-1 down to 0} L(i, k) L(j, k) for j >= i,
// L(i, i) = sqrt(s(i)), L(j, i) = s(j) / L(i, i). Answers false, the row
// unfinished, when s(i) is 0.0 or less (a NaN s(i) goes on).
bool CholeskyColumn(double* t, const double* a, int n, int i);

// Plane rotations of rows of the row-major t (row stride `stride`, len
// values used per row): rotation i, with c[i] and s[i], makes the rows (y, z)
// (y c + z s, z c - y s). RotateNeighbours applies i = first .. last to rows
// (i, i + 1); RotateAgainst applies them to rows (fixed, i). Every element
// receives its rotations in the order of i.
void RotateNeighbours(double* t, long stride, int len, int first, int last, const double* c, const double* s);
void RotateAgainst(double* t, long stride, int len, int fixed, int first, int last, const double* c,
                   const double* s);

}  // namespace linalg_kernels
