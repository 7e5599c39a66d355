// The samples of the statistics benchmarks: n reproducible values, each
// followed by a second number drawn uniformly from [lo, hi) (a dispersion or
// a weight), with every value at index 37 mod 100 moved up by `outlier`.
#pragma once

#include <random>
#include <vector>

struct BenchSample {
    std::vector<double> x, y;
    template <class Distribution>
    BenchSample(long n, unsigned seed, Distribution value, double lo, double hi, double outlier = 0.0)
        : x(static_cast<size_t>(n)), y(static_cast<size_t>(n)) {
        std::mt19937_64 gen(seed);
        std::uniform_real_distribution<double> other(lo, hi);
        for (size_t i = 0; i < x.size(); ++i) {
            x[i] = value(gen);
            if (i % 100 == 37) x[i] += outlier;
            y[i] = other(gen);
        }
    }
    int n() const { return static_cast<int>(x.size()); }
};
