// The script function table as the host sees it: fetched through the module's
// entry point, each row family called with each argument shape.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/FunctionTable.h"
#include "runtime/PluginLoader.h"
#include "special/Bessel.h"
#include "special/Gamma.h"
#include "special/Random.h"
#include "tests/host/ErrorTest.h"

namespace {

// x as the program sees it at run time: expected values of the C library's
// functions are computed by the library, not folded by the compiler (which
// rounds correctly where some C libraries do not).
double AtRunTime(double x) {
    volatile double v = x;
    return v;
}

using Doubles = std::vector<double>;

const char* const kTexts[] = {
    "Conjugate(any)", "BesselJ0(any)", "BesselJ1(any)", "BesselJn(number, any)",
    "BesselJpn(number, any)", "BesselY0(any)", "BesselY1(any)", "BesselYn(number, any)",
    "BesselYpn(number, any)", "BesselI0(any)", "BesselI1(any)", "BesselIn(number, any)",
    "LnBesselIn(number, any)", "BesselIpn(number, any)", "LnBesselIpn(number, any)",
    "BesselK0(any)", "BesselK1(any)", "BesselKn(number, any)", "BesselKpn(number, any)",
    "LnGamma(any)", "Gamma_P(number, number)", "LnGamma_P(number, number)",
    "Gamma_Q(number, number)", "LnGamma_Q(number, number)", "Beta_I(number, number, number)",
    "LnBeta_I(number, number, number)", "Beta(number, number)", "LnBeta(number, number)",
    "ProbChi2(number, number)", "FTest(refer object Vector, refer object Vector)", "Errf(any)",
    "Errf1(any)", "Sinc(any)", "RandGauss(number, number)", "RandGaus(number, number)",
    "RandPoisson(number)", "RandBinominal(number, int)"};
constexpr int kRows = sizeof kTexts / sizeof kTexts[0];

// The table fetched through the module's entry point, as the host does.
const VeskFunctionEntry* Table() {
    static vrt::PluginModule module;
    static std::string error;
    static bool loaded = module.Load(VESK_MODULE_FILE, error);
    return loaded ? module.table() : nullptr;
}

// Calls the row `text` into r, the arguments passed by reference.
template <class... A>
void Call(const char* text, VarRegister& r, A&&... args) {
    ASSERT_NE(Table(), nullptr);
    Variable* values[] = {&static_cast<Variable&>(args)...};
    VarRegister regs[sizeof...(A)];
    for (size_t i = 0; i < sizeof...(A); ++i) {
        regs[i].PointTo(values[i]);
        regs[i].SetRef();
    }
    for (const VeskFunctionEntry* e = Table(); e->handler != nullptr; ++e)
        if (std::strcmp(e->text, text) == 0) return e->handler(r, regs);
    ADD_FAILURE() << "no row " << text;
}

Variable Array(const Doubles& v) {
    Variable a;
    vrt::MakeArray(a, v);
    return a;
}

struct TableTest : ErrorTest {
    VarRegister r;
};

TEST_F(TableTest, RowsTextsAndTerminator) {
    const VeskFunctionEntry* t = Table();
    ASSERT_NE(t, nullptr);
    for (int i = 0; i < kRows; ++i) {
        EXPECT_NE(t[i].handler, nullptr) << i;
        EXPECT_STREQ(t[i].text, kTexts[i]) << i;
        for (int j = 0; j < i; ++j)  // only RandGauss and RandGaus share a handler
            EXPECT_EQ(t[i].handler == t[j].handler, j == 33 && i == 34) << j << ", " << i;
    }
    EXPECT_EQ(t[kRows].handler, nullptr);
    EXPECT_STREQ(t[kRows].text, "");
}

// Each "any" row (its index in kTexts) with what its elements get: f(x), or
// g(x, 2.5) for the rows that take the order 2.5 first.
struct AnyRow { int row; double (*f)(double); double (*g)(double, double); };
const AnyRow kAnyRows[] = {
    {1, j0, nullptr}, {2, j1, nullptr}, {5, y0, nullptr}, {6, y1, nullptr}, {9, BesselI0, nullptr},
    {10, BesselI1, nullptr}, {15, BesselK0, nullptr}, {16, BesselK1, nullptr}, {19, LnGamma, nullptr},
    {30, [](double x) { return Gamma_P(0.5, x * x); }, nullptr}, {31, Erf, nullptr},
    {32, [](double x) { return std::sin(x) / x; }, nullptr}, {3, nullptr, BesselJFrac},
    {4, nullptr, BesselJpFrac}, {7, nullptr, BesselYFrac}, {8, nullptr, BesselYpFrac},
    {11, nullptr, BesselIFrac}, {12, nullptr, LnBesselIn}, {13, nullptr, BesselIpFrac},
    {14, nullptr, LnBesselIpn}, {17, nullptr, BesselKFrac}, {18, nullptr, BesselKpFrac}};

TEST_F(TableTest, AnyRowsFollowTheArgumentShapeAndLeaveItAlone) {
    const Doubles xs = {0.5, 1.7, 3.2};
    vrt::DefineClass("TableTestOther", 0);
    for (const AnyRow& row : kAnyRows) {
        const char* text = kTexts[row.row];
        SCOPED_TRACE(text);
        Doubles want;
        for (double x : xs) want.push_back(row.f != nullptr ? row.f(x) : row.g(x, 2.5));
        Variable order(2.5), number(1.7), object, array = Array(xs), empty = Array({}), vec, curve,
            str("text"), other;
        vrt::MakeNumberObject(object, 3.2);
        ASSERT_TRUE(vrt::NewObject(vec, "MVector") && vrt::NewObject(other, "TableTestOther"));
        vec.GetObject()->Elements() = array;
        vrt::MakeTFunc(curve, {1, 2, 3}, xs);
        curve("Name") = "curve";
        auto call = [&](Variable& arg) -> Variable& {
            row.g != nullptr ? Call(text, r, order, arg) : Call(text, r, arg);
            return r.GetVar();
        };
        EXPECT_EQ(call(number).GetType(), VT_DOUBLE);
        EXPECT_EQ(static_cast<double>(r), want[1]);
        EXPECT_EQ(static_cast<double>(call(object)), want[2]);
        EXPECT_EQ(vrt::ToDoubles(call(vec)), want);
        EXPECT_EQ(vrt::ToDoubles(call(array)), want);
        EXPECT_TRUE(call(empty).GetType() == VT_ARRAY && r.GetVar().GetDim() == 0);
        Variable& out = call(curve);
        EXPECT_TRUE(out.IsInheritFrom(Token::GetNameID("TFunc")));
        EXPECT_EQ(vrt::ToDoubles(out("Y")), want);
        EXPECT_EQ(vrt::ToDoubles(out("X")), (Doubles{1, 2, 3}));
        EXPECT_STREQ(out("Name").GetText(), "curve");
        out("Y")[0] = 99.0;  // the result's ordinates are its own
        EXPECT_TRUE(vrt::Errors().empty());
        EXPECT_EQ(vrt::ToDoubles(array), xs);
        EXPECT_EQ(vrt::ToDoubles(curve("Y")), xs);
        r = 123.0;
        call(str);
        call(other);
        EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
        EXPECT_EQ(static_cast<double>(r), 123.0);
        vrt::ClearErrors();
    }
}

TEST_F(TableTest, ResultMayBeTheArgumentAndOrdinatesMayBeMissing) {
    Variable data = Array({0.0, 1.0}), curve, bare;
    vrt::MakeTFunc(curve, {1, 2}, {0.0, 1.0});
    for (Variable* v : {&data, &curve}) {
        r.PointTo(v);
        Call("BesselJ0(any)", r, *v);
    }
    EXPECT_EQ(vrt::ToDoubles(data), (Doubles{1.0, j0(AtRunTime(1.0))}));
    EXPECT_EQ(vrt::ToDoubles(curve("Y")), (Doubles{1.0, j0(AtRunTime(1.0))}));
    EXPECT_EQ(vrt::ToDoubles(curve("X")), (Doubles{1, 2}));
    // A tabulated function without ordinates comes back as a plain copy.
    ASSERT_TRUE(vrt::NewObject(bare, "TFunc"));
    bare("X") = 1.0;
    VarRegister copy;
    Call("Sinc(any)", copy, bare);
    EXPECT_EQ(static_cast<double>(copy.GetVar()("X")), 1.0);
    EXPECT_FALSE(copy.GetVar().HasMember("Y") || bare.HasMember("Y"));
}

TEST_F(TableTest, ElementRoutinesAtTheirSwitchPoints) {
    // Negative x is valid for the integer routines only; an order beyond the
    // int range goes to the fractional routine, which refuses |ν| > 2³¹.
    Variable two(2.0), minusTwo(-2), huge(-3e9), xs = Array({-1.0, 0.5}), x(1.5);
    Call("BesselJn(number, any)", r, two, xs);
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (Doubles{jn(2, AtRunTime(-1.0)), jn(2, AtRunTime(0.5))}));
    Call("BesselYn(number, any)", r, minusTwo, x);
    EXPECT_EQ(static_cast<double>(r), yn(-2, AtRunTime(1.5)));
    Call("BesselYn(number, any)", r, huge, x);  // not integral: the fractional routine refuses it
    EXPECT_EQ(static_cast<double>(r), 0.0);
    // A fractional order: the element -1 fails (error 3 and 0), the loop goes on.
    Variable frac(2.5), mixed = Array({0.5, -1.0, 1.5});
    Call("BesselJn(number, any)", r, frac, mixed);
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (Doubles{BesselJFrac(0.5, 2.5), 0.0, BesselJFrac(1.5, 2.5)}));
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
    // Sinc is exactly 1 at 0; Errf is odd.
    Variable sinc = Array({0.0, M_PI}), errf = Array({-0.5, 0.5});
    Call("Sinc(any)", r, sinc);
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (Doubles{1.0, std::sin(AtRunTime(M_PI)) / M_PI}));
    Call("Errf(any)", r, errf);
    const Doubles e = vrt::ToDoubles(r.GetVar());
    EXPECT_EQ(e[0], -e[1]);
    EXPECT_NEAR(e[1], std::erf(0.5), 2e-10 * e[1]);  // the accuracy of ln Γ behind P
}

