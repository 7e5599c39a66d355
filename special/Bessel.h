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
//
// Limits and special arguments (every routine answers at once):
// - NaN in x or in the order gives NaN, without an error.
// - x = +∞: J, Y, J′, Y′, K, K′ answer 0 (K′ −0); I, I′ and ln I, ln I′ +∞.
//   x = −∞: J0 0, J1 −0, I0 +∞, I1 −∞, integer-order J 0 and I ±∞ (the sign
//   of (−1)^n); Y and K of negative x are NaN (outside their domain, no
//   error), ln I of negative x NaN; the fractional-order and derivative
//   routines refuse x ≤ 0 with error 3.
// - Results beyond the double range answer their limit instead of NaN or a
//   lost value: J and J′ +0, Y −∞ and Y′ +∞ below the turning point
//   (x < ν); I, I′ 0 or +∞; K +∞ or 0, K′ −∞ or −0.
// - An order of magnitude up to 2³¹ is served in well under a millisecond:
//   where the value lies outside the double range the limit is settled from
//   a bound before any loop; otherwise the work is bounded (see each
//   routine). The one region still refused is that of orders above about
//   10⁷ within a few ν^⅓ of x, where the continued fraction does not
//   converge within its 1000 steps ("x too large; try asymptotic
//   expansion"), and orders over 2·10⁵ + √(2x) at x ≥ ν + 1000.
// - Negative orders: K_−ν = K_ν (and K′) for every ν; J, Y, their
//   derivatives and I, I′ for negative integer orders by the reflections
//   C_−n = (−1)^n·C_n and I_−n = I_n (the integer-order rows and routines
//   as before). Negative non-integer orders −ν (ν > 0, |ν| ≤ 2³¹) of the
//   fractional-order routines, BesselJY, BesselIK, BesselIn, BesselIpn,
//   LnBesselIn, LnBesselIpn and the table rows BesselJn, BesselJpn, BesselYn,
//   BesselYpn, BesselIn, BesselIpn, LnBesselIn, LnBesselIpn, by
//     J_−ν = cos(νπ)·J_ν − sin(νπ)·Y_ν,  Y_−ν = sin(νπ)·J_ν + cos(νπ)·Y_ν,
//     I_−ν = I_ν + (2/π)·sin(νπ)·K_ν,
//   and the same combinations of the derivatives; sin(νπ) and cos(νπ) from ν
//   reduced modulo 2 (exact 0 and ±1 at half-integers, where the result is
//   then ±Y_ν or ±J_ν bit for bit). Error: that of the positive-order values
//   (below 1e-12 of each, see BesselJY) times |cos(νπ)·C_ν| + |sin(νπ)·D_ν|,
//   the sum of the magnitudes of the two terms: relative to the result where
//   they do not cancel, absolute in that sum near the zeros of J_−ν, Y_−ν,
//   I_−ν and I′_−ν, whose relative error grows as 1/distance to the zero.
//   Measured on the table func_bessel_negative.csv (orders −10⁻⁸ to −30.5,
//   x from 10⁻⁶ to 1000): at most 4e-14 of that sum. At x = 0, J_−ν and I_−ν
//   answer the limit (−1)^⌊ν⌋·∞ (the sign of Γ(1 − ν), the leading series
//   term (x/2)^−ν/Γ(1 − ν) outgrowing the rest), J′_−ν and I′_−ν the
//   opposite sign, without an error; Y, Y′ refuse x = 0 (error 3) as for
//   positive orders. Beyond the double range the terms give ±∞ or 0 (a zero
//   coefficient never multiplies an infinite term).
#pragma once

#include "host/Export.h"

// True when the order equals its truncation to a 32-bit integer (stored in
// *n); NaN, fractional and out-of-range orders are not integral. The integer
// routines serve integral orders, the fractional-order routines the rest.
bool IsIntegralOrder(double nu, int* n);

// J_n(x) and Y_n(x) of integer order by the C library's jn and yn, except
// where that would be slow or wrong: orders above 50000 (jn and yn take about
// n steps) and arguments where J underflows and Y overflows, which go to
// BesselJFrac/BesselYFrac (0 and −∞ at once; the reflections J_−n = (−1)^n·J_n,
// J_n(−x) = (−1)^n·J_n(x) and Y_−n = (−1)^n·Y_n applied). Used by the table
// rows BesselJn and BesselYn; x ≤ 0 for Y and x = 0 or NaN for J go to the
// C library as before.
double BesselJInteger(int n, double x);
double BesselYInteger(int n, double x);

