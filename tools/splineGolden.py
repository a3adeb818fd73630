#!/usr/bin/python3
"""Writes tests/math/splines/golden/naturalCubic.txt: random control point
sets (rounded to 32-bit floats) and their natural cubic spline sampled by
SciPy at i + j/detail, the oracle the spline tests compare against.

    /usr/bin/python3 tools/splineGolden.py          # rewrite the golden file
"""
import os
import sys

import numpy as np
from scipy.interpolate import CubicSpline

# (segments, samples per segment, coordinate range): short and long splines,
# coarse and fine sampling, unit-sized and window-sized coordinates.
CASES = [
    (1, 4, 1.0), (2, 3, 10.0), (3, 1, 100.0), (5, 10, 100.0), (8, 7, 1.0),
    (17, 10, 800.0), (40, 12, 600.0), (100, 4, 100.0), (300, 2, 2000.0),
]


def write_case(out, rng, n, detail, scale):
    points = rng.uniform(-scale, scale, size=(n + 1, 3)).astype(np.float32)
    knots = np.arange(n + 1, dtype=np.float64)
    spline = CubicSpline(knots, points.astype(np.float64), bc_type="natural")
    at = np.array([i + j / detail for i in range(n) for j in range(detail)])
    samples = spline(at)
    out.write("case %d %d\n" % (n, detail))
    for p in points:
        out.write("p %.9g %.9g %.9g\n" % tuple(float(v) for v in p))
    for s in samples:
        out.write("s %.10g %.10g %.10g\n" % tuple(s))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, "tests", "math", "splines", "golden", "naturalCubic.txt")
    rng = np.random.default_rng(20240607)
    with open(path, "w") as out:
        out.write("# natural cubic splines sampled by SciPy; regenerate with tools/splineGolden.py\n")
        for n, detail, scale in CASES:
            write_case(out, rng, n, detail, scale)
    print("wrote", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
