// LeastSquaresFit: problem set-up, calls of the residual, model and
// Jacobian functions, the trust-region Levenberg-Marquardt iteration, the
// covariance and the progress window.
#include "solvers/LeastSquaresFit.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "host/Plugin.h"
#include "solvers/LeastSquaresQR.h"
#include "solvers/ScriptCall.h"

namespace {

typedef void (*ResidualFn)(MatVector& b, MatVectorCol& res, Variable& extra);
typedef double (*ModelFn)(double x, MatVector& b, Variable& extra);
typedef void (*ColumnFn)(MatVector& b, int j, MatVectorCol& col, Variable& extra);
typedef double (*ModelDerivFn)(double x, MatVector& b, int j, Variable& extra);

constexpr double kEpsmch = DBL_EPSILON;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr char kCancelName[] = "Progress window got cancel";
// Columns of the unit-scaled Jacobian whose pivot falls below this share of
// the largest count as dependent in the covariance: 100 times the relative
// error of the Jacobian (of a user's: 1e-12).
constexpr double kRankFactor = 100.0;
constexpr double kUserRankTolerance = 1e-12;

using solver_calls::RunScriptCall;

void* NativeOf(Variable& f, bool& isNative) {
    return solver_calls::NativeOf(f, isNative, "LeastSquaresFit: the function is a null pointer");
}

bool AllFinite(const double* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

bool Converged(int status) {
    return status >= LeastSquaresFit::kReduction && status <= LeastSquaresFit::kRounding;
}

}  // namespace

// Working storage of one Solve; every vector is obtained up front.
struct LeastSquaresFit::Work {
    int m = 0, p = 0;
    std::vector<double> b, r, bTrial, rTrial, jac, a, qtf, diag, diagFree, rdiag, acnorm;
    std::vector<double> wa1, wa2, wa3, sample, grad, step, bJ;
    std::vector<int> ipvt, freeIdx;
    MatVectorCol bArg, vecArg;  // arguments of native calls
    int stop = 0;               // status set by a failed call
    bool jacobianAtB = false;   // jac was computed at b
    bool central = false;       // central differences
    double jacError = 0.0;      // relative error level of jac