// ---------------------------------------------------------------------------
// Exported I and K family (x first, then the order).
// ---------------------------------------------------------------------------

// I0(x), I1(x) by polynomial approximations (relative error below 4.8e-7 and
// 6.3e-7); I1 is odd in x.
VESK_MATH_API double BesselI0(double x);
VESK_MATH_API double BesselI1(double x);

// I_n(x): BesselIInteger for an integral n, otherwise BesselIFrac(x, n).
// Relative error bound by order: n = 0 is BesselI0 (4.8e-7), n = ±1 is
// BesselI1 (6.3e-7), 2 ≤ |n| ≤ 50000 inherits I0's 4.8e-7 through the
// normalisation of Miller's recurrence, larger |n| and values beyond the
// double range come from BesselIFrac (about 2e-12 at the most for orders
// and x in the hundreds: 1.8e-12 at I₇₀₀.₅(704.99)).
VESK_MATH_API double BesselIn(double x, double n);

// I′_ν(x) by BesselIK (every real ν; negative orders as in the file comment).
VESK_MATH_API double BesselIpn(double x, double nu);

// ln I_ν(x): the leading series term ν·ln(x/2) − ln Γ(ν + 1) when ν/30 > x
// (ln(x/2) from ln x − ln 2 for subnormal x, which x/2 rounded to 0 — ln I₁
// of 5e-324 was −∞ for −745.13; Stirling's ln Γ where ln Γ(ν + 1) overflows,
// from ν ≈ 2.5e305 — ln I of ν = 1.8e308 at x = 1000 was NaN for −∞),
// the asymptotic expansion x − ½·ln(2πx) + ln(1 − (4ν² − 1)/(8x)) when
// x > 4ν² − 1 and x ≥ 5 (absolute error of the logarithm below 1e-2; ln(2πx)
// is taken as a sum where 2πx overflows), otherwise the logarithm of the
// computed I (integral ν by BesselIInteger). Where that I is not a normal
// double (it under- or overflowed: ln I₄₀₀.₅(30) was the series' first term,
// ln I₃₀₀(1e5) the two-term form), the logarithm comes from the log of the
// power series (x² ≤ ν + 1), the expansion in 1/x (ν² ≤ 2x) or the uniform
// expansion in 1/ν, each within a few units of 1e-16 of |ln I|.
// Negative non-integer orders −ν: the asymptotic form where it applies,
// otherwise the logarithm of the reflected I_−ν, NaN where I_−ν < 0 (at
// small x when sin(νπ) < 0), +∞ at x = 0 where the limit is +∞; where I_−ν
// overflows, the larger term's logarithm: I_ν's as above, or ln((2/π)·
// |sin(νπ)|·K_ν) from the log of the power series of I_−ν (x² ≤ ν + 1) or the
// uniform expansion of K (ν ≥ 100), within 1e-13 of |ln I|.
VESK_MATH_API double LnBesselIn(double x, double nu);

// ln I′_ν(x), with the same regions as LnBesselIn; I′ from BesselIK
// (negative orders: NaN where I′_−ν < 0, at small x when sin(νπ) > 0).
VESK_MATH_API double LnBesselIpn(double x, double nu);

// K0(x), K1(x) by polynomial approximations (relative error below 1.6e-7 and
// 1.8e-7); x > 0 is not checked (negative x gives NaN). K0(0) = K1(0) = +∞;
// for subnormal x, ln(x/2) is taken as ln x − ln 2 (halving would round).
VESK_MATH_API double BesselK0(double x);
VESK_MATH_API double BesselK1(double x);

// K_n(x): BesselKInteger for an integral n, otherwise BesselKFrac(x, n).
// Relative error bound by order: n = 0 is BesselK0 (1.6e-7), n = ±1 BesselK1
// (1.8e-7), 2 ≤ |n| ≤ 50000 at x ≤ 705 a positive combination of both
// (1.8e-7); larger |n| and x > 705 come from BesselKFrac (below 1e-12).
VESK_MATH_API double BesselKn(double x, double n);

// K′_ν(x) by BesselKpFrac (every real ν).
VESK_MATH_API double BesselKpn(double x, double nu);

