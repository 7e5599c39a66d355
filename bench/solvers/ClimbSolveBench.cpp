// Objective evaluations that each Climb solve operation needs on three fixed
// problems, beside GSL's BFGS (vector_bfgs2) and Nelder-Mead simplex
// (nmsimplex2) on the same problems in the same program:
//   rosen2   Rosenbrock's function from (-1.2, 1), minimum 0 at (1, 1)
//   rosen10  extended Rosenbrock, 5 independent pairs, from (-1.2, 1, ...)
//   quad10   (x - c)' A (x - c), A = Q diag(1 .. 1e4, log-spaced) Q' with Q a
//            fixed Householder reflection (condition 1e4), from the origin
// All in the box [-5, 5]^n, which never binds at the minimum.
//
// Counters per solve: evals (objective evaluations; for GSL's BFGS with
// analytic gradients also grads, gradient evaluations, and evals_fd, the
// evaluations a forward-difference gradient would have cost: evals + n *
// grads), f (final value) and err (distance of the result to the known
// minimum). The time column is the cost of one whole solve.
//
// Certified regression problems (tests/data/nist, read by
// tests/solvers/NistProblems.h): every solve operation on each of the nine
// problems from both of its starts; objective = residual sum of squares,
// box = start +- (100 max|start_i| + 10) in every coordinate, eps = 1e-10.
// Nist_<op>/<problem>/<start> reports one run: lre (smallest log relative
// error of the parameters against the certified ones), error (1 when the
// solve raised "ERR_SOLUTION_NOT_FOUND"), evals. NistSet_<op> runs all 18
// and reports reached (runs with lre >= 4), errors, silent (runs without the
// error below lre 4: a failure reported as success) and evals (the total).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Plugin.h"
#include "linalg/MatVector.h"
#include "runtime/VeskRuntime.h"
#include "solvers/Climb.h"
#include "tests/solvers/ClimbProblems.h"
#include "tests/solvers/NistProblems.h"

#ifdef VESK_BENCH_GSL
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multimin.h>
#endif

namespace {

using namespace climb_problems;

constexpr double kEps = 1e-10;

struct Problem {
    const char* name;
    int n;
    std::vector<double> start, minimum;
    double (*value)(const double* x, int n);
    void (*gradient)(const double* x, int n, double* g);
};

void RosenGradient(const double* x, int n, double* g) {
    for (int k = 0; k + 1 < n; k += 2) {
        double a = x[k + 1] - x[k] * x[k];
        g[k] = -400.0 * x[k] * a - 2.0 * (1.0 - x[k]);
        g[k + 1] = 200.0 * a;
    }
}

// The quadratic's matrix and centre c_i = 0.5 + 0.1 i.
const Vec kQuadA = IllConditioned(10);
const Vec kQuadC = [] {
    Vec c;
    for (int i = 0; i < 10; ++i) c.push_back(0.5 + 0.1 * i);
    return c;
}();

double QuadValue(const double* x, int n) { return Quadratic(kQuadA.data(), kQuadC.data(), x, n); }

void QuadGradient(const double* x, int n, double* g) {
    for (int i = 0; i < n; ++i) {
        double r = 0.0;
        for (int j = 0; j < n; ++j) r += kQuadA[i * n + j] * (x[j] - kQuadC[j]);
        g[i] = 2.0 * r;
    }
}

const Problem kProblems[] = {
    {"rosen2", 2, {-1.2, 1.0}, {1.0, 1.0}, Rosenbrock, RosenGradient},
    {"rosen10", 10, Repeat({-1.2, 1.0}, 10), Repeat({1.0}, 10), Rosenbrock, RosenGradient},
    {"quad10", 10, Repeat({0.0}, 10), kQuadC, QuadValue, QuadGradient},
};

// The problem being solved and the evaluations counted so far.
const Problem* g_problem = nullptr;
long g_evals = 0;

double Objective(MatVector& x, Variable&) {
    ++g_evals;
    return g_problem->value(x.GetData(), x.Len());
}

double Distance(const double* x, const Problem& p) {
    double s = 0.0;
    for (int i = 0; i < p.n; ++i) s += (x[i] - p.minimum[i]) * (x[i] - p.minimum[i]);
    return std::sqrt(s);
}

void Report(benchmark::State& state, const Problem& p, const double* x) {
    state.counters["evals"] = static_cast<double>(g_evals);
    state.counters["f"] = p.value(x, p.n);
    state.counters["err"] = Distance(x, p);
}

enum class Op { Solve, SolvePowell, SolveDFP, SolveBFGS, SolveByCoord };

// Runs op on climb (SolveByCoord with initial steps 0.05).
void RunOp(Climb& climb, Op op) {
    switch (op) {
        case Op::Solve: climb.Solve(); break;
        case Op::SolvePowell: climb.SolvePowell(); break;
        case Op::SolveDFP: climb.SolveDFP(); break;
        case Op::SolveBFGS: climb.SolveBFGS(); break;
        case Op::SolveByCoord: {
            MatVectorCol steps(climb.GetDimension());
            steps.Set(0.05);
            climb.SolveByCoord(steps);
            break;
        }
    }
}

void BM_Climb(benchmark::State& state, Op op, int problem) {
    const Problem& p = kProblems[problem];
    g_problem = &p;
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    Variable func;
    func = static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&Objective));
    std::vector<double> bounds;
    for (int i = 0; i < p.n; ++i) bounds.push_back(-5.0), bounds.push_back(5.0);
    std::vector<double> start = p.start, result(p.n);
    for (auto _ : state) {
        Climb climb(func, p.n, bounds.data(), start.data(), kEps);
        g_evals = 0;
        RunOp(climb, op);
        MatVectorCol& r = climb.GetResult();
        for (int i = 0; i < p.n; ++i) result[i] = r[i];
        benchmark::DoNotOptimize(result.data());
    }
    Report(state, p, result.data());
    vrt::ClearErrors();
    vrt::SetCurrentProcessor(nullptr);
}

