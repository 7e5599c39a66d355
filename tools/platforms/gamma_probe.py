#!/usr/bin/env python3
"""Compares outputs of gamma_probe.cpp from several platforms with mpmath.

    python3 tools/platforms/gamma_probe.py NAME=out.txt NAME=out.txt ...

For each platform: how many values of the double tgamma, of the long double
tgamma rounded to double and of lgamma are the nearest double, their largest
error in ulps, and how many agree bit for bit with the first platform's
double tgamma (and lgamma).
"""
import sys

import mpmath

mpmath.mp.prec = 160


def ulp_error(value, exact):
    ulp = mpmath.mpf(2) ** (mpmath.floor(mpmath.log(abs(exact), 2)) - 52)
    return float(abs(mpmath.mpf(value) - exact) / ulp)


def main(argv):
    runs = []
    for spec in argv[1:]:
        name, path = spec.split("=", 1)
        rows = [[float.fromhex(t) for t in line.split()] for line in open(path) if line.strip()]
        runs.append((name, rows))
    base = runs[0][1]
    # The argument is ν + 1 rounded to double, as the probe passes it.
    exact = [(mpmath.gamma(mpmath.mpf(r[0] + 1.0)), mpmath.loggamma(mpmath.mpf(r[0] + 1.0))) for r in base]
    for name, rows in runs:
        print(f"{name}: {len(rows)} values of nu")
        for col, label in ((1, "tgamma"), (2, "(double) tgammal"), (3, "lgamma")):
            ex = [e[1] if col == 3 else e[0] for e in exact]
            nearest = sum(r[col] == float(e) for r, e in zip(rows, ex))
            worst = max(ulp_error(r[col], e) for r, e in zip(rows, ex) if e != 0)
            same = sum(r[col] == b[3 if col == 3 else 1] for r, b in zip(rows, base))
            print(f"  {label:17} nearest double {nearest:5}  largest error {worst:5.2f} ulps"
                  f"  same bits as {runs[0][0]}'s {'lgamma' if col == 3 else 'tgamma'} {same:5}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
