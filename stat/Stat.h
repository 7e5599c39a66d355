// Stat: descriptive statistics of one sample of real values, optionally with a
// dispersion (variance) for every value, computed once at construction; the
// verdict normal or log-normal; the empirical cumulative distribution and a
// least-squares fit of a normal distribution function to it; the model
// functions of the most-probable-value search.
//
// Construction copies the values (and dispersions) and computes, in order:
//   DistrType   CheckDistrType: DISTR_LOGNORMAL when every value is positive,
//               not all equal, n ≥ 2 and the marginal log-likelihood of the
//               log-normal model exceeds that of the normal model by at
//               least 1.0 (the margin favours the normal model on purpose).
//               Both likelihoods integrate the location and scale over fixed
//               ranges; the log-normal one needs its log-values scratch array
//               (host heap from 1000 values on): when the heap refuses, error 1
//               is raised and the sample is taken as normal.
//   CheckDisp   with dispersions: every d[i] ≤ 0 is replaced by the population
//               variance of the values.
//   no dispersions  Mean = Σx/n, Disp = Σ(x − Mean)²/(n − 1) (the plain sum
//               for n < 2), SEM2 = Disp/n, Sum, E2..E4 = mean of x², x³, x⁴,
//               Min, Max. An empty sample gives NaN for Mean, E2..E4 and SEM2,
//               Disp 0, Sum 0, Min 1e300 and Max −1e300.
//   dispersions the excess dispersion Disp0 = s², s the root of the excess-
//               dispersion score on [0, √(Σx²/(n − 1))] found by bisection to
//               a relative width of 1e-7 (0 when the score does not change
//               sign); Mean = inverse-variance weighted mean with variances
//               Disp0 + d[i], SEM2 = 1/Σ 1/(Disp0 + d[i]), Disp = mean of
//               Disp0 + d[i]. All values equal: Mean = the value, Disp = the
//               largest d, SEM2 = 1/Σ 1/d, Disp0 = 0. The score's weights need
//               a scratch array (host heap from 1000 values on): when the heap
//               refuses, error 1 is raised and Disp0 is 0.
//   LogNormDisp = ln(Disp/Mean² + 1), LogNormMean = ln Mean − LogNormDisp/2
//               when Mean > 0, else both 0.
//
// Ownership: the object owns every array it holds. GetCumulativeDistr and
// GetEstimationDisp hand out arrays that stay owned by the object; GetWeights
// answers a new array to be handed back to FreeWeights; FitCumulativeDistribution,
// SampleSubset and GetMostProbableValue answer new objects the caller deletes.
//
// Errors (host VeskError, then the stated answer; nothing is thrown):
//   1   storage not obtained: the constructors give an empty sample (n = 0),
//       operator= leaves the object unchanged, GetWeights answers null,
//       GetCumulativeDistr leaves its outputs unwritten, the fit answers null.
//   3   a negative count: the constructors give an empty sample.
//   10  GetLogNormalDisp with Mean ≤ 0: answers 1.0 (GetLogNormalMu0 then
//       Mean·e^−0.5).
//
// Points settled here:
//   - operator*=(c) scales the values, dispersions (c²), estimated
//     dispersions (c²), Mean, Disp, SEM2, Disp0, E2..E4, Min, Max and also
//     Sum; LogNormMean is recomputed from the new Mean with the kept
//     LogNormDisp (0 when the new Mean is ≤ 0); for a negative factor Min
//     and Max are exchanged so that Min ≤ Max. A cached cumulative
//     distribution is scaled for c > 0 and dropped for c ≤ 0 (it would no
//     longer ascend); it is rebuilt on demand. DistrType and LogNormDisp are
//     kept.
//   - operator= copies every field and every array deeply: no two objects
//     ever own the same array.
//   - Every sort of the statistics orders NaN after every number, so a NaN
//     in the sample cannot disturb the order of the other values.
//   - Every bisection compares the signs of the function values instead of
//     multiplying them, so far scaled samples (values ×1e100) keep their
//     excess dispersion (the product of two score values underflows).
//
// The robust estimates, the resampling and the most-probable-value search
// are declared in one block below and defined in their own sources.
#pragma once

