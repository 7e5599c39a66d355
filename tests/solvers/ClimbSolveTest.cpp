// Climb's solve operations on known minima inside the box and on its faces; window, errors, covariance after a solve.
#include <cmath>
#include <cstdio>
#include <memory>

#include <array>
#include <map>
#include <set>

#include "tests/linalg/LinalgTestUtil.h"
#include "tests/solvers/ClimbTestUtil.h"
#include "tests/solvers/NistProblems.h"

namespace {

using namespace climb_test;

struct Method {
    const char* name;
    void (Climb::*run)();
    bool qn;  // a quasi-Newton run alone
};
const Method kMethods[] = {{"Solve", &Climb::Solve, false}, {"SolvePowell", &Climb::SolvePowell, false},
                           {"SolveDFP", &Climb::SolveDFP, true}, {"SolveBFGS", &Climb::SolveBFGS, true}};
const Method &kSolve = kMethods[0], &kPowell = kMethods[1];

struct Outcome { Vec x; double f; bool error; };  // error: solution-not-found was raised

double P(double x, double c) { return (x - c) * (x - c); }

double Distance(const Vec& a, const Vec& b) {
    double s = 0.0;
    for (size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(s);
}

// (x - c)' A (x - c) term by term: the seeded covariance case needs this rounding to run long enough.
Fn QuadraticFn(Vec a, Vec c) {
    return [a, c](const double* x, int n) {
        double s = 0.0;
        for (int i = 0; i < n * n; ++i) s += (x[i / n] - c[i / n]) * a[i] * (x[i % n] - c[i % n]);
        return s;
    };
}

class ClimbSolveTest : public ClimbFixture {
protected:
    // Solves f over the box from start (then from placed, if given, by SetStartPoint) with method m.
    Outcome Run(const Method& m, const Fn& f, const Vec& bounds, const Vec& start, const Vec& placed = {}) {
        Climb c = Make(f, bounds, start);
        MatVectorCol u = Col(placed);
        if (!placed.empty()) c.SetStartPoint(u);
        vrt::ClearErrors();
        (c.*m.run)();
        Outcome o = {ToVec(c.GetResult()), 0.0, SolutionNotFound()};
        o.f = f(o.x.data(), static_cast<int>(o.x.size()));
        vrt::ClearErrors();
        return o;
    }
};

// Every method reaches every known minimum; quasi-Newton runs alone looser (their difference gradient errs by
// 1e-3 in Rosenbrock's valley). Mends reproduced: the stall rule (Solve on rosenbrock-2 stopped at f = 3.95),
// Powell's unit extrapolation (SolvePowell hit the iteration limit on the 10-D problems), outward quasi-Newton
// components dropped at faces (SolveDFP stopped short on outward-at-faces; also the random quadratics below),
// solves start clamped into the box (from u = 5 placed by SetStartPoint three methods reported (1, 0.6)).
TEST_F(ClimbSolveTest, KnownMinima) {
    struct Known { const char* name; Fn f; Vec bounds, start, minimum; double fMin, xTol, fTol, xTolQN, fTolQN;
                   Vec placed = {}; };  // placed: a start set by SetStartPoint
    const Vec c10 = {0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.3, 1.4};
    const Known problems[] = {
        {"rosenbrock-2", Rosenbrock, Box(2, -5, 5), {-1.2, 1.0}, {1.0, 1.0}, 0.0, 1e-5, 1e-10, 1e-3, 1e-7},
        {"rosenbrock-10", Rosenbrock, Box(10, -5, 5), Repeat({-1.2, 1.0}, 10), Repeat({1.0}, 10), 0.0,
         1e-3, 1e-8, 1e-2, 1e-5},
        {"quadratic-cond-1e4", QuadraticFn(IllConditioned(10), c10), Box(10, -5, 5), Repeat({0.0}, 10),
         c10, 0.0, 1e-4, 1e-10, 1e-4, 1e-10},
        {"on-a-bound", [](const double* x, int) { return P(x[0], 3) + P(x[1], -0.5) + 0.5 * x[0] * x[1]; }, Box(2, -1, 1),
         {0.0, 0.0}, {1.0, -0.75}, 3.6875, 1e-6, 1e-12, 1e-6, 1e-12},
        {"inactive-coordinate",  // x1 fixed at 2 by equal bounds
         [](const double* x, int) { return P(x[0], 0.3) + P(x[2], -0.2) + 0.5 * x[0] * x[2] + P(x[1], 1); },
         {-1, 1, 2, 2, -1, 1}, {0.0, 2.0, 0.0}, {1.4 / 3.75, 2.0, -1.1 / 3.75}, 1.13 - 1.28 / 7.5, 1e-6,
         1e-12, 1e-6, 1e-12},
        {"outward-at-faces", QuadraticFn({1, 0.6, 0, 0.6, 1, 0.6, 0, 0.6, 1}, {-0.5, -2, 0.2}), Box(3, -1, 1),
         {0.5, -0.5, 0.5}, {-1, -1, -0.4}, 0.29, 1e-6, 1e-10, 1e-6, 1e-10},
        {"start-far-outside", [](const double* x, int) { return P(x[0], 0.3) + P(x[1], 0.6); }, Box(2, 0, 1),
         {0.5, 0.5}, {0.3, 0.6}, 0.0, 1e-6, 1e-10, 1e-6, 1e-10, {5, 0.6}},
        {"one-dimensional", [](const double* x, int) { return std::cosh(x[0] - 0.7); }, {-2.0, 3.0},
         {-1.5}, {0.7}, 1.0, 1e-6, 1e-12, 1e-6, 1e-12},
    };
    for (const Known& k : problems)
        for (const Method& m : kMethods) {
            SCOPED_TRACE(std::string(k.name) + " " + m.name);
            const Outcome o = Run(m, k.f, k.bounds, k.start, k.placed);
            EXPECT_FALSE(o.error);
            EXPECT_LT(Distance(o.x, k.minimum), m.qn ? k.xTolQN : k.xTol);
            EXPECT_LE(o.f - k.fMin, (m.qn ? k.fTolQN : k.fTol) * std::fmax(1.0, std::fabs(k.fMin)));
            EXPECT_TRUE(k.bounds.size() < 4 || k.bounds[2] != k.bounds[3] || o.x[1] == 2.0);  // an inactive x1
        }
}

// 200 random quadratics (n = 2 to 5) with the minimum on faces: Solve and SolvePowell reach it within 1e-8
// or raise the error; the quasi-Newton runs alone may stop early, rarely (their rate is printed).
TEST_F(ClimbSolveTest, RandomBoxQuadratics) {
    linalg_test::Generator rnd(20261206);
    const int kCount = 200;
    int wrong[4] = {}, errors[4] = {};
    for (int p = 0; p < kCount; ++p) {
        const BoxQuadratic q = RandomBoxQuadratic(rnd, 2 + p % 4);
        const Vec best = SolveBoxQuadratic(q);
        const double fMin = q.Value(best.data());
        for (int k = 0; k < 4; ++k) {
            const Outcome o = Run(kMethods[k], [&q](const double* x, int) { return q.Value(x); }, q.bounds, q.start);
            errors[k] += o.error;
            if (o.f - fMin > 1e-8 * std::fmax(1.0, fMin) && !o.error) {
                ++wrong[k];
                std::printf("problem %d (n = %d) %s: f %.10g, minimum %.10g\n", p, q.n, kMethods[k].name, o.f, fMin);
            }
        }
    }
    for (int k = 0; k < 4; ++k)
        std::printf("%-12s early stops %2d of %d, errors %d\n", kMethods[k].name, wrong[k], kCount, errors[k]);
    EXPECT_EQ(wrong[0] + wrong[1], 0);
    EXPECT_LE(std::max(wrong[2], wrong[3]), 2);
}

// Mend: a solve ending on NaN raises the error, also before the module was initialised (code fixed on first use).
TEST_F(ClimbSolveTest, NaNObjectiveRaisesSolutionNotFound) {
    const int registered = VeskModuleErrorCode;
    const std::function<void(Climb&)> solves[] = {
        [](Climb& c) { c.Solve(); }, [](Climb& c) { c.SolvePowell(); }, [](Climb& c) { c.SolveDFP(); },
        [](Climb& c) { c.SolveBFGS(); }, [](Climb& c) { c.SolvePowell(0); },
        [](Climb& c) { MatVectorCol steps = Col({0.1, 0.1}); c.SolveByCoord(steps); }};
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

// 2 H^-1 = A^-1 after any solve: computed (rounding of second differences), or seeded without evaluations by a
// long quasi-Newton run (twice its inverse-Hessian approximation; in the unit box the result maps back exactly).
// The seeded run ends 5e-10 above the minimum and a Newton step goes on from there: the seed moves with the point.
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

// Mend: after a late BFGS restart the identity holds no curvature and is no covariance seed (it was answered).
TEST_F(ClimbSolveTest, NoCovarianceSeedAfterLateRestart) {
    Climb c = Make([](const double* x, int) { return std::fabs(x[0] - 0.3) + std::fabs(x[1] - 0.6); }, Box(2, 0, 1),
                   {0.05, 0.05 + 0.1});  // 0.15000000000000002
    c.SolveBFGS();
    EXPECT_TRUE(vrt::Errors().empty());
    MatVectorCol x(c.GetResult());
    g_calls = 0;
    delete c.GetCovariationMatrix(x);
    EXPECT_GT(g_calls, 0);
}

// Progress: 1 (or 30 for quasi-Newton), then k mod 100 every 10 iterations, 100 with the final caption. A cancel
// ends Solve (at once, or after its iteration) without final report or error, and stays set for the caller.
TEST_F(ClimbSolveTest, ProgressAndCancel) {
    const struct { const Method& m; int n, cancelAt; } rows[] = {
        {kMethods[0], 10, 0}, {kMethods[1], 10, 0}, {kMethods[2], 10, 0}, {kMethods[3], 10, 0},
        {kSolve, 2, 1},       {kSolve, 2, 3},       {kSolve, 2, 40},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.m.name) + " cancel at " + std::to_string(r.cancelAt));
        Variable wnd;
        MakeWindow(wnd, r.cancelAt);
        Climb c = Make(Rosenbrock, Box(r.n, -5, 5), Repeat({-1.2, 1.0}, r.n));
        c.SetProgressWnd(wnd);
        (c.*r.m.run)();
        const std::vector<int>& p = g_window.progress;
        if (r.cancelAt > 0) {
            EXPECT_STREQ(Proc().GetErrorName(Proc().GetLastError()), "Progress window got cancel");
            EXPECT_TRUE(Proc().GetErrorStatus() != 0 && !SolutionNotFound() && p.back() != 100);
            EXPECT_LT(g_calls, r.cancelAt == 1 ? 1 : 2000);
            vrt::ClearErrors();
            continue;
        }
        ASSERT_GE(p.size(), 3u);
        EXPECT_EQ(p.front(), r.m.qn ? 30 : 1);
        EXPECT_EQ(p[1], r.m.qn ? 10 : 0);  // the tenth quasi-Newton iteration, or k = 0
        EXPECT_EQ(p.back(), 100);
        for (int v : p) EXPECT_TRUE(v >= 0 && v <= 100) << v;
        char caption[64];
        std::snprintf(caption, sizeof caption, "CResidue = %.10g", Rosenbrock(c.GetResult().GetData(), 10));
        EXPECT_EQ(g_window.calls[g_window.calls.size() - 2], caption);
    }
}

// The iteration limit raises the error unless told not to; without a processor nothing is evaluated.
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

// SolvePowell(0) is one iteration, the same as SolvePowell(dirs) with the coordinate directions.
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

double Bowl(const double* x, int) { return P(x[0], 0.1) + 2 * P(x[1], 0.2) + 3 * P(x[2], 0.3); }

// At the minimum each active coordinate fails both ways over 8 halvings (16 calls; 4 with a quarter minimum
// step); elsewhere the descent ends within a few of its last steps; a minimum on a face stays.
TEST_F(ClimbSolveTest, CoordinateDescent) {
    const struct { Fn f; Vec bounds, start; double minStep, step; long calls; Vec expect; double tol; } rows[] = {
        {Bowl, Box(3, -1, 1), {0.1, 0.2, 0.3}, 0.0, 0.1, 1 + 3 * 16, {0.1, 0.2, 0.3}, 1e-15},
        {Bowl, {-1, 1, 0.2, 0.2, -1, 1}, {0.1, 0.2, 0.3}, 0.0, 0.1, 1 + 2 * 16, {0.1, 0.2, 0.3}, 1e-15},
        {Bowl, Box(3, -1, 1), {0.1, 0.2, 0.3}, 0.05, 0.1, 1 + 3 * 4, {0.1, 0.2, 0.3}, 1e-15},
        {Bowl, Box(3, -1, 1), {0.9, -0.8, 0.0}, 0.0, 0.1, 0, {0.1, 0.2, 0.3}, 2e-3},
        {[](const double* x, int) { return -x[0] + x[1] * x[1]; }, Box(2, -1, 1), {1, 0.5}, 0, 0.25, 0, {1, 0}, 1e-2},
    };
    for (const auto& r : rows) {
        const int n = static_cast<int>(r.start.size());
        Climb c = Make(r.f, r.bounds, r.start);
        MatVectorCol m = Col(Vec(n, r.minStep)), steps = Col(Vec(n, r.step));
        if (r.minStep > 0) c.SetMinStep(m);
        g_calls = 0;
        c.SolveByCoord(steps);
        EXPECT_TRUE(r.calls == 0 || g_calls == r.calls) << g_calls;
        for (int i = 0; i < n; ++i) EXPECT_NEAR(c.GetResult()[i], r.expect[i], r.tol);
        EXPECT_TRUE(vrt::Errors().empty());
    }
}

}  // namespace

