// Climb's solve operations: Powell's method, coordinate descent, the
// quasi-Newton runs and the combined driver, on problems with known minima
// inside the box and on its faces, with the progress window, the
// solution-not-found error and the covariance left by a solve.
#include <cmath>
#include <cstdio>
#include <memory>

#include "tests/linalg/LinalgTestUtil.h"
#include "tests/solvers/ClimbTestUtil.h"

namespace {

using namespace climb_test;

struct Method {
    const char* name;
    void (Climb::*run)();
    bool qn;  // a quasi-Newton run alone
};
const Method kMethods[] = {{"Solve", &Climb::Solve, false}, {"SolvePowell", &Climb::SolvePowell, false},
                           {"SolveDFP", &Climb::SolveDFP, true}, {"SolveBFGS", &Climb::SolveBFGS, true}};
const Method &kSolve = kMethods[0], &kPowell = kMethods[1], &kDFP = kMethods[2], &kBFGS = kMethods[3];

struct Outcome {
    Vec x;
    double f = 0.0;
    long evals = 0;
    bool error = false;  // the solution-not-found error was raised
};

double Distance(const Vec& a, const Vec& b) {
    double s = 0.0;
    for (size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(s);
}

// (x - c)' A (x - c) summed element by element (the order the seeded BFGS
// covariance case was measured with).
Fn QuadraticFn(Vec a, Vec c) {
    return [a, c](const double* x, int n) {
        double s = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s += (x[i] - c[i]) * a[i * n + j] * (x[j] - c[j]);
        return s;
    };
}

class ClimbSolveTest : public ClimbFixture {
protected:
    // Solves f over the box from start with method m.
    Outcome Run(const Method& m, const Fn& f, const Vec& bounds, const Vec& start, double eps = 1e-10) {
        Climb c = Make(f, bounds, start, eps);
        vrt::ClearErrors();
        (c.*m.run)();
        Outcome o;
        o.evals = g_calls;
        o.error = SolutionNotFound();
        o.x = ToVec(c.GetResult());
        o.f = f(o.x.data(), static_cast<int>(o.x.size()));
        vrt::ClearErrors();
        g_points.clear();
        return o;
    }
};


// Every method reaches every known minimum without an error, the
// quasi-Newton runs alone within looser tolerances: their forward-difference
// gradient errs by h f''/2 (h = 5e-8), 1e-3 and more in Rosenbrock's valley,
// so they stop near f = 1e-6. Solve on rosenbrock-2 is also the stall rule's
// reproducer (it stopped at (-0.99, 0.97), f = 3.95, no error).
TEST_F(ClimbSolveTest, KnownMinima) {
    struct Known {
        const char* name;
        Fn f;
        Vec bounds, start, minimum;
        double fMin, xTol, fTol, xTolQN, fTolQN;
    };
    const Vec c10 = {0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.3, 1.4};
    const Known problems[] = {
        {"rosenbrock-2", Rosenbrock, Box(2, -5, 5), {-1.2, 1.0}, {1.0, 1.0}, 0.0, 1e-5, 1e-10, 1e-3, 1e-7},
        {"rosenbrock-10", Rosenbrock, Box(10, -5, 5), Repeat({-1.2, 1.0}, 10), Repeat({1.0}, 10), 0.0,
         1e-3, 1e-8, 1e-2, 1e-5},
        {"quadratic-cond-1e4", QuadraticFn(IllConditioned(10), c10), Box(10, -5, 5), Repeat({0.0}, 10),
         c10, 0.0, 1e-4, 1e-10, 1e-4, 1e-10},
        // Minimum on the face x0 = 1: (1, -0.75), value 3.6875.
        {"on-a-bound",
         [](const double* x, int) { return (x[0] - 3) * (x[0] - 3) + (x[1] + 0.5) * (x[1] + 0.5) + 0.5 * x[0] * x[1]; },
         Box(2, -1, 1), {0.0, 0.0}, {1.0, -0.75}, 3.6875, 1e-6, 1e-12, 1e-6, 1e-12},
        // x1 fixed at 2 by equal bounds; the others at (1.4, -1.1)/3.75.
        {"inactive-coordinate",
         [](const double* x, int) {
             return (x[0] - 0.3) * (x[0] - 0.3) + (x[2] + 0.2) * (x[2] + 0.2) + 0.5 * x[0] * x[2] +
                    (x[1] - 1) * (x[1] - 1);
         },
         {-1, 1, 2, 2, -1, 1}, {0.0, 2.0, 0.0}, {1.4 / 3.75, 2.0, -1.1 / 3.75}, 1.13 - 1.28 / 7.5, 1e-6,
         1e-12, 1e-6, 1e-12},
        {"one-dimensional", [](const double* x, int) { return std::cosh(x[0] - 0.7); }, {-2.0, 3.0},
         {-1.5}, {0.7}, 1.0, 1e-6, 1e-12, 1e-6, 1e-12},
    };
    std::printf("%-22s %12s %12s %12s %12s   (objective evaluations)\n", "problem", "Solve",
                "SolvePowell", "SolveDFP", "SolveBFGS");
    for (const Known& k : problems) {
        std::printf("%-22s", k.name);
        for (const Method& m : kMethods) {
            SCOPED_TRACE(std::string(k.name) + " " + m.name);
            const Outcome o = Run(m, k.f, k.bounds, k.start);
            std::printf(" %12ld", o.evals);
                        EXPECT_FALSE(o.error);
            EXPECT_LT(Distance(o.x, k.minimum), m.qn ? k.xTolQN : k.xTol);
            EXPECT_LE(o.f - k.fMin, (m.qn ? k.fTolQN : k.fTol) * std::fmax(1.0, std::fabs(k.fMin)));
            EXPECT_TRUE(k.minimum.size() != 3 || o.x[1] == 2.0);  // the inactive coordinate
        }
        std::printf("\n");
    }
}

// 200 random convex quadratics (dimensions 2 to 5) whose minimum lies on
// one or more faces, tolerance 1e-10; reaching the minimum means a value
// within 1e-8 (relative above 1) of the exact constrained minimum. Solve()
// and SolvePowell() reach it or raise the error, never a wrong point
// reported as success; SolveDFP and SolveBFGS alone may stop early, and
// their rate of early stops is printed and bounded.
TEST_F(ClimbSolveTest, RandomBoxQuadratics) {
    linalg_test::Generator rnd(20261206);
    const int kCount = 200;
    int wrong[4] = {}, errors[4] = {};
    long evals[4] = {};
    for (int p = 0; p < kCount; ++p) {
        const BoxQuadratic q = RandomBoxQuadratic(rnd, 2 + p % 4);
        const BoxMinimum best = SolveBoxQuadratic(q);
        ASSERT_GE(best.activeBounds, 1);
        for (int k = 0; k < 4; ++k) {
            const Outcome o = Run(kMethods[k], [&q](const double* x, int) { return q.Value(x); }, q.bounds, q.start);
            evals[k] += o.evals;
            errors[k] += o.error;
            if (o.f - best.f > 1e-8 * std::fmax(1.0, best.f) && !o.error) {
                ++wrong[k];
                std::printf("problem %d (n = %d) %s: f %.10g, minimum %.10g\n", p, q.n, kMethods[k].name, o.f, best.f);
            }
        }
    }
    for (int k = 0; k < 4; ++k)
        std::printf("%-12s early stops %2d of %d, errors %d, mean evaluations %ld\n", kMethods[k].name, wrong[k],
                    kCount, errors[k], evals[k] / kCount);
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
    EXPECT_LE(wrong[2], 2);
    EXPECT_LE(wrong[3], 2);
}


// Powell's extrapolation moves along the unit displacement. Along the raw
// displacement d (a trial 2|d|^2 away) directions were almost never
// replaced and this problem ran into the iteration limit.
TEST_F(ClimbSolveTest, PowellReplacesDirectionsOnIllConditionedQuadratic) {
    const Vec c = Repeat({0.5, 0.7, 0.9, 1.1, 1.3}, 10);
    const Outcome o = Run(kPowell, QuadraticFn(IllConditioned(10), c), Box(10, -5, 5), Repeat({0.0}, 10));
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
    const BoxMinimum best = SolveBoxQuadratic(q);
    ASSERT_NEAR(best.f, 0.29, 1e-12);
    for (const Method& m : {kDFP, kBFGS}) {
        SCOPED_TRACE(m.name);
        const Outcome o = Run(m, [&q](const double* x, int) { return q.Value(x); }, q.bounds, {0.5, -0.5, 0.5});
        EXPECT_FALSE(o.error);
        EXPECT_LT(o.f - best.f, 1e-10);
        EXPECT_LT(Distance(o.x, best.x), 1e-6);
    }
}

// A solve that ends on a NaN value raises the error (a NaN never compares
// above the start value), also before the host initialised the module: the
// code is then fixed on first use, never 0.
TEST_F(ClimbSolveTest, NaNObjectiveRaisesSolutionNotFound) {
    const int registered = VeskModuleErrorCode;
    const std::function<void(Climb&)> solves[] = {
        [](Climb& c) { c.Solve(); },    [](Climb& c) { c.SolvePowell(); }, [](Climb& c) { c.SolveDFP(); },
        [](Climb& c) { c.SolveBFGS(); }, [](Climb& c) { c.SolvePowell(0); },
        [](Climb& c) {
            MatVectorCol steps(2);
            steps.Set(0.1);
            c.SolveByCoord(steps);
        },
    };
    for (size_t k = 0; k < std::size(solves); ++k) {
        SCOPED_TRACE(k);
        Climb c = Make([](const double*, int) { return std::nan(""); }, Box(2, -1, 1), {0.2, 0.3});
        vrt::ClearErrors();
        if (k == 0) VeskModuleErrorCode = 0;
        solves[k](c);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{registered});
    }
    EXPECT_EQ(VeskModuleErrorCode, registered);
}

// A start placed far outside the box by SetStartPoint (u = 5 here) pinned
// its coordinate at the face: no line along it met the box, and its
// difference gradient was 0. SolvePowell, SolveDFP and SolveBFGS reported
// (1, 0.6) as the solution; every solve now starts from the start clamped
// into the box, which is the same real point.
TEST_F(ClimbSolveTest, StartFarOutsideTheBox) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.name);
        Climb c = Make([](const double* x, int) { return (x[0] - 0.3) * (x[0] - 0.3) + (x[1] - 0.6) * (x[1] - 0.6); },
                       Box(2, 0, 1), {0.5, 0.5});
        MatVectorCol start = Col({5, 0.6});
        c.SetStartPoint(start);
        (c.*m.run)();
        EXPECT_NEAR(c.GetResult()[0], 0.3, 1e-6);
        EXPECT_TRUE(vrt::Errors().empty());
    }
}


