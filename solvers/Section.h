// One-dimensional solvers over a host function value f: a script function,
// run through the current processor as f(x, extra) with the extra parameter
// passed by reference, or (type code 2) a native function pointer of type
// VeskFunction1D, called directly. Without a processor a script function
// evaluates to 0.0.
//
// BiSection_Double finds a zero of f between the two boundaries by
// bisection; GoldSection_Double finds a minimum of f between them by
// golden-section search. Both stop when |b - a| / |W| (W the starting width)
// is not above the tolerance, and also when the interval no longer shrinks
// (the tolerance is below the spacing of doubles) or after the stored
// iteration limit of loop steps (default 1000); they then answer the point
// they would answer at convergence. Boundaries may be given in either order.
//
// When not silent (SetSilent(0)) every evaluation is written to the host's
// output as "Argument = %g, Function = %g\r\n".
//
// Errors: a type-2 function value holding a null pointer raises error 3;
// Solve then evaluates nothing and answers the stored result. Script errors
// are left in the host's error status for the caller.
#pragma once

#include "host/Export.h"

#include "host/VeskHost.h"

typedef double (*VeskFunction1D)(double x, Variable& extra);

// Zero of f in [a, b] by bisection. Midpoints are formed without overflow,
// so any two finite boundaries work. GetErrorStatus():
//   0  solved: a root, or a sign change narrowed to the tolerance;
//   1  no sign change found: f has the same sign at both ends, or is NaN at
//      an end or at a midpoint (the end of the bracket with the smaller |f|,
//      preferring one where f is a number, is answered), the boundaries are
//      equal and f is not 0 there (that boundary is answered), or the
//      function is a null pointer;
//   2  the iteration limit ended the loop before the tolerance was met (the
//      last midpoint is answered);
//   3  a boundary is NaN or infinite, or the tolerance is NaN: nothing is
//      evaluated and (a + b)/2 is answered.
class VESK_MATH_API BiSection_Double : public VeskAss {
public:
    // boundaries points to (a, b), which are copied; the result starts at
    // (a + b)/2.
    BiSection_Double(Variable& func, double* boundaries, double eps);
    BiSection_Double(const BiSection_Double&) = default;
    BiSection_Double& operator=(const BiSection_Double&) = default;
    ~BiSection_Double() override;

    void SetExtraParam(Variable& extra) { extraParam = extra; }
    void SetSilent(int s) { silent = s; }
    void SetMaxItterationNumber(int n) { maxIterations = n; }
    // The stored (a, b); the caller may change them before Solve.
    double* GetBoundaries() { return boundaries; }
    double GetResult() const { return result; }
    int GetErrorStatus() const { return errorStatus; }
    // Runs the bisection; stores and answers the root.
    double Solve();

private:
    double Func(double x);
    void TraceResult(double x, double fx);

    double tolerance;
    int maxIterations;
    int errorStatus;
    Variable extraParam;
    int silent;
    Variable function;
    double boundaries[2];
    double result;
};

// Minimum of f in [a, b] by golden-section search. The answer is the inner
// point when its value is not above the ends', otherwise the better end.
class VESK_MATH_API GoldSection_Double : public VeskAss {
public:
    GoldSection_Double(Variable& func, double* boundaries, double eps);
    GoldSection_Double(const GoldSection_Double&) = default;
    GoldSection_Double& operator=(const GoldSection_Double&) = default;
    ~GoldSection_Double() override;

    void SetExtraParam(Variable& extra) { extraParam = extra; }
    void SetSilent(int s) { silent = s; }
    void SetMaxItterationNumber(int n) { maxIterations = n; }
    double* GetBoundaries() { return boundaries; }
    double GetResult() const { return result; }
    // Runs the search; stores and answers the minimum's abscissa.
    double Solve();

private:
    double Func(double x);
    void TraceResult(double x, double fx);

    double tolerance;
    int maxIterations;
    Variable extraParam;
    int silent;
    Variable function;
    double boundaries[2];
    double result;
};
