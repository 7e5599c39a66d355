// LeastSquaresFit: the certified problems from both starts, a minimum on a
// face, rank deficiency, zero residuals, script functions, the host
// conventions (window, cancel, script error, no processor, bad input) and
// the covariance of a linear model.
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "solvers/LeastSquaresFit.h"
#include "tests/solvers/ClimbTestUtil.h"
#include "tests/solvers/NistProblems.h"

namespace {

using climb_test::ClimbFixture;
using climb_test::g_window;
using climb_test::Vec;
using LSF = LeastSquaresFit;

// The residuals of a test problem, reached through the extra parameter or
// run as a script function; calls are counted.
using ResFn = std::function<void(const double* b, double* r)>;
ResFn g_res;
int g_resCalls = 0;

void NativeResiduals(MatVector& b, MatVectorCol& r, Variable&) {
    ++g_resCalls;
    g_res(b.GetData(), r.GetData());
}

double NistModel(double x, MatVector& b, Variable& extra) {
    return static_cast<const nist::Problem*>(extra.GetCppPointer())->model(x, b.GetData());
}

Variable Native(void* f) {
    Variable v;
    vrt::MakeNativeFunction(v, f);
    return v;
}

// g_res as a script: b arrives as an "MVector", the answer is an array of m.
Variable ScriptResiduals(int m) {
    Variable f;
    vrt::MakeScriptFunction(f, [m](VarRegister& out, VarRegister* args, int n) {
        ASSERT_EQ(n, 2);
        ASSERT_TRUE(args[1].IsRef());
        ++g_resCalls;
        const Vec b = vrt::ToDoubles(args[0].GetVar());
        Vec r(m);
        g_res(b.data(), r.data());
        vrt::MakeArray(out.GetVar(), r);
    });
    return f;
}

class LeastSquaresFitTest : public ClimbFixture {
protected:
    // A residual-form fit of g_res (m residuals) from start in box (empty: no bounds).
    static std::unique_ptr<LSF> Make(ResFn f, int m, Vec start, Vec box = {}, bool script = false) {
        g_res = std::move(f);
        g_resCalls = 0;
        Variable fn = script ? ScriptResiduals(m) : Native(reinterpret_cast<void*>(NativeResiduals));
        double* bounds = box.empty() ? nullptr : box.data();
        return std::make_unique<LSF>(fn, m, static_cast<int>(start.size()), bounds, start.data());
    }
    static Vec Result(LSF& f) { return climb_test::ToVec(f.GetResult()); }
};

// y = a exp(-k t) + c at t = 0, 0.5, ..., 9.5 (20 points) plus a fixed pattern of size noise.
ResFn Exponential(double a, double k, double c, double noise) {
    return [=](const double* b, double* r) {
        for (int i = 0; i < 20; ++i) {
            const double t = 0.5 * i, e = (i % 3 == 0 ? 1 : i % 3 == 1 ? -0.5 : -0.5) * noise;
            r[i] = a * std::exp(-k * t) + c + e - (b[0] * std::exp(-b[1] * t) + b[2]);
        }
    };
}

// Every problem from both starts, forward and central differences: the
// parameters to 6 digits (at least 6.0 on x86-64; 5.5 allows for other
// libraries' exp and pow), the standard deviations to 4.5 and the residual
// sum to 9, with no error raised.
TEST_F(LeastSquaresFitTest, CertifiedProblemsFromBothStarts) {
    for (const nist::Entry& e : nist::Problems()) {
        const nist::Problem pr = nist::Load(VESK_TEST_DATA_DIR "/nist", e);
        ASSERT_EQ(pr.name, e.name);
        Variable model = Native(reinterpret_cast<void*>(NistModel));
        Variable extra(static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&pr)));
        for (int s = 0; s < 2; ++s)
            for (int central = 0; central < 2; ++central) {
                SCOPED_TRACE(std::string(e.name) + " start " + std::to_string(s + 1) +
                             (central ? " central" : ""));
                Vec x = pr.x, y = pr.y, st = pr.start[s];
                const int n = static_cast<int>(x.size());
                LSF fit(model, n, x.data(), y.data(), nullptr, pr.p, nullptr, st.data());
                fit.SetExtraParam(extra);
                fit.SetSymmetricDerivative(central);
                const int status = fit.Solve();
                EXPECT_TRUE(vrt::Errors().empty());
                EXPECT_GE(status, LSF::kReduction);
                EXPECT_LE(status, LSF::kRounding);
                EXPECT_GE(nist::MinLre(fit.GetResult().GetData(), pr.certified), 5.5);
                EXPECT_GE(nist::MinLre(fit.GetStandardErrors().GetData(), pr.certifiedSd), 4.5);
                EXPECT_GE(nist::Lre(fit.GetRSS(), pr.certifiedRss), 9.0);
                EXPECT_LE(fit.GetEvaluations(), 1200);
                vrt::ClearErrors();
            }
    }
}