// A = [[4, 1, 0.5], [1, 3, 0.2], [0.5, 0.2, 2]]: the Hessian of the
// quadratic is 2A, so the covariance 2 H^-1 after any solve is A^-1, to the
// rounding of the second differences. In the unit box the result converts
// back to the cache point exactly, so the covariance a quasi-Newton run
// leaves (condition 1e4: the run lasts more than dim iterations) is answered
// without evaluating: twice its inverse-Hessian approximation (the same
// doubling as a computed covariance; the approximation alone is half of it).
TEST_F(ClimbSolveTest, CovarianceAfterSolve) {
    struct Case { Vec a, c, box, start; bool seeded; double tol; };
    const Case plain = {{4, 1, 0.5, 1, 3, 0.2, 0.5, 0.2, 2}, {0.3, -0.4, 1.1}, Box(3, -5, 5), {2, 2, -3}, false, 1e-7};
    const Case seeded = {IllConditioned(3), {0.3, 0.55, 0.6}, Box(3, 0, 1), {0.9, 0.1, 0.2}, true, 1e-4};
    for (const Case& r : {plain, seeded})
        for (const Method& m : kMethods) {
            if (r.seeded && !m.qn) continue;
            SCOPED_TRACE(std::string(m.name) + (r.seeded ? " seeded" : ""));
            Climb climb = Make(QuadraticFn(r.a, r.c), r.box, r.start);
            (climb.*m.run)();
            MatVectorCol x(climb.GetResult());
            g_calls = 0;
            std::unique_ptr<Matrix> cov(climb.GetCovariationMatrix(x));
            ASSERT_NE(cov, nullptr);
            EXPECT_EQ(g_calls == 0, r.seeded);
            std::unique_ptr<Matrix> want(Matrix(3, 3, r.a.data()).Inverse());
            for (int i = 0; i < 9; ++i) EXPECT_NEAR((*cov)(i / 3, i % 3), (*want)(i / 3, i % 3), r.tol) << i;
        }
}

