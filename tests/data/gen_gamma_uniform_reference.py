#!/usr/bin/env python3
"""Writes func_gamma_inc_uniform.csv: P(a, x), Q(a, x) and their logarithms
for a from 100 to 1.7e308 with x a few standard deviations from the mean,
x = 0.7·a and x = a + 3√a (the edges of the uniform expansion's region), and
the extremes of the large-parameter prefactor (x far below a). Columns as
func_gamma_inc_large.csv: a,x,P,Q,lnP,lnQ; every x is the double written.

mpmath's own incomplete gamma function does not converge at such a, so each
side is integrated in log space. With t = a·(1 + w),
    Γ(a, x) = a^a·e^−a·∫_{w0}^∞ e^(−a·ψ(w)) dw/(1 + w),   ψ(w) = w − ln(1 + w),
w0 = (x − a)/a (formed from the exact doubles), and Γ(a) = a^a·e^−a·√(2π/a)·e^δ(a)
with δ(a) = ln Γ(a) − ((a − ½)·ln a − a + ½·ln 2π). ψ is formed at a working
precision raised by the digits it cancels (|log10 w|), so the precision grows
with log10(a) only through w0 ~ 1/√a; the integrals are split at the peak
(w = 0, or the end nearest to it) and at multiples of the width there.
Each value is checked a second way before it is written: P + Q − 1 from the
two separate integrals (where both are above 1e-30), and, for a ≤ 1e5,
mpmath's gammainc (to 1e-28). Far below the mean (x < a/2), where the
series converges within a few hundred terms, mpmath's gammainc is taken
and checked against the series of gen_large_parameter_reference.py. The side
near 1 is then written as 1 − (the other side), its logarithm as log1p of
it. Values below the double range are written as 0 (their logarithms as
computed).
Run from any directory:  python3 tests/data/gen_gamma_uniform_reference.py
"""
import math
import os

import mpmath as mp

from gen_large_parameter_reference import gamma_p

DPS = 40


def psi(w):
    with mp.workdps(DPS + 10 + max(0, int(-mp.log10(abs(w)))) if w else DPS):
        return w - mp.log1p(w)


def delta(a):
    with mp.workdps(DPS + 10 + int(math.log10(a))):
        return mp.loggamma(a) - ((a - mp.mpf(0.5)) * mp.log(a) - a + mp.log(2 * mp.pi) / 2)


def side(a, w0, upper):
    """∫ e^(−a·(ψ(w) − ψ(wp)))/(1 + w) dw over the side and the exponent
    −a·ψ(wp) factored out, wp the point of the side nearest the peak w = 0.
    The variable is s = (w − wp)/width, the width of the integrand at wp
    (1/√a at the peak, (1 + w)/(a·|w|) in a tail, where ψ′(w) = w/(1 + w)),
    split at s = 0, ±2^k."""
    wp = w0 if (w0 > 0) == upper and w0 != 0 else mp.mpf(0)
    base = psi(wp)
    width = 1 / mp.sqrt(a) if wp == 0 else min(1 / mp.sqrt(a), (1 + wp) / (a * abs(wp)))

    def f(s):
        w = wp + width * s
        if w <= -1:  # t = 0, the end of the lower side
            return mp.mpf(0)
        return mp.exp(-a * (psi(w) - base)) / (1 + w)

    lo, hi = ((w0 - wp) / width, mp.inf) if upper else ((-1 - wp) / width, (w0 - wp) / width)
    pts = {mp.mpf(0)} | {mp.mpf(sg * 2 ** k) for k in range(12) for sg in (-1, 1)}
    pts = [lo] + sorted(p for p in pts if lo < p < hi) + [hi]
    # The integrand is 1 at s = 0: quad's tolerance is absolute.
    return mp.quad(f, pts) * width, -a * base


def far_below(a, x):
    """P(a, x) for x < a/2, where the series converges within a few hundred
    terms: mpmath's gammainc, checked against the series of
    gen_large_parameter_reference.py at the precision that ln Γ(a) needs."""
    with mp.workdps(DPS + 10 + int(math.log10(a))):
        p = mp.gammainc(mp.mpf(a), 0, mp.mpf(x), regularized=True)
        p2 = gamma_p(a, x)
        assert abs(p - p2) <= mp.mpf(10) ** -30 * p, (a, x, p, p2)
        return +p, 1 - p, mp.log(p), mp.log1p(-p)


def reference(a, x):
    if x < a / 2:
        return far_below(a, x)
    a = mp.mpf(a)
    x = mp.mpf(x)
    w0 = (x - a) / a
    lnnorm = mp.log(mp.sqrt(2 * mp.pi / a)) + delta(a)
    out = {}
    for upper in (False, True):
        integral, expo = side(a, w0, upper)
        out[upper] = expo + mp.log(integral) - lnnorm
    lnp, lnq = out[False], out[True]
    p, q = mp.exp(lnp), mp.exp(lnq)
    if p > 1e-30 and q > 1e-30:
        assert abs(p + q - 1) < mp.mpf(10) ** -28, (a, x, p + q - 1)
    # The side near 1 from the other one's integral, which keeps its digits.
    if p < q:
        q, lnq = 1 - p, mp.log1p(-p)
    else:
        p, lnp = 1 - q, mp.log1p(-q)
    if a <= 1e5:
        with mp.workdps(DPS + 10):
            q2 = mp.gammainc(a, 0, x, regularized=True)
            assert abs(p - q2) <= mp.mpf(10) ** -28 * p, (a, x, p, q2)
    return p, q, lnp, lnq


def num(v):
    v = float(v)
    return repr(v) if v >= 2.2250738585072014e-308 else "0.0"


def rows():
    for a in [100.0, 150.0, 1e3, 1e4, 1e5, 1e6, 1e8, 1e10, 1e12, 1e15, 1e16, 1e18, 1e20,
              1e30, 1e50, 1e100, 1e200, 1e300, 1.7e308]:
        s = math.sqrt(a)
        for k in [-30.0, -8.0, -3.0, -1.0, -0.1, 0.0, 0.5, 1.0, 3.0, 8.0, 30.0]:
            yield a, a + k * s
        yield a, 0.7 * a
        yield a, math.nextafter(0.7 * a, 0.0)
        yield a, a + 3.0 * s
        yield a, math.nextafter(a + 3.0 * s, math.inf)
    # Far below the mean, where the prefactor's ln(x/a) matters.
    for a, x in [(1736170.0, 1.0), (788352.3125, 1.0), (53731.765625, 1.0), (1e4, 1e-10),
                 (1e5, 1e-300), (1e9, 1.0), (1e16, 1.0)]:
        yield a, x


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "func_gamma_inc_uniform.csv")
    seen = set()
    lines = ["a,x,P,Q,lnP,lnQ"]
    for a, x in rows():
        if (a, x) in seen or x <= 0:
            continue
        seen.add((a, x))
        mp.mp.dps = DPS
        p, q, lnp, lnq = reference(a, x)
        fields = [repr(a), repr(x), num(p), num(q), repr(float(lnp)), repr(float(lnq))]
        lines.append(",".join(fields))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
