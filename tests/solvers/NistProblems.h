// Certified nonlinear regression problems (tests/data/nist/*.dat, public
// domain reference data sets), shared by the minimizer's and the fitter's
// tests and benchmarks: the data, both starting points, the certified
// parameters, their standard deviations and the residual sum of squares,
// and the model of each problem as a function of x and the parameters.
//
// Load(dir, name) reads dir/name.dat and answers a problem with an empty
// name when the file is missing or malformed (a test reports that itself).
// Lre(value, certified) is the log relative error, capped at the certified
// digits: -log10(|value - certified| / |certified|), 0 for a non-finite value.
#pragma once

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nist {

using Model = double (*)(double x, const double* b);

struct Problem {
    std::string name;
    int p = 0;                                  // number of parameters
    std::vector<double> x, y;                   // observations
    std::vector<double> start[2];               // the two starting points
    std::vector<double> certified, certifiedSd; // parameters and their standard deviations
    double certifiedRss = 0.0;                  // residual sum of squares
    Model model = nullptr;

    // Residual sum of squares of the model at b.
    double Rss(const double* b) const {
        double s = 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            const double r = y[i] - model(x[i], b);
            s += r * r;
        }
        return s;
    }
};

constexpr double kCertifiedDigits = 11.0;

inline double Lre(double value, double certified, double digits = kCertifiedDigits) {
    if (!std::isfinite(value)) return 0.0;
    const double d = std::fabs(value - certified);
    if (d == 0.0) return digits;
    const double lre = certified != 0.0 ? -std::log10(d / std::fabs(certified)) : -std::log10(d);
    return std::clamp(lre, 0.0, digits);
}

// The smallest LRE over the parameters (the measure a run "reaches" at 4).
inline double MinLre(const double* b, const std::vector<double>& certified) {
    double m = kCertifiedDigits;
    for (size_t i = 0; i < certified.size(); ++i) m = std::min(m, Lre(b[i], certified[i]));
    return m;
}

namespace models {
inline double Misra1a(double x, const double* b) { return b[0] * (1.0 - std::exp(-b[1] * x)); }
inline double Chwirut2(double x, const double* b) { return std::exp(-b[0] * x) / (b[1] + b[2] * x); }
inline double DanWood(double x, const double* b) { return b[0] * std::pow(x, b[1]); }
inline double Lanczos3(double x, const double* b) {
    return b[0] * std::exp(-b[1] * x) + b[2] * std::exp(-b[3] * x) + b[4] * std::exp(-b[5] * x);
}
inline double Gauss1(double x, const double* b) {
    const double u = (x - b[3]) / b[4], v = (x - b[6]) / b[7];
    return b[0] * std::exp(-b[1] * x) + b[2] * std::exp(-u * u) + b[5] * std::exp(-v * v);
}
inline double Kirby2(double x, const double* b) {
    return (b[0] + b[1] * x + b[2] * x * x) / (1.0 + b[3] * x + b[4] * x * x);
}
inline double MGH09(double x, const double* b) { return b[0] * (x * x + x * b[1]) / (x * x + x * b[2] + b[3]); }
inline double Thurber(double x, const double* b) {
    const double x2 = x * x, x3 = x2 * x;
    return (b[0] + b[1] * x + b[2] * x2 + b[3] * x3) / (1.0 + b[4] * x + b[5] * x2 + b[6] * x3);
}
inline double Rat43(double x, const double* b) {
    return b[0] / std::pow(1.0 + std::exp(b[1] - b[2] * x), 1.0 / b[3]);
}
}  // namespace models

struct Entry {
    const char* name;
    Model model;
};

// The problems in tests/data/nist, from lower to higher difficulty.
inline const std::vector<Entry>& Problems() {
    static const std::vector<Entry> all = {
        {"Misra1a", models::Misra1a}, {"Chwirut2", models::Chwirut2}, {"DanWood", models::DanWood},
        {"Lanczos3", models::Lanczos3}, {"Gauss1", models::Gauss1}, {"Kirby2", models::Kirby2},
        {"MGH09", models::MGH09}, {"Thurber", models::Thurber}, {"Rat43", models::Rat43}};
    return all;
}

// Reads "lines A to B" of the header line that starts with `label`.
inline bool LineRange(const std::vector<std::string>& lines, const std::string& label, int& from, int& to) {
    for (const auto& l : lines) {
        const auto at = l.find(label);
        if (at == std::string::npos) continue;
        const auto open = l.find("(lines", at);
        if (open == std::string::npos) return false;
        std::istringstream s(l.substr(open + 6));
        std::string word;
        return static_cast<bool>(s >> from >> word >> to) && word == "to" && from >= 1 && to >= from;
    }
    return false;
}

inline Problem Load(const std::string& dir, const Entry& entry) {
    Problem pr;
    std::ifstream in(dir + "/" + entry.name + ".dat");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    int s0 = 0, s1 = 0, d0 = 0, d1 = 0;
    if (!LineRange(lines, "Starting Values", s0, s1) || !LineRange(lines, "Data ", d0, d1) ||
        d1 > static_cast<int>(lines.size()))
        return pr;
    for (int i = s0; i <= s1; ++i) {  // "b1 = start1 start2 certified sd"
        std::istringstream s(lines[i - 1]);
        std::string b, eq;
        double v[4];
        if (!(s >> b >> eq >> v[0] >> v[1] >> v[2] >> v[3])) return pr;
        pr.start[0].push_back(v[0]), pr.start[1].push_back(v[1]);
        pr.certified.push_back(v[2]), pr.certifiedSd.push_back(v[3]);
    }
    for (const auto& l : lines)
        if (l.find("Residual Sum of Squares:") != std::string::npos)
            std::istringstream(l.substr(l.find(':') + 1)) >> pr.certifiedRss;
    for (int i = d0; i <= d1; ++i) {  // "y x"
        std::istringstream s(lines[i - 1]);
        double y, x;
        if (!(s >> y >> x)) return pr;
        pr.y.push_back(y), pr.x.push_back(x);
    }
    if (pr.certifiedRss <= 0.0) return pr;
    pr.p = static_cast<int>(pr.certified.size());
    pr.model = entry.model;
    pr.name = entry.name;
    return pr;
}

}  // namespace nist
