// Climb: problem set-up, options, coordinate conversion, calls of the
// objective and derivative functions, tracing and the progress window.
#include "solvers/Climb.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "host/Plugin.h"
#include "solvers/ClimbInternal.h"
#include "solvers/ScriptCall.h"

namespace {

typedef double (*ObjectiveFn)(MatVector& x, Variable& extra);
typedef double (*DerivativeFn)(MatVectorCol& x, int i, Variable& extra);
typedef double (*Derivative2Fn)(MatVectorCol& x, int i, int j, Variable& extra);

constexpr double kDefaultStep = 5e-8;

// The dimension a constructor can work with: a negative one, or one whose
// arrays are missing, is refused (error 3) and gives an empty problem.
int UsableDim(int dim, const double* boundaries, const double* start) {
    if (dim < 0 || (dim > 0 && (boundaries == nullptr || start == nullptr))) {
        VeskError(3, "Climb: bad dimension or missing boundaries or start point");
        return 0;
    }
    return dim;
}

// A direction set of n vectors copied from src (or zero vectors of length n
// when src is null); null when the storage cannot be obtained.
MatVectorCol* NewDirections(int n, const MatVectorCol* src) {
    MatVector::SetDefaultSize(n);
    MatVectorCol* dirs = new (std::nothrow) MatVectorCol[static_cast<size_t>(n > 0 ? n : 0)];
    if (dirs != nullptr && src != nullptr)
        for (int i = 0; i < n; ++i) dirs[i] = src[i];
    return dirs;
}

// A script objective's answer: 0.0 without a processor.
double RunScript(Variable& f, MatVector& x, const int* index, int nIndex, Variable& extra) {
    if (GetOwner() == nullptr) return 0.0;
    VarRegister result;
    solver_calls::RunScriptCall(f, x, index, nIndex, extra, result);
    return static_cast<double>(result);
}

void* NativeOf(Variable& f, bool& isNative) {
    return solver_calls::NativeOf(f, isNative, "Climb: the function is a null pointer");
}

}  // namespace

// ------------------------------------------------------------ construction

Climb::Climb(Variable& func, int dimension, double* bnd, double* start, double tolerance)
    : eps(tolerance),
      maxIterations(3000),
      dim(UsableDim(dimension, bnd, start)),
      symmetricDerivative(0),
      silent(1),
      function(func),
      boundaries(bnd, 2 * dim),
      startPoint(start, dim),
      normStart(dim),
      current(dim),
      result(dim),
      scale(dim),
      minStepSet(0),
      minStep(dim),
      maxStepSet(0),
      maxStep(dim),
      directions(NewDirections(dim, nullptr)),
      errorIfMaxIter(1),
      limitDirectionStep(0),
      invHessian(dim),
      covCache(dim),
      hessCache(dim),
      cachePoint(dim),
      maxRelativeStepNorm(0.1),
      doubleCovariation(1) {
    if (!CheckStorage()) return;
    if (std::isnan(eps)) VeskError(3, "Climb: the tolerance is NaN");
    bool finite = true;
    for (int i = 0; i < dim; ++i) {
        const double lo = boundaries[2 * i], hi = boundaries[2 * i + 1];
        finite = finite && std::isfinite(lo) && std::isfinite(hi) && std::isfinite(startPoint[i]);
        if (lo != hi) {
            scale[i] = 1 / (hi - lo);
            normStart[i] = (startPoint[i] - lo) * scale[i];
        }
        // A NaN start coordinate goes to the lower face, like one below it.
        if (!(normStart[i] >= 0)) normStart[i] = 0;
        if (normStart[i] > 1) normStart[i] = 1;
    }
    if (!finite) VeskError(3, "Climb: boundaries and start point must be finite");
    else if (!std::isnan(eps) && !Solvable()) VeskError(3, "Climb: the width of a coordinate's bounds overflows");
}

