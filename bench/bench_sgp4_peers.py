#!/usr/bin/python3
"""Propagation rate of python3-sgp4 (Satrec.sgp4_array) on the sets that
bench_sgp4 times, for the table beside ours: each set to 1,440 times, one
minute apart over a day from its epoch.

    /usr/bin/python3 bench/bench_sgp4_peers.py FILE [SETS]

FILE is a two-line catalog (for instance from gen_catalog.py 100000); SETS
limits the run to the first SETS sets (default: all). Prints propagations
per second, split into near-Earth (period under 225 minutes) and deep-space.
"""
import math
import sys
import time

import numpy as np
from sgp4.api import Satrec, accelerated

TIMES = 1440


def main():
    path = sys.argv[1]
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else None
    with open(path) as f:
        rows = f.read().splitlines()
    pairs = [(rows[i], rows[i + 1]) for i in range(0, len(rows) - 1, 2)]
    if limit:
        pairs = pairs[:limit]
    minutes = np.arange(TIMES, dtype=float)
    totals = {"near-Earth": [0, 0.0], "deep-space": [0, 0.0]}
    for l1, l2 in pairs:
        sat = Satrec.twoline2rv(l1, l2)
        kind = "deep-space" if 2.0 * math.pi / sat.no_kozai >= 225.0 else "near-Earth"
        jd = np.full(TIMES, sat.jdsatepoch)
        fr = sat.jdsatepochF + minutes / 1440.0
        start = time.perf_counter()
        sat.sgp4_array(jd, fr)
        totals[kind][1] += time.perf_counter() - start
        totals[kind][0] += TIMES
    print(f"python3-sgp4, compiled path: {accelerated}, sets: {len(pairs)}")
    for kind, (n, secs) in totals.items():
        if n:
            print(f"{kind}: {n / secs / 1e6:.3f} M propagations/s ({n} in {secs:.2f} s)")
    n = sum(v[0] for v in totals.values())
    secs = sum(v[1] for v in totals.values())
    print(f"catalog mix: {n / secs / 1e6:.3f} M propagations/s")


if __name__ == "__main__":
    main()
