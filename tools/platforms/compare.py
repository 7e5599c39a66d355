#!/usr/bin/env python3
"""Compares the outputs of one corpus of vesk calls on several platforms.

    python3 tools/platforms/compare.py corpus.calls NAME=out.txt NAME=out.txt ...

Prints how many outputs are identical on all platforms and, for each script
function with differing outputs, how many differ and by how many units in
the last place (ulps) at most, against the first platform. Outputs print
numbers with 17 significant digits, so identical text means identical bits.
Exits 1 when the output files do not line up with the corpus.
"""
import re
import struct
import sys
from collections import defaultdict

NUMBER = re.compile(r"-?(?:inf|nan|\d+(?:\.\d*)?(?:e[-+]?\d+)?)")


def ordered(x):
    (i,) = struct.unpack("<q", struct.pack("<d", x))
    return i if i >= 0 else -(i & 0x7FFFFFFFFFFFFFFF)


def ulps(a, b):
    if a != a or b != b:
        return 0 if (a != a) == (b != b) else None
    return abs(ordered(a) - ordered(b))


def numbers(line):
    return [float(t) for t in NUMBER.findall(line.split(" error ")[0])]


def main(argv):
    calls = [c.rstrip("\n") for c in open(argv[1])]
    names, outputs = [], []
    for spec in argv[2:]:
        name, path = spec.split("=", 1)
        lines = [l.rstrip("\r\n") for l in open(path)]
        if len(lines) != len(calls):
            print(f"{name}: {len(lines)} output lines for {len(calls)} calls")
            return 1
        names.append(name)
        outputs.append(lines)
    identical = 0
    diff = defaultdict(lambda: defaultdict(lambda: [0, 0, ""]))
    for i, call in enumerate(calls):
        row = call.split("(", 1)[0]
        base = outputs[0][i]
        if all(o[i] == base for o in outputs):
            identical += 1
            continue
        for name, o in zip(names[1:], outputs[1:]):
            if o[i] == base:
                continue
            a, b = numbers(base), numbers(o[i])
            d = [ulps(x, y) for x, y in zip(a, b)] if len(a) == len(b) else [None]
            worst = None if None in d else max(d)
            entry = diff[row][name]
            entry[0] += 1
            if worst is None or entry[1] is None:
                entry[1] = None
            elif worst > entry[1]:
                entry[1], entry[2] = worst, call
    print(f"{identical} of {len(calls)} outputs identical on {', '.join(names)}")
    print()
    print(f"| function | platform | outputs differing from {names[0]} | largest difference (ulps) | at |")
    print("|---|---|---:|---:|---|")
    for row in sorted(diff):
        for name in names[1:]:
            if name in diff[row]:
                n, worst, at = diff[row][name]
                w = "not comparable" if worst is None else str(worst)
                print(f"| {row} | {name} | {n} | {w} | `{at}` |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