// |x0 - 0.3| + |x1 - 0.6| in the unit box: a BFGS run that restarts from the
// identity late and then ends normally. Its matrix holds no curvature and
// must not become the cached covariance (it did, and was answered without
// an evaluation): the covariance at the result is computed afresh.
TEST_F(ClimbSolveTest, NoCovarianceSeedAfterLateRestart) {
    Climb c = Make([](const double* x, int) { return std::fabs(x[0] - 0.3) + std::fabs(x[1] - 0.6); }, Box(2, 0, 1),
                   {0.05, 0.05 + 0.1});  // 0.15000000000000002
    c.SolveBFGS();
    EXPECT_TRUE(vrt::Errors().empty());
    MatVectorCol x(c.GetResult());
    g_calls = 0;
    std::unique_ptr<Matrix> cov(c.GetCovariationMatrix(x));
    EXPECT_GT(g_calls, 0);
}


// Start value (1 for Solve and SolvePowell, 30 for the quasi-Newton solves),
// the outer loop's k mod 100 on k = 0, 10, ..., the quasi-Newton counter's
// multiples of 10, and 100 with the final value's caption at the end.
TEST_F(ClimbSolveTest, ProgressMoments) {
    for (const Method& m : kMethods) {
        SCOPED_TRACE(m.name);
        Variable wnd;
        MakeWindow(wnd);
        Climb c = Make(Rosenbrock, Box(10, -5, 5), Repeat({-1.2, 1.0}, 10));
        c.SetProgressWnd(wnd);
        (c.*m.run)();
        const std::vector<int>& p = g_window.progress;
        ASSERT_GE(p.size(), 3u);
        EXPECT_EQ(p.front(), m.qn ? 30 : 1);
        EXPECT_EQ(p[1], m.qn ? 10 : 0);  // the tenth quasi-Newton iteration, or k = 0
        EXPECT_EQ(p.back(), 100);
        for (int v : p) EXPECT_TRUE(v >= 0 && v <= 100) << v;
        char caption[64];
        std::snprintf(caption, sizeof caption, "CResidue = %.10g", Rosenbrock(c.GetResult().GetData(), 10));
        EXPECT_EQ(g_window.calls[g_window.calls.size() - 2], caption);
    }
}

