// Shared pieces of the linear-algebra tests: a fixture that owns the host
// error log, deterministic matrix generators and norms.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "linalg/Matrix.h"
#include "runtime/VeskRuntime.h"

namespace linalg_test {

constexpr double kEps = 2.220446049250313e-16;

// Every test starts without errors and with the default vector length.
class LinalgTest : public ::testing::Test {
protected:
    void SetUp() override {
        vrt::ClearErrors();
        MatVector::SetDefaultSize(1);
    }
    void TearDown() override {
        vrt::SetCurrentProcessor(nullptr);
        vrt::ClearErrors();
        MatVector::SetDefaultSize(1);
    }
    static std::vector<int> ErrorCodes() {
        std::vector<int> codes;
        for (const auto& e : vrt::Errors()) codes.push_back(e.code);
        return codes;
    }
};

// Deterministic uniform doubles in [-1, 1) (splitmix64), identical on every
// platform.
class Generator {
public:
    explicit Generator(std::uint64_t seed) : state_(seed) {}
    double Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
    }
    Matrix Random(int rows, int cols) {
        Matrix m(rows, cols);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) m(i, j) = Next();
        return m;
    }
    // A random orthogonal n x n matrix: a product of n Householder reflections.
    Matrix Orthogonal(int n) {
        Matrix q(n);
        q.SetDiagonal(1.0);
        for (int r = 0; r < n; ++r) {
            std::vector<double> v(static_cast<size_t>(n));
            double norm2 = 0.0;
            for (auto& x : v) {
                x = Next();
                norm2 += x * x;
            }
            for (int i = 0; i < n; ++i) {
                double dot = 0.0;
                for (int j = 0; j < n; ++j) dot += q(i, j) * v[static_cast<size_t>(j)];
                for (int j = 0; j < n; ++j) q(i, j) -= 2.0 * dot / norm2 * v[static_cast<size_t>(j)];
            }
        }
        return q;
    }
    // rows x cols with the given singular values (the rest 0): U diag(s) V^T.
    Matrix WithSingularValues(int rows, int cols, const std::vector<double>& s) {
        Matrix u = Orthogonal(rows);
        Matrix v = Orthogonal(cols);
        Matrix a(rows, cols);
        for (size_t k = 0; k < s.size(); ++k)
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < cols; ++j)
                    a(i, j) += u(i, static_cast<int>(k)) * s[k] * v(j, static_cast<int>(k));
        return a;
    }

private:
    std::uint64_t state_;
};

// Largest absolute row sum.
inline double NormInf(const Matrix& m) {
    double best = 0.0;
    for (int i = 0; i < m.Y(); ++i) {
        double s = 0.0;
        for (int j = 0; j < m.X(); ++j) s += std::fabs(m(i, j));
        best = std::max(best, s);
    }
    return best;
}

// Plain product in long double, independent of Matrix::operator*.
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

inline Matrix Transposed(const Matrix& a) {
    Matrix t(a.X(), a.Y());
    for (int i = 0; i < a.Y(); ++i)
        for (int j = 0; j < a.X(); ++j) t(j, i) = a(i, j);
    return t;
}

// Infinity norm of a - b (same shape).
inline double DiffInf(const Matrix& a, const Matrix& b) {
    Matrix d(a);
    d -= b;
    return NormInf(d);
}

// A matrix from a list of rows of equal length.
inline Matrix FromRows(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (double v : row) m(i, j++) = v;
        ++i;
    }
    return m;
}

inline Matrix Identity(int n) {
    Matrix m(n);
    m.SetDiagonal(1.0);
    return m;
}

inline bool SameBits(const Matrix& a, const Matrix& b) {
    if (a.X() != b.X() || a.Y() != b.Y()) return false;
    const long n = static_cast<long>(a.X()) * a.Y();
    return n == 0 || std::memcmp(a[0], b[0], static_cast<size_t>(n) * sizeof(double)) == 0;
}

}  // namespace linalg_test
