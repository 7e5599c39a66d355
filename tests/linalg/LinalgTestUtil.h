// Shared pieces of the linear-algebra tests: a fixture that owns the host
// error log, deterministic matrices and independent matrix arithmetic.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "linalg/Matrix.h"
#include "runtime/VeskRuntime.h"

namespace linalg_test {

constexpr double kEps = 2.220446049250313e-16;
using Values = std::vector<double>;

// Every test starts without errors, processor or changed default length.
class LinalgTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        vrt::SetCurrentProcessor(nullptr);
        vrt::ClearErrors();
        MatVector::SetDefaultSize(1);
    }
    static std::vector<int> Codes() {
        std::vector<int> codes;
        for (const auto& e : vrt::Errors()) codes.push_back(e.code);
        return codes;
    }
};

inline Matrix FromRows(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
    int k = 0;
    for (const auto& row : rows)
        for (double v : row) m[0][k++] = v;
    return m;
}

inline Matrix Identity(int n) {
    Matrix m(n);
    m.SetDiagonal(1.0);
    return m;
}

inline Matrix Transposed(const Matrix& a) {
    Matrix t(a.X(), a.Y());
    for (int i = 0; i < a.Y(); ++i)
        for (int j = 0; j < a.X(); ++j) t(j, i) = a(i, j);
    return t;
}

// Product in long double, independent of Matrix::operator*.
inline Matrix Product(const Matrix& a, const Matrix& b) {
    Matrix c(a.Y(), b.X());
    for (int i = 0; i < a.Y(); ++i)
        for (int j = 0; j < b.X(); ++j) {
            long double s = 0.0L;
            for (int k = 0; k < a.X(); ++k) s += static_cast<long double>(a(i, k)) * b(k, j);
            c(i, j) = static_cast<double>(s);
        }
    return c;
}

// Largest absolute row sum, of a or of a - b.
inline double NormInf(const Matrix& a, const Matrix* b = nullptr) {
    double best = 0.0;
    for (int i = 0; i < a.Y(); ++i) {
        double s = 0.0;
        for (int j = 0; j < a.X(); ++j) s += std::fabs(a(i, j) - (b ? (*b)(i, j) : 0.0));
        best = std::max(best, s);
    }
    return best;
}
inline double DiffInf(const Matrix& a, const Matrix& b) { return NormInf(a, &b); }

// Same shape and bits (any two NaNs count as equal).
inline bool SameBits(const Matrix& a, const Matrix& b) {
    for (int i = 0; a.X() == b.X() && a.Y() == b.Y() && i < a.X() * a.Y(); ++i) {
        const double x = a[0][i], y = b[0][i];
        if (std::memcmp(&x, &y, sizeof x) != 0 && !(std::isnan(x) && std::isnan(y))) return false;
    }
    return a.X() == b.X() && a.Y() == b.Y();
}

// Deterministic uniform doubles in [-1, 1) (splitmix64) and matrices of them.
class Generator {
public:
    explicit Generator(std::uint64_t seed) : state_(seed) {}
    double Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1.0p-52 - 1.0;
    }
    Matrix Random(int rows, int cols) {
        Matrix m(rows, cols);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) m(i, j) = Next();
        return m;
    }
    // X diag(s) Y with random X (rows x k) and Y (k x cols), k = s.size():
    // rank k, and badly conditioned when the values of s spread widely.
    Matrix Scaled(int rows, int cols, const Values& s) {
        const int k = static_cast<int>(s.size());
        Matrix x = Random(rows, k), y = Random(k, cols);
        for (int i = 0; i < rows * k; ++i) x(i / k, i % k) *= s[i % k];
        return Product(x, y);
    }

private:
    std::uint64_t state_;
};

}  // namespace linalg_test
