// Stat_Weighted: weights repaired and normalised, weighted mean and error,
// correlation of values and weights, and the weighted overrides of Stat.
#include "stat/Stat_Weighted.h"

#include <cmath>

#include "stat/StatInternal.h"
#include "stat/StatRobustInternal.h"

using namespace statdetail;

Stat_Weighted::Stat_Weighted(double* data, double* weights, int n)
    : Stat(data, n), Weights(nullptr) {
    CopyWeights(weights);
    Init_Weight();
}

Stat_Weighted::Stat_Weighted(double* data, double* disp, double* weights, int n)
    : Stat(data, disp, n), Weights(nullptr) {
    CopyWeights(weights);
    Init_Weight();
}

Stat_Weighted::Stat_Weighted(Stat_Weighted& other) : Stat(other), Weights(nullptr) {
    CopyWeights(other.Weights);
    Init_Weight();
}

Stat_Weighted::~Stat_Weighted() { delete[] Weights; }

void Stat_Weighted::CopyWeights(const double* weights) {
    if (n <= 0) {
        n = 0;
        return;
    }
    if (weights != nullptr) Weights = CopyDoubles(weights, n);
    if (Weights != nullptr) return;
    if (weights == nullptr) {
        VeskError(3, "Stat_Weighted: no weights");
    } else {
        VeskError(1);
    }
    // An empty sample: the statistics of the values go with them.
    n = 0;
    delete[] dataDisp;
    dataDisp = nullptr;
    Disp0 = 0;
    FindMeanDisp();
}

void Stat_Weighted::Init_Weight() {
    WeightsDistrType = CheckDistrType(Weights, n);
    double wmin = HUGE_VAL;
    double wmax = 0;
    for (int i = 0; i < n; ++i) {
        if (Weights[i] > 0 && Weights[i] < wmin) wmin = Weights[i];
        if (Weights[i] > wmax) wmax = Weights[i];
    }
    if (wmin == HUGE_VAL) wmin = 1e300;  // no finite positive weight
    for (int i = 0; i < n; ++i)
        if (Weights[i] <= 0) Weights[i] = wmin / n;
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += Weights[i];
    if (std::isinf(sum) && std::isfinite(wmax)) {
        // The plain sum overflowed: normalise the weights relative to the
        // largest first, which divides out in the end.
        sum = 0;
        for (int i = 0; i < n; ++i) {
            Weights[i] /= wmax;
            sum += Weights[i];
        }
    }
    double mean = sum / n;
    if (mean == 0) mean = 1;
    for (int i = 0; i < n; ++i) Weights[i] /= mean;
    DispOfWeights = 0;
    for (int i = 0; i < n; ++i) {
        const double d = Weights[i] - 1;
        DispOfWeights += d * d;
    }
    if (n >= 2) DispOfWeights /= n - 1;
    if (dataDisp != nullptr)
        FindMeanDisp3();
    else
        FindMeanDisp2();
}

namespace {

// Σ w·x / n and Σ w·(x − mean)² / ((n − 1)·n), sums from the last value.
void WeightedMeanAndSEM2(const double* x, const double* w, int n, double& mean, double& sem2) {
    double swx = 0;
    for (int i = n - 1; i >= 0; --i) swx += w[i] * x[i];
    mean = swx / n;
    double s = 0;
    for (int i = n - 1; i >= 0; --i) {
        const double d = x[i] - mean;
        s += w[i] * d * d;
    }
    if (n > 1) s /= (static_cast<double>(n) - 1) * n;
    sem2 = s;
}

}  // namespace

void Stat_Weighted::FindMeanDisp2() {
    WeightedMeanAndSEM2(data, Weights, n, WeightedMean, WeightedSEM2);
    if (WeightedSEM2 == 0) WeightedSEM2 = SEM2;
    double sab = 0;
    for (int i = n - 1; i >= 0; --i) sab += (data[i] - Mean) * (Weights[i] - 1);
    const double prod = DispOfWeights * Disp;
    WeightsCorr = prod > 0 ? (sab / (n - 1)) / std::sqrt(prod) : 0.0;
}

void Stat_Weighted::FindMeanDisp3() {
    WeightedMeanAndSEM2(data, Weights, n, WeightedMean, WeightedSEM2);
    if (WeightedSEM2 == 0) WeightedSEM2 = SEM2;
    double sab = 0;
    for (int i = n - 1; i >= 0; --i)
        sab += ((data[i] - Mean) / std::sqrt(Disp0 + dataDisp[i])) * (Weights[i] - 1);
    WeightsCorr = DispOfWeights * Disp > 0 ? (sab / (n - 1)) / std::sqrt(DispOfWeights) : 0.0;
}

