"""The package as a python-sgp4 user and a reader of help() meet it."""
import inspect
import math
import sys
from datetime import datetime, timezone

import pytest

from conftest import catalog_pairs
import veltrix
from veltrix import ambit, codes, errors, kinem, tle


def test_to_satrec_is_the_same_element_set():
    api = pytest.importorskip("sgp4.api")
    for l1, l2 in catalog_pairs()[::40]:
        e = tle.parse(l1, l2)
        s = e.to_satrec()
        assert isinstance(s, api.Satrec)
        assert s.satnum == e.satnum
        rad = math.pi / 180
        assert (s.inclo, s.nodeo, s.argpo, s.mo) == pytest.approx(
            (e.inclination * rad, e.raan * rad, e.arg_perigee * rad, e.mean_anomaly * rad), abs=1e-12)
        assert s.ecco == pytest.approx(e.eccentricity, abs=1e-12)
        assert s.bstar == pytest.approx(e.bstar, abs=1e-15)
        # Revolutions per day against radians per minute.
        assert s.no_kozai == pytest.approx(e.mean_motion * 2 * math.pi / 1440, rel=1e-9)
        days = (s.jdsatepoch - 2440587.5) + s.jdsatepochF
        assert datetime.fromtimestamp(days * 86400, timezone.utc) == pytest.approx(e.epoch, abs=1e-3)
        err, r, v = s.sgp4(s.jdsatepoch, s.jdsatepochF)
        assert err == 0 and 6000 < math.dist(r, (0, 0, 0)) < 50000


def test_to_satrec_passes_the_gravity_model_on():
    api = pytest.importorskip("sgp4.api")
    e = tle.parse(*catalog_pairs()[0])
    # The model changes the mean motion recovered from the Kozai one.
    assert e.to_satrec(api.WGS84).no_unkozai != e.to_satrec(api.WGS72).no_unkozai
    assert e.to_satrec().no_unkozai == e.to_satrec(api.WGS72).no_unkozai


def test_to_satrec_without_sgp4_says_what_is_missing(monkeypatch):
    monkeypatch.setitem(sys.modules, "sgp4", None)
    monkeypatch.setitem(sys.modules, "sgp4.api", None)
    e = tle.parse(*catalog_pairs()[0])
    with pytest.raises(ImportError, match="python-sgp4"):
        e.to_satrec()


def _public_callables():
    """(name, object) of every public class, function and method of the
    package's public modules, properties included."""
    for module in (veltrix, tle, kinem, ambit, errors, codes):
        yield module.__name__, module
        for name, obj in vars(module).items():
            if name.startswith("_") or getattr(obj, "__module__", module.__name__) != module.__name__:
                continue
            if inspect.isclass(obj) or inspect.isfunction(obj):
                yield f"{module.__name__}.{name}", obj
            if inspect.isclass(obj):
                for base in inspect.getmro(obj):
                    if not base.__module__.startswith("veltrix"):
                        continue
                    for attr, member in vars(base).items():
                        if attr.startswith("_") or not (inspect.isfunction(member) or isinstance(member, property)):
                            continue
                        yield f"{module.__name__}.{name}.{attr}", member


def test_every_public_callable_has_a_docstring():
    found = dict(_public_callables())
    # The walk reaches the methods inherited from the binding layer.
    assert {"veltrix.tle.TleStore.by_satnum", "veltrix.tle.TleStore.values", "veltrix.tle.Elset.to_satrec",
            "veltrix.kinem.KinemStore.latest", "veltrix.ambit.set_geo"} <= found.keys()
    def documented(name, obj):
        doc = (inspect.getdoc(obj) or "").strip()
        # A dataclass without one gets its signature as a docstring.
        return doc and not (inspect.isclass(obj) and doc.startswith(obj.__name__ + "("))

    assert sorted(name for name, obj in found.items() if not documented(name, obj)) == []


@pytest.mark.parametrize("store", [tle.store, kinem.store], ids=["tle", "kinem"])
def test_by_satnum_docstring_does_not_promise_the_latest(store):
    doc = inspect.getdoc(type(store).by_satnum)
    assert "first" in doc and "latest" in doc and "not the latest" in doc
