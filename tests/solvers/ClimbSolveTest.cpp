// Climb's solve operations: Powell's method, coordinate descent, the
// quasi-Newton runs and the combined driver, on problems with known minima
// inside the box and on its faces, with the progress window, the
// solution-not-found error and the covariance left by a solve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/Climb.h"
#include "tests/host/ErrorTest.h"
#include "tests/solvers/BoxQuadratic.h"

namespace {

using Fn = std::function<double(const double* x, int n)>;

// The objective of the running test and its evaluation count.
Fn g_fn;
long g_calls = 0;

double Native(MatVector& x, Variable&) {
    ++g_calls;
    return g_fn(x.GetData(), x.Len());
}

Variable NativeObjective() {
    Variable v;
    vrt::MakeNativeFunction(v, reinterpret_cast<void*>(&Native));
    return v;
}

double Rosenbrock(const double* x, int n) {
    double s = 0.0;
    for (int k = 0; k + 1 < n; k += 2) {
        double a = x[k + 1] - x[k] * x[k], b = 1.0 - x[k];
        s += 100.0 * a * a + b * b;
    }
    return s;
}

// (x - c)' A (x - c) for a row-major A.
Fn QuadraticFn(std::vector<double> a, std::vector<double> c) {
    return [a, c](const double* x, int n) {
        double s = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s += (x[i] - c[i]) * a[i * n + j] * (x[j] - c[j]);
        return s;
    };
}

// A = Q diag(10^(4k/(n-1))) Q with the Householder reflection Q = I - 2vv'/v'v,
// v = (1, 2, ..., n): condition 1e4, no axis aligned with an eigenvector.
std::vector<double> IllConditioned(int n) {
    std::vector<double> q(n * n), a(n * n, 0.0);
    double vv = 0.0;
    for (int i = 0; i < n; ++i) vv += (i + 1.0) * (i + 1.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) q[i * n + j] = (i == j) - 2.0 * (i + 1.0) * (j + 1.0) / vv;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                a[i * n + j] += q[i * n + k] * std::pow(10.0, 4.0 * k / (n - 1)) * q[k * n + j];
    return a;
}

std::vector<double> Box(int n, double lo, double hi) {
    std::vector<double> b;
    for (int i = 0; i < n; ++i) b.push_back(lo), b.push_back(hi);
    return b;
}

std::vector<double> Repeat(std::vector<double> pattern, int n) {
    std::vector<double> v;
    while (static_cast<int>(v.size()) < n) v.push_back(pattern[v.size() % pattern.size()]);
    return v;
}

enum class Method { Solve, Powell, DFP, BFGS };
const char* Name(Method m) {
    switch (m) {
        case Method::Solve: return "Solve";
        case Method::Powell: return "SolvePowell";
        case Method::DFP: return "SolveDFP";
        case Method::BFGS: return "SolveBFGS";
    }
    return "";
}
const Method kMethods[] = {Method::Solve, Method::Powell, Method::DFP, Method::BFGS};

void RunMethod(Climb& c, Method m) {
    switch (m) {
        case Method::Solve: c.Solve(); break;
        case Method::Powell: c.SolvePowell(); break;
        case Method::DFP: c.SolveDFP(); break;
        case Method::BFGS: c.SolveBFGS(); break;
    }
}

struct Outcome {
    std::vector<double> x;
    double f = 0.0;
    long evals = 0;
    bool error = false;  // the solution-not-found error was raised
};

// A current processor (module initialised) and an empty error record. The
// module's error code is fixed once per process, so every test shares one
// processor: the codes it hands out never collide with the module's.
class ClimbSolveTest : public ErrorTest {
protected:
    ClimbSolveTest() : proc(SharedProcessor()) {}
    static Processor& SharedProcessor() {
        static Processor p;
        return p;
    }
    void SetUp() override {
        vrt::SetCurrentProcessor(&proc);
        ErrorTest::SetUp();
        VeskPlugin_Init(&proc);
        ASSERT_NE(VeskModuleErrorCode, 0);
        g_calls = 0;
    }
    void TearDown() override {
        vrt::SetCurrentProcessor(nullptr);
        ErrorTest::TearDown();
    }

