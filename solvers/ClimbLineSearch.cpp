// Climb: the feasible interval of a line through the unit box and the line
// search along it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "containers/Sort.h"
#include "host/Plugin.h"
#include "solvers/Climb.h"
#include "solvers/ClimbInternal.h"

long Climb::cubicSkipCount = 0;

namespace {

using climb_internal::Better;

const char kCancelName[] = "Progress window got cancel";

// Passes after which a line search ends whatever its stop rules say.
constexpr int kMaxPasses = 1000;

// Passes of the running line search; paces the idle processing and the
// cancel check (module-wide, reset by every search).
int g_passCounter = 0;

// The sample table: records (t, f, used) kept sorted by t ascending, with
// room that grows geometrically. Answers false (error 1) when it cannot grow.
// The first record with the smallest f (NaN after every number) is kept up
// to date on insertion.
class SampleTable {
public:
    SampleTable() : data_(local_), count_(0), capacity_(kLocal), min_(0) {}
    ~SampleTable() {
        if (data_ != local_) delete[] data_;
    }
    SampleTable(const SampleTable&) = delete;
    SampleTable& operator=(const SampleTable&) = delete;

    int Len() const { return count_; }
    double T(int k) const { return data_[3 * k]; }
    double F(int k) const { return data_[3 * k + 1]; }
    bool Used(int k) const { return data_[3 * k + 2] != 0; }
    void MarkUsed(int k) { data_[3 * k + 2] = 1; }
    // Index of a record holding exactly t, or -1.
    int Find(double t) const { return BFind<double>(data_, t, count_, 3); }

    // Inserts (t, f, 0) at its sorted position; equal t go after the
    // existing records.
    bool Insert(double t, double f) {
        int at;
        if (count_ == 0) at = 0;
        else if (count_ == 1) at = t > T(0) ? 1 : 0;
        else at = BFindInsertIndex<double>(data_, t, count_, 3);
        if (count_ == capacity_ && !Grow()) return false;
        std::memmove(data_ + 3 * (at + 1), data_ + 3 * at,
                     sizeof(double) * 3 * static_cast<size_t>(count_ - at));
        data_[3 * at] = t;
        data_[3 * at + 1] = f;
        data_[3 * at + 2] = 0;
        ++count_;
        if (count_ == 1) {
            min_ = 0;
        } else {
            const int old = at <= min_ ? min_ + 1 : min_;  // where the old minimum moved
            if (Better(f, F(old)) || (!Better(F(old), f) && at < old)) min_ = at;
            else min_ = old;
        }
        return true;
    }

    // The first record with the smallest f.
    int MinIndex() const { return min_; }

private:
    static constexpr int kLocal = 128;

    bool Grow() {
        const int capacity = 2 * capacity_;
        double* fresh = new (std::nothrow) double[3 * static_cast<size_t>(capacity)];
        if (fresh == nullptr) {
            VeskError(1, "Climb: working storage not obtained");
            return false;
        }
        std::memcpy(fresh, data_, sizeof(double) * 3 * static_cast<size_t>(count_));
        if (data_ != local_) delete[] data_;
        data_ = fresh;
        capacity_ = capacity;
        return true;
    }

    double local_[3 * kLocal];
    double* data_;
    int count_;
    int capacity_;
    int min_;
};

constexpr int kNone = -1;

// The group of records around the best one: its neighbours i1, i2 and a
// third record i3 (kNone when the table has only three records or, inside
// the table, no record two places away).
struct Group {
    int m, n, i1, i2, i3;

