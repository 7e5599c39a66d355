#!/usr/bin/env python3
"""Draws the error of each special function family against its argument.

Reads the point list of the accuracy tool and writes one small PNG per
family into the output directory (docs/ by default), each function's errors
as markers and its method's bound as a dashed line of the same colour:

    build/tools/special/function_accuracy --points | \\
        python3 tools/special/plot_accuracy.py docs

Run by hand after the tables or the methods change; the tests never need it.
Needs matplotlib (Debian: apt-get install python3-matplotlib).
"""
import math
import os
import re
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import matplotlib.ticker  # noqa: E402

# Errors of exactly 0 are drawn on this floor (the axes are logarithmic).
FLOOR = 1e-18

# (file name, title, argument on the horizontal axis, functions of the family)
FAMILIES = [
    ("accuracy-lngamma.png", "LnGamma (absolute error of ln Γ)", "x", ["LnGamma"]),
    ("accuracy-gamma-inc.png", "Incomplete gamma (own side; logs absolute)", "x",
     ["Gamma_P", "Gamma_Q", "LnGamma_P", "LnGamma_Q"]),
    ("accuracy-beta-inc.png", "Incomplete beta (own side; log absolute)", "x",
     ["Beta_I", "LnBeta_I"]),
    ("accuracy-beta.png", "Beta (relative), LnBeta (absolute)", "b", ["Beta", "LnBeta"]),
    ("accuracy-gamma-large.png", "ln Γ at tiny x, incomplete gamma at large a (own side)", "a",
     ["LnGamma (large or tiny parameters)", "Gamma_P (large or tiny parameters)",
      "Gamma_Q (large or tiny parameters)", "LnGamma_P (large or tiny parameters)",
      "LnGamma_Q (large or tiny parameters)"]),
    ("accuracy-gamma-uniform.png",
     "Incomplete gamma from a = 100 (relative, values in units of max(1, |ln tail|))", "a",
     ["Gamma_P (from a = 100)", "Gamma_Q (from a = 100)", "LnGamma_P (from a = 100)",
      "LnGamma_Q (from a = 100)", "Gamma_P (from a = 100, ln Γ prefactor)",
      "Gamma_Q (from a = 100, ln Γ prefactor)", "LnGamma_P (from a = 100, ln Γ prefactor)",
      "LnGamma_Q (from a = 100, ln Γ prefactor)"]),
    ("accuracy-beta-large.png", "Incomplete beta and beta at large parameters", "b",
     ["Beta_I (large or tiny parameters)", "LnBeta_I (large or tiny parameters)",
      "Beta (large or tiny parameters)", "LnBeta (large or tiny parameters)"]),
    ("accuracy-beta-uniform.png", "Incomplete beta at huge parameters (I rel, ln I / |ln I|)",
     "b", ["Beta_I (huge parameters)", "LnBeta_I (huge parameters)"]),
    ("accuracy-erf.png", "Erf (absolute / erfc(|x|))", "x", ["Erf"]),
    ("accuracy-ftest.png", "FTest (significance absolute, ratio relative)", "na",
     ["FTest", "FTest ratio"]),
    ("accuracy-bessel-poly.png", "I0, I1, K0, K1 polynomials (relative)", "x",
     ["BesselI0", "BesselI1", "BesselK0", "BesselK1"]),
    ("accuracy-bessel-int.png", "Integer-order I and K (relative)", "x",
     ["BesselIn (integer n)", "BesselKn (integer n)"]),
    ("accuracy-bessel-jy.png", "Fractional J, Y, J′, Y′ (relative, floor √(2/(πx)))", "x",
     ["BesselJFrac", "BesselYFrac", "BesselJpFrac", "BesselYpFrac"]),
    ("accuracy-bessel-jy-large.png", "J, Y, J′, Y′ at large x (absolute / √(2/(πx)))", "x",
     ["BesselJFrac (large x)", "BesselYFrac (large x)", "BesselJpFrac (large x)",
      "BesselYpFrac (large x)"]),
    ("accuracy-bessel-ik.png", "Fractional I, K, I′, K′ (relative)", "x",
     ["BesselIFrac", "BesselKFrac", "BesselIpFrac", "BesselKpFrac"]),
    ("accuracy-bessel-ln.png", "ln I, ln I′ (absolute)", "x",
     ["LnBesselIn (asymptotic)", "LnBesselIn (integer order)", "LnBesselIn (computed)",
      "LnBesselIpn (asymptotic)", "LnBesselIpn (computed)"]),
    ("accuracy-bessel-negative.png",
     "J, Y, I and derivatives at negative orders (absolute / reflection scale)", "x",
     ["BesselJFrac (negative order)", "BesselYFrac (negative order)",
      "BesselJpFrac (negative order)", "BesselYpFrac (negative order)",
      "BesselIFrac (negative order)", "BesselIpFrac (negative order)"]),
    ("accuracy-bessel-negative-ln.png", "ln I, ln I′ at negative orders", "x",
     ["LnBesselIn (negative order)", "LnBesselIpn (negative order)",
      "LnBesselIn (negative order, asymptotic)", "LnBesselIpn (negative order, asymptotic)"]),
    ("accuracy-bessel-ln-series.png", "ln I, ln I′ by the series term (in units of its bound)",
     "x", ["LnBesselIn (series term)", "LnBesselIpn (series term)"]),
]

