// Time per call of each special function family over a fixed set of
// arguments, beside the C library's lgamma, erf, jn and yn on the same
// arguments (integer orders for jn and yn).
#include <benchmark/benchmark.h>

#include <climits>
#include <cmath>
#include <vector>

#include "runtime/VeskRuntime.h"
#include "special/Bessel.h"
#include "special/Gamma.h"
#include "special/Random.h"

namespace {

struct Point {
    double a;
    double b;
    double x;
};

// 64 points: a (or the order) in [0.5, 20], b in [0.5, 30], x in [0.05, 40],
// spread over both methods of each function.
std::vector<Point> MakePoints() {
    std::vector<Point> p;
    for (int i = 0; i < 64; ++i) {
        const double t = (i + 0.5) / 64.0;
        p.push_back({0.5 + 19.5 * std::fmod(t * 7.0, 1.0), 0.5 + 29.5 * std::fmod(t * 3.0, 1.0),
                     0.05 + 39.95 * t});
    }
    return p;
}

const std::vector<Point> kPoints = MakePoints();

// One call per iteration, cycling through the points.
template <class F>
void Over(benchmark::State& state, F f, const std::vector<Point>& points = kPoints) {
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(points[i]));
        if (++i == points.size()) i = 0;
    }
}

#define SPECIAL_BENCH(name, expr)                                   \
    void name(benchmark::State& state) {                            \
        Over(state, [](const Point& p) { return (expr); });         \
    }                                                               \
    BENCHMARK(name)

// x in [0.05, 40] as the gamma argument; order n = ⌊a⌋ for the integer orders.
SPECIAL_BENCH(LnGamma_x, LnGamma(p.x));
SPECIAL_BENCH(Libc_lgamma_x, std::lgamma(p.x));
SPECIAL_BENCH(Gamma_P_a_x, Gamma_P(p.a, p.x));
SPECIAL_BENCH(LnGamma_Q_a_x, LnGamma_Q(p.a, p.x));
SPECIAL_BENCH(Beta_I_a_b_y, Beta_I(p.a, p.b, p.x / 40.0));
SPECIAL_BENCH(LnBeta_I_a_b_y, LnBeta_I(p.a, p.b, p.x / 40.0));
SPECIAL_BENCH(LnBeta_a_b, LnBeta(p.a, p.b));
SPECIAL_BENCH(Erf_x8, Erf(p.x / 5.0 - 4.0));
SPECIAL_BENCH(Libc_erf_x8, std::erf(p.x / 5.0 - 4.0));
SPECIAL_BENCH(BesselI0_x, BesselI0(p.x));
SPECIAL_BENCH(BesselK1_x, BesselK1(p.x));
SPECIAL_BENCH(BesselIn_int_x, BesselIn(p.x, std::floor(p.a)));
SPECIAL_BENCH(BesselKn_int_x, BesselKn(p.x, std::floor(p.a)));
SPECIAL_BENCH(BesselJFrac_int_x, BesselJFrac(p.x, std::floor(p.a)));
SPECIAL_BENCH(Libc_jn_int_x, jn(static_cast<int>(p.a), p.x));
SPECIAL_BENCH(BesselYFrac_int_x, BesselYFrac(p.x, std::floor(p.a)));
SPECIAL_BENCH(Libc_yn_int_x, yn(static_cast<int>(p.a), p.x));
SPECIAL_BENCH(BesselJFrac_nu_x, BesselJFrac(p.x, p.a));
SPECIAL_BENCH(BesselIFrac_nu_x, BesselIFrac(p.x, p.a));
SPECIAL_BENCH(BesselKpn_nu_x, BesselKpn(p.x, p.a));
SPECIAL_BENCH(LnBesselIn_nu_x, LnBesselIn(p.x, p.a));
SPECIAL_BENCH(LnBesselIpn_nu_x, LnBesselIpn(p.x, p.a));
// Negative non-integer orders: the positive-order results and sin(νπ), cos(νπ).
SPECIAL_BENCH(BesselJFrac_minus_nu_x, BesselJFrac(p.x, -p.a));
SPECIAL_BENCH(BesselIFrac_minus_nu_x, BesselIFrac(p.x, -p.a));
SPECIAL_BENCH(LnBesselIn_minus_nu_x, LnBesselIn(p.x, -p.a));

// K alone (BesselKFrac, BesselKpFrac) beside the combined routine's I on the
// same points.
SPECIAL_BENCH(BesselKFrac_nu_x, BesselKFrac(p.x, p.a));
SPECIAL_BENCH(BesselKpFrac_nu_x, BesselKpFrac(p.x, p.a));