    static bool SolutionNotFound() {
        for (const auto& e : vrt::Errors())
            if (e.code == VeskModuleErrorCode) return true;
        return false;
    }

    // Solves f over the box from start with method m and tolerance eps.
    Outcome Run(Method m, const Fn& f, std::vector<double> bounds, std::vector<double> start,
                double eps = 1e-10) {
        g_fn = f;
        Variable func = NativeObjective();
        const int n = static_cast<int>(start.size());
        Climb c(func, n, bounds.data(), start.data(), eps);
        vrt::ClearErrors();
        g_calls = 0;
        RunMethod(c, m);
        Outcome o;
        o.evals = g_calls;
        o.error = SolutionNotFound();
        MatVectorCol& r = c.GetResult();
        o.x.assign(r.GetData(), r.GetData() + n);
        o.f = f(o.x.data(), n);
        vrt::ClearErrors();
        return o;
    }

    Processor& proc;
};

// ------------------------------------------------------------ known minima

// Every method must come within xTol of the minimum and within fTol (times
// max(1, |fMin|)) of its value; the gradient-only runs (SolveDFP, SolveBFGS)
// within xTolQN and fTolQN. Their forward-difference gradient is off by
// about h f''/2 in normalised units (h = 5e-8), which on Rosenbrock's
// valley in [-5, 5]^n is 1e-3 and more: there they stop where that error
// dominates, near f = 1e-6.
struct Known {
    const char* name;
    Fn f;
    std::vector<double> bounds, start, minimum;
    double fMin;
    double xTol, fTol, xTolQN, fTolQN;
};

std::vector<Known> KnownProblems() {
    const std::vector<double> a10 = IllConditioned(10);
    const std::vector<double> c10 = {0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.3, 1.4};
    return {
        {"rosenbrock-2", Rosenbrock, Box(2, -5, 5), {-1.2, 1.0}, {1.0, 1.0}, 0.0, 1e-5, 1e-10,
         1e-3, 1e-7},
        {"rosenbrock-10", Rosenbrock, Box(10, -5, 5), Repeat({-1.2, 1.0}, 10), Repeat({1.0}, 10),
         0.0, 1e-3, 1e-8, 1e-2, 1e-5},
        {"quadratic-cond-1e4", QuadraticFn(a10, c10), Box(10, -5, 5), Repeat({0.0}, 10), c10, 0.0,
         1e-4, 1e-10, 1e-4, 1e-10},
        // Minimum on the face x0 = 1: (1, -0.75), value 3.6875.
        {"on-a-bound",
         [](const double* x, int) {
             return (x[0] - 3) * (x[0] - 3) + (x[1] + 0.5) * (x[1] + 0.5) + 0.5 * x[0] * x[1];
         },
         Box(2, -1, 1), {0.0, 0.0}, {1.0, -0.75}, 3.6875, 1e-6, 1e-12, 1e-6, 1e-12},
        // x1 fixed at 2 by equal bounds; the others at (1.4, -1.1)/3.75.
        {"inactive-coordinate",
         [](const double* x, int) {
             return (x[0] - 0.3) * (x[0] - 0.3) + (x[2] + 0.2) * (x[2] + 0.2) +
                    0.5 * x[0] * x[2] + (x[1] - 1) * (x[1] - 1);
         },
         {-1, 1, 2, 2, -1, 1}, {0.0, 2.0, 0.0}, {1.4 / 3.75, 2.0, -1.1 / 3.75},
         1.13 - 1.28 / 7.5, 1e-6, 1e-12, 1e-6, 1e-12},
        {"one-dimensional", [](const double* x, int) { return std::cosh(x[0] - 0.7); },
         {-2.0, 3.0}, {-1.5}, {0.7}, 1.0, 1e-6, 1e-12, 1e-6, 1e-12},
    };
}

double Distance(const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0.0;
    for (size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(s);
}

// Every method reaches every known minimum, without an error; the
// evaluation counts are printed. Solve on rosenbrock-2 also covers the line
// search's stall rule: counting the passes before the first improvement as
// stalled, it stopped at (-0.99, 0.97) with f = 3.95 and no error.
TEST_F(ClimbSolveTest, KnownMinima) {
    std::printf("%-22s %12s %12s %12s %12s   (objective evaluations)\n", "problem", "Solve",
                "SolvePowell", "SolveDFP", "SolveBFGS");
    for (const Known& k : KnownProblems()) {
        std::printf("%-22s", k.name);
        for (Method m : kMethods) {
            SCOPED_TRACE(std::string(k.name) + " " + Name(m));
            Outcome o = Run(m, k.f, k.bounds, k.start);
            std::printf(" %12ld", o.evals);
            const bool qn = m == Method::DFP || m == Method::BFGS;
            EXPECT_FALSE(o.error);
            EXPECT_LT(Distance(o.x, k.minimum), qn ? k.xTolQN : k.xTol);
            EXPECT_LE(o.f - k.fMin, (qn ? k.fTolQN : k.fTol) * std::fmax(1.0, std::fabs(k.fMin)));
            if (k.minimum.size() == 3) {
                EXPECT_EQ(o.x[1], 2.0);  // the inactive coordinate
            }
        }
        std::printf("\n");
    }
}

}  // namespace

// ----------------------------------------------- random quadratics in boxes

// 200 random convex quadratics (dimensions 2 to 5) whose minimum lies on
// one or more faces, solved with tolerance 1e-10; reaching the minimum means
// a value within 1e-8 (relative above 1) of the exact constrained minimum.
// Solve() and SolvePowell() reach it or raise the error, never a wrong point
// reported as success. SolveDFP and SolveBFGS alone may stop early; their
// rate of early stops is printed and bounded.
TEST_F(ClimbSolveTest, RandomBoxQuadratics) {
    linalg_test::Generator rnd(20261206);
    const int kCount = 200;
    int wrong[4] = {}, errors[4] = {};
    long evals[4] = {};
    for (int p = 0; p < kCount; ++p) {
        const BoxQuadratic q = RandomBoxQuadratic(rnd, 2 + p % 4);
        const BoxMinimum best = SolveBoxQuadratic(q);
        ASSERT_GE(best.activeBounds, 1);
        Fn f = [&q](const double* x, int) { return q.Value(x); };
        for (int k = 0; k < 4; ++k) {
            Outcome o = Run(kMethods[k], f, q.bounds, q.start, 1e-10);
            evals[k] += o.evals;
            const bool reached = o.f - best.f <= 1e-8 * std::fmax(1.0, best.f);
            if (o.error) ++errors[k];
            if (!reached && !o.error) {
                ++wrong[k];
                std::printf("problem %d (n = %d) %s: f %.10g, minimum %.10g\n", p, q.n,
                            Name(kMethods[k]), o.f, best.f);
            }
        }
    }
    for (int k = 0; k < 4; ++k)
        std::printf("%-12s early stops %2d of %d, errors %d, mean evaluations %ld\n",
                    Name(kMethods[k]), wrong[k], kCount, errors[k], evals[k] / kCount);
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
    EXPECT_LE(wrong[2], 2);
    EXPECT_LE(wrong[3], 2);
}

// ------------------------------------------------------------------ mends

// Powell's extrapolation moves along the unit displacement. Along the raw
// displacement d (a trial 2|d|^2 away) directions were almost never
// replaced and this problem ran into the iteration limit.
TEST_F(ClimbSolveTest, PowellReplacesDirectionsOnIllConditionedQuadratic) {
    const std::vector<double> c = Repeat({0.5, 0.7, 0.9, 1.1, 1.3}, 10);
    Outcome o = Run(Method::Powell, QuadraticFn(IllConditioned(10), c), Box(10, -5, 5),
                    Repeat({0.0}, 10));
    EXPECT_FALSE(o.error);
    EXPECT_LT(o.f, 1e-8);
}

// The quasi-Newton direction -H g may point out of the box in a coordinate
// already on its face; such components are dropped before the step is
// sized. Kept, they gave a zero step and a stop at f = 0.338.
TEST_F(ClimbSolveTest, QuasiNewtonDropsOutwardComponentsAtFaces) {
    BoxQuadratic q;
    q.n = 3;
    q.a = {1.0, 0.6, 0.0, 0.6, 1.0, 0.6, 0.0, 0.6, 1.0};
    q.c = {-0.5, -2.0, 0.2};
    q.bounds = Box(3, -1, 1);
    q.start = {0.5, -0.5, 0.5};
    const BoxMinimum best = SolveBoxQuadratic(q);
    ASSERT_NEAR(best.f, 0.29, 1e-12);
    for (Method m : {Method::DFP, Method::BFGS}) {
        SCOPED_TRACE(Name(m));
        Outcome o = Run(m, [&q](const double* x, int) { return q.Value(x); }, q.bounds, q.start);
        EXPECT_FALSE(o.error);
        EXPECT_LT(o.f - best.f, 1e-10);
        EXPECT_LT(Distance(o.x, best.x), 1e-6);
    }
}

// A solve that ends on a NaN value raises the error (a NaN never compares
// above the start value).
TEST_F(ClimbSolveTest, NaNObjectiveRaisesSolutionNotFound) {
    const std::vector<double> bounds = Box(2, -1, 1), start = {0.2, 0.3};
    g_fn = [](const double*, int) { return std::nan(""); };
    Variable func = NativeObjective();
    const std::function<void(Climb&)> solves[] = {
        [](Climb& c) { c.Solve(); },          [](Climb& c) { c.SolvePowell(); },
        [](Climb& c) { c.SolveDFP(); },       [](Climb& c) { c.SolveBFGS(); },
        [](Climb& c) { c.SolvePowell(0); },
        [](Climb& c) {
            MatVectorCol steps(2);
            steps.Set(0.1);
            c.SolveByCoord(steps);
        },
    };
    for (size_t k = 0; k < std::size(solves); ++k) {
        SCOPED_TRACE(k);
        std::vector<double> b = bounds, s = start;
        Climb c(func, 2, b.data(), s.data(), 1e-10);
        vrt::ClearErrors();
        solves[k](c);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{VeskModuleErrorCode});
    }
}

