"""Positions and velocities of element sets by the SGP4/SDP4 orbit model.

    snap = veltrix.orbix.Snapshot.from_elements(values)   # (n, 10) array
    positions, velocities, errors = snap.propagate(times)

A Snapshot holds its sets initialised once, so each propagate pays only the
propagation. Positions are km, velocities km/s, in the true-equator
mean-equinox frame; a failed entry has the code of its failure in errors
(message(code) tells it) and position and velocity 0.
"""
from __future__ import annotations

from concurrent.futures import ThreadPoolExecutor
from datetime import timezone

from . import _lib, codes
from .errors import ParseError

_C = _lib.C

ELEM_SIZE = 10
GRAVITY = {"wgs72": 72, "wgs84": 84, "wgs72old": 721}
OPSMODES = ("i", "a")
_TIMES = {"minutes": 0, "ds50": 1}
_LAYOUTS = {"outer": 0, "zipped": 1}
_MINUTES_PER_DAY = 1440.0
_DS50_BASE = "1949-12-31T00:00:00"  # day 1.0 is 1950 January 1, 0h


def _choice(what, value, table):
    if value not in table:
        raise ValueError(f"{what} must be one of {', '.join(map(repr, table))}, not {value!r}")
    return table[value] if isinstance(table, dict) else value


def model_args(grav: str, opsmode: str):
    """(gravModel, opsMode byte) of the library for the names of this module."""
    return _choice("grav", grav, GRAVITY), _choice("opsmode", opsmode, OPSMODES).encode("ascii")


def message(code: int) -> str:
    """The library's message of a propagation code (0 "no error", 1-9)."""
    buf = _lib.text_out(128)
    _C["OrbixGetMessage"](code, buf)
    return _lib.text_value(buf, 128)


def ds50(times):
    """numpy datetime64 times (UTC) as float days since 1950 (day 1.0 is
    1950 January 1, 0h), to the nanosecond."""
    import numpy as np

    ns = (np.asarray(times).astype("datetime64[ns]") - np.datetime64(_DS50_BASE, "ns")).astype(np.int64)
    return ns / 86_400e9


def _epoch_ds50(epoch):
    """An epoch as float ds50: a datetime, a datetime64 or already a number."""
    import numpy as np

    if hasattr(epoch, "tzinfo"):  # datetime: UTC, its offset applied
        if epoch.tzinfo is not None:
            epoch = epoch.astimezone(timezone.utc).replace(tzinfo=None)
        return ds50(np.datetime64(epoch, "us"))
    epoch = np.asarray(epoch)
    return ds50(epoch) if epoch.dtype.kind == "M" else epoch.astype(np.float64)


def element_values(sets):
    """The (n, 10) float64 array the library initialises from: rows already
    in that layout, a list of Elset, or a dict of columns as tle.parse_text
    and TleStore.to_numpy give them (the epoch a datetime64 column)."""
    import numpy as np

    if isinstance(sets, dict):
        cols = sets
        n = len(cols["mean_motion"])
        out = np.empty((n, ELEM_SIZE), dtype=np.float64)
        out[:, 0] = _epoch_ds50(cols["epoch"])
        for j, name in enumerate(("mean_motion", "eccentricity", "inclination", "raan", "arg_perigee",
                                  "mean_anomaly", "bstar", "ndot", "nddot"), start=1):
            out[:, j] = cols[name]
        return out
    if isinstance(sets, (list, tuple)) and sets and hasattr(sets[0], "mean_motion"):
        return np.array([[_epoch_ds50(e.epoch), e.mean_motion, e.eccentricity, e.inclination, e.raan,
                          e.arg_perigee, e.mean_anomaly, e.bstar, e.ndot, e.nddot] for e in sets], dtype=np.float64)
    try:
        out = np.ascontiguousarray(sets, dtype=np.float64)
    except (TypeError, ValueError) as e:
        raise TypeError(f"element values must be an (n, {ELEM_SIZE}) array of numbers, a list of Elset or a dict "
                        f"of columns: {e}") from None
    if out.size == 0:
        return out.reshape(0, ELEM_SIZE)
    if out.ndim != 2 or out.shape[1] != ELEM_SIZE:
        raise ValueError(f"element values must have the shape (n, {ELEM_SIZE}), not {out.shape}")
    return out


