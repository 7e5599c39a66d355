// The minimizer below its solves: problem set-up, objectives, window, trace, derivatives, covariance, line search.
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "tests/solvers/ClimbTestUtil.h"

// Reaches the members that no public operation exposes on its own.
struct ClimbTestAccess {
    static MatVectorCol& Current(Climb& c) { return c.current; }
    static MatVectorCol& NormStart(Climb& c) { return c.normStart; }
    static MatVectorCol* Directions(Climb& c) { return c.directions; }
    static Variable& Window(Climb& c) { return c.progressWnd; }
    static double Line(Climb& c, double f0, MatVectorCol& d, int given) { return c.FindMiniumByDirection(f0, d, given); }
    static void Ort(Climb& c, MatVector& u, MatVector& d, double& lo, double& hi) { c.GetOrtBoundaries(u, d, lo, hi); }
    static double At(Climb& c, MatVectorCol& u) { return c.FuncAt(u); }
    static double Derivative(Climb& c, MatVectorCol& u, int i) { return c.GetDerivative(u, i); }
    static double Derivative2(Climb& c, MatVectorCol& u, int i, int j) { return c.GetDerivative2(u, i, j); }
    static void Gradient(Climb& c, MatVectorCol& g, MatVectorCol& u) { c.GetGradient(g, u); }
    static int Start(Climb& c, int percent) { return c.ProgressStart(percent); }
    static int Report(Climb& c, int percent, double r) { return c.ProgressReport(percent, r); }
    static long CubicSkips() { return Climb::cubicSkipCount; }
};

namespace {

using namespace climb_test;
using A = ClimbTestAccess;
using ClimbTest = ClimbFixture;
const double kNaN = std::nan(""), kInf = std::numeric_limits<double>::infinity();

double P(double x) { return (x - 0.3) * (x - 0.3); }
double Parabola(const double* x, int) { return P(x[0]); }

// Searches along d from the normalised point u; answers the value found.
double Search(Climb& c, const Vec& u, const Vec& d, int given = 0) {
    A::Current(c) = Col(u);
    MatVectorCol dir = Col(d);
    return A::Line(c, A::At(c, A::Current(c)), dir, given);
}

TEST_F(ClimbTest, ProblemAndCoordinates) {
    Climb c = Make(Parabola, {-1, 3, 2, 2, 0, 10}, {5, 2, -1});
    EXPECT_EQ(MatVector::GetDefaultSize(), 3);
    EXPECT_EQ(ToVec(A::NormStart(c)), (Vec{1, 0, 0}));     // clamped into the box
    EXPECT_EQ(ToVec(c.GetResult()), (Vec{-1, 2, 0}));      // lower bounds before a solve
    MatVectorCol u = Col({1, 0.7, 0.5}), start = Col({5, 2, 2.5});
    EXPECT_EQ(ToVec(c.ScaleResult(u)), (Vec{3, 2, 5}));    // inactive: lo whatever u holds
    c.SetStartPoint(start);
    EXPECT_EQ(ToVec(A::NormStart(c)), (Vec{1.5, 0, 0.25}));  // not clamped
    // Wrong lengths, NaN, a negative dimension, missing arrays, infinite bounds: error 3, nothing changed.
    MatVectorCol two = Col({1, 2}), bad = Col({0, 2, kNaN});
    c.SetMinStep(two);
    c.SetMaxStep(two);
    c.SetStartPoint(two);
    c.SetStartPoint(bad);
    EXPECT_EQ(ToVec(A::NormStart(c)), (Vec{1.5, 0, 0.25}));
    Variable f = Objective(false);
    double b[2] = {0, kInf}, s0[1] = {0};
    EXPECT_EQ(Climb(f, -1, b, s0, 1e-6).GetDimension(), 0);
    EXPECT_EQ(Climb(f, 1, nullptr, s0, 1e-6).GetDimension(), 0);
    EXPECT_EQ(Climb(f, 1, b, s0, 1e-6).GetDimension(), 1);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3, 3, 3, 3, 3, 3}));
    vrt::ClearErrors();
    // Mends: u = 1 went one rounding step beyond hi; a short point was read past its end.
    const double lo = -2.015774780009839, hi = -1.1594517943003406;
    ASSERT_GT(1 / (1 / (hi - lo)) + lo, hi);  // the conversion as written
    c = Make(Parabola, {lo, hi, hi, lo}, {lo, lo});  // either order of the bounds
    u = Col({1, 1});
    EXPECT_EQ(ToVec(c.ScaleResult(u)), (Vec{hi, lo}));
    u = Col({0, kNaN});
    EXPECT_EQ(ToVec(c.ScaleResult(u)), (Vec{lo, hi}));  // NaN goes to the first bound
    MatVectorCol one = Col({0.5});
    EXPECT_EQ(ToVec(c.ScaleResult(one)), (Vec{lo, hi}));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3}));
}

