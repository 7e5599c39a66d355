// Bisection and golden-section solvers, driven by native function pointers
// and by script functions run through the host processor.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/VeskRuntime.h"
#include "solvers/Section.h"
#include "tests/host/ErrorTest.h"

namespace {

int g_calls = 0;
double SquareMinusTwo(double x, Variable&) { return ++g_calls, x * x - 2; }
double Tiny(double x, Variable&) { return ++g_calls, 1e-200 * (x - 0.5); }
// Minimum 3 at the extra parameter's number (0 when none is set).
double Bowl(double x, Variable& c) { return ++g_calls, (x - double(c)) * (x - double(c)) + 3; }

Variable Native(VeskFunction1D f) {
    Variable v;
    vrt::MakeNativeFunction(v, reinterpret_cast<void*>(f));
    return v;
}

// Script x^3 - extra (or its absolute value); the extra arrives by reference.
Variable Cube(bool absolute) {
    Variable f;
    vrt::MakeScriptFunction(f, [absolute](VarRegister& r, VarRegister* args, int n) {
        ASSERT_TRUE(n == 2 && args[1].IsRef());
        double x = args[0], v = x * x * x - static_cast<double>(args[1].GetVar());
        r = absolute ? std::fabs(v) : v;
    });
    return f;
}

// A current processor whose output is captured; errors cleared.
class SectionTest : public ErrorTest {
protected:
    void SetUp() override {
        ErrorTest::SetUp();
        g_calls = 0;
        vrt::SetCurrentProcessor(&proc);
        vrt::CaptureOutput(&out);
    }
    void TearDown() override {
        vrt::CaptureOutput(nullptr);
        vrt::SetCurrentProcessor(nullptr);
        ErrorTest::TearDown();
    }
    Processor proc;
    std::string out;
};

const double kRoot2 = std::sqrt(2.0);

// Every row also solves a copy. Tolerances at or below the spacing of doubles
// (or negative) still end the loops, at the best double.
TEST_F(SectionTest, BisectionNative) {
    struct Row { VeskFunction1D f; double a, b, eps, root, tol; int status; };
    const Row rows[] = {
        {SquareMinusTwo, 0, 2, 1e-12, kRoot2, 2e-12, 0}, {SquareMinusTwo, 2, 0, 1e-12, kRoot2, 2e-12, 0},
        {SquareMinusTwo, 0, 2, 1e-16, kRoot2, 4e-16, 0}, {SquareMinusTwo, 0, 2, 0, kRoot2, 4e-16, 0},
        {SquareMinusTwo, 0, 2, -1, kRoot2, 4e-16, 0},
        {SquareMinusTwo, 1.5, 1.5, 1e-9, 1.5, 0, 1},  // equal boundaries, no root there: b
        {Tiny, 0.5, 5, 1e-9, 0.5, 0, 0}, {Tiny, -3, 0.5, 1e-9, 0.5, 0, 0},  // a zero at an end
        {Tiny, 0, 2, 1e-12, 0.5, 2e-12, 0},  // opposite signs although the product underflows
        // No sign change: the end with the smaller |f|, b on a tie.
        {Bowl, -1, 3, 1e-9, -1, 0, 1}, {Bowl, 3, 0.5, 1e-9, 0.5, 0, 1}, {Bowl, -1, 1, 1e-9, 1, 0, 1},
    };
    for (const Row& r : rows) {
        Variable f = Native(r.f);
        double bnd[2] = {r.a, r.b};
        BiSection_Double s(f, bnd, r.eps);
        EXPECT_EQ(s.GetResult(), (r.a + r.b) / 2);
        g_calls = 0;
        EXPECT_NEAR(s.Solve(), r.root, r.tol) << r.a << " " << r.b << " " << r.eps;
        EXPECT_EQ(s.GetErrorStatus(), r.status);
        EXPECT_EQ(BiSection_Double(s).Solve(), s.GetResult());
        EXPECT_TRUE(r.a != r.b ? g_calls < 2 * 70 : g_calls == 2) << g_calls;
    }
    EXPECT_TRUE(out.empty());  // silent by default
}

double AlwaysNaN(double, Variable&) { return ++g_calls, std::nan(""); }
double Five(double, Variable&) { return ++g_calls, 5.0; }
double MinusOne(double x, Variable&) { return ++g_calls, x - 1; }
// -1 below 1, NaN on [1, 2), 1 from 2 on: the first midpoint of [0, 3] is NaN.
double HoleInMiddle(double x, Variable&) { return ++g_calls, x < 1 ? -1 : x < 2 ? std::nan("") : 1; }

// Nothing that is not a solution reports status 0; a width that overflows
// still bisects.
TEST_F(SectionTest, BisectionReportsNonSolutions) {
    const double kInf = HUGE_VAL, kNaN = std::nan("");
    struct Row { VeskFunction1D f; double a, b, eps, result; int status, calls; };
    const Row rows[] = {
        {AlwaysNaN, 0, 3, 1e-9, 3, 1, 2},           // NaN at both ends
        {Five, 2, 2, 1e-9, 2, 1, 1},                // one point, not a root
        {MinusOne, 0, 3, kNaN, 1.5, 3, 0},          // NaN tolerance: nothing evaluated
        {MinusOne, kNaN, 3, 1e-9, kNaN, 3, 0},      // NaN or infinite boundary
        {MinusOne, -kInf, 3, 1e-9, -kInf, 3, 0},
        {MinusOne, 0, kInf, 1e-9, kInf, 3, 0},
        {HoleInMiddle, 0, 3, 1e-9, 3, 1, 3},        // NaN at a midpoint: the better end
        {MinusOne, -1e308, 1.7e308, 0, 1, 0, -1},  // the width overflows
    };
    for (const Row& r : rows) {
        Variable f = Native(r.f);
        double bnd[2] = {r.a, r.b};
        BiSection_Double s(f, bnd, r.eps);
        s.SetMaxItterationNumber(3000);
        g_calls = 0;
        const double x = s.Solve();
        SCOPED_TRACE(::testing::Message() << r.a << " " << r.b << " " << r.eps);
        if (std::isnan(r.result))
            EXPECT_TRUE(std::isnan(x));
        else if (std::isinf(r.result))
            EXPECT_EQ(x, r.result);
        else
            EXPECT_NEAR(x, r.result, 2.3e-16);
        EXPECT_EQ(s.GetErrorStatus(), r.status);
        if (r.calls >= 0)
            EXPECT_EQ(g_calls, r.calls);
        else
            EXPECT_LT(g_calls, 1200);
    }
}

TEST_F(SectionTest, GoldenSectionNative) {
    // Near a smooth minimum f differs from its least value by less than its
    // rounding within about sqrt(3 * 2.2e-16) of the abscissa.
    struct Row { double a, b, centre, eps, min, tol; };
    const Row rows[] = {
        {-2, 5, 1.25, 1e-10, 1.25, 5e-8}, {5, -2, 1.25, 1e-10, 1.25, 5e-8}, {1, 4, 0, 1e-8, 1, 1e-7},
        {-1, 3, 0, 1e-16, 0, 1e-7},       {-1, 3, 0, 0, 0, 1e-7},           {-1, 3, 0, -1, 0, 1e-7},
        {2, 2, 0, 1e-9, 2, 0},  // equal boundaries: b, a and the inner point, no iteration
    };
    Variable bowl = Native(Bowl);
    for (const Row& r : rows) {
        double bnd[2] = {r.a, r.b};
        Variable centre(r.centre);
        GoldSection_Double s(bowl, bnd, r.eps);
        s.SetExtraParam(centre);
        g_calls = 0;
        EXPECT_NEAR(s.Solve(), r.min, r.tol) << r.a << " " << r.b << " " << r.eps;
        EXPECT_TRUE(r.a != r.b ? g_calls < 300 : g_calls == 3) << g_calls;
    }
}

// Script functions get the extra parameter by reference; every evaluation is
// traced when not silent, b first, then a.
TEST_F(SectionTest, ScriptFunctionsTraced) {
    Variable cube = Cube(false), absCube = Cube(true), twenty(20.0), eight(8.0);
    double bb[2] = {0, 4}, gb[2] = {0, 3};
    BiSection_Double b(cube, bb, 1e-9);
    b.SetExtraParam(twenty);
    b.SetSilent(0);
    EXPECT_NEAR(b.Solve(), std::cbrt(20.0), 4e-9);
    EXPECT_EQ(out.rfind("Argument = 4, Function = 44\r\nArgument = 0, Function = -20\r\n"
                        "Argument = 2, Function = -12\r\n", 0), 0u);
    out.clear();
    GoldSection_Double g(absCube, gb, 1e-9);
    g.SetExtraParam(eight);
    g.SetSilent(0);
    EXPECT_NEAR(g.Solve(), 2, 3e-9);
    EXPECT_EQ(out.rfind("Argument = 3, Function = 19\r\nArgument = 0, Function = 8\r\n", 0), 0u);
}

// The stored iteration limit ends the loops early: bisection answers the last
// midpoint with status 2.
TEST_F(SectionTest, IterationLimit) {
    Variable f = Native(SquareMinusTwo), bowl = Native(Bowl);
    double bnd[2] = {0, 2};
    BiSection_Double b(f, bnd, 1e-12);
    b.SetMaxItterationNumber(5);
    EXPECT_NEAR(b.Solve(), kRoot2, 2.0 / 64);
    EXPECT_EQ(b.GetErrorStatus(), 2);
    EXPECT_EQ(g_calls, 3 + 5);
    GoldSection_Double g(bowl, bnd, 1e-12);
    g.SetMaxItterationNumber(10);
    g.Solve();
    EXPECT_EQ(g_calls, (3 + 5) + (3 + 10));
}

TEST_F(SectionTest, WithoutProcessorOrFunction) {
    vrt::SetCurrentProcessor(nullptr);
    Variable f = Cube(false), null = Native(nullptr);
    double bnd[2] = {0, 4};
    BiSection_Double s(f, bnd, 1e-9);
    GoldSection_Double g(f, bnd, 1e-6);
    s.SetSilent(0);
    g.SetSilent(0);
    EXPECT_EQ(s.Solve(), 4);  // every value is 0: b at once
    double r = g.Solve();
    EXPECT_TRUE(r >= 0 && r <= 4 && out.empty() && vrt::Errors().empty());

    // A native function value without a pointer: error 3, nothing evaluated.
    BiSection_Double nb(null, bnd, 1e-9);
    EXPECT_EQ(nb.Solve(), 2);
    EXPECT_EQ(nb.GetErrorStatus(), 1);
    EXPECT_EQ(GoldSection_Double(null, bnd, 1e-9).Solve(), 2);
    EXPECT_EQ(vrt::Errors().size(), 2u);
    EXPECT_EQ(vrt::Errors().back().code, 3);
}

}  // namespace
