// Gamma, beta and error functions of double arguments, and the F-test of two
// samples.
//
//   LnGamma(x)          ln Γ(x) for x > 0 by the six-term Lanczos series
//                       (relative error of Γ below 2e-10); x is not checked.
//   Gamma_P(a, x)       P(a, x) = γ(a, x)/Γ(a), the regularised lower incomplete
//                       gamma function; Gamma_Q(a, x) = 1 − P(a, x).
//   LnGamma_P(a, x)     ln P(a, x); LnGamma_Q(a, x) = ln Q(a, x). The side on
//                       which the complement is small is taken as ln(1 − e^y)
//                       of the other method's logarithm y, so tails far below
//                       the double range stay finite.
//   Beta_I(a, b, x)     I_x(a, b), the regularised incomplete beta function;
//                       LnBeta_I(a, b, x) = ln I_x(a, b).
//   Beta(a, b), LnBeta(a, b)
//                       B(a, b) = Γ(a)Γ(b)/Γ(a + b) and its logarithm.
//   FTest(dataA, na, dataB, nb, f)
//                       two-sided significance of the difference of the two
//                       samples' variances; writes the F ratio (the larger
//                       variance over the smaller, 1e6 when one variance is not
//                       positive) to *f. Answers 0 and leaves *f alone when a
//                       sample has fewer than two values.
//   Erf(x)              the error function by a rational approximation of
//                       erfc with fractional error below 1.2e-7 (Erf(0) is
//                       about −3e-8, not 0).
//
// The series and continued fractions stop at a relative step below 1e-16 or
// after 1000 terms. The value each function evaluates directly (P below
// x = a + 1 and Q above; I below x = (a + 1)/(a + b + 2) and 1 − I above)
// carries the relative error of its ln Γ prefactor, below 2e-10 for the gamma
// and 6e-10 for the beta functions; the other side is its complement.
//
// Errors (host code 3; the function then answers 0):
//   Gamma_P, Gamma_Q, LnGamma_P, LnGamma_Q   x < 0, a ≤ 0 or either one NaN.
//   Beta_I, LnBeta_I                         x outside [0, 1] or NaN.
// The incomplete beta continued fraction that has not converged after 1000
// iterations raises code 3 with the text
// "a or b too big, Beta_P does not converge in 300 itterations" and the last
// estimate is used.
//
// Ends of the range: Gamma_P(a, 0) = 0, Gamma_Q(a, 0) = 1, Beta_I(a, b, 0) = 0
// and Beta_I(a, b, 1) = 1 without error; their logarithms are exact too:
// LnGamma_P(a, 0) = LnBeta_I(a, b, 0) = −∞ and LnGamma_Q(a, 0) =
// LnBeta_I(a, b, 1) = 0.
#pragma once

#include "host/Export.h"

VESK_MATH_API double LnGamma(double x);

VESK_MATH_API double Gamma_P(double a, double x);
VESK_MATH_API double Gamma_Q(double a, double x);
VESK_MATH_API double LnGamma_P(double a, double x);
VESK_MATH_API double LnGamma_Q(double a, double x);

VESK_MATH_API double Beta_I(double a, double b, double x);
VESK_MATH_API double LnBeta_I(double a, double b, double x);
VESK_MATH_API double Beta(double a, double b);
VESK_MATH_API double LnBeta(double a, double b);

VESK_MATH_API double FTest(const double* dataA, int na, const double* dataB, int nb, double* f);
VESK_MATH_API double FTest(double* dataA, int na, double* dataB, int nb, double* f);

VESK_MATH_API double Erf(double x);
