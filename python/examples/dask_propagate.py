"""Propagates a catalog history split across Dask partitions.

    python3 dask_propagate.py FILE [--partitions N] [--hours H] [--step MIN]
                              [--scheduler threads|sync|processes]

Each partition holds whole line pairs of FILE; it parses them with
veltrix.tle.parse_text (no store: partitions run side by side, in threads or
processes) and propagates its sets with a snapshot made from their element
values. Every set goes to the same UTC times: from midnight after the latest
epoch of the file, H hours in steps of MIN minutes. The results are gathered
into one array of positions per set and time.
"""
import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import dask  # noqa: E402
import dask.bag as db  # noqa: E402
import numpy as np  # noqa: E402

from veltrix import orbix, tle  # noqa: E402


def split_pairs(lines, parts):
    """The lines cut into about parts pieces, never between a line 1 and the
    line 2 after it."""
    cuts = [i + 1 for i, line in enumerate(lines) if line.startswith("2 ")]
    if not cuts:
        return [lines]
    step = max(1, len(cuts) // parts)
    ends = cuts[step - 1::step]
    ends[-1] = len(lines)
    return [lines[a:b] for a, b in zip([0] + ends[:-1], ends)]


def latest_epoch(chunk):
    cols, _ = tle.parse_text(list(chunk))
    return [cols["epoch"].max()] if len(cols["epoch"]) else []


def propagate(chunk, times):
    cols, bad = tle.parse_text(list(chunk))
    with orbix.Snapshot.from_elements(cols) as snap:
        pos, vel, err = snap.propagate(times)
    return [(cols["satnum"], cols["epoch"], pos, err, len(bad))]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("file")
    ap.add_argument("--partitions", type=int, default=4)
    ap.add_argument("--hours", type=float, default=24.0)
    ap.add_argument("--step", type=float, default=60.0, help="minutes")
    ap.add_argument("--scheduler", default="threads")
    args = ap.parse_args()

    with open(args.file, encoding="latin-1") as f:
        lines = f.read().splitlines()
    pieces = split_pairs(lines, args.partitions)
    # One partition per piece; the items of a partition are its lines.
    bag = db.from_delayed([dask.delayed(p) for p in pieces])

    started = time.perf_counter()
    latest = bag.map_partitions(latest_epoch).max().compute(scheduler=args.scheduler)
    start = (latest + np.timedelta64(1, "D")).astype("datetime64[D]").astype("datetime64[ns]")
    steps = np.arange(0.0, args.hours * 60.0 + 1e-9, args.step)
    times = start + (steps * 60e9).astype("timedelta64[ns]")

    parts = bag.map_partitions(propagate, times).compute(scheduler=args.scheduler)
    satnum = np.concatenate([p[0] for p in parts])
    pos = np.concatenate([p[2] for p in parts])
    err = np.concatenate([p[3] for p in parts])
    bad = sum(p[4] for p in parts)
    elapsed = time.perf_counter() - started

    print(f"{len(satnum)} element sets of {len(np.unique(satnum))} satellites, {len(times)} times from {start} UTC, "
          f"{len(pieces)} partitions, {elapsed:.3f} s")
    print(f"{int((err != 0).sum())} failed states, {bad} element sets refused")
    if len(satnum):
        ok = err == 0
        radius = np.linalg.norm(pos, axis=2)
        print(f"radius of the states computed: {radius[ok].min():.1f} to {radius[ok].max():.1f} km")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
