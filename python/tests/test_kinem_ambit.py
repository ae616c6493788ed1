import pytest

import veltrix
from veltrix import ambit, kinem

from conftest import VECTORS

A1 = "  -5405.1320   3674.5167  -1796.0002   -1488.6831   -4955.9782   -5659.4070 UB1P"
A2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000MMJ2K2P"


@pytest.fixture
def vectors():
    kinem.store.clear()
    yield kinem.store
    kinem.store.clear()


def test_parse_a_card_pair():
    v = kinem.parse(A1, A2)
    assert v.position == (-5405.1320, 3674.5167, -1796.0002)
    assert v.velocity == (-1488.6831, -4955.9782, -5659.4070)
    assert (v.classification, v.satnum, v.intl_des, v.epoch_rev, v.elset_num) == ("U", 25544, "98067A", 10812, 999)
    assert (v.epoch, v.b_term, v.agom, v.thrust_acc) == ("18020123456.789", 0.01021, 0.00512, 0.0)


def test_latest_is_the_latest_epoch_not_the_first_vector(vectors):
    cards = [A2.replace("18020123456.789", epoch) for epoch in ("18021093000.000", "18022000000.000", "18019000000.000")]
    for card2 in cards:
        vectors.add(A1, card2)
    assert vectors.latest(25544).epoch == "18022000000.000"
    with pytest.raises(veltrix.NotFound) as err:
        vectors.latest(11)
    assert str(err.value) == "GetLatestSatKey: Unable to locate satellite number        11 in the KINEM binary tree."


def test_load_add_remove_and_lookup(vectors, tmp_path):
    report = vectors.load(VECTORS)
    assert report.total == 8 and report.loaded == len(vectors) == 8
    assert vectors.by_satnum(43013).satnum == 43013
    assert sorted(v.satnum for v in vectors.values()) == [v.satnum for v in vectors.values()]
    out = tmp_path / "out.vec"
    vectors.save(out)
    vectors.clear()
    assert vectors.load(out).loaded == 8
    key = vectors.by_satnum(25544) and vectors.keys("load")[0]
    vectors.remove(key)
    assert len(vectors) == 7
    with pytest.raises(veltrix.NotFound):
        vectors.remove(key)
    with pytest.raises(veltrix.FileNotFound) as err:
        vectors.load(tmp_path / "absent.vec")
    assert str(err.value).startswith('KinemLoadFile: cannot open "')


def test_bad_cards_raise_parse_error():
    with pytest.raises(veltrix.ParseError) as err:
        kinem.parse(A1, A2[:-2] + "XX")
    assert err.value.message


def test_earth_constants():
    name = ambit.geo_name()
    try:
        ambit.set_geo("WGS-84")
        assert ambit.geo_name() == "WGS-84"
        c = ambit.geo_constants()
        assert c["radius_km"] == pytest.approx(6378.137)
        assert c["mu"] == pytest.approx(398600.5, rel=1e-6)
        ambit.set_geo("WGS-72")
        assert ambit.geo_constants()["radius_km"] == pytest.approx(6378.135)
    finally:
        ambit.set_geo(name)
    fk = ambit.fk()
    ambit.set_fk(4)
    assert ambit.fk() == 4
    ambit.set_fk(fk)


def test_environment_file_round_trip(tmp_path):
    name = ambit.geo_name()
    path = tmp_path / "env.txt"
    try:
        ambit.set_geo("WGS-84")
        ambit.save(path)
        ambit.set_geo("WGS-72")
        ambit.load(path)
        assert ambit.geo_name() == "WGS-84"
    finally:
        ambit.set_geo(name)
    with pytest.raises(veltrix.FileNotFound):
        ambit.load(tmp_path / "absent.env")


def test_load_names_each_vector_not_loaded(vectors, tmp_path):
    bad2 = A2[:-2] + "XX"
    path = tmp_path / "mixed.vec"
    # Lines 1-2 good, 3-4 bad, 5 a comment, 6-7 bad, 8-9 a duplicate.
    path.write_text("\n".join([A1, A2, A1, bad2, "* note", A1, bad2.replace("25544", "11111"), A1, A2]) + "\n")
    report = vectors.load(path)
    assert (report.total, report.loaded, report.dup, report.bad) == (4, 1, 1, 2)
    assert [line for line, _ in report.bad_sets] == [3, 6]
    assert all(msg and not msg.endswith(" ") for _, msg in report.bad_sets)
    assert vectors.load(VECTORS).bad_sets == ()
