// Shared pieces of the statistics tests: the error-record fixture, access to
// Stat's protected parts, and the reference table written by
// tests/data/gen_stat_reference.py.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/VeskRuntime.h"
#include "tests/host/ErrorTest.h"
#include "stat/Stat.h"

struct StatTestAccess {
    static double* Values(Stat& s) { return s.data; }
    static double* Dispersions(Stat& s) { return s.dataDisp; }
    static double Sum(Stat& s) { return s.Sum; }
    static double LogNormMean(Stat& s) { return s.LogNormMean; }
    static double LogNormDisp(Stat& s) { return s.LogNormDisp; }
    static int CumN(Stat& s) { return s.cumN; }
    static double* CumX(Stat& s) { return s.cumX; }
    static double Gauss(Stat& s, std::vector<double> x) {
        return s.GetLogLikelihoodOfGauss(x.data(), static_cast<int>(x.size()));
    }
    static double LogNormal(Stat& s, std::vector<double> x) {
        return s.GetLogLikelihoodOfLogNormal(x.data(), static_cast<int>(x.size()));
    }
    static MatVectorCol* Fit(Stat& s, double* X, double* F, int m) {
        return s.FitCumulativeDistribution(X, F, m);
    }
};

class StatTest : public ErrorTest {};

// One line of the reference table: its kind and its '|'-separated fields,
// each a list of doubles.
struct StatReferenceRow {
    std::string kind;
    std::vector<std::vector<double>> fields;
};

inline std::vector<StatReferenceRow> ReadStatReference(const std::string& kind) {
    std::vector<StatReferenceRow> rows;
    std::ifstream in(std::string(VESK_TEST_DATA_DIR) + "/stat_reference.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::stringstream ls(line);
        std::string part;
        StatReferenceRow row;
        std::getline(ls, part, '|');
        std::stringstream(part) >> row.kind;
        if (row.kind != kind) continue;
        while (std::getline(ls, part, '|')) {
            std::stringstream ps(part);
            std::vector<double> values;
            std::string token;
            while (ps >> token) values.push_back(std::stod(token));
            row.fields.push_back(values);
        }
        rows.push_back(row);
    }
    return rows;
}
