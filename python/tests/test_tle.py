import threading
from datetime import datetime, timezone

import pytest

import veltrix
from veltrix import tle

from conftest import CATALOG, catalog_pairs

L1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993"
L2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357"


def test_parse_gives_every_field_in_the_units_of_the_lines():
    e = tle.parse(L1, L2)
    assert (e.satnum, e.classification, e.designator) == (25544, "U", "98067A")
    assert e.epoch.tzinfo is not None
    assert abs((e.epoch - datetime(2018, 1, 20, 14, 19, 5, 999_808, tzinfo=timezone.utc)).total_seconds()) < 1e-3
    assert (e.ndot, e.nddot, e.bstar) == (pytest.approx(1.558e-5), 0.0, pytest.approx(3.0975e-5))
    assert (e.ephtype, e.elset_num, e.rev_num) == (0, 999, 9635)
    assert (e.inclination, e.raan, e.eccentricity) == (51.6421, 313.2312, pytest.approx(3.37e-4))
    assert (e.arg_perigee, e.mean_anomaly, e.mean_motion) == (277.6394, 199.7473, 15.54148547)
    with pytest.raises(Exception):
        e.satnum = 1  # frozen


def test_every_catalog_set_goes_round_trip_with_checksums():
    for l1, l2 in catalog_pairs():
        e = tle.parse(l1, l2)
        a, b = e.lines()
        assert (len(a), len(b)) == (69, 69)
        assert (int(a[68]), int(b[68])) == (tle.checksum(a), tle.checksum(b))
        assert a[:18] == l1[:18] and b[:8] == l2[:8]
        assert tle.parse(a, b) == e


@pytest.mark.parametrize("line,expected", [(L1, 3), ("1" + " " * 67, 1), ("-" * 5 + "9" * 63, (5 + 567) % 10),
                                           ("+" * 68 + "5", 0)])
def test_checksum(line, expected):
    assert tle.checksum(line) == expected


def test_checksum_agrees_with_the_catalog():
    for l1, l2 in catalog_pairs():
        assert (tle.checksum(l1), tle.checksum(l2)) == (int(l1[68]), int(l2[68]))


def test_lines_without_checksum_leave_column_69_blank():
    e = tle.parse(L1, L2)
    with_sums, without = e.lines(), e.lines(checksum=False)
    assert [x[:68] for x in without] == [x[:68] for x in with_sums]
    assert [x[68] for x in without] == [" ", " "]


def test_a_changed_field_is_written_with_a_new_checksum():
    e = tle.parse(L1, L2)
    a0, b0 = e.lines()
    a, b = e.replace(inclination=51.6422).lines()
    assert b[:68] == b0[:9] + "51.6422" + b0[16:68]
    assert b[68] == str((int(b0[68]) + 1) % 10)
    assert a == a0


def test_lines_of_two_satellites_are_line_1s_with_a_warning(tles):
    other = L2[:6] + "9" + L2[7:]
    warned = ("Warning-Lines2Tle: Line 1 is of satellite 25544, line 2 of satellite 25549; "
              "line 1's number is used.")
    with pytest.warns(UserWarning) as parsed:
        assert tle.parse(L1, other).satnum == 25544
    with pytest.warns(UserWarning) as added:
        key = tles.add(L1, other)
    assert tles.get(key).satnum == 25544
    assert [str(w.message) for w in parsed] == [warned]
    assert [str(w.message) for w in added] == [warned]
    assert parsed[0].filename == added[0].filename == __file__


@pytest.mark.parametrize("l1,l2,message", [
    (L1[:7] + "X" + L1[8:], L2, "Lines2Tle: Unknown TLE's classify level 'X'."),
    (L1[:40] + "x" + L1[41:], L2, "Lines2Tle: Cannot read TLE's first line."),
    (L1, L2[:8] + "181.6421" + L2[16:], "ValidateTleValues: Invalid Orbit Inclination = 181.64210000000000 (valid=0-180)"),
])
def test_parse_errors_carry_the_message_of_the_call(l1, l2, message):
    with pytest.raises(veltrix.ParseError) as err:
        tle.parse(l1, l2)
    assert str(err.value) == message
    assert isinstance(err.value, veltrix.Error) and isinstance(err.value, ValueError)
    assert err.value.lines[-1] == message


