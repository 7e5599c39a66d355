#!/usr/bin/env python3
"""Writes the Bessel reference tables beyond the continued fractions' reach.

  func_bessel_jy_large.csv   J, Y, J', Y' for x from 50 to 10^6 and orders up
                             to 100 (Hankel's expansion and the switch-over)
  func_bessel_edges.csv      single values at the edges: tiny x (power
                             series), logarithms of I where I does not fit a
                             double, values that under- or overflow

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
    # Values that are normal doubles near the over- and underflow edges.
    rows.append(["K0", "0.0", f(5e-324), f(mp.besselk(0, 5e-324))])
    rows.append(["K", "0.5", "720.0", f(mp.besselk(0.5, 720))])
    rows.append(["I", "0.5", "706.0", f(mp.besseli(0.5, 706))])
    return rows


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write(header + "\n")
        for row in rows:
            out.write(",".join(row) + "\n")


def main():
    write("func_bessel_jy_large.csv", "nu,x,J,Y,Jp,Yp", large_rows())
    write("func_bessel_edges.csv", "function,nu,x,value", edge_rows())


if __name__ == "__main__":
    main()
