// Shared pieces of the statistics tests: the fixture (a processor for the
// fit's minimizer, an empty error record), access to Stat's protected parts,
// reproducible samples and the mpmath reference tables.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "runtime/VeskRuntime.h"
#include "stat/Stat.h"

using Values = std::vector<double>;

struct StatTestAccess {
    static double* Dispersions(Stat& s) { return s.dataDisp; }
    static double Sum(Stat& s) { return s.Sum; }
    static double LogNormMean(Stat& s) { return s.LogNormMean; }
    static double LogNormDisp(Stat& s) { return s.LogNormDisp; }
    static double* CumX(Stat& s) { return s.cumX; }
    static double Gauss(Stat& s, Values x) { return s.GetLogLikelihoodOfGauss(x.data(), static_cast<int>(x.size())); }
    static double LogNormal(Stat& s, Values x) {
        return s.GetLogLikelihoodOfLogNormal(x.data(), static_cast<int>(x.size()));
    }
};

class StatTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::SetCurrentProcessor(&proc);
        vrt::ClearErrors();
    }
    void TearDown() override {
        vrt::ClearErrors();
        vrt::SetCurrentProcessor(nullptr);
    }
    // The codes raised since the last check are exactly these; clears them.
    static void ExpectErrors(const std::vector<int>& codes) {
        std::vector<int> got;
        for (const auto& e : vrt::Errors()) got.push_back(e.code);
        EXPECT_EQ(got, codes);
        vrt::ClearErrors();
    }
    Processor proc;
};

// The points of s's cumulative distribution: X and F.
inline std::pair<Values, Values> Cumulative(Stat& s) {
    double *X = nullptr, *F = nullptr;
    int m = 0;
    s.GetCumulativeDistr(X, F, m);
    return {Values(X, X + m), Values(F, F + m)};
}

// Deviates reproducible on every platform: splitmix64 and Box-Muller.
struct Deviates {
    std::uint64_t state;
    double Uniform() {  // in (0, 1)
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return (static_cast<double>((z ^ (z >> 31)) >> 11) + 0.5) / 9007199254740992.0;
    }
    double Normal() {
        const double u = Uniform(), v = Uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
};

inline Values NormalSample(int n, double mean, double sd, std::uint64_t seed, bool uniform = false) {
    Deviates g{seed};
    Values x(n);
    for (double& v : x) v = uniform ? mean + (sd - mean) * g.Uniform() : mean + sd * g.Normal();
    return x;
}

inline Values UniformSample(int n, double lo, double hi, std::uint64_t seed) {
    return NormalSample(n, lo, hi, seed, true);
}

inline Values Scaled(Values x, double k, double c = 0) {
    for (double& v : x) v = v * k + c;
    return x;
}

// Rows of one kind of stat_reference.txt: '|'-separated lists of doubles.
inline std::vector<std::vector<Values>> ReadStatReference(const std::string& kind) {
    std::vector<std::vector<Values>> rows;
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/stat_reference.txt");
    std::string line, part, rowKind;
    while (std::getline(in, line)) {
        std::stringstream ls(line);
        std::getline(ls, part, '|');
        std::stringstream(part) >> rowKind;
        if (rowKind != kind) continue;
        rows.emplace_back();
        while (std::getline(ls, part, '|')) {
            std::stringstream ps(part);
            Values values;
            for (double v; ps >> v;) values.push_back(v);
            rows.back().push_back(values);
        }
    }
    return rows;
}

// A case of stat_robust_reference.txt: kind, name, n values, the expectation.
struct RobustCase {
    std::string kind, name;
    Values values;
    double expect = 0;
};

inline std::vector<RobustCase> ReadRobustReference(const std::string& kind) {
    std::vector<RobustCase> cases;
    std::ifstream in(VESK_TEST_DATA_DIR "/stat_robust_reference.txt");
    RobustCase c;
    int n = 0;
    std::string word;
    while (in >> c.kind >> c.name >> n) {
        c.values.resize(n);
        for (double& v : c.values) in >> v;
        in >> word >> c.expect;
        if (c.kind == kind) cases.push_back(c);
    }
    return cases;
}
