// Climb: the end test of the solve operations. A first-order test samples
// the objective along each coordinate around the end point; a second-order
// check builds a difference model (gradient and Hessian) there and tries
// damped Newton steps, which go on as a short polish while they lower the
// value by more than the end-test tolerance.
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <new>
#include <utility>
#include <vector>

#include "solvers/Climb.h"
#include "solvers/ClimbInternal.h"

namespace {

using climb_internal::Clamp01;

// The gain a Newton step must make: max(kNewtonValueFloor, |f|)
// (kNewtonValueFactor eps + kEndTestRoundingFactor DBL_EPSILON).
constexpr double kNewtonValueFloor = 1e-4, kNewtonValueFactor = 10;
// Newton steps of one polish at most.
constexpr int kPolishSteps = 50;
// Levenberg damping, in units of the Jacobi-scaled Hessian (unit diagonal):
// a step is tried undamped, then with 1e-8, 1e-7, ... up to 1e4.
constexpr double kDampingFirst = 1e-8, kDampingLast = 1e4;
// Doublings of an accepted step while they gain.
constexpr int kExtensions = 8;
// Hessian step relative to |x_i| (about DBL_EPSILON^(1/4)) and gradient step
// relative to the Hessian step (DBL_EPSILON^(1/3) / DBL_EPSILON^(1/4)).
constexpr double kHessianStep = 1.2e-4, kGradientStepRatio = 0.05;
// Floors of the steps in multiples of the rounding of the coordinate
// itself (the real point u/scale + lo is rounded to the ulp of the bounds),
// the largest normalised step, and the rounding level below which a second
// difference is taken as noise (its step then grows tenfold, a few times).
constexpr double kHessianStepFloor = 1e4, kGradientStepFloor = 1e2, kLargestStep = 1e-2;
constexpr double kCurvatureNoise = 1e3;
constexpr int kStepGrowths = 6;
// Active coordinates the model is formed for at most: it costs about 2 n^2
// evaluations and 3 n^2 doubles; above, the first-order verdict stands.
constexpr int kNewtonMaxCoordinates = 100;

// (A + mu I) q = b by Cholesky for the symmetric m x m matrix A (row-major);
// false when that matrix is not positive definite or q is not finite. l is
// working storage of at least m x m values.
bool DampedSolve(const std::vector<double>& a, int m, double mu, const std::vector<double>& b,
                 std::vector<double>& q, std::vector<double>& l) {
    for (int i = 0; i < m * m; ++i) l[i] = a[i];
    for (int i = 0; i < m; ++i) l[i * m + i] += mu;
    for (int j = 0; j < m; ++j) {
        double d = l[j * m + j];
        for (int k = 0; k < j; ++k) d -= l[j * m + k] * l[j * m + k];
        if (!(d > 0)) return false;
        d = std::sqrt(d);
        l[j * m + j] = d;
        for (int i = j + 1; i < m; ++i) {
            double s = l[i * m + j];
            for (int k = 0; k < j; ++k) s -= l[i * m + k] * l[j * m + k];
            l[i * m + j] = s / d;
        }
    }
    for (int i = 0; i < m; ++i) q[i] = b[i];
    for (int i = 0; i < m; ++i) {
        double s = q[i];
        for (int k = 0; k < i; ++k) s -= l[i * m + k] * q[k];
        q[i] = s / l[i * m + i];
    }
    for (int i = m - 1; i >= 0; --i) {
        double s = q[i];
        for (int k = i + 1; k < m; ++k) s -= l[k * m + i] * q[k];
        q[i] = s / l[i * m + i];
    }
    for (int i = 0; i < m; ++i)
        if (!std::isfinite(q[i])) return false;
    return true;
}

// The two sample offsets of a coordinate at u for the step h: -h and +h
// inside the box, else h and 2h inward from a face (as represented: the
// offsets are the differences of the rounded sample coordinates).
void Offsets(double u, double h, double& a, double& c) {
    if (u - h >= 0 && u + h <= 1) {
        a = (u + h) - u;
        c = (u - h) - u;
    } else {
        const double s = u + 2 * h <= 1 ? 1.0 : -1.0;
        a = (u + s * h) - u;
        c = (u + 2 * s * h) - u;
    }
}

}  // namespace

double Climb::EndTestTolerance(double f) const {
    return std::fmax(kEndTestValueFloor, std::fabs(f)) *
           (kEndTestValueFactor * std::fmax(eps, 0.0) + kEndTestRoundingFactor * DBL_EPSILON);
}

