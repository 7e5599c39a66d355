#!/usr/bin/env python3
"""Writes the reference table of the statistics tests (tests/data/stat_reference.txt).

Every sample is made of doubles written below exactly as the tests read them.
Values are computed with mpmath at 50 significant digits from the closed forms
and written as the nearest doubles.
Run from any directory:  python3 tests/data/gen_stat_reference.py

Line format (space separated, fields split by '|'):
  loglik | values | LG LL
      the marginal log-likelihoods of the normal model
        LG = lnG((N+1)/2) + ln2/2 - (N/2) ln pi - ((N-1)/2) ln N - (N/2) ln V
             - ln(20 sqrt V) - ln 10^4,   V = S/N, S = sum (x - mean)^2 (1/N when 0)
      and of the log-normal model (the same on y = ln x, then - N mean(y) - 2 ln 10^4
      in place of the last two terms).
  excess | values | dispersions | Disp0 Mean SEM2
      Disp0 = s^2 with s the root in (0, h) of the excess-dispersion score
        g(s) = sum (w_i (x_i - m)^2 - 1) w_i,  w_i = 1/(s^2 + d_i),  m = sum w x / sum w,
      h = sqrt(sum x^2 / (n - 1)), or 0 when g(0) and g(h) have the same sign;
      Mean and SEM2 the inverse-variance weighted mean and 1/sum(1/(Disp0 + d_i)).
"""
import math
import os

import mpmath as mp

mp.mp.dps = 50
HERE = os.path.dirname(os.path.abspath(__file__))


def f(v):
    return repr(float(v))


def common(ys):
    N = mp.mpf(len(ys))
    m = mp.fsum(ys) / N
    S = mp.fsum((y - m) ** 2 for y in ys)
    if S == 0:
        S = 1 / N
    V = S / N
    c = (mp.loggamma((N + 1) / 2) + mp.log(2) / 2 - N / 2 * mp.log(mp.pi)
         - (N - 1) / 2 * mp.log(N) - N / 2 * mp.log(V))
    return c, m, V, N


def loglik(xs):
    xm = [mp.mpf(x) for x in xs]
    c, _, V, _ = common(xm)
    lg = c - mp.log(20 * mp.sqrt(V)) - mp.log(10000)
    c, m, _, N = common([mp.log(x) for x in xm])
    ll = c - N * m - 2 * mp.log(10000)
    return lg, ll


def score(s, xs, ds):
    w = [1 / (s * s + d) for d in ds]
    W = mp.fsum(w)
    m = mp.fsum(wi * x for wi, x in zip(w, xs)) / W
    return mp.fsum((wi * (x - m) ** 2 - 1) * wi for wi, x in zip(w, xs))


def excess(xs, ds):
    xm = [mp.mpf(x) for x in xs]
    dm = [mp.mpf(d) for d in ds]
    h = mp.sqrt(mp.fsum(x * x for x in xm) / (len(xm) - 1))
    g0, gh = score(mp.mpf(0), xm, dm), score(h, xm, dm)
    if g0 * gh >= 0:
        s = mp.mpf(0)
    else:
        lo, hi, glo = mp.mpf(0), h, g0
        for _ in range(200):  # bisection to far below a double's spacing
            mid = (lo + hi) / 2
            gm = score(mid, xm, dm)
            if (gm < 0) != (glo < 0):
                hi = mid
            else:
                lo, glo = mid, gm
        s = (lo + hi) / 2
    v = [s * s + d for d in dm]
    W = mp.fsum(1 / vi for vi in v)
    mean = mp.fsum(x / vi for x, vi in zip(xm, v)) / W
    return s * s, mean, 1 / W


def main():
    lines = []
    smooth = [round(math.exp(math.sin(1.3 * i) + 0.1 * i), 6) for i in range(40)]
    for xs in ([1.0, 2.0, 3.0], [1.0, 10.0, 100.0, 1000.0, 10000.0],
               [0.5, 0.7, 1.9, 2.2, 3.1, 8.0], [5.0, 5.0001], [2.0, 2.0, 2.0], smooth,
               # LL - LG = 0.97 and 1.39: either side of the margin of 1.
               [1.0, 3.0, 9.0, 27.0, 81.0], [1.0, 5.0, 25.0, 125.0]):
        lg, ll = loglik(xs)
        lines.append("loglik | %s | %s %s" % (" ".join(map(repr, xs)), f(lg), f(ll)))
    cases = [
        ([1.0, 4.0, 2.0, 7.0, 3.0], [1.0, 0.5, 1.0, 2.0, 1.0]),
        ([10.0, 10.5, 9.8, 12.0], [0.04, 0.09, 0.01, 0.25]),
        ([-3.0, 1.0, 2.5, 8.0, 0.5, -1.0], [4.0, 1.0, 2.0, 9.0, 0.5, 1.0]),
        # Scatter explained by the dispersions: no excess.
        ([1.0, 1.1, 0.9], [1.0, 1.0, 1.0]),
    ]
    for xs, ds in cases:
        d0, mean, sem2 = excess(xs, ds)
        lines.append("excess | %s | %s | %s %s %s" % (" ".join(map(repr, xs)), " ".join(map(repr, ds)),
                                                     f(d0), f(mean), f(sem2)))
    with open(os.path.join(HERE, "stat_reference.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