// |x0 - 0.3| + |x1 - 0.6| in the unit box (where real and normalised
// coordinates agree, so the cache point matches the result exactly): a BFGS
// run that restarts from the identity late and then ends normally. Its
// matrix holds no curvature and must not become the cached covariance (it
// did, and was answered without an evaluation): the covariance at the
// result is computed afresh.
TEST_F(ClimbSolveTest, NoCovarianceSeedAfterLateRestart) {
    g_fn = [](const double* x, int) { return std::fabs(x[0] - 0.3) + std::fabs(x[1] - 0.6); };
    Variable func = NativeObjective();
    std::vector<double> b = Box(2, 0, 1), s = {0.05, 0.05 + 0.1};  // 0.15000000000000002
    Climb c(func, 2, b.data(), s.data(), 1e-10);
    c.SolveBFGS();
    EXPECT_TRUE(vrt::Errors().empty());
    MatVectorCol x(c.GetResult());
    g_calls = 0;
    std::unique_ptr<Matrix> cov(c.GetCovariationMatrix(x));
    EXPECT_GT(g_calls, 0);
}

// ------------------------------------------------------------- covariance

// A = [[4, 1, 0.5], [1, 3, 0.2], [0.5, 0.2, 2]] and its inverse.
const std::vector<double> kA3 = {4, 1, 0.5, 1, 3, 0.2, 0.5, 0.2, 2};
std::vector<double> Inverse3(const std::vector<double>& a) {
    const double det = a[0] * (a[4] * a[8] - a[5] * a[7]) - a[1] * (a[3] * a[8] - a[5] * a[6]) +
                       a[2] * (a[3] * a[7] - a[4] * a[6]);
    return {(a[4] * a[8] - a[5] * a[7]) / det, (a[2] * a[7] - a[1] * a[8]) / det,
            (a[1] * a[5] - a[2] * a[4]) / det, (a[5] * a[6] - a[3] * a[8]) / det,
            (a[0] * a[8] - a[2] * a[6]) / det, (a[2] * a[3] - a[0] * a[5]) / det,
            (a[3] * a[7] - a[4] * a[6]) / det, (a[1] * a[6] - a[0] * a[7]) / det,
            (a[0] * a[4] - a[1] * a[3]) / det};
}

