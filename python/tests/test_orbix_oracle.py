"""liborbix against python3-sgp4 on a generated catalog.

Both models get the very same numbers (epoch, mean motion in rad/min,
angles in rad), each set is propagated to ten times over +-3 days in both
operation modes, and positions must agree within 1e-6 km, velocities within
1e-9 km/s, failure codes exactly.
"""
import ctypes
import math

import pytest

from veltrix import _lib

sgp4api = pytest.importorskip("sgp4.api")

from conftest import ROOT  # noqa: E402

CATALOG = ROOT / "tests" / "data" / "sgp4" / "catalog-300.tle"
ELEM = 10
TIMES = [-4320.0 + k * 960.0 for k in range(10)]
DEG = math.pi / 180.0
REV_PER_DAY = 2.0 * math.pi / 1440.0
JD_DS50 = 2433281.5


def implied(field):
    """A TLE number with an implied decimal point: " 13481-4" is 0.13481e-4."""
    mant = float(field[0] + "0." + field[1:6].strip()) if field[1:6].strip() else 0.0
    return mant * 10.0 ** int(field[6:8])


def element_values(l1, l2):
    """The ten element values of liborbix's snapshot from a line pair."""
    yy = int(l1[18:20])
    year = 2000 + yy if yy < 57 else 1900 + yy
    leaps = (year - 1) // 4 - 1949 // 4
    epoch = 365.0 * (year - 1950) + leaps + float(l1[20:32])
    return [epoch, float(l2[52:63]), float("0." + l2[26:33]), float(l2[8:16]), float(l2[17:25]),
            float(l2[34:42]), float(l2[43:51]), implied(l1[53:61]), float(l1[33:43]), implied(l1[44:52])]


def catalog():
    lines = CATALOG.read_text().splitlines()
    return [element_values(a, b) for a, b in zip(lines, lines[1:]) if a.startswith("1 ") and b.startswith("2 ")]


@pytest.fixture(scope="module")
def orbix():
    path = _lib.LIB_DIR / "liborbix.so"
    if not path.exists():
        pytest.skip("liborbix.so not built")
    dll = ctypes.CDLL(str(path))
    dll.OrbixSnapshotFromElements.restype = ctypes.c_void_p
    dll.OrbixSnapshotFromElements.argtypes = [ctypes.POINTER(ctypes.c_double), ctypes.c_int32, ctypes.c_int32,
                                              ctypes.c_char, ctypes.POINTER(ctypes.c_int32)]
    dll.OrbixSnapshotFree.argtypes = [ctypes.c_void_p]
    dll.OrbixPropagate.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                   ctypes.POINTER(ctypes.c_double), ctypes.c_int32, ctypes.c_int32,
                                   ctypes.c_int32, ctypes.POINTER(ctypes.c_double),
                                   ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_int32)]
    return dll


def oracle(values, mode):
    """python3-sgp4 initialised from the same numbers liborbix converts."""
    sat = sgp4api.Satrec()
    sat.sgp4init(sgp4api.WGS72, mode, 1, values[0], values[7], values[8] * 2.0 * REV_PER_DAY / 1440.0,
                 values[9] * 6.0 * REV_PER_DAY / 1440.0 ** 2, values[2], values[5] * DEG, values[3] * DEG,
                 values[6] * DEG, values[1] * REV_PER_DAY, values[4] * DEG)
    return sat


@pytest.mark.parametrize("mode", ["a", "i"])
def test_catalog_agrees_with_python_sgp4(orbix, mode):
    sets = catalog()
    assert len(sets) == 300
    flat = (ctypes.c_double * (ELEM * len(sets)))(*[x for s in sets for x in s])
    status = ctypes.c_int32(-1)
    snap = orbix.OrbixSnapshotFromElements(flat, len(sets), 72, mode.encode(), ctypes.byref(status))
    assert snap and status.value == 0
    try:
        n = len(sets) * len(TIMES)
        times = (ctypes.c_double * len(TIMES))(*TIMES)
        pos, vel, err = (ctypes.c_double * (3 * n))(), (ctypes.c_double * (3 * n))(), (ctypes.c_int32 * n)()
        assert orbix.OrbixPropagate(snap, 0, len(sets), times, len(TIMES), 0, 0, pos, vel, err) == 0
    finally:
        orbix.OrbixSnapshotFree(snap)
    worst_r = worst_v = 0.0
    failed = 0
    for i, values in enumerate(sets):
        sat = oracle(values, mode)
        for j, t in enumerate(TIMES):
            k = i * len(TIMES) + j
            e, r, v = sat.sgp4_tsince(t)
            assert err[k] == e, (i, t)
            if e != 0:
                failed += 1
                assert pos[3 * k:3 * k + 3] == [0.0, 0.0, 0.0]
                continue
            worst_r = max(worst_r, *(abs(pos[3 * k + c] - r[c]) for c in range(3)))
            worst_v = max(worst_v, *(abs(vel[3 * k + c] - v[c]) for c in range(3)))
    assert worst_r <= 1e-6, worst_r
    assert worst_v <= 1e-9, worst_v
    assert failed < n // 10