#ifdef VESK_BENCH_GSL

long g_grads = 0;

double GslValue(const gsl_vector* v, void*) {
    ++g_evals;
    return g_problem->value(v->data, static_cast<int>(v->size));
}

void GslGradient(const gsl_vector* v, void*, gsl_vector* g) {
    ++g_grads;
    g_problem->gradient(v->data, static_cast<int>(v->size), g->data);
}

void GslValueGradient(const gsl_vector* v, void* params, double* f, gsl_vector* g) {
    *f = GslValue(v, params);
    GslGradient(v, params, g);
}

gsl_vector* GslStart(const Problem& p) {
    gsl_vector* x = gsl_vector_alloc(p.n);
    for (int i = 0; i < p.n; ++i) gsl_vector_set(x, i, p.start[i]);
    return x;
}

// vector_bfgs2 with analytic gradients: first step 0.01, line-search
// tolerance 0.1, stop when |g| < 1e-6 or no further progress is possible.
void BM_GslBfgs2(benchmark::State& state, int problem) {
    const Problem& p = kProblems[problem];
    g_problem = &p;
    gsl_set_error_handler_off();
    std::vector<double> result(p.n);
    for (auto _ : state) {
        gsl_multimin_function_fdf fdf{GslValue, GslGradient, GslValueGradient,
                                      static_cast<size_t>(p.n), nullptr};
        gsl_vector* x = GslStart(p);
        gsl_multimin_fdfminimizer* s =
            gsl_multimin_fdfminimizer_alloc(gsl_multimin_fdfminimizer_vector_bfgs2, p.n);
        g_evals = g_grads = 0;
        gsl_multimin_fdfminimizer_set(s, &fdf, x, 0.01, 0.1);
        for (int iter = 0; iter < 100000; ++iter) {
            if (gsl_multimin_fdfminimizer_iterate(s) != GSL_SUCCESS) break;
            if (gsl_multimin_test_gradient(s->gradient, 1e-6) != GSL_CONTINUE) break;
        }
        for (int i = 0; i < p.n; ++i) result[i] = gsl_vector_get(s->x, i);
        gsl_multimin_fdfminimizer_free(s);
        gsl_vector_free(x);
        benchmark::DoNotOptimize(result.data());
    }
    Report(state, p, result.data());
    state.counters["grads"] = static_cast<double>(g_grads);
    state.counters["evals_fd"] = static_cast<double>(g_evals + p.n * g_grads);
}

// nmsimplex2: initial steps 0.5, stop when the simplex size is below 1e-8.
void BM_GslSimplex(benchmark::State& state, int problem) {
    const Problem& p = kProblems[problem];
    g_problem = &p;
    gsl_set_error_handler_off();
    std::vector<double> result(p.n);
    for (auto _ : state) {
        gsl_multimin_function f{GslValue, static_cast<size_t>(p.n), nullptr};
        gsl_vector* x = GslStart(p);
        gsl_vector* step = gsl_vector_alloc(p.n);
        gsl_vector_set_all(step, 0.5);
        gsl_multimin_fminimizer* s =
            gsl_multimin_fminimizer_alloc(gsl_multimin_fminimizer_nmsimplex2, p.n);
        g_evals = 0;
        gsl_multimin_fminimizer_set(s, &f, x, step);
        for (int iter = 0; iter < 1000000; ++iter) {
            if (gsl_multimin_fminimizer_iterate(s) != GSL_SUCCESS) break;
            if (gsl_multimin_test_size(gsl_multimin_fminimizer_size(s), 1e-8) != GSL_CONTINUE) break;
        }
        for (int i = 0; i < p.n; ++i) result[i] = gsl_vector_get(s->x, i);
        gsl_multimin_fminimizer_free(s);
        gsl_vector_free(step);
        gsl_vector_free(x);
        benchmark::DoNotOptimize(result.data());
    }
    Report(state, p, result.data());
}

