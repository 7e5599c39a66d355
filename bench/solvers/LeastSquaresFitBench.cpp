// LeastSquaresFit on the certified nonlinear regression problems of
// tests/data/nist from both starts, beside GSL's multifit_nlinear (trust
// region, Levenberg-Marquardt, difference Jacobian) in the same program.
//
// Counters per run: lre (the smallest log relative error of the parameters
// against the certified values, capped at 11), lre_sd (the same for the
// standard deviations), lre_rss (the residual sum of squares), evals
// (residual-vector evaluations, difference Jacobians included: p each for
// forward differences) and error (1 when the fitter reported a failure:
// our ERR_SOLUTION_NOT_FOUND or a GSL status other than success). The
// summary entries count the runs with lre >= 4 and >= 6, the runs that
// end below 4 without an error, and the median of evals, over all runs.
// Time is the cost of one whole fit.
//
// GSL settings: gsl_multifit_nlinear_trust with the default parameters
// (Levenberg-Marquardt, Moré scaling, QR solver, forward differences),
// xtol = 1e-8, gtol = 1e-8, ftol = 0, at most 1000 iterations; standard
// deviations from gsl_multifit_nlinear_covar with s^2 = RSS/(n - p).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/LeastSquaresFit.h"
#include "tests/solvers/NistProblems.h"

#ifdef VESK_BENCH_GSL
#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>
#endif

namespace {

struct Outcome {
    std::vector<double> b, sd;
    double rss = 0;
    long evals = 0;
    bool error = false;
};

long g_evals = 0;

const std::vector<nist::Problem>& Problems() {
    static const std::vector<nist::Problem> all = [] {
        std::vector<nist::Problem> v;
        for (const nist::Entry& e : nist::Problems()) v.push_back(nist::Load(VESK_TEST_DATA_DIR "/nist", e));
        return v;
    }();
    return all;
}

// The model with the residuals counted per vector: the fitter evaluates
// the data points of one vector in order, so point 0 starts a new one.
double Model(double x, MatVector& b, Variable& extra) {
    const nist::Problem* pr = static_cast<const nist::Problem*>(extra.GetCppPointer());
    if (x == pr->x[0]) ++g_evals;
    return pr->model(x, b.GetData());
}

Outcome FitOurs(const nist::Problem& pr, int start) {
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    vrt::ClearErrors();
    Variable model, extra(static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&pr)));
    vrt::MakeNativeFunction(model, reinterpret_cast<void*>(Model));
    std::vector<double> x = pr.x, y = pr.y, st = pr.start[start];
    const int n = static_cast<int>(x.size());
    LeastSquaresFit fit(model, n, x.data(), y.data(), nullptr, pr.p, nullptr, st.data());
    fit.SetExtraParam(extra);
    g_evals = 0;
    fit.Solve();
    Outcome o;
    o.b.assign(fit.GetResult().GetData(), fit.GetResult().GetData() + pr.p);
    o.sd.assign(fit.GetStandardErrors().GetData(), fit.GetStandardErrors().GetData() + pr.p);
    o.rss = fit.GetRSS();
    o.evals = fit.GetEvaluations();
    o.error = !vrt::Errors().empty();
    vrt::ClearErrors();
    vrt::SetCurrentProcessor(nullptr);
    return o;
}

#ifdef VESK_BENCH_GSL

int GslResiduals(const gsl_vector* b, void* params, gsl_vector* f) {
    const nist::Problem* pr = static_cast<const nist::Problem*>(params);
    ++g_evals;
    for (size_t i = 0; i < pr->x.size(); ++i) gsl_vector_set(f, i, pr->y[i] - pr->model(pr->x[i], b->data));
    return GSL_SUCCESS;
}

