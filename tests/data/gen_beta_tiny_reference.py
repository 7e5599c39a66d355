#!/usr/bin/env python3
"""Prints the rows of the table in GammaTest's TinyParameterBeta test: the
incomplete beta function where one parameter is small (1e-3 down to 5e-324)
and the other side of x is the one a continued fraction would take, so that
I (or 1 − I) is of the order of the small parameter. Columns a, b, x, I, ln I.

I is mpmath's betainc at 60 digits (regularised); a second way, the integral
of the density t^(a−1)(1 − t)^(b−1)/B(a, b) by quadrature in u = t^a on the
small side, must agree to 1e-25
relative before a row is printed. Where a is the tiny parameter, I is 1 to
all digits, and ln I = ln(1 − I_{1−x}(b, a)) is formed from the small side.
Run from any directory:  python3 tests/data/gen_beta_tiny_reference.py
"""
import mpmath as mp

mp.mp.dps = 60

ROWS = [
    (2.0, 1e-300, 0.99),
    (2.0, 1e-20, 0.99),
    (2.0, 5e-324, 0.99),
    (2.0, 1e-20, 0.9999999999999999),
    (0.5, 1e-20, 0.9),
    (7.5, 1e-30, 0.999),
    (100.0, 1e-20, 0.995),
    (0.25, 1e-25, 0.6),
    (1e-20, 2.0, 0.01),
    (1e-300, 3.5, 0.1),
    (5e-324, 0.5, 0.3),
    # Small parameters from 1e-14 up to where the complement keeps 6e-10 of I.
    (2.0, 1e-12, 0.99),
    (0.25, 1e-9, 0.9),
    (0.5, 1e-14, 0.999999),
    (7.5, 1e-10, 0.95),
    (3.5, 1e-10, 0.9999999999999998),
    (30.0, 1e-8, 0.99),
    (100.0, 1e-7, 0.9999),
    (1000.0, 1e-6, 0.9995),
    (9990.0, 1e-3, 0.99995),
    (1e-12, 2.0, 0.01),
    (1e-8, 30.0, 0.01),
    (1e-3, 9990.0, 5e-5),
    # From a + b = 1e4 on (where the gamma form gave the complement).
    (1e5, 1e-20, 0.999999),
    (1e6, 1e-30, 0.9999999),
    (1e5, 5e-324, 0.999999),
    (2e4, 1e-8, 0.99999),
    (1e-10, 1e6, 5e-7),
    # From a + b = 1e4 on with I close to 1 on the small parameter's side:
    # the complement of the gamma form kept up to 2.2e-16 absolute, 1.9e-12
    # of the small value where the switch took it as 1e-16.
    (4.4647607477103574e-06, 93512.16756488569, 2.6024018014601458e-17),
    (2.3869327139198273e-05, 489576.06853842945, 1.746104794673924e-08),
    (29204.24177213555, 2.2781480130327593e-06, 0.9999997125773502),
    (889400.9622004376, 2.5298381201802593e-06, 0.9999999838152932),
]


def small_side(a, b, x):
    """I_x(a, b) where b is the tiny parameter, two ways."""
    a, b, x = mp.mpf(a), mp.mpf(b), mp.mpf(x)
    first = mp.betainc(a, b, 0, x, regularized=True)
    # In u = t^a the factor t^(a−1) (singular at 0 for a < 1) is gone.
    dens = lambda u: (1 - u ** (1 / a)) ** (b - 1) / a
    second = mp.quad(dens, [0, x ** a / 2, x ** a]) / mp.beta(a, b)
    assert abs(first - second) <= mp.mpf('1e-25') * abs(first), (a, b, x, first, second)
    return first


for a, b, x in ROWS:
    if b < a:
        i = small_side(a, b, x)
        li = mp.log(i)
    else:
        c = small_side(b, a, 1 - mp.mpf(x))  # 1 − I
        i = 1 - c
        li = mp.log1p(-c)
    print('        {%r, %r, %r, %s, %s},' % (a, b, x, mp.nstr(i, 17), mp.nstr(li, 17)))