double MaxDifference(const Matrix& m, const std::vector<double>& want) {
    double d = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) d = std::fmax(d, std::fabs(m(i, j) - want[i * 3 + j]));
    return d;
}

// The Hessian of (x - c)' A (x - c) is 2A, so the covariance 2 H^-1 is A^-1,
// to the rounding of the second differences.
TEST_F(ClimbSolveTest, CovarianceAfterSolve) {
    const std::vector<double> c = {0.3, -0.4, 1.1}, want = Inverse3(kA3);
    for (Method m : kMethods) {
        SCOPED_TRACE(Name(m));
        g_fn = QuadraticFn(kA3, c);
        Variable func = NativeObjective();
        std::vector<double> b = Box(3, -5, 5), s = {2.0, 2.0, -3.0};
        Climb climb(func, 3, b.data(), s.data(), 1e-10);
        RunMethod(climb, m);
        MatVectorCol x(climb.GetResult());
        std::unique_ptr<Matrix> cov(climb.GetCovariationMatrix(x));
        ASSERT_NE(cov, nullptr);
        EXPECT_LT(MaxDifference(*cov, want), 1e-7);
    }
}

// In the unit box the result converts back to the cache point exactly, so
// the covariance a quasi-Newton run leaves is answered without evaluating:
// twice its inverse-Hessian approximation (the same doubling as a computed
// covariance; the approximation alone is half of it), close to A^-1 on a
// quadratic (condition 1e4, so the run lasts more than dim iterations).
TEST_F(ClimbSolveTest, CovarianceSeededByQuasiNewtonRun) {
    const std::vector<double> a = IllConditioned(3);
    const std::vector<double> c = {0.3, 0.55, 0.6}, want = Inverse3(a);
    for (Method m : {Method::DFP, Method::BFGS}) {
        SCOPED_TRACE(Name(m));
        g_fn = QuadraticFn(a, c);
        Variable func = NativeObjective();
        std::vector<double> b = Box(3, 0, 1), s = {0.9, 0.1, 0.2};
        Climb climb(func, 3, b.data(), s.data(), 1e-10);
        RunMethod(climb, m);
        MatVectorCol x(climb.GetResult());
        g_calls = 0;
        std::unique_ptr<Matrix> cov(climb.GetCovariationMatrix(x));
        ASSERT_NE(cov, nullptr);
        EXPECT_EQ(g_calls, 0);
        EXPECT_LT(MaxDifference(*cov, want), 1e-4);
    }
}