TEST_F(ClimbTest, CopiesOwnTheirDirectionsAndShareTheWindow) {
    Variable wnd;
    MakeWindow(wnd);
    Climb a = Make(Parabola, {0, 1, 0, 2}, {0.5, 1}), d = Make(Parabola, Box(3, 0, 1), {0, 0, 0});
    a.SetProgressWnd(wnd);
    A::Directions(a)[1][0] = 7;
    Climb b(a);
    A::Directions(b)[1][0] = 9;
    d = b;  // other dimension: the set is rebuilt
    d = d;
    EXPECT_EQ(A::Directions(a)[1][0], 7);
    EXPECT_EQ(A::Directions(d)[1][0], 9);
    EXPECT_EQ(A::Directions(d)[0].Len(), 2);
    EXPECT_EQ(&A::Window(b).Deref(), &wnd);
    EXPECT_EQ(&A::Window(d).Deref(), &wnd);
    EXPECT_STREQ(wnd.GetClass()->GetName(), "TestWindow");  // never written through
}

double Shifted(MatVector& x, Variable& extra) { return x[0] - static_cast<double>(extra); }

TEST_F(ClimbTest, NativeAndScriptObjectivesAgree) {
    std::vector<Vec> points[2];
    for (int script = 0; script < 2; ++script) {
        Climb c = Make([](const double* x, int) { return std::pow(x[0] - 0.3, 2) + 3 * std::pow(x[1] + 0.2, 4) + x[0] * x[1]; },
                       {-1, 1, -1, 2}, {0.9, 1.5}, 1e-9, script == 1);
        const double f = Search(c, {0.9, 0.8}, {-1, -0.5});
        EXPECT_LT(f, g_fn(g_points[0].data(), 2));
        points[script] = g_points;
    }
    EXPECT_EQ(points[0], points[1]);
    // The extra parameter arrives by reference, the stored copy.
    Variable shifted, extra(0.25);
    vrt::MakeNativeFunction(shifted, reinterpret_cast<void*>(Shifted));
    double b1[2] = {0, 1}, s1[1] = {0.5};
    Climb n(shifted, 1, b1, s1, 1e-9);
    n.SetExtraParam(extra);
    extra = 5.0;
    MatVectorCol u = Col({1});
    EXPECT_EQ(A::At(n, u), 0.75);
}

// Derivative functions, native (direct) and script (point, indices, extra).
double Deriv(MatVectorCol& x, int i, Variable&) { return i == 0 ? 2 * x[0] : 3 * x[1] * x[1]; }
double Deriv2(MatVectorCol& x, int i, int j, Variable&) { return i == 0 && j == 0 ? 2 : (i == 1 && j == 1 ? 6 * x[1] : 0.5); }