TEST_F(TableTest, NumberRowsReadTheirArgumentsInOrder) {
    Variable a(2.5), b(1.5), c(0.3), two(2), twoObject;
    const struct { const char* text; double want; } rows[] = {
        {"Gamma_P(number, number)", Gamma_P(2.5, 1.5)}, {"LnGamma_P(number, number)", LnGamma_P(2.5, 1.5)},
        {"Gamma_Q(number, number)", Gamma_Q(2.5, 1.5)}, {"LnGamma_Q(number, number)", LnGamma_Q(2.5, 1.5)},
        {"Beta(number, number)", Beta(2.5, 1.5)}, {"LnBeta(number, number)", LnBeta(2.5, 1.5)},
        {"ProbChi2(number, number)", Gamma_P(1.25, 0.75)},
        {"Beta_I(number, number, number)", Beta_I(2.5, 1.5, 0.3)},
        {"LnBeta_I(number, number, number)", LnBeta_I(2.5, 1.5, 0.3)}};
    for (const auto& row : rows) {
        Call(row.text, r, a, b, c);  // a two-number row ignores the third
        EXPECT_EQ(static_cast<double>(r), row.want) << row.text;
    }
    vrt::MakeNumberObject(twoObject, 2.0);
    Call("ProbChi2(number, number)", r, two, twoObject);
    EXPECT_EQ(static_cast<double>(r), Gamma_P(1.0, 1.0));
    EXPECT_NEAR(static_cast<double>(r), 1 - std::exp(-1.0), 2e-10);
    EXPECT_TRUE(vrt::Errors().empty());
    // The random rows draw from the host generator.
    vrt::SeedRand(11);
    Doubles drawn;  // a pair of normal deviates, then a Poisson deviate
    for (const char* row : {"RandGauss(number, number)", "RandGaus(number, number)"}) {
        Call(row, r, a, b);
        drawn.push_back(r);
    }
    Call("RandPoisson(number)", r, b);
    drawn.push_back(r);
    vrt::SeedRand(11);
    EXPECT_EQ(drawn, (Doubles{RandGauss(2.5, 1.5), RandGauss(2.5, 1.5), RandPoisson(1.5)}));
    Call("RandBinominal(number, int)", r, two, a);  // 2.5 read as 2 trials that always succeed
    EXPECT_EQ(static_cast<double>(r), 2.0);
}

