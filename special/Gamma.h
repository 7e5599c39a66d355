// Gamma, beta and error functions of double arguments, and the F-test of two
// samples.
//
//   LnGamma(x)          ln Γ(x) for x > 0 by the six-term Lanczos series
//                       (relative error of Γ below 2e-10); x is not checked.
//                       LnGamma(+∞) = +∞; below about 1e-307, where the
//                       series' ratio overflows, its logarithm is taken apart
//                       (LnGamma(1e-307) = 706.9).
//   Gamma_P(a, x)       P(a, x) = γ(a, x)/Γ(a), the regularised lower incomplete
//                       gamma function; Gamma_Q(a, x) = 1 − P(a, x).
//   LnGamma_P(a, x)     ln P(a, x); LnGamma_Q(a, x) = ln Q(a, x). The side on
//                       which the complement is small is taken as ln(1 − e^y)
//                       of the other method's logarithm y (as log1p(−e^y)
//                       where e^y < 0.01, so a complement of 1e-15 keeps its
//                       digits), so tails far below the double range stay
//                       finite.
//   Beta_I(a, b, x)     I_x(a, b), the regularised incomplete beta function;
//                       LnBeta_I(a, b, x) = ln I_x(a, b). Always within [0, 1]
//                       (its logarithm at most 0). I_½(a, a) = ½ exactly from
//                       a + b = 1e4 on. A parameter below the normal range
//                       joins the prefactor in its logarithm (Beta_I(5e-324,
//                       5e-324, ½) = ½, Beta_I(5e-324, 1e5, ½) = 1). Where
//                       a parameter is so small that its first-order form
//                       is exact to 1e-16 (b·(ln²(1 − x) + |ψ(a)| + 1)
//                       below it), the side that is of its order is formed
//                       as b·B_x(a, 0) directly (within 2e-15 against
//                       mpmath; Beta_I(2, 1e-20, 0.99) = 3.6e-20 was 0);
//                       for larger small parameters see "one small
//                       parameter" below.
//   Beta(a, b), LnBeta(a, b)
//                       B(a, b) = Γ(a)Γ(b)/Γ(a + b) and its logarithm: the
//                       ln Γ sum as described below a + b = 1e4; from there
//                       ln Γ(b) − ln Γ(a + b) (b the larger) as a Stirling
//                       difference, so one large parameter costs no accuracy
//                       (Beta(1, 1e15) = 1e-15, LnBeta(1, 1e300) = −690.8);
//                       where ln Γ of the smaller or a + b overflows (both
//                       beyond about 2.5e305), Stirling's formula for all
//                       three terms (LnBeta(1e308, 1e308) = −1.386e308,
//                       Beta 0).
//   FTest(dataA, na, dataB, nb, f)
//                       two-sided significance of the difference of the two
//                       samples' variances; writes the F ratio (the larger
//                       variance over the smaller, 1e6 when one variance is not
//                       positive) to *f. Answers 0 and leaves *f alone when a
//                       sample has fewer than two values. The variances are
//                       the one-pass formula about each sample's first value,
//                       so a large common offset does not cancel them.
//   Erf(x)              the error function by a rational approximation of
//                       erfc with fractional error below 1.2e-7 (Erf(0) is
//                       about −3e-8, not 0); Erf(±∞) = ±1.
//
// The series and continued fractions stop at a relative step below 1e-16.
// They may take 1000 terms, and more where large parameters need them (about
// 8.6·√a near x = a for the incomplete gamma function): up to 16·√(largest
// parameter) terms, at most 4·10⁶. Results that 1000 terms reached are those
// of the described method, bit for bit. The value each function evaluates
// directly (P below x = a + 1 and Q above; I below x = (a + 1)/(a + b + 2)
// and 1 − I above) carries the relative error of its ln Γ prefactor, below
// 2e-10 for the gamma and 6e-10 for the beta functions; the other side is its
// complement. From a = 1e4 (and beyond 1000 terms) the incomplete gamma
// prefactor x^a·e^−x/Γ(a), and from a + b = 1e4 on the incomplete beta
// prefactor x^a·(1 − x)^b/B(a, b), are formed from Stirling's formula without
// the large logarithms a·ln x and ln Γ(a) that would cancel (they cost about
// 2·a·ln a units of 1e-16, 1e-5 at a = 1e10). What remains is the rounding of
// the series or fraction: below 1e-11 for the incomplete gamma function up to
// a = 1e10.
//
// Below a + b = 1e4, where one parameter p is small beside a larger q ≥ 10,
// the side of p that the fraction evaluates lies close to 1 (I_x(p, q) below
// the fraction's switch, or 1 − I_x(q, p) above it), and the value asked for
// (ln I, or I as the complement) is of the order of p. There the described
// prefactor's error, which rounds ln Γ(q) and ln Γ(p + q) (about q·ln q each)
// and 1 − x, passes to that small value (up to 1.6e-6 of it at p = 1e-5 and
// 5e-8 at p = 1e-4, q = 9000 before the small-parameter form below). Of the
// calls that form leaves to the fraction, those where the estimate
// 2.2e-16·q·(ln q + 1) of that error, carried to the value asked for,
// exceeds half the 6e-10 bound have the prefactor formed again without large
// terms (ln Γ(q) − ln Γ(p + q) as a Stirling difference, ln Γ(1 + p),
// log1p(−x)) and the side's logarithm taken from it (the fraction's value
// reused). On 6600 random points with p from 1e-5 to 1 and q from 0.01 to
// 1e4 (each also mirrored): up to 1.8e-9 before (0.7 % of the calls beyond
// 6e-10, every one with an estimate above 0.7 of the bound), within 4.3e-10
// after; 5 % of the calls change, most of them within the bound before.
// Below that estimate the results are those of the described method (Beta_I
// on the side near 1 is not affected).
//
// Incomplete beta function from a + b = 1e4 on (p the smaller parameter, q
// the larger, λ = a − (a + b)·x formed without rounding error, σ = √(pq/(p +
// q)) its standard deviation); the first that applies:
//   the small-parameter form (below) where p's side is the small one;
//   the gamma form for p ≤ 1000 (x on p's side at most ½ with
//     p·ln²(1 − x) ≤ 4e-3, and for p < 1 with 8.2e-7·|p − 1|·w⁷ ≤
//     1e-13·q, w = −ln(1 − x on p's side): below p = 1 the first dropped term
//     is of order w⁸, not (p·w²)⁴, and reached 2.4e-12 of |ln I| at w = 0.65;
//     the continued fraction answers those calls within 1e-15 of ln I; a p
//     below the normal range keeps the form): P and Q of p at (q + (p − 1)/2)·(−ln(1 − x)) with
//     three correction terms in 1/q²; x, not 1 − x, carries the distance
//     from the mean, which the continued fraction of q's side loses
//     (Beta_I(0.5, 1e308, 5e-324) = 2.508e-8 was 1; LnBeta_I(30, 1e20, x)
//     was 0.45 off near the mean);
//   Temme's uniform expansion for p ≥ 30 out to |λ| = max(0.05·p, 5σ), at
//     most p/2 where p's side leads (x below p's mean) and p where q's does;
//     out to that limit on q's side when q > 16·p; its prefactor from log1p
//     of the relative distances λ/a and λ/b;
//   the gamma form for larger p (up to 1e150); far below the mean (z < p/16
//     and p²/z·1.1e-16 > 1e-13, z the gamma argument) the density of P takes
//     ln(z/p), not ln(1 + t) of a rounded t = (z − p)/p: within 1e-15 of
//     ln I on a random sweep of 150 points (p from 10 to 3000, z from 1e-8·p),
//     where it missed 1e-12 at 55 (3e-10 of ln I, 8.8e-8 of I = 4.8e-122 at
//     a = 16.1, b = 11662, x = 1.8e-11);
//   beyond the double range: 1 − I below e^−1000 above the mean answers
//     I = 1 (ln I = −0), and where f, the logarithm of the density's drop
//     from the mean (from log1p of λ/a and λ/b), exceeds 1e17 below it,
//     ln I = −f (to 4e-15 of itself);
//   the continued fraction as above, where it takes few terms; from
//     a + b = 1e4 on its coefficients are formed as ratios (their products
//     overflowed from parameters of about 1e154) and it ends at a step
//     within 4e-16 of 1 (rounding kept huge parameters from 1e-16 until the
//     cap, 0.15 s, with error 3).
// Against mpmath (tests/data/func_beta_inc_uniform.csv, a, b to 1e300, and
// grids of a, b from 0.5 to 1e300, x from 12σ to several means out): I within
// 2.8e-13 (the rounding of a logarithm of several hundred taken to e^) and
// ln I within 3.2e-13 of |ln I|; at every switch above both sides stay below
// 5e-14 (at a + b = 1e4 the described method below keeps its 1.9e-10). Calls
// take 0.15–0.4 µs of CPU time (bench/special rows Beta_I_*_6sd and
// LnBeta_I_1e6_3e6_far, medians of 5 repetitions on a shared machine), and
// 0.84 µs on average from 1.05 to 2 means above the mean of the smaller
// parameter where q > 16·p (row Beta_I_1e4_1p5e7_above, 2.0 µs before),
// where Temme's expansion takes up to all its 20 terms; the slowest single
// points there take 1.0–1.1 µs (a CPU-time loop, 2.5 µs before). Before, the
// continued fraction took 7–85 ms at a = 1e15–1e20
// and missed 1e-12 by up to 0.5 near the mean of very unequal parameters.
// LnBeta_I takes ln(1 − e^y) of the other side's logarithm y as
// log1p(−e^y) from y = −15 on (log(1 − e^y) rounds 1 − e^y: −1.11e-15 for
// −1.0562e-15 at y = −34.5, 0 below −37).
//
// Incomplete beta function with one small parameter (b ≤ 0.1·min(1, a), or
// a with the roles swapped) and x where the method of the region gives
// 1 − I (x ≥ (a + 1)/(a + b + 2)), so that I is of the order of b: there I
// carried the rounding of the complement (LnBeta_I(2, 1e-12, 0.99) was
// −26.34645 for −26.34588, Beta_I(1e5, 1e-20, 0.999999) was 0). I/b is
// formed from the exact 1 − I = c·y^b·(1 + b·S), y = 1 − x, S = Σ_{n≥1}
// (1 − a)_n·y^n/(n!·(b + n)), c = Γ(a + b)/(Γ(a)·Γ(1 + b)) with ln c by its
// series in b (ψ(a) + γ and ζ(k, a) − ζ(k)): I/b = −expm1(ln c + b·ln y)/b −
// c·y^b·S, so a subnormal b keeps its digits. Beta_I answers I and LnBeta_I
// ln I; where a is the small one LnBeta_I answers ln(1 − a·(that)) and
// Beta_I keeps the method of the region (1 within its bound). After the
// first-order form above, it takes the calls where the complement's
// estimated rounding exceeds the bound of the region: below a + b = 1e4
// where I·6e-10 < (20 + a·ln(1 + a))·1e-16 (I·|ln I|·6e-10 for LnBeta_I;
// measured: 1e-15 to 7e-15 up to a = 10, 2e-11 at 9990), b up to a few
// 1e-6 for a ≤ 10, 1e-4 to 1e-3 at a = 1000 and about 0.05 at 9990; from
// there where I·1e-12 < 4e-16 (b up to a few 1e-4): the gamma form's
// complement keeps up to 2.2e-16 absolute there, and with the estimate
// 1e-16 the calls it kept reached 1.6e-12 of I and 1.9e-12 of ln I (b from
// 2e-6 to 1e-4, a from 1e4 to 1e9). On 2000 random points (b from 1e-8 to
// 1e-2, a from 1e4 to 1e10, I close to 1 on b's side, each also mirrored):
// 34 results beyond the bound before, none after; the calls left to the
// gamma form within 5.5e-13, those this form takes now within 1.3e-15;
// up to 17 % of a function's results changed (none of Beta_I near 1), each
// closer to mpmath, most of them within the bound before. Against mpmath
// (about 7000 points, a from 0.25 to 1e8, b from 1e-17 to 0.5, x on both
// sides of each switch): within 2.4e-15 of I and of ln I, and within
// 9.2e-15 of |ln I| where a is the small one from a + b = 1e4 (before: up to
// all digits lost, 1e-3 at b = 1e-12, 3e-2 at b = 1e-14). The switch
// follows an estimate: 7–10 % of the calls it takes were within the bound
// before (up to 6e-10), and 1–2 % of those beyond it are left to the old
// method below a + b = 1e4 (up to 1.9e-9). On the side where the fraction
// gives I directly nothing changed (small b: up to 2e-11 at a =
// 9990, within the bound). Calls take 0.17 µs (bench/special rows
// *_small_b, medians of 5 repetitions on a shared machine), at most 0.31 µs
// (a = 9990 and b = 0.05, where the series of ln c is longest).
//
// The incomplete gamma function by region (errors measured against mpmath,
// tests/data/func_gamma_inc_uniform.csv and the tables above):
//   - a ≥ 100 and 0.7·a ≤ x ≤ a + 3·√a: Temme's uniform expansion in η
//     (½η² = λ − 1 − ln λ, λ = x/a) with up to eight coefficients C_k(η)·a^−k,
//     every a up to 1.7e308 in under 0.1 µs. One rounding of a·½η² reaches
//     the tail v = min(P, Q) as |ln v| units of relative error: measured
//     within 5e-16·max(1, |ln v|) for P, Q and the logarithm of the side
//     near 1, and within 7e-16 of itself for the tail's logarithm (2e-13 at
//     P = 1e-246). Below a = 100 the series and fraction keep their error
//     (1.6e-10 at a = 99.99, the ln Γ bound; 1e-15 from a = 100). At
//     x = 0.7·a the series below answers within 1e-10 at a = 100 and 8e-14
//     at 1e4 (2e-13 above, P = 1e-246 there); at x = a + 3√a the fraction
//     above within 1e-10 at a = 100 and 2e-14 at 1e4 (3e-16 below).
//   - Elsewhere the series (x < a + 1) or the continued fraction, both within
//     about 100 terms outside the region above (before, they needed 6–31 ms
//     and raised the error from a ≈ 10¹² near x = a, and answered 0.05 or
//     NaN for 0.5 from 10¹⁵). Far below the mean (x < a/2, from a = 1e4) the
//     prefactor takes ln λ from x/a rather than ln(1 + t) of a rounded t =
//     (x − a)/a: LnGamma_P(1736170, 1) is exact again (it was off by 8e-5,
//     LnGamma_P(1e16, 1) was −∞); the rows above x = a/2 are unchanged. Far
//     above it, where the fraction's first correction (a − 1)/b² (b = x + 1 −
//     a) is below 2^-54, the fraction is 1/b (its steps could stay one unit
//     from 1 up to the cap: x = 1000·a at a = 1e43 raised the error).
//   - a ≤ 1e-4 and x < a + 1: Q/a = −v·(e^u − 1)/u − e^u·Σ (−x)^n/(n!(a + n))
//     (v = ln x − ln Γ(1 + a)/a by its Taylor series, u = a·v) and P = 1 − Q,
//     within 3e-16 (1 − P lost up to 3e-11 at a = 1e-4 and all digits at
//     1e-300; Gamma_P(1e-308, 0.75) was +∞).
//
// Limits: Gamma_P(a, +∞) = 1 and Gamma_Q(a, +∞) = 0 (LnGamma_P 0, LnGamma_Q
// −∞); Gamma_P(+∞, x) = 0 for finite x; Beta_I(+∞, b, x) = 0 and
// Beta_I(a, +∞, x) = 1 for 0 < x < 1 (and their logarithms); where both
// parameters are infinite there is no limit and NaN is answered. For a below
// the normal range (1/a overflows) P is 1 to double precision. Beta and
// LnBeta with an infinite parameter answer 0 and −∞.
//
// Errors (host code 3; the function then answers 0):
//   Gamma_P, Gamma_Q, LnGamma_P, LnGamma_Q   x < 0, a ≤ 0 or either one NaN.
//   Beta_I, LnBeta_I                         a ≤ 0, b ≤ 0, x outside [0, 1]
//                                            or any of them NaN.
//   FTest                                    a sample holding NaN or ±∞.
// A continued fraction or series that has not converged at its cap raises
// code 3 with a text, and its last estimate is used: the incomplete beta
// functions "a or b too big, Beta_P does not converge in 300 itterations"
// (no longer reached where the expansions above apply), the incomplete gamma
// functions "a too big, incomplete gamma does not converge" (no longer
// reached: the uniform expansion takes the region where the terms grew
// with √a).
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
