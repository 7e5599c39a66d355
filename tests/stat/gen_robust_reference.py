#!/usr/bin/env python3
"""Writes tests/data/stat_robust_reference.txt: reference values for the
dispersion estimate of a sample without given dispersions, and for the
threshold that raises small given dispersions, computed at 50 digits with
mpmath from the exact double values of each sample.

Dispersion estimate: the sample is trimmed one value at a time from the end
farthest from the current mean (the smallest on a tie) while three quarters
of it remain to be removed; each remainder's variance V about its own mean
is paired with z = erf^-1(remaining fraction), read by linear interpolation
from erf at 100 points evenly spaced on [0, 5] (5 above the table). The
variances of a normal distribution truncated to the central fraction erf(z)
are A(z)·s² with A(z) = 1 - (2/sqrt(pi))·z·exp(-z²)/erf(z); the least-squares
s² over the last quarter of the trimming sequence is sum(A·V)/sum(A²)
(clamped to s in [0, w0], w0 twice the population standard deviation). A
second fit uses the fractions of the values within 3·s of the trimmed mean.
The answer is that second s².

Threshold: for given dispersions d (n = 4, so the median and its error come
from the sorted logarithms, not from a fitted distribution), the median of
ln d and se = sqrt(pi/2 · var(ln d)/n) give exp(median - se).

Format:
    disp <name> <n>
    <x>                (n lines, 17 significant digits)
    expect <s²>
    threshold <name> <n>
    <d>                (n lines)
    expect <threshold>
"""
import bisect
import os
import random

import mpmath

mpmath.mp.dps = 50


def inverse_erf_table():
    t = [mpmath.mpf(k) * 5 / 99 for k in range(100)]
    e = [mpmath.erf(v) for v in t]

    def inv(q):
        i = bisect.bisect_right(e, q)
        if i == 0:
            return mpmath.mpf(0)
        if i >= 100:
            return t[99]
        return t[i - 1] + (q - e[i - 1]) * (t[i] - t[i - 1]) / (e[i] - e[i - 1])

    return inv


INV = inverse_erf_table()


def factor(z):
    return 1 - 2 / mpmath.sqrt(mpmath.pi) * z * mpmath.exp(-z * z) / mpmath.erf(z)


def fit(A, V, lo, hi, w0):
    num = sum(A[i] * V[i] for i in range(lo, hi))
    den = sum(A[i] * A[i] for i in range(lo, hi))
    s = mpmath.sqrt(max(num / den, 0))
    return min(max(s, mpmath.mpf(0)), w0)


def estimate_disp(values):
    x = sorted(mpmath.mpf(v) for v in values)
    n = len(x)
    m3 = 3 * n // 4
    S1 = sum(x)
    S2 = sum(v * v for v in x)
    mean = S1 / n
    w0 = 2 * mpmath.sqrt(S2 / n - mean * mean)
    lo, hi = 0, n - 1
    Z, V = [], []
    for k in range(m3):
        c = n - k
        Z.append(INV(mpmath.mpf(c) / n))
        V.append(S2 / c - mean * mean)
        if x[hi] - mean > mean - x[lo]:
            r = x[hi]
            hi -= 1
        else:
            r = x[lo]
            lo += 1
        S1 -= r
        S2 -= r * r
        mean = S1 / (c - 1)
    A = [factor(z) for z in Z]
    s1 = fit(A, V, (3 * m3) // 4, m3, w0)
    inliers = sum(1 for v in x if abs(v - mean) < 3 * s1)
    first = 0
    for k in range(m3):
        q = mpmath.mpf(n - k) / inliers
        if q < 1:
            A[k] = factor(INV(q))
        else:
            first = k
    c0 = m3 - first
    s2 = fit(A, V, first + (3 * c0) // 4, m3, w0)
    return s2 * s2


def threshold(disps):
    y = sorted(mpmath.log(mpmath.mpf(d)) for d in disps)
    n = len(y)
    med = (y[n // 2 - 1] + y[n // 2]) / 2
    mean = sum(y) / n
    var = sum((v - mean) ** 2 for v in y) / (n - 1)
    se = mpmath.sqrt(mpmath.pi / 2 * var / n)
    return mpmath.exp(med - se)


def disp_cases():
    rng = random.Random(20261206)
    yield "normal40", [rng.gauss(5.0, 2.0) for _ in range(40)]
    core = [rng.gauss(0.0, 1.0) for _ in range(200)]
    yield "outliers", core + [35.0, -41.0, 57.5, 80.0, -66.0, 44.0]
    yield "uniform101", [rng.uniform(-3.0, 1.0) for _ in range(101)]
    yield "lognormal101", [rng.lognormvariate(0.0, 0.7) for _ in range(101)]
    yield "ties", [1.0, 2.0, 2.0, 2.0, 3.0, 3.0, 4.0, 9.0, 2.0, 3.0, 2.5, 1.5]
    yield "three", [1.0, 2.0, 4.0]
    yield "four", [8.0, 1.0, 4.0, 2.0]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "data", "stat_robust_reference.txt")
    with open(out, "w") as f:
        for name, xs in disp_cases():
            f.write("disp %s %d\n" % (name, len(xs)))
            for v in xs:
                f.write("%.17g\n" % v)
            f.write("expect %s\n" % mpmath.nstr(estimate_disp(xs), 20))
        for name, ds in (("given_kept", [1.0, 1.0, 1.0, 100.0]),
                         ("given_raised", [1.0, 1.0, 0.01, 100.0])):
            f.write("threshold %s %d\n" % (name, len(ds)))
            for d in ds:
                f.write("%.17g\n" % d)
            f.write("expect %s\n" % mpmath.nstr(threshold(ds), 20))


if __name__ == "__main__":
    main()