// ProbChi2 where halving its arguments rounds (before: ProbChi2(1, 5e-324)
// 0, the half of 5e-324 being 0; ProbChi2(5e-324, 1.5) refused for a = 0;
// ProbChi2(2.2250738585072014e-308, 1.5) +∞). True values from mpmath.
TEST_F(TableTest, ProbChi2AtTheEndsOfTheDoubleRange) {
    const struct { double degrees, chi2, want; } rows[] = {
        {1.0, 5e-324, 1.7735048886036272689e-162},
        {2.0, 0x1p-1030, 0x1p-1031},  // 1 − e^−x for x = 2^−1031, subnormal
        {5e-324, 1.5, 1.0},
        {2.2250738585072014e-308, 1.5, 1.0},
        {3.0, 5e-324, 0.0},  // 2.9e-486
    };
    for (const auto& row : rows) {
        Variable d(row.degrees), c(row.chi2);
        Call("ProbChi2(number, number)", r, d, c);
        EXPECT_NEAR(static_cast<double>(r), row.want, 1e-13 * row.want)
            << row.degrees << " " << row.chi2;
    }
    EXPECT_TRUE(vrt::Errors().empty());
}

// Arguments without a numeric shape are refused with error 3 and leave the
// result alone, as a text is: they no longer come back unchanged, as NaN, or
// as samples of zeros.
TEST_F(TableTest, ArgumentsWithoutANumericShapeAreRefused) {
    Variable numberY, textY, textValue, noValue, text("abc"), other("defg"), number(4.0);
    vrt::MakeTFunc(numberY, {1}, {0});
    numberY("Y") = 5.0;
    vrt::MakeTFunc(textY, {1}, {0});
    textY("Y") = "abc";
    vrt::MakeNumberObject(textValue, 1.0);
    textValue("Value") = "x";
    ASSERT_TRUE(vrt::NewObject(noValue, "Number"));
    Variable array = Array({1, 2, 3});
    const char* ftest = "FTest(refer object Vector, refer object Vector)";
    for (Variable* v : {&numberY, &textY, &textValue, &noValue}) {
        r = 7.0;
        Call("BesselJ0(any)", r, *v);
        EXPECT_EQ(static_cast<double>(r), 7.0);
        Call("LnGamma(any)", r, *v);
        EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
        vrt::ClearErrors();
    }
    for (auto [first, second] : {std::pair{&text, &other}, {&text, &array}, {&array, &number}}) {
        r = 7.0;
        Call(ftest, r, *first, *second);
        EXPECT_EQ(static_cast<double>(r), 7.0);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
        vrt::ClearErrors();
    }
}