namespace {

// The end test raises no false alarm: minima inside, on a face and at a corner, for objectives of size 1e-8, 1 and 1e8
// (scaled bowls with a cross term, x1 in [-1, 1], x2 in [0, 2]).
TEST_F(ClimbSolveTest, EndTestAtInteriorFaceAndCornerMinima) {
    const struct { const char* name; Vec centre, minimum; } kinds[] = {
        {"interior", {0.3, 0.7}, {0.3, 0.7}}, {"face", {1.4, 0.7}, {1.0, 0.7 + 0.25 * 0.4}}, {"corner", {1.5, -0.5}, {1.0, 0.0}}};
    for (const auto& k : kinds)
        for (double scale : {1e-8, 1.0, 1e8})
            for (const Method& m : kMethods) {
                SCOPED_TRACE(std::string(k.name) + " " + m.name + " scale " + std::to_string(scale));
                const Vec c = k.centre;
                const Fn f = [c, scale](const double* x, int) {
                    return scale * (1 + P(x[0], c[0]) + 2 * P(x[1], c[1]) + (x[0] - c[0]) * (x[1] - c[1]));
                };
                const Outcome o = Run(m, f, {-1, 1, 0, 2}, {-0.8, 1.9});
                EXPECT_FALSE(o.error);
                EXPECT_LT(Distance(o.x, k.minimum), scale < 1e-4 ? 1e-1 : 1e-4);
            }
}

// Mend: SolveDFP and SolveBFGS stopping at their iteration cap reported success (f = 4.1 after 2 iterations).
TEST_F(ClimbSolveTest, QuasiNewtonIterationCapRaises) {
    for (bool dfp : {true, false}) {
        Climb c = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1.0});
        vrt::ClearErrors();
        dfp ? c.SolveDFP(2) : c.SolveBFGS(2);
        EXPECT_TRUE(SolutionNotFound()) << dfp;
        vrt::ClearErrors();
    }
}

