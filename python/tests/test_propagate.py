"""Propagation from Python: numpy shapes, threads, time forms, codes, and
the results against python3-sgp4 on the bundled catalog."""
import subprocess
import sys

import numpy as np
import pytest

import veltrix
from veltrix import _lib, orbix, tle
from conftest import CATALOG, ROOT

TIMES = np.linspace(-4320.0, 4320.0, 10)  # minutes, +-3 days
LEO = [25000.5, 15.5, 0.001, 51.6, 10.0, 20.0, 30.0, 1e-4, 0.0, 0.0]


@pytest.fixture
def catalog(tles):
    tles.load(CATALOG)
    return tles


def oracle(e, times, grav="WGS72"):
    sgp4api = pytest.importorskip("sgp4.api")
    sat = sgp4api.Satrec.twoline2rv(*e.lines(), getattr(sgp4api, grav))
    out = [sat.sgp4_tsince(t) for t in times]
    return (np.array([o[1] for o in out]), np.array([o[2] for o in out]), np.array([o[0] for o in out]))


# Each road to the states, and the order of keys its sets come in.
ROADS = {
    "store": (lambda store: store.propagate(TIMES), "key"),
    "parse_text": (lambda store: orbix.Snapshot.from_elements(tle.parse_text(CATALOG.read_bytes())[0])
                   .propagate(TIMES), "load"),
    "elsets": (lambda store: orbix.Snapshot.from_elements([store[k] for k in store.keys("key")]).propagate(TIMES),
               "key"),
}


@pytest.mark.parametrize("road", ROADS)
def test_catalog_agrees_with_python_sgp4(catalog, road):
    run, order = ROADS[road]
    pos, vel, err = run(catalog)
    keys = catalog.keys(order)
    assert pos.shape == (len(keys), len(TIMES), 3) and err.shape == (len(keys), len(TIMES))
    worst_r = worst_v = 0.0
    for i, key in enumerate(keys):
        r, v, e = oracle(catalog[key], TIMES)
        assert list(err[i]) == list(e), key
        ok = e == 0
        assert not pos[i][~ok].any() and not vel[i][~ok].any()
        if ok.any():
            worst_r = max(worst_r, np.abs(pos[i][ok] - r[ok]).max())
            worst_v = max(worst_v, np.abs(vel[i][ok] - v[ok]).max())
    assert worst_r <= 1e-6 and worst_v <= 1e-9, (worst_r, worst_v)


def test_gravity_and_mode_reach_the_model(catalog):
    keys = catalog.keys("key")[:40]
    pos84 = catalog.propagate(TIMES, keys=keys, grav="wgs84")[0]
    pos72 = catalog.propagate(TIMES, keys=keys)[0]
    # ambit's WGS-84 J2, J3 and J4 are python-sgp4's rounded to 6 to 8
    # digits (J2 0.00108263 against 0.00108262998905): some 1e-5 km apart.
    for i, key in enumerate(keys):
        assert np.abs(pos84[i] - oracle(catalog[key], TIMES, "WGS84")[0]).max() <= 1e-4
    assert np.abs(pos84 - pos72).max() > 1e-3
    # The operational mode differs from the improved one in the sidereal time
    # and the deep-space terms.
    afspc = catalog.propagate(TIMES, opsmode="a")[0]
    assert 0 < np.abs(afspc - catalog.propagate(TIMES)[0]).max()


@pytest.mark.parametrize("times, layout, shapes", [
    (0.0, "outer", ((3, 1, 3), (3, 1, 3), (3, 1))),
    ([0.0, 10.0], "outer", ((3, 2, 3), (3, 2, 3), (3, 2))),
    ([], "outer", ((3, 0, 3), (3, 0, 3), (3, 0))),
    ([0.0, 10.0, 20.0], "zipped", ((3, 3), (3, 3), (3,))),
])
def test_shapes(times, layout, shapes):
    with orbix.Snapshot.from_elements([LEO] * 3) as snap:
        got = snap.propagate(times, layout=layout)
    assert tuple(a.shape for a in got) == shapes
    assert got[2].dtype == np.int32


@pytest.mark.parametrize("threads", [2, 3, 7, 500])
def test_threads_give_the_same_arrays(catalog, threads):
    with catalog.snapshot() as snap:
        one = snap.propagate(TIMES)
        many = snap.propagate(TIMES, threads=threads)
        zipped = snap.propagate(np.resize(TIMES, len(snap)), layout="zipped", threads=threads)
    for a, b in zip(one, many):
        assert np.array_equal(a, b)
    # Zipped, split over threads, is the diagonal of the outer product.
    diag = np.arange(len(zipped[2]))
    with catalog.snapshot() as snap:
        outer = snap.propagate(np.resize(TIMES, len(snap)))
    for z, o in zip(zipped, outer):
        assert np.array_equal(z, o[diag, diag])


