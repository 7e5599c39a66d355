// The minimizer's overhead per objective evaluation: a line search over a
// trivial objective (a sum of squares), native and as a script function of
// the runtime, beside the bare cost of the objective itself. The overhead is
// the time per evaluation inside the search minus the bare call.
#include <benchmark/benchmark.h>

#include <vector>

#include "runtime/VeskRuntime.h"
#include "solvers/Climb.h"

// Reaches the line search, a private operation.
struct ClimbTestAccess {
    static MatVectorCol& Current(Climb& c) { return c.current; }
    static double Line(Climb& c, double f0, MatVectorCol& d) { return c.FindMiniumByDirection(f0, d, 0); }
    static double At(Climb& c, MatVectorCol& u) { return c.FuncAt(u); }
    static void Gradient(Climb& c, MatVectorCol& g, MatVectorCol& u) { c.GetGradient(g, u); }
};

namespace {

using A = ClimbTestAccess;

long g_evaluations = 0;

double SumOfSquares(const double* x, int n) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += (x[i] - 0.3) * (x[i] - 0.3);
    return s;
}

double NativeObjective(MatVector& x, Variable&) {
    ++g_evaluations;
    return SumOfSquares(x.GetData(), x.Len());
}

// A minimizer over [-1, 1]^dim with a native or a script objective.
struct Problem {
    Processor proc;
    Variable f;
    std::vector<double> box, start;
    Climb* climb = nullptr;

    Problem(int dim, bool script) : box(2 * static_cast<size_t>(dim)), start(static_cast<size_t>(dim), 0.8) {
        vrt::SetCurrentProcessor(&proc);
        for (int i = 0; i < dim; ++i) box[2 * i] = -1, box[2 * i + 1] = 1;
        if (script) {
            vrt::MakeScriptFunction(f, [](VarRegister& r, VarRegister* args, int) {
                ++g_evaluations;
                Variable& v = args[0].GetVar();
                const Variable* e = v.GetArray();
                double s = 0;
                for (int i = 0; i < v.GetDim(); ++i) {
                    const double x = static_cast<double>(e[i]);
                    s += (x - 0.3) * (x - 0.3);
                }
                r = s;
            });
        } else {
            vrt::MakeNativeFunction(f, reinterpret_cast<void*>(NativeObjective));
        }
        climb = new Climb(f, dim, box.data(), start.data(), 1e-10);
    }
    ~Problem() {
        delete climb;
        vrt::SetCurrentProcessor(nullptr);
    }
};

// One line search along (1, 1, ...) from the start point per iteration.
void LineSearch(benchmark::State& state, bool script) {
    const int dim = static_cast<int>(state.range(0));
    Problem p(dim, script);
    MatVectorCol u(dim), d(dim);
    u.Set(0.9);
    d.Set(-1.0);
    g_evaluations = 0;
    for (auto _ : state) {
        A::Current(*p.climb) = u;
        benchmark::DoNotOptimize(A::Line(*p.climb, 0.0, d));
    }
    state.counters["evals_per_search"] =
        benchmark::Counter(static_cast<double>(g_evaluations) / static_cast<double>(state.iterations()));
    state.counters["per_eval"] =
        benchmark::Counter(static_cast<double>(g_evaluations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_LineSearchNative(benchmark::State& state) { LineSearch(state, false); }
void BM_LineSearchScript(benchmark::State& state) { LineSearch(state, true); }

// The bare objective on a point of the same length. As inside a search, each
// call waits for the value of the one before (its point depends on it), so
// the objective's latency is measured, not its throughput.
void BM_ObjectiveAlone(benchmark::State& state) {
    const int dim = static_cast<int>(state.range(0));
    MatVector x(dim);
    x.Set(0.1);
    Variable extra;
    double f = 0;
    for (auto _ : state) {
        x[0] = 0.1 + f * 1e-300;
        f = NativeObjective(x, extra);
        benchmark::DoNotOptimize(f);
    }
    state.counters["per_eval"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A forward-difference gradient: dim + 1 evaluations in one batch.
void BM_GradientNative(benchmark::State& state) {
    const int dim = static_cast<int>(state.range(0));
    Problem p(dim, false);
    MatVectorCol u(dim), g(dim);
    u.Set(0.4);
    g_evaluations = 0;
    for (auto _ : state) A::Gradient(*p.climb, g, u);
    state.counters["per_eval"] =
        benchmark::Counter(static_cast<double>(g_evaluations), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_ObjectiveAlone)->Arg(1)->Arg(2)->Arg(10);
BENCHMARK(BM_LineSearchNative)->Arg(1)->Arg(2)->Arg(10);
BENCHMARK(BM_LineSearchScript)->Arg(1)->Arg(2)->Arg(10);
BENCHMARK(BM_GradientNative)->Arg(2)->Arg(10);

BENCHMARK_MAIN();
