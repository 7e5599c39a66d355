// The script function table as the host sees it: loaded through the module's
// entry point, every row called with every argument shape.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/FunctionTable.h"
#include "runtime/VeskRuntime.h"
#include "special/Bessel.h"
#include "special/Gamma.h"
#include "special/Random.h"
#include "tests/host/ErrorTest.h"

namespace {

const char* const kTexts[] = {
    "Conjugate(any)",
    "BesselJ0(any)",
    "BesselJ1(any)",
    "BesselJn(number, any)",
    "BesselJpn(number, any)",
    "BesselY0(any)",
    "BesselY1(any)",
    "BesselYn(number, any)",
    "BesselYpn(number, any)",
    "BesselI0(any)",
    "BesselI1(any)",
    "BesselIn(number, any)",
    "LnBesselIn(number, any)",
    "BesselIpn(number, any)",
    "LnBesselIpn(number, any)",
    "BesselK0(any)",
    "BesselK1(any)",
    "BesselKn(number, any)",
    "BesselKpn(number, any)",
    "LnGamma(any)",
    "Gamma_P(number, number)",
    "LnGamma_P(number, number)",
    "Gamma_Q(number, number)",
    "LnGamma_Q(number, number)",
    "Beta_I(number, number, number)",
    "LnBeta_I(number, number, number)",
    "Beta(number, number)",
    "LnBeta(number, number)",
    "ProbChi2(number, number)",
    "FTest(refer object Vector, refer object Vector)",
    "Errf(any)",
    "Errf1(any)",
    "Sinc(any)",
    "RandGauss(number, number)",
    "RandGaus(number, number)",
    "RandPoisson(number)",
    "RandBinominal(number, int)",
};
constexpr int kRows = sizeof kTexts / sizeof kTexts[0];

// The table fetched through the module's entry point, as the host does.
const VeskFunctionEntry* Table() {
    static const VeskFunctionEntry* table = [] {
        void* h = dlopen(VESK_MODULE_FILE, RTLD_NOW);
        if (h == nullptr) return static_cast<const VeskFunctionEntry*>(nullptr);
        auto fetch = reinterpret_cast<const VeskFunctionEntry* (*)()>(
            dlsym(h, "VeskPlugin_FunctionTable"));
        return fetch != nullptr ? fetch() : nullptr;
    }();
    return table;
}

VeskHandler Handler(const char* text) {
    for (const VeskFunctionEntry* e = Table(); e->handler != nullptr; ++e)
        if (std::strcmp(e->text, text) == 0) return e->handler;
    ADD_FAILURE() << "no row " << text;
    return nullptr;
}

// Calls the row with the given arguments into `result`.
void Call(const char* text, VarRegister& result, std::vector<Variable> args) {
    std::vector<VarRegister> regs(args.size());
    for (size_t i = 0; i < args.size(); ++i) regs[i] = args[i];
    VarRegister none;
    Handler(text)(result, regs.empty() ? &none : regs.data());
}

Variable Array(const std::vector<double>& v) {
    Variable a;
    vrt::MakeArray(a, v);
    return a;
}

class TableTest : public ErrorTest {
protected:
    void SetUp() override {
        ErrorTest::SetUp();
        ASSERT_NE(Table(), nullptr);
    }
};

TEST_F(TableTest, RowsTextsAndTerminator) {
    const VeskFunctionEntry* t = Table();
    for (int i = 0; i < kRows; ++i) {
        ASSERT_NE(t[i].handler, nullptr) << i;
        EXPECT_STREQ(t[i].text, kTexts[i]) << i;
    }
    EXPECT_EQ(t[kRows].handler, nullptr);
    ASSERT_NE(t[kRows].text, nullptr);
    EXPECT_STREQ(t[kRows].text, "");
    // Only RandGauss and RandGaus share a handler.
    for (int i = 0; i < kRows; ++i)
        for (int j = i + 1; j < kRows; ++j)
            EXPECT_EQ(t[i].handler == t[j].handler, i == 33 && j == 34) << i << ", " << j;
}

// Each "any" row with the routine that should give its elements (order 2.5
// for the rows that take one).
struct AnyRow {
    const char* text;
    double (*expected)(double x);
};
const AnyRow kAnyRows[] = {
    {"BesselJ0(any)", j0},
    {"BesselJ1(any)", j1},
    {"BesselJn(number, any)", [](double x) { return BesselJFrac(x, 2.5); }},
    {"BesselJpn(number, any)", [](double x) { return BesselJpFrac(x, 2.5); }},
    {"BesselY0(any)", y0},
    {"BesselY1(any)", y1},
    {"BesselYn(number, any)", [](double x) { return BesselYFrac(x, 2.5); }},
    {"BesselYpn(number, any)", [](double x) { return BesselYpFrac(x, 2.5); }},
    {"BesselI0(any)", BesselI0},
    {"BesselI1(any)", BesselI1},
    {"BesselIn(number, any)", [](double x) { return BesselIFrac(x, 2.5); }},
    {"LnBesselIn(number, any)", [](double x) { return LnBesselIn(x, 2.5); }},
    {"BesselIpn(number, any)", [](double x) { return BesselIpFrac(x, 2.5); }},
    {"LnBesselIpn(number, any)", [](double x) { return LnBesselIpn(x, 2.5); }},
    {"BesselK0(any)", BesselK0},
    {"BesselK1(any)", BesselK1},
    {"BesselKn(number, any)", [](double x) { return BesselKFrac(x, 2.5); }},
    {"BesselKpn(number, any)", [](double x) { return BesselKpFrac(x, 2.5); }},
    {"LnGamma(any)", LnGamma},
    {"Errf(any)", [](double x) { return x < 0 ? -Gamma_P(0.5, x * x) : Gamma_P(0.5, x * x); }},
    {"Errf1(any)", Erf},
    {"Sinc(any)", [](double x) { return std::sin(x) / x; }},
};

bool TakesOrder(const char* text) { return std::strstr(text, "(number, any)") != nullptr; }

// Calls an "any" row on `arg`, with the order 2.5 first where the row has one.
void CallAny(const char* text, VarRegister& result, const Variable& arg) {
    if (TakesOrder(text)) Call(text, result, {Variable(2.5), arg});
    else Call(text, result, {arg});
}

std::vector<double> Map(double (*f)(double), const std::vector<double>& xs) {
    std::vector<double> out;
    for (double x : xs) out.push_back(f(x));
    return out;
}

TEST_F(TableTest, AnyRowsFollowTheArgumentShape) {
    const std::vector<double> xs = {0.5, 1.7, 3.2};
    for (const AnyRow& row : kAnyRows) {
        SCOPED_TRACE(row.text);
        VarRegister r;

        CallAny(row.text, r, Variable(1.7));
        EXPECT_EQ(r.GetVar().GetType(), VT_DOUBLE);
        EXPECT_EQ(static_cast<double>(r), row.expected(1.7));

        Variable number;
        vrt::MakeNumberObject(number, 3.2);
        CallAny(row.text, r, number);
        EXPECT_EQ(r.GetVar().GetType(), VT_DOUBLE);
        EXPECT_EQ(static_cast<double>(r), row.expected(3.2));

        CallAny(row.text, r, Array(xs));
        EXPECT_EQ(r.GetVar().GetType(), VT_ARRAY);
        EXPECT_EQ(vrt::ToDoubles(r.GetVar()), Map(row.expected, xs));

        CallAny(row.text, r, Array({}));
        EXPECT_EQ(r.GetVar().GetType(), VT_ARRAY);
        EXPECT_EQ(r.GetVar().GetDim(), 0);

        Variable curve;
        vrt::MakeTFunc(curve, {1, 2, 3}, xs);
        curve("Name") = "curve";
        CallAny(row.text, r, curve);
        Variable& out = r.GetVar();
        ASSERT_TRUE(out.IsInheritFrom(Token::GetNameID("TFunc")));
        EXPECT_EQ(vrt::ToDoubles(out("Y")), Map(row.expected, xs));
        EXPECT_EQ(vrt::ToDoubles(out("X")), (std::vector<double>{1, 2, 3}));
        EXPECT_STREQ(out("Name").GetText(), "curve");
        EXPECT_TRUE(vrt::Errors().empty());

        r = 123.0;
        CallAny(row.text, r, Variable("text"));
        EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
        EXPECT_EQ(static_cast<double>(r), 123.0);
        vrt::ClearErrors();
    }
}

TEST_F(TableTest, ArgumentsAreNeverChanged) {
    Variable curve;
    vrt::MakeTFunc(curve, {1, 2}, {0.5, 1.5});
    Variable numbers = Array({0.5, 1.5});
    Variable number;
    vrt::MakeNumberObject(number, 0.5);

    VarRegister r, args[3];
    Variable* values[3] = {&curve, &numbers, &number};
    for (int i = 0; i < 3; ++i) {
        args[i].PointTo(values[i]);
        args[i].SetRef();
        Handler("BesselI0(any)")(r, &args[i]);
        // The result's values are its own: overwriting them leaves the
        // argument alone.
        Variable& out = r.GetVar();
        if (out.GetType() == VT_ARRAY) out[0] = 99.0;
        else if (out.HasMember("Y")) out("Y")[0] = 99.0;
    }
    EXPECT_EQ(vrt::ToDoubles(curve("Y")), (std::vector<double>{0.5, 1.5}));
    EXPECT_EQ(vrt::ToDoubles(curve("X")), (std::vector<double>{1, 2}));
    EXPECT_EQ(vrt::ToDoubles(numbers), (std::vector<double>{0.5, 1.5}));
    EXPECT_EQ(static_cast<double>(number), 0.5);
    EXPECT_TRUE(number.IsInheritFrom(VCLASS_NUMBER));
}

TEST_F(TableTest, ResultMayBeTheArgumentItself) {
    Variable data = Array({0.0, 1.0});
    VarRegister arg, r;
    arg.PointTo(&data);
    arg.SetRef();
    r.PointTo(&data);
    r.SetRef();
    Handler("BesselJ0(any)")(r, &arg);
    EXPECT_EQ(vrt::ToDoubles(data), (std::vector<double>{j0(0.0), j0(1.0)}));

    Variable curve;
    vrt::MakeTFunc(curve, {1, 2}, {0.0, 1.0});
    arg.PointTo(&curve);
    r.PointTo(&curve);
    Handler("BesselJ0(any)")(r, &arg);
    EXPECT_EQ(vrt::ToDoubles(curve("Y")), (std::vector<double>{j0(0.0), j0(1.0)}));
    EXPECT_EQ(vrt::ToDoubles(curve("X")), (std::vector<double>{1, 2}));
}

TEST_F(TableTest, OtherArrayAndObjectShapes) {
    VarRegister r;
    // An object of an array class counts as an array.
    Variable vec;
    ASSERT_TRUE(vrt::NewObject(vec, "MVector"));
    vec.GetObject()->Elements() = Array({0.0, 2.0});
    Call("BesselJ0(any)", r, {vec});
    EXPECT_EQ(r.GetVar().GetType(), VT_ARRAY);
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (std::vector<double>{1.0, j0(2.0)}));