TEST_F(ClimbTest, DerivativeFunctionsNativeAndScript) {
    int calls = 0;
    Variable fn[2], fs[2];
    vrt::MakeNativeFunction(fn[0], reinterpret_cast<void*>(Deriv));
    vrt::MakeNativeFunction(fn[1], reinterpret_cast<void*>(Deriv2));
    for (int k = 1; k <= 2; ++k)
        vrt::MakeScriptFunction(fs[k - 1], [k, &calls](VarRegister& r, VarRegister* args, int n) {
            ASSERT_EQ(n, 2 + k);
            ASSERT_TRUE(args[1 + k].IsRef());
            MatVectorCol x(args[0].GetVar());
            ++calls;
            Variable& e = args[1 + k].GetVar();
            r = k == 1 ? Deriv(x, static_cast<int>(args[1]), e) : Deriv2(x, static_cast<int>(args[1]), static_cast<int>(args[2]), e);
        });
    for (Variable* f : {fn, fs}) {
        Climb c = Make(Parabola, {-1, 1, 0, 4}, {0, 1});  // widths 2 and 4
        c.SetDerivFunc(f[0]);
        c.SetDeriv2Func(f[1]);
        MatVectorCol u = Col({0.75, 0.5}), g(2), x = Col({0.5, 2});
        EXPECT_EQ(A::Derivative2(c, u, 1, 1), 12.0 * 16);
        A::Gradient(c, g, u);
        EXPECT_EQ(ToVec(g), (Vec{2, 48}));
        std::unique_ptr<Matrix> h(c.GetHessian(x));
        EXPECT_EQ(Flat(h.get(), 2), (Vec{2, 0.5, 0.5, 12}));
        // Within 2 eps of a face a component whose descent leaves the box is dropped.
        u = Col({1, 1e-12});
        A::Gradient(c, g, u);
        EXPECT_EQ(ToVec(g), (Vec{4, 0}));
    }
    EXPECT_EQ(calls, 1 + 3 + 2 + 2);
    EXPECT_EQ(g_calls, 0);  // the objective was never needed
}

TEST_F(ClimbTest, WithoutProcessor) {
    Climb script = Make(Parabola, {0, 1}, {0.5}, 1e-9, true), native = Make(Parabola, {0, 1}, {0.5});
    script.SetSilent(0);
    vrt::SetCurrentProcessor(nullptr);
    MatVectorCol u = Col({0.5}), d = Col({1});
    EXPECT_EQ(A::At(script, u), 0.0);
    EXPECT_EQ(A::At(native, u), P(0.5));  // a native objective needs no processor
    EXPECT_EQ(A::Line(native, P(0.5), d, 0), 0.0);
    vrt::SetCurrentProcessor(&Proc());
    vrt::SetConnectorAvailable(false);
    EXPECT_EQ(A::At(script, u), 0.0);
    EXPECT_EQ(g_calls, 1);
    EXPECT_TRUE(out.empty() && vrt::Errors().empty());
}

TEST_F(ClimbTest, ProgressWindowAndTrace) {
    Variable wnd;
    MakeWindow(wnd);
    Climb c = Make(Parabola, {0, 1}, {0.5});
    // Without a window nothing is called and the error status is not read.
    VeskError(3);
    EXPECT_EQ(A::Start(c, 30), 0);
    EXPECT_EQ(A::Report(c, 30, 1), 0);
    EXPECT_TRUE(g_window.calls.empty());
    c.SetProgressWnd(wnd);
    EXPECT_NE(A::Start(c, 30), 0);
    vrt::ClearErrors();
    EXPECT_EQ(A::Report(c, 10, 1.234567890123), 0);
    EXPECT_EQ(g_window.calls, (std::vector<std::string>{"P30", "X", "P10", "CResidue = 1.23456789", "X"}));
    // The line search flushes idle work at entry and on passes 1, 11, ..., then asks the window itself.
    g_window.calls.clear();
    const long flushes = vrt::FlushIdleCount();
    Search(c, {0.9}, {-1});
    const long checks = static_cast<long>(g_window.calls.size());
    EXPECT_GE(checks, 2);
    EXPECT_EQ(g_window.calls, std::vector<std::string>(checks, "X"));
    EXPECT_EQ(vrt::FlushIdleCount() - flushes, 1 + checks);
    EXPECT_EQ(g_window.checkedSelf, &wnd);
    // The trace: silent by default, else at the end of every line search.
    c = Make([](const double* x, int) { return (x[0] - 1) * (x[0] - 1) + 1.5; }, {0, 2, 0, 4}, {0.5, 1});
    Search(c, {0.25, 0.25}, {1, 0});
    EXPECT_TRUE(out.empty());
    c.SetSilent(0);
    const double f = Search(c, {0.25, 0.25}, {1, 0});
    char expect[128];
    std::snprintf(expect, sizeof expect, "%g 0.25 \r\nResidue = %g\r\n", A::Current(c)[0], f);
    EXPECT_EQ(out, expect);
}

