#!/usr/bin/env python3
"""Writes the reference tables of the special function tests.

Every value is computed with mpmath at 40 significant digits and written as
the nearest double (repr of a Python float). Arguments are exact doubles.
Run from any directory:  python3 tests/data/gen_function_reference.py
"""
import math
import os

import mpmath as mp

mp.mp.dps = 40
HERE = os.path.dirname(os.path.abspath(__file__))

TINY = 1e-290   # values below this (or above its inverse) are left out:
HUGE = 1e290    # the methods work with a floor of 1e-300


def f(v):
    return repr(float(v))


def ok(*values):
    return all(TINY < abs(v) < HUGE for v in values)


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write(header + "\n")
        for row in rows:
            out.write(",".join(row) + "\n")


def lngamma_rows():
    xs = [1e-3, 0.01, 0.1, 0.25, 0.5, 0.9, 1.0, 1.1, 1.5, 1.9, 2.0, 2.1, 2.5, 3.0,
          4.5, 7.25, 10.0, 20.5, 30.0, 50.0, 100.0, 171.5, 200.0, 500.0, 1000.0, 1e4, 1e5]
    return [[f(x), f(mp.loggamma(x))] for x in xs]


def gamma_inc_rows():
    rows = []
    for a in [0.05, 0.5, 1.0, 3.0, 10.0, 50.0, 200.0]:
        xs = {1e-3, 0.1, 0.5, 1.0, 2.0, 5.0, 20.0, 80.0, a * 0.5, a, a + 0.999,
              a + 1.0, a + 5.0, 2.0 * a, 4.0 * a}
        for x in sorted(xs):
            p = mp.gammainc(a, 0, x, regularized=True)
            q = mp.gammainc(a, x, mp.inf, regularized=True)
            if p == 0 or q == 0:
                continue
            rows.append([f(a), f(x), f(p) if ok(p) else "nan", f(q) if ok(q) else "nan",
                         f(mp.log(p)), f(mp.log(q))])
    return rows


def beta_inc_rows():
    rows = []
    for a in [0.2, 0.5, 1.0, 2.5, 10.0, 40.0, 200.0]:
        for b in [0.3, 1.0, 3.0, 15.0, 150.0]:
            for x in [1e-4, 0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99, 0.9999]:
                i = mp.betainc(a, b, 0, x, regularized=True)
                c = mp.betainc(b, a, 0, 1 - mp.mpf(x), regularized=True)
                if i == 0 or c == 0:
                    continue
                rows.append([f(a), f(b), f(x), f(i) if ok(i) else "nan",
                             f(c) if ok(c) else "nan", f(mp.log(i)), f(mp.log(c))])
    return rows


def beta_rows():
    pairs = [(0.5, 0.5), (1.0, 1.0), (0.1, 3.0), (2.5, 4.0), (10.0, 0.3), (30.0, 40.0),
             (100.0, 100.0), (500.0, 2.0)]
    return [[f(a), f(b), f(mp.beta(a, b)), f(mp.log(mp.beta(a, b)))] for a, b in pairs]


def erf_rows():
    xs = [-6.0, -3.0, -1.5, -0.5, -1e-3, 1e-8, 1e-3, 0.1, 0.3, 0.5, 0.8, 1.0, 1.3,
          1.7, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0]
    return [[f(x), f(mp.erf(x)), f(mp.erfc(abs(x)))] for x in xs]


def bessel_poly_rows():
    rows = []
    xs = [1e-3, 0.1, 0.5, 1.0, 2.0, 3.0, 3.7, 3.75, 3.8, 5.0, 8.0, 15.0, 30.0, 100.0, 500.0]
    for x in xs:
        for sx in (x, -x):
            rows.append(["I0", f(sx), f(mp.besseli(0, sx))])
            rows.append(["I1", f(sx), f(mp.besseli(1, sx))])
    for x in [1e-3, 0.1, 0.5, 1.0, 1.5, 1.99, 2.0, 2.01, 3.0, 5.0, 10.0, 30.0, 100.0, 500.0]:
        rows.append(["K0", f(x), f(mp.besselk(0, x))])
        rows.append(["K1", f(x), f(mp.besselk(1, x))])
    return rows


def bessel_int_rows():
    rows = []
    for n in [2, 3, 5, 10, 25, 60]:
        for x in [1e-25, 1e-20, 1e-12, 0.01, 0.5, 1.0, 2.0, 5.0, 10.0, 30.0, 50.0, 100.0,
                  200.0, 500.0]:
            for sx in (x, -x):
                v = mp.besseli(n, sx)
                if ok(v):
                    rows.append(["In", str(n), f(sx), f(v)])
            v = mp.besselk(n, x)
            if ok(v):
                rows.append(["Kn", str(n), f(x), f(v)])
    return rows


NUS = [0.0, 0.25, 1.0 / 3.0, 0.5, 1.0, 1.5, 2.0, 2.5, 5.3, 10.7, 20.2, 50.5]
XS = [0.01, 0.1, 0.5, 1.0, 1.9, 2.0, 2.5, 5.0, 7.3, 10.0, 20.0, 50.0, 100.0, 300.0, 500.0]


def pair_rows(first, second, first_prime, second_prime):
    """Rows nu, x, F, S, F', S' for a pair of Bessel functions and the
    derivative rules that give F' and S' from the neighbouring orders."""
    rows = []
    for nu in NUS:
        for x in XS:
            values = [first(nu, x), second(nu, x), first_prime(nu, x), second_prime(nu, x)]
            if ok(*values):
                rows.append([f(nu), f(x)] + [f(v) for v in values])
    return rows