// Minima on a face: the decay rate held at its lower bound 0.7 (data made
// with 0.5), and a start outside the box. At the face the other two
// parameters solve the linear problem for k = 0.7 exactly.
TEST_F(LeastSquaresFitTest, MinimumOnAFace) {
    for (const Vec& start : {Vec{1, 1, 0}, Vec{1, 5, 0}, Vec{-3, 0.1, 2}}) {
        auto fit = Make(Exponential(2, 0.5, 0.3, 0.01), 20, start, {-10, 10, 0.7, 2, -1, 1});
        const int status = fit->Solve();
        EXPECT_LE(status, LSF::kRounding);
        EXPECT_TRUE(vrt::Errors().empty());
        const Vec b = Result(*fit);
        EXPECT_EQ(b[1], 0.7);
        // Normal equations of (a, c) at k = 0.7 in long double.
        long double see = 0, se = 0, sye = 0, sy = 0;
        Vec r(20), zero = {0, 0.7, 0};
        g_res(zero.data(), r.data());  // r = y at b = (0, k, 0)
        for (int i = 0; i < 20; ++i) {
            const long double ei = std::exp(-0.7L * 0.5L * i);
            see += ei * ei, se += ei, sye += r[i] * ei, sy += r[i];
        }
        const long double det = see * 20 - se * se;
        EXPECT_NEAR(b[0], static_cast<double>((sye * 20 - se * sy) / det), 1e-8);
        EXPECT_NEAR(b[2], static_cast<double>((see * sy - se * sye) / det), 1e-8);
        vrt::ClearErrors();
    }
}

// Two identical columns: the fit converges to the least squares value of
// their sum, the covariance marks one parameter undetermined.
TEST_F(LeastSquaresFitTest, RankDeficientProblem) {
    auto fit = Make([](const double* b, double* r) {
        for (int i = 0; i < 10; ++i) r[i] = (3.0 * i + (i % 2 ? 0.1 : -0.1)) - (b[0] + b[1]) * i - b[2];
    }, 10, {1, 1, 0});
    EXPECT_LE(fit->Solve(), LSF::kRounding);
    EXPECT_TRUE(vrt::Errors().empty());
    const Vec b = Result(*fit);
    EXPECT_NEAR(b[0] + b[1], 3.0 + 0.5 / 82.5, 1e-9);
    EXPECT_EQ(fit->GetRank(), 2);
    const Vec se = climb_test::ToVec(fit->GetStandardErrors());
    EXPECT_EQ(std::isnan(se[0]) + std::isnan(se[1]), 1);
    EXPECT_FALSE(std::isnan(se[2]));
}

// Zero residuals: Rosenbrock's function as residuals and exact exponential
// data end at the solution to rounding level.
TEST_F(LeastSquaresFitTest, ZeroResidualProblems) {
    auto rosen = Make([](const double* b, double* r) {
        r[0] = 10 * (b[1] - b[0] * b[0]);
        r[1] = 1 - b[0];
    }, 2, {-1.2, 1});
    EXPECT_LE(rosen->Solve(), LSF::kRounding);
    EXPECT_NEAR(Result(*rosen)[0], 1.0, 1e-10);
    EXPECT_NEAR(Result(*rosen)[1], 1.0, 1e-10);
    EXPECT_LT(rosen->GetRSS(), 1e-24);
    auto exact = Make(Exponential(2, 0.5, 0.3, 0.0), 20, {1, 1, 0});
    EXPECT_LE(exact->Solve(), LSF::kRounding);
    const Vec b = Result(*exact);
    EXPECT_NEAR(b[0], 2.0, 1e-10);
    EXPECT_NEAR(b[1], 0.5, 1e-10);
    EXPECT_NEAR(b[2], 0.3, 1e-10);
    EXPECT_TRUE(vrt::Errors().empty());
}

