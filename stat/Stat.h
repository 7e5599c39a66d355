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
//               for n < 2; when the squares overflow, formed from the
//               deviations divided by the largest), SEM2 = Disp/n, Sum,
//               E2..E4 = mean of x², x³, x⁴,
//               Min, Max (the extremes start from ±∞, so they are values of
//               the sample at any scale; NaNs are passed over, all NaN gives
//               NaN). An empty sample gives NaN for Mean, E2..E4 and SEM2,
//               Disp 0, Sum 0, Min 1e300 and Max −1e300.
//   dispersions the excess dispersion Disp0 = s², s the root of the excess-
//               dispersion score on [0, √(Σx²/(n − 1))] found by bisection to
//               a relative width of 1e-7 (at most 1100 halvings; 0 when the
//               score does not change sign); Mean = the inverse-variance
//               weighted mean with variances Disp0 + d[i], SEM2 =
//               1/Σ 1/(Disp0 + d[i]), Disp = the mean of Disp0 + d[i]. A
//               total dispersion below about 5.6e-309 (its weight
//               overflows) is handled with the weights relative to the
//               largest: such a value dominates Mean, and SEM2 is about its
//               dispersion. All values equal: Mean = the value, Disp = the
//               largest d, SEM2 = 1/Σ 1/d, Disp0 = 0. The score's weights need
//               a scratch array (host heap from 1000 values on): when the heap
//               refuses, error 1 is raised and Disp0 is 0.
//   LogNormDisp = ln(Disp/Mean² + 1), LogNormMean = ln Mean − LogNormDisp/2
//               when Mean > 0, else both 0. When Mean² or Disp is not a
//               normal number (values ×1e-165 or ×1e154, where they under-
//               or overflow together) the ratio is formed without the
//               squares, from the deviations relative to Mean (as
//               (Disp/Mean)/Mean with dispersions); GetLogNormalDisp alike.
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
//   3   a negative count, or null values with a positive count: the
//       constructors give an empty sample. SetAccuracy outside 1e-15..1e-2
//       (or NaN): the accuracy is kept.
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
//     kept. A power of c that is not a normal number (c² overflows above
//     |c| = 1.3e154) is applied as that many factors c in turn, so 0 stays
//     0 and representable results are kept.
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
    // lies as far below the smallest point as the second lies above it
    // (formed without overflow near the largest doubles); for
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
    // dispersion, found at construction with 1e-7). Accepted from 1e-15 to
    // 1e-2: a coarser one lets the most probable value leave the data, a
    // finer one (0, negative, NaN) asks the searches for more than the
    // doubles hold, and the fit's minimizer then runs for seconds. Anything
    // else raises error 3 and keeps the accuracy as it was.
    void SetAccuracy(double a);

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
    //   0  −ln(erf(z)/a), a = |Δ|, z = a/√(2d) (√2·√d when 2d overflows),
    //      z kept ≥ 1e-5 (and a with it);
    //      log-normal: a² kept ≥ 1e-10
    //   1  −ln(t/u), u = Δ²/d, t = 1 − exp(−u/2) (−ln 0.5 when t is 0);
    //      log-normal: −ln(t/Δ²) with t = 1 − exp(−Δ²/(2σ²)) (divided by Δ²,
    //      not by Δ²/σ²: kept on purpose)
    //   2  ln(1 + Δ²/(2d))
    //   3  Δ²/(2d)
    static ProbFunc GetProbFuncPtr(int type, int logScale);
    static CProbFunc GetCProbFuncPtr(int type, int logScale);
    // Fit of F ≈ (1 + erf((X − μ)/(σ√2)))/2 to the cumulative distribution
    // (at most 101 points around the median when it has more than 200) by
    // the minimizer Climb over (μ, ln σ), run on the points centred on the
    // start (the middle of the first step to F ≥ 0.5) and divided by the
    // start width w, so that its steps and tolerances follow the data
    // whatever its scale and location. Answers a new vector (μ, σ/√n,
    // error of μ, error of σ) owned by the caller, the errors √(2R·C/m) from
    // the residue R and the pseudo-inverse C of the difference Hessian (good
    // to about 1e-3); the error of σ is σ times the error of ln σ (it was
    // that error times σ^(1/n), a number without the data's units). Null
    // when the sample has
    // no cumulative distribution, storage is refused (error 1), the Hessian's
    // pseudo-inverse fails, there is no host processor to run the
    // minimizer (it would hand back its start point unfitted), or a fitted
    // point is not a finite number (no error is raised then). A sample
    // whose extremes are equal or relatively closer than 1e-12 is not
    // fitted: (Mean, √SEM2, √SEM2, 2√SEM2). The lower bound of σ is
    // w/10⁴ (w the half-width of the fit range, or √Disp when smaller and a
    // normal number) or a
    // tenth of the smallest positive gap between neighbouring fitted points,
    // whichever is smaller, so that one outlier cannot make the steps of a
    // small sample unresolvable. The empirical convention (F at the first
    // value of each bucket) puts the centre of an evenly spaced sample half
    // a step low; kept.
    MatVectorCol* FitCumulativeDistribution();

    // ==== robust estimates, resampling and the most probable value ====
    // Defined with the robust estimates and the most-probable-value search,
    // not in this file's sources.
    //
    // GetMedian_MAD(median, spread): n = 1: (x, 0); n = 2: (Mean, |x0 − x1|);
    //   otherwise the sample median (the mean of the two middle values for
    //   even n) and the median of the absolute pairwise differences, over
    //   all values up to 300 and over the 300 representatives
    //   sorted[⌊k·(n − 1)/299⌋] above.
    // GetMedian_SD(median, seMedian): n = 1: (x, 0); n = 2..4: the sample
    //   median (Mean for 2) and √(π/2·SEM2); n ≥ 5: the fitted centre and
    //   √(π/2)·σ/√n, or GetMedian_MAD when the centre lies outside
    //   [Min, Max]. Without a fit (no processor, refused storage) the sample
    //   median and √(π/2·SEM2). Both medians write nothing for an empty
    //   sample or when scratch storage is refused (error 1).
    //
    // EstimateDisp(x, n, accuracy): one dispersion s² for all n values, as a
    //   new array owned by the caller (delete[]). The sorted sample is
    //   trimmed one value at a time from the end farthest from the current
    //   mean (the smallest on a tie) until a quarter remains; the variances of
    //   the last quarter of that sequence are fitted by golden section to
    //   those of a normal distribution truncated to the same central
    //   fraction, erf⁻¹ read from a table of erf at 100 points on [0, 5] (a
    //   fraction above erf(5) takes 5, the table's end); a second fit counts
    //   the fractions among the values within 3s of the trimmed mean. Fewer
    //   than 3 values: the sample variance ((x0 − x1)²/2; 0 for one value or
    //   none). Errors: 3 for n < 0 or null x (null answered), 1 when storage
    //   is refused (null). Mended: the sums run about a sample value near
    //   the centre and the variances of the trimmed remainders are
    //   accumulated outwards from the core, so a shift of the data changes
    //   nothing (about zero a variance of 1.27 came out 5.44 at an offset of
    //   1e7, 8e-18 at 1e9) and far outliers cannot cancel the core's
    //   variance; the search for s runs on [0, min(w0, 2·√max V/A)] instead
    //   of starting at a number without units (which gave 4σ² for σ = 0.01)
    //   and ending at twice the whole sample's deviation (outliers at 1e9
    //   made its tolerance coarser than the answer); n ≤ 2 no longer reads
    //   before its arrays.
    // GetEstimationDisp(): without given dispersions the cached EstimateDisp
    //   of the values (null when it failed); with given dispersions d, d
    //   itself for n < 3, else the cached max(d[i], exp(median − se)) with
    //   (median, se) = GetMedian_SD of ln d (a threshold that is not a number
    //   leaves d as given; refused storage: error 1 and d itself).
    // SampleSubset(k): a copy for n ≤ k; otherwise a new Stat of the values
    //   (with their dispersions) at sorted positions ⌊j·n/k + 0.5⌋, j = 0, 1,
    //   …, about k of them, starting with the smallest (kept as described).
    //   k ≤ 0 is refused with error 3 (null; 0 made a NaN index and −1 never
    //   ended); refused storage: error 1, null.
    //
    // GetMostProbableValue(type, logScale): new vector (mpv, sem2, count)
    //   owned by the caller (null with error 1 when refused). mpv maximises
    //   the likelihood of the model `type` (see GetProbFuncPtr) with the
    //   estimated dispersions and the weights of GetWeights; sem2 is the
    //   squared half-width of the interval holding 0.34 of the normalised
    //   likelihood on each side of mpv; count is the number of values within
    //   mpv ± √(n·sem2). Answers (x, Disp, 0) for one value; (Mean, SEM2, 0)
    //   for two values, equal or relatively closer than 1e-7 extremes,
    //   missing or non-positive estimated dispersions or missing weights.
    //   Above 300 values (isTooLong) it searches SampleSubset(250) and
    //   multiplies its sem2 by 250/n. The search runs on the values divided
    //   by 2^e, the power of two at or below Max − Min (the dispersions by
    //   2^2e; estimated again on the scaled values when their estimate in
    //   the data's units under- or overflowed), and maps back exactly: the
    //   answer scales with the data (the absolute floor of the minimal
    //   bracket biased samples spanning 1e-11 and put those ×1e-20 outside
    //   the data; ×1e-300 was not searched). Weights that are not all
    //   finite numbers: error 3 and (NaN, NaN, 0). Mended: the coarse scan's bracket
    //   reaches one scan step (not one value) beyond its best points, so the
    //   maximum is never outside it (the Gaussian model landed 0.6 standard
    //   errors from the mean); the bisections for the curve's limits and
    //   quantiles stop on a width relative to their search range, not to
    //   the location (far from 0 they stopped coarse: 0.34 or 13 times the
    //   expected sem2). The minimal bracket is 10·accuracy·max(1, range) in
    //   the scaled units, so 10·accuracy·(Max − Min) in the data's. Kept:
    //   extremes relatively closer than 1e-7 are not searched (a sample of
    //   spread 1 shifted by 1e9 answers (Mean, SEM2, 0)).
    // GetLogProbabilityDistribution(type, logScale, k, X, Y): new arrays
    //   (delete[]) of k points X[i] = Min − r/2 + i·2r/k, r = Max − Min, and
    //   Y[i] = the log-likelihood at X[i] less its largest value. Refused
    //   with error 3 and X = Y = null for k ≤ 0 (a negative size was
    //   allocated), an empty sample, estimated dispersions that are not
    //   all positive, or weights that are not all finite; refused storage:
    //   error 1, null.
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

    // The frame of every GetCumulativeDistr. BeginCumulative answers false
    // with the outputs set when the cache exists or the sample is empty, and
    // false with the outputs untouched when storage is refused (error 1);
    // otherwise it empties the cache, gives cumX and cumF room for
    // min(n, 1000) + 10 points, sets step = n/min(n, 1000) (at least 1) and
    // answers true. The caller fills cumN points (the first value of each
    // bucket and its cumulative count or weight) and hands them to
    // EndCumulative, which merges ties, adds the low point, normalises F and
    // sets the outputs; AbandonCumulative empties the cache with error 1
    // when the caller's scratch storage is refused.
    bool BeginCumulative(double*& X, double*& F, int& m, double& step);
    void EndCumulative(double*& X, double*& F, int& m);
    void AbandonCumulative();

private:
    // Copies count values (and dispersions when disp is not null), or gives
    // an empty sample, then computes the statistics.
    void Init(const double* values, const double* disp, int count);
    // Min, Max, Sum and E2..E4 of the values, summed from the last value to
    // the first when lastFirst is set, else from the first; answers Σx².
    double GatherMoments(bool lastFirst);
    // Releases data, dataDisp, estDataDisp, the further array, cumX, cumF,
    // in this order (the pointers are left as they are).
    void ReleaseArrays();

    friend struct StatTestAccess;
};