#include "host/Export.h"
#include "host/VeskHost.h"
#include "linalg/MatVector.h"

enum DISTR_TYPE { DISTR_GAUSS = 0, DISTR_LOGNORMAL = 1 };

// Negative log-likelihood of location m (up to terms free of m) for values
// with dispersions and weights. ProbFunc reads a host array of 4 elements:
// the addresses of the values x, dispersions d and weights w (64-bit integers
// read with GetCppPointer) and the count n; CProbFunc takes the arrays.
typedef double (*ProbFunc)(double m, Variable& v);
typedef double (*CProbFunc)(double m, double* x, double* d, double* w, int n);

class VESK_MATH_API Stat : public VeskAss {
public:
    // Copy n values; no dispersions.
    Stat(double* data, int n);
    // Copy n values and their n dispersions (a null disp means none).
    Stat(double* data, double* disp, int n);
    // Copy of other's values and dispersions; the caches start empty and the
    // accuracy at 1e-7; everything is recomputed.
    Stat(Stat& other);

    // ---- virtual operations, in slot order after PlaceHolder ----
    ~Stat() override;
    // 1 when n > 300 (the most probable value is then searched on a thinned
    // sample), else 0.
    virtual int isTooLong();
    // -- robust estimates (defined with the robust estimates) --
    virtual void GetMedian_SD(double& median, double& seMedian);
    virtual void GetMedian_MAD(double& median, double& spread);
    // --
    // The cached cumulative distribution: X ascending sample points with a
    // low point added before the smallest value, F rising from 0 to 1, m
    // points (at most 1001). Built on first demand from at most 1000
    // representatives (the first value of each of min(n, 1000) equal-count
    // buckets of the sorted sample, ties merged to their last F); F at a
    // point is the share of buckets up to and including it. The low point
    // lies as far below the smallest point as the second lies above it; for
    // a single distinct value v it is 0.001·v (v > 0), 1.999·v (v < 0) or
    // −0.001 (v = 0). The arrays stay owned by the object. An empty sample
    // has none: X and F null, m 0. When storage is refused (error 1) the
    // outputs are not written.
    virtual void GetCumulativeDistr(double*& X, double*& F, int& m);
    // New array of n weights, all 1.0 (null with error 1 when refused); hand
    // it back to FreeWeights.
    virtual double* GetWeights();
    virtual void FreeWeights(double* w);
    // Writes "Mean", "Disp", "SEM2", "Disp0", "E2", "E3", "E4", "DistrType"
    // (integer), "Min", "Max", "Sum", "estDataDisp" (an array of n doubles
    // when estimated dispersions exist, else cleared), "LogNormDisp",
    // "LogNormMean" into members of the host object obj, in this order.
    virtual void UpdateVeskObject(Variable& obj);

    // ---- accessors ----
    int Len() { return n; }
    double GetMean() { return Mean; }
    double GetDisp() { return Disp; }
    double GetSEM2() { return SEM2; }
    double GetDisp0() { return Disp0; }
    double GetE2() { return E2; }
    double GetE3() { return E3; }
    double GetE4() { return E4; }
    double GetMin() { return Min; }
    double GetMax() { return Max; }
    int GetDistrType() { return DistrType; }
    double GetAccuracy() { return accuracy; }
    // Relative tolerance of the searches run later (not of the excess
    // dispersion, found at construction with 1e-7).
    void SetAccuracy(double a) { accuracy = a; }

    // ln(Disp/Mean² + 1); error 10 and 1.0 when Mean ≤ 0.
    double GetLogNormalDisp();
    // Mean·exp(−GetLogNormalDisp()/2): the log-normal median e^mu.
    double GetLogNormalMu0();

    Stat& operator*=(double c);
    Stat& operator=(const Stat& other);

