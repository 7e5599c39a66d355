#!/usr/bin/env python3
"""Writes two tables of the incomplete beta function, regions where a sweep
against mpmath found results beyond their bound.

func_beta_inc_small_side.csv: the incomplete beta function where one
parameter p (2.7e-4 to 0.01) is small beside a larger q (768 to 9527, p + q
below 1e4) and x lies on the side that the continued fraction evaluates, so
that this side is close to 1 and the value asked for is its complement:
ln I_x(p, q) for x below the mean of q's side (I near 1), and I_x(q, p) =
1 − I_{1−x}(p, q) at the mirrored argument. Each row's x and 1 − x are exact
doubles (x a multiple of 2^-53 below ½; the points come from the random sweep,
where they were beyond the bound). Columns as func_beta_inc.csv:
a, b, x, I, Ic = 1 − I, ln I, ln Ic.

The small side C = 1 − I_x(p, q) = I_{1−x}(q, p) is mpmath's betainc at 50
digits; a second way, 1 − betainc(p, q, 0, x) at 80 digits, must agree to
1e-30 relative before the rows are written.

func_beta_inc_far_tail.csv: a + b from 1e4, x far below the mean of a, where
the gamma form takes the value: of P(p, z) at z = 1e-8·p to 0.01·p for a the
smaller parameter p (16 to 16000), and of Q(p, z) at w = −ln(1 − x) near 0.7
for b = p below 1 (down to 1e-20). ln I by the series
x^a·(1 − x)^b/(a·B(a, b))·Σ (a + b)_n/(a + 1)_n·x^n (positive terms) at 50
digits and more, checked
against mpmath's betainc to 1e-30 of ln I. Same columns; I is 0 where it
lies below the double range.

Run from any directory:  python3 tests/data/gen_beta_sweep_reference.py
"""
import os

import mpmath as mp

# (p, q, x): x on p's side, below (p + 1)/(p + q + 2).
CASES = [
    (0.0002679798781846444, 767.9904183523672, 8.878140664525525e-06),
    (0.0005085627579036898, 8767.689726981293, 2.775373549868121e-07),
    (0.0005557947766234009, 1169.7967794260032, 4.8181501615118805e-06),
    (0.001357891198184768, 4956.61786513335, 2.0269097067426856e-08),
    (0.0015343569438025443, 3251.8512302591466, 9.649014228618746e-06),
    (0.0021842094951423532, 1873.7283644838858, 8.330200375661345e-05),
    (0.0034083350610878776, 9527.127574653663, 3.509130368783975e-05),
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
    # Below the double range as the double it reads as (0).
    if v != 0 and abs(v) < mp.mpf(2) ** -1074:
        return repr(float(v))
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


def write(name, table):
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), name)
    with open(out, 'w') as f:
        f.write('a,b,x,I,Ic,lnI,lnIc\n')
        for a, b, x, i, ic, li, lc in table:
            f.write('%r,%r,%r,%s,%s,%s,%s\n' % (a, b, x, fmt(i), fmt(ic), fmt(li), fmt(lc)))


write('func_beta_inc_small_side.csv', rows)

# (a, b, x): x far below the mean of a.
FAR = [
    (16.146758304361295, 11661.717603204464, 1.799970161736972e-11),
    (927.9758174815989, 20467868.90000474, 5.670093198449745e-13),
    (1960.0155223500167, 8040.63317585616, 8.013721760941968e-07),
    (15735.851205257402, 81549.00874628902, 8.688647889730785e-09),
    (50.0, 1e6, 1e-8),
    (300.0, 1e5, 1e-5),
    # b below 1 with 1 − x near ½: the gamma form's first dropped term showed.
    (16864.824705842948, 0.0017955995631205339, 0.5213994056137794),
    (10605.562780103772, 4.156171679351674e-05, 0.5664751179942779),
    (10000.0, 1e-20, 0.5),
]


def far_ln_i(a, b, x):
    digits = 50 + int(mp.log10(a + b))
    with mp.workdps(digits):
        a, b, x = mp.mpf(a), mp.mpf(b), mp.mpf(x)
        s = t = mp.mpf(1)
        n = 0
        while t > s * mp.mpf(10) ** -(digits + 2):
            t = t * (a + b + n) * x / (a + 1 + n)
            n += 1
            s += t
        ln_i = (a * mp.log(x) + b * mp.log1p(-x) - mp.log(a) + mp.log(s) - mp.log(mp.beta(a, b)))
        second = mp.log(mp.betainc(a, b, 0, x, regularized=True))
        assert abs(ln_i - second) <= mp.mpf('1e-30') * abs(ln_i), (a, b, x, ln_i, second)
        return ln_i


far = []
with mp.workdps(60):
    for a, b, x in FAR:
        li = far_ln_i(a, b, x)
        i = mp.exp(li)
        i = i if i > mp.mpf(2) ** -1022 else mp.mpf(0)
        far.append((a, b, x, i, 1 - i, li, mp.log1p(-mp.exp(li))))
write('func_beta_inc_far_tail.csv', far)
