// Prints the C library's Γ(ν + 1) and ln Γ(ν + 1) for ν = 0, 0.1, ..., 170
// (ν + 1 rounded to double as the module rounds it), one ν a line in hex:
//     ν  tgamma(ν + 1)  (double) tgamma((long double)(ν + 1))  lgamma(ν + 1)
// Built with each compiler and run on each platform, the outputs go to
// gamma_probe.py, which counts agreement and ulps against mpmath:
//     g++ -O2 -ffp-contract=off gamma_probe.cpp -o gamma_probe
//     x86_64-w64-mingw32-g++-posix -O2 -ffp-contract=off gamma_probe.cpp -o gamma_probe.exe
// The step is read through a volatile so that the compiler folds no call.
#include <cmath>
#include <cstdio>

int main() {
    volatile double step = 0.1;
    for (int k = 0; k <= 1700; ++k) {
        const double nu = k * step;
        const double a = nu + 1.0;
        std::printf("%a %a %a %a\n", nu, std::tgamma(a),
                    static_cast<double>(std::tgamma(static_cast<long double>(a))), std::lgamma(a));
    }
    return 0;
}