// A cancel at the start returns before any evaluation; a later one ends
// Solve after the iteration it arrived in, without the final report or the
// solution-not-found error, the cancel left set for the caller.
TEST_F(ClimbSolveTest, CancelFromWindow) {
    for (int cancelAt : {1, 3, 40}) {
        SCOPED_TRACE(cancelAt);
        Variable wnd;
        MakeWindow(wnd, cancelAt);
        Climb c = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1.0});
        c.SetProgressWnd(wnd);
        c.Solve();
        EXPECT_NE(Proc().GetErrorStatus(), 0);
        EXPECT_STREQ(Proc().GetErrorName(Proc().GetLastError()), "Progress window got cancel");
        EXPECT_FALSE(SolutionNotFound());
        EXPECT_NE(g_window.progress.back(), 100);
        EXPECT_LT(g_calls, cancelAt == 1 ? 1 : 2000);
        vrt::ClearErrors();
    }
}


// The iteration limit raises the error unless told not to; without a
// processor the solves that need one evaluate nothing (the result stays at
// the lower bounds).
TEST_F(ClimbSolveTest, IterationLimitAndNoProcessor) {
    for (const Method& m : {kSolve, kPowell})
        for (int raise : {1, 0}) {
            Climb c = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1.0});
            c.SetMaxItterationNumber(2);
            c.SetErrorIfMaxItterNumberExceed(raise);
            vrt::ClearErrors();
            (c.*m.run)();
            EXPECT_EQ(ErrorCodes(), raise ? std::vector<int>{VeskModuleErrorCode} : std::vector<int>{}) << m.name;
        }
    Climb c = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1.0});
    vrt::SetCurrentProcessor(nullptr);
    for (const Method& m : kMethods) (c.*m.run)();
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(ToVec(c.GetResult()), (Vec{-5, -5}));
    EXPECT_TRUE(vrt::Errors().empty());
}