bool Climb::Solvable() const {
    if (std::isnan(eps)) return false;
    for (int i = 0; i < dim; ++i) {
        const double lo = boundaries[2 * i], hi = boundaries[2 * i + 1];
        // Equal bounds make an inactive coordinate; other bounds need a
        // finite, non-zero scale, which bounds such as +-1e308 (whose
        // width overflows) or infinite ones do not have.
        if (lo != hi && !(std::isfinite(lo) && std::isfinite(hi) && std::isfinite(scale[i]) && scale[i] != 0))
            return false;
    }
    return true;
}

bool Climb::CheckSolvable() {
    if (Solvable()) return true;
    VeskError(3, "Climb: no solve with a NaN tolerance or bounds without a finite width");
    return false;
}

Climb::Climb(const Climb& c)
    : VeskAss(c),
      eps(c.eps),
      maxIterations(c.maxIterations),
      dim(c.dim),
      symmetricDerivative(c.symmetricDerivative),
      extraParam(c.extraParam),
      silent(c.silent),
      function(c.function),
      derivFunc(c.derivFunc),
      deriv2Func(c.deriv2Func),
      gradFunc(c.gradFunc),
      boundaries(c.boundaries),
      startPoint(c.startPoint),
      normStart(c.normStart),
      current(c.current),
      result(c.result),
      scale(c.scale),
      minStepSet(c.minStepSet),
      minStep(c.minStep),
      maxStepSet(c.maxStepSet),
      maxStep(c.maxStep),
      directions(c.directions != nullptr ? NewDirections(c.dim, c.directions) : nullptr),
      errorIfMaxIter(c.errorIfMaxIter),
      limitDirectionStep(c.limitDirectionStep),
      invHessian(c.invHessian),
      covCache(c.covCache),
      hessCache(c.hessCache),
      cachePoint(c.cachePoint),
      maxRelativeStepNorm(c.maxRelativeStepNorm),
      doubleCovariation(c.doubleCovariation) {
    // The copy refers to the same window object, not to a copy of it.
    if (c.progressWnd.RawType() == VT_REF)
        progressWnd = &const_cast<Variable&>(c.progressWnd).Deref();
    if (c.directions != nullptr && directions == nullptr) VeskError(1);
}

Climb& Climb::operator=(const Climb& c) {
    if (this == &c) return *this;
    MatVectorCol* dirs = nullptr;
    if (c.directions != nullptr) {
        dirs = NewDirections(c.dim, c.directions);
        if (dirs == nullptr) VeskError(1);
    }
    delete[] directions;
    directions = dirs;
    eps = c.eps;
    maxIterations = c.maxIterations;
    dim = c.dim;
    symmetricDerivative = c.symmetricDerivative;
    extraParam = c.extraParam;
    silent = c.silent;
    // Drop this object's reference first: assigning through it would
    // overwrite the caller's window.
    progressWnd.Clear();
    if (c.progressWnd.RawType() == VT_REF)
        progressWnd = &const_cast<Variable&>(c.progressWnd).Deref();
    function = c.function;
    derivFunc = c.derivFunc;
    deriv2Func = c.deriv2Func;
    gradFunc = c.gradFunc;
    boundaries = c.boundaries;
    startPoint = c.startPoint;
    normStart = c.normStart;
    current = c.current;
    result = c.result;
    scale = c.scale;
    minStepSet = c.minStepSet;
    minStep = c.minStep;
    maxStepSet = c.maxStepSet;
    maxStep = c.maxStep;
    errorIfMaxIter = c.errorIfMaxIter;
    limitDirectionStep = c.limitDirectionStep;
    invHessian = c.invHessian;
    covCache = c.covCache;
    hessCache = c.hessCache;
    cachePoint = c.cachePoint;
    maxRelativeStepNorm = c.maxRelativeStepNorm;
    doubleCovariation = c.doubleCovariation;
    return *this;
}

Climb::~Climb() { delete[] directions; }

// ----------------------------------------------------------------- options

