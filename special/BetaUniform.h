// Temme's uniform asymptotic expansion of the incomplete beta function for
// large a and b, and the exact distance from the mean it is driven by.
// Internal to the module: Beta_I and LnBeta_I of special/Gamma.h call it;
// nothing here raises a host error.
#pragma once

namespace beta_detail {

// λ = a − (a + b)·x, the distance of x from the mean a/(a + b) in units of
// 1/(a + b), with the rounding of a + b and of the product carried exactly
// (two-sum and fused multiply-add), so only the last subtraction rounds: at
// a = b = 1e300 one step of x moves λ by 1e284 and the result by far more
// than its rounding. a, b > 0 finite, 0 ≤ x ≤ 1.
double MeanDistance(double a, double b, double x);

// I_x(a, b) = e^(lnFactor − δ(a) − δ(b) + δ(a + b))·sum for x at or below
// the mean (λ = MeanDistance(a, b, x) ≥ 0), δ the remainder of Stirling's
// formula, which the caller adds. lnFactor = −(a·φ(−λ/a) + b·φ(λ/b)), φ(t) =
// t − ln(1 + t), the logarithm of the density's drop from the mean, formed
// from log1p of the relative distances so that no large terms cancel; sum is
// the series in powers of 1/√min(a, b) that starts at erfc(√−lnFactor)/2.
// Meant for min(a, b) ≥ 100 and λ ≤ 0.3·min(a, b) (see Gamma.h for the
// measured error); more than 20 terms are never taken.
struct UniformBeta {
    double lnFactor;
    double sum;
};
UniformBeta UniformLowerBeta(double a, double b, double lambda);

// I_x(p, q) and 1 − I_x(p, q) for a large q at small x, from the density in
// w = −ln(1 − x): with ν = q + (p − 1)/2 and z = ν·w,
//   I = K·Σₖ cₖ·(p)₂ₖ/ν²ᵏ·P(p + 2k, z),  1 − I = K·Σₖ cₖ·(p)₂ₖ/ν²ᵏ·Q(p + 2k, z),
// cₖ the coefficients of w²ᵏ in ((1 − e^−w)/(w·e^−w/2))^(p−1) (k ≤ 3) and
// K = Γ(p + q)/(Γ(q)·ν^p). Both sides are returned as logarithms of the
// directly summed series: the smaller side (I below z = p + 1, 1 − I above)
// carries the relative error, the caller forms the other as its complement.
// lnDirect excludes δ(p + q) − δ(q), which the caller adds. The dropped
// terms are below (p·w²/24)⁴/24 of the result: meant for p·w² ≤ 4e-3, x ≤ ½
// and p ≤ 1e150 (where its coefficients stay finite).
struct GammaFormBeta {
    double lnDirect;   // ln I or ln(1 − I), without δ(p + q) − δ(q)
    bool lowerDirect;  // lnDirect is ln I
};
GammaFormBeta GammaFormLowerBeta(double p, double q, double x);

// δ(z) = ln Γ(z) − ((z − ½)·ln z − z + ½·ln 2π), Stirling's remainder (defined
// with the gamma functions).
double StirlingDelta(double z);

// ln(1 + t) − t for t > −1 without cancelling for small t (defined with the
// gamma functions, whose prefactors use it too).
double Log1pMinus(double t);

// a·(ln λ − (λ − 1)) for λ = x/a > 0, with ln λ taken from x/a below x = a/2
// (defined with the gamma functions' prefactor, which uses it too).
double ScaledLogRatioMinus(double a, double x);

// e^(z²)·erfc(z) for z ≥ 0, relative error below 1e-15.
double ScaledErfc(double z);

}  // namespace beta_detail