// --------------------------------------------------------- progress window

// A window class that logs "SetProgress" values and "SetCaption" texts, and
// raises the cancel from the n-th "CheckCancel" on (cancelAt > 0).
struct WindowLog {
    std::vector<int> progress;
    std::vector<std::string> captions;
    int checks = 0;
    int cancelAt = 0;
};
WindowLog g_window;

void MakeWindow(Variable& w, int cancelAt) {
    g_window = WindowLog();
    g_window.cancelAt = cancelAt;
    vrt::DefineClass("SolveTestWindow", 0);
    vrt::DefineMethod("SolveTestWindow", "SetProgress",
                      [](VarRegister&, VarRegister* a, int, Variable&) {
                          g_window.progress.push_back(static_cast<int>(a[0]));
                      });
    vrt::DefineMethod("SolveTestWindow", "SetCaption",
                      [](VarRegister&, VarRegister* a, int, Variable&) {
                          const char* t = a[0].GetVar().GetText();
                          g_window.captions.push_back(t != nullptr ? t : "");
                      });
    vrt::DefineMethod("SolveTestWindow", "CheckCancel", [](VarRegister&, VarRegister*, int, Variable&) {
        if (g_window.cancelAt > 0 && ++g_window.checks >= g_window.cancelAt)
            vrt::RaiseNamedError("Progress window got cancel");
    });
    ASSERT_TRUE(vrt::NewObject(w, "SolveTestWindow"));
}

