#!/usr/bin/python3
"""Times SciPy on the spline that bench/splineCubic.cpp samples: 1,001
control points on three axes, natural end conditions, 10 samples a segment.
Prints samples per second for evaluation alone and for fit plus evaluation,
the median of several runs.

    /usr/bin/python3 tools/splineScipyBench.py
"""
import statistics
import timeit

import numpy as np
from scipy.interpolate import CubicSpline

SEGMENTS, DETAIL, RUNS = 1000, 10, 7


def main():
    rng = np.random.default_rng(5)
    points = rng.uniform(-400, 400, size=(SEGMENTS + 1, 3)).astype(np.float32).astype(np.float64)
    knots = np.arange(SEGMENTS + 1, dtype=np.float64)
    at = (np.arange(SEGMENTS * DETAIL, dtype=np.float64) / DETAIL)
    spline = CubicSpline(knots, points, bc_type="natural")
    samples = SEGMENTS * DETAIL

    def evaluate():
        spline(at)

    def fit_and_evaluate():
        CubicSpline(knots, points, bc_type="natural")(at)

    for name, work in (("evaluation", evaluate), ("fit + evaluation", fit_and_evaluate)):
        timer = timeit.Timer(work)
        loops, _ = timer.autorange()
        per_call = [t / loops for t in timer.repeat(repeat=RUNS, number=loops)]
        median = statistics.median(per_call)
        print("SciPy %-17s %8.1f us per call, %6.1f M samples/s" %
              (name, median * 1e6, samples / median / 1e6))


if __name__ == "__main__":
    main()
