// Every special function against the reference tables (true values computed
// at 40 digits by tests/data/gen_function_reference.py), each within the bound
// its method guarantees, and no host error raised on the way.
#include <gtest/gtest.h>

#include "runtime/VeskRuntime.h"
#include "tools/special/FunctionAccuracy.h"

TEST(FunctionAccuracy, EveryFunctionWithinItsMethodsBound) {
    vrt::ClearErrors();
    const auto results = CheckFunctionAccuracy(VESK_TEST_DATA_DIR);
    ASSERT_GE(results.size(), 30u);
    for (const auto& r : results) {
        SCOPED_TRACE(r.function);
        EXPECT_GT(r.points, 0) << "table missing";
        EXPECT_LE(r.maxError, r.bound) << "largest error at " << r.where;
        EXPECT_EQ(r.errorsRaised, 0);
    }
    vrt::ClearErrors();
}