// Mend: SolveDFP() and SolveBFGS() (default budget) that ran into their iteration cap ended with the error where the
// Newton check from the capped point reaches the minimum. An exponential rise with a rate of 5.5e-4 in a box 1e5 wide
// (the Misra1a form, exact data): the forward-difference gradient is too coarse for the rate, and the runs crawl.
// Before, both ended at the cap with the error, the rate 56 % (SolveDFP) and 6 % (SolveBFGS) off.
TEST_F(ClimbSolveTest, QuasiNewtonDefaultCapEndsWithTheEndTest) {
    const Vec truth = {240.0, 5.5e-4};
    const Fn rss = [truth](const double* b, int) {
        double s = 0.0;
        for (int i = 1; i <= 8; ++i) {
            const double x = 100.0 * i;
            const double r = truth[0] * (1 - std::exp(-truth[1] * x)) - b[0] * (1 - std::exp(-b[1] * x));
            s += r * r;
        }
        return s;
    };
    const Vec start = {500.0, 1e-4};
    const double w = 100 * 500.0 + 10;
    for (int k = 2; k < 4; ++k) {
        const Outcome o = Run(kMethods[k], rss, {start[0] - w, start[0] + w, start[1] - w, start[1] + w}, start);
        EXPECT_TRUE(o.error || (std::fabs(o.x[1] / truth[1] - 1) < 1e-4)) << kMethods[k].name << " silent, b2 " << o.x[1];
        EXPECT_FALSE(o.error) << kMethods[k].name << " b2 " << o.x[1] << " f " << o.f;
    }
}

