// Robust estimates and the most probable value, each beside the least its
// result needs on the same values: the median with the pairwise spread
// against a full sort of the copy and of the differences, the dispersion
// estimate against one sort of the copy, the most probable value of Stat
// (thinned to 250 values above 300) and of Stat_Weighted (never thinned).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "bench/stat/StatBenchSample.h"
#include "runtime/VeskRuntime.h"
#include "stat/Stat_Weighted.h"

namespace {

// n normal values with 1 % far outliers, and weights y in [0.5, 2).
struct Sample : BenchSample {
    explicit Sample(long n)
        : BenchSample(n, 17, std::normal_distribution<double>(5.0, 2.0), 0.5, 2.0, 200.0) {}
};

void BM_MedianMAD(benchmark::State& state) {
    Sample s(state.range(0));
    Stat st(s.x.data(), s.n());
    for (auto _ : state) {
        double median, spread;
        st.GetMedian_MAD(median, spread);
        benchmark::DoNotOptimize(spread);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same median and spread by sorting everything.
void BM_PeerMedianMADFullSorts(benchmark::State& state) {
    Sample s(state.range(0));
    const int n = s.n();
    for (auto _ : state) {
        std::vector<double> v = s.x;
        std::sort(v.begin(), v.end());
        std::vector<double> t;
        if (n <= 300) {
            t = v;
        } else {
            for (int k = 0; k < 300; ++k) t.push_back(v[static_cast<long>(k) * (n - 1) / 299]);
        }
        std::vector<double> d;
        for (size_t i = 1; i < t.size(); ++i)
            for (size_t j = 0; j < i; ++j) d.push_back(std::fabs(t[i] - t[j]));
        std::sort(d.begin(), d.end());
        benchmark::DoNotOptimize(d[d.size() / 2]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EstimateDisp(benchmark::State& state) {
    Sample s(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<double[]> d(Stat::EstimateDisp(s.x.data(), s.n(), 1e-7));
        benchmark::DoNotOptimize(d[0]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PeerSortCopy(benchmark::State& state) {
    Sample s(state.range(0));
    for (auto _ : state) {
        std::vector<double> v = s.x;
        std::sort(v.begin(), v.end());
        benchmark::DoNotOptimize(v[0]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Args: (n, type). A fresh object per run, built outside the timing, so the
// estimated dispersions are computed in every run.
template <bool Weighted>
void BM_MostProbableValue(benchmark::State& state) {
    Sample s(state.range(0));
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    const int type = static_cast<int>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Stat> st(Weighted ? new Stat_Weighted(s.x.data(), s.y.data(), s.n())
                                          : new Stat(s.x.data(), s.n()));
        state.ResumeTiming();
        std::unique_ptr<MatVectorCol> r(st->GetMostProbableValue(type, 0));
        benchmark::DoNotOptimize((*r)[0]);
    }
    vrt::SetCurrentProcessor(nullptr);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (long n : {300L, 1000L, 100000L}) b->Arg(n);
    b->Unit(benchmark::kMicrosecond);
}

void SizesAndTypes(benchmark::internal::Benchmark* b) {
    for (long n : {300L, 1000L, 100000L})
        for (long type : {0L, 1L, 2L, 3L}) b->Args({n, type});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_MedianMAD)->Apply(Sizes);
BENCHMARK(BM_PeerMedianMADFullSorts)->Apply(Sizes);
BENCHMARK(BM_EstimateDisp)->Apply(Sizes);
BENCHMARK(BM_PeerSortCopy)->Apply(Sizes);
BENCHMARK(BM_MostProbableValue<false>)->Name("BM_MostProbableValue_Stat")->Apply(SizesAndTypes);
BENCHMARK(BM_MostProbableValue<true>)->Name("BM_MostProbableValue_Weighted")->Apply(SizesAndTypes);

}  // namespace

BENCHMARK_MAIN();
