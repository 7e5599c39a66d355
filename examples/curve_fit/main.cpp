// Fits y = a exp(-b t) + c to 40 measurements with known dispersion by
// LeastSquaresFit in its data form: a native model, the sigmas as known
// standard deviations, a box for the parameters, Solve, GetResult,
// GetStandardErrors and GetRSS (the same data and box as examples/climb_fit,
// which minimises chi^2 with Climb).
//
// Exit status 0 when the fit converges and recovers the parameters the data
// were made with (within three standard errors), 1 otherwise.
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "host/Plugin.h"
#include "runtime/VeskRuntime.h"
#include "solvers/LeastSquaresFit.h"

namespace {

constexpr int kPoints = 40;
constexpr double kSigma = 0.02;

// The model at x for the parameters p = (a, b, c).
double Decay(double x, MatVector& p, Variable&) { return p[0] * std::exp(-p[1] * x) + p[2]; }

// Measurements of 2.5 exp(-0.8 t) + 0.3 with fixed pseudo-random errors of
// dispersion kSigma (sums of uniform deviates).
void MakeData(double* t, double* y) {
    std::uint64_t state = 12345;
    auto uniform = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    };
    for (int k = 0; k < kPoints; ++k) {
        double e = 0.0;
        for (int j = 0; j < 12; ++j) e += uniform();
        t[k] = 0.125 * k;
        y[k] = 2.5 * std::exp(-0.8 * t[k]) + 0.3 + kSigma * (e - 6.0);
    }
}

}  // namespace

int main() {
    // The host has its processor already; a stand-alone client makes the
    // stand-in host's and hands it to the module as the host would.
    Processor processor;
    vrt::SetCurrentProcessor(&processor);
    VeskPlugin_Init(&processor);

    double t[kPoints], y[kPoints], sigma[kPoints];
    MakeData(t, y);
    for (double& s : sigma) s = kSigma;
    Variable model(static_cast<VInt64>(reinterpret_cast<std::intptr_t>(&Decay)));

    double box[6] = {0.0, 10.0, 0.01, 5.0, -1.0, 1.0};  // a, b, c
    double start[3] = {1.0, 1.0, 0.0};
    LeastSquaresFit fit(model, kPoints, t, y, sigma, 3, box, start);
    fit.SetSigmaKnown(1);
    const int status = fit.Solve();
    if (status > LeastSquaresFit::kRounding) {
        std::printf("no solution (status %d)\n", status);
        return 1;
    }
    MatVectorCol& p = fit.GetResult();
    MatVectorCol& err = fit.GetStandardErrors();
    const double truth[3] = {2.5, 0.8, 0.3};
    const char* names[3] = {"a", "b", "c"};
    bool recovered = true;
    std::printf("chi^2 = %.4f for %d points, %d evaluations\n", fit.GetRSS(), kPoints, fit.GetEvaluations());
    for (int i = 0; i < 3; ++i) {
        std::printf("%s = %.5f +- %.5f (made with %.2f)\n", names[i], p[i], err[i], truth[i]);
        recovered = recovered && std::fabs(p[i] - truth[i]) < 3 * err[i];
    }
    return recovered ? 0 : 1;
}
