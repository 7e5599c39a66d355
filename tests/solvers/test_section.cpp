// Bisection and golden-section solvers, driven by native function pointers
// and by script functions run through the host processor.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/VeskRuntime.h"
#include "solvers/Section.h"

namespace {

int g_calls = 0;

double SquareMinusTwo(double x, Variable&) { return ++g_calls, x * x - 2; }
double Tiny(double x, Variable&) { return ++g_calls, 1e-200 * (x - 0.5); }
double Positive(double x, Variable&) { return ++g_calls, x * x + 1; }
double NaNRight(double x, Variable&) { return ++g_calls, x < 1 ? -1 : std::nan(""); }
// Minimum 3 at the number held by the extra parameter.
double Bowl(double x, Variable& extra) {
    double c = extra;
    return ++g_calls, (x - c) * (x - c) + 3;
}

class SectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls = 0;
        vrt::SetCurrentProcessor(&proc);
        vrt::CaptureOutput(&out);
        vrt::ClearErrors();
    }
    void TearDown() override {
        vrt::CaptureOutput(nullptr);
        vrt::SetCurrentProcessor(nullptr);
        vrt::ClearErrors();
    }

    static Variable Native(VeskFunction1D f) {
        Variable v;
        vrt::MakeNativeFunction(v, reinterpret_cast<void*>(f));
        return v;
    }

    // Script f(x, extra) = x^3 - extra[0], counting its calls in extra[1]
    // (the extra parameter must arrive by reference).
    static Variable CubeMinusExtra() {
        Variable f;
        vrt::MakeScriptFunction(f, [](VarRegister& result, VarRegister* args, int n) {
            ASSERT_EQ(n, 2);
            ASSERT_TRUE(args[1].IsRef());
            Variable& extra = args[1].GetVar();
            extra[1] = static_cast<double>(extra[1]) + 1;
            double x = args[0];
            result = x * x * x - static_cast<double>(extra[0]);
        });
        return f;
    }

    Processor proc;
    std::string out;
};

TEST_F(SectionTest, BisectionNativeAndScript) {
    Variable f = Native(SquareMinusTwo);
    double bnd[2] = {0, 2};
    BiSection_Double s(f, bnd, 1e-12);
    EXPECT_EQ(s.GetResult(), 1);
    EXPECT_NEAR(s.Solve(), std::sqrt(2.0), 2e-12);
    EXPECT_EQ(s.GetErrorStatus(), 0);
    EXPECT_TRUE(out.empty());  // silent by default
    s.GetBoundaries()[0] = 2;  // descending boundaries, solved by a copy
    s.GetBoundaries()[1] = 0;
    BiSection_Double copy(s);
    EXPECT_NEAR(copy.Solve(), std::sqrt(2.0), 2e-12);

    Variable g = CubeMinusExtra();
    Variable extra;
    vrt::MakeArray(extra, {20, 0});
    double gb[2] = {0, 4};
    BiSection_Double t(g, gb, 1e-9);
    t.SetExtraParam(extra);
    t.SetSilent(0);
    EXPECT_NEAR(t.Solve(), std::cbrt(20.0), 4e-9);
    // b is evaluated first, then a, then the midpoints; every one is traced.
    EXPECT_EQ(out.rfind("Argument = 4, Function = 44\r\nArgument = 0, Function = -20\r\n"
                        "Argument = 2, Function = -12\r\n",
                        0),
              0u);
    EXPECT_EQ(extra[1].GetInt32(), 0);  // the solver passes its own copy
}

TEST_F(SectionTest, BisectionEndsAndSignTests) {
    Variable f = Native(SquareMinusTwo);
    double same[2] = {1.5, 1.5};
    EXPECT_EQ(BiSection_Double(f, same, 1e-9).Solve(), 1.5);
    EXPECT_EQ(g_calls, 0);

    // A zero exactly at an end answers it; b is tested first.
    Variable lin;
    vrt::MakeScriptFunction(lin, [](VarRegister& r, VarRegister* a, int) {
        r = static_cast<double>(a[0]) - 1;
    });
    double atA[2] = {1, 5}, atB[2] = {-3, 1};
    EXPECT_EQ(BiSection_Double(lin, atA, 1e-9).Solve(), 1);
    EXPECT_EQ(BiSection_Double(lin, atB, 1e-9).Solve(), 1);

    // No sign change: status 1 and the end with the smaller |f|.
    Variable p = Native(Positive);
    double nb[2] = {-1, 3}, nb2[2] = {3, 0.5};
    BiSection_Double none(p, nb, 1e-9), none2(p, nb2, 1e-9);
    EXPECT_EQ(none.Solve(), -1);
    EXPECT_EQ(none.GetErrorStatus(), 1);
    EXPECT_EQ(none2.Solve(), 0.5);

    // Values whose product underflows to 0 still have opposite signs.
    Variable tiny = Native(Tiny);
    double tb[2] = {0, 2};
    BiSection_Double t(tiny, tb, 1e-12);
    EXPECT_NEAR(t.Solve(), 0.5, 2e-12);
    EXPECT_EQ(t.GetErrorStatus(), 0);
}