// Large arguments: x = 10³, 10⁴, 10⁶ (times 1 + x/4000, so that the phase
// varies), orders as above (Hankel's expansion; orders above √(2x) start
// lower and recur upward).
SPECIAL_BENCH(BesselJFrac_nu_1e3, BesselJFrac(1e3 * (1.0 + p.x / 4000.0), p.a));
SPECIAL_BENCH(BesselYpFrac_nu_1e3, BesselYpFrac(1e3 * (1.0 + p.x / 4000.0), p.a));
SPECIAL_BENCH(BesselJFrac_nu_1e4, BesselJFrac(1e4 * (1.0 + p.x / 4000.0), p.a));
SPECIAL_BENCH(BesselJFrac_nu_1e6, BesselJFrac(1e6 * (1.0 + p.x / 4000.0), p.a));
SPECIAL_BENCH(BesselJFrac_5nu_1e3, BesselJFrac(1e3 * (1.0 + p.x / 4000.0), 5.0 * p.a));
SPECIAL_BENCH(Libc_jn_int_1e3, jn(static_cast<int>(p.a), 1e3 * (1.0 + p.x / 4000.0)));

// Huge orders: one call each (the first five took seconds or answered NaN);
// the last ones are the slowest regions left: the upward recurrence of
// Hankel's start (2·10⁵ steps), the uniform expansion of I and K, and the
// continued fraction near the turning point of a large order.
void HugeOrder(benchmark::State& state, double (*f)()) {
    for (auto _ : state) benchmark::DoNotOptimize(f());
}
BENCHMARK_CAPTURE(HugeOrder, BesselIn_INT_MAX_1, [] { return BesselIn(1.0, 2147483647.0); });
BENCHMARK_CAPTURE(HugeOrder, BesselJn_1e9_2, [] { return BesselJInteger(1000000000, 2.0); });
BENCHMARK_CAPTURE(HugeOrder, BesselIn_INT_MAX_m6em303,
                  [] { return BesselIn(-6e-303, 2147483647.0); });
BENCHMARK_CAPTURE(HugeOrder, BesselJpn_1e9_2, [] { return BesselJpFrac(2.0, 1e9); });
BENCHMARK_CAPTURE(HugeOrder, BesselJn_INT_MIN_1, [] { return BesselJInteger(INT_MIN, 1.0); });
BENCHMARK_CAPTURE(HugeOrder, BesselJFrac_200000_5e5,
                  [] { return BesselJFrac(5e5, 199999.0 + std::sqrt(1e6)); });
BENCHMARK_CAPTURE(HugeOrder, BesselIFrac_1e9_uniform,
                  [] { return BesselIFrac(662743419.0, 1e9); });
BENCHMARK_CAPTURE(HugeOrder, BesselKn_50000_int, [] { return BesselKn(30000.0, 50000.0); });
BENCHMARK_CAPTURE(HugeOrder, BesselIn_50000_int, [] { return BesselIn(33000.0, 50000.0); });
BENCHMARK_CAPTURE(HugeOrder, BesselJn_50000_int, [] { return BesselJInteger(50000, 1e5); });
BENCHMARK_CAPTURE(HugeOrder, BesselJFrac_1e6_turning, [] { return BesselJFrac(999950.0, 1e6); });

// Incomplete gamma at large a: one call per iteration, cycling through a =
// 10², 10⁴, ..., 10³⁰⁰ with x at −3, −1, 0, 1, 3 standard deviations from the
// mean (the uniform expansion; before, the series and continued fraction
// took 6–31 ms from a = 1e12 on), and far below it (x = a/10, the series).
std::vector<Point> MakeLargeParameterPoints(double spread) {
    std::vector<Point> p;
    for (double a = 1e2; a < 1e301; a *= 1e2)
        for (double k : {-3.0, -1.0, 0.0, 1.0, 3.0})
            p.push_back({a, 0.0, spread == 0.0 ? a / 10 : a + spread * k * std::sqrt(a)});
    return p;
}
const std::vector<Point> kNearMean = MakeLargeParameterPoints(1.0);
const std::vector<Point> kFarBelow = MakeLargeParameterPoints(0.0);

void Gamma_P_large_a_near_mean(benchmark::State& s) {
    Over(s, [](const Point& p) { return Gamma_P(p.a, p.x); }, kNearMean);
}
void LnGamma_Q_large_a_near_mean(benchmark::State& s) {
    Over(s, [](const Point& p) { return LnGamma_Q(p.a, p.x); }, kNearMean);
}
void LnGamma_P_large_a_far_below(benchmark::State& s) {
    Over(s, [](const Point& p) { return LnGamma_P(p.a, p.x); }, kFarBelow);
}
BENCHMARK(Gamma_P_large_a_near_mean);
BENCHMARK(LnGamma_Q_large_a_near_mean);
BENCHMARK(LnGamma_P_large_a_far_below);

