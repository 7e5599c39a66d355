// Stat: the model functions of the location likelihood and their selectors,
// and the cached empirical cumulative distribution.
#include <cmath>

#include "special/Gamma.h"
#include "stat/Stat.h"
#include "stat/StatInternal.h"

namespace {

// Per-value terms of the four models. Linear forms take the distance
// Δ = x − m and the dispersion d; log-normal forms the log distance and σ².

double TermHeavyErf(double delta, double d) {
    double a = std::fabs(delta);
    // √(2d) as √2·√d when 2d overflows (d ≥ 9e307), which made every term ∞.
    const double twoD = 2.0 * d;
    const double r = std::isfinite(twoD) ? std::sqrt(twoD) : std::sqrt(2.0) * std::sqrt(d);
    double z = a / r;
    if (z < 1e-5) {
        z = 1e-5;
        a = 1e-5 * r;
    }
    return -std::log(Erf(z) / a);
}

double TermHeavyErfLog(double delta, double sigma2) {
    double a2 = delta * delta;
    if (a2 < 1e-10) a2 = 1e-10;
    const double a = std::sqrt(a2);
    const double z = std::sqrt(a2 / (2.0 * sigma2));
    return -std::log(Erf(z) / a);
}

double TermHeavyExp(double delta, double d) {
    const double u = delta * delta / d;
    const double t = 1.0 - std::exp(-0.5 * u);
    if (t == 0.0) return -std::log(0.5);
    return -std::log(t / u);
}

double TermHeavyExpLog(double delta, double sigma2) {
    const double delta2 = delta * delta;
    const double t = 1.0 - std::exp(-delta2 / (2.0 * sigma2));
    if (t == 0.0) return -std::log(0.5);
    return -std::log(t / delta2);
}

double TermCauchy(double delta, double d) { return std::log(1.0 + delta * delta / (2.0 * d)); }

double TermGauss(double delta, double d) { return delta * delta / (2.0 * d); }

using Term = double (*)(double, double);

// Σ w[i]·term(x[i] − m, d[i]).
template <Term term>
double LinearModel(double m, double* x, double* d, double* w, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += w[i] * term(x[i] - m, d[i]);
    return sum;
}

// Σ w[i]·term(ln(x/(√s·m)), ln s) with s = 1 + d/x².
template <Term term>
double LogNormalModel(double m, double* x, double* d, double* w, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double s = 1.0 + d[i] / (x[i] * x[i]);
        const double sigma2 = std::log(s);
        const double delta = std::log(x[i] / (std::sqrt(s) * m));
        sum += w[i] * term(delta, sigma2);
    }
    return sum;
}

// The host form: v = (address of x, address of d, address of w, n).
template <CProbFunc f>
double HostModel(double m, Variable& v) {
    double* x = static_cast<double*>(v[0].GetCppPointer());
    double* d = static_cast<double*>(v[1].GetCppPointer());
    double* w = static_cast<double*>(v[2].GetCppPointer());
    const int n = static_cast<int>(v[3]);
    return f(m, x, d, w, n);
}

constexpr CProbFunc kLinear[4] = {LinearModel<TermHeavyErf>, LinearModel<TermHeavyExp>,
                                  LinearModel<TermCauchy>, LinearModel<TermGauss>};
constexpr CProbFunc kLogNormal[4] = {LogNormalModel<TermHeavyErfLog>, LogNormalModel<TermHeavyExpLog>,
                                     LogNormalModel<TermCauchy>, LogNormalModel<TermGauss>};
constexpr ProbFunc kHostLinear[4] = {HostModel<kLinear[0]>, HostModel<kLinear[1]>, HostModel<kLinear[2]>,
                                     HostModel<kLinear[3]>};
constexpr ProbFunc kHostLogNormal[4] = {HostModel<kLogNormal[0]>, HostModel<kLogNormal[1]>,
                                        HostModel<kLogNormal[2]>, HostModel<kLogNormal[3]>};

int ModelIndex(int type) { return type == 0 || type == 1 || type == 2 ? type : 3; }

}  // namespace

ProbFunc Stat::GetProbFuncPtr(int type, int logScale) {
    return logScale != 0 ? kHostLogNormal[ModelIndex(type)] : kHostLinear[ModelIndex(type)];
}

CProbFunc Stat::GetCProbFuncPtr(int type, int logScale) {
    return logScale != 0 ? kLogNormal[ModelIndex(type)] : kLinear[ModelIndex(type)];
}

bool Stat::BeginCumulative(double*& X, double*& F, int& m, double& step) {
    if (cumX != nullptr && cumF != nullptr) {
        X = cumX;
        F = cumF;
        m = cumN;
        return false;
    }
    delete[] cumX;
    delete[] cumF;
    cumX = cumF = nullptr;
    cumN = 0;
    if (n <= 0) {
        X = F = nullptr;
        m = 0;
        return false;
    }
    const int M = n < 1000 ? n : 1000;
    step = static_cast<double>(n) / M;
    if (step < 1.0) step = 1.0;
    cumX = statdetail::NewDoubles(M + 10);
    cumF = statdetail::NewDoubles(M + 10);
    if (cumX == nullptr || cumF == nullptr) {
        AbandonCumulative();
        return false;
    }
    return true;
}

void Stat::AbandonCumulative() {
    delete[] cumX;
    delete[] cumF;
    cumX = cumF = nullptr;
    cumN = 0;
    VeskError(1);
}

void Stat::EndCumulative(double*& X, double*& F, int& m) {
    statdetail::FinishCumulative(cumX, cumF, cumN);
    X = cumX;
    F = cumF;
    m = cumN;
}

void Stat::GetCumulativeDistr(double*& X, double*& F, int& m) {
    double step = 1.0;
    if (!BeginCumulative(X, F, m, step)) return;
    statdetail::Scratch<double> scratch(n);
    double* sorted = scratch.Get();
    if (sorted == nullptr) {
        AbandonCumulative();
        return;
    }
    for (int i = 0; i < n; ++i) sorted[i] = data[i];

    // Bucket j starts at the first sorted index i with trunc(i/step) = j.
    // Only those ranks are read, so above 1000 values they are selected
    // instead of sorting everything; the points are the same.
    int ranks[1000];
    int k = -1;
    for (int i = 0; i < n; ++i) {
        const int j = static_cast<int>(i / step);
        if (j != k) {
            k = j;
            ranks[j] = i;
        }
    }
    cumN = k + 1;
    if (cumN == n) {
        statdetail::SortNanLast(sorted, n);
    } else {
        statdetail::SelectRanksNanLast(sorted, n, ranks, cumN);
    }
    for (int j = 0; j < cumN; ++j) cumX[j] = sorted[ranks[j]];
    for (int j = 0; j < cumN; ++j) cumF[j] = j + 1;
    EndCumulative(X, F, m);
}
