// LeastSquaresFit: nonlinear least squares, minimising S(b) = sum r_i(b)^2
// over p parameters b in a box lo_j <= b_j <= hi_j (infinite bounds
// allowed), by a trust-region Levenberg-Marquardt method.
//
// Two ways to state the problem
//   Residual form: a function that fills the m residuals r(b).
//   Data form: n observations (x_i, y_i), optional standard deviations
//   sigma_i (all 1 when null), and a model y = f(x; b); the residuals are
//   r_i = (y_i - f(x_i; b)) / sigma_i.
//   Each function is a host function value. A type-2 value holds a native
//   pointer, called directly (a null one raises error 3 and ends the fit):
//     residuals        void r(MatVector& b, MatVectorCol& res, Variable& extra)
//                      (res has length m on entry; fill all m values)
//     model            double f(double x, MatVector& b, Variable& extra)
//     Jacobian, residual form
//                      void J(MatVector& b, int j, MatVectorCol& col, Variable& extra)
//                      (column j: dr_i/db_j for i < m)
//     Jacobian, data form
//                      double df(double x, MatVector& b, int j, Variable& extra)
//                      (df/db_j of the model; the class divides by -sigma_i)
//   Anything else runs through Processor::RunFunctionAsIs, as the minimizer
//   Climb runs script objectives: b as a new "MVector" instance, then x (data
//   form) and j (Jacobians) as numbers, then the extra parameter by
//   reference. A script residual function or script Jacobian column answers
//   an array or "MVector" of m numbers (an answer of another length, like a
//   native function that resizes its vector or the parameter vector b,
//   raises error 3 and ends the fit as a script error does); a script model
//   answers a number.
//   extra is the stored copy of SetExtraParam.
//
// Method
//   Levenberg-Marquardt in Moré's trust-region form: at b the Jacobian J is
//   factored J P = Q R by Householder QR with column pivoting; the step s
//   minimises |r + J s| subject to |D s| <= delta, found by the Levenberg
//   parameter iteration on R (never the normal equations, whose squared
//   condition would lose the digits of small-residual problems); D holds
//   the largest column norms of J seen so far (Moré's scaling, so the
//   method does not depend on the units of the parameters), and the first
//   radius is |D b0| (1 when b0 = 0): a first step may change the
//   parameters by about their own size (a wider first radius sent some
//   hard problems, such as MGH09 from its first start, to a distant
//   valley). A step is taken when the actual reduction of S is at least
//   1e-4 of the reduction the linear model predicts; the radius shrinks
//   (by a factor from 1/2 to 1/10) after a ratio below 1/4 and becomes
//   twice the step after one above 3/4 or a Gauss-Newton step.
//   Line search on overshooting Gauss-Newton steps: when the step lies
//   inside the region (Levenberg parameter 0) and is taken with a ratio
//   below 3/4, S along it is modelled by the parabola through S(b), the
//   slope 2 r'J s and S(b + s); its minimum t, when 0.1 <= t <= 0.9, costs
//   one more evaluation and b + t s replaces b + s when S is lower there.
//   On large-residual problems Gauss-Newton converges only linearly by
//   overshooting the minimum along its steps (MGH09 from its second start:
//   a steady ratio of 0.37, each step 0.63 of the one before); this cuts
//   such runs to about half (MGH09 165 to 72 evaluations, Thurber 372 to
//   179 and 289 to 96) and costs nothing where the ratio is good.
//   Bounds: a parameter at a face whose gradient points out of the box is
//   held there for the iteration (its column takes no part in the step);
//   the step of the others is projected into the box, and its predicted
//   reduction is then taken from the projected step itself.
//   Differences: without a Jacobian function, column j is
//   (r(b + h_j e_j) - r(b)) / h_j with h_j = sqrt(eta) |b_j| (sqrt(eta) when
//   b_j = 0), eta = the relative rounding level of the residuals
//   (SetRoundingLevel, default 2^-52), taken backwards when b_j + h_j lies
//   beyond hi_j; central differences use h_j = eta^(1/3) |b_j| (one-sided
//   where a sample would leave the box). A forward Jacobian costs p
//   residual evaluations, a central one 2p. By default the iteration runs
//   with forward differences until a stop rule holds at 100 times the
//   tolerances, then goes on from there with central ones until a rule
//   holds at the tolerances themselves: the error of forward differences
//   (about sqrt(eta) of J) shifts the point where J'r = 0 by more than the
//   certified problems allow (Lanczos3: 5 digits instead of 7).
//   SetSymmetricDerivative(1) uses central differences throughout.
//
// Stop rules (default tolerances ftol = xtol = 1e-12, gtol = 0)
//   reduction   both the actual and the predicted relative reduction of S
//               in a step are at most ftol (and the ratio of the two is at
//               most 2): S is within about ftol of its minimum.
//   step        the trust radius is at most xtol |D b|: the scaled
//               parameters are within about xtol of the minimum.
//   gradient    the largest cosine between r and a column of J (free
//               columns only) is at most gtol: b is stationary.
//   rounding    the relative reductions, actual and predicted, are below
//               the machine precision, or the radius below the machine
//               precision times |D b|: no step can reduce S in floating
//               point. It counts as convergence when the scaled gradient
//               cosine is at most sqrt(eta) (stationary within rounding),
//               as a failure otherwise.
//   The evaluation cap (SetMaxEvaluations, default 1000 (p + 1) residual
//   evaluations, Jacobian differences included) ends the fit unconverged.
//   It is wide because hard starts do converge after long crawls along
//   curved valleys (made-up data of the forms of MGH10 and MGH17 from
//   their first starts: 1032 and 2806 evaluations).
//   Converged runs end with the Jacobian at the solution: the one of the
//   last iteration when b has since moved by at most sqrt(eta) |b_j| in
//   every parameter (less than the error of the differences), else a new
//   one.
//
// Results
//   GetResult (the parameters), GetResiduals, GetRSS, GetEvaluations (every
//   residual vector counts 1; calls of a Jacobian function are not
//   counted), GetIterations (Jacobians), GetStatus.
//   GetJacobian and GetCovariance answer new m x p and p x p matrices that
//   the caller releases (null after error 1 or before a fit). The
//   covariance is s^2 (J'J)^-1 with s^2 = S/(m - p) (or (J'J)^-1 after
//   SetSigmaKnown(1)), formed from a pivoted QR of J with its columns scaled
//   to unit norm; parameters whose columns are dependent (pivot below 100
//   times the Jacobian's relative error -- eta^(2/3) for central, sqrt(eta)
//   for forward differences -- times the largest, or 1e-12 of it with a
//   Jacobian function; see GetRank) get NaN rows and columns and NaN
//   standard errors. Parameters held at a face count like the others. With
//   m = p, s^2 is NaN unless the sigmas are known. A run that failed keeps
//   the Jacobian of its last iteration. Copies of this object are not
//   allowed (it holds the caller's window).
//
// Host conventions (as Climb)
//   Without a processor Solve evaluates nothing and answers kNotRun. A
//   progress window (SetProgressWnd, kept by reference) receives
//   "SetProgress"(0) and "CheckCancel"() at the start; "SetProgress"(k)
//   (k = the used share of the evaluation cap in percent), "SetCaption"
//   ("Residue = %.10g", S) and "CheckCancel"() after every Jacobian; and
//   "SetProgress"(100), "SetCaption" with the final S and "CheckCancel" at
//   the end. A cancel (the host error "Progress window got cancel") or any
//   error raised by a function ends the fit at its best point, with that
//   error left set (no further error is raised and the window gets no final
//   calls); the status is then kCancelled or kFunctionError.
//
// Errors: 3 for bad input (m < p or p < 1, missing arrays, x, y or sigma
// not finite, a sigma <= 0, bounds NaN or reversed, a start not finite;
// option values out of range; vectors of the wrong length) -- the object is
// then left as it was (a constructor: an empty problem whose Solve answers
// kBadInput); 1 when working storage cannot be obtained; the module's
// "ERR_SOLUTION_NOT_FOUND" code when a fit ends without converging by the
// rules above (evaluation cap, rounding failure, residuals not finite at
// the start). The result is then the best point found. No exception
// leaves the class.
#pragma once

