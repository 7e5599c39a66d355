// Harness of the minimizer's tests: one objective as a native pointer or a
// script function, its calls counted and recorded; a logging progress window;
// a fixture with one processor for the whole program and captured output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/Climb.h"
#include "tests/host/ErrorTest.h"
#include "tests/solvers/ClimbProblems.h"

namespace climb_test {

using namespace climb_problems;
using Fn = std::function<double(const double* x, int n)>;

inline Fn g_fn;
inline long g_calls = 0;
inline std::vector<Vec> g_points;
inline bool g_record = true;  // record the points in g_points

inline double Call(const double* x, int n) {
    ++g_calls;
    if (g_record) g_points.emplace_back(x, x + n);
    return g_fn(x, n);
}

inline double NativeObjective(MatVector& x, Variable&) { return Call(x.GetData(), x.Len()); }

// g_fn native, or a script function given an "MVector" and the extra parameter by reference.
inline Variable Objective(bool script) {
    Variable f;
    if (!script) {
        vrt::MakeNativeFunction(f, reinterpret_cast<void*>(NativeObjective));
        return f;
    }
    vrt::MakeScriptFunction(f, [](VarRegister& r, VarRegister* args, int n) {
        ASSERT_EQ(n, 2);
        ASSERT_TRUE(args[1].IsRef());
        ASSERT_STREQ(args[0].GetVar().GetClass()->GetName(), "MVector");
        const Vec x = vrt::ToDoubles(args[0].GetVar());
        r = Call(x.data(), static_cast<int>(x.size()));
    });
    return f;
}

inline MatVectorCol Col(const Vec& v) { return MatVectorCol(v.data(), static_cast<int>(v.size())); }
inline Vec ToVec(const MatVector& x) { return Vec(x.GetData(), x.GetData() + x.Len()); }
inline Vec Flat(const Matrix* m, int n) { return Vec((*m)[0], (*m)[0] + n * n); }

// Calls of a "TestWindow": "P<n>" SetProgress, "C<text>" SetCaption, "X" CheckCancel (cancels from call cancelAt on).
struct WindowLog {
    std::vector<std::string> calls;
    std::vector<int> progress;
    const Variable* checkedSelf = nullptr;
    int checks = 0, cancelAt = 0;
};
inline WindowLog g_window;

inline void MakeWindow(Variable& w, int cancelAt = 0) {
    g_window = WindowLog{{}, {}, nullptr, 0, cancelAt};
    vrt::DefineClass("TestWindow", 0);
    vrt::DefineMethod("TestWindow", "SetProgress", [](VarRegister&, VarRegister* a, int, Variable&) {
        g_window.progress.push_back(static_cast<int>(a[0]));
        g_window.calls.push_back(std::to_string(g_window.progress.back()).insert(0, 1, 'P'));
    });
    vrt::DefineMethod("TestWindow", "SetCaption", [](VarRegister&, VarRegister* a, int, Variable&) {
        const char* text = a[0].GetVar().GetText();
        g_window.calls.push_back(std::string(text != nullptr ? text : "(not a text)").insert(0, 1, 'C'));
    });
    vrt::DefineMethod("TestWindow", "CheckCancel", [](VarRegister&, VarRegister*, int n, Variable& self) {
        g_window.checkedSelf = n == 0 ? &self : nullptr;
        g_window.calls.push_back("X");
        if (g_window.cancelAt > 0 && ++g_window.checks >= g_window.cancelAt)
            vrt::RaiseNamedError("Progress window got cancel");
    });
    ASSERT_TRUE(vrt::NewObject(w, "TestWindow"));
}

class ClimbFixture : public ErrorTest {
protected:
    static Processor& Proc() {
        static Processor p;
        return p;
    }
    void SetUp() override {
        vrt::SetCurrentProcessor(&Proc());
        ErrorTest::SetUp();
        VeskPlugin_Init(&Proc());
        ASSERT_NE(VeskModuleErrorCode, 0);
        vrt::CaptureOutput(&out);
    }
    void TearDown() override {
        vrt::CaptureOutput(nullptr);
        vrt::SetConnectorAvailable(true);
        vrt::ClearErrors();
        vrt::SetCurrentProcessor(nullptr);
        MatVector::SetDefaultSize(1);
        g_record = true;
        ErrorTest::TearDown();
    }
    // A minimizer of f over the box from start; the counters reset.
    static Climb Make(const Fn& f, Vec box, Vec start, double eps = 1e-10, bool script = false) {
        g_fn = f;
        g_calls = 0;
        g_points.clear();
        Variable v = Objective(script);
        return Climb(v, static_cast<int>(start.size()), box.data(), start.data(), eps);
    }
    static bool SolutionNotFound() {
        const std::vector<int> codes = ErrorCodes();
        return std::find(codes.begin(), codes.end(), VeskModuleErrorCode) != codes.end();
    }
    // Every recorded point lies in the box.
    static bool AllInBox(const Vec& box) {
        for (const Vec& p : g_points)
            for (size_t i = 0; i < p.size(); ++i)
                if (!(p[i] >= std::min(box[2 * i], box[2 * i + 1]) && p[i] <= std::max(box[2 * i], box[2 * i + 1])))
                    return false;
        return true;
    }
    std::string out;
};

}  // namespace climb_test