// Mend: an objective that is +inf wherever the solve looks ended there without the error (the end test's tolerance
// became inf - inf = NaN, which no sample fell below).
TEST_F(ClimbSolveTest, InfiniteEndValueRaises) {
    for (const Method& m : kMethods) {
        const Outcome o = Run(m, [](const double*, int) { return HUGE_VAL; }, Box(2, -1, 1), {0.5, -0.5});
        EXPECT_TRUE(o.error) << m.name;
    }
}

// Mend: a quasi-Newton run started on a plateau (the objective saturates: exactly 1 around the start) ended there
// without the error, the difference gradient being 0; no sample of the end test changes f, so it is no minimum. The
// same when only x1 saturates: the runs solved x0 and ended silently at f = 1 (a coordinate without effect at the end
// point fails the quasi-Newton end test).
TEST_F(ClimbSolveTest, QuasiNewtonOnAPlateauRaises) {
    const Fn saturated[] = {[](const double* x, int) { return std::fmin(1.0, P(x[0], 0.3) + P(x[1], 0.6)); },
                            [](const double* x, int) { return P(x[0], 0.3) + std::fmin(1.0, P(x[1], 0.6)); }};
    for (const Fn& f : saturated)
        for (const Method& m : {kMethods[2], kMethods[3]}) {
            const Outcome o = Run(m, f, Box(2, -1, 1), {0.9, -0.9});
            EXPECT_TRUE(o.error || o.f < 1e-6) << m.name << " f = " << o.f;
        }
}

