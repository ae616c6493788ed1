"""OMM documents, object names and three-line texts through the store, and
OMM records to and from Elset."""
import json
import math
import re
from datetime import datetime, timezone

import pytest

from conftest import CATALOG, ROOT
import veltrix
from veltrix import tle

OMM_FORMS = ["omm-csv", "omm-json", "omm-xml", "omm-kvn"]
VANGUARD = {"OBJECT_NAME": "VANGUARD 1", "OBJECT_ID": "1958-002B", "EPOCH": "2020-10-13T04:52:48.472320",
            "MEAN_MOTION": 10.84869164, "ECCENTRICITY": 0.1845686, "INCLINATION": 34.2443,
            "RA_OF_ASC_NODE": 225.5254, "ARG_OF_PERICENTER": 162.2516, "MEAN_ANOMALY": 205.2356,
            "EPHEMERIS_TYPE": 0, "CLASSIFICATION_TYPE": "U", "NORAD_CAT_ID": 5, "ELEMENT_SET_NO": 999,
            "REV_AT_EPOCH": 21814, "BSTAR": -2.2483e-05, "MEAN_MOTION_DOT": -1.6e-07, "MEAN_MOTION_DDOT": 0}
L1 = "1 25544U 98067A   18020.50000000  .00001000  00000-0  20000-4 0  9990"
L2 = "2 25544  51.6400 100.0000 0002000  90.0000 270.0000 15.54000000 10000"


@pytest.fixture
def fixed_time(monkeypatch):
    # Documents carry the time of their writing unless this is set.
    monkeypatch.setenv("SOURCE_DATE_EPOCH", "1800000000")


def _sets(store):
    return list(store.values("key"))


@pytest.mark.parametrize("form", OMM_FORMS + ["three-lines"])
def test_every_form_saves_and_loads_back_every_value_and_name(tles, tmp_path, fixed_time, form):
    tles.load(CATALOG)
    before = _sets(tles)
    assert sum(1 for e in before if e.name) > 900
    path = tmp_path / f"catalog.{form}"
    tles.save(path, form=form)
    assert tles.to_text(form) == path.read_text()
    tles.clear()
    report = tles.load(path)
    assert (report.loaded, report.bad) == (len(before), 0)
    # Names ending in brackets ("NOAA 1 [-]") keep them in KVN too, where
    # brackets after a number are its units.
    assert any(e.name.endswith("]") for e in before)
    assert _sets(tles) == before
    # The same document from memory, as str and as bytes.
    for text in (path.read_text(), path.read_bytes()):
        tles.clear()
        assert tles.load_text(text).loaded == len(before)
        assert _sets(tles) == before


@pytest.mark.parametrize("sample", ["sample_omm.csv", "sample_omm.xml"])
def test_the_sample_documents_load_with_their_values_and_names(tles, sample):
    report = tles.load(ROOT / "data" / sample)
    assert (report.total, report.loaded) == (1, 1)
    assert tles.by_satnum(5) == tle.from_omm(VANGUARD)
    e = tles.by_satnum(5)
    assert (e.name, e.designator, e.classification, e.elset_num, e.rev_num) == ("VANGUARD 1", "58002B", "U", 999,
                                                                                21814)
    assert e.epoch == datetime(2020, 10, 13, 4, 52, 48, 472320, tzinfo=timezone.utc)
    assert (e.mean_motion, e.eccentricity, e.bstar, e.ndot) == (10.84869164, 0.1845686, -2.2483e-05, -1.6e-07)


def test_catalog_sets_go_to_omm_records_and_back(tles):
    tles.load(CATALOG)
    for e in tles.values():
        d = e.to_omm()
        assert list(d) == list(VANGUARD)
        assert tle.from_omm(d) == e
        # The other provider's form: every value a string.
        assert tle.from_omm({k: str(v) for k, v in d.items()}) == e


@pytest.mark.parametrize("designator,object_id", [
    ("98067A", "1998-067A"), ("57001B", "1957-001B"), ("56001ABC", "2056-001ABC"), ("00005A", "2000-005A"),
    ("", ""), ("ANALYST", "ANALYST"), ("9806A", "9806A"),
])
def test_object_ids_in_the_long_form_and_back(designator, object_id):
    e = tle.parse(L1, L2).replace(designator=designator)
    d = e.to_omm()
    assert d["OBJECT_ID"] == object_id
    assert tle.from_omm(d).designator == designator


def test_omm_records_the_two_line_form_cannot_hold(tles):
    nine = dict(VANGUARD, NORAD_CAT_ID=799500001, OBJECT_ID="", OBJECT_NAME="ANALYST OBJECT",
                EPOCH="2026-07-14T21:45:20.933856Z", BSTAR="0.00012345678")
    # Ephemeris type 4 keeps BTERM and AGOM where bstar and nddot are read.
    type4 = dict(VANGUARD, EPHEMERIS_TYPE=4, BSTAR=0.0125, MEAN_MOTION_DDOT=0.0033)
    for record in (nine, type4):
        e = tle.from_omm(record)
        assert tle.from_omm(e.to_omm()) == e
        tles.load_text(json.dumps([record]))
        assert tles.latest(e.satnum) == e
    assert tle.from_omm(nine).epoch == datetime(2026, 7, 14, 21, 45, 20, 933856, tzinfo=timezone.utc)
    assert (tle.from_omm(type4).bstar, tle.from_omm(type4).nddot) == (0.0125, 0.0033)
    key = tles.key_of(799500001)
    assert "799500001" in tles.to_text("omm-kvn", [key])
    with pytest.raises(veltrix.Error):
        tles.to_text("lines", [key])