class Snapshot:
    """Initialised element sets, read-only: any number of threads may
    propagate one at once. Freed by close(), by leaving a with block or when
    the object goes; close() must not overlap a propagate of the same
    snapshot. len() is the number of sets, keys() their ids."""

    def __init__(self, handle, ids=None):
        self._handle = handle
        self._ids = ids

    @classmethod
    def from_elements(cls, sets, grav: str = "wgs72", opsmode: str = "i", ids=None) -> "Snapshot":
        """A snapshot of element values (see element_values), with the model's
        gravity constants grav ("wgs72", "wgs84", "wgs72old") and operation
        mode opsmode ("i" improved, "a" as the operational model computes).
        ids (int64, one per set) are what keys() gives, 0, 1, ... without."""
        import numpy as np

        values = element_values(sets)
        model, mode = model_args(grav, opsmode)
        n = len(values)
        if ids is not None:
            ids = np.ascontiguousarray(ids, dtype=np.int64)
            if ids.shape != (n,):
                raise ValueError(f"ids must hold one id for each of the {n} sets, not the shape {ids.shape}")
        status = _lib.i32()
        with _lib.capture() as lines:
            if ids is not None and _lib.has("OrbixSnapshotFromElementsIds"):
                handle = _C["OrbixSnapshotFromElementsIds"](values.ctypes.data_as(_lib.PF64),
                                                             ids.ctypes.data_as(_lib.P64), n, model, mode,
                                                             _lib.ref(status))
                kept = None
            else:
                handle = _C["OrbixSnapshotFromElements"](values.ctypes.data_as(_lib.PF64), n, model, mode,
                                                         _lib.ref(status))
                kept = ids if ids is not None else np.arange(n, dtype=np.int64)
        if not handle:
            _lib.fail(ParseError, lines, "OrbixSnapshotFromElements: the element values were refused")
        return cls(handle, kept)

    def close(self) -> None:
        handle, self._handle = self._handle, None
        if handle:
            _C["OrbixSnapshotFree"](handle)

    def __del__(self):
        if _C is not None and "OrbixSnapshotFree" in _C:
            self.close()

    def __enter__(self):
        return self

    def __exit__(self, *_exc):
        self.close()

    def _live(self):
        if not self._handle:
            raise ValueError("the snapshot is closed")
        return self._handle

    def __len__(self) -> int:
        return _C["OrbixSnapshotCount"](self._live())

    def keys(self):
        """The id of each set (the store's satKeys for a store snapshot), as
        a numpy int64 array."""
        import numpy as np

        handle = self._live()
        if self._ids is not None:
            return self._ids.copy()
        n = len(self)
        ids = np.zeros(n, dtype=np.int64)
        with _lib.capture() as lines:
            rc = _C["OrbixSnapshotGetIds"](handle, 0, n, ids.ctypes.data_as(_lib.P64))
        if rc != codes.VX_OK:
            _lib.fail(ParseError, lines, "OrbixSnapshotGetIds failed")
        return ids

    def propagate(self, times, *, time: str | None = None, layout: str = "outer", threads: int = 1):
        """States of every set at times (a number or a 1-D sequence): minutes
        since each set's epoch (time "minutes", the default for numbers) or
        days since 1950 UTC ("ds50"); numpy datetime64 times are UTC and
        taken as ds50. layout "outer" gives every set at every time, shapes
        (sets, times, 3), (sets, times, 3), (sets, times); "zipped" gives set
        i at times[i], shapes (sets, 3), (sets, 3), (sets,). threads > 1
        splits the sets over as many threads (the library runs without the
        interpreter lock). Returns (positions, velocities, errors)."""
        import numpy as np

        handle = self._live()
        t = np.asarray(times)
        if t.dtype.kind == "M":
            if time not in (None, "ds50"):
                raise ValueError(f"datetime64 times are ds50 times, not time={time!r}")
            t, time = ds50(t), "ds50"
        try:
            t = np.ascontiguousarray(t, dtype=np.float64).reshape(-1) if t.ndim <= 1 else None
        except (TypeError, ValueError):
            raise TypeError(f"times must be numbers or numpy datetime64, not {t.dtype}") from None
        if t is None:
            raise ValueError(f"times must be a number or a 1-D sequence, not of the shape {np.shape(times)}")
        mode = _choice("time", time or "minutes", _TIMES)
        lay = _choice("layout", layout, _LAYOUTS)
        if not hasattr(threads, "__index__") or threads < 1:
            raise ValueError(f"threads must be a positive integer, not {threads!r}")
        n = len(self)
        if lay == 1 and len(t) != n:
            raise ValueError(f"zipped: {n} sets need {n} times, not {len(t)}")
        per_set = 1 if lay == 1 else len(t)
        pos = np.zeros((n, per_set, 3), dtype=np.float64)
        vel = np.zeros((n, per_set, 3), dtype=np.float64)
        err = np.zeros((n, per_set), dtype=np.int32)

        def run(first, count):
            ts = t[first:first + count] if lay == 1 else t
            with _lib.capture() as lines:
                rc = _C["OrbixPropagate"](handle, first, count, ts.ctypes.data_as(_lib.PF64), len(ts), mode, lay,
                                          pos[first:].ctypes.data_as(_lib.PF64), vel[first:].ctypes.data_as(_lib.PF64),
                                          err[first:].ctypes.data_as(_lib.P32))
            if rc != codes.VX_OK:
                _lib.fail(ParseError, lines, "OrbixPropagate: the arguments were refused")

        chunks = min(int(threads), n) or 1
        bounds = [n * k // chunks for k in range(chunks + 1)]
        if chunks == 1:
            run(0, n)
        else:
            with ThreadPoolExecutor(chunks) as pool:
                for f in [pool.submit(run, a, b - a) for a, b in zip(bounds, bounds[1:])]:
                    f.result()
        if lay == 1:
            return pos.reshape(n, 3), vel.reshape(n, 3), err.reshape(n)
        return pos, vel, err
