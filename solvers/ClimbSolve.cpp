// Climb: Powell's conjugate-direction method, coordinate descent, and the
// pieces every solve operation shares (start, convergence measures, the
// solution-not-found error).
#include <cmath>

#include "host/Plugin.h"
#include "solvers/Climb.h"
#include "solvers/ClimbInternal.h"

namespace {

using climb_internal::Better;
using climb_internal::Clamp01;

// Every solve starts at the normalised start clamped into the unit box: the
// same real point (evaluations clamp it anyway), but from a start placed far
// outside by SetStartPoint the line searches would find no feasible part of
// a coordinate's line and leave that coordinate pinned at its face.
void StartAt(MatVectorCol& current, const MatVectorCol& start) {
    current = start;
    for (int i = 0; i < current.Len(); ++i) current[i] = current[i] > 0 ? Clamp01(current[i]) : 0.0;
}

}  // namespace

// ------------------------------------------------------------ shared parts

bool Climb::BeginSolve(int percent, double& f) {
    ClearCaches();
    if (GetOwner() == nullptr || !CheckStorage() || !CheckSolvable()) return false;
    if (HasProgressWnd() && ProgressStart(percent) != 0) return false;
    StartAt(current, normStart);
    f = FuncAt(current);
    Trace(f);
    return true;
}

void Climb::CheckSolution(double f, bool failed) {
    if (!failed && !std::isnan(f)) return;
    // A client that runs the minimizer before the host initialised the
    // module still gets the registered code, not 0.
    if (VeskModuleErrorCode == 0) VeskPlugin_Init(GetOwner());
    VeskError(VeskModuleErrorCode);
}

int Climb::CheckDeltaSize(MatVectorCol& v) {
    // Every active coordinate counts (bounds may be given in either order);
    // a NaN component is never small.
    for (int i = 0; i < dim; ++i)
        if (scale[i] != 0 && !(std::fabs(v[i]) < eps)) return 0;
    return 1;
}

int Climb::CheckStepSize(MatVectorCol* dirs) {
    for (int i = 0; i < dim; ++i)
        if (!CheckDeltaSize(dirs[i])) return 0;
    return 1;
}

// ------------------------------------------------------------------ Powell

void Climb::InitStep() {
    for (int i = 0; i < dim; ++i) {
        directions[i].Set(0.0);
        directions[i][i] = DifferenceStep(i);
    }
}

double Climb::MakeItterationPowell(double f0, MatVectorCol* dirs, int& flag) {
    MatVectorCol p0(current);
    if (p0.Len() != dim) {
        VeskError(1);
        return f0;
    }
    double f = f0, deltaMax = 0;
    for (int i = 0; i < dim; ++i) {
        const double fNew = FindMiniumByDirection(f, dirs[i], 0);
        if (f - fNew > deltaMax) deltaMax = f - fNew;
        f = fNew;
    }
    if (!Better(f, f0) || dim <= 1) return f;

    // Extrapolate along the net displacement d. The trial lies 2|d| beyond
    // the current point along the unit vector d/|d|, limited by the box.
    MatVectorCol d(current);
    d -= p0;
    const double norm = d.Norm();
    if (!(norm > 0)) return f;
    MatVectorCol e(dim), pe(dim);
    if (e.Len() != dim || pe.Len() != dim) {
        VeskError(1);
        return f;
    }
    for (int i = 0; i < dim; ++i) e[i] = d[i] / norm;
    double tmin, tmax;
    GetOrtBoundaries(current, e, tmin, tmax);
    const double lambda = 2 * norm > tmax ? tmax : 2 * norm;
    for (int i = 0; i < dim; ++i)
        pe[i] = scale[i] != 0 ? Clamp01(current[i] + lambda * e[i]) : current[i];
    const double fe = FuncAt(pe);
    const double a = f0 - f - deltaMax, b = f0 - fe;
    if (Better(fe, f) && 2 * (f0 - 2 * f + fe) * a * a < b * b * deltaMax) {
        for (int k = 1; k < dim; ++k) dirs[k - 1] = dirs[k];
        dirs[dim - 1] = d;
        current = pe;
        f = fe;
        flag = 0;
    }
    return f;
}