    // ---- distribution functions and the cumulative fit ----
    // The model function for `type` (0, 1, 2; any other value is 3) in its
    // linear (logScale 0) or log-normal (logScale ≠ 0) form. With Δ = x − m
    // and the dispersion d (log-normal form: s = 1 + d/x², σ² = ln s in place
    // of d, Δ = ln(x/(√s·m))), the answer is Σ w[i]·term, 0 for n ≤ 0:
    //   0  −ln(erf(z)/a), a = |Δ|, z = a/√(2d), z kept ≥ 1e-5 (and a with it);
    //      log-normal: a² kept ≥ 1e-10
    //   1  −ln(t/u), u = Δ²/d, t = 1 − exp(−u/2) (−ln 0.5 when t is 0);
    //      log-normal: −ln(t/Δ²) with t = 1 − exp(−Δ²/(2σ²)) (divided by Δ²,
    //      not by Δ²/σ², kept as the form the search was tuned with)
    //   2  ln(1 + Δ²/(2d))
    //   3  Δ²/(2d)
    static ProbFunc GetProbFuncPtr(int type, int logScale);
    static CProbFunc GetCProbFuncPtr(int type, int logScale);
    // Fit of F ≈ (1 + erf((X − μ)/(σ√2)))/2 to the cumulative distribution
    // (at most 101 points around the median when it has more than 200) by
    // the minimizer Climb over (μ, ln σ). Answers a new vector (μ, σ/√n,
    // error of μ, error of σ) owned by the caller; null when the sample has
    // no cumulative distribution, storage is refused (error 1), the Hessian's
    // pseudo-inverse fails, or there is no host processor to run the
    // minimizer (it would hand back its start point unfitted). A sample
    // whose extremes are equal or relatively closer than 1e-12 is not
    // fitted: (Mean, √SEM2, √SEM2, 2√SEM2). The lower bound of σ is
    // w/10⁴ (w the half-width of the fit range, or √Disp when smaller) or a
    // tenth of the smallest positive gap between neighbouring fitted points,
    // whichever is smaller, so that one outlier cannot make the steps of a
    // small sample unresolvable. The empirical convention (F at the first
    // value of each bucket) puts the centre of an evenly spaced sample half
    // a step low; kept.
    MatVectorCol* FitCumulativeDistribution();

    // ==== robust estimates, resampling and the most probable value ====
    // Defined with the robust estimates and the most-probable-value search,
    // not in this file's sources.
    static double* EstimateDisp(double* x, int n, double accuracy);
    double* GetEstimationDisp();
    Stat* SampleSubset(int k);
    MatVectorCol* GetMostProbableValue(int type, int logScale);
    void GetLogProbabilityDistribution(int type, int logScale, int k, double*& X, double*& Y);

protected:
    Stat* SampleSubset0(int k);
    Stat* SampleSubset1(int k);
    double GetSEM2OfMostProbableValue(double mpv, ProbFunc f, Variable& v, int logScale);
    // ==== end of the robust-estimate block ====

protected:
    MatVectorCol* FitCumulativeDistribution(double* X, double* F, int m);

    void FindMeanDisp();
    void FindMeanDisp0();
    void FindMeanDisp1();
    void CheckDisp();
    DISTR_TYPE CheckDistrType(double* x, int n);
    double GetLogLikelihoodOfGauss(double* x, int n);
    double GetLogLikelihoodOfLogNormal(double* x, int n);

    double* data;         // the n values (owned copy)
    double* dataDisp;     // their dispersions, or null
    double* estDataDisp;  // estimated dispersions (cache), or null
    // Every owned array is made with new (std::nothrow) double[] (see
    // statdetail::NewDoubles) and released with delete[].
    double* extraData;    // released with the object; nothing fills it
    int n;
    double Mean;
    double Disp;
    double SEM2;
    double Sum;
    double Disp0;
    DISTR_TYPE DistrType;
    double LogNormMean;
    double LogNormDisp;
    double E2;
    double E3;
    double E4;
    double Min;
    double Max;
    double* cumX;  // cumulative distribution cache, or null
    double* cumF;
    int cumN;
    double accuracy;

private:
    // Copies count values (and dispersions when disp is not null), or gives
    // an empty sample, then computes the statistics.
    void Init(const double* values, const double* disp, int count);
    // Releases data, dataDisp, estDataDisp, the further array, cumX, cumF,
    // in this order (the pointers are left as they are).
    void ReleaseArrays();

    friend struct StatTestAccess;
};
