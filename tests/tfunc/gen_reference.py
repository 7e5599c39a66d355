#!/usr/bin/env python3
"""Writes tests/data/tfunc_logintexp.txt: tables (x, y) and the natural
logarithm of the integral of exp(y(x)) over them, y linear between points,
computed at 50 digits with mpmath from the exact double values.

An interval whose rise |dy| exceeds 14 is integrated by the one-sided form
that the table uses there (exp(y_high) / |slope|, which leaves out a factor
1 - exp(-|dy|)), so that such cases can still be held to rounding accuracy.

Format, per case:
    case <name> <tolerance> <n>
    <x> <y>            (n lines, 17 significant digits)
    expect <value>
"""
import math
import os

import mpmath

mpmath.mp.dps = 50


def log_integral(xs, ys):
    total = mpmath.mpf(0)
    for i in range(len(xs) - 1):
        x0, x1 = mpmath.mpf(xs[i]), mpmath.mpf(xs[i + 1])
        y0, y1 = mpmath.mpf(ys[i]), mpmath.mpf(ys[i + 1])
        dx = x1 - x0
        if dx == 0:
            continue
        dy = y1 - y0
        if abs(dy) > 14:
            total += mpmath.exp(max(y0, y1)) * dx / abs(dy)
        elif dy == 0:
            total += dx * mpmath.exp(y0)
        else:
            total += mpmath.exp(y0) * mpmath.expm1(dy) * dx / dy
    return mpmath.log(total)


def cases():
    # Smooth, unequal spacing, moderate slopes.
    xs = [3.0 * (i / 30.0) ** 1.3 for i in range(31)]
    yield "smooth", 1e-13, xs, [4.0 * math.sin(2.0 * x) for x in xs]
    # Steep but every step below 14 in y.
    xs = [i / 10.0 for i in range(21)]
    yield "steep", 1e-12, xs, [30.0 * x * x for x in xs]
    # Rises beyond 14, up and down.
    yield "jumps", 1e-13, [0.0, 1.0, 1.5, 3.0], [0.0, 20.0, -5.0, 15.0]
    # A repeated abscissa: the zero-width step is skipped.
    yield "repeated", 1e-13, [0.0, 1.0, 1.0, 2.0], [0.0, 1.0, 3.0, 2.0]
    # A rise of 1e-4: the table forms e^dy - 1 directly, whose rounding near
    # 1 (2.2e-16) over dy bounds the error at 2.3e-12.
    yield "gentle", 2.3e-12, [0.0, 1.0], [0.0, 1e-4]
    # A fall of 2, well short of the one-sided form: ln((1 - e^-2)/2).
    yield "fall", 1e-15, [0.0, 1.0], [0.0, -2.0]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "data", "tfunc_logintexp.txt")
    with open(out, "w") as f:
        for name, tol, xs, ys in cases():
            f.write("case %s %r %d\n" % (name, tol, len(xs)))
            for x, y in zip(xs, ys):
                f.write("%.17g %.17g\n" % (x, y))
            f.write("expect %s\n" % mpmath.nstr(log_integral(xs, ys), 25))


if __name__ == "__main__":
    main()
