// QSort / QSortIndex against std::sort, and the binary searches against
// std::lower_bound, on shared fixed inputs. Compare each pair's times within
// one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "containers/Sort.h"

namespace {

constexpr int kN = 1000000;

enum Shape { kRandom, kSorted, kReversed, kAllEqual, kFewDistinct, kMaxRepeated, kOneSmaller };
const char* const kShapeNames[] = {"random", "sorted", "reversed", "all_equal",
                                   "few_distinct", "90pct_at_max", "one_smaller_among_equal"};

const std::vector<double>& Input(int shape) {
    static std::vector<std::vector<double>> cache(7);
    std::vector<double>& v = cache[static_cast<size_t>(shape)];
    if (!v.empty()) return v;
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    v.resize(kN);
    for (int i = 0; i < kN; ++i) {
        double x = 0;
        switch (shape) {
            case kRandom: x = u(rng); break;
            case kSorted: x = i; break;
            case kReversed: x = kN - i; break;
            case kAllEqual: x = 1.0; break;
            case kFewDistinct: x = static_cast<double>(rng() % 8); break;
            case kMaxRepeated: x = u(rng) < 0.9 ? 1.0 : u(rng); break;
            case kOneSmaller: x = i == kN / 3 ? 0.5 : 1.0; break;
        }
        v[static_cast<size_t>(i)] = x;
    }
    return v;
}

// Times `run` on the input shape given by the argument; `reset` restores the
// working array before each run, outside the timing.
template <class Reset, class Run>
void ShapeLoop(benchmark::State& state, Reset reset, Run run) {
    for (auto _ : state) {
        state.PauseTiming();
        reset();
        state.ResumeTiming();
        run();
    }
    state.SetLabel(kShapeNames[state.range(0)]);
    state.SetItemsProcessed(state.iterations() * kN);
}

template <class Sorter>
void SortLoop(benchmark::State& state, Sorter sort) {
    const std::vector<double>& in = Input(static_cast<int>(state.range(0)));
    std::vector<double> a(in.size());
    ShapeLoop(
        state, [&] { std::copy(in.begin(), in.end(), a.begin()); },
        [&] {
            sort(a);
            benchmark::DoNotOptimize(a.data());
        });
}

void BM_QSort(benchmark::State& state) {
    SortLoop(state, [](std::vector<double>& a) { QSort(a.data(), 0, static_cast<int>(a.size()) - 1); });
}

void BM_StdSort(benchmark::State& state) {
    SortLoop(state, [](std::vector<double>& a) { std::sort(a.begin(), a.end()); });
}

template <class Sorter>
void IndexLoop(benchmark::State& state, Sorter sort) {
    const std::vector<double>& v = Input(static_cast<int>(state.range(0)));
    std::vector<int> idx(v.size());
    ShapeLoop(
        state, [&] { std::iota(idx.begin(), idx.end(), 0); },
        [&] {
            sort(idx, v);
            benchmark::DoNotOptimize(idx.data());
        });
}

void BM_QSortIndex(benchmark::State& state) {
    IndexLoop(state, [](std::vector<int>& idx, const std::vector<double>& v) {
        QSortIndex(idx.data(), const_cast<double*>(v.data()), 0, static_cast<int>(idx.size()) - 1);
    });
}

void BM_StdSortIndex(benchmark::State& state) {
    IndexLoop(state, [](std::vector<int>& idx, const std::vector<double>& v) {
        std::sort(idx.begin(), idx.end(), [&v](int a, int b) { return v[static_cast<size_t>(a)] < v[static_cast<size_t>(b)]; });
    });
}

// Searches: 4096 probes per iteration into the sorted million values, half
// of them present.
struct SearchData {
    std::vector<double> a;
    std::vector<double> probes;
    SearchData() : a(kN) {
        for (int i = 0; i < kN; ++i) a[static_cast<size_t>(i)] = 2.0 * i;
        std::mt19937_64 rng(777);
        for (int k = 0; k < 4096; ++k) probes.push_back(static_cast<double>(rng() % (2 * kN)));
    }
};

SearchData& Searches() {
    static SearchData d;
    return d;
}

void BM_BFind(benchmark::State& state) {
    SearchData& d = Searches();
    for (auto _ : state)
        for (double x : d.probes) benchmark::DoNotOptimize(BFind(d.a.data(), x, kN));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(d.probes.size()));
}

void BM_BFindInsertIndex(benchmark::State& state) {
    SearchData& d = Searches();
    for (auto _ : state)
        for (double x : d.probes) benchmark::DoNotOptimize(BFindInsertIndex(d.a.data(), x, kN));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(d.probes.size()));
}

void BM_StdLowerBound(benchmark::State& state) {
    const SearchData& d = Searches();
    for (auto _ : state)
        for (double x : d.probes) benchmark::DoNotOptimize(std::lower_bound(d.a.begin(), d.a.end(), x));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(d.probes.size()));
}

}  // namespace

BENCHMARK(BM_QSort)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSort)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QSortIndex)->Arg(kRandom)->Arg(kFewDistinct)->Arg(kMaxRepeated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSortIndex)->Arg(kRandom)->Arg(kFewDistinct)->Arg(kMaxRepeated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BFind)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BFindInsertIndex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StdLowerBound)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
