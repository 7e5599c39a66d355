#!/usr/bin/env python3
"""Writes func_beta_inc_uniform.csv: the incomplete beta function where a
parameter is huge (up to 1e300) and x lies a few standard deviations from the
mean, or at the extremes of the double range. Columns as in func_beta_inc.csv:
a,b,x,I,Ic,lnI,lnIc (Ic = 1 − I).

Each value is that of the exact double x written in the row (one step of x
moves most of these values by more than 1e-12). mpmath's own betainc does not
converge at these parameters, so the density of w = −ln t,
    e^g(w),  g(w) = −a·w + (b − 1)·ln(1 − e^−w) − ln B(a, b),
is integrated on both sides of −ln x, in the variable scaled by the
distribution's width and split at its peak, with g formed at 30 + log10(a + b)
digits (a·w alone has 300 digits before the point at a = 1e300) and each side
normalised to its largest value, so that the quadrature's tolerance is
relative. Every value is checked before it is written: the two sides must add
up to 1 within 1e-25 (unless x lies so far out that one side is 1 to all
digits), a second quadrature with 20 more digits for g, 40 for the quadrature
and a finer start must agree to 1e-22, and where the hypergeometric series of
the side below its mean takes fewer than 20000 terms (tails, moderate
parameters) it must agree to 1e-22. The smaller side is the one written to
full accuracy; the other is formed from it (ln(1 − e^y)).
Run from any directory:  python3 tests/data/gen_beta_uniform_reference.py
"""
import math
import multiprocessing

import mpmath as mp

from gen_function_reference import f, write
from gen_large_parameter_reference import beta_low


def inc_beta_once(a, b, x, extra, qdps, first):
    """(lnI, lnIc) of I_x(a, b) for exact doubles a, b > 0 and 0 < x < 1, g
    formed at 30 + extra + log10(a + b) digits, the quadrature at qdps digits
    with intervals growing from first/|slope| away from −ln x."""
    hi = 30 + extra + max(0, int(math.log10(a + b)))
    with mp.workdps(hi):
        A, B, X = mp.mpf(a), mp.mpf(b), mp.mpf(x)
        lnB = mp.loggamma(A) + mp.loggamma(B) - mp.loggamma(A + B)
        wx = -mp.log(X)
        w0 = mp.log1p((B - 1) / A) if B > 1 else mp.mpf(0)
        scale = mp.sqrt(max(B, 1) / (A * (A + B)))

        def g(w):
            return -A * w + (B - 1) * mp.log(-mp.expm1(-w)) - lnB

        gx = g(wx)
        gpeak = g(w0) if B > 1 else gx
        sx = (wx - w0) / scale
        smin = -w0 / scale
        far = abs(sx) > 1e5
        slope = abs(scale * (-A + (B - 1) / mp.expm1(wx)))

    def integrate(sign, level, stop):
        """∫ e^(g − level) ds from sx in the direction sign, out to where the
        integrand falls below 1e-45 of its largest value (or to stop)."""
        def density(s):
            with mp.workdps(hi):
                w = w0 + scale * mp.mpf(s)
                if w <= 0:
                    return mp.mpf(0)
                v = g(w) - level
            return mp.exp(v)

        with mp.workdps(qdps):
            s0 = mp.mpf(sx)
            top = max(density(s0), density(mp.mpf(0)) if sign * s0 < 0 and not far else 0)
            step = first / abs(s0) if far else min(first, first / mp.mpf(slope))
            points = [s0]
            while len(points) < 3000:
                nxt = points[-1] + sign * step
                if sign * points[-1] < 0 <= sign * nxt:
                    # Crossing the peak: a point on it, and steps of a
                    # quarter width again from there.
                    nxt = mp.mpf(0)
                    step = mp.mpf(1) / 4 / 2
                if stop is not None and sign * (nxt - stop) >= 0:
                    points.append(mp.mpf(stop))
                    break
                points.append(nxt)
                if sign * nxt > 0 and density(nxt) < mp.mpf(10) ** -45 * top:
                    break
                step *= 2
            return mp.quad(density, points if sign > 0 else points[::-1])

    lower_level = gx if sx >= 0 else gpeak  # t below x: w above −ln x
    upper_level = gx if sx <= 0 else gpeak
    with mp.workdps(hi):
        ls = mp.log(scale)
        if far:
            # One side is 1 to all digits: the tail alone.
            if sx > 0:
                tail = lower_level + ls + mp.log(integrate(1, lower_level, None))
                return tail, mp.log(-mp.expm1(tail))
            tail = upper_level + ls + mp.log(integrate(-1, upper_level, smin))
            return mp.log(-mp.expm1(tail)), tail
        ln_i = lower_level + ls + mp.log(integrate(1, lower_level, None))
        ln_c = upper_level + ls + mp.log(integrate(-1, upper_level, smin))
        # The two sides add up to 1 (the normalisation ln B and both quadratures).
        assert abs(mp.exp(ln_i) + mp.exp(ln_c) - 1) < mp.mpf(10) ** -25, (a, b, x)
        # The smaller side carries the digits; the other is formed from it.
        if ln_i < ln_c:
            return ln_i, mp.log(-mp.expm1(ln_i))
        return mp.log(-mp.expm1(ln_c)), ln_c


