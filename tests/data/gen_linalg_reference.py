#!/usr/bin/env python3
"""Writes the reference table of the linear-algebra tests.

Each matrix is made of doubles (the entries written below are exactly the
matrix the tests use); its determinant, log |det|, infinity-norm condition
number and singular values are computed with mpmath at 60 significant digits
from those exact entries and written as the nearest doubles.
Run from any directory:  python3 tests/data/gen_linalg_reference.py

Line format (space separated, fields split by '|'):
  name rows cols | entries row by row | det logabsdet cond | singular values
(det, logabsdet and cond are 'nan' for rectangular matrices).
"""
import math
import os

import mpmath as mp

mp.mp.dps = 60
HERE = os.path.dirname(os.path.abspath(__file__))


def f(v):
    return repr(float(v))


def hilbert(rows, cols, step=1):
    return [[1.0 / (i + step * j + 1) for j in range(cols)] for i in range(rows)]


def vandermonde(nodes):
    return [[float(x) ** j for j in range(len(nodes))] for x in nodes]


def kahan(n, theta=1.2):
    c, s = math.cos(theta), math.sin(theta)
    rows = []
    for i in range(n):
        scale = s ** i
        rows.append([0.0 if j < i else (scale if j == i else -scale * c) for j in range(n)])
    return rows


def graded(n):
    # Rows scaled by powers of ten, entries from a fixed smooth pattern.
    return [[math.sin(1.0 + i + 2.0 * j) * 10.0 ** (-i) for j in range(n)] for i in range(n)]


def line(name, a):
    rows, cols = len(a), len(a[0])
    m = mp.matrix([[mp.mpf(x) for x in r] for r in a])
    if rows == cols:
        det = mp.det(m)
        logabs = mp.log(abs(det)) if det != 0 else mp.ninf
        cond = mp.mnorm(m, mp.inf) * mp.mnorm(m ** -1, mp.inf)
        head = [f(det), f(logabs), f(cond)]
    else:
        head = ["nan", "nan", "nan"]
    sv = sorted((mp.mpf(x) for x in mp.svd_r(m, compute_uv=False)), reverse=True)
    entries = [f(x) for r in a for x in r]
    return " ".join([name, str(rows), str(cols), "|"] + entries + ["|"] + head + ["|"] +
                    [f(x) for x in sv])


def main():
    cases = []
    for n in range(3, 11):
        cases.append(("hilbert%d" % n, hilbert(n, n)))
    for n in range(3, 8):
        cases.append(("vandermonde%d" % n, vandermonde(range(1, n + 1))))
    cases.append(("vandermonde_signed5", vandermonde([-2, -1, 0, 1, 3])))
    cases.append(("kahan8", kahan(8)))
    cases.append(("graded6", graded(6)))
    cases.append(("tall7x4", hilbert(7, 4, 2)))
    cases.append(("wide4x7", [list(r) for r in zip(*hilbert(7, 4, 2))]))
    with open(os.path.join(HERE, "linalg_reference.txt"), "w") as out:
        for name, a in cases:
            out.write(line(name, a) + "\n")


if __name__ == "__main__":
    main()