void Climb::OuterLoop(double f, bool withDFP, int dfpMaxIter) {
    int flag = 1, endRestarts = 0;
    bool restarted = false, limitReached = true, optimal = false;
    double fNew = f;
    for (int k = 0; k < maxIterations; ++k) {
        // With a window, a cancel raised during the last iteration ends the
        // loop now rather than at the next report.
        if (HasProgressWnd() && (k % 10 == 0 ? ProgressReport(k % 100, f) : HostErrorStatus()) != 0)
            return;
        const double fStart = withDFP ? MakeItterationDFP(f, dfpMaxIter) : f;
        fNew = MakeItterationPowell(fStart, directions, flag);
        Trace(fNew);
        const double scaleF = std::fmax(std::fabs(f) + std::fabs(fNew), 1.0);
        // A number after a NaN is a gain.
        const bool gained = std::isnan(f) ? !std::isnan(fNew) : (f - fNew) / scaleF >= eps;
        if (gained) {
            restarted = false;
        } else if (restarted || flag != 0) {
            // The rounds have settled; an end point that fails the end test
            // gets fresh rounds from reset directions, a bounded number of
            // times.
            optimal = FirstOrderOptimal(fNew, false);
            if (optimal || endRestarts == kEndTestRestarts) {
                optimal = PassesEndTest(fNew, false, optimal);
                limitReached = false;
                break;
            }
            ++endRestarts;
            InitStep();
            flag = 1;
            restarted = false;
        } else {
            InitStep();
            restarted = true;
        }
        f = fNew;
    }
    CheckSolution(fNew, limitReached ? errorIfMaxIter != 0 : !optimal);
    ProgressReport(100, fNew);
}

void Climb::SolvePowell() {
    double f;
    if (!BeginSolve(1, f)) return;
    InitStep();
    OuterLoop(f, false, 0);
}

void Climb::SolvePowell(int n) {
    if (n != 0) {
        SolvePowell();
        return;
    }
    ClearCaches();
    if (!CheckStorage() || !CheckSolvable()) return;
    InitStep();
    OnePowellIteration(directions);
}

void Climb::SolvePowell(MatVectorCol* dirs) {
    if (!CheckStorage() || !CheckSolvable()) return;
    bool usable = dirs != nullptr;
    for (int i = 0; usable && i < dim; ++i) usable = dirs[i].Len() == dim;
    if (!usable) {
        VeskError(3, "Climb::SolvePowell: dim directions of dim values expected");
        return;
    }
    OnePowellIteration(dirs);
}

void Climb::OnePowellIteration(MatVectorCol* dirs) {
    StartAt(current, normStart);
    double f = FuncAt(current);
    Trace(f);
    int flag = 1;
    f = MakeItterationPowell(f, dirs, flag);
    CheckSolution(f, false);
}

// ------------------------------------------------------- coordinate search

double Climb::MakeIterationsByCoord(double f, double step, int i) {
    // An inactive coordinate is never moved: its real value is fixed.
    if (scale[i] == 0) return f;
    MatVectorCol trial(current);
    if (trial.Len() != dim) {
        VeskError(1);
        return f;
    }
    const double minS = minStepSet && minStep[i] != 0 ? std::fabs(minStep[i]) : 0.0;
    const double maxS = maxStepSet && maxStep[i] != 0 ? std::fabs(maxStep[i]) : 0.0;
    auto grow = [maxS](double s) {
        s *= 2;
        return maxS > 0 && std::fabs(s) > maxS ? std::copysign(maxS, s) : s;
    };
    auto shrink = [minS](double s) {
        s /= 2;
        return minS > 0 && std::fabs(s) < minS ? std::copysign(minS, s) : s;
    };
    bool expanding = true, reverseAllowed = true;
    int halvings = 0;
    for (;;) {
        const double u = current[i];
        trial[i] = Clamp01(u + step);
        double ft = FuncAt(trial);
        if (Better(ft, f)) {
            current[i] = trial[i];
            f = ft;
            reverseAllowed = false;
            if (expanding) step = grow(step);
        } else if (reverseAllowed) {
            trial[i] = Clamp01(u - step);
            ft = FuncAt(trial);
            if (Better(ft, f)) {
                current[i] = trial[i];
                f = ft;
                reverseAllowed = false;
                step = expanding ? grow(-step) : -step;
            } else {
                expanding = false;
                step = shrink(step);
                ++halvings;
            }
        } else {
            expanding = false;
            reverseAllowed = true;
            step = shrink(step);
            ++halvings;
        }
        trial[i] = current[i];
        Trace(f);
        if (!(std::fabs(step) >= eps) || halvings >= 8 ||
            (minS > 0 && std::fabs(step) <= minS && halvings >= 2))
            return f;
    }
}

void Climb::SolveByCoord(MatVectorCol& steps) {
    if (!CheckStorage() || !CheckSolvable()) return;
    if (steps.Len() != dim) {
        VeskError(3, "Climb::SolveByCoord: one step per coordinate expected");
        return;
    }
    StartAt(current, normStart);
    double f = FuncAt(current);
    bool limitReached = true;
    MatVectorCol before(dim);
    if (before.Len() != dim) {
        VeskError(1);
        return;
    }
    for (int k = 0; k < maxIterations; ++k) {
        before = current;
        const double fBefore = f;
        for (int i = 0; i < dim; ++i) f = MakeIterationsByCoord(f, steps[i], i);
        const double scaleF = std::fmax(std::fabs(fBefore) + std::fabs(f), 1.0);
        if (before.Distance(current) < eps || (fBefore - f) / scaleF < eps) {
            limitReached = false;
            break;
        }
    }
    CheckSolution(f, limitReached && errorIfMaxIter != 0);
}