std::string Caption(double f) {
    char text[64];
    std::snprintf(text, sizeof text, "Residue = %.10g", f);
    return text;
}

// Start value (1 for Solve and SolvePowell, 30 for the quasi-Newton solves),
// the outer loop's k mod 100 on k = 0, 10, ..., the quasi-Newton counter's
// multiples of 10, and 100 with the final value's caption at the end.
TEST_F(ClimbSolveTest, ProgressMoments) {
    const std::vector<double> start = Repeat({-1.2, 1.0}, 10), box = Box(10, -5, 5);
    const struct { Method m; int first; } rows[] = {
        {Method::Solve, 1}, {Method::Powell, 1}, {Method::DFP, 30}, {Method::BFGS, 30}};
    for (const auto& r : rows) {
        SCOPED_TRACE(Name(r.m));
        g_fn = Rosenbrock;
        Variable func = NativeObjective(), wnd;
        MakeWindow(wnd, 0);
        std::vector<double> b = box, s = start;
        Climb c(func, 10, b.data(), s.data(), 1e-10);
        c.SetProgressWnd(wnd);
        RunMethod(c, r.m);
        const std::vector<int>& p = g_window.progress;
        ASSERT_GE(p.size(), 3u);
        EXPECT_EQ(p.front(), r.first);
        EXPECT_EQ(p.back(), 100);
        if (r.m == Method::Solve || r.m == Method::Powell) {
            EXPECT_EQ(p[1], 0);  // k = 0
        }
        if (r.m == Method::DFP || r.m == Method::BFGS) {
            EXPECT_EQ(p[1], 10);  // the tenth quasi-Newton iteration
        }
        for (int v : p) {
            EXPECT_TRUE(v >= 0 && v <= 100) << v;
        }
        MatVectorCol x(c.GetResult());
        EXPECT_EQ(g_window.captions.back(), Caption(Rosenbrock(x.GetData(), 10)));
    }
}

// A cancel at the start returns before any evaluation; a later one ends
// Solve after the iteration it arrived in, without the final report or the
// solution-not-found error, the cancel left set for the caller.
TEST_F(ClimbSolveTest, CancelFromWindow) {
    for (int cancelAt : {1, 3, 40}) {
        SCOPED_TRACE(cancelAt);
        g_fn = Rosenbrock;
        Variable func = NativeObjective(), wnd;
        MakeWindow(wnd, cancelAt);
        std::vector<double> b = Box(2, -5, 5), s = {-1.2, 1.0};
        Climb c(func, 2, b.data(), s.data(), 1e-10);
        c.SetProgressWnd(wnd);
        vrt::ClearErrors();
        g_calls = 0;
        c.Solve();
        EXPECT_NE(proc.GetErrorStatus(), 0);
        EXPECT_STREQ(proc.GetErrorName(proc.GetLastError()), "Progress window got cancel");
        EXPECT_FALSE(SolutionNotFound());
        EXPECT_NE(g_window.progress.back(), 100);
        if (cancelAt == 1) {
            EXPECT_EQ(g_calls, 0);
        }
        EXPECT_LT(g_calls, 2000);
    }
}

// ------------------------------------------------------ limits and options

TEST_F(ClimbSolveTest, IterationLimit) {
    for (Method m : {Method::Solve, Method::Powell}) {
        for (int raise : {1, 0}) {
            SCOPED_TRACE(std::string(Name(m)) + (raise ? " raising" : " silent"));
            g_fn = Rosenbrock;
            Variable func = NativeObjective();
            std::vector<double> b = Box(2, -5, 5), s = {-1.2, 1.0};
            Climb c(func, 2, b.data(), s.data(), 1e-10);
            c.SetMaxItterationNumber(2);
            c.SetErrorIfMaxItterNumberExceed(raise);
            vrt::ClearErrors();
            RunMethod(c, m);
            EXPECT_EQ(ErrorCodes(), raise ? std::vector<int>{VeskModuleErrorCode} : std::vector<int>{});
        }
    }
}

