// Test problems of the minimizer, shared by its tests and its benchmarks:
// Rosenbrock's function, an ill-conditioned quadratic, and convex quadratics
// over a box with their exact constrained minimum.
#pragma once

#include <cmath>
#include <utility>
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

// The exact constrained minimum, independent of the code under test: every
// assignment of the coordinates to lower bound, upper bound or free (3^n,
// n <= 6); the free ones solve the stationarity equations (long double
// Gaussian elimination); the best feasible candidate is the minimum.
inline BoxMinimum SolveBoxQuadratic(const BoxQuadratic& q) {
    const int n = q.n;
    BoxMinimum best;
    long double bestF = INFINITY;
    int states = 1;
    for (int i = 0; i < n; ++i) states *= 3;
    std::vector<long double> x(n), m, r;
    for (int code = 0; code < states; ++code) {
        std::vector<int> freeIdx, state(n);
        for (int i = 0, k = code; i < n; ++i, k /= 3) {
            state[i] = k % 3;  // 0 free, 1 lower, 2 upper
            if (state[i] == 0) freeIdx.push_back(i);
            else x[i] = q.bounds[2 * i + state[i] - 1];
        }
        const int nf = static_cast<int>(freeIdx.size());
        m.assign(static_cast<size_t>(nf) * nf, 0.0L);
        r.assign(nf, 0.0L);
        for (int p = 0; p < nf; ++p) {
            const int i = freeIdx[p];
            for (int j = 0; j < n; ++j)
                r[p] += static_cast<long double>(q.a[i * n + j]) * (state[j] == 0 ? q.c[j] : q.c[j] - x[j]);
            for (int s = 0; s < nf; ++s) m[p * nf + s] = q.a[i * n + freeIdx[s]];
        }
        bool singular = false;
        for (int k = 0; k < nf && !singular; ++k) {
            int piv = k;
            for (int p = k + 1; p < nf; ++p)
                if (std::fabs(m[p * nf + k]) > std::fabs(m[piv * nf + k])) piv = p;
            singular = m[piv * nf + k] == 0.0L;
            for (int s = 0; s < nf; ++s) std::swap(m[k * nf + s], m[piv * nf + s]);
            std::swap(r[k], r[piv]);
            for (int p = k + 1; p < nf && !singular; ++p) {
                const long double f = m[p * nf + k] / m[k * nf + k];
                for (int s = k; s < nf; ++s) m[p * nf + s] -= f * m[k * nf + s];
                r[p] -= f * r[k];
            }
        }
        if (singular) continue;
        bool feasible = true;
        for (int k = nf - 1; k >= 0; --k) {
            long double s = r[k];
            for (int p = k + 1; p < nf; ++p) s -= m[k * nf + p] * x[freeIdx[p]];
            const int i = freeIdx[k];
            x[i] = s / m[k * nf + k];
            feasible = feasible && x[i] >= q.bounds[2 * i] && x[i] <= q.bounds[2 * i + 1];
        }
        long double f = 0.0L;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) f += (x[i] - q.c[i]) * q.a[i * n + j] * (x[j] - q.c[j]);
        if (feasible && f < bestF) {
            bestF = f;
            best.x.assign(x.begin(), x.end());
            best.activeBounds = n - nf;
        }
    }
    best.f = static_cast<double>(bestF);
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