// Mend: a cancel answers the unmoved point's value (was 0.0); the cancel stays set, nothing traced.
TEST_F(ClimbTest, CancelKeepsThePointAndItsValue) {
    Variable wnd;
    MakeWindow(wnd, 1);
    Climb c = Make([](const double* x, int) { return P(x[0]) + 2; }, {0, 1}, {0.5});
    c.SetProgressWnd(wnd);
    c.SetSilent(0);
    EXPECT_EQ(Search(c, {0.9}, {-1}), P(0.9) + 2);
    EXPECT_EQ(A::Current(c)[0], 0.9);
    EXPECT_LE(g_calls, 1 + 2 + 2);  // start, trials, the pass that cancelled
    EXPECT_STREQ(Proc().GetErrorName(Proc().GetLastError()), "Progress window got cancel");
    EXPECT_TRUE(out.empty());
}

// An ordinary script error is cleared and ends the search at its best sample.
TEST_F(ClimbTest, ScriptErrorsEndTheSearch) {
    for (int failFrom : {1, 4}) {
        Climb c = Make([failFrom](const double* x, int) {
            if (g_calls >= failFrom) VeskError(3, "script failed");
            return P(x[0]);
        }, {0, 1}, {0.5}, 1e-10, true);
        A::Current(c) = Col({0.5});
        MatVectorCol d = Col({-1});
        const double v = A::Line(c, 0.04, d, 0);
        EXPECT_EQ(Proc().GetErrorStatus(), 0);
        EXPECT_FALSE(vrt::Errors().empty());
        // From the first call only the trials (0.45, 0.55) ran; from the fourth the first pass's sample counts.
        EXPECT_EQ(g_calls, failFrom == 1 ? 2 : 4);
        EXPECT_EQ(v, P(failFrom == 1 ? 0.45 : A::Current(c)[0]));
        vrt::ClearErrors();
    }
}

// Normalised derivatives (widths 3 and 1) inside, on every face and at two corners.
double Smooth(const double* x, int) { return std::exp(x[0] / 2) + x[0] * x[1] * x[1] + std::cos(x[1]); }
const Vec kSmoothBox = {-1, 2, 0.5, 1.5};
const std::vector<Vec> kPlaces = {{0.4, 0.3}, {0.9, 0.6}, {0, 0.5}, {1, 0.5}, {0.5, 0}, {0.5, 1}, {0, 0}, {1, 1}};
bool OnFace(const Vec& u) { return u[0] == 0 || u[0] == 1 || u[1] == 0 || u[1] == 1; }

