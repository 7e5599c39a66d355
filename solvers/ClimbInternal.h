// Internal helper of the minimizer's source files (installed with the other
// headers, but no part of the class library's interface): the conversion of
// a normalised point to real coordinates, shared by ScaleResult and the line
// search's inner loop so that both give the same bits.
#pragma once

#include <cmath>

namespace climb_internal {

// The order of objective values in every comparison of the searches and
// solvers: a NaN comes after every number (worse than +infinity), so that a
// NaN sample bounds a bracket like a wall and never becomes the best one.
inline bool Better(double a, double b) { return a < b || (std::isnan(b) && !std::isnan(a)); }

// A normalised coordinate kept in the unit box.
inline double Clamp01(double u) { return u < 0 ? 0.0 : (u > 1 ? 1.0 : u); }

// x_i = u_i/scale_i + lo_i kept in the box (bounds in either order; a NaN
// goes to lo_i); x_i = lo_i for an inactive coordinate (scale_i = 0).
// bounds holds (lo_i, hi_i) pairs.
inline void ToReal(const double* u, double* x, const double* bounds, const double* scale, int dim) {
    for (int i = 0; i < dim; ++i) {
        const double lo = bounds[2 * i], hi = bounds[2 * i + 1];
        if (scale[i] == 0) {
            x[i] = lo;
            continue;
        }
        // u = 1 can land one rounding step beyond hi.
        const double v = u[i] / scale[i] + lo;
        const double a = lo < hi ? lo : hi, z = lo < hi ? hi : lo;
        x[i] = !(v >= a) ? (std::isnan(v) ? lo : a) : (v > z ? z : v);
    }
}

}  // namespace climb_internal