    Work(int mm, int pp)
        : m(mm), p(pp), b(pp), r(mm), bTrial(pp), rTrial(mm), jac(static_cast<size_t>(mm) * pp),
          a(static_cast<size_t>(mm) * pp), qtf(mm), diag(pp), diagFree(pp), rdiag(pp), acnorm(pp),
          wa1(pp), wa2(pp), wa3(std::max(mm, pp)), sample(mm), grad(pp), step(pp),
          bJ(pp), ipvt(pp),
          freeIdx(pp), bArg(pp), vecArg(mm) {}
    bool Ready() const { return bArg.Len() == p && vecArg.Len() == m; }
};

// ------------------------------------------------------------ construction

LeastSquaresFit::LeastSquaresFit(Variable& residualFn, int mm, int pp, double* boundaries, double* st)
    : m(0), p(0), dataForm(false), usable(false), function(residualFn),
      xData(0), yData(0), sigma(0), lo(0), hi(0), start(0), result(0), residuals(0), standardErrors(0),
      jacobian(0), covariance(0) {
    Init(mm, pp, boundaries, st);
}

LeastSquaresFit::LeastSquaresFit(Variable& model, int n, double* x, double* y, double* sg, int pp,
                                 double* boundaries, double* st)
    : m(0), p(0), dataForm(true), usable(false), function(model),
      xData(0), yData(0), sigma(0), lo(0), hi(0), start(0), result(0), residuals(0), standardErrors(0),
      jacobian(0), covariance(0) {
    bool good = x != nullptr && y != nullptr && n > 0;
    for (int i = 0; good && i < n; ++i)
        good = std::isfinite(x[i]) && std::isfinite(y[i]) &&
               (sg == nullptr || (std::isfinite(sg[i]) && sg[i] > 0));
    if (!good) {
        VeskError(3, "LeastSquaresFit: data missing, not finite, or a sigma <= 0");
        n = 0;
    }
    Init(n, pp, boundaries, st);
    if (!usable) return;
    xData.Set(x, n);
    yData.Set(y, n);
    sigma = MatVector(n);
    for (int i = 0; i < n && sigma.Len() == n; ++i) sigma[i] = sg != nullptr ? sg[i] : 1.0;
    if (xData.Len() != n || yData.Len() != n || sigma.Len() != n) {
        VeskError(1, "LeastSquaresFit: storage not obtained");
        usable = false;
    }
}

void LeastSquaresFit::Init(int mm, int pp, double* boundaries, double* st) {
    symmetric = 0;
    maxEvaluations = 0;
    ftol = 1e-12;
    xtol = 1e-12;
    gtol = 0.0;
    eta = kEpsmch;
    sigmaKnown = 0;
    rss = kNaN;
    evaluations = iterations = rank = 0;
    status = kNotRun;
    haveJacobian = false;
    if (!CheckInput(mm, pp, boundaries, st)) return;
    lo = MatVector(pp);
    hi = MatVector(pp);
    start = MatVectorCol(st, pp);
    result = MatVectorCol(st, pp);
    residuals = MatVectorCol(mm);
    standardErrors = MatVectorCol(pp);
    jacobian = Matrix(mm, pp);
    covariance = Matrix(pp);
    bool ok = lo.Len() == pp && hi.Len() == pp && start.Len() == pp && result.Len() == pp &&
              residuals.Len() == mm && standardErrors.Len() == pp && jacobian.Y() == mm &&
              covariance.Y() == pp;
    if (!ok) {
        VeskError(1, "LeastSquaresFit: storage not obtained");
        return;
    }
    for (int j = 0; j < pp; ++j) {
        lo[j] = boundaries != nullptr ? boundaries[2 * j] : -kInf;
        hi[j] = boundaries != nullptr ? boundaries[2 * j + 1] : kInf;
        standardErrors[j] = kNaN;
    }
    m = mm;
    p = pp;
    usable = true;
}

bool LeastSquaresFit::CheckInput(int mm, int pp, const double* boundaries, const double* st) {
    // The Jacobian's m·p entries are indexed by int.
    bool good = pp >= 1 && mm >= pp && st != nullptr && static_cast<long long>(mm) * pp <= INT_MAX;
    for (int j = 0; good && j < pp; ++j) {
        good = std::isfinite(st[j]);
        if (boundaries != nullptr) {
            const double l = boundaries[2 * j], h = boundaries[2 * j + 1];
            good = good && !std::isnan(l) && !std::isnan(h) && l <= h && l != kInf && h != -kInf;
        }
    }
    if (!good) VeskError(3, "LeastSquaresFit: need 1 <= p <= m, a finite start and ordered bounds");
    return good;
}

LeastSquaresFit::~LeastSquaresFit() = default;

// ----------------------------------------------------------------- options

void LeastSquaresFit::SetExtraParam(Variable& extra) { extraParam = extra; }
void LeastSquaresFit::SetJacobianFunc(Variable& f) { jacobianFunc = f; }

void LeastSquaresFit::SetProgressWnd(Variable& wnd) {
    progressWnd.Clear();
    progressWnd = &wnd;
}

void LeastSquaresFit::SetSymmetricDerivative(int s) { symmetric = s; }

void LeastSquaresFit::SetMaxEvaluations(int n) {
    if (n < 1) {
        VeskError(3, "LeastSquaresFit::SetMaxEvaluations: at least 1");
        return;
    }
    maxEvaluations = n;
}

void LeastSquaresFit::SetTolerances(double f, double x, double g) {
    if (!(f >= 0 && x >= 0 && g >= 0 && std::isfinite(f) && std::isfinite(x) && std::isfinite(g))) {
        VeskError(3, "LeastSquaresFit::SetTolerances: finite values >= 0 expected");
        return;
    }
    ftol = f;
    xtol = x;
    gtol = g;
}

void LeastSquaresFit::SetRoundingLevel(double e) {
    if (!(e >= kEpsmch && e <= 0.01)) {
        VeskError(3, "LeastSquaresFit::SetRoundingLevel: a level in [2^-52, 0.01] expected");
        return;
    }
    eta = e;
}

void LeastSquaresFit::SetSigmaKnown(int known) { sigmaKnown = known; }

void LeastSquaresFit::SetStartPoint(MatVectorCol& st) {
    if (!usable || st.Len() != p || !AllFinite(st.GetData(), p)) {
        VeskError(3, "LeastSquaresFit::SetStartPoint: p finite values expected");
        return;
    }
    start = st;
}

// ----------------------------------------------------------------- readers

int LeastSquaresFit::GetDimension() { return p; }
int LeastSquaresFit::GetResidualCount() { return m; }
MatVectorCol& LeastSquaresFit::GetResult() { return result; }
MatVectorCol& LeastSquaresFit::GetResiduals() { return residuals; }
MatVectorCol& LeastSquaresFit::GetStandardErrors() { return standardErrors; }
double LeastSquaresFit::GetRSS() { return rss; }
int LeastSquaresFit::GetEvaluations() { return evaluations; }
int LeastSquaresFit::GetIterations() { return iterations; }
int LeastSquaresFit::GetStatus() { return status; }
int LeastSquaresFit::GetRank() { return rank; }

namespace {

// A new copy of m (caller releases); null after error 1.
Matrix* NewCopy(const Matrix& m) {
    Matrix* out = new (std::nothrow) Matrix(m);
    if (out == nullptr || out->Y() != m.Y()) {
        delete out;
        VeskError(1, "LeastSquaresFit: storage not obtained");
        return nullptr;
    }
    return out;
}

}  // namespace

Matrix* LeastSquaresFit::GetJacobian() { return haveJacobian ? NewCopy(jacobian) : nullptr; }
Matrix* LeastSquaresFit::GetCovariance() { return haveJacobian ? NewCopy(covariance) : nullptr; }

// --------------------------------------------------------- calls into host

bool LeastSquaresFit::HostFailed(Work& w) {
    Processor* proc = GetOwner();
    if (w.stop != 0) return true;
    if (proc == nullptr || (proc->GetErrorStatus() == 0 && proc->GetBreakStatus() == 0)) return false;
    const char* name = proc->GetErrorName(proc->GetLastError());
    w.stop = name != nullptr && std::strcmp(name, kCancelName) == 0 ? kCancelled : kFunctionError;
    return true;
}

bool LeastSquaresFit::Evaluate(Work& w, const double* b, double* r) {
    if (HostFailed(w)) return false;
    ++evaluations;
    return Call(w, function, b, -1, r);
}

bool LeastSquaresFit::Call(Work& w, Variable& f, const double* b, int j, double* out) {
    // A native function receives b by reference and may have resized it.
    if (w.bArg.Len() != p) {
        VeskError(3, "LeastSquaresFit: a function resized its parameter vector");
        return !HostFailed(w);
    }
    std::copy(b, b + p, w.bArg.GetData());
    bool native;
    void* fn = NativeOf(f, native);
    if (native && fn == nullptr) return !HostFailed(w);
    const double jj = j;
    if (dataForm) {
        // The model (j < 0) or its derivative by b_j at each x_i.
        for (int i = 0; i < m; ++i) {
            double v;
            if (native) {
                v = j < 0 ? reinterpret_cast<ModelFn>(fn)(xData[i], w.bArg, extraParam)
                          : reinterpret_cast<ModelDerivFn>(fn)(xData[i], w.bArg, j, extraParam);
            } else {
                VarRegister res;
                const double nums[2] = {xData[i], jj};
                RunScriptCall(f, w.bArg, nums, j < 0 ? 1 : 2, extraParam, res);
                if (HostFailed(w)) return false;
                v = static_cast<double>(res);
            }
            out[i] = j < 0 ? (yData[i] - v) / sigma[i] : -v / sigma[i];
        }
        return !HostFailed(w);
    }
    // The residual vector (j < 0) or column j of the Jacobian.
    const double* values;
    MatVector answer(0);
    if (native) {
        w.vecArg.Set(0.0);
        if (j < 0)
            reinterpret_cast<ResidualFn>(fn)(w.bArg, w.vecArg, extraParam);
        else
            reinterpret_cast<ColumnFn>(fn)(w.bArg, j, w.vecArg, extraParam);
        values = w.vecArg.Len() == m ? w.vecArg.GetData() : nullptr;
    } else {
        VarRegister res;
        RunScriptCall(f, w.bArg, &jj, j < 0 ? 0 : 1, extraParam, res);
        if (HostFailed(w)) return false;
        answer = res.GetVar();
        values = answer.Len() == m ? answer.GetData() : nullptr;
    }
    if (values == nullptr) {
        VeskError(3, "LeastSquaresFit: a function answered another number of values than m");
        return !HostFailed(w);
    }
    std::copy(values, values + m, out);
    return !HostFailed(w);
}

bool LeastSquaresFit::JacobianAt(Work& w, const double* b, const double* r, double* jac) {
    const bool user = jacobianFunc.GetType() != VT_EMPTY;
    w.jacError = user ? kUserRankTolerance
                      : kRankFactor * (w.central ? std::cbrt(eta * eta) : std::sqrt(eta));
    for (int j = 0; j < p; ++j) {
        double* col = jac + static_cast<size_t>(j) * m;
        if (lo[j] == hi[j]) {  // a fixed parameter
            std::fill(col, col + m, 0.0);
            continue;
        }
        if (user) {
            if (!Call(w, jacobianFunc, b, j, col)) return false;
            continue;
        }
        std::copy(b, b + p, w.bTrial.begin());
        const double mag = b[j] != 0 ? std::fabs(b[j]) : 1.0;
        const double hc = std::cbrt(eta) * mag;
        if (w.central && b[j] - hc >= lo[j] && b[j] + hc <= hi[j]) {
            // Central: (r(b + h) - r(b - h)) / (2h) with the representable h.
            w.bTrial[j] = b[j] + hc;
            const double up = w.bTrial[j];
            if (!Evaluate(w, w.bTrial.data(), col)) return false;
            w.bTrial[j] = b[j] - hc;
            const double down = w.bTrial[j];
            if (!Evaluate(w, w.bTrial.data(), w.sample.data())) return false;
            for (int i = 0; i < m; ++i) col[i] = (col[i] - w.sample[i]) / (up - down);
            continue;
        }
        // Forward, or backward when the forward sample would leave the box.
        double h = std::sqrt(eta) * mag;
        if (b[j] + h > hi[j]) h = b[j] - h >= lo[j] || b[j] - lo[j] > hi[j] - b[j] ? -h : hi[j] - b[j];
        if (b[j] + h < lo[j]) h = lo[j] - b[j];
        w.bTrial[j] = b[j] + h;
        h = w.bTrial[j] - b[j];
        if (!Evaluate(w, w.bTrial.data(), col)) return false;
        for (int i = 0; i < m; ++i) col[i] = (col[i] - r[i]) / h;
    }
    // A column holding non-finite values gives no information: zero.
    for (int j = 0; j < p; ++j) {
        double* col = jac + static_cast<size_t>(j) * m;
        if (!AllFinite(col, m)) std::fill(col, col + m, 0.0);
    }
    return true;
}

// ---------------------------------------------------------- progress window

void LeastSquaresFit::ProgressCall(const char* method, int percent, double value, bool caption) {
    Processor* proc = GetOwner();
    if (proc == nullptr || progressWnd.GetType() == VT_EMPTY) return;
    VarRegister res, arg;
    if (std::strcmp(method, "CheckCancel") == 0) {
        proc->RunMethodAsIs(res, method, nullptr, 0, &progressWnd);
        return;
    }
    if (caption) {
        char text[64];
        std::snprintf(text, sizeof text, "Residue = %.10g", value);
        arg = text;
    } else {
        arg = percent;
    }
    proc->RunMethod(res, method, &arg, 1, &progressWnd);
}

// ------------------------------------------------------------------- solve

int LeastSquaresFit::Solve() {
    if (!usable) {
        VeskError(3, "LeastSquaresFit::Solve: the problem was refused at construction");
        status = kBadInput;
        return status;
    }
    status = kNotRun;
    evaluations = iterations = rank = 0;
    haveJacobian = false;
    if (GetOwner() == nullptr) return status;
    try {
        Work w(m, p);
        if (!w.Ready()) throw std::bad_alloc();
        w.central = symmetric != 0;
        status = Run(w);
    } catch (const std::bad_alloc&) {
        VeskError(1, "LeastSquaresFit::Solve: working storage not obtained");
        status = kNoStorage;
    } catch (...) {
        VeskError(3, "LeastSquaresFit::Solve: a function raised an exception");
        status = kFunctionError;
    }
    return status;
}

int LeastSquaresFit::Run(Work& w) {
    using namespace lsq_internal;
    std::vector<double>& b = w.b;
    for (int j = 0; j < p; ++j) b[j] = std::min(std::max(start[j], lo[j]), hi[j]);

    const int maxfev = maxEvaluations > 0 ? maxEvaluations : 1000 * (p + 1);
    ProgressCall("SetProgress", 0, 0, false);
    ProgressCall("CheckCancel", 0, 0, false);
    if (HostFailed(w) || !Evaluate(w, b.data(), w.r.data())) {
        Finish(w, w.stop);
        return status;
    }
    double fnorm = Norm(m, w.r.data());
    if (!std::isfinite(fnorm)) {
        Finish(w, kNotFinite);
        return status;
    }
    double delta = 0, xnorm = 0, par = 0, gnorm = 0;
    const double sqrtEta = std::sqrt(eta);
    for (int iter = 1;; ++iter) {
        if (!JacobianAt(w, b.data(), w.r.data(), w.jac.data())) break;
        w.jacobianAtB = true;
        std::copy(b.begin(), b.end(), w.bJ.begin());
        ++iterations;
        const int percent = std::min(99, static_cast<int>(100.0 * evaluations / maxfev));
        ProgressCall("SetProgress", percent, 0, false);
        ProgressCall("SetCaption", 0, fnorm * fnorm, true);
        ProgressCall("CheckCancel", 0, 0, false);
        if (HostFailed(w)) break;

        // Gradient J'r; parameters at a face whose gradient points outward
        // stay there for this iteration.
        int nf = 0;
        for (int j = 0; j < p; ++j) {
            const double* col = &w.jac[static_cast<size_t>(j) * m];
            double g = 0.0;
            for (int i = 0; i < m; ++i) g += col[i] * w.r[i];
            w.grad[j] = g;
            const bool held = lo[j] == hi[j] || (b[j] <= lo[j] && g > 0) || (b[j] >= hi[j] && g < 0);
            if (!held) w.freeIdx[nf++] = j;
        }
        for (int k = 0; k < nf; ++k) {
            const double* col = &w.jac[static_cast<size_t>(w.freeIdx[k]) * m];
            std::copy(col, col + m, w.a.begin() + static_cast<size_t>(k) * m);
        }
        QrFactor(m, nf, w.a.data(), m, w.ipvt.data(), w.rdiag.data(), w.acnorm.data(), w.wa1.data());
        std::copy(w.r.begin(), w.r.end(), w.qtf.begin());
        ApplyQt(m, nf, w.a.data(), m, w.qtf.data());
        for (int k = 0; k < nf; ++k) w.a[k + static_cast<size_t>(k) * m] = w.rdiag[k];

        // Moré's scaling: the largest column norms seen so far.
        for (int j = 0; j < p; ++j) {
            const double cn = Norm(m, &w.jac[static_cast<size_t>(j) * m]);
            w.diag[j] = iter == 1 ? (cn != 0 ? cn : 1.0) : std::max(w.diag[j], cn);
        }
        if (iter == 1) {
            for (int j = 0; j < p; ++j) w.wa3[j] = w.diag[j] * b[j];
            xnorm = Norm(p, w.wa3.data());
            delta = xnorm != 0 ? xnorm : 1.0;
        }
        // The scaled gradient: the largest cosine between r and a free column.
        gnorm = 0;
        if (fnorm != 0) {
            for (int k = 0; k < nf; ++k) {
                const int l = w.ipvt[k];
                const double cn = w.acnorm[l];
                if (cn == 0) continue;
                double sum = 0;
                for (int i = 0; i <= k; ++i) sum += w.a[i + static_cast<size_t>(k) * m] * (w.qtf[i] / fnorm);
                gnorm = std::max(gnorm, std::fabs(sum / cn));
            }
        }
        if (nf == 0 || gnorm <= gtol) {
            Finish(w, kGradient);
            return status;
        }
        for (int k = 0; k < nf; ++k) w.diagFree[k] = w.diag[w.freeIdx[k]];

        int done = 0;
        double ratio = 0;
        do {
            LevenbergParameter(nf, w.a.data(), m, w.ipvt.data(), w.diagFree.data(), w.qtf.data(), delta, par,
                               w.wa1.data(), w.wa2.data(), w.wa3.data(), w.sample.data());
            std::fill(w.step.begin(), w.step.end(), 0.0);
            for (int k = 0; k < nf; ++k) w.step[w.freeIdx[k]] = -w.wa1[k];
            bool clipped = false;
            for (int j = 0; j < p; ++j) {
                const double t = b[j] + w.step[j];
                w.bTrial[j] = std::min(std::max(t, lo[j]), hi[j]);
                if (w.bTrial[j] != t) {
                    clipped = true;  // the predicted reduction from J s
                    w.step[j] = w.bTrial[j] - b[j];
                }
                w.wa3[j] = w.diag[j] * w.step[j];
            }
            const double pnorm = Norm(p, w.wa3.data());
            if (iter == 1) delta = std::min(delta, pnorm);
            if (!Evaluate(w, w.bTrial.data(), w.rTrial.data())) {
                Finish(w, w.stop);
                return status;
            }
            double fnorm1 = Norm(m, w.rTrial.data());
            const bool finite = std::isfinite(fnorm1);
            double actred = -1;
            if (finite && 0.1 * fnorm1 < fnorm) actred = 1 - (fnorm1 / fnorm) * (fnorm1 / fnorm);
            // Predicted reduction of the linear model, and the directional
            // derivative r'J s / |r|^2.
            double prered, dirder;
            if (!clipped) {
                // From R: |J s|^2 = |R P's|^2, and r'J s = -(|J s|^2 + par |D s|^2).
                for (int k = 0; k < nf; ++k) {
                    double sum = 0;
                    for (int i = k; i < nf; ++i)
                        sum += w.a[k + static_cast<size_t>(i) * m] * w.wa1[w.ipvt[i]];
                    w.sample[k] = sum;
                }
                const double t1 = Norm(nf, w.sample.data()) / fnorm;
                const double t2 = std::sqrt(par) * pnorm / fnorm;
                prered = t1 * t1 + 2 * t2 * t2;
                dirder = -(t1 * t1 + t2 * t2);
            } else {
                // A projected step: from J s directly.
                double rt = 0, tt = 0;
                for (int i = 0; i < m; ++i) {
                    double t = 0;
                    for (int j = 0; j < p; ++j) t += w.jac[i + static_cast<size_t>(j) * m] * w.step[j];
                    rt += (w.r[i] / fnorm) * (t / fnorm);
                    tt += (t / fnorm) * (t / fnorm);
                }
                prered = -(2 * rt + tt);
                dirder = rt;
            }
            ratio = prered != 0 ? actred / prered : 0;
            if (ratio <= 0.25) {
                double temp = actred >= 0 ? 0.5 : 0.5 * dirder / (dirder + 0.5 * actred);
                if (!finite || 0.1 * fnorm1 >= fnorm || temp < 0.1 || !std::isfinite(temp)) temp = 0.1;
                delta = temp * std::min(delta, pnorm / 0.1);
                par /= temp;
            } else if (par == 0 || ratio >= 0.75) {
                delta = pnorm / 0.5;
                par *= 0.5;
            }
            if (ratio >= 1e-4) {
                if (ratio < 0.75 && par == 0) {
                    // A Gauss-Newton step that overshoots (large residuals
                    // make S curve more than J'J says): S(t) along it is
                    // taken as the parabola through S(0), S'(0) and S(1), and
                    // its minimum, when in [0.1, 0.9], is evaluated and kept
                    // if lower.
                    const double c = -actred - 2 * dirder;
                    const double t = c > 0 ? -dirder / c : 1.0;
                    if (t >= 0.1 && t <= 0.9) {
                        for (int j = 0; j < p; ++j)
                            w.wa3[j] = std::min(std::max(b[j] + t * w.step[j], lo[j]), hi[j]);
                        if (!Evaluate(w, w.wa3.data(), w.sample.data())) {
                            Finish(w, w.stop);
                            return status;
                        }
                        const double fnormT = Norm(m, w.sample.data());
                        if (fnormT < fnorm1) {
                            std::copy(w.wa3.begin(), w.wa3.begin() + p, w.bTrial.begin());
                            std::copy(w.sample.begin(), w.sample.end(), w.rTrial.begin());
                            fnorm1 = fnormT;
                        }
                    }
                }
                b.swap(w.bTrial);
                w.r.swap(w.rTrial);
                fnorm = fnorm1;
                for (int j = 0; j < p; ++j) w.wa3[j] = w.diag[j] * b[j];
                xnorm = Norm(p, w.wa3.data());
                w.jacobianAtB = false;
            }
            // The forward phase stops 100 times earlier: the central one
            // refines b to the tolerances.
            const double fscale = w.central ? 1.0 : 100.0;
            if (std::fabs(actred) <= ftol * fscale && prered <= ftol * fscale && 0.5 * ratio <= 1)
                done = kReduction;
            if (delta <= xtol * fscale * xnorm) done = done == kReduction ? kReductionAndStep : kStep;
            if (fnorm == 0) done = kReduction;
            if (done == 0 && evaluations >= maxfev) {
                Finish(w, kEvaluationLimit);
                return status;
            }
            const bool noReduction = std::fabs(actred) <= kEpsmch && prered <= kEpsmch && 0.5 * ratio <= 1;
            if (done == 0 && (noReduction || delta <= kEpsmch * xnorm))
                done = gnorm <= sqrtEta ? kRounding : kNoProgress;
            if (done != 0) {
                // Forward differences end here: the iteration goes on from b
                // with central ones until a stop rule holds again.
                if (!w.central) {
                    w.central = true;
                    // The radius has shrunk with the steps: widen it again,
                    // or the new differences could not move b.
                    delta = std::max(delta, xnorm);
                    break;
                }
                Finish(w, done);
                return status;
            }
        } while (ratio < 1e-4);
    }
    Finish(w, w.stop);
    return status;
}

void LeastSquaresFit::Finish(Work& w, int st) {
    // A converged run ends with the Jacobian at its solution.
    // A Jacobian of the last iteration within rounding-level differences of
    // b serves as the one at b (it differs by less than its own error).
    bool near = true;
    for (int j = 0; j < p; ++j)
        near = near && std::fabs(w.b[j] - w.bJ[j]) <= std::sqrt(eta) * std::fabs(w.b[j]);
    if (Converged(st) && !w.jacobianAtB && !near) {
        if (JacobianAt(w, w.b.data(), w.r.data(), w.jac.data()))
            w.jacobianAtB = true;
        else
            st = w.stop;
    }
    status = st;
    std::copy(w.b.begin(), w.b.end(), result.GetData());
    std::copy(w.r.begin(), w.r.end(), residuals.GetData());
    const double fnorm = lsq_internal::Norm(m, w.r.data());
    rss = fnorm * fnorm;
    if (iterations > 0) {
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < p; ++j) jacobian(i, j) = w.jac[i + static_cast<size_t>(j) * m];
        haveJacobian = true;
        Covariance(w);
    }
    if (st == kCancelled || st == kFunctionError) return;
    ProgressCall("SetProgress", 100, 0, false);
    ProgressCall("SetCaption", 0, rss, true);
    ProgressCall("CheckCancel", 0, 0, false);
    if (!Converged(st)) {
        if (VeskModuleErrorCode == 0) VeskPlugin_Init(GetOwner());
        VeskError(VeskModuleErrorCode);
    }
}