    // Elements are read as doubles whatever their own type.
    Variable mixed(VT_ARRAY, 2);
    mixed[0] = 2;
    vrt::MakeNumberObject(mixed[1], 3.0);
    Call("BesselI0(any)", r, {mixed});
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (std::vector<double>{BesselI0(2.0), BesselI0(3.0)}));

    // A tabulated function without ordinates comes back as a copy.
    Variable bare;
    ASSERT_TRUE(vrt::NewObject(bare, "TFunc"));
    bare("X") = 1.0;
    Call("Sinc(any)", r, {bare});
    EXPECT_FALSE(r.GetVar().HasMember("Y"));
    EXPECT_EQ(static_cast<double>(r.GetVar()("X")), 1.0);
    EXPECT_FALSE(bare.HasMember("Y"));

    // A byte buffer and an object of another class are rejected.
    Variable buffer(VT_BUFFER, 4);
    vrt::DefineClass("TableTestOther", 0);
    Variable other;
    ASSERT_TRUE(vrt::NewObject(other, "TableTestOther"));
    r = 5.0;
    Call("Sinc(any)", r, {buffer});
    Call("BesselJn(number, any)", r, {Variable(1.0), other});
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{3, 3}));
    EXPECT_EQ(static_cast<double>(r), 5.0);
}

