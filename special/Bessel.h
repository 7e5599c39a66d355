// Bessel functions of the first and second kind (J, Y) and modified Bessel
// functions (I, K) of real order, their derivatives with respect to x, and the
// logarithms of I and I′.
//
// Failure convention for the whole family: a routine that raises host error 3
// (bad argument, or a series / continued fraction that has not converged in
// 1000 iterations) answers 0. The non-convergence texts are
// "x too large; try asymptotic expansion", "bessy series failed to converge",
// "cf2 failed in bessjy", "series failed to converge" and
// "failure to converge in cf2".
#pragma once

#include "host/Export.h"

// True when the order equals its truncation to a 32-bit integer (stored in
// *n); NaN, fractional and out-of-range orders are not integral. The integer
// routines serve integral orders, the fractional-order routines the rest.
bool IsIntegralOrder(double nu, int* n);

// ---------------------------------------------------------------------------
// Exported I and K family (x first, then the order).
// ---------------------------------------------------------------------------

// I0(x), I1(x) by polynomial approximations (relative error below 4.8e-7 and
// 6.3e-7); I1 is odd in x.
VESK_MATH_API double BesselI0(double x);
VESK_MATH_API double BesselI1(double x);

// I_n(x): BesselIInteger for an integral n, otherwise BesselIFrac(x, n).
VESK_MATH_API double BesselIn(double x, double n);

// I′_ν(x) by BesselIK (every ν ≥ 0, integral or not).
VESK_MATH_API double BesselIpn(double x, double nu);

// ln I_ν(x): the leading series term ν·ln(x/2) − ln Γ(ν + 1) when ν/30 > x,
// the asymptotic expansion x − ½·ln(2πx) + ln(1 − (4ν² − 1)/(8x)) when
// x > 4ν² − 1 and x ≥ 5 (absolute error of the logarithm below 1e-2),
// otherwise the logarithm of the computed I (integral ν by BesselIInteger).
VESK_MATH_API double LnBesselIn(double x, double nu);

// ln I′_ν(x), with the same three regions as LnBesselIn; I′ from BesselIK.
VESK_MATH_API double LnBesselIpn(double x, double nu);

// K0(x), K1(x) by polynomial approximations (relative error below 1.6e-7 and
// 1.8e-7); x > 0 is not checked.
VESK_MATH_API double BesselK0(double x);
VESK_MATH_API double BesselK1(double x);

// K_n(x): BesselKInteger for an integral n, otherwise BesselKFrac(x, n).
VESK_MATH_API double BesselKn(double x, double n);

// K′_ν(x) by BesselIK (every ν ≥ 0).
VESK_MATH_API double BesselKpn(double x, double nu);

// ---------------------------------------------------------------------------
// Fractional-order entry points, one value per call (x first, then ν).
// Each computes J, Y (BesselJY) or I, K (BesselIK) for x > 0 and ν ≥ 0 to
// near machine precision, raises error 3 and answers 0 otherwise. They accept
// integral orders as well.
// ---------------------------------------------------------------------------

double BesselJFrac(double x, double nu);   // J_ν(x)
double BesselYFrac(double x, double nu);   // Y_ν(x)
double BesselJpFrac(double x, double nu);  // J′_ν(x) = dJ_ν/dx
double BesselYpFrac(double x, double nu);  // Y′_ν(x) = dY_ν/dx
double BesselIFrac(double x, double nu);   // I_ν(x)
double BesselKFrac(double x, double nu);   // K_ν(x)
double BesselIpFrac(double x, double nu);  // I′_ν(x) = dI_ν/dx
double BesselKpFrac(double x, double nu);  // K′_ν(x) = dK_ν/dx

// ---------------------------------------------------------------------------
// The underlying routines.
// ---------------------------------------------------------------------------

// J_ν(x), Y_ν(x), J′_ν(x), Y′_ν(x) by Temme's series (x < 2) or Steed's
// method (x ≥ 2), with the downward recurrence of the continued fraction for
// J′/J. Answers true and writes all four results; on error 3 (x ≤ 0, ν < 0,
// a non-finite argument, ν beyond the int range, or non-convergence) answers
// false and writes nothing. The pointers must be valid.
bool BesselJY(double x, double nu, double* rj, double* ry, double* rjp, double* ryp);

// I_ν(x), K_ν(x), I′_ν(x), K′_ν(x) by Temme's series (x < 2) or Steed's
// method with Temme's normalisation (x ≥ 2). Errors and writing as BesselJY.
bool BesselIK(double x, double nu, double* ri, double* rk, double* rip, double* rkp);

// I_n(x) for an integer n by Miller's downward recurrence normalised with
// I0(x); the recurrence starts high enough to cover both n and x. Where its
// scaling fails for |x| far below 1 (a NaN or 0 quotient) the power series
// gives the value. I_n(0) = 0 for n ≥ 2, the sign follows x for odd n, and
// I_−n = I_n.
double BesselIInteger(int n, double x);

// K_n(x) for an integer n by upward recurrence from K0 and K1; K_−n = K_n.
double BesselKInteger(int n, double x);

// Σ' c_j·T_j(y), y = (2x − a − b)/(b − a), the Chebyshev series of m
// coefficients c[0..m−1] (first term halved) on [a, b]. x outside [a, b]
// raises error 3 and answers 0.
double ChebEval(double a, double b, const double* c, int m, double x);

// For |μ| ≤ ½: gam1 = (1/Γ(1 − μ) − 1/Γ(1 + μ))/(2μ), gam2 =
// (1/Γ(1 − μ) + 1/Γ(1 + μ))/2, gampl = 1/Γ(1 + μ), gammi = 1/Γ(1 − μ), from
// Chebyshev expansions.
void GammaTerms(double mu, double* gam1, double* gam2, double* gampl, double* gammi);
