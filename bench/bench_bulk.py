"""Loading a catalog and getting every field as numpy columns in Python,
against the library's own load of the same file, in one run.

    VELTRIX_LIB_DIR=build-bench/lib PYTHONPATH=python python3 bench/bench_bulk.py FILE [REPEATS]

FILE is a TLE file (bench_store writes one: VX_BENCH_CATALOG=/tmp/cat-1m.tle).
Prints the median of REPEATS (default 5) runs of each and their ratio: the
bare load (the C export, called once from Python), load + to_numpy, and
parse_text of the file's text (no store) against load + to_numpy.
"""
import statistics
import sys
import time

import veltrix
from veltrix import _lib


def bare_load(path):
    counts = [_lib.i32() for _ in range(3)]
    start = time.perf_counter()
    rc = _lib.C["TleLoadFileCounts"](path.encode() + b"\0", *(_lib.ref(c) for c in counts))
    took = time.perf_counter() - start
    if rc != 0:
        sys.exit(f"load failed: {rc}")
    return took, counts[0].value


def load_and_columns(path):
    start = time.perf_counter()
    veltrix.tle.store.load(path)
    cols = veltrix.tle.store.to_numpy()
    return time.perf_counter() - start, len(cols["key"])


def parse_only(text):
    start = time.perf_counter()
    cols, _bad = veltrix.tle.parse_text(text)
    return time.perf_counter() - start, len(cols["satnum"])


def main():
    path = sys.argv[1]
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    bare, full, parsed = [], [], []
    with open(path, "rb") as f:
        text = f.read()
    for _ in range(repeats):
        veltrix.tle.store.clear()
        t, n = bare_load(path)
        bare.append(t)
        veltrix.tle.store.clear()
        t, m = load_and_columns(path)
        full.append(t)
        assert m == n, (m, n)
        t, k = parse_only(text)
        parsed.append(t)
        assert k == n, (k, n)
    b, f, p = statistics.median(bare), statistics.median(full), statistics.median(parsed)
    print(f"sets {n}: TleLoadFile {b * 1e9 / n:.0f} ns/set, load + to_numpy {f * 1e9 / n:.0f} ns/set, "
          f"ratio {f / b:.2f}")
    print(f"sets {n}: parse_text {p * 1e9 / n:.0f} ns/set, ratio to load + to_numpy {p / f:.2f}")


if __name__ == "__main__":
    main()