def test_errors_of_one_thread_do_not_reach_another():
    bad = L1[:7] + "X" + L1[8:]
    seen = {}

    def work(name, l1):
        msgs = []
        for _ in range(200):
            try:
                tle.parse(l1, L2)
                msgs.append(None)
            except veltrix.Error as e:
                msgs.append(str(e))
        seen[name] = set(msgs)

    threads = [threading.Thread(target=work, args=("bad", bad)), threading.Thread(target=work, args=("good", L1))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert seen == {"bad": {"Lines2Tle: Unknown TLE's classify level 'X'."}, "good": {None}}


def test_load_reports_counts_and_fills_the_store(tles, tmp_path):
    report = tles.load(CATALOG)
    n = len(catalog_pairs())
    assert (report.total, report.loaded, report.dup, report.bad) == (n, n, 0, 0)
    assert len(tles) == n
    again = tles.load(CATALOG)
    assert (again.loaded, again.dup) == (0, n)
    bad = tmp_path / "bad.tle"
    bad.write_text(L1 + "\n" + L2 + "\n" + "1 99999U 17073A   18020.90595486\n" + L2.replace("25544", "99999") + "\n")
    tles.clear()
    assert tles.load(bad) == tle.LoadReport(2, 1, 0, 1)


def test_load_reports_each_bad_set_with_its_line_and_message(tles, tmp_path):
    path = tmp_path / "some-bad.tle"
    other = L1.replace("25544U", "25545U")
    # 1-2 good, 3 a line 1 another line 1 follows, 4-5 a duplicate, 6-8 a
    # line 1 whose line 2 (past a comment) does not read.
    path.write_text("\n".join([L1, L2, other, L1, L2, L1, "* c", L2.replace(" 51.", " x1.")]) + "\n")
    report = tles.load(path)
    assert (report.total, report.loaded, report.dup, report.bad) == (4, 1, 1, 2)
    assert [line for line, _ in report.bad_sets] == [3, 6]
    assert report.bad_sets[0][1] == f"ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '{other}'."
    assert report.bad_sets[1][1].startswith("Lines2Tle: ")
    assert tles.load(CATALOG).bad_sets == ()


def test_load_of_a_missing_file_raises_file_not_found(tles, tmp_path):
    path = tmp_path / "absent.tle"
    with pytest.raises(veltrix.FileNotFound) as err:
        tles.load(path)
    assert str(err.value) == f'TleLoadFile: cannot open "{path}": No such file or directory'
    assert isinstance(err.value, FileNotFoundError)


def test_add_remove_lookup_and_errors(tles):
    key = tles.add(L1, L2)
    assert key > 0 and len(tles) == 1
    assert tles.by_satnum(25544) == tle.parse(L1, L2)
    assert tles.get(key) == tle.parse(L1, L2)
    with pytest.raises(veltrix.Duplicate):
        tles.add(tle.parse(L1, L2))
    with pytest.raises(veltrix.NotFound) as err:
        tles.by_satnum(11)
    assert "11" in str(err.value)
    tles.remove(key)
    assert len(tles) == 0
    with pytest.raises(veltrix.NotFound) as err:
        tles.remove(key)
    assert str(err.value).startswith("RemoveNode") or str(key) in str(err.value)


def test_latest_is_the_latest_epoch_not_the_first_set(tles):
    sets = [L1.replace("18020.59659722", epoch) for epoch in ("18021.50000000", "18023.00000000", "18019.25000000")]
    for l1 in sets:
        tles.add(l1, L2)
    assert tles.latest(25544) == tle.parse(sets[1], L2)
    assert tles.by_satnum(25544) in [tle.parse(l1, L2) for l1 in sets]
    with pytest.raises(veltrix.NotFound) as err:
        tles.latest(11)
    assert str(err.value) == "GetLatestSatKey: Unable to locate satellite number        11 in the TLE binary tree."


def test_iteration_in_the_four_orders(tles):
    pairs = catalog_pairs()[:40]
    keys = [tles.add(a, b) for a, b in reversed(pairs)]
    by_num = [e.satnum for e in tles.iter("satnum")]
    assert by_num == sorted(by_num) and len(by_num) == 40
    assert [e.satnum for e in tles.iter("satnum_desc")] == by_num[::-1]
    assert tles.keys("load") == keys
    assert tles.keys("key") == sorted(keys)
    assert [tles[k].satnum for k in tles] == by_num
    with pytest.raises(ValueError):
        tles.keys("random")


@pytest.mark.parametrize("form", ["lines", "csv"])
def test_save_and_load_again(tles, tmp_path, form):
    tles.load(CATALOG)
    # Neither form carries the object names of the catalog's name lines.
    before = sorted((e.replace(name="") for e in tles.iter("key")), key=lambda e: (e.satnum, e.epoch))
    path = tmp_path / f"out.{form}"
    tles.save(path, form=form)
    tles.clear()
    report = tles.load(path)
    assert report.loaded == len(before) and report.bad == 0
    assert sorted(tles.iter("key"), key=lambda e: (e.satnum, e.epoch)) == before
    with pytest.raises(ValueError):
        tles.save(path, form="xml")


def test_save_into_a_missing_directory(tles, tmp_path):
    tles.add(L1, L2)
    with pytest.raises(veltrix.FileNotFound) as err:
        tles.save(tmp_path / "no" / "out.tle")
    assert str(err.value).startswith('TleSaveFile: cannot open "')


def test_to_numpy_matches_the_elsets(tles):
    np = pytest.importorskip("numpy")
    tles.load(CATALOG)
    cols = tles.to_numpy("load")
    elsets = list(tles.iter("load"))
    assert len(cols["key"]) == len(elsets)
    for name in ("satnum", "inclination", "raan", "eccentricity", "arg_perigee", "mean_anomaly", "mean_motion",
                 "rev_num", "elset_num", "bstar", "ndot", "ephtype"):
        assert list(cols[name]) == [getattr(e, name) for e in elsets], name
    epochs = [np.datetime64(e.epoch.replace(tzinfo=None), "us") for e in elsets]
    assert np.all(np.abs(cols["epoch"] - np.array(epochs)) <= np.timedelta64(1, "ms"))
    assert cols["satnum"].dtype == np.int64


def test_one_thread_reads_while_another_writes(tles):
    pytest.importorskip("numpy")
    pairs = catalog_pairs()[:200]
    for a, b in pairs[:100]:
        tles.add(a, b)
    failures = []
    stop = threading.Event()

    def reader():
        while not stop.is_set():
            try:
                cols = tles.to_numpy()
                if len(cols["satnum"]) < 100 or 0 in set(cols["satnum"]):
                    failures.append(len(cols["satnum"]))
                for e in tles.iter():
                    if e.satnum <= 0:
                        failures.append(e)
            except Exception as e:  # noqa: BLE001
                failures.append(e)

    t = threading.Thread(target=reader)
    t.start()
    try:
        for _ in range(5):
            keys = [tles.add(a, b) for a, b in pairs[100:]]
            for k in keys:
                tles.remove(k)
    finally:
        stop.set()
        t.join()
    assert failures == []
    assert len(tles) == 100


def test_fields_agree_with_sgp4():
    sgp4_io = pytest.importorskip("sgp4.io")
    from sgp4.earth_gravity import wgs72

    for l1, l2 in catalog_pairs()[::25]:
        e = tle.parse(l1, l2)
        s = sgp4_io.twoline2rv(l1, l2, wgs72)
        assert e.satnum == s.satnum
        assert e.eccentricity == pytest.approx(s.ecco, abs=1e-12)
        assert e.bstar == pytest.approx(s.bstar, abs=1e-15)
        rad = 3.141592653589793 / 180
        assert e.inclination * rad == pytest.approx(s.inclo, abs=1e-12)
        assert e.raan * rad == pytest.approx(s.nodeo, abs=1e-12)
        assert e.arg_perigee * rad == pytest.approx(s.argpo, abs=1e-12)
        assert e.mean_anomaly * rad == pytest.approx(s.mo, abs=1e-12)
        assert abs((e.epoch.replace(tzinfo=None) - s.epoch).total_seconds()) < 1e-3
