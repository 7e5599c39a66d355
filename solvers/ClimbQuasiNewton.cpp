// Climb: the quasi-Newton run (DFP and BFGS updates of an inverse-Hessian
// approximation in normalised coordinates) and the solve operations built on
// it.
#include <cmath>
#include <initializer_list>

#include "host/Plugin.h"
#include "solvers/Climb.h"
#include "solvers/ClimbInternal.h"

namespace {

using climb_internal::Better;

bool AllSized(int n, std::initializer_list<const MatVector*> vectors) {
    for (const MatVector* v : vectors)
        if (v->Len() != n) return false;
    return true;
}

}  // namespace

void Climb::DropOutwardComponents(MatVectorCol& d) {
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0) continue;
        if ((current[i] < eps && d[i] < 0) || (current[i] > 1 - eps && d[i] > 0)) d[i] = 0;
    }
}

double Climb::MakeQuasiNewtonItteration(int dfp, double f0, int maxIter) {
    int stop;
    return QuasiNewtonRun(dfp, f0, maxIter, stop);
}

double Climb::QuasiNewtonRun(int dfp, double f0, int maxIter, int& stop) {
    stop = kRunEnded;
    MatVectorCol save(current);
    if (GetOwner() == nullptr) return 0.0;
    const int n = dim;
    MatVectorCol g(n), gPrev(n), xPrev(current), xBefore(n), s(n), y(n), hy(n), d(n), v(n);
    if (!AllSized(n, {&save, &g, &gPrev, &xPrev, &xBefore, &s, &y, &hy, &d, &v})) {
        VeskError(1);
        return f0;
    }
    Matrix& h = invHessian;
    auto resetH = [&h]() {
        h.Set(0.0);
        h.SetDiagonal(1.0);
    };
    resetH();
    // Updates of h since it was last the identity.
    int updates = 0;

    // A gradient with a NaN or infinite component gives no direction.
    auto usable = [&g, n]() {
        for (int i = 0; i < n; ++i)
            if (!std::isfinite(g[i])) return false;
        return true;
    };
    GetGradient(g, current);
    gPrev = g;
    if (!usable()) {
        stop = kRunUnusableGradient;
        return f0;
    }
    if (CheckDeltaSize(g)) return f0;
    for (int i = 0; i < n; ++i) d[i] = -g[i];
    const double f1 = FindMiniumByDirection(f0, d, 0);
    if (!Better(f1, f0)) return f0;
    s = xPrev;
    s -= current;
    if (CheckDeltaSize(s)) return f1;
    GetGradient(g, current);
    if (!usable()) {
        stop = kRunUnusableGradient;
        return f1;
    }
    if (CheckDeltaSize(g)) return f1;

    double fCur = f1, fOld = f0, fNew = f1;
    int iterations = 0, progressCounter = 0;
    bool quasiNewtonStep = false, early = false, smallChangeBefore = false;
    while (maxIter > 0) {
        if (HasProgressWnd() && ++progressCounter % 10 == 0) {
            ProgressReport(progressCounter % 100, fCur);
            if (HostErrorStatus() != 0 || HostBreakStatus() != 0) {
                early = true;
                stop = kRunCancelled;
                break;
            }
        }

        // Update of h from the last step s and gradient change y.
        for (int i = 0; i < n; ++i) {
            s[i] = current[i] - xPrev[i];
            y[i] = g[i] - gPrev[i];
        }
        h.Mul(hy, y);
        const double sy = s.ScalarMultiply(y);
        const double yHy = hy.ScalarMultiply(y);
        if (sy == 0 || yHy == 0) {
            early = true;
            break;
        }
        // BFGS adds yHy v v' to the DFP update, with v = s/sy - w/yHy and w
        // the published choice H y (h before this update).
        for (int i = 0; i < n; ++i) v[i] = s[i] / sy - hy[i] / yHy;
        for (int i = 0; i < n; ++i) {
            double* row = h[i];
            for (int j = 0; j < n; ++j) {
                double e = row[j] + s[i] * s[j] / sy;
                e -= hy[i] * hy[j] / yHy;
                if (dfp == 0) e += yHy * v[i] * v[j];
                row[j] = e;
            }
        }
        ++updates;

        // Direction -h g, without the parts that would leave the box at a
        // face the point already touches.
        h.Mul(d, g);
        for (int i = 0; i < n; ++i) d[i] = -d[i];
        DropOutwardComponents(d);
        double tmin, tmax;
        GetOrtBoundaries(current, d, tmin, tmax);
        const double norm = d.Norm();
        if (!(norm > 0) || !std::isfinite(norm)) {
            early = true;
            break;
        }
        if (tmax < norm) d *= tmax / norm;
        xBefore = current;

        fNew = FindMiniumByDirection(fCur, d, 1);
        if (!Better(fNew, fCur)) {
            if (!quasiNewtonStep && iterations >= 4) break;
            // Restart from steepest descent.
            resetH();
            updates = 0;
            for (int i = 0; i < n; ++i) d[i] = -g[i];
            fNew = FindMiniumByDirection(fCur, d, 0);
            if (!Better(fNew, fCur)) break;
            quasiNewtonStep = false;
        } else {
            quasiNewtonStep = true;
        }
        xPrev = xBefore;
        gPrev = g;
        fOld = fCur;
        fCur = fNew;
        GetGradient(g, current);
        if (!usable()) {
            early = true;
            stop = kRunUnusableGradient;
            break;
        }

        const double scaleF = std::fmax(std::fabs(fNew) + std::fabs(fOld), 1.0);
        s = xPrev;
        s -= current;
        // A value change below the tolerance ends the run only when the one
        // before it was below too: a single small change is common at a
        // face, where the box cuts the step short.
        const bool smallChange = std::fabs(fOld - fNew) / scaleF < eps;
        const bool valueSettled = smallChange && smallChangeBefore;
        smallChangeBefore = smallChange;
        if (valueSettled || CheckDeltaSize(s) || CheckDeltaSize(g)) break;
        if (++iterations >= maxIter) {
            stop = kRunCapped;
            break;
        }
    }

    if (Better(f0, fCur)) {
        current = save;
        return f0;
    }
    if (!early && iterations > n && updates >= n) {
        // The approximation stands for the inverse Hessian only where the
        // run could learn it: every active coordinate off the faces.
        bool interior = true;
        for (int i = 0; i < n; ++i)
            if (scale[i] != 0 && (current[i] < eps || current[i] > 1 - eps)) interior = false;
        Matrix cov(h);
        if (interior && cov.X() == n && cov.Y() == n) {
            const double factor = doubleCovariation != 0 ? 2.0 : 1.0;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    if (scale[i] == 0 || scale[j] == 0) cov(i, j) = i == j ? 1.0 : 0.0;
                    else cov(i, j) = i == j ? std::fabs(factor * h(i, j)) : factor * h(i, j);
                }
            SeedCovariationCache(cov, current);
        }
    }
    return fCur;
}