    void Choose(const SampleTable& table) {
        m = table.MinIndex();
        n = table.Len() - 1;
        if (m == 0) {
            i1 = 1;
            i2 = 2;
            i3 = n > 2 ? 3 : kNone;
        } else if (m == n) {
            i1 = m - 1;
            i2 = m - 2;
            i3 = n > 2 ? m - 3 : kNone;
        } else {
            i1 = m - 1;
            i2 = m + 1;
            const bool left = i1 > 0, right = i2 < n;
            if (left && right)
                i3 = std::fabs(table.T(m - 2) - table.T(i1)) > std::fabs(table.T(m + 2) - table.T(i1))
                         ? m + 2
                         : m - 2;
            else
                i3 = left ? m - 2 : (right ? m + 2 : kNone);
        }
    }
};

double Det3(const double r0[3], const double r1[3], const double r2[3]) {
    return r0[0] * (r1[1] * r2[2] - r1[2] * r2[1]) - r0[1] * (r1[0] * r2[2] - r1[2] * r2[0]) +
           r0[2] * (r1[0] * r2[1] - r1[1] * r2[0]);
}

// True when f - f[m] = A a^3 + B a^2 + C a through the three difference
// pairs (a[k], g[k]) has a unique solution with A != 0 whose derivative
// 3A a^2 + 2B a + C has a real root.
bool CubicHasStationaryPoint(const double a[3], const double g[3]) {
    const double r0[3] = {a[0] * a[0] * a[0], a[0] * a[0], a[0]};
    const double r1[3] = {a[1] * a[1] * a[1], a[1] * a[1], a[1]};
    const double r2[3] = {a[2] * a[2] * a[2], a[2] * a[2], a[2]};
    const double det = Det3(r0, r1, r2);
    if (det == 0) return false;
    const double c0[3] = {g[0], r0[1], r0[2]}, c1[3] = {g[1], r1[1], r1[2]}, c2[3] = {g[2], r2[1], r2[2]};
    const double A = Det3(c0, c1, c2) / det;
    if (A == 0) return false;
    const double b0[3] = {r0[0], g[0], r0[2]}, b1[3] = {r1[0], g[1], r1[2]}, b2[3] = {r2[0], g[2], r2[2]};
    const double d0[3] = {r0[0], r0[1], g[0]}, d1[3] = {r1[0], r1[1], g[1]}, d2[3] = {r2[0], r2[1], g[2]};
    const double B = Det3(b0, b1, b2) / det;
    const double C = Det3(d0, d1, d2) / det;
    return (2 * B) * (2 * B) - 4 * 3 * A * C >= 0;
}

}  // namespace

void Climb::GetOrtBoundaries(MatVector& u, MatVector& d, double& tmin, double& tmax) {
    tmin = -std::sqrt(static_cast<double>(dim));
    tmax = std::sqrt(static_cast<double>(dim));
    bool any = false;
    for (int i = 0; i < dim; ++i) {
        if (scale[i] == 0 || d[i] == 0) continue;
        any = true;
        const double a = (1 - u[i]) / std::fabs(d[i]), b = u[i] / std::fabs(d[i]);
        if (d[i] > 0) {
            tmax = std::min(tmax, a);
            tmin = std::max(tmin, -b);
        } else {
            tmax = std::min(tmax, b);
            tmin = std::max(tmin, -a);
        }
    }
    if (!any) tmin = tmax = 0;
}

