// Internal kernels of LeastSquaresFit (installed with the other headers, but
// no part of the class library's interface): Householder QR with column
// pivoting, the Levenberg parameter of a trust-region step computed on R,
// and the inverse of R'R. Matrices are column-major with leading dimension
// ld; n is the number of columns. The algorithms follow Moré's published
// Levenberg-Marquardt implementation (The Levenberg-Marquardt algorithm:
// implementation and theory, 1978).
#pragma once

namespace lsq_internal {

// Factors the m x n matrix a (m >= n) as a P = Q R. On return the strict
// upper triangle of a's first n rows holds R's, rdiag R's diagonal, the
// lower part of a the Householder vectors (used by ApplyQt), ipvt the
// permutation (column j of R is column ipvt[j] of a), acnorm the column
// norms of the original a. wa: n doubles of work.
void QrFactor(int m, int n, double* a, int ld, int* ipvt, double* rdiag, double* acnorm, double* wa);

// v := Q' v for the factor left by QrFactor (before its diagonal is
// overwritten by rdiag).
void ApplyQt(int m, int n, const double* a, int ld, double* v);

// Solves min |A x - b|^2 + |D x|^2 given the QR factor of A as a full
// upper triangle r (n x n, ld), ipvt, diag (D) and qtb (first n of Q'b).
// On return r's strict lower triangle and sdiag hold S, the factor of
// (A'A + D'D) in R's permutation (S'S = P'(A'A + D D)P). wa: n doubles.
void QrSolve(int n, double* r, int ld, const int* ipvt, const double* diag, const double* qtb,
             double* x, double* sdiag, double* wa);

// The Levenberg parameter par >= 0 such that x = the solution of
// min |A x - b|^2 + par |D x|^2 satisfies |D x| within 10 % of delta (or
// par = 0 when the Gauss-Newton step is shorter than 1.1 delta). par holds
// the previous value on entry (a start). x minimises |A x - b|, so with
// b = r, the residual vector, -x is the step. wa1, wa2: n doubles each.
void LevenbergParameter(int n, double* r, int ld, const int* ipvt, const double* diag,
                        const double* qtb, double delta, double& par, double* x, double* sdiag,
                        double* wa1, double* wa2);

// The Euclidean norm of n values, without overflow or harmful underflow.
double Norm(int n, const double* x);

}  // namespace lsq_internal