#include "host/Export.h"
#include "host/VeskHost.h"
#include "linalg/MatVector.h"
#include "linalg/Matrix.h"

class VESK_MATH_API LeastSquaresFit : public VeskAss {
public:
    // Why Solve stopped.
    enum Status {
        kNotRun = 0,
        kReduction = 1,        // ftol met
        kStep = 2,             // xtol met
        kReductionAndStep = 3,
        kGradient = 4,         // gtol met
        kRounding = 5,         // no reduction possible, stationary within rounding
        kEvaluationLimit = 6,  // failures from here on
        kNoProgress = 7,       // no reduction possible, gradient not small
        kNotFinite = 8,        // residuals not finite at the start
        kCancelled = 9,
        kFunctionError = 10,
        kBadInput = 11,
        kNoStorage = 12
    };

    // Residual form: m residuals, p parameters; boundaries holds 2p doubles
    // (lo_j, hi_j) or is null (no bounds); start holds p doubles.
    LeastSquaresFit(Variable& residuals, int m, int p, double* boundaries, double* start);
    // Data form: n observations x, y, sigma (sigma may be null), p
    // parameters, boundaries and start as above. The arrays are copied.
    LeastSquaresFit(Variable& model, int n, double* x, double* y, double* sigma, int p,
                    double* boundaries, double* start);
    LeastSquaresFit(const LeastSquaresFit&) = delete;
    LeastSquaresFit& operator=(const LeastSquaresFit&) = delete;
    ~LeastSquaresFit() override;