// Tolerances: truncation h|f''|/2 <= 1.6e-7 for one-sided steps (h = 5e-8), rounding alone for central ones;
// second differences (h = 1e-4) rounding 4e-7 inside, h|f'''| <= 1e-3 at a face, forward cross term 3e-4.
TEST_F(ClimbTest, DifferencesMatchAnalyticDerivatives) {
    for (int symmetric = 0; symmetric < 2; ++symmetric) {
        Climb c = Make(Smooth, kSmoothBox, {0, 1}, 1e-12);
        c.SetSymmetricDerivative(symmetric);
        for (const Vec& p : kPlaces) {
            SCOPED_TRACE(std::to_string(symmetric) + " at " + std::to_string(p[0]) + "," + std::to_string(p[1]));
            const double x0 = -1 + 3 * p[0], x1 = 0.5 + p[1];
            const double grad[2] = {3 * (0.5 * std::exp(x0 / 2) + x1 * x1), 2 * x0 * x1 - std::sin(x1)};
            const double second[3] = {9 * 0.25 * std::exp(x0 / 2), 2 * x0 - std::cos(x1), 3 * 2 * x1};
            const bool face = OnFace(p);
            const double tol = symmetric && !face ? 1e-7 : 4e-7;
            MatVectorCol u = Col(p), g(1);
            g_calls = 0;
            A::Gradient(c, g, u);
            EXPECT_EQ(g_calls, symmetric ? 4 : 3);
            for (int i = 0; i < 2; ++i) {
                const bool dropped = (p[i] == 0 && grad[i] > 0) || (p[i] == 1 && grad[i] < 0);
                EXPECT_NEAR(g[i], dropped ? 0 : grad[i], tol);
                EXPECT_NEAR(A::Derivative(c, u, i), grad[i], tol);
            }
            MatVectorCol steps = Col({3e-4, 1e-4});
            c.SetMinStep(steps);
            for (int i = 0; i < 2; ++i) EXPECT_NEAR(A::Derivative2(c, u, i, i), second[i], face ? 1e-3 : 5e-7);
            EXPECT_NEAR(A::Derivative2(c, u, 0, 1), second[2], symmetric ? (face ? 1e-3 : 5e-7) : 4e-4);
            MatVectorCol none = Col({0, 0});
            c.SetMinStep(none);
        }
        EXPECT_TRUE(AllInBox(kSmoothBox));
    }
}

// Hessian 3 evaluations per diagonal element, 4 per pair, none again at the same point (steps 1e-3: exact to
// rounding); coordinates excluded from the covariance; a singular Hessian.
TEST_F(ClimbTest, HessianAndCovariance) {
    Climb c = Make([](const double* x, int) { return 2 * x[0] * x[0] + x[0] * x[1] + 1.5 * x[1] * x[1]; },
                   {-1, 1, -2, 2}, {0, 0});
    MatVectorCol step = Col({1e-3, 1e-3}), x = Col({0.3, -0.4}), y = Col({0.1, 0.1}), three = Col({0, 0, 0});
    c.SetMinStep(step);
    std::unique_ptr<Matrix> H(c.GetHessian(x)), again(c.GetHessian(x));
    EXPECT_EQ(g_calls, 3 + 4 + 3);
    std::unique_ptr<Matrix> C(c.GetCovariationMatrix(x)), C2(c.GetCovariationMatrix(x));
    EXPECT_EQ(g_calls, 10);
    EXPECT_EQ(Flat(again.get(), 2), Flat(H.get(), 2));
    EXPECT_EQ(Flat(C2.get(), 2), Flat(C.get(), 2));
    EXPECT_NEAR((*C)(0, 1), -2.0 / 11, 1e-6);  // 2 H^-1, H = [[4, 1], [1, 3]]
    delete c.GetCovariationMatrix(y);  // another point: computed afresh
    EXPECT_EQ(g_calls, 20);
    EXPECT_EQ(c.GetHessian(three), nullptr);
    EXPECT_EQ(c.GetCovariationMatrix(three), nullptr);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
    vrt::ClearErrors();
    // A zero Hessian diagonal (x1) is excluded like the inactive x2: 1 on the normalised diagonal.
    const Vec box = {-1, 1, 0, 4, 1, 1};
    MatVectorCol x3 = Col({0.2, 1, 1}), step3 = Col({1e-3, 1e-3, 0}), x2 = Col({0.1, 0.2});
    Climb e = Make([](const double* v, int) { return v[0] * v[0]; }, box, {0, 1, 1});
    e.SetMinStep(step3);
    H.reset(e.GetHessian(x3));
    C.reset(e.GetCovariationMatrix(x3));
    EXPECT_NEAR((*H)(0, 0), 2, 1e-6);
    for (int k = 0; k < 3; ++k) EXPECT_EQ((*H)(2, k) + (*H)(k, 2), 0);
    EXPECT_NEAR((*C)(0, 0), 1, 1e-6);
    EXPECT_EQ(Flat(C.get(), 3), (Vec{(*C)(0, 0), 0, 0, 0, 16, 0, 0, 0, 1}));
    for (const Vec& p : g_points) EXPECT_EQ(p[2], 1);
    // Every coordinate excluded: a zero matrix.
    Climb flat = Make([](const double*, int) { return 1.0; }, box, {0, 1, 1});
    C.reset(flat.GetCovariationMatrix(x3));
    EXPECT_EQ(Flat(C.get(), 3), Vec(9, 0.0));
    // A singular reduced Hessian: error 10 from the inversion, no matrix.
    Climb s = Make([](const double* v, int) { return (v[0] + v[1]) * (v[0] + v[1]); }, {-1, 1, -1, 1}, {0, 0});
    s.SetMinStep(step);
    EXPECT_EQ(s.GetCovariationMatrix(x2), nullptr);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{10}));
}

