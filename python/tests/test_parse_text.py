import subprocess
import sys
from pathlib import Path

import pytest

from veltrix import tle

from conftest import CATALOG, ROOT, catalog_pairs

np = pytest.importorskip("numpy")

L1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993"
L2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357"


def test_columns_and_bad_lines_with_their_numbers():
    text = "\n".join(["ISS", L1, L2, L1[:7] + "X" + L1[8:], L2, L1, "a name", L1.replace("25544", "11111"), L2])
    # The last pair's line 2 is of another satellite: taken, and warned about.
    with pytest.warns(UserWarning, match="line 2 of satellite 25544; line 1's number is used") as warned:
        cols, bad = tle.parse_text(text)
    assert warned[0].filename == __file__
    assert bad == [(4, "Lines2Tle: Unknown TLE's classify level 'X'."),
                   (6, f"ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '{L1}'.")]
    assert list(cols["line"]) == [2, 8]
    assert list(cols["satnum"]) == [25544, 11111]
    assert cols["inclination"][0] == 51.6421 and cols["rev_num"][0] == 9635
    assert cols["epoch"][0] == np.datetime64(tle.parse(L1, L2).epoch.replace(tzinfo=None), "us")
    # A list of lines, as a Dask bag partition holds them, gives the same.
    with pytest.warns(UserWarning):
        assert tle.parse_text([l + "\n" for l in text.split("\n")])[1] == bad


def test_the_catalog_in_one_call_leaves_the_store_alone(tles):
    pairs = catalog_pairs()
    cols, bad = tle.parse_text("\n".join(a + "\n" + b for a, b in pairs))
    assert bad == [] and len(cols["satnum"]) == len(pairs)
    assert list(cols["mean_motion"]) == [tle.parse(a, b).mean_motion for a, b in pairs]
    assert len(tles) == 0


@pytest.mark.parametrize("as_bytes", [False, True])
def test_the_catalog_gives_the_columns_of_a_load(tles, as_bytes):
    text = CATALOG.read_bytes() if as_bytes else CATALOG.read_text(encoding="latin-1")
    cols, bad = tle.parse_text(text)
    report = tles.load(CATALOG)
    loaded = tles.to_numpy()
    assert bad == [] and report.loaded == report.total == len(cols["satnum"])
    # The store's key order is by satellite number, ephemeris type and epoch.
    order = np.lexsort((cols["epoch"], cols["ephtype"], cols["satnum"]))
    for name, col in cols.items():
        if name != "line":
            assert np.array_equal(col[order], loaded[name]), name


def test_empty_text():
    cols, bad = tle.parse_text("")
    assert bad == [] and all(len(v) == 0 for v in cols.values())


def test_dask_example_finds_the_latest_set_of_each_satellite(tmp_path):
    pytest.importorskip("dask")
    sys.path.insert(0, str(ROOT / "python" / "examples"))
    import dask_latest

    older = L1.replace("18020.59659722", "18019.59659722")
    older = older[:68] + str(tle.checksum(older))
    (tmp_path / "a.tle").write_text(f"{older}\n{L2}\n")
    (tmp_path / "b.tle").write_text(f"{L1}\n{L2}\n" + "\n".join(catalog_pairs()[0]) + "\n")
    (tmp_path / "c.tle").write_text("not an element set\n")
    got = dask_latest.latest(tmp_path, scheduler="sync")
    first = tle.parse(*catalog_pairs()[0])
    assert set(got) == {25544, first.satnum}
    assert got[25544][3].endswith("b.tle") and got[25544][4] == 1
    assert got[25544][0] == np.datetime64(tle.parse(L1, L2).epoch.replace(tzinfo=None), "us")
    out = subprocess.run([sys.executable, str(ROOT / "python" / "examples" / "dask_latest.py"), str(tmp_path),
                          "--scheduler", "threads"], capture_output=True, text=True, check=True)
    assert out.stdout.splitlines()[0] == "satnum,epoch,inclination,mean_motion,file,line"
    assert len(out.stdout.splitlines()) == 3
