// Support of the robust, weighted and most-probable-value tests: an
// error-recording fixture, reproducible samples and the reference table.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/VeskRuntime.h"

using Values = std::vector<double>;

// The cumulative fit behind the medians runs its minimizer through a host
// processor: every test has one.
class RobustTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::SetCurrentProcessor(&proc);
        vrt::ClearErrors();
    }
    void TearDown() override {
        vrt::ClearErrors();
        vrt::SetCurrentProcessor(nullptr);
    }
    Processor proc;
    // Exactly one error since the last check, with this code; clears the record.
    static void ExpectOneError(int code) {
        ASSERT_EQ(vrt::Errors().size(), 1u);
        EXPECT_EQ(vrt::Errors()[0].code, code);
        vrt::ClearErrors();
    }
    static void ExpectNoError() { EXPECT_TRUE(vrt::Errors().empty()); }
};

// Reproducible deviates on every platform (no standard distribution, whose
// algorithm the library chooses): splitmix64 and Box-Muller.
class Deviates {
public:
    explicit Deviates(std::uint64_t seed) : state_(seed) {}
    double Uniform() {  // in (0, 1)
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) / 9007199254740992.0;
    }
    double Normal() {
        const double u = Uniform(), v = Uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * v);
    }

private:
    std::uint64_t state_;
};

inline Values NormalSample(int n, double mean, double sd, std::uint64_t seed) {
    Deviates g(seed);
    Values x(n);
    for (double& v : x) v = mean + sd * g.Normal();
    return x;
}

inline Values UniformSample(int n, double lo, double hi, std::uint64_t seed) {
    Deviates g(seed);
    Values x(n);
    for (double& v : x) v = lo + (hi - lo) * g.Uniform();
    return x;
}

inline Values Scaled(Values x, double k, double c = 0) {
    for (double& v : x) v = v * k + c;
    return x;
}

// A case of tests/data/stat_robust_reference.txt.
struct ReferenceCase {
    std::string kind, name;
    Values values;
    double expect;
};

inline std::vector<ReferenceCase> ReadRobustReference() {
    std::vector<ReferenceCase> cases;
    std::ifstream in(VESK_TEST_DATA_DIR "/stat_robust_reference.txt");
    std::string kind;
    while (in >> kind) {
        ReferenceCase c;
        int n = 0;
        c.kind = kind;
        in >> c.name >> n;
        c.values.resize(n);
        for (double& v : c.values) in >> v;
        std::string word;
        in >> word >> c.expect;
        cases.push_back(c);
    }
    return cases;
}