TEST_F(TableTest, IntegralOrdersUseTheIntegerRoutines) {
    // Negative x and negative orders are valid for the integer routines only.
    VarRegister r;
    Call("BesselJn(number, any)", r, {Variable(2.0), Array({-1.0, 0.5})});
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (std::vector<double>{jn(2, -1.0), jn(2, 0.5)}));
    Call("BesselYn(number, any)", r, {Variable(-2), Variable(1.5)});
    EXPECT_EQ(static_cast<double>(r), yn(-2, 1.5));
    Call("BesselIn(number, any)", r, {Variable(3.0), Variable(-1.0)});
    EXPECT_EQ(static_cast<double>(r), BesselIInteger(3, -1.0));
    Call("BesselKn(number, any)", r, {Variable(2.0), Variable(1.5)});
    EXPECT_EQ(static_cast<double>(r), BesselKInteger(2, 1.5));
    EXPECT_TRUE(vrt::Errors().empty());

    // A fractional order: the element -1 fails, the others are computed.
    Call("BesselJn(number, any)", r, {Variable(2.5), Array({0.5, -1.0, 1.5})});
    EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()),
              (std::vector<double>{BesselJFrac(0.5, 2.5), 0.0, BesselJFrac(1.5, 2.5)}));

    // The order is read as a number from a number object too.
    Variable order;
    vrt::MakeNumberObject(order, 1.0);
    Call("BesselYn(number, any)", r, {order, Variable(2.0)});
    EXPECT_EQ(static_cast<double>(r), y1(2.0));
}

