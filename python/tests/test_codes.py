import os
import re
import threading

import pytest

from conftest import ROOT

import veltrix
from veltrix import ambit, codes

L1 = "1 25544U 98067A   18020.50000000  .00001000  00000-0  20000-4 0  9990"


def test_the_codes_mirror_the_header():
    header = (ROOT / "include" / "veltrix" / "kernix.h").read_text()
    defined = {m[0]: int(m[1]) for m in re.findall(r"^#define (VX_[A-Z0-9_]+) \(?(-?\d+)\)?", header, re.M)}
    mine = {k: v for k, v in vars(codes).items() if k.startswith("VX_")}
    assert defined and mine == defined


def _feed_fifo(path, text):
    # The load opens the pipe for reading and waits for this writer; it may
    # close its end before the text is all written.
    try:
        with open(path, "w") as f:
            f.write(text)
    except BrokenPipeError:
        pass


@pytest.mark.parametrize("what", ["tle", "ambit"])
def test_missing_file_is_file_not_found_and_a_status_2_of_another_kind_is_not(tles, tmp_path, what):
    load = tles.load if what == "tle" else ambit.load
    with pytest.raises(veltrix.FileNotFound) as err:
        load(tmp_path / "absent")
    assert err.value.status == 2 and isinstance(err.value, FileNotFoundError)
    # A pipe cannot be read twice from its start: VX_FAIL, the value of
    # ENOENT, with no open failing; the missing file above must not linger.
    fifo = tmp_path / "pipe"
    os.mkfifo(fifo)
    writer = threading.Thread(target=_feed_fifo, args=(fifo, L1 + "\n"))
    writer.start()
    with pytest.raises(veltrix.Error) as err:
        load(fifo)
    writer.join(10)
    assert err.value.status == codes.VX_FAIL and not isinstance(err.value, FileNotFoundError)


def test_files_that_exist_are_not_file_not_found(tles, tmp_path):
    bad = tmp_path / "bad.tle"
    bad.write_text(L1 + "\n" + "2 25544  xx\n" + "junk\n")
    report = tles.load(bad)
    assert report.loaded == 0 and report.bad >= 1
    with pytest.raises(veltrix.Error) as err:
        tles.load(tmp_path)
    assert err.value.status == codes.VX_FILE_DIRECTORY and not isinstance(err.value, FileNotFoundError)


def test_a_missing_file_named_inside_an_input_file_is_file_not_found(tles, tmp_path):
    outer = tmp_path / "outer.inp"
    outer.write_text(f"ELTFIL={tmp_path / 'absent.tle'}\n")
    with pytest.raises(veltrix.FileNotFound) as err:
        tles.load(outer)
    assert err.value.status == 2
