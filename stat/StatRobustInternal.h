// Helpers shared by the robust estimates, the most-probable-value search and
// the weighted statistics; not part of the exported interface.
#pragma once

#include "host/VeskHost.h"

class Stat;

namespace statdetail {

// π/2: the squared error of a normal sample's median is π/2 times that of
// its mean.
constexpr double kHalfPi = 1.5707963267948966;

// Median of x[0..n-1] (n ≥ 1): the middle sorted value, or the mean of the
// two middle ones for even n; and the spread: the median of the absolute
// pairwise differences |t[i] − t[j]| (i > j), t the values themselves when
// n ≤ 300, otherwise the 300 representatives sorted[⌊k·(n − 1)/299⌋].
// Either output may be null (not computed). NaNs order after every number.
// Answers false, with error 1 raised and nothing written, when scratch
// storage is refused.
bool SampleMedian(const double* x, int n, double* median, double* spread);

// Weighted median of x[0..n-1] with positive weights w (n ≥ 1): the value at
// which the cumulative weight of the ascending values first reaches half the
// total, or the mean of that value and the next when the cumulative weight
// equals half exactly (so equal weights give the ordinary median). Answers
// false, with error 1 raised, when its scratch storage is refused.
bool WeightedMedian(const double* x, const double* w, int n, double& median);

// The answers the medians share for no value (nothing written) and one value
// (the value and 0); true when n ≤ 1 was handled.
bool NoneOrOneValue(const double* x, int n, double& median, double& other);

// The centre mu and its error se = σ/√n of the cumulative fit of s, and
// whether the centre lies in [Min, Max].
enum class FittedCentre { None, Inside, Outside };
FittedCentre FitCentre(Stat& s, double& mu, double& se);

// The median with its error from the fit: the centre and √(π/2)·se when it
// lies in [Min, Max], otherwise s's own GetMedian_MAD. False (nothing
// written) when there is no fit.
bool MedianFromFit(Stat& s, double& median, double& seMedian);

// A native function pointer as a host function value (type code 2).
Variable NativeFunctionValue(void* fn);

}  // namespace statdetail