@pytest.mark.parametrize("change,kind,message", [
    ({"MEAN_MOTION": None}, veltrix.ParseError, "no MEAN_MOTION"),
    ({"ECCENTRICITY": "x"}, veltrix.ParseError, "a text where a number belongs in ECCENTRICITY"),
    ({"ECCENTRICITY": 1.5}, veltrix.ParseError, "fails the checks"),
    ({"MEAN_MOTION": math.nan}, veltrix.ParseError, "does not make an OMM document"),
    ({"EPOCH": "yesterday"}, veltrix.ParseError, "EPOCH"),
])
def test_from_omm_refuses_what_a_load_refuses(tles, change, kind, message):
    record = {k: v for k, v in dict(VANGUARD, **change).items() if v is not None}
    with pytest.raises(kind, match=re.escape(message)):
        tle.from_omm(record)
    assert len(tles) == 0
    with pytest.raises(TypeError):
        tle.from_omm([VANGUARD])


def test_load_text_keeps_names_and_reports_bad_sets_by_position(tles):
    three = f"ISS (ZARYA)\n{L1}\n{L2}\n0 OTHER\n{L1.replace('25544', '25545')}\n{L2.replace('25544', '25545')}\n"
    report = tles.load_text(three + L1.replace("25544", "25546") + "\n2 25546  xx\n")
    assert (report.total, report.loaded, report.bad) == (3, 2, 1) and report.bad_sets[0][0] == 7
    cols = tles.to_numpy()
    assert list(cols["name"]) == ["ISS (ZARYA)", "OTHER"] and list(cols["designator"]) == ["98067A", "98067A"]
    assert tles.to_text("three-lines").startswith("0 ISS (ZARYA)\n1 25544")
    # Record 2 of a JSON array is refused by its number; 1 and 3 load.
    doc = json.dumps([VANGUARD, dict(VANGUARD, INCLINATION="x"), dict(VANGUARD, NORAD_CAT_ID=6)])
    report = tles.load_text(doc)
    assert (report.loaded, [n for n, _ in report.bad_sets]) == (2, [2])
    assert report.bad_sets[0][1].startswith("ReadOmm: record 2: ")
    # A document cut short stores what came before the fault and fails.
    with pytest.raises(veltrix.Error, match="ReadOmm"):
        tles.load_text(json.dumps([dict(VANGUARD, NORAD_CAT_ID=7), VANGUARD])[:-40])
    with pytest.raises(TypeError):
        tles.load_text(["a", "list"])


def test_names_are_set_and_removed(tles):
    key = tles.add(L1, L2)
    for name, stored in [("  ISS (ZARYA)  ", "ISS (ZARYA)"), ("N" * 255, "N" * 255), ("ÉTOILE 1", "ÉTOILE 1"), ("", "")]:
        tles.set_name(key, name)
        assert tles[key].name == stored
        assert tles.to_numpy()["name"][0] == stored
    cases = [(key, "a\tb", veltrix.ParseError), (key + 1, "X", veltrix.NotFound), (key, "N" * 256, veltrix.ParseError),
             (key, "N" * 257, ValueError),
             (key, "a\0b", ValueError), (key, 5, TypeError)]
    for k, name, kind in cases:
        with pytest.raises(kind):
            tles.set_name(k, name)
        assert tles[key].name == ""


def test_save_forms_and_their_refusals(tles, tmp_path):
    key = tles.add(L1, L2)
    with pytest.raises(ValueError, match="form must be"):
        tles.save(tmp_path / "a", form="xml")
    with pytest.raises(ValueError, match="form must be"):
        tles.to_text("json")
    # Documents with one root or a header row cannot grow at their end.
    for form in ("omm-csv", "omm-json", "omm-xml"):
        with pytest.raises(veltrix.Error, match="cannot be appended"):
            tles.save(tmp_path / "a", form=form, append=True)
    tles.save(tmp_path / "k", form="omm-kvn")
    tles.save(tmp_path / "k", form="omm-kvn", append=True)
    assert (tmp_path / "k").read_text().count("NORAD_CAT_ID") == 2
    with pytest.raises(veltrix.NotFound):
        tles.to_text("omm-json", [key, key + 1])
    assert json.loads(tles.to_text("omm-json", [])) == []
    assert json.loads(tles.to_text("omm-json", [key]))[0]["NORAD_CAT_ID"] == 25544


def test_the_form_codes_mirror_the_headers():
    text = "".join((ROOT / "include" / "veltrix" / h).read_text() for h in ("kernix.h", "tle.h"))
    defined = {m[0]: int(m[1]) for m in re.findall(r"^#define VX_SAVE_([A-Z_]+) (\d+)", text, re.M)}
    assert {name.upper().replace("-", "_"): code for name, code in tle.FORMS.items()} == \
        {k: v for k, v in defined.items() if k not in ("CREATE", "APPEND")}