double Climb::MakeItterationDFP(double f0, int maxIter) {
    return MakeQuasiNewtonItteration(1, f0, maxIter);
}

double Climb::MakeItterationBFGS(double f0, int maxIter) {
    return MakeQuasiNewtonItteration(0, f0, maxIter);
}

void Climb::SolveQuasiNewton(int dfp, int maxIter, bool capBinding) {
    double f0;
    if (!BeginSolve(30, f0)) return;
    int stop;
    double f = QuasiNewtonRun(dfp, f0, maxIter, stop);
    // An end point that fails the end test starts a new run from steepest
    // descent with H reset, a bounded number of times, while runs gain.
    bool optimal = false;
    for (int restarts = 0; stop != kRunCancelled && stop != kRunCapped; ++restarts) {
        optimal = FirstOrderOptimal(f, true);
        if (optimal || restarts == kEndTestRestarts) break;
        const double before = f;
        f = QuasiNewtonRun(dfp, f, maxIter, stop);
        if (!Better(f, before)) break;
    }
    // A run capped by the caller's maxIter ends with the error. At the
    // default budget the cap ends the run, not the solve: the Newton check
    // goes on from its point, and the end test decides (a capped point has
    // not passed the first-order test, so only a point the polish moved to
    // and that passes every test there is taken as solved).
    if (stop != kRunCancelled && !(stop == kRunCapped && capBinding)) {
        // A covariance seeded at the run's end point moves with it when the
        // Newton polish gains less than the first-order test's tolerance:
        // the point was a minimum to that test, and so is the new one.
        const bool seeded = covCache.X() == dim && dim > 0 && covCache(0, 0) != 0 && cachePoint == current;
        const double before = f;
        optimal = PassesEndTest(f, true, optimal);
        if (seeded && before - f <= EndTestTolerance(before)) cachePoint = current;
    }
    CheckSolution(f, Better(f0, f) || (stop != kRunCancelled && !optimal));
    ProgressReport(100, f);
}

void Climb::SolveDFP(int maxIter) { SolveQuasiNewton(1, maxIter, true); }
void Climb::SolveBFGS(int maxIter) { SolveQuasiNewton(0, maxIter, true); }

void Climb::Solve(int maxIter) {
    double f;
    if (!BeginSolve(1, f)) return;
    // A coarse Powell pass with a looser tolerance first; the tolerance is
    // restored also when the objective throws.
    {
        struct Restore {
            double& value;
            const double saved;
            ~Restore() { value = saved; }
        } restore{eps, eps};
        const double root = std::sqrt(eps);
        eps = root < 100 * eps ? root : 100 * eps;
        InitStep();
        int flag = 1;
        f = MakeItterationPowell(f, directions, flag);
    }
    InitStep();
    OuterLoop(f, true, maxIter);
}

namespace {

int DefaultMaxIter(int dim) { return 10 * dim > 1000 ? 10 * dim : 1000; }

}  // namespace

void Climb::Solve() { Solve(DefaultMaxIter(dim)); }
void Climb::SolveDFP() { SolveQuasiNewton(1, DefaultMaxIter(dim), false); }
void Climb::SolveBFGS() { SolveQuasiNewton(0, DefaultMaxIter(dim), false); }
