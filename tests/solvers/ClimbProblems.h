// Test problems of the minimizer, shared by its tests and its benchmarks:
// Rosenbrock's function, an ill-conditioned quadratic, and convex quadratics
// over a box with their exact constrained minimum.
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

// A = Q diag(10^(4k/(n-1))) Q with the Householder reflection Q = I - 2vv'/v'v,
// v = (1, 2, ..., n): condition 1e4, no axis along an eigenvector.
inline Vec IllConditioned(int n) {
    Vec q(n * n), a(n * n, 0.0);
    double vv = 0.0;
    for (int i = 0; i < n; ++i) vv += (i + 1.0) * (i + 1.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) q[i * n + j] = (i == j) - 2.0 * (i + 1.0) * (j + 1.0) / vv;
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

struct BoxMinimum {
    Vec x;
    double f = 0.0;
    int activeBounds = 0;
};

// The constrained minimum, independent of the code under test: cyclic
// coordinate descent with exact steps, clamped into the box, in long double
// (it converges to the minimum for a positive definite A), until a sweep
// moves no coordinate by more than 1e-17.
inline BoxMinimum SolveBoxQuadratic(const BoxQuadratic& q) {
    const int n = q.n;
    std::vector<long double> x(n);
    for (int i = 0; i < n; ++i) x[i] = (static_cast<long double>(q.bounds[2 * i]) + q.bounds[2 * i + 1]) / 2;
    for (int sweep = 0; sweep < 1000000; ++sweep) {
        long double moved = 0;
        for (int i = 0; i < n; ++i) {
            long double g = 0;
            for (int j = 0; j < n; ++j) g += static_cast<long double>(q.a[i * n + j]) * (x[j] - q.c[j]);
            const long double v = std::fmin(std::fmax(x[i] - g / q.a[i * n + i], q.bounds[2 * i]), q.bounds[2 * i + 1]);
            moved = std::fmax(moved, std::fabs(v - x[i]));
            x[i] = v;
        }
        if (moved <= 1e-17L) break;
    }
    BoxMinimum best;
    long double f = 0.0L;
    for (int i = 0; i < n; ++i) {
        best.activeBounds += x[i] == q.bounds[2 * i] || x[i] == q.bounds[2 * i + 1];
        for (int j = 0; j < n; ++j) f += (x[i] - q.c[i]) * q.a[i * n + j] * (x[j] - q.c[j]);
    }
    best.x.assign(x.begin(), x.end());
    best.f = static_cast<double>(f);
    return best;
}

// A random problem of dimension n from rnd.Next() (uniform in [-1, 1)):
// A = M'M + 0.1 I, a box around the origin of half-widths in [0.5, 2], and
// the unconstrained minimum pushed beyond the box in at least one coordinate,
// so that the constrained minimum lies on one or more faces.
template <class Rng>
BoxQuadratic RandomBoxQuadratic(Rng& rnd, int n) {
    auto uniform = [&rnd](double lo, double hi) { return lo + (hi - lo) * (rnd.Next() + 1.0) / 2.0; };
    BoxQuadratic q;
    q.n = n;
    Vec m(static_cast<size_t>(n) * n);
    for (double& v : m) v = rnd.Next();
    q.a.assign(static_cast<size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = i == j ? 0.1 : 0.0;
            for (int k = 0; k < n; ++k) s += m[k * n + i] * m[k * n + j];
            q.a[i * n + j] = s;
        }
    for (int i = 0; i < n; ++i) {
        const double lo = -uniform(0.5, 2.0), hi = uniform(0.5, 2.0);
        q.bounds.push_back(lo);
        q.bounds.push_back(hi);
        q.start.push_back(uniform(0.8 * lo, 0.8 * hi));
        q.c.push_back(uniform(1.5 * lo, 1.5 * hi));
    }
    const int pushed = static_cast<int>(uniform(0.0, 1.0) * n);
    q.c[pushed] = q.bounds[2 * pushed + 1] + uniform(0.5, 2.0);
    return q;
}

}  // namespace climb_problems
