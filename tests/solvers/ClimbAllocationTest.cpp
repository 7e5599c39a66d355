// Climb when storage cannot be obtained: construction and every solve
// operation, with each allocation in turn failing, raise an error rather than
// answer as solved, let no exception out and leave nothing allocated. This
// program replaces the global allocation functions (they count live blocks
// and fail on request).
#include <gtest/gtest.h>

#include <cmath>
#include <new>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/Climb.h"
#include "tests/host/ReplacedAllocation.h"

using replaced_allocation::g_failAt;
using replaced_allocation::g_live;

namespace {

double Bowl(MatVector& x, Variable&) {
    const double a = x[0] - 0.3, b = x[1] + 0.2;
    return a * a + 4 * b * b + a * b;
}

TEST(ClimbAllocation, EveryAllocationFails) {
    Processor proc;
    vrt::SetCurrentProcessor(&proc);
    VeskPlugin_Init(&proc);
    Variable objective;
    vrt::MakeNativeFunction(objective, reinterpret_cast<void*>(Bowl));
    // The error record keeps its capacity across clears: grow it first.
    for (int i = 0; i < 4; ++i) VeskError(1);
    for (int op = 0; op < 4; ++op) {
        for (int k = 1; k < 200; ++k) {
            SCOPED_TRACE(testing::Message() << "operation " << op << ", allocation " << k);
            vrt::ClearErrors();
            const long live = g_live;
            double bounds[4] = {-1, 1, -1, 1}, start[2] = {0.9, 0.8}, x[2] = {0, 0};
            g_failAt = k;
            auto run = [&]() {
                Climb climb(objective, 2, bounds, start, 1e-10);
                if (op == 0) climb.Solve();
                if (op == 1) climb.SolvePowell();
                if (op == 2) climb.SolveDFP();
                if (op == 3) climb.SolveBFGS();
                const MatVectorCol& r = climb.GetResult();
                if (r.Len() == 2) x[0] = r[0], x[1] = r[1];
            };
            EXPECT_NO_THROW(run());
            const bool reached = g_failAt == 0;
            g_failAt = 0;
            const bool raised = !vrt::Errors().empty();
            vrt::ClearErrors();
            EXPECT_EQ(g_live, live);
            if (!reached) {
                EXPECT_FALSE(raised);
                EXPECT_NEAR(x[0], 0.3, 1e-4);
                EXPECT_NEAR(x[1], -0.2, 1e-4);
                break;
            }
            EXPECT_TRUE(raised);
        }
    }
}

}  // namespace
