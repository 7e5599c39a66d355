// The stand-in host runtime: the behaviours the module and its tests rely on.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <string>

#include "host/VeskHost.h"
#include "runtime/VeskRuntime.h"

namespace {

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::SetCurrentProcessor(&proc);
        vrt::ClearErrors();
    }
    void TearDown() override {
        vrt::SetCurrentProcessor(nullptr);
        vrt::SetConnectorAvailable(true);
        vrt::FailNextAllocations(0);
        vrt::ClearErrors();
    }
    int LastCode() const { return vrt::Errors().empty() ? 0 : vrt::Errors().back().code; }
    Processor proc;
};

TEST(VariableLayout, TypeCodeThenEightBytePayload) {
    static_assert(sizeof(VVARTYPE) == 4);
    Variable v(2.5);
    EXPECT_EQ(sizeof(Variable), 16u);
    const char* base = reinterpret_cast<const char*>(&v);
    EXPECT_EQ(static_cast<const char*>(v.RawPayload()) - base, 8);
    EXPECT_EQ(*reinterpret_cast<const VVARTYPE*>(base), VT_DOUBLE);
}

TEST(Variable, ConversionsAreSafeAtTheEdges) {
    EXPECT_EQ(static_cast<int>(Variable(1e300)), INT_MAX);
    EXPECT_EQ(static_cast<int>(Variable(-1e300)), INT_MIN);
    EXPECT_EQ(static_cast<int>(Variable(std::nan(""))), 0);
    EXPECT_EQ(static_cast<int>(Variable(-2.7)), -2);
    EXPECT_EQ(static_cast<int>(Variable(static_cast<VInt64>(1) << 40)), INT_MAX);
    EXPECT_EQ(static_cast<double>(Variable()), 0.0);
    EXPECT_TRUE(std::isnan(static_cast<double>(Variable("text"))));
    EXPECT_EQ(Variable(3.0).GetDim(), -1);
    EXPECT_EQ(Variable(VT_BUFFER, 3).GetDim(), 3);
    EXPECT_EQ(Variable(VT_BUFFER, 3).GetArray(), nullptr);
}

TEST(Variable, CopiesAreDeepAndReferencesForward) {
    Variable a;
    vrt::MakeTFunc(a, {0, 1}, {5, 6});
    Variable b = a;
    b("Y")[0] = 9.0;
    EXPECT_EQ(static_cast<double>(a("Y")[0]), 5.0);
    EXPECT_EQ(a.GetObject()->GetSelf(), &a);
    EXPECT_EQ(b.GetObject()->GetSelf(), &b);

    Variable target(1.0);
    Variable ref;
    ref = &target;
    ref = 7.0;  // writes through
    EXPECT_EQ(static_cast<double>(target), 7.0);
    EXPECT_EQ(ref.GetType(), VT_DOUBLE);
    ref.Clear();  // drops the reference only
    EXPECT_EQ(static_cast<double>(target), 7.0);

    Variable arr;
    vrt::MakeArray(arr, {1, 2, 3});
    arr = arr[1];  // source inside the destination
    EXPECT_EQ(static_cast<double>(arr), 2.0);
}

TEST(Variable, ConjugateOfRealValues) {
    Variable arr;
    vrt::MakeArray(arr, {1, -2});
    Variable c = arr.Conjugate();
    EXPECT_EQ(vrt::ToDoubles(c), (std::vector<double>{1, -2}));
    EXPECT_EQ(static_cast<double>(Variable(-0.5).Conjugate()), -0.5);
}

TEST_F(RuntimeTest, ScriptFunctionWritesThroughByReferenceArgument) {
    Variable fn;
    vrt::MakeScriptFunction(fn, [](VarRegister& result, VarRegister* args, int n) {
        ASSERT_EQ(n, 2);
        args[1].GetVar() = static_cast<double>(args[1]) + 1.0;
        result = static_cast<double>(args[0]) * 2.0;
    });
    Variable extra(10.0);
    VarRegister args[2];
    args[0] = 3.0;
    args[1].PointTo(&extra);
    args[1].SetRef();
    VarRegister result;
    EXPECT_EQ(proc.RunFunctionAsIs(result, fn, args, 2), 1);
    EXPECT_EQ(static_cast<double>(result), 6.0);
    EXPECT_EQ(static_cast<double>(extra), 11.0);

    Variable notFn(1.0);
    EXPECT_EQ(proc.RunFunctionAsIs(result, notFn, args, 2), 0);
    EXPECT_EQ(LastCode(), 3);
}