def bessel_jy_rows():
    return pair_rows(mp.besselj, mp.bessely,
                     lambda nu, x: (mp.besselj(nu - 1, x) - mp.besselj(nu + 1, x)) / 2,
                     lambda nu, x: (mp.bessely(nu - 1, x) - mp.bessely(nu + 1, x)) / 2)


def bessel_ik_rows():
    return pair_rows(mp.besseli, mp.besselk,
                     lambda nu, x: (mp.besseli(nu - 1, x) + mp.besseli(nu + 1, x)) / 2,
                     lambda nu, x: -(mp.besselk(nu - 1, x) + mp.besselk(nu + 1, x)) / 2)


def ln_region(nu, x, integral, derivative):
    """Which approximation the logarithm routines use at (x, nu)."""
    if nu / 30.0 > x:
        return "series"
    if x > 4.0 * nu * nu - 1.0 and x >= 5.0:
        return "asymptotic"
    if integral and not derivative:
        return "integer"
    return "computed"


def bessel_ln_rows():
    rows = []
    points = []
    for nu in [0.0, 0.5, 1.0, 2.0, 2.5, 7.0, 7.5, 60.0, 90.0, 150.5]:
        for x in [0.01, 0.1, 0.5, 1.0, 2.0, 3.0, 3.9, 4.0, 8.0, 16.0, 50.0, 100.0, 250.0,
                  700.0, 1000.0]:
            points.append((nu, x))
    # Where the routines compute I or I' itself, the value must be a double.
    for nu, x in points:
        integral = float(nu).is_integer()
        i = mp.besseli(nu, x)
        region = ln_region(nu, x, integral, False)
        if region in ("series", "asymptotic") or ok(i):
            rows.append(["LnI", region, f(nu), f(x), f(mp.log(i))])
        ip = (mp.besseli(nu - 1, x) + mp.besseli(nu + 1, x)) / 2
        region = ln_region(nu, x, integral, True)
        if region in ("series", "asymptotic") or ok(ip):
            rows.append(["LnIp", region, f(nu), f(x), f(mp.log(ip))])
    return rows


def ftest_rows():
    samples = [
        ([1.0, 2.0, 3.0, 4.0, 5.0], [2.0, 4.0, 6.0, 8.0, 10.0, 12.0]),
        ([0.3, 0.1, 0.4, 0.1, 0.5, 0.9, 0.2], [2.6, 5.3, 5.8, 9.7, 9.3]),
        ([10.0, 10.5, 9.5], [1.0, 3.0, 5.0, 7.0, 9.0, 11.0, 13.0, 15.0]),
        ([1.0, 1.1, 0.9, 1.05, 0.95, 1.0], [1.0, 1.2, 0.8, 1.1, 0.9, 1.0]),
    ]
    rows = []
    for a, b in samples:
        va = mp.mpf(sum((mp.mpf(v) - mp.fsum(a) / len(a)) ** 2 for v in a)) / (len(a) - 1)
        vb = mp.mpf(sum((mp.mpf(v) - mp.fsum(b) / len(b)) ** 2 for v in b)) / (len(b) - 1)
        if va > vb:
            fr, num, den = va / vb, len(a) - 1, len(b) - 1
        else:
            fr, num, den = vb / va, len(b) - 1, len(a) - 1
        prob = 2 * mp.betainc(mp.mpf(den) / 2, mp.mpf(num) / 2, 0,
                              den / (den + num * fr), regularized=True)
        if prob > 1:
            prob = 2 - prob
        rows.append([" ".join(f(v) for v in a), " ".join(f(v) for v in b), f(fr), f(prob)])
    return rows


def rounding_rows():
    """Rows function,a,b,x,value where the result is held to its rounding
    error, far below the ln Γ bound of the tables above: ln Q(a, x) at a small
    a, where the series fixes it to about 1e-12, and I_x(a, b) with a + b
    beyond 1e4, whose Stirling prefactor has no Lanczos error (b is "nan"
    for the gamma rows)."""
    rows = []
    for x in [0.1, 0.5, 0.9]:
        q = mp.gammainc(1e-3, x, mp.inf, regularized=True)
        rows.append(["LnGamma_Q", f(1e-3), "nan", f(x), f(mp.log(q))])
    for x in [1e-4, 2e-4, 5e-4, 1e-3, 2e-3]:
        for a, b, y in [(10.0, 2e4, x), (2e4, 10.0, 1.0 - x)]:
            i = mp.betainc(a, b, 0, y, regularized=True)
            rows.append(["Beta_I", f(a), f(b), f(y), f(i)])
            rows.append(["LnBeta_I", f(a), f(b), f(y), f(mp.log(i))])
    return rows


def main():
    write("func_lngamma.csv", "x,lngamma", lngamma_rows())
    write("func_gamma_inc.csv", "a,x,P,Q,lnP,lnQ", gamma_inc_rows())
    write("func_beta_inc.csv", "a,b,x,I,Ic,lnI,lnIc", beta_inc_rows())
    write("func_beta.csv", "a,b,beta,lnbeta", beta_rows())
    write("func_erf.csv", "x,erf,erfc_abs_x", erf_rows())
    write("func_bessel_poly.csv", "function,x,value", bessel_poly_rows())
    write("func_bessel_int.csv", "function,n,x,value", bessel_int_rows())
    write("func_bessel_jy.csv", "nu,x,J,Y,Jp,Yp", bessel_jy_rows())
    write("func_bessel_ik.csv", "nu,x,I,K,Ip,Kp", bessel_ik_rows())
    write("func_bessel_ln.csv", "function,region,nu,x,value", bessel_ln_rows())
    write("func_ftest.csv", "dataA,dataB,f,prob", ftest_rows())
    write("func_inc_rounding.csv", "function,a,b,x,value", rounding_rows())


if __name__ == "__main__":
    main()
