#!/usr/bin/env python3
"""Writes the Bessel reference tables beyond the continued fractions' reach.

  func_bessel_jy_large.csv   J, Y, J', Y' for x from 50 to 10^6 and orders up
                             to 100 (Hankel's expansion and the switch-over)
  func_bessel_edges.csv      single values at the edges: tiny x (power
                             series), logarithms of I where I does not fit a
                             double, values that under- or overflow
  func_bessel_negative.csv   J, Y, I, their derivatives and ln I, ln I' at
                             negative non-integer orders down to -30.5, each
                             with the error scale of the reflection formula

Every value is computed with mpmath at 40 significant digits and written as
the nearest double (repr of a Python float); arguments are exact doubles and
the neighbouring orders of the derivative rules are formed exactly.
Run from any directory:  python3 tests/data/gen_bessel_reference.py
"""
import os

import mpmath as mp

mp.mp.dps = 40
HERE = os.path.dirname(os.path.abspath(__file__))


def f(v):
    return repr(float(v))


def jy(nu, x):
    nu, x = mp.mpf(nu), mp.mpf(x)
    j = mp.besselj(nu, x)
    y = mp.bessely(nu, x)
    jp = (mp.besselj(nu - 1, x) - mp.besselj(nu + 1, x)) / 2
    yp = (mp.bessely(nu - 1, x) - mp.bessely(nu + 1, x)) / 2
    return j, y, jp, yp


def large_rows():
    rows = []
    xs = [50.0, 75.5, 200.0, 500.0, 925.0, 1000.0, 1500.5, 2000.0, 5000.0, 1e4, 12345.678,
          1e5, 314159.25, 1e6]
    nus = [0.0, 0.25, 0.5, 1.0, 2.5, 10.3, 33.3, 50.5, 99.5, 100.0]
    for x in xs:
        for nu in nus:
            if nu <= x / 2:
                rows.append([f(nu), f(x)] + [f(v) for v in jy(nu, x)])
    return rows


def ln_i(nu, x, derivative):
    nu, x = mp.mpf(nu), mp.mpf(x)
    if derivative:
        return mp.log((mp.besseli(nu - 1, x) + mp.besseli(nu + 1, x)) / 2)
    return mp.log(mp.besseli(nu, x))


def edge_rows():
    rows = []
    # Power series at small x: I and J of fractional order.
    for nu, x in [(0.5, 1e-12), (0.5, 1e-20), (0.5, 1e-300), (10.5, 1e-15), (0.7, 1e-8),
                  (2.5, 1e-3), (20.7, 1e-5), (50.5, 1.5), (0.1, 1e-100)]:
        rows.append(["I", f(nu), f(x), f(mp.besseli(nu, x))])
    for nu, x in [(0.7, 1e-30), (0.5, 1e-30), (1.5, 1e-20), (20.7, 1e-12), (50.5, 1.5)]:
        rows.append(["J", f(nu), f(x), f(mp.besselj(nu, x))])
    # Logarithms of I and I' where I does not fit a double.
    for nu, x in [(400.5, 30.0), (300.0, 1e5), (0.0, 1e308), (600.5, 25.0), (50.5, 800.0),
                  (120.0, 750.0)]:
        rows.append(["LnI", f(nu), f(x), f(ln_i(nu, x, False))])
        rows.append(["LnIp", f(nu), f(x), f(ln_i(nu, x, True))])
    # Below x ≈ 3e-308 (2/x overflows in the continued fractions): the
    # small-x forms of J, Y, I, K and their derivatives.
    for nu, x in [(0.5, 2.3e-308), (0.0, 1e-308), (1e-10, 1e-320), (0.3, 5e-324),
                  (1.0, 1e-308), (2.5, 1.5e-308)]:
        j, y, jp, yp = jy(nu, x)
        rows += [["J", f(nu), f(x), f(j)], ["Y", f(nu), f(x), f(y)],
                 ["Jp", f(nu), f(x), f(jp)], ["Yp", f(nu), f(x), f(yp)]]
    for nu, x in [(0.3, 2e-308), (0.0, 1.5e-308), (1.5, 1e-308), (1e-10, 5e-324),
                  (0.5, 1e-308), (0.3, 5e-324)]:
        nu_, x_ = mp.mpf(nu), mp.mpf(x)
        i, k = mp.besseli(nu_, x_), mp.besselk(nu_, x_)
        ip = nu_ / x_ * i + mp.besseli(nu_ + 1, x_)
        kp = nu_ / x_ * k - mp.besselk(nu_ + 1, x_)
        rows += [["I", f(nu), f(x), f(i)], ["K", f(nu), f(x), f(k)],
                 ["Ip", f(nu), f(x), f(ip)], ["Kp", f(nu), f(x), f(kp)]]
    rows.append(["I", "0.3", "3e-308", f(mp.besseli(0.3, 3e-308))])
    # Logarithms of I at the smallest subnormal x (x/2 rounds to 0 there),
    # and at negative orders where I_-nu overflows (K_nu outweighs I_nu).
    # I_-nu > 0 there when sin(nu pi) > 0, I'_-nu when sin(nu pi) < 0.
    for nu, x in [(1.0, 5e-324), (0.5, 5e-324), (2.5, 5e-324), (60.0, 5e-324),
                  (-150.5, 1e-3), (-30.5, 1e-30), (-1000.5, 200.0), (-2.5, 1e-300)]:
        rows.append(["LnI", f(nu), f(x), f(ln_i(nu, x, False))])
    for nu, x in [(1.0, 5e-324), (0.5, 5e-324), (2.5, 5e-324), (60.0, 5e-324),
                  (-151.5, 1e-3), (-31.5, 1e-30), (-1001.5, 200.0), (-3.5, 1e-300)]:
        rows.append(["LnIp", f(nu), f(x), f(ln_i(nu, x, True))])
    # Values that are normal doubles near the over- and underflow edges.
    rows.append(["K0", "0.0", f(5e-324), f(mp.besselk(0, 5e-324))])
    rows.append(["K", "0.5", "720.0", f(mp.besselk(0.5, 720))])
    rows.append(["I", "0.5", "706.0", f(mp.besseli(0.5, 706))])
    return rows