TEST_F(RuntimeTest, MethodsInstancesAndInheritance) {
    VarClass* base = vrt::DefineClass("TestWindowBase", 0);
    vrt::DefineClass("TestWindow", base->GetID(), [](Variable& self, VarRegister*, int) {
        self("Progress") = 0;
    });
    vrt::DefineMethod("TestWindowBase", "SetProgress",
                      [](VarRegister&, VarRegister* args, int, Variable& self) {
                          self("Progress") = static_cast<int>(args[0]);
                      });
    Variable w;
    ASSERT_EQ(proc.MakeInstance(w, "TestWindow", nullptr, 0), 1);
    EXPECT_TRUE(w.IsInheritFrom(base->GetID()));
    EXPECT_FALSE(w.IsInheritFrom(VCLASS_ARRAY));
    VarRegister r, arg;
    arg = 42;
    EXPECT_EQ(proc.RunMethod(r, "SetProgress", &arg, 1, &w), 1);
    EXPECT_EQ(static_cast<int>(w("Progress")), 42);
    EXPECT_EQ(proc.RunMethodAsIs(r, "NoSuchMethod", nullptr, 0, &w), 0);
    EXPECT_EQ(proc.MakeInstance(w, "NoSuchClass", nullptr, 0), 0);

    VarRegister len;
    len = 3;
    Variable mv;
    ASSERT_EQ(proc.MakeInstance(mv, "MVector", &len, 1), 1);
    EXPECT_TRUE(mv.IsInheritFrom(VCLASS_ARRAY));
    EXPECT_EQ(mv.GetDim(), 3);
    ASSERT_NE(mv.GetArray(), nullptr);
    mv.GetArray()[2] = 4.5;
    EXPECT_EQ(static_cast<double>(mv[2]), 4.5);

    Variable num;
    vrt::MakeNumberObject(num, 2.5);
    EXPECT_TRUE(num.IsInheritFrom(VCLASS_NUMBER));
    EXPECT_EQ(static_cast<double>(num), 2.5);
    EXPECT_EQ(Token::GetNameID("TFunc"), vrt::FindClass("TFunc")->GetID());
}

TEST_F(RuntimeTest, ErrorRegistryAndStatus) {
    EXPECT_EQ(proc.GetErrorStatus(), 0);
    int code = proc.RegisterError("My failure");
    EXPECT_NE(code, 0);
    EXPECT_STREQ(proc.GetErrorName(code), "My failure");
    VeskError(code, "detail");
    EXPECT_EQ(proc.GetErrorStatus(), 1);
    EXPECT_EQ(proc.GetLastError(), code);
    ASSERT_EQ(vrt::Errors().size(), 1u);
    EXPECT_EQ(vrt::Errors()[0].text, "detail");
    proc.ClearErrorStatus();
    EXPECT_EQ(proc.GetErrorStatus(), 0);

    vrt::RaiseNamedError("Progress window got cancel");
    EXPECT_STREQ(proc.GetErrorName(proc.GetLastError()), "Progress window got cancel");
    int before = vrt::RegisteredErrorCount(&proc);
    vrt::RaiseNamedError("Progress window got cancel");
    EXPECT_EQ(vrt::RegisteredErrorCount(&proc), before);
    vrt::RaiseBreak();
    EXPECT_EQ(proc.GetBreakStatus(), 1);

    Variable value(5);
    proc.SetConstant(Token::GetNameID("MY_CONST"), value);
    ASSERT_NE(proc.GetConstant("MY_CONST"), nullptr);
    EXPECT_EQ(proc.GetConstant("MY_CONST")->Node()->GetInt32(), 5);
    EXPECT_EQ(proc.GetConstant("NOT_DEFINED_ANYWHERE"), nullptr);
}