// Tolerances at or below the spacing of doubles, negative ones and NaN values
// still end the loops; the stored iteration limit ends them early.
TEST_F(SectionTest, LoopsAlwaysEnd) {
    Variable f = Native(SquareMinusTwo);
    Variable bowl = Native(Bowl);
    Variable centre(0.0);
    for (double eps : {1e-16, 0.0, -1.0}) {
        g_calls = 0;
        double bnd[2] = {0, 2};
        BiSection_Double s(f, bnd, eps);
        EXPECT_LE(std::fabs(s.Solve() - std::sqrt(2.0)), 4e-16) << eps;
        EXPECT_EQ(s.GetErrorStatus(), 0);
        EXPECT_LT(g_calls, 70);
        double gb[2] = {-1, 3};
        GoldSection_Double g(bowl, gb, eps);
        g.SetExtraParam(centre);
        EXPECT_NEAR(g.Solve(), 0, 1e-7) << eps;
        EXPECT_LT(g_calls, 2000);
    }
    double bnd[2] = {0, 2};
    Variable nanf = Native(NaNRight);
    BiSection_Double n(nanf, bnd, 0.0);
    g_calls = 0;
    n.Solve();
    EXPECT_LT(g_calls, 200);

    g_calls = 0;
    BiSection_Double limited(f, bnd, 1e-12);
    limited.SetMaxItterationNumber(5);
    EXPECT_NEAR(limited.Solve(), std::sqrt(2.0), 2.0 / 64);
    EXPECT_EQ(g_calls, 3 + 5);
    EXPECT_EQ(limited.GetErrorStatus(), 2);
    g_calls = 0;
    GoldSection_Double glimited(bowl, bnd, 1e-12);
    glimited.SetExtraParam(centre);
    glimited.SetMaxItterationNumber(10);
    glimited.Solve();
    EXPECT_EQ(g_calls, 3 + 10);
}

TEST_F(SectionTest, GoldenSectionNativeAndScript) {
    // Near a smooth minimum f differs from its least value by less than its
    // rounding within about sqrt(3 * 2.2e-16) of the abscissa.
    Variable f = Native(Bowl);
    Variable centre(1.25);
    double bnd[2] = {-2, 5}, desc[2] = {5, -2};
    for (double* b : {bnd, desc}) {
        GoldSection_Double s(f, b, 1e-10);
        s.SetExtraParam(centre);
        EXPECT_NEAR(s.Solve(), 1.25, 5e-8);
        EXPECT_EQ(s.GetResult(), s.Solve());
    }
    double same[2] = {2, 2};
    g_calls = 0;
    EXPECT_EQ(GoldSection_Double(f, same, 1e-9).Solve(), 2);
    EXPECT_EQ(g_calls, 3);  // b, a and the inner point, no iteration

    // Script: the minimum of |x^3 - extra| is at 2, traced.
    Variable g;
    vrt::MakeScriptFunction(g, [](VarRegister& r, VarRegister* a, int) {
        double x = a[0];
        r = std::fabs(x * x * x - static_cast<double>(a[1].GetVar()));
    });
    Variable eight(8.0);
    double gb[2] = {0, 3};
    GoldSection_Double gs(g, gb, 1e-9);
    gs.SetExtraParam(eight);
    gs.SetSilent(0);
    EXPECT_NEAR(gs.Solve(), 2, 3e-9);
    EXPECT_EQ(out.rfind("Argument = 3, Function = 19\r\nArgument = 0, Function = 8\r\n", 0), 0u);

    Variable p = Native(Positive);  // monotone: the better end
    double pb[2] = {1, 4};
    EXPECT_NEAR(GoldSection_Double(p, pb, 1e-8).Solve(), 1, 1e-7);
}

TEST_F(SectionTest, WithoutProcessorOrFunction) {
    vrt::SetCurrentProcessor(nullptr);
    Variable f = CubeMinusExtra();
    double bnd[2] = {0, 4};
    BiSection_Double s(f, bnd, 1e-9);
    s.SetSilent(0);
    EXPECT_EQ(s.Solve(), 4);  // every value is 0: b at once
    EXPECT_EQ(s.GetErrorStatus(), 0);
    GoldSection_Double g(f, bnd, 1e-6);
    g.SetSilent(0);
    double r = g.Solve();
    EXPECT_TRUE(r >= 0 && r <= 4);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(vrt::Errors().empty());

    Variable null = Native(nullptr);
    BiSection_Double nb(null, bnd, 1e-9);
    EXPECT_EQ(nb.Solve(), 2);
    EXPECT_EQ(nb.GetErrorStatus(), 1);
    EXPECT_EQ(GoldSection_Double(null, bnd, 1e-9).Solve(), 2);
    ASSERT_EQ(vrt::Errors().size(), 2u);
    EXPECT_EQ(vrt::Errors()[0].code, 3);
}

}  // namespace