    // Options.
    void SetExtraParam(Variable& extra);
    void SetJacobianFunc(Variable& f);
    // Keeps a reference to the caller's window object, not a copy.
    void SetProgressWnd(Variable& wnd);
    void SetSymmetricDerivative(int s);
    // At least 1 (error 3 otherwise).
    void SetMaxEvaluations(int n);
    // Each >= 0 and finite (error 3 otherwise, nothing changed).
    void SetTolerances(double ftol, double xtol, double gtol);
    // Relative rounding level of the residuals, in [2^-52, 0.01].
    void SetRoundingLevel(double eta);
    // 1: the sigmas are the known standard deviations, covariance (J'J)^-1.
    void SetSigmaKnown(int known);
    // New start (p values, finite), clamped into the box by Solve.
    void SetStartPoint(MatVectorCol& start);

    // Runs the fit from the start point; answers the status.
    int Solve();

    // Readers.
    int GetDimension();
    int GetResidualCount();
    MatVectorCol& GetResult();
    MatVectorCol& GetResiduals();
    MatVectorCol& GetStandardErrors();
    double GetRSS();
    int GetEvaluations();
    int GetIterations();
    int GetStatus();
    int GetRank();
    Matrix* GetJacobian();
    Matrix* GetCovariance();

private:
    struct Work;
    void Init(int m, int p, double* boundaries, double* start);
    bool CheckInput(int m, int p, const double* boundaries, const double* start);
    int Run(Work& w);
    bool Evaluate(Work& w, const double* b, double* r);
    bool JacobianAt(Work& w, const double* b, const double* r, double* jac);
    // Runs f at b into out (m values): the residuals for j < 0, column j of
    // the Jacobian otherwise. False when a host error ended the call.
    bool Call(Work& w, Variable& f, const double* b, int j, double* out);
    bool HostFailed(Work& w);
    void Finish(Work& w, int status);
    void Covariance(Work& w);
    void ProgressCall(const char* method, int percent, double rss, bool caption);

    int m;                    // residuals
    int p;                    // parameters
    bool dataForm;
    bool usable;              // the constructor's input was good
    Variable function;        // residuals or model
    Variable jacobianFunc;
    Variable extraParam;
    Variable progressWnd;     // reference to the caller's window object
    MatVector xData, yData, sigma;
    MatVector lo, hi;
    MatVectorCol start;
    int symmetric;
    int maxEvaluations;       // 0: the default 1000 (p + 1)
    double ftol, xtol, gtol, eta;
    int sigmaKnown;
    // Results.
    MatVectorCol result;
    MatVectorCol residuals;
    MatVectorCol standardErrors;
    Matrix jacobian;          // m x p at the result
    Matrix covariance;        // p x p
    double rss;
    int evaluations, iterations, status, rank;
    bool haveJacobian;
};
