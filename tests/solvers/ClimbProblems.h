// Test problems of the minimizer, shared by its tests and its benchmarks.
#pragma once

#include <cmath>
#include <vector>

namespace climb_problems {

using Vec = std::vector<double>;

// Extended Rosenbrock: independent pairs, minimum 0 at (1, 1, ...).
inline double Rosenbrock(const double* x, int n) {
    double s = 0.0;
    for (int k = 0; k + 1 < n; k += 2) {
        const double a = x[k + 1] - x[k] * x[k], b = 1.0 - x[k];
        s += 100.0 * a * a + b * b;
    }
    return s;
}

// (x - c)' A (x - c) for a row-major A: r = A (x - c), then sum (x_i - c_i) r_i.
inline double Quadratic(const double* a, const double* c, const double* x, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) {
        double r = 0.0;
        for (int j = 0; j < n; ++j) r += a[i * n + j] * (x[j] - c[j]);
        s += (x[i] - c[i]) * r;
    }
    return s;
}

// Q diag(10^(4k/(n-1))) Q, Q the reflection along (1, 2, ..., n): condition 1e4, no eigenvector on an axis.
inline Vec IllConditioned(int n) {
    Vec q(n * n), a(n * n, 0.0);
    double vv = 0.0;
    for (int i = 0; i < n; ++i) vv += (i + 1.0) * (i + 1.0);
    for (int ij = 0; ij < n * n; ++ij) q[ij] = (ij % (n + 1) == 0) - 2.0 * (ij / n + 1.0) * (ij % n + 1.0) / vv;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                a[i * n + j] += q[i * n + k] * std::pow(10.0, 4.0 * k / (n - 1)) * q[k * n + j];
    return a;
}

inline Vec Box(int n, double lo, double hi) {
    Vec b;
    for (int i = 0; i < n; ++i) b.push_back(lo), b.push_back(hi);
    return b;
}

inline Vec Repeat(const Vec& pattern, int n) {
    Vec v;
    while (static_cast<int>(v.size()) < n) v.push_back(pattern[v.size() % pattern.size()]);
    return v;
}

// (x - c)' A (x - c) over a box, A symmetric positive definite.
struct BoxQuadratic {
    int n = 0;
    Vec a, c, bounds, start;
    double Value(const double* x) const { return Quadratic(a.data(), c.data(), x, n); }
};

// The exact constrained minimum, independent of the code under test: exact
// coordinate steps clamped into the box, in long double, until none moves.
inline Vec SolveBoxQuadratic(const BoxQuadratic& q) {
    const int n = q.n;
    std::vector<long double> x(n);
    int sweeps = 0;
    for (int i = 0; i < n; ++i) x[i] = (static_cast<long double>(q.bounds[2 * i]) + q.bounds[2 * i + 1]) / 2;
    for (long double moved = 1; moved > 1e-17L && sweeps++ < 1000000;) {
        moved = 0;
        for (int i = 0; i < n; ++i) {
            long double g = 0;
            for (int j = 0; j < n; ++j) g += static_cast<long double>(q.a[i * n + j]) * (x[j] - q.c[j]);
            const long double v = std::fmin(std::fmax(x[i] - g / q.a[i * n + i], q.bounds[2 * i]), q.bounds[2 * i + 1]);
            moved = std::fmax(moved, std::fabs(v - x[i]));
            x[i] = v;
        }
    }
    return Vec(x.begin(), x.end());
}

// Random A = M'M + 0.1 I (M uniform in [-1, 1) from rnd.Next()), a box of
// half-widths in [0.5, 2], the free minimum beyond the box in one coordinate.
template <class Rng>
BoxQuadratic RandomBoxQuadratic(Rng& rnd, int n) {
    auto uniform = [&rnd](double lo, double hi) { return lo + (hi - lo) * (rnd.Next() + 1.0) / 2.0; };
    BoxQuadratic q;
    q.n = n;
    Vec m(static_cast<size_t>(n) * n);
    for (double& v : m) v = rnd.Next();
    for (int ij = 0; ij < n * n; ++ij) {
        q.a.push_back(ij % (n + 1) == 0 ? 0.1 : 0.0);
        for (int k = 0; k < n; ++k) q.a.back() += m[k * n + ij / n] * m[k * n + ij % n];
    }
    for (int i = 0; i < n; ++i) {
        const double lo = -uniform(0.5, 2.0), hi = uniform(0.5, 2.0);
        q.bounds.insert(q.bounds.end(), {lo, hi});
        q.start.push_back(uniform(0.8 * lo, 0.8 * hi));
        q.c.push_back(uniform(1.5 * lo, 1.5 * hi));
    }
    const int pushed = static_cast<int>(uniform(0.0, 1.0) * n);
    q.c[pushed] = q.bounds[2 * pushed + 1] + uniform(0.5, 2.0);
    return q;
}

}  // namespace climb_problems