TEST_F(ClimbTest, FeasibleInterval) {
    Climb c = Make(Parabola, {0, 1, 0, 1, 0, 1, 5, 5}, {0.5, 0.5, 0.5, 5});
    const struct { Vec u, d; double lo, hi; } rows[] = {
        {{0.5, 0.5, 0.5, 0.5}, {1, 0, 0, 0}, -0.5, 0.5},  {{0.5, 0.5, 0.5, 0.5}, {0, 0, 0, 0}, 0, 0},
        {{0.5, 0.5, 0.5, 0.5}, {0, 0, 0, 1}, 0, 0},       // the inactive coordinate only
        {{0.2, 0.5, 0.5, 0.5}, {-2, 0, 0, 7}, -0.4, 0.1}, // ... is ignored beside others
        {{0.2, 0.9, 0.5, 0}, {1, 1, 0, 0}, -0.2, 0.1},    {{0.5, 0.5, 0.5, 0}, {1e-9, 0, 0, 0}, -2, 2},  // sqrt(dim)
    };
    for (const auto& r : rows) {
        MatVectorCol u = Col(r.u), d = Col(r.d);
        double lo, hi;
        A::Ort(c, u, d, lo, hi);
        EXPECT_NEAR(lo, r.lo, 1e-15);
        EXPECT_NEAR(hi, r.hi, 1e-15);
    }
}

// Minima inside and at either end, from inside and from the faces: within eps times the width, exact at an end.
TEST_F(ClimbTest, LineSearchFindsOneDimensionalMinima) {
    const struct { double centre, u; Vec d; int given; double expect; } rows[] = {
        {0.7, 0.2, {1}, 0, 0.7}, {0.7, 0.9, {1}, 0, 0.7},      {0.7, 0, {1}, 0, 0.7}, {0.7, 1, {-1}, 0, 0.7},
        {0.7, 0.2, {0.05}, 1, 0.7}, {-5, 0.5, {1}, 0, -1},     {9, 0.5, {-1}, 0, 3},  {9, 0, {1}, 0, 3},
        {-5, 1, {1}, 0, -1},     {2.999, 0.1, {1}, 0, 2.999},
    };
    for (const auto& r : rows) {
        const Fn f = [&r](const double* x, int) { return (x[0] - r.centre) * (x[0] - r.centre) + 1; };
        Climb c = Make(f, {-1, 3}, {0});
        const double v = Search(c, {r.u}, r.d, r.given), x = c.GetResult()[0];
        EXPECT_NEAR(x, r.expect, r.expect == -1 || r.expect == 3 ? 0 : 4e-10) << r.centre << " from " << r.u;
        EXPECT_EQ(v, f(&x, 1));
        EXPECT_TRUE(AllInBox({-1, 3}));
    }
}

// Mend (stall rule): passes before the first improvement are no stalls; they ended this search at f0 after 9 calls.
TEST_F(ClimbTest, UnimprovedSearchKeepsNarrowingItsBracket) {
    Climb c = Make(Rosenbrock, Box(2, -5, 5), {-1.2, 1});
    MatVectorCol& u = A::Current(c);
    u = A::NormStart(c);
    double f = A::At(c, u);
    MatVectorCol e[2] = {Col({1, 0}), Col({0, 1})}, g(2);
    for (MatVectorCol& d : e) f = A::Line(c, f, d, 0);
    EXPECT_NEAR(f, 3.979924203, 1e-9);
    A::Gradient(c, g, u);
    g *= -1.0;
    g_calls = 0;
    EXPECT_LT(A::Line(c, f, g, 0), f - 0.005);
    EXPECT_GT(g_calls, 9);
}