// Without a processor the solves that need one evaluate nothing; the result
// stays at the lower bounds (the current point is all zeros).
TEST_F(ClimbSolveTest, NoProcessor) {
    g_fn = Rosenbrock;
    Variable func = NativeObjective();
    std::vector<double> b = Box(2, -5, 5), s = {-1.2, 1.0};
    Climb c(func, 2, b.data(), s.data(), 1e-10);
    vrt::SetCurrentProcessor(nullptr);
    for (Method m : kMethods) RunMethod(c, m);
    EXPECT_EQ(g_calls, 0);
    MatVectorCol& x = c.GetResult();
    EXPECT_EQ(x[0], -5.0);
    EXPECT_EQ(x[1], -5.0);
    EXPECT_TRUE(vrt::Errors().empty());
}

// SolvePowell(0) makes exactly one Powell iteration from the start: the
// same evaluations and point as SolvePowell(dirs) with the coordinate
// directions (which the line search normalises), whatever the limit.
TEST_F(ClimbSolveTest, SinglePowellIteration) {
    g_fn = Rosenbrock;
    Variable func = NativeObjective();
    std::vector<double> b = Box(2, -5, 5), s = {-1.2, 1.0};
    Climb one(func, 2, b.data(), s.data(), 1e-10), given(one);
    one.SetMaxItterationNumber(1000);
    g_calls = 0;
    one.SolvePowell(0);
    const long callsOne = g_calls;
    MatVectorCol x(one.GetResult());
    MatVectorCol dirs[2] = {MatVectorCol(2), MatVectorCol(2)};
    dirs[0][0] = 1.0;
    dirs[1][1] = 1.0;
    g_calls = 0;
    given.SolvePowell(dirs);
    EXPECT_EQ(g_calls, callsOne);
    EXPECT_EQ(given.GetResult()[0], x[0]);
    EXPECT_EQ(given.GetResult()[1], x[1]);
    EXPECT_LT(Rosenbrock(x.GetData(), 2), Rosenbrock(s.data(), 2));
    EXPECT_TRUE(vrt::Errors().empty());
}

// At a start whose difference gradient is below the tolerance the
// quasi-Newton run ends at once: the start value and the gradient's n + 1
// evaluations, the point unmoved.
TEST_F(ClimbSolveTest, FlatStart) {
    g_fn = [](const double* x, int) { return (x[0] - 0.25) * (x[0] - 0.25) + (x[1] + 0.5) * (x[1] + 0.5); };
    Variable func = NativeObjective();
    for (Method m : {Method::DFP, Method::BFGS}) {
        std::vector<double> b = Box(2, -1, 1), s = {0.25, -0.5};
        Climb c(func, 2, b.data(), s.data(), 1e-6);
        g_calls = 0;
        RunMethod(c, m);
        EXPECT_EQ(g_calls, 4);
        EXPECT_EQ(c.GetResult()[0], 0.25);
        EXPECT_EQ(c.GetResult()[1], -0.5);
    }
}

// Before the host initialised the module the error code is fixed on first
// use, so the error raised is the registered one, never 0.
TEST_F(ClimbSolveTest, SolutionNotFoundBeforeInitialisation) {
    const int registered = VeskModuleErrorCode;
    VeskModuleErrorCode = 0;
    g_fn = [](const double*, int) { return std::nan(""); };
    Variable func = NativeObjective();
    std::vector<double> b = Box(1, 0, 1), s = {0.5};
    Climb c(func, 1, b.data(), s.data(), 1e-10);
    c.SolveBFGS();
    EXPECT_EQ(VeskModuleErrorCode, registered);
    EXPECT_EQ(ErrorCodes(), std::vector<int>{registered});
}

// ------------------------------------------------------ coordinate descent

