// The incomplete gamma function for large a near the middle of its
// distribution, by Temme's uniform asymptotic expansion
//   Q(a, x) = ½·erfc(η·√(a/2)) + e^(−a·η²/2)/√(2πa)·Σ_k C_k(η)·a^−k,
//   P(a, x) = ½·erfc(−η·√(a/2)) − e^(−a·η²/2)/√(2πa)·Σ_k C_k(η)·a^−k,
// with ½η² = λ − 1 − ln λ, λ = x/a, η of the sign of λ − 1. Internal to the
// module: the exported routines of special/Gamma.h call it where the series
// and the continued fraction would take more than about a hundred terms;
// nothing here raises a host error.
#pragma once

namespace gamma_detail {

// The region of the expansion: a ≥ kUniformFrom and 0.7·a ≤ x ≤ a + 3·√a.
// Below it the series (x < a + 1) takes at most about 100 terms at any a,
// above it the continued fraction at most about 60; inside, |η| ≤ 0.34, where
// the C_k kept (at most 8, 80 coefficients) reach 3e-18 of the sum.
constexpr double kUniformFrom = 100.0;
bool UniformApplies(double a, double x);

// P(a, x) (lower) or Q(a, x) by the expansion, and their logarithms; (a, x)
// inside the region. Each side is formed directly, the one near 1 without
// cancellation against the other. The logarithm of the tail side is formed
// from e^(−a·η²/2) and the asymptotic series of erfc where the value leaves
// the double range; that of the side near 1 as ln(1 − tail).
double UniformGamma(double a, double x, bool lower);
double LnUniformGamma(double a, double x, bool lower);

}  // namespace gamma_detail
