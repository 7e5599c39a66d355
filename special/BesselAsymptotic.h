// Methods of the Bessel family beyond the reach of the series and continued
// fractions: Hankel's expansion of J and Y for large x, the uniform (Debye)
// expansion of I and K for large orders, the power series of I and J for
// small x, and the tests that tell when a result lies outside the double
// range. Internal to the module: the exported routines of special/Bessel.h
// call them; nothing here raises a host error.
#pragma once

namespace bessel_detail {

// Orders above which the recurrences of the I, K and integer-order routines
// (each about ν steps) give way to the expansions below, so that every call
// answers within about a millisecond; and the x beyond which e^−x, the scale
// of K in those routines, leaves the normal double range.
constexpr double kMaxRecurrenceOrder = 50000.0;
constexpr double kMaxScaledX = 705.0;

// Hankel's expansion (terms taken until they fall below the rounding level)
// directly for ν² ≤ 2x, otherwise at the order ν − n (n ≥ 1 the least that
// brings it under √(2x)) and the order above it, followed by n steps of the
// upward recurrence, which is stable for orders below x. Writes J, Y, J′, Y′
// and answers true; answers false and writes nothing when n would exceed
// kMaxUpwardSteps. Meant for x ≥ 50, where the sums reach the rounding
// level before their terms grow again (BesselJY uses it from there).
constexpr long long kMaxUpwardSteps = 200000;
bool JYLargeX(double x, double nu, double* j, double* y, double* jp, double* yp);

// True when x < ν and J_ν(x) and J′_ν(x) < e^−800 by Kapteyn's bound
// J_ν(νz) ≤ (z·e^√(1−z²)/(1 + √(1−z²)))^ν (J′ within √(1 − z²)/z of it):
// then J and J′ round to +0 and Y, Y′ (|Y| ≥ e^750 there) to −∞ and +∞.
bool JYBeyondRange(double x, double nu);

// Estimates of ln I_ν(x) and ln K_ν(x) from the leading term of the uniform
// expansion (within 0.1 of the truth for ν ≥ 1; for ν < 1 from the small and
// large x forms). Used only to tell values far outside the double range.
double LnIEstimate(double x, double nu);
double LnKEstimate(double x, double nu);

// I_ν(x), K_ν(x), I′_ν(x), K′_ν(x) by the uniform expansion in 1/ν with six
// correction terms (ν² > 2x), or by the expansion in 1/x of e^(±x)/√x
// (ν² ≤ 2x). The k-th correction is of the order of (ν² + x²)^(−k/2), so
// for √(ν² + x²) ≥ 500 the relative error is that of e^(±νη) (about
// |νη|·1e-16, the condition of the function itself).
void IKUniform(double x, double nu, double* i, double* k, double* ip, double* kp);

// K_ν(x), K′_ν(x) alone by the same expansions.
void KUniform(double x, double nu, double* k, double* kp);

// ln I_ν(x) (derivative false) or ln I′_ν(x) by the uniform expansion; for
// ν ≥ 100 the neglected term is below 1e-13.
double LnIUniform(double x, double nu, bool derivative);

// ln I_ν(x) or ln I′_ν(x) by the expansion e^x/√(2πx)·Σ (−1)^k a_k(ν)/x^k
// (b_k for I′) for large x beside ν² (ν² ≤ 2x); ln(2πx) is taken as a sum
// so that no x overflows.
double LnILargeX(double x, double nu, bool derivative);

// I_ν(x) and I′_ν(x) (sign false) or J_ν(x) and J′_ν(x) (sign true) by the
// power series Σ (∓x²/4)^k/(k!·Γ(ν + k + 1))·(x/2)^ν; for x² ≤ ν + 1 the
// terms fall by at least 4 each step.
void PowerSeries(double x, double nu, bool alternating, double* value, double* derivative);

// ln |I_ν(x)| or ln |I′_ν(x)| by the logarithm of the power series, for x
// small beside |ν| (x² ≤ |ν| + 1). A negative ν must not be an integer; there
// the terms alternate in sign up to k ≈ −ν, and a negative value (the sign of
// 1/Γ(1 + ν) times that of the sum) answers NaN.
double LnISeries(double x, double nu, bool derivative);

// ln K_ν(x) (derivative false) or ln |K′_ν(x)| by the uniform expansion in
// 1/ν, for ν ≥ 100 (neglected term below 1e-13, as LnIUniform).
double LnKUniform(double x, double nu, bool derivative);

// sin(πν) and cos(πν) for ν ≥ 0: ν is reduced modulo 2 (exactly) and then to
// a quarter turn t ∈ [−¼, ¼] around a multiple of ½, so that sin(πt) and
// cos(πt) carry only the rounding of π·t; integers and half-integers give
// exact 0 and ±1 (+0 for the zero).
void SinCosPi(double nu, double* s, double* c);

}  // namespace bessel_detail