TEST_F(TableTest, SincAndErrfAtTheirSpecialPoints) {
    VarRegister r;
    Call("Sinc(any)", r, {Array({0.0, M_PI})});
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (std::vector<double>{1.0, std::sin(M_PI) / M_PI}));
    Call("Errf(any)", r, {Array({-0.5, 0.0, 0.5})});
    const double e = Gamma_P(0.5, 0.25);
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (std::vector<double>{-e, 0.0, e}));
    // Independent values, within the error of the Lanczos ln Γ behind P.
    EXPECT_NEAR(e, std::erf(0.5), 2e-10 * e);
}

TEST_F(TableTest, NumberRowsReadArgumentsInSignatureOrder) {
    VarRegister r;
    auto two = [&](const char* text, double (*f)(double, double)) {
        Call(text, r, {Variable(2.5), Variable(1.5)});
        EXPECT_EQ(static_cast<double>(r), f(2.5, 1.5)) << text;
    };
    two("Gamma_P(number, number)", Gamma_P);
    two("LnGamma_P(number, number)", LnGamma_P);
    two("Gamma_Q(number, number)", Gamma_Q);
    two("LnGamma_Q(number, number)", LnGamma_Q);
    two("Beta(number, number)", Beta);
    two("LnBeta(number, number)", LnBeta);
    Call("Beta_I(number, number, number)", r, {Variable(2.5), Variable(1.5), Variable(0.3)});
    EXPECT_EQ(static_cast<double>(r), Beta_I(2.5, 1.5, 0.3));
    Call("LnBeta_I(number, number, number)", r, {Variable(2.5), Variable(1.5), Variable(0.3)});
    EXPECT_EQ(static_cast<double>(r), LnBeta_I(2.5, 1.5, 0.3));

    Variable two_obj;
    vrt::MakeNumberObject(two_obj, 2.0);
    Call("ProbChi2(number, number)", r, {Variable(2), two_obj});
    EXPECT_EQ(static_cast<double>(r), Gamma_P(1.0, 1.0));
    EXPECT_NEAR(static_cast<double>(r), 1 - std::exp(-1.0), 2e-10);
    EXPECT_TRUE(vrt::Errors().empty());

    // The routines' own errors come through.
    Call("Gamma_P(number, number)", r, {Variable(0.0), Variable(1.0)});
    EXPECT_EQ(ErrorCodes(), std::vector<int>{3});
    EXPECT_EQ(static_cast<double>(r), 0.0);
}

