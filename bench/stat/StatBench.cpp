// Statistics: construction of Stat with and without dispersions, beside a
// plain copy and two-pass mean and variance over the same values (the least
// any construction must do), the cumulative distribution and its fit.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "bench/stat/StatBenchSample.h"
#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "stat/Stat.h"

namespace {

// n positive, log-normally scattered values (the verdict then compares both
// likelihoods) and dispersions y that leave an excess to find.
struct Sample : BenchSample {
    explicit Sample(long n) : BenchSample(n, 7, std::lognormal_distribution<double>(2.0, 0.5), 0.5, 1.5) {}
};

void BM_Construct(benchmark::State& state) {
    Sample s(state.range(0));
    for (auto _ : state) {
        Stat st(s.x.data(), static_cast<int>(s.x.size()));
        benchmark::DoNotOptimize(st.GetMean());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ConstructWithDispersions(benchmark::State& state) {
    Sample s(state.range(0));
    for (auto _ : state) {
        Stat st(s.x.data(), s.y.data(), static_cast<int>(s.x.size()));
        benchmark::DoNotOptimize(st.GetDisp0());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PeerMeanVariance(benchmark::State& state) {
    Sample s(state.range(0));
    for (auto _ : state) {
        std::vector<double> copy(s.x);
        double sum = 0.0;
        for (double v : copy) sum += v;
        const double mean = sum / copy.size();
        double sq = 0.0;
        for (double v : copy) sq += (v - mean) * (v - mean);
        benchmark::DoNotOptimize(sq);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The cache is built once per object, so each run times the first call on
// a fresh object; making and releasing the object is not timed.
void BM_CumulativeDistr(benchmark::State& state) {
    Sample s(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto st = std::make_unique<Stat>(s.x.data(), static_cast<int>(s.x.size()));
        state.ResumeTiming();
        double* X = nullptr;
        double* F = nullptr;
        int m = 0;
        st->GetCumulativeDistr(X, F, m);
        benchmark::DoNotOptimize(X);
        state.PauseTiming();
        st.reset();
        state.ResumeTiming();
    }
}

// The fit on an object whose cumulative distribution is already cached (its
// build is the row above): up to 1000 + 1 points, of which at most 101 are
// fitted when there are more than 200.
void BM_FitCumulative(benchmark::State& state) {
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    Sample s(state.range(0));
    Stat st(s.x.data(), static_cast<int>(s.x.size()));
    double* X = nullptr;
    double* F = nullptr;
    int m = 0;
    st.GetCumulativeDistr(X, F, m);
    for (auto _ : state) {
        MatVectorCol* r = st.FitCumulativeDistribution();
        benchmark::DoNotOptimize(r);
        delete r;
    }
    vrt::SetCurrentProcessor(nullptr);
}

}  // namespace

BENCHMARK(BM_Construct)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConstructWithDispersions)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerMeanVariance)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CumulativeDistr)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FitCumulative)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
