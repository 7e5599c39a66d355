// Summarises a series of measurements the way a native module of the host
// would: Stat for the plain series, Stat_Weighted for the same readings
// weighted by how many sweeps each one averaged. Prints the mean, the median
// with its error, the most probable value with its error and the normal or
// log-normal verdict, and writes each summary into a host object with
// UpdateVeskObject. Exits with 1 when a result is missing or not finite.
//
// A real host hands the module its processor and the object to fill; here
// the stand-in host library provides both.
#include <cmath>
#include <cstdio>
#include <memory>

#include "runtime/VeskRuntime.h"
#include "stat/Stat_Weighted.h"

namespace {

// Resistance readings in ohms; two of them caught a loose contact.
double readings[] = {
    99.82, 100.11, 99.95, 100.03, 99.88, 100.21, 99.97, 100.06, 99.91, 100.14,
    100.02, 99.79, 100.09, 99.99, 100.17, 99.86, 100.04, 99.93, 100.12, 100.00,
    99.96, 100.08, 99.84, 100.19, 100.01, 99.90, 100.05, 99.98, 100.10, 99.94,
    107.40, 100.03, 99.89, 100.13, 99.97, 100.07, 99.92, 100.16, 93.10, 100.02};
// Sweeps averaged into each reading.
double sweeps[] = {
    4, 4, 8, 8, 4, 2, 8, 8, 4, 2, 8, 4, 8, 8, 2, 4, 8, 8, 4, 8,
    8, 8, 4, 2, 8, 4, 8, 8, 4, 8, 1, 8, 4, 4, 8, 8, 4, 2, 1, 8};
const int kCount = sizeof readings / sizeof readings[0];

bool ok = true;

void Line(const char* what, double value, double error) {
    ok = ok && std::isfinite(value) && std::isfinite(error);
    std::printf("  %-26s %10.4f +- %.4f\n", what, value, error);
}

// Mean, median, most probable value and verdict. The most probable value
// uses the Cauchy-shaped model (type 2), which the two loose-contact
// readings barely move; its band is ± √(n·error²) about it.
void Summarise(const char* title, Stat& s, double mean, double sem2, Variable& out) {
    std::printf("%s (%d readings)\n", title, s.Len());
    Line("mean", mean, std::sqrt(sem2));
    double median = NAN, seMedian = NAN;
    s.GetMedian_SD(median, seMedian);
    Line("median", median, seMedian);
    std::unique_ptr<MatVectorCol> mpv(s.GetMostProbableValue(2, 0));
    if (!mpv) {
        ok = false;
        return;
    }
    Line("most probable value", (*mpv)[0], std::sqrt((*mpv)[1]));
    std::printf("  %-26s %10.0f of %d\n", "readings within its band", (*mpv)[2], s.Len());
    std::printf("  %-26s %s\n", "distribution",
                s.GetDistrType() == DISTR_LOGNORMAL ? "log-normal" : "normal");
    s.UpdateVeskObject(out);
}

}  // namespace

int main() {
    Processor processor;
    vrt::SetCurrentProcessor(&processor);
    vrt::DefineClass("Summary", 0);
    Variable plain, weighted;
    vrt::NewObject(plain, "Summary");
    vrt::NewObject(weighted, "Summary");

    Stat series(readings, kCount);
    Summarise("Plain series", series, series.GetMean(), series.GetSEM2(), plain);
    Stat_Weighted bySweeps(readings, sweeps, kCount);
    Summarise("Weighted by sweeps", bySweeps, bySweeps.GetWeightedMean(),
              bySweeps.GetWeightedSEM2(), weighted);

    std::printf("Host objects: %d and %d members; \"Mean\" %.4f, \"WeightedMean\" %.4f\n",
                plain.GetObject()->MemberCount(), weighted.GetObject()->MemberCount(),
                static_cast<double>(plain("Mean")), static_cast<double>(weighted("WeightedMean")));
    ok = ok && plain.GetObject()->MemberCount() == 14 && weighted.GetObject()->MemberCount() == 20;
    vrt::SetCurrentProcessor(nullptr);
    return ok ? 0 : 1;
}
