// Climb: minimisation of a scalar objective f(x) of dim real parameters over
// a box lo_i <= x_i <= hi_i, by line searches, coordinate descent, Powell's
// method and quasi-Newton updates, with numerical derivatives, the Hessian
// and the parameter covariance.
//
// Problem and coordinates
//   The constructor copies the boundary array (lo_0, hi_0, lo_1, hi_1, ...)
//   and the start point, and sets MatVector::DefaultSize to dim (a
//   process-wide value, never restored). Every algorithm works in normalised
//   coordinates u_i = (x_i - lo_i) * scale_i, scale_i = 1/(hi_i - lo_i), in
//   the unit box; the way back is x_i = u_i/scale_i + lo_i, clamped into the
//   box so that the objective is never evaluated outside it. A coordinate
//   with lo_i = hi_i is inactive (scale 0): its real value is always lo_i,
//   its derivatives are 0 and the searches never move it. The constructor
//   clamps the normalised start into the unit box; SetStartPoint does not
//   (a later solve then starts outside the box, but every evaluation is
//   still taken inside it). SetMinStep and SetMaxStep take real steps and
//   store them normalised, so call them after construction.
//
// The objective and the derivative functions
//   are host function values. A type-2 value holds a native pointer, called
//   directly:
//     objective                double f(MatVector& x, Variable& extra)
//     derivative function      double df(MatVectorCol& x, int i, Variable& extra)
//     second-derivative func.  double d2f(MatVectorCol& x, int i, int j, Variable& extra)
//   Anything else runs through Processor::RunFunctionAsIs with the point as a
//   new "MVector" instance, the indices as integers and the extra parameter
//   by reference; without a processor such a call yields 0.0. The point is
//   always in real coordinates. ScaleResult and GetResult answer the same
//   result buffer, which every evaluation overwrites: copy it to keep it.
//
// Tracing and the progress window
//   SetSilent(0) writes "%g " per normalised coordinate of the current point
//   and "\r\nResidue = %g\r\n" to the host's output at the moments the solve
//   operations choose. A progress window set with SetProgressWnd (kept by
//   reference) receives "SetProgress"(int), "SetCaption"("Residue = %.10g")
//   and "CheckCancel"(); it cancels a run by raising the host error named
//   "Progress window got cancel", which stays set for the caller.
//
// Derivatives, Hessian and covariance (GetHessian, GetCovariationMatrix)
//   By the user's derivative functions when set, else by finite differences
//   in normalised coordinates with the step h_i = the normalised minimum step
//   of coordinate i when one is set (its magnitude), else 5e-8. The default
//   step suits objectives of order one near the minimum; callers whose
//   objective is much larger there set a minimum step. Differences are
//   forward, or central after SetSymmetricDerivative(1); a coordinate at a
//   face of the box is first moved inward by h_i. Both matrices are answered
//   in real coordinates as new objects that the caller releases. The last
//   normalised Hessian and covariance are cached for one point; a solve
//   clears the caches, and a quasi-Newton run that ends normally after more
//   than dim iterations leaves its inverse-Hessian approximation as the
//   covariance at its end point. The covariance is twice the inverse of the
//   Hessian reduced to the coordinates that are active and have a non-zero
//   Hessian diagonal; each excluded coordinate gets 1 on its normalised
//   diagonal (so 1/scale_i^2 in real units, or 1 for an inactive one). When
//   the reduced Hessian cannot be inverted, GetCovariationMatrix raises
//   error 10 (raised by the inversion) and answers null; no covariance is
//   cached then.
//
// Line search (used by every solve)
//   Samples the objective along a line through the current point inside the
//   unit box, interpolates parabolas around the best sample and falls back to
//   bisecting or extending the bracket. It ends when the bracket around the
//   best sample and the value differences fall below the tolerance, when the
//   best point stops moving for six passes after it has improved on the
//   start value, when the bracket is narrower than the tolerance for six
//   passes, and in every case after 1000 passes, so an objective that answers
//   NaN or infinity everywhere (or a tolerance of 0) still ends the search.
//   An ordinary script error is cleared and ends the search at its best
//   sample. A cancel ends it without moving the point and answers the value
//   at the unmoved point; the error stays set. The first pass measures value
//   differences against S = max(1, mean |f| of the best sample and its two
//   neighbours), the scale every later pass uses.
//   Kept on purpose: when four samples fit a cubic with a real stationary
//   point, the pass takes no interpolated step and falls back to bisecting
//   or extending the bracket.
//
// Errors: 1 when working storage cannot be obtained (the operation then
// answers its fallback: 0.0, null, or nothing done); 10 from GetCovariation-
// Matrix as above; the code registered for "ERR_SOLUTION_NOT_FOUND" from the
// solve operations when they find no solution.
#pragma once

#include "host/Export.h"
#include "host/VeskHost.h"
#include "linalg/MatVector.h"
#include "linalg/Matrix.h"