double Stat_Weighted::GetCorrToWeight(int logValues, int logWeights) {
    if (n <= 0) return 0.0;
    double lnMean = 0;
    if (logValues == 1) {
        if (Mean <= 0) {
            VeskError(88);
            return 0.0;
        }
        lnMean = std::log(Mean);
    }
    double sab = 0, saa = 0, sbb = 0;
    for (int i = n - 1; i >= 0; --i) {
        double b;
        if (logWeights == 1) {
            if (Weights[i] <= 0) {
                VeskError(88);
                return 0.0;
            }
            b = std::log(Weights[i]);
        } else {
            b = Weights[i] - 1;
        }
        double a;
        if (logValues == 1) {
            if (data[i] <= 0) {
                VeskError(88);
                return 0.0;
            }
            a = std::log(data[i]) - lnMean;
        } else {
            a = data[i] - Mean;
        }
        sab += a * b;
        saa += a * a;
        sbb += b * b;
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : sab;
}

Stat_Weighted& Stat_Weighted::operator=(const Stat_Weighted& other) {
    if (this == &other) return *this;
    double* w = other.n > 0 ? CopyDoubles(other.Weights, other.n) : nullptr;
    if (other.n > 0 && w == nullptr) {
        VeskError(1);
        return *this;
    }
    const double* before = data;
    Stat::operator=(other);
    if (data == before) {  // the Stat part was refused storage: unchanged
        delete[] w;
        return *this;
    }
    delete[] Weights;
    Weights = w;
    WeightsDistrType = other.WeightsDistrType;
    DispOfWeights = other.DispOfWeights;
    WeightsCorr = other.WeightsCorr;
    WeightedMean = other.WeightedMean;
    WeightedSEM2 = other.WeightedSEM2;
    return *this;
}

Stat_Weighted& Stat_Weighted::operator*=(double c) {
    Stat::operator*=(c);
    WeightedMean *= c;
    WeightedSEM2 = TimesPower(WeightedSEM2, c, c * c, 2);
    WeightsCorr = c > 0 ? WeightsCorr : c < 0 ? -WeightsCorr : 0.0;
    return *this;
}

int Stat_Weighted::isTooLong() { return 0; }

double* Stat_Weighted::GetWeights() { return Weights; }

void Stat_Weighted::FreeWeights(double*) {}

void Stat_Weighted::GetCumulativeDistr(double*& X, double*& F, int& m) {
    if (!AllFinite(Weights, n)) {
        VeskError(3, "Stat_Weighted: a weight is not a finite number");
        X = F = nullptr;
        m = 0;
        return;
    }
    double step = 1.0;
    if (!BeginCumulative(X, F, m, step)) return;
    Scratch<ValuePair> pairBuf(n);
    ValuePair* p = pairBuf.Get();
    if (p == nullptr) {
        AbandonCumulative();
        return;
    }
    for (int i = 0; i < n; ++i) p[i] = {data[i], Weights[i]};
    SortPairsNanLast(p, n);
    double W = p[0].other;
    cumX[0] = p[0].value;
    cumF[0] = W;
    int k = 0;
    for (int i = 1; i < n; ++i) {
        W += p[i].other;
        const int j = static_cast<int>(i / step);
        if (j != k) {
            k = j;
            cumX[j] = p[i].value;
            cumF[j] = W;
        }
    }
    cumN = k + 1;
    EndCumulative(X, F, m);
}

bool Stat_Weighted::WeightedMedian(double& median) {
    return statdetail::WeightedMedian(data, Weights, n, median);
}

// A weighted median of weights that are not all finite numbers is none:
// error 3 and NaN.
bool Stat_Weighted::NonFiniteWeights(double& median) {
    if (AllFinite(Weights, n)) return false;
    VeskError(3, "Stat_Weighted: a weight is not a finite number");
    median = NAN;
    return true;
}

void Stat_Weighted::GetMedian_MAD(double& median, double& spread) {
    if (NoneOrOneValue(data, n, median, spread)) return;
    if (NonFiniteWeights(median)) {
        SampleMedian(data, n, nullptr, &spread);
        return;
    }
    if (n == 2) {
        median = WeightedMean;
        spread = std::fabs(data[0] - data[1]);
        return;
    }
    double sp;
    if (!SampleMedian(data, n, nullptr, &sp)) return;
    double med = 0, se;
    if (FitCentre(*this, med, se) != FittedCentre::Inside && !WeightedMedian(med)) return;
    median = med;
    spread = sp;
}

void Stat_Weighted::GetMedian_SD(double& median, double& seMedian) {
    if (NoneOrOneValue(data, n, median, seMedian)) return;
    if (NonFiniteWeights(median)) {
        seMedian = NAN;
        return;
    }
    const double smallSampleError = std::sqrt(kHalfPi * WeightedSEM2);
    if (n < 5) {
        median = WeightedMean;
        seMedian = smallSampleError;
        return;
    }
    if (MedianFromFit(*this, median, seMedian)) return;
    double med;
    if (!WeightedMedian(med)) return;
    median = med;
    seMedian = smallSampleError;
}

void Stat_Weighted::UpdateVeskObject(Variable& obj) {
    Stat::UpdateVeskObject(obj);
    obj("WeightsDistrType") = static_cast<int>(WeightsDistrType);
    obj("DispOfWeights") = DispOfWeights;
    obj("WeightsCorr") = WeightsCorr;
    obj("WeightedMean") = WeightedMean;
    obj("WeightedSEM2") = WeightedSEM2;
    Variable& w = obj("Weights");
    w.Init(VT_ARRAY, n);
    for (int i = 0; i < n; ++i) w[i] = Weights[i];
}
