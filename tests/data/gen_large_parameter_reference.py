#!/usr/bin/env python3
"""Writes the reference tables of the gamma and beta family where a parameter
is large or tiny: there the incomplete gamma and beta functions need far more
than 1000 terms and ln Γ differences cancel. The tables have the columns of
their ordinary counterparts (gen_function_reference.py):
func_gamma_inc_large.csv, func_beta_inc_large.csv, func_beta_large.csv and
func_lngamma_tiny.csv.

Every value is computed with mpmath at 40 significant digits (the
logarithms of size 1e12 that cancel here leave more than 25) and written as
the nearest double. Arguments are exact doubles.
Run from any directory:  python3 tests/data/gen_large_parameter_reference.py
"""
import math

import mpmath as mp

from gen_function_reference import f, write

mp.mp.dps = 40


def series(ratio):
    """1 + r1 + r1·r2 + ... with r_n = ratio(n), until a term is below 1e-50
    of the sum."""
    total = mp.mpf(1)
    term = mp.mpf(1)
    n = 1
    while True:
        term *= ratio(n)
        total += term
        if term < total * mp.mpf(10) ** -50:
            return total
        n += 1


def gamma_p(a, x):
    """P(a, x) = x^a·e^−x/Γ(a + 1)·Σ x^n/((a + 1)...(a + n)) (mpmath's own
    routine gives up on these series of about 10^5 terms)."""
    a = mp.mpf(a)
    x = mp.mpf(x)
    pre = mp.exp(a * mp.log(x) - x - mp.loggamma(a + 1))
    return pre * series(lambda n: x / (a + n))


def beta_low(a, b, x):
    """I_x(a, b) for x below the mean: x^a·(1 − x)^b/(a·B(a, b)) times
    Σ (a + b)_n/(a + 1)_n·x^n."""
    a, b, x = mp.mpf(a), mp.mpf(b), mp.mpf(x)
    pre = mp.exp(a * mp.log(x) + b * mp.log(1 - x) - mp.log(a) - mp.log(mp.beta(a, b)))
    return pre * series(lambda n: (a + b + n - 1) * x / (a + n))


def series_terms(a, b, x):
    """About how many terms beta_low(a, b, x) takes: while the ratio exceeds 1
    the terms grow; then the ratio falls below 1 by about n·(1 − x)/a and,
    later, to x."""
    s = a + b
    growing = max(0.0, ((s - 1) * x - a) / (1 - x))
    return growing + min(120 / (1 - x), math.sqrt(240 * a / (1 - x)))


def beta_inc(a, b, x):
    """(I, 1 − I): the series that takes fewer terms, the other side as its
    complement."""
    if series_terms(a, b, x) <= series_terms(b, a, 1 - x):
        i = beta_low(a, b, x)
        return i, 1 - i
    c = beta_low(b, a, 1 - mp.mpf(x))
    return 1 - c, c


def gamma_inc_rows():
    """Rows a,x,P,Q,lnP,lnQ around the mean, where the series and fraction
    need far more than 1000 terms."""
    rows = []
    for a, offsets in [(2e4, (-6, -2, -1, 0, 1, 2, 6)), (3e4, (-2, 0, 2)),
                       (1e5, (-6, -1, 0, 1, 6)), (1e6, (-2, 0, 1, 2)),
                       (1e8, (-6, -1, 0, 1, 6)), (1e10, (-2, 0, 2))]:
        r = math.sqrt(a)
        xs = {float(round(a + k * r)) for k in offsets} | {a - 1.0, a + 1.0}
        for x in sorted(xs):
            p = gamma_p(a, x)
            q = 1 - p
            rows.append([f(a), f(x), f(p), f(q), f(mp.log(p)), f(mp.log(q))])
    return rows


def beta_inc_rows():
    """Rows a,b,x,I,Ic,lnI,lnIc around the mean for large a or b."""
    rows = []
    wide = (-5, -2, -1, 0, 1, 2, 5)
    pairs = [(1e6, 1e6, wide), (2e6, 5e5, wide), (5e5, 2e6, wide), (1e8, 3e7, wide),
             (1e9, 1e9, (-2, 0, 1)), (1e9, 10.0, wide), (10.0, 1e9, wide), (1e7, 0.5, wide),
             (2.5, 4e6, wide)]
    for a, b, offsets in pairs:
        s = mp.mpf(a) + b
        mean = mp.mpf(a) / s
        sd = mp.sqrt(mp.mpf(a) * b / (s * s * (s + 1)))
        for k in offsets:
            x = float(mean + k * sd)
            if not 0.0 < x < 1.0:
                continue
            i, c = beta_inc(a, b, x)
            rows.append([f(a), f(b), f(x), f(i), f(c), f(mp.log(i)), f(mp.log(c))])
    return rows


def beta_rows():
    """Rows a,b,beta,lnbeta with one or both parameters large (beta 0 where
    it underflows)."""
    rows = []
    pairs = [(1.0, 1e15), (1.0, 1e10), (1.0, 1e300), (2.5, 1e6), (0.5, 1e8), (1e8, 0.5),
             (1e5, 1e5), (3e4, 7e4), (50.0, 2e5), (1e12, 1e12), (7.0, 3e9)]
    for a, b in pairs:
        # ln Γ of 1e300 has 303 digits before the point: enough digits for
        # the difference to keep 40.
        with mp.workdps(40 + int(math.log10(max(a, b)))):
            lb = mp.loggamma(a) + mp.loggamma(b) - mp.loggamma(mp.mpf(a) + b)
            rows.append([f(a), f(b), f(mp.exp(lb)) if lb > -700 else "0.0", f(lb)])
    return rows


def lngamma_rows():
    """Rows x,lngamma below the normal range's edge."""
    return [[f(x), f(mp.loggamma(x))] for x in [1e-300, 1e-307, 2.5e-308, 1e-310, 5e-324]]


def main():
    write("func_lngamma_tiny.csv", "x,lngamma", lngamma_rows())
    write("func_beta_large.csv", "a,b,beta,lnbeta", beta_rows())
    write("func_beta_inc_large.csv", "a,b,x,I,Ic,lnI,lnIc", beta_inc_rows())
    write("func_gamma_inc_large.csv", "a,x,P,Q,lnP,lnQ", gamma_inc_rows())


if __name__ == "__main__":
    main()
