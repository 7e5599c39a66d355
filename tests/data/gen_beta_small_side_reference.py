#!/usr/bin/env python3
"""Writes func_beta_inc_small_side.csv: the incomplete beta function where one
parameter p (1e-4 to 0.01) is small beside a larger q (600 to 9500, p + q
below 1e4) and x lies on the side that the continued fraction evaluates, so
that this side is close to 1 and the value asked for is its complement:
ln I_x(p, q) for x below the mean of q's side (I near 1), and I_x(q, p) =
1 − I_{1−x}(p, q) at the mirrored argument. Each row's x and 1 − x are exact
doubles (x a multiple of 2^-53 below ½). Columns as func_beta_inc.csv:
a, b, x, I, Ic = 1 − I, ln I, ln Ic.

The small side C = 1 − I_x(p, q) = I_{1−x}(q, p) is mpmath's betainc at 50
digits; a second way, 1 − betainc(p, q, 0, x) at 80 digits, must agree to
1e-30 relative before the rows are written.
Run from any directory:  python3 tests/data/gen_beta_small_side_reference.py
"""
import os

import mpmath as mp

# (p, q, x): x on p's side, below (p + 1)/(p + q + 2).
CASES = [
    (1e-4, 9000.0, 1e-6),
    (1e-4, 3000.0, 1e-4),
    (3e-4, 5000.0, 1e-8),
    (2e-4, 600.0, 1e-3),
    (1e-3, 9000.0, 5e-5),
    (1e-3, 7000.0, 2e-6),
    (3e-3, 9000.0, 1e-5),
    (0.01, 9500.0, 1e-5),
]


def exact(x):
    """x rounded to a multiple of 2^-53, so that 1 − x is a double too."""
    return round(x * 2.0 ** 53) * 2.0 ** -53


def small_side(p, q, x):
    with mp.workdps(50):
        c = mp.betainc(q, p, 0, 1 - mp.mpf(x), regularized=True)
    with mp.workdps(80):
        second = 1 - mp.betainc(p, q, 0, x, regularized=True)
    assert abs(c - second) <= mp.mpf('1e-30') * c, (p, q, x, c, second)
    return c


def fmt(v):
    return mp.nstr(v, 17, min_fixed=-5, max_fixed=5)


rows = []
with mp.workdps(50):
    for p, q, x in CASES:
        x = exact(x)
        c = small_side(p, q, x)
        i, li, lc = 1 - c, mp.log1p(-c), mp.log(c)
        rows.append((p, q, x, i, c, li, lc))
        # The mirror: I_{1−x}(q, p) = c is the complement of a side near 1.
        rows.append((q, p, 1.0 - x, c, i, lc, li))

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'func_beta_inc_small_side.csv')
with open(out, 'w') as f:
    f.write('a,b,x,I,Ic,lnI,lnIc\n')
    for a, b, x, i, ic, li, lc in rows:
        f.write('%r,%r,%r,%s,%s,%s,%s\n' % (a, b, x, fmt(i), fmt(ic), fmt(li), fmt(lc)))
