// LeastSquaresFit when storage cannot be obtained: construction, Solve and
// the answered matrices raise error 1 and nothing leaves the class, for every
// allocation in turn. This program replaces the global allocation functions
// (they count live blocks and fail on request).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/LeastSquaresFit.h"
#include "tests/host/ErrorTest.h"
#include "tests/host/ReplacedAllocation.h"

using replaced_allocation::g_failAt;
using replaced_allocation::g_live;

namespace {

double Decay(double x, MatVector& b, Variable&) { return b[0] * std::exp(-b[1] * x) + b[2]; }

// A fit of 2 exp(-0.5 t) + 0.3 with the k-th allocation from the
// construction on failing: no exception, error 1 whenever a failure was
// reached, a converged fit otherwise, nothing left allocated.
TEST(LeastSquaresFitAllocation, EveryAllocationFails) {
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    double t[20], y[20], start[3] = {1, 1, 0};
    for (int i = 0; i < 20; ++i) t[i] = 0.5 * i, y[i] = 2 * std::exp(-0.25 * i) + 0.3 + (i % 2 ? 1e-3 : -1e-3);
    Variable model;
    vrt::MakeNativeFunction(model, reinterpret_cast<void*>(Decay));
    // The error record keeps its capacity across clears: grow it first.
    for (int i = 0; i < 4; ++i) VeskError(1);
    for (int k = 1; k < 400; ++k) {
        SCOPED_TRACE(k);
        vrt::ClearErrors();
        const long live = g_live;
        int status = 0;
        bool matrices = false;
        g_failAt = k;
        {
            LeastSquaresFit fit(model, 20, t, y, nullptr, 3, nullptr, start);
            status = fit.Solve();
            std::unique_ptr<Matrix> cov(fit.GetCovariance());
            matrices = cov != nullptr;
        }
        const bool reached = g_failAt == 0;
        g_failAt = 0;
        const bool raised = !vrt::Errors().empty();
        const int code = raised ? vrt::Errors().front().code : 0;
        vrt::ClearErrors();
        EXPECT_EQ(g_live, live);
        if (!reached) {
            EXPECT_FALSE(raised);
            EXPECT_LE(status, LeastSquaresFit::kRounding);
            EXPECT_TRUE(matrices);
            EXPECT_GT(k, 1);
            vrt::SetCurrentProcessor(nullptr);
            return;
        }
        EXPECT_TRUE(raised);
        EXPECT_EQ(code, 1);
    }
    ADD_FAILURE() << "more than 400 allocations";
}

}  // namespace