// Script residuals and a script Jacobian give the native results; the
// script model of the data form too.
TEST_F(LeastSquaresFitTest, ScriptFunctionsAgreeWithNative) {
    const ResFn f = Exponential(2, 0.5, 0.3, 0.01);
    auto native = Make(f, 20, {1, 1, 0});
    native->Solve();
    auto script = Make(f, 20, {1, 1, 0}, {}, true);
    script->Solve();
    EXPECT_EQ(Result(*script), Result(*native));
    EXPECT_EQ(script->GetEvaluations(), g_resCalls);

    // Data form: y = a exp(-k t) + c by a script model and its script derivative.
    Vec t(20), y(20), start = {1, 1, 0};
    Vec zero = {0, 0, 0};
    f(zero.data(), y.data());
    for (int i = 0; i < 20; ++i) t[i] = 0.5 * i;
    Variable model, deriv;
    vrt::MakeScriptFunction(model, [](VarRegister& out, VarRegister* a, int n) {
        ASSERT_EQ(n, 3);
        const Vec b = vrt::ToDoubles(a[0].GetVar());
        out = b[0] * std::exp(-b[1] * static_cast<double>(a[1])) + b[2];
    });
    vrt::MakeScriptFunction(deriv, [](VarRegister& out, VarRegister* a, int n) {
        ASSERT_EQ(n, 4);
        const Vec b = vrt::ToDoubles(a[0].GetVar());
        const double x = a[1], e = std::exp(-b[1] * x);
        const int j = a[2];
        out = j == 0 ? e : j == 1 ? -b[0] * x * e : 1.0;
    });
    LSF data(model, 20, t.data(), y.data(), nullptr, 3, nullptr, start.data());
    data.SetJacobianFunc(deriv);
    EXPECT_LE(data.Solve(), LSF::kRounding);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(data.GetResult()[j], Result(*native)[j], 1e-9);
    EXPECT_LT(data.GetEvaluations(), native->GetEvaluations());  // no difference evaluations
    EXPECT_TRUE(vrt::Errors().empty());
}

// The window's calls, a cancel at the second check, a script error at the
// fifth call, and the evaluation cap: each ends at the best point so far
// with its error set.
TEST_F(LeastSquaresFitTest, WindowCancelErrorsAndCap) {
    const ResFn f = Exponential(2, 0.5, 0.3, 0.01);
    Variable wnd;
    climb_test::MakeWindow(wnd);
    auto fit = Make(f, 20, {1, 1, 0});
    fit->SetProgressWnd(wnd);
    fit->Solve();
    ASSERT_GE(g_window.calls.size(), 6u);
    EXPECT_EQ(g_window.calls[0], "P0");
    EXPECT_EQ(g_window.calls[1], "X");
    EXPECT_EQ(g_window.calls[g_window.calls.size() - 3], "P100");
    EXPECT_EQ(g_window.calls.back(), "X");

    climb_test::MakeWindow(wnd, 2);
    fit = Make(f, 20, {1, 1, 0});
    fit->SetProgressWnd(wnd);
    EXPECT_EQ(fit->Solve(), LSF::kCancelled);
    EXPECT_EQ(fit->GetEvaluations(), 1 + 3);  // start and one Jacobian
    EXPECT_STREQ(Proc().GetErrorName(Proc().GetLastError()), "Progress window got cancel");
    vrt::ClearErrors();

    Vec r0(20), st = {1, 1, 0};
    f(st.data(), r0.data());
    double s0 = 0;
    for (double v : r0) s0 += v * v;
    fit = Make([f](const double* b, double* r) {
        if (g_resCalls == 9) VeskError(3, "script failed");
        f(b, r);
    }, 20, {1, 1, 0}, {}, true);
    EXPECT_EQ(fit->Solve(), LSF::kFunctionError);
    EXPECT_EQ(g_resCalls, 9);
    EXPECT_LE(fit->GetRSS(), s0);
    EXPECT_NE(Proc().GetErrorStatus(), 0);
    vrt::ClearErrors();

    // A native function that shrinks its parameter vector ends the fit with
    // error 3 instead of a write past the shrunken vector.
    g_res = f;
    g_resCalls = 0;
    Variable shrinking = Native(reinterpret_cast<void*>(+[](MatVector& b, MatVectorCol& r, Variable&) {
        g_res(b.GetData(), r.GetData());
        if (++g_resCalls == 2) b.SetSize(1);
    }));
    fit = std::make_unique<LSF>(shrinking, 20, 3, nullptr, st.data());
    EXPECT_EQ(fit->Solve(), LSF::kFunctionError);
    EXPECT_EQ(g_resCalls, 2);
    EXPECT_EQ(Proc().GetLastError(), 3);
    vrt::ClearErrors();

    fit = Make(f, 20, {1, 1, 0});
    fit->SetMaxEvaluations(6);
    EXPECT_EQ(fit->Solve(), LSF::kEvaluationLimit);
    EXPECT_TRUE(SolutionNotFound());
    EXPECT_LE(fit->GetRSS(), s0);
}