class VESK_MATH_API Climb : public VeskAss {
public:
    // boundaries: 2*dim doubles (lo, hi per coordinate); start: dim doubles.
    Climb(Variable& func, int dim, double* boundaries, double* start, double eps);
    // Copies every field; each copy owns its own direction set.
    Climb(const Climb& c);
    Climb& operator=(const Climb& c);
    ~Climb() override;

    // Options.
    void SetSymmetricDerivative(int s);
    void SetLimitDirectionStep(int l);
    void SetMaxItterationNumber(int n);
    void SetSilent(int s);
    void SetErrorIfMaxItterNumberExceed(int e);
    // Stored only; no computation consults it.
    void SetMaxRealtiveStepNorm(double n);
    void SetExtraParam(Variable& extra);
    // Stored only; no computation consults it.
    void SetGradFunc(Variable& f);
    void SetDerivFunc(Variable& f);
    void SetDeriv2Func(Variable& f);
    // Keeps a reference to the caller's window object, not a copy.
    void SetProgressWnd(Variable& wnd);
    // Real-coordinate steps, one per coordinate (dim values).
    void SetMinStep(MatVectorCol& steps);
    void SetMaxStep(MatVectorCol& steps);
    // New start point in real coordinates; not clamped into the box.
    void SetStartPoint(MatVectorCol& start);

    // Readers.
    int GetDimension();
    int GetSymmetricDerivative();
    Variable& GetExtraParam();

    // The current point in real coordinates, in the result buffer.
    MatVectorCol& GetResult();
    // The normalised point u in real coordinates, in the result buffer.
    MatVectorCol& ScaleResult(MatVectorCol& u);

    // Hessian d2f/dx_i dx_j and parameter covariance at the real point x:
    // new dim x dim matrices owned by the caller; see the header comment.
    Matrix* GetHessian(MatVectorCol& x);
    Matrix* GetCovariationMatrix(MatVectorCol& x);

    // ======== begin: Powell's method, coordinate descent, quasi-Newton and
    // ======== the solve driver (defined in ClimbSolve.cpp and
    // ======== ClimbQuasiNewton.cpp) ========================================
    void SolvePowell();
    void SolvePowell(int n);
    void SolvePowell(MatVectorCol* dirs);
    void SolveByCoord(MatVectorCol& steps);
    void SolveDFP(int maxIter);
    void SolveBFGS(int maxIter);
    void Solve(int maxIter);
    void Solve();
    void SolveDFP();
    void SolveBFGS();

private:
    void InitStep();
    int CheckStepSize(MatVectorCol* dirs);
    double MakeItterationPowell(double f0, MatVectorCol* dirs, int& flag);
    double MakeIterationsByCoord(double f, double step, int i);
    double MakeQuasiNewtonItteration(int dfp, double f0, int maxIter);
    double MakeItterationDFP(double f0, int maxIter);
    double MakeItterationBFGS(double f0, int maxIter);
    int CheckDeltaSize(MatVectorCol& v);
    // Start of SolvePowell(), Solve, SolveDFP and SolveBFGS: clears the
    // caches; answers false without a processor, without storage or on a
    // cancel at the progress start (percent). Otherwise puts the current
    // point at the normalised start, answers its value in f and traces it.
    bool BeginSolve(int percent, double& f);
    // The outer loop of SolvePowell() and Solve(int) from the value f at the
    // current point: Powell iterations, each after a quasi-Newton (DFP) run
    // of at most dfpMaxIter iterations when withDFP is set; progress,
    // restarts, the iteration-limit error and the final progress.
    void OuterLoop(double f, bool withDFP, int dfpMaxIter);
    // Raises the solution-not-found error when failed is set or f is NaN.
    void CheckSolution(double f, bool failed);
    // Drops the components of d that point out of the box at a coordinate
    // within the tolerance of its face.
    void DropOutwardComponents(MatVectorCol& d);
    // ======== end of the block defined in ClimbSolve.cpp and
    // ======== ClimbQuasiNewton.cpp =========================================

    // Calls into the host.
    double Func(MatVector& x);
    double CalculateDerivative(Variable& f, MatVectorCol& x, int i);
    double CalculateDerivative2(Variable& f, MatVectorCol& x, int i, int j);
    void CalculateGradient(MatVector& g, Variable& f, MatVectorCol& x);
    void TraceResult(double residue);