MARKERS = ["o", "s", "^", "v", "D"]


def read_points(stream):
    """{function: (bound, [(arguments, error)])} from the tool's point list."""
    points = {}
    for line in stream:
        parts = line.rstrip("\n").split("\t")
        if len(parts) != 4:
            continue
        function, bound, where, error = parts
        args = {k: float(v) for k, v in re.findall(r"(\w+)=([^,]+)", where)}
        entry = points.setdefault(function, (float(bound), []))
        entry[1].append((args, float(error)))
    return points


def argument(args, name):
    if name in args:
        return abs(args[name])
    return abs(next(iter(args.values()))) if args else 1.0


# Arguments beyond this are drawn as log10 on a linear axis (a logarithmic
# axis up to 1e308 overflows in matplotlib's transforms).
LOG_AXIS_LIMIT = 1e250


def draw(points, out_dir, file_name, title, axis, functions):
    fig, ax = plt.subplots(figsize=(6.4, 3.6), dpi=72)
    drawn = [points[f][1] for f in functions if f in points]
    log10_axis = any(argument(a, axis) > LOG_AXIS_LIMIT for rows in drawn for a, _ in rows)
    for n, function in enumerate(functions):
        if function not in points:
            continue
        bound, rows = points[function]
        colour = "C%d" % n
        xs = [argument(a, axis) for a, _ in rows]
        if log10_axis:
            xs = [math.log10(x) for x in xs]
        es = [max(e, FLOOR) if math.isfinite(e) else 1.0 for _, e in rows]
        ax.scatter(xs, es, s=10, marker=MARKERS[n % len(MARKERS)], color=colour, alpha=0.6,
                   label=function)
        ax.axhline(bound, color=colour, linestyle="--", linewidth=1)
    if not log10_axis:
        ax.set_xscale("log")
    ax.set_yscale("log")
    # Arguments near the top of the double range: the automatic margins
    # would overflow the axis limits (beyond LOG_AXIS_LIMIT the axis is log10).
    every = [argument(a, axis) for f in functions if f in points for a, _ in points[f][1]]
    if not log10_axis and every and max(every) > 1e200:
        ax.set_xlim(min(every) / 10, 1e306)
        ax.set_xticks([10.0 ** k for k in range(0, 301, 50)])
        ax.xaxis.set_minor_locator(matplotlib.ticker.NullLocator())
    ax.set_xlabel(("log10 |%s|" if log10_axis else "|%s|") % axis)
    ax.set_ylabel("error (dashed: bound)")
    ax.set_title(title, fontsize=10)
    ax.legend(fontsize=7, loc="best")
    ax.grid(True, which="major", linewidth=0.3)
    fig.tight_layout()
    fig.savefig(os.path.join(out_dir, file_name))
    plt.close(fig)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else "docs"
    points = read_points(sys.stdin)
    known = {f for _, _, _, fs in FAMILIES for f in fs}
    for function in sorted(set(points) - known):
        print("not drawn (no family): %s" % function, file=sys.stderr)
    for file_name, title, axis, functions in FAMILIES:
        draw(points, out_dir, file_name, title, axis, functions)
        print(os.path.join(out_dir, file_name))


if __name__ == "__main__":
    main()