// Mend: flat curved valleys. The end point passed the first-order test (no coordinate sample lower by the value
// tolerance) although a Newton step lowers f by far more: Solve ended without the error at x0 = 1.997 and 1.961 on
// the first valley (minimum (2, 4), f 9e-8 and 1.5e-5 relatively above the minimum value), at 1.13 on the flatter
// second (7e-5 above), the quasi-Newton runs at 0.33 and 0.62 (2e-4 above). Now every run ends within 100 eps of
// the minimum value (the first-order test's tolerance) or with the error.
TEST_F(ClimbSolveTest, NewtonCheckInFlatCurvedValleys) {
    const Fn first = [](const double* x, int) { return 1e3 * (1 + 100 * P(x[1], x[0] * x[0]) + 1e-2 * P(x[0], 2)); };
    const Fn flatter = [](const double* x, int) { return 1 + 100 * P(x[1], x[0] * x[0]) + 1e-4 * P(x[0], 2); };
    const struct { const Fn& f; double fMin, width; } rows[] = {
        {first, 1e3, 100}, {first, 1e3, 1000}, {flatter, 1, 10}, {flatter, 1, 1000}};
    for (const auto& r : rows)
        for (const Method& m : kMethods) {
            const Outcome o = Run(m, r.f, Box(2, -r.width, r.width), {-1.5, 2.25});
            EXPECT_TRUE(o.error || o.f - r.fMin <= 1e-8 * r.fMin)
                << m.name << " box " << r.width << ": x0 = " << o.x[0];
        }
}

// The Newton check demands a gain of 10 eps |f| down to |f| = 1e-4: a run that stops 2e-9 of f above a minimum of
// value 2.6e-4 in a flat direction (x0 off by 7e-5) is polished there; with the floor 1e-3 it ended silently.
TEST_F(ClimbSolveTest, NewtonCheckAtASmallResidualSum) {
    const Fn flat = [](const double* x, int) { return 2.6e-4 + 1e-4 * P(x[0], 0.3) + P(x[1], 0.6); };
    for (const Method& m : kMethods) {
        const Outcome o = Run(m, flat, Box(2, -1, 1), {0.3 + 7e-5, 0.6});
        EXPECT_TRUE(o.error || std::fabs(o.x[0] - 0.3) < 1e-5) << m.name << ": x0 = " << o.x[0];
    }
}