void Climb::SetSymmetricDerivative(int s) { symmetricDerivative = s; }
void Climb::SetLimitDirectionStep(int l) { limitDirectionStep = l; }
void Climb::SetMaxItterationNumber(int n) { maxIterations = n; }
void Climb::SetSilent(int s) { silent = s; }
void Climb::SetErrorIfMaxItterNumberExceed(int e) { errorIfMaxIter = e; }
void Climb::SetMaxRealtiveStepNorm(double n) { maxRelativeStepNorm = n; }
void Climb::SetExtraParam(Variable& extra) { extraParam = extra; }
void Climb::SetGradFunc(Variable& f) { gradFunc = f; }
void Climb::SetDerivFunc(Variable& f) { derivFunc = f; }
void Climb::SetDeriv2Func(Variable& f) { deriv2Func = f; }

void Climb::SetProgressWnd(Variable& wnd) {
    progressWnd.Clear();
    progressWnd = &wnd;
}

namespace {

// Step vectors and start points must hold one value per coordinate.
bool HasDimValues(const MatVector& v, int dim, const char* what) {
    if (v.Len() == dim) return true;
    VeskError(3, what);
    return false;
}

}  // namespace

void Climb::SetMinStep(MatVectorCol& steps) {
    if (!HasDimValues(steps, dim, "Climb::SetMinStep: one step per coordinate expected")) return;
    minStep = steps;
    for (int i = 0; i < dim; ++i) minStep[i] *= scale[i];
    minStepSet = 1;
}

void Climb::SetMaxStep(MatVectorCol& steps) {
    if (!HasDimValues(steps, dim, "Climb::SetMaxStep: one step per coordinate expected")) return;
    maxStep = steps;
    for (int i = 0; i < dim; ++i) maxStep[i] *= scale[i];
    maxStepSet = 1;
}

void Climb::SetStartPoint(MatVectorCol& start) {
    if (!HasDimValues(start, dim, "Climb::SetStartPoint: one value per coordinate expected")) return;
    for (int i = 0; i < dim; ++i)
        if (std::isnan(start[i])) {
            VeskError(3, "Climb::SetStartPoint: the start point holds NaN");
            return;
        }
    startPoint = start;
    normStart.SetSize(dim);
    for (int i = 0; i < dim; ++i) normStart[i] = (startPoint[i] - boundaries[2 * i]) * scale[i];
}

int Climb::GetDimension() { return dim; }
int Climb::GetSymmetricDerivative() { return symmetricDerivative; }
Variable& Climb::GetExtraParam() { return extraParam; }

// ------------------------------------------------------------ coordinates

MatVectorCol& Climb::GetResult() { return ScaleResult(current); }

MatVectorCol& Climb::ScaleResult(MatVectorCol& u) {
    // Without its storage (construction could not obtain it) the object has
    // no real point to answer.
    if (result.Len() != dim || scale.Len() != dim || boundaries.Len() != 2 * dim) {
        VeskError(1);
        return result;
    }
    // A shorter vector would be read beyond its end.
    if (u.Len() != dim) {
        VeskError(3, "Climb::ScaleResult: one value per coordinate expected");
        return result;
    }
    climb_internal::ToReal(u.GetData(), result.GetData(), boundaries.GetData(), scale.GetData(), dim);
    return result;
}

// --------------------------------------------------------- calls into host

double Climb::Func(MatVector& x) {
    bool native;
    if (void* p = NativeOf(function, native)) return reinterpret_cast<ObjectiveFn>(p)(x, extraParam);
    return native ? 0.0 : RunScript(function, x, nullptr, 0, extraParam);
}

double Climb::FuncAt(MatVectorCol& u) { return Func(ScaleResult(u)); }

double Climb::CalculateDerivative(Variable& f, MatVectorCol& x, int i) {
    bool native;
    if (void* p = NativeOf(f, native)) return reinterpret_cast<DerivativeFn>(p)(x, i, extraParam);
    return native ? 0.0 : RunScript(f, x, &i, 1, extraParam);
}