    // Differences, Hessian and covariance in normalised coordinates.
    void _DoParallelCalculation(double* values, MatVectorCol* points, int count);
    double GetDerivative(MatVectorCol& u, int i);
    double GetDerivative2(MatVectorCol& u, int i, int j);
    void GetGradient(MatVectorCol& g, MatVectorCol& u);
    double _GetDerivative_Parallel(MatVectorCol& u, int i);
    double _GetDerivative_Parallel_Forward(MatVectorCol& u, int i);
    double _GetDerivative_Parallel_Symmetric(MatVectorCol& u, int i);
    double _GetDerivative2_Parallel(MatVectorCol& u, int i, int j);
    void _GetGradient_Parallel(MatVectorCol& g, MatVectorCol& u);
    void _GetGradient_ParallelForward(MatVectorCol& g, MatVectorCol& u);
    void _GetGradient_ParallelSymmetric(MatVectorCol& g, MatVectorCol& u);
    // Fills the Hessian cache at u by differences.
    void _GetHessian_Parallel(MatVectorCol& u);
    // Fill 3 (i = j) or 4 consecutive points and 2 steps for one second
    // derivative at the copy u.
    void _GetDerivative2_Params(MatVectorCol u, MatVectorCol* points, int i, double* steps);
    void _GetDerivative2_ParamsSymmetric(MatVectorCol u, MatVectorCol* points, int i, int j,
                                         double* steps);
    void _GetDerivative2_ParamsForward(MatVectorCol u, MatVectorCol* points, int i, int j,
                                       double* steps);
    // New matrices (caller releases), normalised; null on failure.
    Matrix* _GetHessian(MatVectorCol& u);
    Matrix* _GetCovariationMatrix(MatVectorCol& u);

    // Line search.
    double FindMiniumByDirection(double f0, MatVectorCol& dir, int useGivenStep);
    void GetOrtBoundaries(MatVector& u, MatVector& d, double& tmin, double& tmax);

    // ---- Shared helpers of the solve operations (defined in Climb.cpp) ----
    // Objective at the normalised point u: Func(ScaleResult(u)).
    double FuncAt(MatVectorCol& u);
    // Difference step h_i (normalised): |minimum step i| when set and
    // non-zero, else the default 5e-8.
    double DifferenceStep(int i) const;
    // TraceResult(residue) when the silent flag is 0.
    void Trace(double residue);
    // True when a progress window is set (its type code is non-zero).
    bool HasProgressWnd() const;
    // Window method calls; each does nothing without a window or processor.
    void ProgressSetProgress(int percent);          // "SetProgress"(percent)
    void ProgressSetCaption(double residue);        // "SetCaption"("Residue = %.10g")
    void ProgressCheckCancel();                     // "CheckCancel"() on the window value
    // SetProgress(percent), CheckCancel when a window is set; answers the
    // host error status (0 without a processor).
    int ProgressStart(int percent);
    // SetProgress(percent), SetCaption(residue), CheckCancel when a window
    // is set; answers the host error status (0 without a processor).
    int ProgressReport(int percent, double residue);
    // Host error status and break status of the current processor (0 when
    // there is none).
    int HostErrorStatus();
    int HostBreakStatus();
    // Fills the Hessian and covariance caches with 0 (invalidates both).
    void ClearCaches();
    // Makes h (dim x dim, normalised) the cached covariance at the
    // normalised point u; the Hessian cache is cleared.
    void SeedCovariationCache(const Matrix& h, const MatVectorCol& u);
    // 1 when every vector, matrix and the direction set have their sizes;
    // otherwise raises error 1 and answers 0. Operations call it first.
    int CheckStorage();

    // Line searches that took no interpolated step because four samples fit
    // a cubic with a real stationary point (a diagnostic count, module-wide).
    static long cubicSkipCount;

    friend struct ClimbTestAccess;

    double eps;                 // tolerance of every stop rule
    int maxIterations;          // outer iteration limit of the solve loops
    int dim;
    int symmetricDerivative;    // 0 forward, else central differences
    Variable extraParam;
    int silent;
    Variable progressWnd;       // reference to the caller's window object
    Variable function;          // the objective
    Variable derivFunc;
    Variable deriv2Func;
    Variable gradFunc;          // stored only
    MatVector boundaries;       // 2*dim: lo, hi per coordinate
    MatVectorCol startPoint;    // real
    MatVectorCol normStart;     // normalised start
    MatVectorCol current;       // normalised current point
    MatVectorCol result;        // result buffer (real)
    MatVectorCol scale;         // 1/(hi - lo), 0 for an inactive coordinate
    int minStepSet;
    MatVectorCol minStep;       // normalised
    int maxStepSet;
    MatVectorCol maxStep;       // normalised
    MatVectorCol* directions;   // dim owned directions (Powell's method)
    int errorIfMaxIter;         // raise when the iteration limit is reached
    int limitDirectionStep;     // limit interpolated line-search steps
    Matrix invHessian;          // quasi-Newton working matrix
    Matrix covCache;            // normalised covariance at cachePoint
    Matrix hessCache;           // normalised Hessian at cachePoint
    MatVectorCol cachePoint;
    double maxRelativeStepNorm; // stored only
    int doubleCovariation;      // covariance = 2 * inverse Hessian
};