// ---------------------------------------------------------------------------
// Fractional-order entry points, one value per call (x first, then ν).
// Each computes J, Y (BesselJY) or I, K (BesselIK) for x > 0, mostly to a
// few units of 1e-16, but the recurrences lose up to about 2e-12 for orders
// and x in the hundreds (1.8e-12 at I₇₀₀.₅(704.99)) and the power series
// up to 3.5e-14 below x = 1e-290 (I₁, J₁ at 1e-300), where its leading term
// is taken through logarithms (limits, NaN and negative orders as in the
// file comment; J, J′, I, I′ answer ±∞ at x = 0 for negative non-integer
// orders), raises error 3 and answers 0 otherwise. They accept integral
// orders as well.
// BesselKFrac and BesselKpFrac compute K alone: the same operations as the K
// part of BesselIK (so the same bits), without I's continued fraction,
// downward recurrence and normalisation, and for every real ν.
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
// J′/J; answers true and writes all four results. Mended regions:
// - x − ν ≥ 1000 (where the first continued fraction cannot converge) and
//   x ≥ 50 with ν ≤ x/2: Hankel's expansion, terms taken to the rounding
//   level, within 1e-15 of the amplitude √(2/(πx)) (the continued fractions'
//   rounding grew to 7e-12 of it near x = 925); orders above √(2x) by the
//   upward recurrence from below √(2x) (at most 2·10⁵ steps). Below both the
//   results are the continued fractions', bit for bit.
// - x ≤ 0.01, or x < 2 from ν = 10 on: J and J′ by the power series (Temme's
//   series lost up to all digits there: J₀.₇(1e-30) was ∞).
// - x below about 3e-308, where 2/x overflows inside the continued
//   fractions: J, J′ from the leading term of the power series, Y, Y′ from
//   their leading small-x forms (within 4e-15; −∞ and +∞ where they
//   overflow); the large-x expansion answered NaN or wrong values there.
// - J below the double range (Kapteyn's bound under e^−800): J, J′ = +0,
//   Y = −∞, Y′ = +∞ at once; Y or Y′ overflowing inside the recurrences
//   below the turning point gives −∞ / +∞ instead of NaN.
// Negative orders by the reflections of the file comment, from the results
// at |ν|. On error 3 (x ≤ 0, x = −∞, |ν| > 2³¹, or non-convergence) answers
// false and writes nothing. The pointers must be valid.
bool BesselJY(double x, double nu, double* rj, double* ry, double* rjp, double* ryp);

// I_ν(x), K_ν(x), I′_ν(x), K′_ν(x) by Temme's series (x < 2) or Steed's
// method with Temme's normalisation (x ≥ 2). Mended regions: I and I′ by the
// power series where J's are (above), and below x ≈ 3e-308 as J's (I was 0
// there); K, K′ below the normal doubles from their small-x forms (they
// were ∞ or 0), and K′ = −∞ wherever K_ν+1 overflows (it was NaN); values
// far beyond the double range
// settled at once; orders above 50000 or x > 705 (where e^−x, the scale of
// K_μ, leaves the normal range) from the uniform expansion in 1/ν or the
// expansion in 1/x. Errors and writing as BesselJY.
bool BesselIK(double x, double nu, double* ri, double* rk, double* rip, double* rkp);

// I_n(x) for an integer n by Miller's downward recurrence normalised with
// I0(x); the recurrence starts high enough to cover both n and x. Where its
// scaling fails for |x| far below 1 (a NaN or 0 quotient) the power series
// gives the value. I_n(0) = 0 for n ≥ 2, the sign follows x for odd n, and
// I_−n = I_n. Orders above 50000 and values beyond the double range go to
// BesselIFrac (the recurrence took one step per order unit: 19 s at INT_MAX).
double BesselIInteger(int n, double x);

// K_n(x) for an integer n by upward recurrence from K0 and K1; K_−n = K_n.
// Orders above 50000 and x > 705 (K0 and K1 underflow there while K_n need
// not) go to BesselKFrac.
double BesselKInteger(int n, double x);

// Σ' c_j·T_j(y), y = (2x − a − b)/(b − a), the Chebyshev series of m
// coefficients c[0..m−1] (first term halved) on [a, b]. x outside [a, b]
// raises error 3 and answers 0.
double ChebEval(double a, double b, const double* c, int m, double x);

// For |μ| ≤ ½: gam1 = (1/Γ(1 − μ) − 1/Γ(1 + μ))/(2μ), gam2 =
// (1/Γ(1 − μ) + 1/Γ(1 + μ))/2, gampl = 1/Γ(1 + μ), gammi = 1/Γ(1 − μ), from
// Chebyshev expansions.
void GammaTerms(double mu, double* gam1, double* gam2, double* gampl, double* gammi);