// Mend: NaN on part of the box. The line search bisected through the NaN samples to the face and ended there; a NaN
// component of a difference gradient ended the quasi-Newton run silently (every 7th value NaN: f = 4.13).
TEST_F(ClimbSolveTest, NaNRegionsBoundTheSearch) {
    // sqrt(x0 + 0.9): NaN below x0 = -0.9, the minimum (-0.80079..., 0.2) inside (mpmath).
    const Fn wall = [](const double* x, int) { return P(x[0], -0.8) + P(x[1], 0.2) + 1e-3 * std::sqrt(x[0] + 0.9); };
    for (const Method& m : kMethods) {
        const Outcome o = Run(m, wall, Box(2, -1, 1), {0.5, -0.5});
        EXPECT_LT(Distance(o.x, {-0.8007937256929449, 0.2}), 1e-6) << m.name;
        EXPECT_FALSE(std::isnan(o.f)) << m.name;
    }
    for (const Method& m : {kMethods[2], kMethods[3]}) {
        long calls = 0;
        const Outcome o = Run(m, [&calls](const double* x, int n) { return ++calls % 7 == 0 ? std::nan("") : Rosenbrock(x, n); },
                              Box(2, -5, 5), {-1.2, 1.0});
        EXPECT_TRUE(o.error || o.f < 1e-6) << m.name << " f = " << o.f;
    }
}

// Mend: an exception from a native objective left the tolerance loosened (the next Solve ended at (0.99994, 0.99987))
// and a partial Hessian of another point in the cache.
TEST_F(ClimbSolveTest, ExceptionsLeaveTheMinimizerUsable) {
    struct Thrown {};
    long throwAt = 0;
    const Fn rosen = [&throwAt](const double* x, int n) {
        if (g_calls == throwAt) throw Thrown{};
        return Rosenbrock(x, n);
    };
    Climb fresh = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1.0});
    fresh.Solve();
    const Vec want = ToVec(fresh.GetResult());
    Climb c = Make(rosen, Box(2, -5, 5), {-1.2, 1.0});
    throwAt = 30;  // inside the coarse pass
    EXPECT_THROW(c.Solve(), Thrown);
    throwAt = 0;
    c.Solve();
    EXPECT_EQ(ToVec(c.GetResult()), want);

    MatVectorCol a = Col({0.5, 0.5}), b = Col({-1, 2});
    std::unique_ptr<Matrix> ha(c.GetHessian(a));
    throwAt = g_calls + 9;  // in the second row, after the first was stored
    EXPECT_THROW(delete c.GetHessian(b), Thrown);
    throwAt = 0;
    std::unique_ptr<Matrix> again(c.GetHessian(a));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Flat(again.get(), 2), Flat(ha.get(), 2));
}

// Mends: bounds whose width overflows froze their coordinate at -1e308 (f = inf, no error); a NaN tolerance was
// accepted (the solves stopped after 25 evaluations); Hessian and covariance at a NaN or infinite point answered
// garbage. Each is error 3 now, and nothing is solved or answered.
TEST_F(ClimbSolveTest, UnusableInputIsRefused) {
    const double kBig = 1e308, kNaN = std::nan(""), kInf = HUGE_VAL;
    const struct { Vec bounds; double eps; } problems[] = {{{-kBig, kBig, -1, 1}, 1e-10}, {Box(2, -1, 1), kNaN}};
    for (const auto& p : problems) {
        vrt::ClearErrors();
        Climb c = Make([](const double* x, int) { return P(x[0], 0.3) + P(x[1], 0.2); }, p.bounds, {0.1, 0.1}, p.eps);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
        for (const Method& m : kMethods) {
            vrt::ClearErrors();
            (c.*m.run)();
            EXPECT_EQ(ErrorCodes(), std::vector<int>{3}) << m.name;
        }
        EXPECT_EQ(g_calls, 0);
    }
    Climb c = Make([](const double* x, int) { return P(x[0], 0.3) + P(x[1], 0.2); }, Box(2, -1, 1), {0.1, 0.1});
    for (const Vec& x : {Vec{kNaN, 0}, Vec{0, kInf}, Vec{-kInf, 0}}) {
        MatVectorCol p = Col(x);
        vrt::ClearErrors();
        EXPECT_EQ(c.GetHessian(p), nullptr);
        EXPECT_EQ(c.GetCovariationMatrix(p), nullptr);
        EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
    }
    EXPECT_EQ(g_calls, 0);
}

}  // namespace