bool Climb::FirstOrderOptimal(double f, bool plateauFails) {
    if (std::isnan(f) || f == HUGE_VAL) return false;
    if (f == -HUGE_VAL) return true;
    const double tolerance = EndTestTolerance(f);
    MatVectorCol p(current);
    if (p.Len() != dim) {
        VeskError(1);
        return false;
    }
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        const double u = p[i];
        double h = DifferenceStep(i);
        bool sampled = false, changes = false;
        for (int level = 0; level < kEndTestLevels; ++level, h *= kEndTestStepRatio) {
            for (const double side : {h, -h}) {
                // Samples stay in the box: at a face only the inward one.
                p[i] = Clamp01(u + side);
                if (p[i] == u) continue;
                const double fs = FuncAt(p);
                p[i] = u;
                if (fs < f - tolerance) return false;
                sampled = true;
                changes = changes || fs != f;
            }
        }
        if (plateauFails && sampled && !changes) return false;
    }
    return true;
}

double Climb::NewtonPolish(double f, bool& settled, bool& definite) {
    settled = true;
    definite = false;
    if (!std::isfinite(f)) return f;
    int m = 0;
    for (int i = 0; i < dim; ++i) m += scale[i] != 0;
    definite = m == 0;
    if (m == 0 || m > kNewtonMaxCoordinates) return f;
    MatVectorCol p(current);
    // The active coordinates act; per active coordinate k: offsets of the
    // Hessian samples (ha, hc) and their values, offsets of the gradient
    // samples, the model's gradient g and Hessian hess (normalised units).
    // Per coordinate that may move (movable): the Jacobi scale d, and the
    // scaled gradient gs, Hessian as and step q; work for the solves.
    std::vector<int> act, movable;
    std::vector<double> ha, hc, ga, gc, fa, fc, g, hess, d, gs, as, q, work;
    try {
        act.reserve(m);
        movable.reserve(m);
        for (std::vector<double>* v : {&ha, &hc, &ga, &gc, &fa, &fc, &g, &d, &gs, &q}) v->resize(m);
        for (std::vector<double>* v : {&hess, &as, &work}) v->resize(static_cast<long>(m) * m);
    } catch (const std::bad_alloc&) {
        // Without storage the point cannot be shown to be a minimum.
        VeskError(1);
        settled = false;
        return f;
    }
    if (p.Len() != dim) {
        VeskError(1);
        settled = false;
        return f;
    }
    for (int i = 0; i < dim; ++i)
        if (scale[i] != 0) act.push_back(i);
    auto at = [this, &p](std::initializer_list<std::pair<int, double>> moves) {
        p = current;
        for (const auto& mv : moves) p[mv.first] = current[mv.first] + mv.second;
        const double v = FuncAt(p);
        p = current;
        return v;
    };
    // The difference model at the current point (value f): gradient g and
    // Hessian hess from samples at offsets that respect the box.
    auto model = [&]() {
        for (int k = 0; k < m; ++k) {
            const int i = act[k];
            const double lo = boundaries[2 * i], hi = boundaries[2 * i + 1], s = std::fabs(scale[i]);
            const double u = current[i];
            const double rounding = DBL_EPSILON * (std::fmax(std::fabs(lo), std::fabs(hi)) * s + 1);
            const double x = u / scale[i] + lo;
            double h = std::fmin(std::fmax(kHessianStep * std::fabs(x) * s, kHessianStepFloor * rounding),
                                 kLargestStep);
            // A second difference within the rounding of f: a larger step.
            for (int grow = 0;; ++grow) {
                Offsets(u, h, ha[k], hc[k]);
                fa[k] = at({{i, ha[k]}});
                fc[k] = at({{i, hc[k]}});
                const double second = std::fabs((fa[k] - f) * hc[k] - (fc[k] - f) * ha[k]) / std::fabs(ha[k] - hc[k]);
                if (!(second < kCurvatureNoise * DBL_EPSILON * std::fabs(f)) || grow == kStepGrowths ||
                    10 * h > kLargestStep)
                    break;
                h *= 10;
            }
            // The parabola through (0, f), (a, f_a), (c, f_c).
            const double a = ha[k], c = hc[k];
            hess[k * m + k] = 2 * ((fa[k] - f) * c - (fc[k] - f) * a) / (a * c * (a - c));
            Offsets(u, std::fmax(kGradientStepRatio * h, kGradientStepFloor * rounding), ga[k], gc[k]);
            const double fga = at({{i, ga[k]}}), fgc = at({{i, gc[k]}});
            g[k] = ((fga - f) * gc[k] * gc[k] - (fgc - f) * ga[k] * ga[k]) / (ga[k] * gc[k] * (gc[k] - ga[k]));
        }
        for (int k = 0; k < m; ++k)
            for (int l = k + 1; l < m; ++l) {
                const int i = act[k], j = act[l];
                const double v = at({{i, ha[k]}, {j, ha[l]}}) - at({{i, ha[k]}, {j, hc[l]}}) -
                                 at({{i, hc[k]}, {j, ha[l]}}) + at({{i, hc[k]}, {j, hc[l]}});
                hess[k * m + l] = hess[l * m + k] = v / ((ha[k] - hc[k]) * (ha[l] - hc[l]));
            }
    };
    double mu = 0;
    for (int step = 0; step < kPolishSteps; ++step) {
        const double tolerance = std::fmax(kNewtonValueFloor, std::fabs(f)) *
                                 (kNewtonValueFactor * std::fmax(eps, 0.0) + kEndTestRoundingFactor * DBL_EPSILON);
        model();
        // The coordinates that may move: not at a face that g points out of,
        // and not without any effect on the model (a parameter that no
        // longer changes f: its row and gradient are exactly 0).
        movable.clear();
        for (int k = 0; k < m; ++k) {
            const double u = current[act[k]];
            if (!std::isfinite(g[k]) || !std::isfinite(hess[k * m + k])) return f;
            bool flat = g[k] == 0;
            for (int l = 0; flat && l < m; ++l) flat = hess[k * m + l] == 0;
            if (!flat && !((u <= 0 && g[k] > 0) || (u >= 1 && g[k] < 0))) movable.push_back(k);
        }
        const int r = static_cast<int>(movable.size());
        definite = r == 0;
        if (r == 0) return f;
        for (int k = 0; k < r; ++k) {
            const double dk = std::sqrt(std::fabs(hess[movable[k] * m + movable[k]]));
            d[k] = dk > 0 ? dk : 1.0;
        }
        for (int k = 0; k < r; ++k) {
            gs[k] = -g[movable[k]] / d[k];
            for (int l = 0; l < r; ++l) {
                const double v = hess[movable[k] * m + movable[l]];
                if (!std::isfinite(v)) return f;
                as[k * r + l] = v / (d[k] * d[l]);
            }
        }
        bool gained = false;
        MatVectorCol last(current);
        while (!gained && mu <= kDampingLast) {
            if (DampedSolve(as, r, mu, gs, q, work)) {
                p = current;
                for (int k = 0; k < r; ++k) p[act[movable[k]]] = Clamp01(current[act[movable[k]]] + q[k] / d[k]);
                // A damping too small to change the step is not tried again;
                // one too large to move the point ends the search.
                if (p == current) break;
                if (!(p == last)) {
                    last = p;
                    double ft = FuncAt(p);
                    if (ft < f - tolerance) {
                        // Further along the step while that gains too.
                        for (int k = 0; k < kExtensions; ++k) {
                            for (int l = 0; l < r; ++l) {
                                const int i = act[movable[l]];
                                p[i] = Clamp01(p[i] + (p[i] - current[i]));
                            }
                            const double fe = FuncAt(p);
                            if (!(fe < ft - tolerance)) break;
                            ft = fe;
                            last = p;
                        }
                        current = last;
                        f = ft;
                        gained = true;
                    }
                }
            }
            if (gained) mu = mu <= kDampingFirst ? 0 : mu / 10;
            else mu = mu == 0 ? kDampingFirst : 10 * mu;
        }
        p = current;
        if (!gained) {
            definite = DampedSolve(as, r, 0, gs, q, work);
            return f;
        }
    }
    settled = false;
    return f;
}

bool Climb::PassesEndTest(double& f, bool plateauFails, bool firstOrder) {
    bool settled, definite;
    const double polished = NewtonPolish(f, settled, definite);
    if (!(polished < f)) return firstOrder && settled;
    f = polished;
    // A point the polish moved is taken as solved only at a strict minimum
    // of its model: a Newton polish also settles where the Hessian is
    // singular (model terms that have merged).
    return settled && definite && FirstOrderOptimal(f, plateauFails);
}