// Mend: a non-finite interpolated position (samples of +inf) takes the fallback step; it ran to the pass limit.
TEST_F(ClimbTest, NonFiniteInterpolationFallsBack) {
    for (double sign : {1.0, -1.0}) {
        Climb c = Make([sign](const double* x, int) { return sign * x[0] > 0.03 ? kInf : P(sign * x[0] + 0.28); },
                       {-1, 1}, {0});
        EXPECT_LT(Search(c, {0.5}, {1}), 1e-12);
        EXPECT_NEAR(c.GetResult()[0], sign * 0.02, 1e-6);
        EXPECT_LT(g_calls, 100);
    }
}

// Every search ends: NaN or infinite objectives, tolerances of 0 or below, non-finite directions.
TEST_F(ClimbTest, EveryLineSearchEnds) {
    const Vec box = {-1, 1, -1, 1};
    for (double v : {kNaN, kInf, -kInf}) {
        Climb c = Make([v](const double*, int) { return v; }, box, {0, 0});
        const double f = Search(c, {0.5, 0.5}, {1, 0.5});
        EXPECT_LE(g_calls, 1 + 2 + 2 * 1000);
        EXPECT_TRUE(std::isnan(v) ? std::isnan(f) : f == v);
        EXPECT_EQ(ToVec(A::Current(c)), (Vec{0.5, 0.5}));  // nothing better found
        EXPECT_TRUE(AllInBox(box));
    }
    for (double eps : {0.0, -1.0}) {
        Climb c = Make(Parabola, box, {0, 0}, eps);
        Search(c, {0.9, 0.5}, {-1, 0});
        EXPECT_LE(g_calls, 1 + 2 + 2 * 1000);
        EXPECT_NEAR(c.GetResult()[0], 0.3, 1e-12);
    }
    Climb c = Make(Parabola, box, {0, 0});
    EXPECT_EQ(Search(c, {0.9, 0.5}, {kNaN, 1}) + Search(c, {0.9, 0.5}, {kInf, 1}), 2 * P(0.9 / 0.5 - 1));
    EXPECT_EQ(g_calls, 2);  // the start points only
    Search(c, {0.9, 0.5}, {-1e300, -1e300});  // a norm that overflows still gives a direction
    EXPECT_NEAR(c.GetResult()[0], 0.3, 1e-9);
}

// From outside the box every evaluation lies in it; the first normal search clamps the point.
TEST_F(ClimbTest, StartOutsideTheBox) {
    const Vec unit = {0, 1, 0, 1};
    Climb c = Make([](const double* x, int) { return P(x[0]) + x[1] * x[1]; }, unit, {0.5, 0.5});
    const double f0 = Search(c, {1.5, 0.5}, {1, 1});  // no part of this line is in the box
    EXPECT_EQ(f0, P(1) + 0.25);
    EXPECT_EQ(ToVec(A::Current(c)), (Vec{1.5, 0.5}));
    MatVectorCol e0 = Col({1, 0});
    EXPECT_EQ(A::Line(c, f0, e0, 0), f0);
    EXPECT_EQ(ToVec(A::Current(c)), (Vec{1, 0.5}));
    A::Line(c, f0, e0, 0);
    EXPECT_NEAR(c.GetResult()[0], 0.3, 4e-10);
    EXPECT_TRUE(AllInBox(unit));
}

// Kept on purpose: a pass whose four-sample cubic fit has a real stationary point takes no interpolated step.
TEST_F(ClimbTest, CubicStationaryPointSkipsInterpolation) {
    Climb c = Make([](const double* x, int) { return (x[0] - 0.7) * (x[0] - 0.7); }, {0, 1}, {0});
    const long before = A::CubicSkips();
    Search(c, {0.2}, {1});
    EXPECT_GT(A::CubicSkips() - before, 10);
}

}  // namespace