// SolvePowell(0) makes exactly one Powell iteration from the start: the
// same evaluations and point as SolvePowell(dirs) with the coordinate
// directions (which the line search normalises), whatever the limit.
TEST_F(ClimbSolveTest, SinglePowellIteration) {
    Climb one = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1.0}), given(one);
    one.SetMaxItterationNumber(1000);
    one.SolvePowell(0);
    const long callsOne = g_calls;
    const Vec x = ToVec(one.GetResult());
    MatVectorCol dirs[2] = {Col({1, 0}), Col({0, 1})};
    g_calls = 0;
    given.SolvePowell(dirs);
    EXPECT_EQ(g_calls, callsOne);
    EXPECT_EQ(ToVec(given.GetResult()), x);
    EXPECT_LT(Rosenbrock(x.data(), 2), Rosenbrock(Vec{-1.2, 1.0}.data(), 2));
    EXPECT_TRUE(vrt::Errors().empty());
}

double Bowl(const double* x, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += (i + 1) * (x[i] - 0.1 * (i + 1)) * (x[i] - 0.1 * (i + 1));
    return s;
}

// At the minimum a coordinate search fails both ways and halves its step 8
// times (16 evaluations per active coordinate), or twice with a minimum step
// a quarter of the first. Elsewhere the crude descent ends within a small
// multiple of its last step; a minimum on a face, started there, stays.
TEST_F(ClimbSolveTest, CoordinateDescent) {
    const struct { Fn f; Vec bounds, start; double minStep, step; long calls; Vec expect; double tol; } rows[] = {
        {Bowl, Box(3, -1, 1), {0.1, 0.2, 0.3}, 0.0, 0.1, 1 + 3 * 16, {0.1, 0.2, 0.3}, 1e-15},
        {Bowl, {-1, 1, 0.2, 0.2, -1, 1}, {0.1, 0.2, 0.3}, 0.0, 0.1, 1 + 2 * 16, {0.1, 0.2, 0.3}, 1e-15},
        {Bowl, Box(3, -1, 1), {0.1, 0.2, 0.3}, 0.05, 0.1, 1 + 3 * 4, {0.1, 0.2, 0.3}, 1e-15},
        {Bowl, Box(3, -1, 1), {0.9, -0.8, 0.0}, 0.0, 0.1, 0, {0.1, 0.2, 0.3}, 2e-3},
        {[](const double* x, int) { return -x[0] + x[1] * x[1]; }, Box(2, -1, 1), {1.0, 0.5}, 0.0, 0.25, 0,
         {1.0, 0.0}, 1e-2},
    };
    for (const auto& r : rows) {
        const int n = static_cast<int>(r.start.size());
        Climb c = Make(r.f, r.bounds, r.start);
        if (r.minStep > 0) {
            MatVectorCol m(n);
            m.Set(r.minStep);
            c.SetMinStep(m);
        }
        MatVectorCol steps(n);
        steps.Set(r.step);
        g_calls = 0;
        c.SolveByCoord(steps);
        EXPECT_TRUE(r.calls == 0 || g_calls == r.calls) << g_calls;
        for (int i = 0; i < n; ++i) EXPECT_NEAR(c.GetResult()[i], r.expect[i], r.tol);
        EXPECT_TRUE(vrt::Errors().empty());
    }
}

}  // namespace