double Climb::CalculateDerivative2(Variable& f, MatVectorCol& x, int i, int j) {
    bool native;
    if (void* p = NativeOf(f, native))
        return reinterpret_cast<Derivative2Fn>(p)(x, i, j, extraParam);
    const int index[2] = {i, j};
    return native ? 0.0 : RunScript(f, x, index, 2, extraParam);
}

void Climb::CalculateGradient(MatVector& g, Variable& f, MatVectorCol& x) {
    for (int i = 0; i < dim; ++i) g[i] = scale[i] != 0 ? CalculateDerivative(f, x, i) : 0.0;
}

double Climb::DifferenceStep(int i) const {
    if (minStepSet && minStep[i] != 0) return std::fabs(minStep[i]);
    return kDefaultStep;
}

// ------------------------------------------------------ tracing, progress

void Climb::TraceResult(double residue) {
    Processor* p = GetOwner();
    if (p == nullptr) return;
    Buffer text(128);
    for (int i = 0; i < dim; ++i) text.Printf(128, "%g ", current[i]);
    text.Printf(128, "\r\nResidue = %g\r\n", residue);
    p->PrintText(text.GetData());
}

void Climb::Trace(double residue) {
    if (silent == 0) TraceResult(residue);
}

bool Climb::HasProgressWnd() const { return progressWnd.GetType() != VT_EMPTY; }

void Climb::ProgressSetProgress(int percent) {
    Processor* p = HasProgressWnd() ? GetOwner() : nullptr;
    if (p == nullptr) return;
    VarRegister res, arg;
    arg = percent;
    p->RunMethod(res, "SetProgress", &arg, 1, &progressWnd);
}

void Climb::ProgressSetCaption(double residue) {
    Processor* p = HasProgressWnd() ? GetOwner() : nullptr;
    if (p == nullptr) return;
    char text[64];
    std::snprintf(text, sizeof text, "Residue = %.10g", residue);
    VarRegister res, arg;
    arg = text;
    p->RunMethod(res, "SetCaption", &arg, 1, &progressWnd);
}

void Climb::ProgressCheckCancel() {
    Processor* p = HasProgressWnd() ? GetOwner() : nullptr;
    if (p == nullptr) return;
    VarRegister res;
    p->RunMethodAsIs(res, "CheckCancel", nullptr, 0, &progressWnd);
}

int Climb::ProgressStart(int percent) {
    if (!HasProgressWnd()) return 0;
    ProgressSetProgress(percent);
    ProgressCheckCancel();
    return HostErrorStatus();
}

int Climb::ProgressReport(int percent, double residue) {
    if (!HasProgressWnd()) return 0;
    ProgressSetProgress(percent);
    ProgressSetCaption(residue);
    ProgressCheckCancel();
    return HostErrorStatus();
}

int Climb::HostErrorStatus() {
    Processor* p = GetOwner();
    return p != nullptr ? p->GetErrorStatus() : 0;
}

int Climb::HostBreakStatus() {
    Processor* p = GetOwner();
    return p != nullptr ? p->GetBreakStatus() : 0;
}

// ----------------------------------------------------------------- caches

void Climb::ClearCaches() {
    hessCache.Set(0.0);
    covCache.Set(0.0);
}

void Climb::SeedCovariationCache(const Matrix& h, const MatVectorCol& u) {
    covCache = h;
    cachePoint = u;
    hessCache.Set(0.0);
}

int Climb::CheckStorage() {
    bool ok = boundaries.Len() == 2 * dim && (directions != nullptr || dim == 0);
    const MatVector* v[] = {&startPoint, &normStart, &current, &result, &scale, &minStep, &maxStep,
                            &cachePoint};
    for (const MatVector* e : v) ok = ok && e->Len() == dim;
    for (int i = 0; ok && i < dim; ++i) ok = directions[i].Len() == dim;
    const Matrix* m[] = {&invHessian, &covCache, &hessCache};
    for (const Matrix* e : m) ok = ok && e->X() == dim && e->Y() == dim;
    if (!ok) VeskError(1, "Climb: working storage not obtained");
    return ok ? 1 : 0;
}