// Every row outside the Bessel family answers at once for ±∞ and NaN in
// any argument: its limit where one exists, NaN for NaN (or, where the
// routine refuses NaN, error 3 and 0).
TEST_F(TableTest, NonBesselRowsAtInfinityAndNaN) {
    const double inf = HUGE_VAL, nan = std::nan("");
    constexpr double kAny = -12345.0;  // any value (random rows)
    struct Case {
        const char* row;
        Doubles args;
        double expected;
        int error;  // 0 or the code raised
    };
    const Case cases[] = {
        {"Conjugate(any)", {inf}, inf, 0},          {"Conjugate(any)", {nan}, nan, 0},
        {"LnGamma(any)", {inf}, inf, 0},            {"LnGamma(any)", {-inf}, nan, 0},
        {"LnGamma(any)", {nan}, nan, 0},
        {"Gamma_P(number, number)", {inf, 3}, 0, 0},     {"Gamma_P(number, number)", {2, inf}, 1, 0},
        {"Gamma_P(number, number)", {-inf, 3}, 0, 3},    {"Gamma_P(number, number)", {2, -inf}, 0, 3},
        {"Gamma_P(number, number)", {nan, 3}, 0, 3},     {"Gamma_P(number, number)", {2, nan}, 0, 3},
        {"Gamma_Q(number, number)", {inf, 3}, 1, 0},     {"Gamma_Q(number, number)", {2, inf}, 0, 0},
        {"LnGamma_P(number, number)", {inf, 3}, -inf, 0}, {"LnGamma_P(number, number)", {2, inf}, 0, 0},
        {"LnGamma_Q(number, number)", {inf, 3}, 0, 0},   {"LnGamma_Q(number, number)", {2, inf}, -inf, 0},
        {"LnGamma_Q(number, number)", {2, nan}, 0, 3},
        {"Beta_I(number, number, number)", {inf, 3, 0.5}, 0, 0},
        {"Beta_I(number, number, number)", {2, inf, 0.5}, 1, 0},
        {"Beta_I(number, number, number)", {-inf, 3, 0.5}, 0, 3},
        {"Beta_I(number, number, number)", {2, nan, 0.5}, 0, 3},
        {"Beta_I(number, number, number)", {2, 3, inf}, 0, 3},
        {"Beta_I(number, number, number)", {2, 3, nan}, 0, 3},
        {"LnBeta_I(number, number, number)", {inf, 3, 0.5}, -inf, 0},
        {"LnBeta_I(number, number, number)", {2, inf, 0.5}, 0, 0},
        {"LnBeta_I(number, number, number)", {2, 3, -inf}, 0, 3},
        {"Beta(number, number)", {inf, 3}, 0, 0},        {"Beta(number, number)", {2, inf}, 0, 0},
        {"Beta(number, number)", {nan, 3}, nan, 0},      {"Beta(number, number)", {-inf, 3}, nan, 0},
        {"LnBeta(number, number)", {inf, 3}, -inf, 0},   {"LnBeta(number, number)", {2, nan}, nan, 0},
        {"ProbChi2(number, number)", {inf, 3}, 0, 0},    {"ProbChi2(number, number)", {4, inf}, 1, 0},
        {"ProbChi2(number, number)", {4, nan}, 0, 3},    {"ProbChi2(number, number)", {-inf, 3}, 0, 3},
        {"Errf(any)", {inf}, 1, 0},   {"Errf(any)", {-inf}, -1, 0},   {"Errf(any)", {nan}, nan, 0},
        {"Errf1(any)", {inf}, 1, 0},  {"Errf1(any)", {-inf}, -1, 0},  {"Errf1(any)", {nan}, nan, 0},
        {"Sinc(any)", {inf}, 0, 0},   {"Sinc(any)", {-inf}, 0, 0},    {"Sinc(any)", {nan}, nan, 0},
        {"RandGauss(number, number)", {inf, 1}, inf, 0}, {"RandGaus(number, number)", {-inf, 1}, -inf, 0},
        {"RandGauss(number, number)", {nan, 1}, nan, 0}, {"RandGauss(number, number)", {0, nan}, nan, 0},
        {"RandGauss(number, number)", {0, inf}, kAny, 0},
        {"RandPoisson(number)", {inf}, 0, 0}, {"RandPoisson(number)", {-inf}, 0, 0},
        {"RandPoisson(number)", {nan}, 0, 0},
        {"RandBinominal(number, int)", {inf, 30}, 30, 0}, {"RandBinominal(number, int)", {-inf, 30}, 0, 0},
        {"RandBinominal(number, int)", {nan, 30}, 0, 0},  {"RandBinominal(number, int)", {0.5, -inf}, 0, 0},
        {"RandBinominal(number, int)", {0.5, nan}, 0, 0}, {"RandBinominal(number, int)", {0.3, inf}, kAny, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.row << " " << c.args[0] << " " << c.args.back());
        std::vector<Variable> v(c.args.begin(), c.args.end());
        r = 7.0;
        if (v.size() == 1) Call(c.row, r, v[0]);
        if (v.size() == 2) Call(c.row, r, v[0], v[1]);
        if (v.size() == 3) Call(c.row, r, v[0], v[1], v[2]);
        const double got = static_cast<double>(r);
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(got)) << got;
        } else if (c.expected != kAny) {
            EXPECT_EQ(got, c.expected);
        }
        EXPECT_EQ(ErrorCodes(), c.error ? std::vector<int>{c.error} : std::vector<int>{});
        vrt::ClearErrors();
    }
    // F-test samples holding ±∞ or NaN: error 3.
    const char* ftest = "FTest(refer object Vector, refer object Vector)";
    Variable plain = Array({1, 2, 4});
    for (double bad : {inf, -inf, nan}) {
        Variable holed = Array({1, bad, 3});
        r = 7.0;
        Call(ftest, r, plain, holed);
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
        vrt::ClearErrors();
    }
}

