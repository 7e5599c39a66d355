// Tabulated functions and the one-dimensional solvers, each beside a plain
// peer written directly on std:: containers (same inputs, same run), so the
// table reports the cost of the class over the bare algorithm.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "linalg/MatVector.h"
#include "solvers/Section.h"
#include "tfunc/TFunc.h"

namespace {

// n points on [0, 1000) with irregular steps, y = sin(x).
struct Points {
    std::vector<double> x, y;
    explicit Points(int n) {
        std::mt19937_64 gen(11);
        std::uniform_real_distribution<double> jitter(0.5, 1.5);
        double step = 1000.0 / n;
        double t = 0;
        for (int i = 0; i < n; ++i) {
            x.push_back(t);
            y.push_back(std::sin(t));
            t += step * jitter(gen);
        }
    }
};

std::vector<double> Queries(const Points& p, int count) {
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<double> u(p.x.front(), p.x.back());
    std::vector<double> q(static_cast<size_t>(count));
    for (double& t : q) t = u(gen);
    return q;
}

void BM_TFuncEvaluate(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    TFunc f(p.x.data(), p.y.data(), static_cast<int>(p.x.size()), 1);
    std::vector<double> q = Queries(p, 4096);
    for (auto _ : state) {
        double s = 0;
        for (double t : q) s += f(t);
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(q.size()));
}

void BM_PeerEvaluate(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    std::vector<double> q = Queries(p, 4096);
    for (auto _ : state) {
        double s = 0;
        for (double t : q) {
            auto it = std::upper_bound(p.x.begin(), p.x.end(), t);
            size_t hi = static_cast<size_t>(it - p.x.begin());
            size_t lo = hi - 1;
            s += p.y[lo] + (p.y[hi] - p.y[lo]) * (t - p.x[lo]) / (p.x[hi] - p.x[lo]);
        }
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(q.size()));
}

void BM_TFuncIntegral(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    TFunc f(p.x.data(), p.y.data(), static_cast<int>(p.x.size()), 1);
    for (auto _ : state) {
        std::unique_ptr<TFunc> F(f.Integral());
        benchmark::DoNotOptimize(F->y[F->n - 1]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PeerIntegral(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<double> F(p.y.size());
        F[0] = 0;
        for (size_t i = 1; i < F.size(); ++i)
            F[i] = F[i - 1] + (p.x[i] - p.x[i - 1]) * (p.y[i - 1] + p.y[i]) / 2;
        benchmark::DoNotOptimize(F.back());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TFuncIntegralSimpsonAB(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    TFunc f(p.x.data(), p.y.data(), static_cast<int>(p.x.size()), 1);
    for (auto _ : state) benchmark::DoNotOptimize(f.IntegralSimpson(0.37, 999.1));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TFuncIntegralAB(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    TFunc f(p.x.data(), p.y.data(), static_cast<int>(p.x.size()), 1);
    for (auto _ : state) benchmark::DoNotOptimize(f.Integral(0.37, 999.1));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TFuncZero(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    TFunc f(p.x.data(), p.y.data(), static_cast<int>(p.x.size()), 1);
    for (auto _ : state) {
        std::unique_ptr<MatVector> r(f.Zero());
        benchmark::DoNotOptimize(r->Len());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PeerZero(benchmark::State& state) {
    Points p(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<double> r;
        for (size_t i = 0; i + 1 < p.y.size(); ++i) {
            double a = p.y[i], b = p.y[i + 1];
            if (b != a && ((a <= 0 && b >= 0) || (a >= 0 && b <= 0)))
                r.push_back(p.x[i] - (p.x[i + 1] - p.x[i]) * a / (b - a));
        }
        benchmark::DoNotOptimize(r.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

double Cheap(double x, Variable&) { return x * x - 2; }
double CheapBowl(double x, Variable&) { return (x - 0.7) * (x - 0.7); }

void BM_BiSection(benchmark::State& state) {
    Variable f(static_cast<VInt64>(reinterpret_cast<intptr_t>(&Cheap)));
    double bnd[2] = {0, 2};
    for (auto _ : state) {
        BiSection_Double s(f, bnd, 1e-12);
        benchmark::DoNotOptimize(s.Solve());
    }
}

void BM_PeerBiSection(benchmark::State& state) {
    Variable extra;
    for (auto _ : state) {
        double a = 0, b = 2, fb = Cheap(b, extra);
        while (std::fabs(b - a) / 2 > 1e-12) {
            double m = (a + b) / 2, fm = Cheap(m, extra);
            if ((fm > 0) == (fb > 0)) {
                b = m;
                fb = fm;
            } else {
                a = m;
            }
        }
        benchmark::DoNotOptimize((a + b) / 2);
    }
}

void BM_GoldSection(benchmark::State& state) {
    Variable f(static_cast<VInt64>(reinterpret_cast<intptr_t>(&CheapBowl)));
    double bnd[2] = {0, 2};
    for (auto _ : state) {
        GoldSection_Double s(f, bnd, 1e-8);
        benchmark::DoNotOptimize(s.Solve());
    }
}

}  // namespace

BENCHMARK(BM_TFuncEvaluate)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_PeerEvaluate)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_TFuncIntegral)->Arg(1000000);
BENCHMARK(BM_PeerIntegral)->Arg(1000000);
BENCHMARK(BM_TFuncIntegralAB)->Arg(1000000);
BENCHMARK(BM_TFuncIntegralSimpsonAB)->Arg(1000000);
BENCHMARK(BM_TFuncZero)->Arg(1000000);
BENCHMARK(BM_PeerZero)->Arg(1000000);
BENCHMARK(BM_BiSection);
BENCHMARK(BM_PeerBiSection);
BENCHMARK(BM_GoldSection);
BENCHMARK_MAIN();