// Without a processor nothing is evaluated and the result stays the start.
TEST_F(LeastSquaresFitTest, NoProcessorEvaluatesNothing) {
    auto fit = Make(Exponential(2, 0.5, 0.3, 0.01), 20, {1, 1, 0});
    vrt::SetCurrentProcessor(nullptr);
    EXPECT_EQ(fit->Solve(), LSF::kNotRun);
    vrt::SetCurrentProcessor(&Proc());
    EXPECT_EQ(g_resCalls, 0);
    EXPECT_EQ(Result(*fit), (Vec{1, 1, 0}));
    EXPECT_EQ(fit->GetCovariance(), nullptr);
}

// Bad input raises error 3: refused problems solve nothing, refused options
// change nothing.
TEST_F(LeastSquaresFitTest, BadInputIsRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Vec x = {1, 2, 3}, y = {1, 2, 3}, st = {1, 1};
    struct Case {
        const char* what;
        Vec x, y, sigma, box, start;
        int p;
    };
    const Case cases[] = {{"m < p", x, y, {}, {}, {1, 1, 1, 1}, 4},
                          {"NaN y", x, {1, nan, 3}, {}, {}, st, 2},
                          {"sigma 0", x, y, {1, 0, 1}, {}, st, 2},
                          {"reversed bounds", x, y, {}, {0, 2, 3, 1}, st, 2},
                          {"NaN bound", x, y, {}, {0, nan, 0, 2}, st, 2},
                          {"NaN start", x, y, {}, {}, {nan, 1}, 2}};
    Variable model = Native(reinterpret_cast<void*>(NistModel));
    for (Case c : cases) {
        SCOPED_TRACE(c.what);
        LSF fit(model, 3, c.x.data(), c.y.data(), c.sigma.empty() ? nullptr : c.sigma.data(), c.p,
                c.box.empty() ? nullptr : c.box.data(), c.start.data());
        EXPECT_EQ(ErrorCodes().at(0), 3);
        EXPECT_EQ(fit.Solve(), LSF::kBadInput);
        vrt::ClearErrors();
    }
    auto fit = Make(Exponential(2, 0.5, 0.3, 0.01), 20, {1, 1, 0});
    MatVectorCol shortStart(2);
    fit->SetStartPoint(shortStart);
    fit->SetTolerances(-1, 0, 0);
    fit->SetMaxEvaluations(0);
    fit->SetRoundingLevel(0.5);
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3, 3, 3}));
    vrt::ClearErrors();
    fit->Solve();
    EXPECT_LE(fit->GetStatus(), LSF::kRounding);  // the defaults and the start were kept
}

// The covariance of a linear model against (X'X)^-1 s^2 in long double, and
// (X'X)^-1 / sigma^2 when the sigmas are known.
TEST_F(LeastSquaresFitTest, CovarianceOfALinearModel) {
    const int m = 12;
    auto line = [](const double* b, double* r) {
        for (int i = 0; i < 12; ++i) {
            const double x = 0.75 * i - 2;
            r[i] = (1 + 0.5 * x - 0.25 * x * x + 0.03 * ((i * 7) % 5 - 2)) - (b[0] + b[1] * x + b[2] * x * x);
        }
    };
    long double a[3][3] = {};
    for (int i = 0; i < m; ++i) {
        const long double x = 0.75L * i - 2, row[3] = {1, x, x * x};
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) a[j][k] += row[j] * row[k];
    }
    // The inverse by cofactors.
    long double inv[3][3];
    const long double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                            a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                            a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) {
            const int j1 = (k + 1) % 3, j2 = (k + 2) % 3, k1 = (j + 1) % 3, k2 = (j + 2) % 3;
            inv[j][k] = (a[j1][k1] * a[j2][k2] - a[j1][k2] * a[j2][k1]) / det;
        }
    for (int known = 0; known < 2; ++known) {
        auto fit = Make(line, m, {0, 0, 0});
        fit->SetSigmaKnown(known);
        EXPECT_LE(fit->Solve(), LSF::kRounding);
        const double s2 = known ? 1.0 : fit->GetRSS() / (m - 3);
        std::unique_ptr<Matrix> cov(fit->GetCovariance());
        ASSERT_NE(cov, nullptr);
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR((*cov)(j, k), static_cast<double>(inv[j][k]) * s2, 1e-7 * s2 * std::sqrt(
                    static_cast<double>(inv[j][j] * inv[k][k])));
        std::unique_ptr<Matrix> jac(fit->GetJacobian());
        ASSERT_NE(jac, nullptr);
        EXPECT_NEAR((*jac)(5, 2), -(0.75 * 5 - 2) * (0.75 * 5 - 2), 1e-7);
    }
}

}  // namespace
