// function_accuracy: prints, for each special function, the largest error
// against the reference tables, where it occurs and the method's bound, as a
// Markdown table. Usage: function_accuracy [data directory]
#include <cstdio>

#include "tools/special/FunctionAccuracy.h"

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : VESK_FUNCTION_DATA_DIR;
    const auto results = CheckFunctionAccuracy(dir);
    bool allWithin = true;
    std::printf("| Function | Points | Error measure | Largest error | Bound | Where | Errors raised |\n");
    std::printf("|---|---:|---|---:|---:|---|---:|\n");
    for (const auto& r : results) {
        const bool within = r.points > 0 && r.maxError <= r.bound && r.errorsRaised == 0;
        allWithin = allWithin && within;
        std::printf("| %s | %d | %s | %.4g | %.3g | %s | %d |%s\n", r.function.c_str(), r.points,
                    r.metric.c_str(), r.maxError, r.bound, r.where.c_str(), r.errorsRaised,
                    within ? "" : " **over**");
    }
    std::printf("\n%s\n", allWithin ? "Every function is within its bound."
                                     : "Some functions are over their bound.");
    return allWithin ? 0 : 1;
}
