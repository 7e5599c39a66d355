// Stat_Weighted: a Stat whose values also carry weights. Every unweighted
// result of Stat is kept; added are the weights normalised to mean 1, their
// dispersion and distribution type, the weighted mean with its squared
// standard error, and the correlation of values and weights. The cumulative
// distribution, the medians and the most-probable-value search use the
// weights.
//
// Construction (after Stat's):
//   WeightsDistrType  Stat's normal/log-normal verdict on the weights as given.
//   repair            every weight ≤ 0 becomes wmin/n, wmin the smallest
//                     positive weight (1e300 when there is none).
//   normalise         the weights are divided by their mean (taken as 1 when
//                     it is 0). When the plain sum overflows (weights near
//                     1e308), the weights are first divided by the largest,
//                     so they still normalise to mean 1 instead of 0.
//   DispOfWeights     Σ(w − 1)²/(n − 1) (the plain sum for n < 2).
//   WeightedMean      Σ w·x / n.
//   WeightedSEM2      Σ w·(x − WeightedMean)² / ((n − 1)·n) for n > 1 (the
//                     plain sum for one value); SEM2 when that is exactly 0.
//   WeightsCorr       without dispersions Σ(x − Mean)(w − 1)/(n − 1) over
//                     √(DispOfWeights·Disp); with dispersions d
//                     Σ((x − Mean)/√(Disp0 + d))(w − 1)/(n − 1) over
//                     √DispOfWeights; 0 when DispOfWeights·Disp is not above
//                     0. The sum is divided by n − 1 like both dispersions,
//                     so a perfectly linear pair gives ±1 (as GetCorrToWeight).
// Sums run from the last value to the first. Weights that are not finite
// give NaN weighted results; the operations that use the weights then raise
// error 3: GetCumulativeDistr (no distribution: X and F null, m 0), the
// medians (median NaN; GetMedian_SD's error NaN, GetMedian_MAD's spread the
// unweighted one), GetMostProbableValue and GetLogProbabilityDistribution.
//
// GetCorrToWeight(logValues, logWeights): Sab/√(Saa·Sbb) of the deviations
// a = x − Mean (ln x − ln Mean when logValues is 1) and b = w − 1 (ln w when
// logWeights is 1); Sab alone when Saa or Sbb is not above 0; 0 for an empty
// sample. A logarithm of a number ≤ 0 (Mean first, then each weight before
// its value) raises error 88 and answers 0.
//
// Overrides: isTooLong is always 0 (the most probable value is searched on
// the whole weighted sample); GetWeights answers the object's own normalised
// weights and FreeWeights does nothing; GetCumulativeDistr accumulates the
// weights (F is the cumulative weight share); the medians:
//   GetMedian_MAD  n = 1: (x, 0); n = 2: (WeightedMean, |x0 − x1|); else the
//                  median of the fitted cumulative distribution, or the
//                  weighted median of the values (where the cumulative weight
//                  reaches half) when the fit is unavailable or its centre
//                  lies outside [Min, Max]. The spread is the unweighted
//                  median of pairwise differences, as for Stat (kept: the
//                  weights do not enter it).
//   GetMedian_SD   n = 1: (x, 0); n = 2..4: (WeightedMean,
//                  √(π/2·WeightedSEM2)); n ≥ 5: the fitted centre and
//                  √(π/2)·σ/√n when the centre lies in [Min, Max], otherwise
//                  GetMedian_MAD (so the weighted median, never a centre
//                  outside the data); without a fit the weighted median and
//                  √(π/2·WeightedSEM2).
// UpdateVeskObject writes Stat's members, then "WeightsDistrType" (integer),
// "DispOfWeights", "WeightsCorr", "WeightedMean", "WeightedSEM2" and
// "Weights" (an array of n doubles).
//
// Errors: 1 storage refused (the constructors give an empty sample: every
// statistic that of no values, as Stat gives them; operator= leaves the
// object unchanged, the medians write nothing); 3 a null weights array for
// n > 0 (empty sample, as for refused storage), or weights that are not
// finite (above); 88 as above.
//
// The copy constructor normalises the other's already normalised weights
// again and recomputes WeightsDistrType from them (which can differ from the
// other's verdict on the weights as first given); kept.
#pragma once

#include "host/Export.h"
#include "stat/Stat.h"

class VESK_MATH_API Stat_Weighted : public Stat {
public:
    Stat_Weighted(double* data, double* weights, int n);
    Stat_Weighted(double* data, double* disp, double* weights, int n);
    Stat_Weighted(Stat_Weighted& other);
    ~Stat_Weighted() override;

    int isTooLong() override;
    void GetMedian_SD(double& median, double& seMedian) override;
    void GetMedian_MAD(double& median, double& spread) override;
    void GetCumulativeDistr(double*& X, double*& F, int& m) override;
    double* GetWeights() override;
    void FreeWeights(double* w) override;
    void UpdateVeskObject(Variable& obj) override;

    Stat_Weighted& operator=(const Stat_Weighted& other);
    // Stat's rescaling, and the weighted results with it: WeightedMean ×c,
    // WeightedSEM2 ×c², WeightsCorr takes the sign of c (0 for c = 0); the
    // weights are unchanged. Through a Stat reference only Stat's part is
    // rescaled.
    Stat_Weighted& operator*=(double c);

    double GetCorrToWeight(int logValues, int logWeights);

    int GetWeightsDistrType() { return WeightsDistrType; }
    double GetDispOfWeights() { return DispOfWeights; }
    double GetWeightsCorr() { return WeightsCorr; }
    double GetWeightedMean() { return WeightedMean; }
    double GetWeightedSEM2() { return WeightedSEM2; }

protected:
    void Init_Weight();
    void FindMeanDisp2();
    void FindMeanDisp3();

    double* Weights;
    DISTR_TYPE WeightsDistrType;
    double DispOfWeights;
    double WeightsCorr;
    double WeightedMean;
    double WeightedSEM2;

private:
    void CopyWeights(const double* weights);
    bool WeightedMedian(double& median);
    bool NonFiniteWeights(double& median);
};