double Bowl(const double* x, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += (i + 1) * (x[i] - 0.1 * (i + 1)) * (x[i] - 0.1 * (i + 1));
    return s;
}

// Each coordinate search at the minimum fails both ways and halves its step
// eight times: 16 evaluations per active coordinate after the start value.
// With a minimum step a quarter of the initial one it stops after two
// halvings instead. Inactive coordinates are not searched.
TEST_F(ClimbSolveTest, CoordinateSearchStops) {
    g_fn = Bowl;
    Variable func = NativeObjective();
    const struct { std::vector<double> bounds; double minStep; long calls; } rows[] = {
        {Box(3, -1, 1), 0.0, 1 + 3 * 16},
        {{-1, 1, 0.2, 0.2, -1, 1}, 0.0, 1 + 2 * 16},
        {Box(3, -1, 1), 0.05, 1 + 3 * 4},  // steps 0.1 normalised = 0.2 real
    };
    for (const auto& r : rows) {
        std::vector<double> b = r.bounds, s = {0.1, 0.2, 0.3};
        Climb c(func, 3, b.data(), s.data(), 1e-10);
        if (r.minStep > 0) {
            MatVectorCol m(3);
            m.Set(r.minStep);
            c.SetMinStep(m);
        }
        MatVectorCol steps(3);
        steps.Set(0.1);
        g_calls = 0;
        c.SolveByCoord(steps);
        EXPECT_EQ(g_calls, r.calls);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(c.GetResult()[i], s[i], 1e-15);
        EXPECT_TRUE(vrt::Errors().empty());
    }
}

// Coordinate descent is crude: it ends within a small multiple of its last
// step. A minimum on the upper face, started there, stays there (the
// clamped trial repeats the point and the reverse step fails).
TEST_F(ClimbSolveTest, CoordinateDescent) {
    g_fn = Bowl;
    Variable func = NativeObjective();
    std::vector<double> b = Box(3, -1, 1), s = {0.9, -0.8, 0.0};
    Climb c(func, 3, b.data(), s.data(), 1e-10);
    MatVectorCol steps(3);
    steps.Set(0.1);
    c.SolveByCoord(steps);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c.GetResult()[i], 0.1 * (i + 1), 2e-3);

    g_fn = [](const double* x, int) { return -x[0] + x[1] * x[1]; };
    std::vector<double> b2 = Box(2, -1, 1), s2 = {1.0, 0.5};
    Climb face(func, 2, b2.data(), s2.data(), 1e-10);
    MatVectorCol steps2(2);
    steps2.Set(0.25);
    face.SolveByCoord(steps2);
    EXPECT_EQ(face.GetResult()[0], 1.0);
    EXPECT_NEAR(face.GetResult()[1], 0.0, 1e-2);
    EXPECT_TRUE(vrt::Errors().empty());
}

// Mend: a start placed far outside the box by SetStartPoint (u = 5 here)
// pinned its coordinate at the face: no line along it met the box, and its
// difference gradient was 0. SolvePowell, SolveDFP and SolveBFGS reported
// (1, 0.6) as the solution; every solve now starts from the start clamped
// into the box, which is the same real point.
TEST_F(ClimbSolveTest, StartFarOutsideTheBox) {
    const Fn f = [](const double* x, int) { return (x[0] - 0.3) * (x[0] - 0.3) + (x[1] - 0.6) * (x[1] - 0.6); };
    for (Method m : kMethods) {
        SCOPED_TRACE(Name(m));
        g_fn = f;
        Variable func = NativeObjective();
        std::vector<double> b = Box(2, 0, 1), s = {0.5, 0.5};
        Climb c(func, 2, b.data(), s.data(), 1e-10);
        MatVectorCol start(2);
        start[0] = 5;
        start[1] = 0.6;
        c.SetStartPoint(start);
        vrt::ClearErrors();
        RunMethod(c, m);
        EXPECT_NEAR(c.GetResult()[0], 0.3, 1e-6);
        EXPECT_TRUE(vrt::Errors().empty());
    }
}
