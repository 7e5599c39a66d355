// function_accuracy: prints, for each special function, the largest error
// against the reference tables, where it occurs and the method's bound, as a
// Markdown table. Usage: function_accuracy [--points] [data directory]
// With --points it prints every measured point instead, one per line,
// tab-separated: function, bound, arguments ("x=…, nu=…"), error (the input
// of tools/special/plot_accuracy.py).
#include <cstdio>
#include <cstring>

#include "tools/special/FunctionAccuracy.h"

int main(int argc, char** argv) {
    const bool points = argc > 1 && std::strcmp(argv[1], "--points") == 0;
    const int first = points ? 2 : 1;
    const char* dir = argc > first ? argv[first] : VESK_FUNCTION_DATA_DIR;
    const auto results = CheckFunctionAccuracy(dir);
    if (points) {
        for (const auto& r : results)
            for (const auto& [where, err] : r.samples)
                std::printf("%s\t%.6g\t%s\t%.6g\n", r.function.c_str(), r.bound, where.c_str(),
                            err);
        return 0;
    }
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