double Climb::FindMiniumByDirection(double f0, MatVectorCol& dir, int useGivenStep) {
    Processor* proc = GetOwner();
    if (proc == nullptr) return 0.0;
    proc->FlushIdle();
    g_passCounter = 0;

    // Unit direction. A direction whose norm overflows is first divided by
    // its largest magnitude; one holding NaN or infinity is refused.
    const double givenStep = dir.Norm();
    double norm = givenStep;
    if (norm == 0) return f0;
    MatVectorCol d(dir);
    if (d.Len() != dim) return f0;
    if (!std::isfinite(norm)) {
        double big = 0;
        for (int i = 0; i < dim; ++i) {
            if (!std::isfinite(d[i])) return f0;
            big = std::max(big, std::fabs(d[i]));
        }
        for (int i = 0; i < dim; ++i) d[i] /= big;
        norm = d.Norm();
    }
    for (int i = 0; i < dim; ++i) d[i] /= norm;

    double tmin, tmax;
    GetOrtBoundaries(current, d, tmin, tmax);
    // An empty interval (equal ends, or inverted for a start outside the box).
    if (!(tmin < tmax)) return f0;

    MatVectorCol point(current);
    if (point.Len() != dim) {
        VeskError(1, "Climb: working storage not obtained");
        return f0;
    }
    // The best sample's point is u + tBest d, rebuilt at the end by the same
    // operations that made it.
    double best = f0, previousBest = f0, tBest = 0;
    bool moved = false;
    // A native objective is resolved once for the whole search.
    typedef double (*ObjectiveFn)(MatVector& x, Variable& extra);
    const ObjectiveFn native = function.GetType() == VT_INT64
                                   ? reinterpret_cast<ObjectiveFn>(function.GetCppPointer())
                                   : nullptr;
    // f at u + t d; a value below the best one becomes the best sample.
    const double* u = current.GetData();
    const double* dd = d.GetData();
    double* p = point.GetData();
    auto sample = [&](double t) {
        for (int i = 0; i < dim; ++i) p[i] = u[i] + t * dd[i];
        double f;
        if (native != nullptr) {
            climb_internal::ToReal(p, result.GetData(), boundaries.GetData(), scale.GetData(), dim);
            f = native(result, extraParam);
        } else {
            f = FuncAt(point);
        }
        if (Better(f, best)) {
            previousBest = best;
            best = f;
            tBest = t;
            moved = true;
        }
        return f;
    };
    auto clampT = [&](double t) { return std::min(std::max(t, tmin), tmax); };

    SampleTable table;
    bool stored = table.Insert(0, f0);
    double s = useGivenStep ? givenStep : 0.05 * (tmax - tmin);
    double t1 = clampT(tmax == 0 ? -2 * s : std::min(s, tmax));
    double f1 = sample(t1);
    if (useGivenStep && !Better(best, f0)) {
        stored = stored && table.Insert(t1, f1);
        s = 0.05 * (tmax - tmin);
        t1 = tmax == 0 ? -2 * s : std::min(s, tmax);
        f1 = sample(t1);
    }
    stored = stored && table.Insert(t1, f1);
    const double t2 = clampT(tmin == 0 ? 2 * s : std::max(-s, tmin));
    const double f2 = sample(t2);
    stored = stored && table.Insert(t2, f2);

    Group grp;
    grp.Choose(table);
    // The value scale of the first pass: the rule of every later pass
    // applied to the starting group.
    double S = std::max(1.0, (std::fabs(table.F(grp.m)) + std::fabs(table.F(grp.i2)) +
                              std::fabs(table.F(grp.i1))) / 3);
    double L = 0;
    int stall = 0;
    // Differences of the most recent four-record fit, for i3, i2, i1, and
    // whether their cubic has a real stationary point (known once tested).
    double fitA[3] = {0, 0, 0}, fitG[3] = {0, 0, 0};
    int fitCubic = -1;

    for (int pass = 0; stored && pass < kMaxPasses; ++pass) {
        if (proc->GetErrorStatus()) {
            const char* name = proc->GetErrorName(proc->GetLastError());
            // A cancel leaves the point where it was and the error set.
            if (name != nullptr && std::strcmp(name, kCancelName) == 0) return f0;
            proc->ClearErrorStatus();
            break;
        }
        if (g_passCounter % 10 == 0) {
            proc->FlushIdle();
            if (HasProgressWnd()) {
                Object* o = progressWnd.GetObject();
                Variable* self = o != nullptr ? o->GetSelf() : &progressWnd;
                VarRegister res;
                proc->RunMethodAsIs(res, "CheckCancel", nullptr, 0, self);
            }
        }
        ++g_passCounter;

        const int m0 = grp.m, i1 = grp.i1, i2 = grp.i2, i3 = grp.i3;
        bool improved = false;
        // Interpolation: the differences (a, g) of i2 and i1 from the best
        // record, when the pass fits a parabola.
        bool fit = false;
        double a2 = 0, a1 = 0, g2 = 0, g1 = 0;
        if (i3 == kNone) {
            if (!(table.Used(m0) && table.Used(i1) && table.Used(i2))) {
                table.MarkUsed(m0);
                table.MarkUsed(i1);
                table.MarkUsed(i2);
                a2 = table.T(i2) - table.T(m0);
                a1 = table.T(i1) - table.T(m0);
                g2 = table.F(i2) - table.F(m0);
                g1 = table.F(i1) - table.F(m0);
                fit = true;
            }
        } else {
            if (!(table.Used(m0) && table.Used(i1) && table.Used(i2) && table.Used(i3))) {
                const int k[3] = {i3, i2, i1};
                for (int r = 0; r < 3; ++r) {
                    table.MarkUsed(k[r]);
                    fitA[r] = table.T(k[r]) - table.T(m0);
                    fitG[r] = table.F(k[r]) - table.F(m0);
                }
                table.MarkUsed(m0);
                fitCubic = -1;
            }
            if (fitCubic < 0) fitCubic = CubicHasStationaryPoint(fitA, fitG) ? 1 : 0;
            if (fitCubic) {
                ++cubicSkipCount;
            } else {
                a2 = fitA[1];
                a1 = fitA[2];
                g2 = fitG[1];
                g1 = fitG[2];
                fit = true;
            }
        }
        if (fit) {
            const double D = a1 * a2 * a2 - a1 * a1 * a2;
            const double A = D != 0 ? (g2 * a1 - g1 * a2) / D : 0.0;
            if (A > 0) {
                const double B = (g1 * a2 * a2 - g2 * a1 * a1) / D;
                double delta = -B / (2 * A);
                if (limitDirectionStep && delta != 0) {
                    L = std::max(L, 10 * std::max(std::fabs(a2), std::fabs(a1)));
                    if (std::fabs(delta) > L) delta = std::copysign(L, delta);
                }
                const double t = table.T(m0) + delta;
                // A position that is not finite counts as no interpolation.
                if (delta != 0 && std::isfinite(t)) {
                    const double tc = clampT(t);
                    if (table.Find(tc) < 0) {
                        const double before = best;
                        const double f = sample(tc);
                        improved = Better(f, before);
                        if (!table.Insert(tc, f)) break;
                        grp.m = table.MinIndex();
                    }
                }
            }
        }

        // Fallback: bisect or extend the bracket when interpolation gave
        // nothing better or left the best record lopsided.
        const int m = grp.m, n = table.Len() - 1;
        const double gl = std::fabs(table.T(m) - table.T(i1));
        const double gr = std::fabs(table.T(i2) - table.T(m));
        const double gmax = std::max(gl, gr);
        if (!improved || (gmax > 0 && std::min(gl, gr) / gmax < 0.3)) {
            double t;
            if (m == 0) {
                t = table.T(0) == tmin ? (table.T(0) + table.T(1)) * 0.5 : 3 * table.T(0) - 2 * table.T(1);
                if (t < tmin) t = tmin;
            } else if (m == n) {
                t = table.T(n) == tmax ? (table.T(n) + table.T(n - 1)) * 0.5
                                       : 3 * table.T(n) - 2 * table.T(n - 1);
                if (t > tmax) t = tmax;
            } else if (table.T(m + 1) - table.T(m) > table.T(m) - table.T(m - 1)) {
                t = (table.T(m + 1) + table.T(m)) * 0.5;
            } else {
                t = (table.T(m - 1) + table.T(m)) * 0.5;
            }
            const double f = sample(t);
            if (!table.Insert(t, f)) break;
        }
        grp.Choose(table);

        // Stop rules. The best point counts as stalled only once the search
        // has improved on f0; before that only the bracket ends it.
        const double tm = table.T(grp.m), fm = table.F(grp.m);
        const double ti1 = table.T(grp.i1), ti2 = table.T(grp.i2);
        const bool settled = Better(best, f0) && std::fabs(tBest - tm) < eps &&
                             std::fabs(best - previousBest) / S < eps;
        if (settled || std::fabs(ti2 - ti1) < eps) {
            if (++stall > 5) break;
        } else {
            stall = 0;
        }
        S = std::max(1.0, (std::fabs(fm) + std::fabs(table.F(grp.i2)) + std::fabs(table.F(grp.i1))) / 3);
        const double df = std::min(std::fabs(table.F(grp.i2) - fm), std::fabs(fm - table.F(grp.i1)));
        if (!(std::fabs(tm - ti1) > eps || std::fabs(ti2 - tm) > eps || df / S > eps)) break;
    }

    if (moved)
        for (int i = 0; i < dim; ++i) p[i] = u[i] + tBest * dd[i];
    else
        point = current;
    for (int i = 0; i < dim; ++i) p[i] = std::min(std::max(p[i], 0.0), 1.0);
    current = point;
    Trace(best);
    return best;
}
