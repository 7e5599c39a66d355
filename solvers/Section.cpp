// Bisection for a root and golden-section search for a minimum of a host
// function value, with tracing through the processor.
#include "solvers/Section.h"

#include <cmath>

#include "host/Plugin.h"

namespace {

// The native pointer of a type-2 function value, else null.
VeskFunction1D NativePointer(const Variable& function) {
    if (function.GetType() != VT_INT64) return nullptr;
    return reinterpret_cast<VeskFunction1D>(function.GetCppPointer());
}

// f(x, extra): a native pointer is called directly, a script function runs
// through the current processor with extra passed by reference; 0.0 when
// there is no processor.
double Evaluate(Variable& function, Variable& extra, double x) {
    if (VeskFunction1D native = NativePointer(function)) return native(x, extra);
    Processor* p = GetOwner();
    if (p == nullptr) return 0.0;
    VarRegister res;
    VarRegister args[2];
    args[0] = x;
    args[1].PointTo(&extra);
    args[1].SetRef();
    p->RunFunctionAsIs(res, function, args, 2);
    return static_cast<double>(res);
}

void Trace(double x, double fx) {
    Processor* p = GetOwner();
    if (p == nullptr) return;
    Buffer text(128);
    text.Printf(128, "Argument = %g, Function = %g\r\n", x, fx);
    p->PrintText(text.GetData());
}

// A native function value without a pointer cannot be called.
bool IsNullNative(const Variable& function) {
    if (function.GetType() != VT_INT64 || function.GetCppPointer() != nullptr) return false;
    VeskError(3, "The function to solve is a null pointer");
    return true;
}

// Strict sign agreement; comparing signs rather than multiplying keeps tiny
// values (whose product underflows to 0) and huge ones apart.
bool SameSign(double u, double v) { return (u > 0 && v > 0) || (u < 0 && v < 0); }

// A sign change between two values: opposite signs, neither NaN.
bool SignChange(double u, double v) { return (u > 0 && v < 0) || (u < 0 && v > 0); }

// (a + b)/2, formed from the halves when the sum overflows.
double Midpoint(double a, double b) {
    const double m = (b + a) / 2;
    return std::isinf(m) && std::isfinite(a) && std::isfinite(b) ? b / 2 + a / 2 : m;
}

// The end with the smaller |f| when both have the same sign: b when both are
// positive and f(b) <= f(a), or both negative and f(a) < f(b); a otherwise.
// An end where f is NaN is never preferred to one where it is not (b when
// both are NaN).
double BetterEnd(double a, double fa, double b, double fb) {
    if (std::isnan(fa) || std::isnan(fb)) return std::isnan(fb) && !std::isnan(fa) ? a : b;
    const bool takeB = (fa > 0 && fb <= fa) || (fa < 0 && fa < fb);
    return takeB ? b : a;
}

}  // namespace

// ----------------------------------------------------------------- bisection

BiSection_Double::BiSection_Double(Variable& func, double* bnd, double eps)
    : tolerance(eps),
      maxIterations(1000),
      errorStatus(1),
      silent(1),
      function(func),
      boundaries{bnd[0], bnd[1]},
      result((bnd[0] + bnd[1]) / 2) {}

BiSection_Double::~BiSection_Double() = default;

double BiSection_Double::Func(double x) { return Evaluate(function, extraParam, x); }

void BiSection_Double::TraceResult(double x, double fx) { Trace(x, fx); }

