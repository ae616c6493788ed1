"""The latest element set of every satellite over a folder of TLE files,
with Dask: each file is parsed on its own (veltrix.tle.parse_text touches no
shared store), and the per-file results are folded together.

    python3 dask_latest.py FOLDER [--scheduler threads|sync|processes]

Prints "satnum,epoch,inclination,mean_motion,file,line" in satnum order.
"""
from __future__ import annotations

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

import dask.bag as db  # noqa: E402

from veltrix import tle  # noqa: E402


def latest_of_file(path: str) -> dict:
    """satnum -> (epoch, inclination, mean motion, file, line) of the
    latest set in one file."""
    cols, _bad = tle.parse_text(Path(path).read_text(encoding="latin-1"))
    best = {}
    for k in range(len(cols["satnum"])):
        row = (cols["epoch"][k], float(cols["inclination"][k]), float(cols["mean_motion"][k]), path,
               int(cols["line"][k]))
        n = int(cols["satnum"][k])
        if n not in best or row[0] > best[n][0]:
            best[n] = row
    return best


def merge(a: dict, b: dict) -> dict:
    out = dict(a)
    for n, row in b.items():
        if n not in out or row[0] > out[n][0]:
            out[n] = row
    return out


def latest(folder, scheduler: str = "threads") -> dict:
    files = sorted(str(p) for p in Path(folder).iterdir() if p.is_file())
    if not files:
        return {}
    bag = db.from_sequence(files, npartitions=min(len(files), 8)).map(latest_of_file)
    return bag.fold(merge, merge, initial={}).compute(scheduler=scheduler)


def main(argv=None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("folder")
    ap.add_argument("--scheduler", default="threads")
    args = ap.parse_args(argv)
    print("satnum,epoch,inclination,mean_motion,file,line")
    for n, (epoch, incl, mm, path, line) in sorted(latest(args.folder, args.scheduler).items()):
        print(f"{n},{epoch},{incl},{mm},{path},{line}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
