"""Arguments the libraries would read otherwise than given: file names,
integers, types, and the messages that come back."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import veltrix
from veltrix import ambit, kinem, tle

from conftest import ROOT

L1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993"
L2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357"
A1 = "  -5405.1320   3674.5167  -1796.0002   -1488.6831   -4955.9782   -5659.4070 UB1P"
A2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000MMJ2K2P"


@pytest.fixture
def both():
    tle.store.clear()
    kinem.store.clear()
    yield
    tle.store.clear()
    kinem.store.clear()


def test_non_latin1_file_names_name_the_file_given(both, tmp_path):
    tle.store.add(L1, L2)
    kinem.store.add(A1, A2)
    for name, save, load in [("é-ü.tle", tle.store.save, tle.store.load),
                             ("vé.vec", kinem.store.save, kinem.store.load),
                             ("eé.env", ambit.save, ambit.load)]:
        path = tmp_path / name
        save(str(path))
        assert os.listdir(tmp_path).count(name) == 1, name
        load(path)
        load(os.fsencode(path))
    with pytest.raises(veltrix.FileNotFound) as err:
        tle.store.load(tmp_path / "absent-é.tle")
    assert str(err.value) == f'TleLoadFile: cannot open "{tmp_path / "absent-é.tle"}": No such file or directory'


@pytest.mark.parametrize("call", [tle.store.load, tle.store.save, kinem.store.load, kinem.store.save, ambit.load,
                                  ambit.save])
def test_file_names_cut_by_a_nul_or_the_buffer_are_refused(both, tmp_path, call):
    written = tmp_path / "x.tle"
    written.write_text(L1 + "\n" + L2 + "\n")
    with pytest.raises(ValueError, match="NUL"):
        call(str(written) + "\0.other")
    # 512 bytes is the longest name the library takes whole.
    long_name = str(tmp_path / ("d" * 200) / ("f" * 200) / ("n" * 200))
    with pytest.raises(ValueError, match="at most 512"):
        call(long_name)
    assert len(tle.store) == 0 and len(kinem.store) == 0
    with pytest.raises(TypeError):
        call(3.5)


def test_a_name_of_512_bytes_reaches_the_library_whole(tmp_path):
    name = str(tmp_path / ("d" * 200) / ("e" * 200)) + "/"
    name += "x" * (512 - len(name))
    with pytest.raises(veltrix.FileNotFound) as err:
        tle.store.load(name)
    assert f'"{name}"' in str(err.value)


@pytest.mark.parametrize("call", [
    lambda: tle.store.by_satnum(2**32 + 25544), lambda: kinem.store.by_satnum(2**32 + 25544),
    lambda: tle.store.key_of(-2**31 - 1), lambda: tle.store.get(2**63), lambda: tle.store.remove(-2**63 - 1),
    lambda: kinem.store.get(2**64 + 1), lambda: kinem.store.remove(2**63), lambda: ambit.set_fk(2**32 + 4),
    lambda: ambit.set_geo(2**32 + 84), lambda: tle.parse(L1, L2).replace(satnum=2**32 + 5).lines(),
])
def test_integers_outside_their_c_type_are_refused_not_wrapped(both, call):
    tle.store.add(L1, L2)
    kinem.store.add(A1, A2)
    fk, geo = ambit.fk(), ambit.geo_index()
    with pytest.raises(OverflowError, match="range"):
        call()
    assert (ambit.fk(), ambit.geo_index(), len(tle.store), len(kinem.store)) == (fk, geo, 1, 1)


def test_the_bounds_of_the_c_types_still_pass(both):
    for bad in (2**31 - 1, -2**31):
        with pytest.raises(veltrix.NotFound):
            tle.store.by_satnum(bad)
    for bad in (2**63 - 1, -2**63):
        with pytest.raises(veltrix.NotFound):
            tle.store.get(bad)


@pytest.mark.parametrize("call", [
    lambda: tle.store.add(12345), lambda: tle.store.add(L1.encode(), L2.encode()), lambda: tle.parse(None, L2),
    lambda: tle.store.by_satnum("25544"), lambda: tle.store.get(1.0), lambda: tle.store.remove(None),
    lambda: kinem.parse(A1, 7), lambda: kinem.store.by_satnum(25544.0), lambda: kinem.store.lines("1"),
    lambda: ambit.set_fk("5"), lambda: tle.parse(L1, L2).replace(inclination="51").lines(),
    lambda: tle.parse(L1, L2).replace(classification=0).lines(), lambda: tle.parse(L1, L2).replace(epoch=1).lines(),
    lambda: tle.parse_text(42),
])
def test_wrong_argument_types_raise_type_error(both, call):
    with pytest.raises(TypeError):
        call()


def test_parse_text_takes_bytes_as_it_takes_text():
    np = pytest.importorskip("numpy")
    text = "\n".join(["ISS", L1, L2, L1])
    cols, bad = tle.parse_text(text)
    for same in (text.encode("latin-1"), bytearray(text.encode()), [l.encode() for l in text.split("\n")]):
        c, b = tle.parse_text(same)
        assert b == bad and list(c["satnum"]) == [25544]
        assert np.array_equal(c["epoch"], cols["epoch"])


def test_messages_quoting_a_text_come_without_its_buffer_padding(both):
    with pytest.raises(veltrix.ParseError) as err:
        tle.parse(L1, "2 25544 x")
    assert err.value.message == f"CsvLine2Tle: Bad CSV TLE ({L1})."
    with pytest.raises(veltrix.ParseError) as err:
        tle.store.add(L1, L2[:20])
    assert err.value.lines == [f"Lines2Tle: Line2 = '{L2[:20]}'.", "Lines2Tle: Invalid TLE's second line."]


@pytest.mark.parametrize("name", ["WGS", "SPECTR", "WGS-84X", "", " WGS84", "wgs-72\0"])
def test_an_unknown_earth_model_name_is_refused(name):
    before = ambit.geo_index()
    with pytest.raises(ValueError, match="EnvSetGeoStr"):
        ambit.set_geo(name)
    assert ambit.geo_index() == before


@pytest.mark.parametrize("index", [0, 3, 73, -84])
def test_an_unknown_earth_model_index_is_refused(index):
    before = ambit.geo_index()
    with pytest.raises(ValueError, match="EnvSetGeoIdx"):
        ambit.set_geo(index)
    with pytest.raises(ValueError, match="EnvSetFkIdx"):
        ambit.set_fk(index)
    assert ambit.geo_index() == before


def test_earth_model_names_of_the_current_set_are_taken():
    before = ambit.geo_index()
    try:
        for name, index in [("WGS-84", 84), ("wgs84", 84), ("84", 84), ("EGM-96", 96), ("jgm2", 2), ("JGM-2", 2)]:
            ambit.set_geo(name)
            ambit.set_geo(name)
            assert ambit.geo_index() == index, name
    finally:
        ambit.set_geo(before)


def test_a_lib_dir_pointing_nowhere_is_not_passed_over_for_another(tmp_path):
    # A copy of the package with the libraries beside it, where it would
    # find them without VELTRIX_LIB_DIR.
    package = tmp_path / "veltrix"
    shutil.copytree(ROOT / "python" / "veltrix", package)
    for lib in Path(veltrix._lib.LIB_DIR).glob("lib*.so"):
        (package / lib.name).symlink_to(lib)
    missing = str(tmp_path / "nowhere")
    env = dict(os.environ, VELTRIX_LIB_DIR=missing)
    run = subprocess.run([sys.executable, "-c", "import veltrix"], cwd=tmp_path, env=env, capture_output=True,
                         text=True)
    assert run.returncode != 0
    assert "ImportError" in run.stderr and missing in run.stderr
    del env["VELTRIX_LIB_DIR"]
    assert subprocess.run([sys.executable, "-c", "import veltrix"], cwd=tmp_path, env=env).returncode == 0