#endif

// ------------------------------------------------- certified regressions

const nist::Problem* g_nist = nullptr;

double NistObjective(MatVector& x, Variable&) {
    ++g_evals;
    return g_nist->Rss(x.GetData());
}

const std::vector<nist::Problem>& NistSet() {
    static const std::vector<nist::Problem> set = [] {
        std::vector<nist::Problem> v;
        for (const auto& e : nist::Problems()) v.push_back(nist::Load(VESK_TEST_DATA_DIR "/nist", e));
        return v;
    }();
    return set;
}

struct NistRun {
    double lre = 0;
    bool error = false;
    long evals = 0;
};

// One solve of problem pr from start k; the processor must be current.
NistRun RunNist(Op op, const nist::Problem& pr, int k) {
    g_nist = &pr;
    Variable func;
    func = static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&NistObjective));
    const std::vector<double>& start = pr.start[k];
    double big = 0;
    for (double v : start) big = std::max(big, std::fabs(v));
    const double w = 100 * big + 10;
    std::vector<double> bounds, s0 = start;
    for (double v : start) bounds.push_back(v - w), bounds.push_back(v + w);
    vrt::ClearErrors();
    Climb climb(func, pr.p, bounds.data(), s0.data(), kEps);
    g_evals = 0;
    RunOp(climb, op);
    NistRun r;
    r.evals = g_evals;
    MatVectorCol& x = climb.GetResult();
    r.lre = nist::MinLre(x.GetData(), pr.certified);
    for (const auto& e : vrt::Errors()) r.error = r.error || e.code == VeskModuleErrorCode;
    vrt::ClearErrors();
    return r;
}

void BM_Nist(benchmark::State& state, Op op, int problem, int k) {
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    NistRun r;
    for (auto _ : state) r = RunNist(op, NistSet()[problem], k);
    state.counters["lre"] = r.lre;
    state.counters["error"] = r.error ? 1 : 0;
    state.counters["evals"] = static_cast<double>(r.evals);
    vrt::SetCurrentProcessor(nullptr);
}

void BM_NistSet(benchmark::State& state, Op op) {
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    int reached = 0, errors = 0, silent = 0;
    long evals = 0;
    for (auto _ : state) {
        reached = errors = silent = 0;
        evals = 0;
        for (const auto& pr : NistSet()) {
            if (pr.name.empty()) state.SkipWithError("certified problem missing");
            for (int k = 0; k < 2 && !pr.name.empty(); ++k) {
                const NistRun r = RunNist(op, pr, k);
                reached += r.lre >= 4;
                errors += r.error;
                silent += !r.error && r.lre < 4;
                evals += r.evals;
            }
        }
    }
    state.counters["reached"] = reached;
    state.counters["errors"] = errors;
    state.counters["silent"] = silent;
    state.counters["evals"] = static_cast<double>(evals);
    vrt::SetCurrentProcessor(nullptr);
}

void RegisterAll() {
    const struct { const char* name; Op op; } ops[] = {
        {"Solve", Op::Solve},       {"SolvePowell", Op::SolvePowell},
        {"SolveDFP", Op::SolveDFP}, {"SolveBFGS", Op::SolveBFGS},
        {"SolveByCoord", Op::SolveByCoord},
    };
    for (int k = 0; k < 3; ++k) {
        std::string problem = kProblems[k].name;
        for (const auto& o : ops)
            benchmark::RegisterBenchmark(("Climb_" + std::string(o.name) + "/" + problem).c_str(),
                                         BM_Climb, o.op, k)
                ->Unit(benchmark::kMillisecond);
#ifdef VESK_BENCH_GSL
        benchmark::RegisterBenchmark(("Gsl_bfgs2/" + problem).c_str(), BM_GslBfgs2, k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Gsl_nmsimplex2/" + problem).c_str(), BM_GslSimplex, k)
            ->Unit(benchmark::kMillisecond);
#endif
    }
    for (int o = 0; o < 4; ++o) {
        const std::string op = ops[o].name;
        benchmark::RegisterBenchmark(("NistSet_" + op).c_str(), BM_NistSet, ops[o].op)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
        for (size_t k = 0; k < nist::Problems().size(); ++k)
            for (int s = 0; s < 2; ++s)
                benchmark::RegisterBenchmark(
                    ("Nist_" + op + "/" + nist::Problems()[k].name + "/" + std::to_string(s + 1)).c_str(),
                    BM_Nist, ops[o].op, static_cast<int>(k), s)
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