def series_check(a, b, x, ln_i, ln_c):
    """The side below its mean by its hypergeometric series (beta_low of
    gen_large_parameter_reference.py), where that takes fewer than 20000
    terms: its ratio starts at (a + b)·x/a and falls."""
    A, B, X = mp.mpf(a), mp.mpf(b), mp.mpf(x)
    if X * (A + B) <= A:
        p, q, y, ln_side = a, b, x, ln_i
    else:
        p, q, y, ln_side = b, a, 1 - X, ln_c
    r0 = (mp.mpf(p) + q) * y / p
    if 1 - r0 < 115 / 20000.0:
        return False
    with mp.workdps(40 + max(0, int(math.log10(a + b)))):
        ln_series = mp.log(beta_low(p, q, y))
        assert abs(ln_series - ln_side) < mp.mpf(10) ** -22 * max(1, abs(ln_side)), (a, b, x)
    return True


def inc_beta(a, b, x):
    """(lnI, lnIc), each checked a second way: by the series where it is
    cheap, and always by a second quadrature with 20 more digits for g, 40
    for the quadrature and intervals three times finer at the start."""
    ln_i, ln_c = inc_beta_once(a, b, x, 0, 30, mp.mpf(1) / 4)
    again = inc_beta_once(a, b, x, 20, 40, mp.mpf(1) / 12)
    for v, w in zip((ln_i, ln_c), again):
        assert abs(v - w) <= mp.mpf(10) ** -22 * max(1, abs(v)) or (v > -1e-300 and w > -1e-300), (a, b, x)
    series_check(a, b, x, ln_i, ln_c)
    return ln_i, ln_c


def row(a, b, x):
    ln_i, ln_c = inc_beta(a, b, x)
    with mp.workdps(40):
        return [f(a), f(b), f(x), f(mp.exp(ln_i)), f(mp.exp(ln_c)), f(ln_i), f(ln_c)]


# (a, b, offsets of x from the mean in standard deviations)
NEAR = (-12, -4, -1, 0, 0.5, 2, 6)
PAIRS = [
    (1e4, 1e4, NEAR), (1e5, 3e5, NEAR), (1e8, 3e7, NEAR), (1e12, 5e12, NEAR),
    (1e15, 2e15, NEAR), (1e18, 1e18, NEAR), (3e20, 1e20, NEAR), (1e28, 1e28, (-2, 0, 2)),
    (1e4, 1e16, NEAR), (1e6, 1e300, NEAR), (1e12, 1e100, NEAR), (1e300, 3e10, NEAR),
    # one small parameter
    (0.5, 1e8, NEAR), (0.5, 1e300, NEAR), (2.0, 1e12, NEAR), (10.0, 1e16, NEAR),
    (30.0, 1e20, NEAR), (100.0, 1e300, NEAR), (1e16, 10.0, NEAR), (1e300, 2.5, NEAR),
    (60.0, 1e5, NEAR),
]
# Far from the mean, as multiples of it (small parameter first).
FAR = [(30.0, 1e16), (100.0, 1e300), (1e4, 1e16), (2.0, 1e12)]
FACTORS = (0.05, 0.4, 1.6, 3.0)
# The exact doubles of the extremes: I_x at the mean of huge parameters and
# at the smallest x.
EXTREMES = [
    (1e15, 2e15, 0.3333333333), (1e16, 1e16, 0.5), (1e18, 1e18, 0.5), (1e300, 1e300, 0.5),
    (1e4, 1e16, 1.01e-12), (0.5, 1e308, 5e-324), (1.0, 1e308, 5e-324),
    (1e300, 3e299, 1 / 1.3),
]


def arguments():
    """Every (a, b, x) of the table, in order, without repeats."""
    out = []
    for a, b, offsets in PAIRS:
        with mp.workdps(40 + int(math.log10(a + b))):
            s = mp.mpf(a) + b
            mean = a / s
            sd = mp.sqrt(mp.mpf(a) * b / (s * s * (s + 1)))
            out += [(a, b, float(mean + k * sd)) for k in offsets]
    for a, b in FAR:
        mean = mp.mpf(a) / (mp.mpf(a) + b)
        out += [(a, b, float(mean * k)) for k in FACTORS]
    out += EXTREMES
    unique = []
    for abx in out:
        if 0.0 < abx[2] < 1.0 and abx not in unique:
            unique.append(abx)
    return unique


def main():
    # The rows are independent: two processes share them.
    with multiprocessing.Pool(2) as pool:
        rows = pool.starmap(row, arguments())
    write("func_beta_inc_uniform.csv", "a,b,x,I,Ic,lnI,lnIc", rows)


if __name__ == "__main__":
    main()
