import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

import veltrix  # noqa: E402

CATALOG = ROOT / "data" / "catalog-2018.tle"
VECTORS = ROOT / "data" / "vectors-sample.vec"


def catalog_pairs():
    """(line 1, line 2) of every element set of the bundled catalog."""
    lines = [l.rstrip("\n") for l in CATALOG.read_text().splitlines()]
    return [(a, b) for a, b in zip(lines, lines[1:]) if a.startswith("1 ") and b.startswith("2 ")]


@pytest.fixture
def tles():
    veltrix.tle.store.clear()
    yield veltrix.tle.store
    veltrix.tle.store.clear()