def negative_value(fn, nu, x):
    """fn of the negative order nu at x, straight from mpmath (no reflection)."""
    if fn in ("Jp", "Yp", "Ip", "LnIp"):
        base = {"Jp": mp.besselj, "Yp": mp.bessely}.get(fn, mp.besseli)
        sign = 1 if base is mp.besseli else -1
        v = (base(nu - 1, x) + sign * base(nu + 1, x)) / 2
    else:
        v = {"J": mp.besselj, "Y": mp.bessely}.get(fn, mp.besseli)(nu, x)
    return mp.log(v) if fn.startswith("Ln") and v > 0 else (None if fn.startswith("Ln") else v)


def reflection_scale(fn, nup, x):
    """The size of the terms of the reflection at the positive order nup:
    |c|.m(C) + |s|.m(D) for J, Y (m(v) = max(|v|, sqrt(2/(pi x))) for x > nup
    and x >= 0.5, the amplitude that bounds the positive-order error near
    zeros, the first of which lies above 0.89) and
    |I| + (2/pi)|s| K for I; an error of e relative in the positive-order
    values gives at most e times this. For the logarithms, over |value|."""
    c, s = mp.cospi(nup), mp.sinpi(nup)
    amp = mp.sqrt(2 / (mp.pi * x)) if x > nup and x >= 0.5 else 0

    def m(v):
        return max(abs(v), amp)
    d = fn.endswith("p")
    core = fn[2:] if fn.startswith("Ln") else fn
    if core.startswith("I"):
        i = (mp.besseli(nup - 1, x) + mp.besseli(nup + 1, x)) / 2 if d else mp.besseli(nup, x)
        k = -(mp.besselk(nup - 1, x) + mp.besselk(nup + 1, x)) / 2 if d else mp.besselk(nup, x)
        return abs(i) + 2 / mp.pi * abs(s) * abs(k)
    if d:
        j = (mp.besselj(nup - 1, x) - mp.besselj(nup + 1, x)) / 2
        y = (mp.bessely(nup - 1, x) - mp.bessely(nup + 1, x)) / 2
    else:
        j, y = mp.besselj(nup, x), mp.bessely(nup, x)
    return abs(c) * m(j) + abs(s) * m(y) if core.startswith("J") else abs(s) * m(j) + abs(c) * m(y)


NEGATIVE_ORDERS = [-1e-8, -0.1, -0.3, -0.5, -0.75, -1.25, -1.5, -2.5, -2.7, -5.3, -9.99,
                   -10.25, -15.5, -20.01, -29.9, -30.5]
NEGATIVE_XS = [1e-6, 0.01, 0.1, 0.5, 1.0, 1.9, 2.0, 2.5, 5.0, 7.3, 10.0, 20.5, 33.0, 49.0,
               50.0, 75.0, 120.0, 500.0, 1000.0]


def negative_rows():
    rows = []
    for nu in NEGATIVE_ORDERS:
        for x in NEGATIVE_XS:
            nu_, x_ = mp.mpf(nu), mp.mpf(x)
            for fn in ("J", "Y", "Jp", "Yp", "I", "Ip", "LnI", "LnIp"):
                v = negative_value(fn, nu_, x_)
                # Values beyond the double range, and logarithms of negative
                # values (NaN), are tested apart.
                if v is None or abs(v) > mp.mpf("1.7976931348623157e308"):
                    continue
                scale = reflection_scale(fn, -nu_, x_)
                if fn.startswith("Ln"):
                    scale /= abs(mp.exp(v))
                rows.append([fn, f(nu), f(x), f(v), f(scale)])
    return rows


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write(header + "\n")
        for row in rows:
            out.write(",".join(row) + "\n")


def main():
    write("func_bessel_jy_large.csv", "nu,x,J,Y,Jp,Yp", large_rows())
    write("func_bessel_edges.csv", "function,nu,x,value", edge_rows())
    write("func_bessel_negative.csv", "function,nu,x,value,scale", negative_rows())


if __name__ == "__main__":
    main()
