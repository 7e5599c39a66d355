// Fits y = a exp(-b t) + c to 40 measurements with known dispersion by
// minimising chi^2 with Climb: a native objective, a box for the
// parameters, Solve, GetResult and GetCovariationMatrix.
//
// For chi^2 the covariance of the parameters is twice the inverse of its
// Hessian, which is what GetCovariationMatrix answers. Exit status 0 when
// the fit recovers the parameters the data were made with (within three
// standard errors), 1 otherwise.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/Climb.h"

namespace {

constexpr int kPoints = 40;
constexpr double kSigma = 0.02;

struct Data {
    double t[kPoints];
    double y[kPoints];
};

// chi^2 of the parameters p = (a, b, c); extra holds a native pointer to
// the data.
double Chi2(MatVector& p, Variable& extra) {
    const Data* d = static_cast<const Data*>(extra.GetCppPointer());
    double s = 0.0;
    for (int k = 0; k < kPoints; ++k) {
        const double r = (d->y[k] - (p[0] * std::exp(-p[1] * d->t[k]) + p[2])) / kSigma;
        s += r * r;
    }
    return s;
}

// Measurements of 2.5 exp(-0.8 t) + 0.3 with fixed pseudo-random errors of
// dispersion kSigma (sums of uniform deviates).
void MakeData(Data& d) {
    std::uint64_t state = 12345;
    auto uniform = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    };
    for (int k = 0; k < kPoints; ++k) {
        double e = 0.0;
        for (int j = 0; j < 12; ++j) e += uniform();
        d.t[k] = 0.125 * k;
        d.y[k] = 2.5 * std::exp(-0.8 * d.t[k]) + 0.3 + kSigma * (e - 6.0);
    }
}

}  // namespace

int main() {
    // The host has its processor already; a stand-alone client makes the
    // stand-in host's and hands it to the module as the host would.
    Processor processor;
    vrt::SetCurrentProcessor(&processor);
    VeskPlugin_Init(&processor);

    Data data;
    MakeData(data);
    Variable objective(static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&Chi2)));
    Variable extra(static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&data)));

    double box[6] = {0.0, 10.0, 0.01, 5.0, -1.0, 1.0};  // a, b, c
    double start[3] = {1.0, 1.0, 0.0};
    Climb fit(objective, 3, box, start, 1e-10);
    fit.SetExtraParam(extra);
    fit.Solve();

    MatVectorCol p(fit.GetResult());
    std::unique_ptr<Matrix> cov(fit.GetCovariationMatrix(p));
    if (cov == nullptr) {
        std::printf("no covariance\n");
        return 1;
    }
    const double truth[3] = {2.5, 0.8, 0.3};
    const char* names[3] = {"a", "b", "c"};
    bool recovered = true;
    std::printf("chi^2 = %.4f for %d points\n", Chi2(p, extra), kPoints);
    for (int i = 0; i < 3; ++i) {
        const double err = std::sqrt((*cov)(i, i));
        std::printf("%s = %.5f +- %.5f (made with %.2f)\n", names[i], p[i], err, truth[i]);
        recovered = recovered && std::fabs(p[i] - truth[i]) < 3 * err;
    }
    return recovered ? 0 : 1;
}