def test_time_forms_agree(catalog):
    with catalog.snapshot() as snap:
        epochs = orbix.element_values(catalog.to_numpy())[:, 0]
        minutes = snap.propagate([120.0])
        # ds50 times of set i at 120 minutes past its epoch, zipped.
        ds50 = epochs + 120.0 / 1440.0
        by_days = snap.propagate(ds50, time="ds50", layout="zipped")
        stamps = np.datetime64("1949-12-31T00:00:00", "ns") + (ds50 * 86_400e9).astype("timedelta64[ns]")
        by_date = snap.propagate(stamps, layout="zipped")
    assert np.array_equal(by_days[2], minutes[2][:, 0])
    assert np.abs(by_days[0] - minutes[0][:, 0]).max() < 1e-4  # a ds50 double holds about 1 us
    assert np.abs(by_date[0] - by_days[0]).max() < 1e-4


def test_failure_codes_and_zeros():
    decaying = list(LEO)
    decaying[1], decaying[7] = 15.9, 0.01  # low and heavy drag: down within a week
    with orbix.Snapshot.from_elements([LEO, decaying]) as snap:
        pos, vel, err = snap.propagate([np.nan, 0.0, 7200.0])
    assert err.tolist() == [[7, 0, 0], [7, 0, 6]]
    assert not pos[:, 0].any() and not vel[:, 0].any() and not pos[1, 2].any()
    assert not np.isnan(pos).any() and not np.isnan(vel).any()
    assert orbix.message(0) == "no error"
    assert "decayed" in orbix.message(6) and orbix.message(99) == "unknown error"


def test_one_elset(catalog):
    key = catalog.keys("key")[5]
    pos, vel, err = catalog[key].propagate(TIMES)
    assert pos.shape == (len(TIMES), 3) and err.shape == (len(TIMES),)
    all_pos, _, _ = catalog.propagate(TIMES, keys=[key])
    assert np.abs(all_pos[0] - pos).max() < 1e-9


def test_snapshot_outlives_the_store(catalog):
    keys = catalog.keys("key")[:4]
    with catalog.snapshot(keys) as snap:
        before = snap.propagate(TIMES)
        catalog.clear()
        after = snap.propagate(TIMES)
        assert snap.keys().tolist() == keys
    for a, b in zip(before, after):
        assert np.array_equal(a, b)
    assert catalog.propagate(TIMES, keys=[])[0].shape == (0, len(TIMES), 3)


@pytest.mark.skipif(not _lib.has("TleSnapshot"), reason="the library has no TleSnapshot yet")
def test_missing_key_has_its_code(catalog):
    keys = catalog.keys("key")[:2]
    pos, _, err = catalog.propagate([0.0], keys=[keys[0], 12345, keys[1]])
    assert err[:, 0].tolist() == [0, 8, 0] and not pos[1].any()


@pytest.mark.parametrize("call, kind", [
    (lambda s: orbix.Snapshot.from_elements([LEO], grav="wgs60"), ValueError),
    (lambda s: orbix.Snapshot.from_elements([LEO], opsmode="x"), ValueError),
    (lambda s: orbix.Snapshot.from_elements([LEO[:9]]), ValueError),
    (lambda s: orbix.Snapshot.from_elements("abc"), TypeError),
    (lambda s: orbix.Snapshot.from_elements([LEO], ids=[1, 2]), ValueError),
    (lambda s: s.propagate([0.0], layout="diagonal"), ValueError),
    (lambda s: s.propagate([0.0], time="hours"), ValueError),
    (lambda s: s.propagate([0.0, 1.0], layout="zipped"), ValueError),
    (lambda s: s.propagate([[0.0]]), ValueError),
    (lambda s: s.propagate(["noon"]), TypeError),
    (lambda s: s.propagate([0.0], threads=0), ValueError),
    (lambda s: s.propagate(np.array(["2026-01-01"], dtype="datetime64[s]"), time="minutes"), ValueError),
    (lambda s: veltrix.tle.store.snapshot(keys=[1.5]), TypeError),
])
def test_bad_arguments(call, kind):
    with orbix.Snapshot.from_elements([LEO]) as snap:
        with pytest.raises(kind):
            call(snap)
    snap.close()  # twice is harmless
    with pytest.raises(ValueError, match="closed"):
        snap.propagate([0.0])


def test_dask_example_runs():
    pytest.importorskip("dask")
    out = subprocess.run([sys.executable, str(ROOT / "python" / "examples" / "dask_propagate.py"), str(CATALOG),
                          "--partitions", "3"], capture_output=True, text=True, timeout=300)
    assert out.returncode == 0, out.stderr
    assert "979 element sets" in out.stdout, out.stdout