void LeastSquaresFit::Covariance(Work& w) {
    using namespace lsq_internal;
    // QR of J with unit columns; the inverse of R'R, unscaled and permuted back.
    std::vector<double>& a = w.a;
    for (int j = 0; j < p; ++j) {
        const double* col = &w.jac[static_cast<size_t>(j) * m];
        const double cn = Norm(m, col);
        w.diag[j] = cn;
        for (int i = 0; i < m; ++i) a[i + static_cast<size_t>(j) * m] = cn != 0 ? col[i] / cn : 0.0;
    }
    QrFactor(m, p, a.data(), m, w.ipvt.data(), w.rdiag.data(), w.acnorm.data(), w.wa1.data());
    rank = 0;
    while (rank < p && std::fabs(w.rdiag[rank]) > w.jacError * std::fabs(w.rdiag[0])) ++rank;
    // Rinv (rank x rank, upper) into the leading block of a, column-major.
    auto R = [&a, this](int i, int j) -> double& { return a[i + static_cast<size_t>(j) * m]; };
    for (int k = 0; k < rank; ++k) R(k, k) = w.rdiag[k];
    for (int k = 0; k < rank; ++k) {
        R(k, k) = 1 / R(k, k);
        for (int j = 0; j < k; ++j) {
            const double temp = R(k, k) * R(j, k);
            R(j, k) = 0;
            for (int i = 0; i <= j; ++i) R(i, k) -= temp * R(i, j);
        }
    }
    const double s2 = sigmaKnown != 0 ? 1.0 : (m > p ? rss / (m - p) : kNaN);
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j) covariance(i, j) = kNaN;
    for (int i = 0; i < rank; ++i)
        for (int j = 0; j < rank; ++j) {
            double sum = 0;  // (Rinv Rinv')_ij
            for (int k = std::max(i, j); k < rank; ++k) sum += R(i, k) * R(j, k);
            const int ii = w.ipvt[i], jj = w.ipvt[j];
            covariance(ii, jj) = s2 * sum / (w.diag[ii] * w.diag[jj]);
        }
    for (int j = 0; j < p; ++j) standardErrors[j] = std::sqrt(covariance(j, j));
}