TEST_F(TableTest, RandomRowsDrawFromTheHostGenerator) {
    VarRegister r;
    vrt::SeedRand(11);
    Call("RandGauss(number, number)", r, {Variable(1.0), Variable(2.0)});
    const double first = r;
    Call("RandGaus(number, number)", r, {Variable(-1.0), Variable(0.5)});
    const double second = r;
    vrt::SeedRand(11);
    EXPECT_EQ(first, RandGauss(1.0, 2.0));
    EXPECT_EQ(second, RandGauss(-1.0, 0.5));

    vrt::SeedRand(12);
    Call("RandPoisson(number)", r, {Variable(3.5)});
    const double poisson = r;
    vrt::SeedRand(12);
    EXPECT_EQ(poisson, RandPoisson(3.5));

    // The trial count is read as an int: 10.9 trials that always succeed.
    Call("RandBinominal(number, int)", r, {Variable(1.0), Variable(10.9)});
    EXPECT_EQ(static_cast<double>(r), 10.0);
}

TEST_F(TableTest, FTestOfTwoSamples) {
    VarRegister r;
    Variable a = Array({1, 2, 3}), b;
    ASSERT_TRUE(vrt::NewObject(b, "MVector"));
    b.GetObject()->Elements() = Array({2, 4, 9});
    VarRegister args[2];
    args[0].PointTo(&a);
    args[0].SetRef();
    args[1].PointTo(&b);
    args[1].SetRef();
    const long blocks = vrt::LiveHeapBlocks();
    Handler("FTest(refer object Vector, refer object Vector)")(r, args);
    const double da[] = {1, 2, 3}, db[] = {2, 4, 9};
    double f = 0;
    EXPECT_EQ(static_cast<double>(r), FTest(da, 3, db, 3, &f));
    EXPECT_EQ(vrt::LiveHeapBlocks(), blocks);
    EXPECT_EQ(vrt::ToDoubles(a), (std::vector<double>{1, 2, 3}));

    // Too short a sample, or no sample at all, gives 0 without error.
    Call("FTest(refer object Vector, refer object Vector)", r, {Array({}), Array({1, 2})});
    EXPECT_EQ(static_cast<double>(r), 0.0);
    Call("FTest(refer object Vector, refer object Vector)", r, {Variable(4.0), Array({1, 2})});
    EXPECT_EQ(static_cast<double>(r), 0.0);
    EXPECT_TRUE(vrt::Errors().empty());

    // Working storage refused for one or both samples: error 1, result
    // untouched, nothing leaked.
    for (int failures = 1; failures <= 2; ++failures) {
        r = 7.0;
        vrt::FailNextAllocations(failures);
        Call("FTest(refer object Vector, refer object Vector)", r, {Array({1, 2, 3}), Array({2, 4, 9})});
        EXPECT_EQ(static_cast<double>(r), 7.0);
        EXPECT_EQ(vrt::LiveHeapBlocks(), blocks);
    }
    EXPECT_EQ(ErrorCodes(), (std::vector<int>{1, 1}));
}

TEST_F(TableTest, ConjugateCopiesTheValue) {
    VarRegister r;
    Call("Conjugate(any)", r, {Array({1.5, -2})});
    EXPECT_EQ(vrt::ToDoubles(r.GetVar()), (std::vector<double>{1.5, -2}));
    Call("Conjugate(any)", r, {Variable(4)});
    EXPECT_EQ(r.GetVar().GetType(), VT_INT);
}

}  // namespace