TEST_F(TableTest, RowsWithHandlersOfTheirOwn) {
    const char* row = "FTest(refer object Vector, refer object Vector)";
    Variable a = Array({1, 2, 3}), b, number(4.0);
    ASSERT_TRUE(vrt::NewObject(b, "MVector"));
    b.GetObject()->Elements() = Array({2, 4, 9});
    const long blocks = vrt::LiveHeapBlocks();
    Call(row, r, a, b);
    const double da[] = {1, 2, 3}, db[] = {2, 4, 9};
    double f;
    EXPECT_EQ(static_cast<double>(r), FTest(da, 3, db, 3, &f));
    EXPECT_TRUE(vrt::Errors().empty());
    // Working storage refused for one or both samples: error 1, result
    // untouched, nothing leaked.
    for (int failures = 1; failures <= 2; ++failures) {
        r = 7.0;
        vrt::FailNextAllocations(failures);
        Call(row, r, a, b);
        EXPECT_EQ(static_cast<double>(r), 7.0);
    }
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{1, 1}));
    EXPECT_EQ(vrt::LiveHeapBlocks(), blocks);
    // Conjugate copies real values, keeping their type.
    Variable i(4);
    Call("Conjugate(any)", r, a);
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (Doubles{1, 2, 3}));
    Call("Conjugate(any)", r, i);
    EXPECT_EQ(r.GetVar().GetType(), VT_INT);
}

}  // namespace