double BiSection_Double::Solve() {
    if (IsNullNative(function)) {
        errorStatus = 1;
        return result;
    }
    // The function value is resolved once, not at every evaluation.
    VeskFunction1D native = NativePointer(function);
    auto f = [this, native](double x) {
        double v = native ? native(x, extraParam) : Func(x);
        if (silent == 0) TraceResult(x, v);
        return v;
    };
    errorStatus = 0;
    double a = boundaries[0];
    double b = boundaries[1];
    if (!std::isfinite(a) || !std::isfinite(b) || std::isnan(tolerance)) {
        errorStatus = 3;
        return result = Midpoint(a, b);
    }
    // Widths are measured in halves when the full width overflows; the ratio
    // to the starting width is the same.
    const double unit = std::isfinite(b - a) ? 1.0 : 0.5;
    auto widthOf = [unit](double lo, double hi) { return std::fabs(hi * unit - lo * unit); };
    double W = widthOf(a, b);
    double fb = f(b);
    if (fb == 0) return result = b;
    // A single point that is not a root: no sign change to find.
    if (W == 0) {
        errorStatus = 1;
        return result = b;
    }
    double fa = f(a);
    if (fa == 0) return result = a;
    if (!SignChange(fa, fb)) {
        errorStatus = 1;
        return result = BetterEnd(a, fa, b, fb);
    }
    double m = Midpoint(a, b);
    double fm = f(m);
    if (fm == 0) return result = m;
    double width = W;
    int steps = 0;
    while (widthOf(a, b) / W > tolerance) {
        // No sign to follow: the bracket ends here.
        if (std::isnan(fm)) {
            errorStatus = 1;
            return result = BetterEnd(a, fa, b, fb);
        }
        if (steps >= maxIterations) {
            errorStatus = 2;
            break;
        }
        ++steps;
        if (SameSign(fm, fb)) {
            b = m;
            fb = fm;
        } else {
            a = m;
            fa = fm;
        }
        // Adjacent doubles: the midpoint fell on an end and nothing changed.
        double w = widthOf(a, b);
        if (!(w < width)) break;
        width = w;
        m = Midpoint(a, b);
        fm = f(m);
        if (fm == 0) return result = m;
    }
    return result = Midpoint(a, b);
}

// ------------------------------------------------------------- golden section

GoldSection_Double::GoldSection_Double(Variable& func, double* bnd, double eps)
    : tolerance(eps),
      maxIterations(1000),
      silent(1),
      function(func),
      boundaries{bnd[0], bnd[1]},
      result((bnd[0] + bnd[1]) / 2) {}

GoldSection_Double::~GoldSection_Double() = default;

double GoldSection_Double::Func(double x) { return Evaluate(function, extraParam, x); }

void GoldSection_Double::TraceResult(double x, double fx) { Trace(x, fx); }

double GoldSection_Double::Solve() {
    if (IsNullNative(function)) return result;
    // The function value is resolved once, not at every evaluation.
    VeskFunction1D native = NativePointer(function);
    auto f = [this, native](double x) {
        double v = native ? native(x, extraParam) : Func(x);
        if (silent == 0) TraceResult(x, v);
        return v;
    };
    double a = boundaries[0];
    double b = boundaries[1];
    double W = b - a;
    double fb = f(b);
    double fa = f(a);
    const double r = (3 - std::sqrt(5.0)) / 2;
    double c = a + (b - a) * r;
    double fc = f(c);
    double width = std::fabs(W);
    int steps = 0;
    while (std::fabs(b - a) / std::fabs(W) > tolerance && steps < maxIterations) {
        ++steps;
        // The new point goes into the longer of [a, c] and [c, b].
        bool left = std::fabs(b - c) <= std::fabs(a - c);
        double x = left ? a + (c - a) * r : c + (b - c) * r;
        double fx = f(x);
        if (fx <= fc) {
            if (left) {
                b = c;
                fb = fc;
            } else {
                a = c;
                fa = fc;
            }
            c = x;
            fc = fx;
        } else if (left) {
            a = x;
            fa = fx;
        } else {
            b = x;
            fb = fx;
        }
        // Doubles exhausted: a new point fell on an end and nothing shrank.
        double w = std::fabs(b - a);
        if (!(w < width)) break;
        width = w;
    }
    if (fc <= fa)
        result = fc <= fb ? c : b;
    else
        result = a;
    return result;
}
