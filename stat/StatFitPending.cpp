// Stand-in for the cumulative fit until the minimizer is available: no fit,
// so the medians take their documented no-fit answers. Removed when the fit
// itself is built (together with its line in stat/CMakeLists.txt).
#include "stat/Stat.h"

MatVectorCol* Stat::FitCumulativeDistribution() { return nullptr; }
