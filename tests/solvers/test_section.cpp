// Bisection and golden-section solvers, driven by native function pointers
// and by script functions run through the host processor.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "runtime/VeskRuntime.h"
#include "solvers/Section.h"

namespace {

int g_calls = 0;

double SquareMinusTwo(double x, Variable&) {
    ++g_calls;
    return x * x - 2;
}
double Tiny(double x, Variable&) {
    ++g_calls;
    return 1e-200 * (x - 0.5);
}
double Positive(double x, Variable&) {
    ++g_calls;
    return x * x + 1;
}
double NaNRight(double x, Variable&) {
    ++g_calls;
    return x < 1 ? -1 : std::nan("");
}
// Minimum at the value held by the extra parameter.
double Bowl(double x, Variable& extra) {
    ++g_calls;
    double c = extra;
    return (x - c) * (x - c) + 3;
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

    // A script function f(x, extra) = x^3 - extra that counts its calls in
    // extra's array element 1 (the extra parameter arrives by reference).
    static Variable CubeMinusExtra() {
        Variable f;
        vrt::MakeScriptFunction(f, [](VarRegister& result, VarRegister* args, int n) {
            ASSERT_EQ(n, 2);
            ASSERT_TRUE(args[1].IsRef());
            double x = args[0];
            Variable& extra = args[1].GetVar();
            extra[1] = static_cast<double>(extra[1]) + 1;
            result = x * x * x - static_cast<double>(extra[0]);
        });
        return f;
    }

    Processor proc;
    std::string out;
};

TEST_F(SectionTest, BisectionWithNativeFunction) {
    Variable f = Native(SquareMinusTwo);
    double bnd[2] = {0, 2};
    BiSection_Double s(f, bnd, 1e-12);
    EXPECT_EQ(s.GetResult(), 1);
    EXPECT_EQ(s.GetErrorStatus(), 1);
    double r = s.Solve();
    EXPECT_EQ(r, s.GetResult());
    EXPECT_EQ(s.GetErrorStatus(), 0);
    EXPECT_NEAR(r, std::sqrt(2.0), 2e-12);
    EXPECT_TRUE(out.empty());  // silent by default

    // Descending boundaries give the same root; copies solve alike.
    s.GetBoundaries()[0] = 2;
    s.GetBoundaries()[1] = 0;
    BiSection_Double copy(s);
    EXPECT_NEAR(copy.Solve(), std::sqrt(2.0), 2e-12);
    EXPECT_EQ(s.GetBoundaries()[0], 2);
}

TEST_F(SectionTest, BisectionWithScriptFunctionAndTrace) {
    Variable f = CubeMinusExtra();
    Variable extra;
    vrt::MakeArray(extra, {20, 0});
    double bnd[2] = {0, 4};
    BiSection_Double s(f, bnd, 1e-9);
    s.SetExtraParam(extra);
    s.SetSilent(0);
    EXPECT_NEAR(s.Solve(), std::cbrt(20.0), 4 * 1e-9);
    // b is evaluated first, then a, then the midpoints.
    EXPECT_EQ(out.rfind("Argument = 4, Function = 44\r\nArgument = 0, Function = -20\r\n"
                        "Argument = 2, Function = -12\r\n",
                        0),
              0u);
    size_t lines = 0;
    for (size_t p = out.find("\r\n"); p != std::string::npos; p = out.find("\r\n", p + 2)) ++lines;
    EXPECT_GT(lines, 30u);
    EXPECT_EQ(extra[1].GetInt32(), 0);  // the solver works on its own copy
}

TEST_F(SectionTest, BisectionEndsAndSignChanges) {
    Variable f = Native(SquareMinusTwo);
    double same[2] = {1.5, 1.5};
    BiSection_Double equal(f, same, 1e-9);
    EXPECT_EQ(equal.Solve(), 1.5);
    EXPECT_EQ(g_calls, 0);

    Variable g = Native(Positive);
    double nb[2] = {-1, 3};
    BiSection_Double none(g, nb, 1e-9);
    EXPECT_EQ(none.Solve(), -1);  // |f| smaller at a
    EXPECT_EQ(none.GetErrorStatus(), 1);
    nb[0] = 3;
    nb[1] = 0.5;
    BiSection_Double none2(g, nb, 1e-9);
    EXPECT_EQ(none2.Solve(), 0.5);
    EXPECT_EQ(none2.GetErrorStatus(), 1);

    // Values whose product underflows still have opposite signs.
    Variable tiny = Native(Tiny);
    double tb[2] = {0, 2};
    BiSection_Double t(tiny, tb, 1e-12);
    EXPECT_NEAR(t.Solve(), 0.5, 2e-12);
    EXPECT_EQ(t.GetErrorStatus(), 0);
}

// A zero exactly at an end answers that end; b is tested first.
TEST_F(SectionTest, BisectionZeroAtAnEnd) {
    Variable lin;
    int calls = 0;
    vrt::MakeScriptFunction(lin, [&calls](VarRegister& r, VarRegister* a, int) {
        ++calls;
        r = static_cast<double>(a[0]) - 1;
    });
    double atA[2] = {1, 5};
    BiSection_Double sa(lin, atA, 1e-9);
    EXPECT_EQ(sa.Solve(), 1);
    EXPECT_EQ(calls, 2);
    double atB[2] = {-3, 1};
    BiSection_Double sb(lin, atB, 1e-9);
    EXPECT_EQ(sb.Solve(), 1);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(sb.GetErrorStatus(), 0);
}

// Tolerances at or below the spacing of doubles, negative ones and NaN values
// still end the loop; the stored iteration limit ends it early with status 2.
TEST_F(SectionTest, BisectionAlwaysTerminates) {
    Variable f = Native(SquareMinusTwo);
    for (double eps : {1e-16, 0.0, -1.0}) {
        g_calls = 0;
        double bnd[2] = {0, 2};
        BiSection_Double s(f, bnd, eps);
        double r = s.Solve();
        EXPECT_LE(std::fabs(r - std::sqrt(2.0)), 4e-16) << eps;
        EXPECT_EQ(s.GetErrorStatus(), 0);
        EXPECT_LT(g_calls, 70);
    }
    Variable nanf = Native(NaNRight);
    double bnd[2] = {0, 2};
    BiSection_Double n(nanf, bnd, 0.0);
    n.Solve();
    EXPECT_LT(g_calls, 200);

    g_calls = 0;
    BiSection_Double limited(f, bnd, 1e-12);
    limited.SetMaxItterationNumber(5);
    double r = limited.Solve();
    EXPECT_EQ(g_calls, 3 + 5);
    EXPECT_EQ(limited.GetErrorStatus(), 2);
    EXPECT_NEAR(r, std::sqrt(2.0), 2.0 / 64);
}

TEST_F(SectionTest, GoldenSectionNativeAndScript) {
    Variable f = Native(Bowl);
    Variable centre(1.25);
    double bnd[2] = {-2, 5};
    // Near a smooth minimum f differs from its least value by less than its
    // rounding within about sqrt(3 * 2.2e-16) of the abscissa.
    GoldSection_Double s(f, bnd, 1e-10);
    s.SetExtraParam(centre);
    EXPECT_NEAR(s.Solve(), 1.25, 5e-8);
    EXPECT_EQ(s.GetResult(), s.Solve());
    bnd[0] = 5;
    bnd[1] = -2;
    GoldSection_Double desc(f, bnd, 1e-10);
    desc.SetExtraParam(centre);
    EXPECT_NEAR(desc.Solve(), 1.25, 5e-8);

    // Script function: the minimum of |x^3 - 8| is at 2; traced.
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

    // A monotone function: the better end.
    Variable p = Native(Positive);
    double pb[2] = {1, 4};
    GoldSection_Double mono(p, pb, 1e-8);
    EXPECT_NEAR(mono.Solve(), 1, 1e-7);
}

TEST_F(SectionTest, GoldenSectionEdgeCases) {
    Variable f = Native(Bowl);
    Variable centre(0.0);
    double same[2] = {2, 2};
    GoldSection_Double equal(f, same, 1e-9);
    equal.SetExtraParam(centre);
    EXPECT_EQ(equal.Solve(), 2);
    EXPECT_EQ(g_calls, 3);  // b, a and the inner point, no iteration

    for (double eps : {1e-17, 0.0, -1.0}) {
        g_calls = 0;
        double bnd[2] = {-1, 3};
        GoldSection_Double s(f, bnd, eps);
        s.SetExtraParam(centre);
        EXPECT_NEAR(s.Solve(), 0, 1e-7) << eps;
        EXPECT_LT(g_calls, 2000);
    }
    g_calls = 0;
    double bnd[2] = {-1, 3};
    GoldSection_Double limited(f, bnd, 1e-12);
    limited.SetExtraParam(centre);
    limited.SetMaxItterationNumber(10);
    limited.Solve();
    EXPECT_EQ(g_calls, 3 + 10);
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
    EXPECT_GE(r, 0);
    EXPECT_LE(r, 4);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(vrt::Errors().empty());

    Variable null;
    vrt::MakeNativeFunction(null, nullptr);
    BiSection_Double nb(null, bnd, 1e-9);
    EXPECT_EQ(nb.Solve(), 2);
    EXPECT_EQ(nb.GetErrorStatus(), 1);
    GoldSection_Double ng(null, bnd, 1e-9);
    EXPECT_EQ(ng.Solve(), 2);
    ASSERT_EQ(vrt::Errors().size(), 2u);
    EXPECT_EQ(vrt::Errors()[0].code, 3);
}

}  // namespace