Outcome FitGsl(const nist::Problem& pr, int start) {
    gsl_set_error_handler_off();
    const size_t n = pr.x.size(), p = static_cast<size_t>(pr.p);
    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = GslResiduals;
    fdf.df = nullptr;
    fdf.fvv = nullptr;
    fdf.n = n;
    fdf.p = p;
    fdf.params = const_cast<nist::Problem*>(&pr);
    gsl_multifit_nlinear_workspace* w = gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, p);
    gsl_vector* b0 = gsl_vector_alloc(p);
    for (size_t j = 0; j < p; ++j) gsl_vector_set(b0, j, pr.start[start][j]);
    g_evals = 0;
    gsl_multifit_nlinear_init(b0, &fdf, w);
    int info = 0;
    const int status = gsl_multifit_nlinear_driver(1000, 1e-8, 1e-8, 0.0, nullptr, nullptr, &info, w);
    Outcome o;
    o.evals = g_evals;
    o.error = status != GSL_SUCCESS;
    gsl_vector* f = gsl_multifit_nlinear_residual(w);
    gsl_blas_ddot(f, f, &o.rss);
    gsl_matrix* covar = gsl_matrix_alloc(p, p);
    gsl_multifit_nlinear_covar(gsl_multifit_nlinear_jac(w), 0.0, covar);
    const double s2 = o.rss / static_cast<double>(n - p);
    for (size_t j = 0; j < p; ++j) {
        o.b.push_back(gsl_vector_get(gsl_multifit_nlinear_position(w), j));
        o.sd.push_back(std::sqrt(s2 * gsl_matrix_get(covar, j, j)));
    }
    gsl_matrix_free(covar);
    gsl_vector_free(b0);
    gsl_multifit_nlinear_free(w);
    return o;
}

#endif

using Fitter = Outcome (*)(const nist::Problem&, int);

void Report(benchmark::State& state, const nist::Problem& pr, const Outcome& o) {
    state.counters["lre"] = nist::MinLre(o.b.data(), pr.certified);
    state.counters["lre_sd"] = nist::MinLre(o.sd.data(), pr.certifiedSd);
    state.counters["lre_rss"] = nist::Lre(o.rss, pr.certifiedRss);
    state.counters["evals"] = static_cast<double>(o.evals);
    state.counters["error"] = o.error ? 1 : 0;
}

void BM_Fit(benchmark::State& state, Fitter fit, int problem, int start) {
    const nist::Problem& pr = Problems()[problem];
    if (pr.name.empty()) {
        state.SkipWithError("problem file missing");
        return;
    }
    Outcome o;
    for (auto _ : state) {
        o = fit(pr, start);
        benchmark::DoNotOptimize(o.b.data());
    }
    Report(state, pr, o);
}

// Every problem from both starts once per iteration; the counters sum up.
void BM_Summary(benchmark::State& state, Fitter fit) {
    double reached4 = 0, reached6 = 0, silent = 0, median = 0;
    for (auto _ : state) {
        std::vector<long> evals;
        reached4 = reached6 = silent = 0;
        for (const nist::Problem& pr : Problems())
            for (int s = 0; s < 2 && !pr.name.empty(); ++s) {
                const Outcome o = fit(pr, s);
                const double lre = nist::MinLre(o.b.data(), pr.certified);
                reached4 += lre >= 4, reached6 += lre >= 6, silent += lre < 4 && !o.error;
                evals.push_back(o.evals);
            }
        std::sort(evals.begin(), evals.end());
        const size_t k = evals.size();
        median = k == 0 ? 0 : (k % 2 ? evals[k / 2] : 0.5 * (evals[k / 2 - 1] + evals[k / 2]));
    }
    state.counters["runs"] = 2.0 * static_cast<double>(Problems().size());
    state.counters["lre4"] = reached4;
    state.counters["lre6"] = reached6;
    state.counters["silent_below4"] = silent;
    state.counters["median_evals"] = median;
}

void RegisterAll() {
    std::vector<std::pair<std::string, Fitter>> fitters = {{"LeastSquaresFit", FitOurs}};
#ifdef VESK_BENCH_GSL
    fitters.emplace_back("Gsl_multifit_nlinear_lm", FitGsl);
#endif
    for (const auto& [name, fit] : fitters) {
        for (size_t k = 0; k < nist::Problems().size(); ++k)
            for (int s = 0; s < 2; ++s)
                benchmark::RegisterBenchmark(
                    (name + "/" + nist::Problems()[k].name + "/start" + std::to_string(s + 1)).c_str(),
                    BM_Fit, fit, static_cast<int>(k), s)
                    ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((name + "/summary").c_str(), BM_Summary, fit)
            ->Unit(benchmark::kMillisecond);
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
