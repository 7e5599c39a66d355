// Convex quadratics over a box, f(x) = (x - c)' A (x - c) with A symmetric
// positive definite, and their exact constrained minimum.
//
// The minimum is found by enumerating every assignment of the coordinates to
// "at the lower bound", "at the upper bound" or "free" (3^n of them, n <= 6):
// for each, the free coordinates solve the stationarity equations with the
// others fixed; the feasible candidate with the smallest value is the
// minimum (for a convex problem the true minimum is one of the candidates).
// Work is in long double, independent of the code under test.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

struct BoxQuadratic {
    int n = 0;
    std::vector<double> a;       // n x n, row-major
    std::vector<double> c;       // unconstrained minimum
    std::vector<double> bounds;  // lo_0, hi_0, lo_1, hi_1, ...
    std::vector<double> start;

    double Value(const double* x) const {
        double s = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) s += (x[i] - c[i]) * a[i * n + j] * (x[j] - c[j]);
        return s;
    }
};

// The constrained minimum (point and value) of q.
struct BoxMinimum {
    std::vector<double> x;
    double f = 0.0;
    int activeBounds = 0;
};

inline BoxMinimum SolveBoxQuadratic(const BoxQuadratic& q) {
    const int n = q.n;
    BoxMinimum best;
    long double bestF = INFINITY;
    int states = 1;
    for (int i = 0; i < n; ++i) states *= 3;
    std::vector<int> state(n), freeIdx;
    std::vector<long double> x(n), m, r;
    for (int code = 0; code < states; ++code) {
        freeIdx.clear();
        for (int i = 0, k = code; i < n; ++i, k /= 3) {
            state[i] = k % 3;  // 0 free, 1 lower, 2 upper
            if (state[i] == 0)
                freeIdx.push_back(i);
            else
                x[i] = q.bounds[2 * i + state[i] - 1];
        }
        // Free block: sum_j A_ij (x_j - c_j) = 0 for free i.
        const int nf = static_cast<int>(freeIdx.size());
        m.assign(static_cast<size_t>(nf) * nf, 0.0L);
        r.assign(nf, 0.0L);
        for (int p = 0; p < nf; ++p) {
            int i = freeIdx[p];
            long double rhs = 0.0L;
            for (int j = 0; j < n; ++j) {
                if (state[j] == 0) rhs += static_cast<long double>(q.a[i * n + j]) * q.c[j];
                else rhs -= static_cast<long double>(q.a[i * n + j]) * (x[j] - q.c[j]);
            }
            r[p] = rhs;
            for (int s = 0; s < nf; ++s) m[p * nf + s] = q.a[i * n + freeIdx[s]];
        }
        // Gaussian elimination with partial pivoting.
        bool singular = false;
        for (int k = 0; k < nf && !singular; ++k) {
            int piv = k;
            for (int p = k + 1; p < nf; ++p)
                if (std::fabs(m[p * nf + k]) > std::fabs(m[piv * nf + k])) piv = p;
            if (m[piv * nf + k] == 0.0L) { singular = true; break; }
            for (int s = 0; s < nf; ++s) std::swap(m[k * nf + s], m[piv * nf + s]);
            std::swap(r[k], r[piv]);
            for (int p = k + 1; p < nf; ++p) {
                long double f = m[p * nf + k] / m[k * nf + k];
                for (int s = k; s < nf; ++s) m[p * nf + s] -= f * m[k * nf + s];
                r[p] -= f * r[k];
            }
        }
        if (singular) continue;
        for (int k = nf - 1; k >= 0; --k) {
            long double s = r[k];
            for (int p = k + 1; p < nf; ++p) s -= m[k * nf + p] * x[freeIdx[p]];
            x[freeIdx[k]] = s / m[k * nf + k];
        }
        bool feasible = true;
        for (int p = 0; p < nf; ++p) {
            int i = freeIdx[p];
            if (x[i] < q.bounds[2 * i] || x[i] > q.bounds[2 * i + 1]) feasible = false;
        }
        if (!feasible) continue;
        long double f = 0.0L;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) f += (x[i] - q.c[i]) * q.a[i * n + j] * (x[j] - q.c[j]);
        if (f < bestF) {
            bestF = f;
            best.x.assign(x.begin(), x.end());
            best.activeBounds = n - nf;
        }
    }
    best.f = static_cast<double>(bestF);
    return best;
}

// Deterministic uniform deviates in [0, 1) (splitmix64), the same on every
// platform.
class TestRandom {
public:
    explicit TestRandom(std::uint64_t seed) : s_(seed) {}
    double Next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-53;
    }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Next(); }

private:
    std::uint64_t s_;
};

// A random problem of dimension n: A = M'M + 0.1 I with M uniform in
// [-1, 1], a box around the origin of half-widths in [0.5, 2], and the
// unconstrained minimum pushed outside the box in at least one coordinate,
// so that the constrained minimum lies on one or more faces.
inline BoxQuadratic RandomBoxQuadratic(TestRandom& rnd, int n) {
    BoxQuadratic q;
    q.n = n;
    std::vector<double> m(static_cast<size_t>(n) * n);
    for (double& v : m) v = rnd.Uniform(-1.0, 1.0);
    q.a.assign(static_cast<size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = i == j ? 0.1 : 0.0;
            for (int k = 0; k < n; ++k) s += m[k * n + i] * m[k * n + j];
            q.a[i * n + j] = s;
        }
    for (int i = 0; i < n; ++i) {
        double lo = -rnd.Uniform(0.5, 2.0), hi = rnd.Uniform(0.5, 2.0);
        q.bounds.push_back(lo);
        q.bounds.push_back(hi);
        q.start.push_back(rnd.Uniform(0.8 * lo, 0.8 * hi));
        q.c.push_back(rnd.Uniform(1.5 * lo, 1.5 * hi));
    }
    int pushed = static_cast<int>(rnd.Next() * n);
    q.c[pushed] = q.bounds[2 * pushed + 1] + rnd.Uniform(0.5, 2.0);
    return q;
}
