// Accuracy of the special functions against the reference tables written by
// tests/data/gen_function_reference.py (true values computed at 40 digits).
//
// Each function family is measured with the error that its method controls,
// and compared with the bound that the method guarantees:
//   rel          |computed − true| / |true|
//   rel, floor F |computed − true| / max(|true|, F)
//   own side     the incomplete gamma and beta functions evaluate one side
//                (P or Q, I or 1 − I) directly and the other as its
//                complement; both are measured against the directly
//                evaluated value, which carries the relative error.
//   log ...      the logarithms are measured in absolute error (the relative
//                error of the function); the complement side is scaled by
//                own/complement, the factor by which an error of the direct
//                logarithm grows in ln(1 − e^y).
// Used by the accuracy tool (tools/special) and by the accuracy tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct FunctionAccuracyResult {
    std::string function;  // e.g. "Gamma_P", "BesselJFrac"
    std::string metric;    // how the error is measured
    int points = 0;        // table rows measured
    double maxError = 0.0;
    double bound = 0.0;    // what the method guarantees
    std::string where;     // arguments of the largest error
    int errorsRaised = 0;  // host errors raised while evaluating the table
    // Every measured point: its arguments (as in where) and its error.
    std::vector<std::pair<std::string, double>> samples;
};

// Measures every family over the tables in dataDir. A table that cannot be
// read gives a result with points = 0.
std::vector<FunctionAccuracyResult> CheckFunctionAccuracy(const std::string& dataDir);