// Incomplete beta at huge parameters: x within 6σ of the mean (by the point's
// x over 40, from −6σ to +6σ) for a, b of 1e6/1e6, 1e15/2e15, 1e4/1e16 and
// 30/1e300 (Temme's expansion and the gamma form), and 3σ-to-0.5·a out for
// 1e6/3e6 (Temme's expansion far out, its slowest region).
struct HugeBeta {
    double a, b;
};
double NearMean(HugeBeta h, double t, double widths) {
    const double s = h.a + h.b;
    const double sd = std::sqrt(h.a / s * h.b / s / (s + 1.0));
    return h.a / s + widths * (t / 40.0 * 2.0 - 1.0) * sd;
}
SPECIAL_BENCH(Beta_I_1e6_1e6_6sd, Beta_I(1e6, 1e6, NearMean({1e6, 1e6}, p.x, 6.0)));
SPECIAL_BENCH(Beta_I_1e15_2e15_6sd, Beta_I(1e15, 2e15, NearMean({1e15, 2e15}, p.x, 6.0)));
SPECIAL_BENCH(LnBeta_I_1e15_2e15_6sd, LnBeta_I(1e15, 2e15, NearMean({1e15, 2e15}, p.x, 6.0)));
SPECIAL_BENCH(Beta_I_1e4_1e16_6sd, Beta_I(1e4, 1e16, NearMean({1e4, 1e16}, p.x, 6.0)));
SPECIAL_BENCH(Beta_I_30_1e300_6sd, Beta_I(30.0, 1e300, NearMean({30.0, 1e300}, p.x, 6.0)));
SPECIAL_BENCH(LnBeta_I_1e6_3e6_far, LnBeta_I(1e6, 3e6, 0.25 - p.x / 40.0 * 0.12));
// x from 1.05 to 2 means above the mean of a = 1e4 against b = 1.5e7, where
// Temme's expansion takes up to all its terms.
SPECIAL_BENCH(Beta_I_1e4_1p5e7_above, Beta_I(1e4, 1.5e7, 1e4 / 1.501e7 * (1.05 + 0.95 * p.x / 40.0)));

// One small parameter b (1.7e-10 to 1e-8; 3e-5 to 1e-3 against a = 9990)
// with x on the complement side (1 − x from 0 to 1/(a + 2)), where I is
// formed from the series of ln Γ(a + b) − ln Γ(a) − ln Γ(1 + b) in b.
SPECIAL_BENCH(Beta_I_a_small_b, Beta_I(p.a, 1e-8 * p.b / 30.0, 1.0 - p.x / 40.0 / (p.a + 2.0)));
SPECIAL_BENCH(LnBeta_I_a_small_b, LnBeta_I(p.a, 1e-8 * p.b / 30.0, 1.0 - p.x / 40.0 / (p.a + 2.0)));
SPECIAL_BENCH(Beta_I_9990_small_b, Beta_I(9990.0, 1e-3 * p.b / 30.0, 1.0 - p.x / 40.0 / 9992.0));

void FTest_8_vs_12(benchmark::State& state) {
    const double a[] = {1.0, 2.5, 3.0, 4.5, 5.0, 6.5, 7.0, 8.5};
    const double b[] = {1.0, 4.0, 2.0, 8.0, 5.0, 9.0, 3.0, 7.0, 6.0, 2.0, 1.5, 9.5};
    double f;
    for (auto _ : state) benchmark::DoNotOptimize(FTest(a, 8, b, 12, &f));
}
BENCHMARK(FTest_8_vs_12);

template <class F>
void Deviates(benchmark::State& state, F f) {
    vrt::SeedRand(1);
    for (auto _ : state) benchmark::DoNotOptimize(f());
}

void RandGauss_(benchmark::State& s) { Deviates(s, [] { return RandGauss(0.0, 1.0); }); }
void RandPoisson_4(benchmark::State& s) { Deviates(s, [] { return RandPoisson(4.0); }); }
void RandPoisson_40(benchmark::State& s) { Deviates(s, [] { return RandPoisson(40.0); }); }
void RandBinominal_03_10(benchmark::State& s) { Deviates(s, [] { return RandBinominal(0.3, 10); }); }
void RandBinominal_04_100(benchmark::State& s) { Deviates(s, [] { return RandBinominal(0.4, 100); }); }
BENCHMARK(RandGauss_);
BENCHMARK(RandPoisson_4);
BENCHMARK(RandPoisson_40);
BENCHMARK(RandBinominal_03_10);
BENCHMARK(RandBinominal_04_100);

}  // namespace

BENCHMARK_MAIN();
