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

TEST_F(SectionTest, Bisection) {
    Variable f = Native(SquareMinusTwo), p = Native(Bowl), tiny = Native(Tiny);
    double bnd[2] = {0, 2};
    BiSection_Double s(f, bnd, 1e-12);
    EXPECT_EQ(s.GetResult(), 1);
    EXPECT_NEAR(s.Solve(), std::sqrt(2.0), 2e-12);
    EXPECT_EQ(s.GetErrorStatus(), 0);
    s.GetBoundaries()[0] = 2;  // descending boundaries, solved by a copy
    s.GetBoundaries()[1] = 0;
    EXPECT_NEAR(BiSection_Double(s).Solve(), std::sqrt(2.0), 2e-12);
    EXPECT_TRUE(out.empty());  // silent by default

    // Equal boundaries: b, nothing evaluated; a zero at either end: that end.
    double same[2] = {1.5, 1.5}, atA[2] = {0.5, 5}, atB[2] = {-3, 0.5};
    g_calls = 0;
    EXPECT_EQ(BiSection_Double(f, same, 1e-9).Solve() + g_calls, 1.5);
    EXPECT_EQ(BiSection_Double(tiny, atA, 1e-9).Solve() + BiSection_Double(tiny, atB, 1e-9).Solve(), 1);
    // Values whose product underflows to 0 still have opposite signs.
    BiSection_Double t(tiny, bnd, 1e-12);
    EXPECT_NEAR(t.Solve(), 0.5, 2e-12);
    EXPECT_EQ(t.GetErrorStatus(), 0);

    // No sign change: status 1 and the end with the smaller |f|.
    double nb[2] = {-1, 3}, nb2[2] = {3, 0.5};
    BiSection_Double none(p, nb, 1e-9);
    EXPECT_EQ(none.Solve(), -1);
    EXPECT_EQ(none.GetErrorStatus(), 1);
    EXPECT_EQ(BiSection_Double(p, nb2, 1e-9).Solve(), 0.5);

    Variable g = Cube(false), twenty(20.0);
    double gb[2] = {0, 4};
    BiSection_Double c(g, gb, 1e-9);
    c.SetExtraParam(twenty);
    c.SetSilent(0);
    EXPECT_NEAR(c.Solve(), std::cbrt(20.0), 4e-9);
    // b is evaluated first, then a, then the midpoints; every one is traced.
    EXPECT_EQ(out.rfind("Argument = 4, Function = 44\r\nArgument = 0, Function = -20\r\n"
                        "Argument = 2, Function = -12\r\n", 0), 0u);
}

TEST_F(SectionTest, GoldenSection) {
    // Near a smooth minimum f differs from its least value by less than its
    // rounding within about sqrt(3 * 2.2e-16) of the abscissa.
    Variable f = Native(Bowl), centre(1.25);
    double bnd[2] = {-2, 5}, desc[2] = {5, -2}, same[2] = {2, 2}, pb[2] = {1, 4};
    for (double* b : {bnd, desc}) {
        GoldSection_Double s(f, b, 1e-10);
        s.SetExtraParam(centre);
        EXPECT_NEAR(s.Solve(), 1.25, 5e-8);
        EXPECT_EQ(s.GetResult(), s.Solve());
    }
    g_calls = 0;  // equal boundaries: b, a and the inner point, no iteration
    EXPECT_EQ(GoldSection_Double(f, same, 1e-9).Solve() + g_calls, 2 + 3);
    EXPECT_NEAR(GoldSection_Double(f, pb, 1e-8).Solve(), 1, 1e-7);  // monotone: the better end

    Variable g = Cube(true), eight(8.0);
    double gb[2] = {0, 3};
    GoldSection_Double gs(g, gb, 1e-9);
    gs.SetExtraParam(eight);
    gs.SetSilent(0);
    EXPECT_NEAR(gs.Solve(), 2, 3e-9);
    EXPECT_EQ(out.rfind("Argument = 3, Function = 19\r\nArgument = 0, Function = 8\r\n", 0), 0u);
}

// Tolerances at or below the spacing of doubles and negative ones still end
// the loops; the stored iteration limit ends them early (bisection status 2).
TEST_F(SectionTest, LoopsAlwaysEnd) {
    Variable f = Native(SquareMinusTwo), bowl = Native(Bowl);
    double bnd[2] = {0, 2}, gb[2] = {-1, 3};
    for (double eps : {1e-16, 0.0, -1.0}) {
        g_calls = 0;
        BiSection_Double s(f, bnd, eps);
        EXPECT_LE(std::fabs(s.Solve() - std::sqrt(2.0)), 4e-16) << eps;
        EXPECT_EQ(s.GetErrorStatus(), 0);
        EXPECT_LT(g_calls, 70);
        EXPECT_NEAR(GoldSection_Double(bowl, gb, eps).Solve(), 0, 1e-7) << eps;
        EXPECT_LT(g_calls, 300);
    }
    g_calls = 0;
    BiSection_Double limited(f, bnd, 1e-12);
    limited.SetMaxItterationNumber(5);
    EXPECT_NEAR(limited.Solve(), std::sqrt(2.0), 2.0 / 64);
    EXPECT_EQ(limited.GetErrorStatus(), 2);
    GoldSection_Double glimited(bowl, bnd, 1e-12);
    glimited.SetMaxItterationNumber(10);
    glimited.Solve();
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