TEST_F(RuntimeTest, ConnectorAndOutput) {
    ASSERT_NE(GetConnector(), nullptr);
    EXPECT_EQ(GetConnector()->GetOwner(), &proc);
    vrt::SetCurrentProcessor(nullptr);
    EXPECT_EQ(GetConnector()->GetOwner(), nullptr);
    vrt::SetConnectorAvailable(false);
    EXPECT_EQ(GetConnector(), nullptr);

    std::string out;
    vrt::CaptureOutput(&out);
    Buffer b(4);
    b.Printf(128, "Argument = %g, ", 1.5);
    b.Printf(3, "%s", "abcdef");
    proc.PrintText(b.GetData());
    vrt::CaptureOutput(nullptr);
    EXPECT_EQ(out, "Argument = 1.5, abc");
}

TEST_F(RuntimeTest, HeapFailureHookAndRandSeed) {
    long live = vrt::LiveHeapBlocks();
    vrt::FailNextAllocations(2);
    EXPECT_EQ(HMALLOC(8), nullptr);
    void* p = HMALLOC(8);  // the second refusal
    EXPECT_EQ(p, nullptr);
    p = HMALLOC(8);
    ASSERT_NE(p, nullptr);
    vrt::FailNextAllocations(1);
    EXPECT_EQ(HREALLOC(p, 64), nullptr);  // p still valid
    p = HREALLOC(p, 64);
    ASSERT_NE(p, nullptr);
    HFREE(p);
    EXPECT_EQ(vrt::LiveHeapBlocks(), live);

    vrt::SeedRand(7);
    double a = Rand(1.0), b = Rand(2.0);
    vrt::SeedRand(7);
    EXPECT_EQ(Rand(1.0), a);
    EXPECT_EQ(Rand(2.0), b);
    for (int i = 0; i < 1000; ++i) {
        double u = Rand(3.0);
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 3.0);
    }
}

TEST_F(RuntimeTest, GeneralArithmeticPromotesAndWraps) {
    Variable r;
    Variable i7(7), d2(2.0), b200(static_cast<unsigned char>(200)), b100(static_cast<unsigned char>(100));
    __AddNumb(r, i7, d2);
    EXPECT_EQ(r.GetType(), VT_DOUBLE);
    EXPECT_EQ(static_cast<double>(r), 9.0);
    __AddNumb(r, b200, b100);
    EXPECT_EQ(r.GetType(), VT_BYTE);
    EXPECT_EQ(static_cast<int>(r), 44);

    Variable mn(INT_MIN), m1(-1), zero(0);
    __DivNumb(r, mn, m1);
    EXPECT_EQ(static_cast<int>(r), INT_MIN);
    __RestNumb(r, mn, m1);
    EXPECT_EQ(static_cast<int>(r), 0);
    Variable big(static_cast<VInt64>(LLONG_MAX)), one64(static_cast<VInt64>(1));
    __AddNumb(r, big, one64);
    EXPECT_EQ(r.GetInt64(), LLONG_MIN);

    __DivNumb(r, i7, zero);
    EXPECT_EQ(LastCode(), 10);
    EXPECT_EQ(r.GetType(), VT_EMPTY);

    Variable arr;
    vrt::MakeArray(arr, {1, 2});
    __MulNumb(r, arr, d2);
    EXPECT_EQ(vrt::ToDoubles(r), (std::vector<double>{2, 4}));
    Variable text("x");
    __AddNumb(r, text, d2);
    EXPECT_EQ(LastCode(), 3);
    _OrNumb(r, d2, d2);
    EXPECT_EQ(LastCode(), 3);

    // A failed operation empties the target of a result that is a reference.
    Variable target(1.0), ref;
    ref = &target;
    __AddNumb(ref, text, d2);
    EXPECT_EQ(target.GetType(), VT_EMPTY);
    __AddNumb(ref, d2, d2);
    EXPECT_EQ(static_cast<double>(target), 4.0);
}

}  // namespace