namespace {

// The nine certified regression problems from both starts (residual sum of squares, box start +- (100 max|start| +
// 10), eps 1e-10): a run that ends without the error reaches LRE 4, except the listed runs. Those end at points no
// local test can tell from a minimum: on Lanczos3 where two of the three exponential terms have merged (equal rates;
// the Hessian is singular there and no sample nearby is lower; SolveDFP from start 2 ends there silently with the C
// library of mingw-w64, elsewhere with the error), and SolveDFP on Thurber from start 2 in a local minimum (f = 15251,
// certified 5642.7). No run that reaches LRE 4 raises the error. Before the first-order end test 34 of these 47 runs
// were silent, before the Newton check 12: MGH09 and Rat43, ending in flat curved valleys a few digits short, the
// quasi-Newton runs on Rat43 from start 1, where three parameters no longer change the model, and the other runs on
// Lanczos3, which the Newton polish now takes to a merged point that does not count as solved (its Hessian is not
// positive definite). The runs that cost more than 500,000 residual terms (evaluations times observations; all 72
// take 60 times as much) are left to bench_climb_solve: the test also runs under qemu, where they take minutes.
TEST_F(ClimbSolveTest, CertifiedRegressionsEndWithTheErrorOrSolved) {
    const std::set<std::string> known = {"SolvePowell Lanczos3/1", "SolveDFP Lanczos3/2", "SolveDFP Thurber/2"};
    // The starts run per problem, for Solve, SolvePowell, SolveDFP and SolveBFGS.
    const std::map<std::string, std::array<const char*, 4>> plan = {
        {"Misra1a", {"12", "12", "2", ""}},   {"Chwirut2", {"12", "12", "12", "12"}}, {"DanWood", {"12", "12", "12", "12"}},
        {"Lanczos3", {"12", "12", "12", "12"}}, {"Gauss1", {"", "", "", "1"}},       {"MGH09", {"12", "2", "12", "12"}},
        {"Thurber", {"", "", "2", "12"}},     {"Rat43", {"1", "12", "12", "12"}}};
    const int minReached[4] = {9, 9, 6, 7};
    g_record = false;
    for (int k = 0; k < 4; ++k) {
        const Method& m = kMethods[k];
        int reached = 0;
        for (const nist::Entry& e : nist::Problems()) {
            const auto starts = plan.find(e.name);
            if (starts == plan.end()) continue;
            const nist::Problem pr = nist::Load(VESK_TEST_DATA_DIR "/nist", e);
            ASSERT_FALSE(pr.name.empty()) << e.name;
            for (const char* c = starts->second[k]; *c != 0; ++c) {
                const int s = *c - '1';
                const std::string run = std::string(m.name) + " " + pr.name + "/" + *c;
                double big = 0;
                for (double v : pr.start[s]) big = std::max(big, std::fabs(v));
                Vec box;
                for (double v : pr.start[s]) box.push_back(v - (100 * big + 10)), box.push_back(v + (100 * big + 10));
                const Outcome o = Run(m, [&pr](const double* x, int) { return pr.Rss(x); }, box, pr.start[s]);
                const double lre = nist::MinLre(o.x.data(), pr.certified);
                reached += lre >= 4;
                EXPECT_TRUE(o.error || lre >= 4 || known.count(run)) << run << ": silent at LRE " << lre;
                EXPECT_TRUE(!o.error || lre < 4) << run << ": false alarm at LRE " << lre;
            }
        }
        EXPECT_GE(reached, minReached[k]) << m.name;
    }
}

}  // namespace
