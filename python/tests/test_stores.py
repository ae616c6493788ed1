"""The two process-wide stores as mappings, and as objects that cannot
leave their process."""
import copy
import pickle

import pytest

import veltrix
from veltrix import kinem, tle

from conftest import catalog_pairs

A1 = "  -5405.1320   3674.5167  -1796.0002   -1488.6831   -4955.9782   -5659.4070 UB1P"
A2 = "25544 98067A    18020123456.789  10812  999.010210000.005120000.000000000MMJ2K2P"


def _tle_entries(n):
    return [(a, b, tle.parse(a, b)) for a, b in catalog_pairs()[:n]]


def _kinem_entries(n):
    return [(A1, A2.replace("25544", str(25544 + i)), kinem.parse(A1, A2.replace("25544", str(25544 + i))))
            for i in range(n)]


STORES = [pytest.param(tle.store, _tle_entries, id="tle"), pytest.param(kinem.store, _kinem_entries, id="kinem")]


@pytest.fixture
def emptied():
    tle.store.clear()
    kinem.store.clear()
    yield
    tle.store.clear()
    kinem.store.clear()


@pytest.mark.parametrize("store,entries", STORES)
def test_the_store_is_a_mapping_of_its_keys(emptied, store, entries):
    made = entries(5)
    keys = [store.add(a, b) for a, b, _ in made]
    assert len(store) == 5
    assert all(k in store for k in keys)
    assert [store[k] for k in keys] == [e for _, _, e in made]
    assert list(store) == store.keys() and sorted(store) == sorted(keys)
    assert dict(store.items()) == {k: e for k, (_, _, e) in zip(keys, made)}
    assert list(store.values("load")) == [e for _, _, e in made]
    store.remove(keys[0])
    assert keys[0] not in store and len(store) == 4
    with pytest.raises(KeyError):
        store[keys[0]]
    # Not keys at all, or keys past the int64 range, are simply not held.
    for other in ("1", None, 1.0, 2**64 + keys[1], -1, 0):
        assert other not in store
    with pytest.raises(TypeError):
        store["1"]


@pytest.mark.parametrize("store,entries", STORES)
def test_the_store_does_not_pickle_into_an_empty_one(emptied, store, entries):
    a, b, _ = entries(1)[0]
    store.add(a, b)
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        with pytest.raises(TypeError, match="one per process"):
            pickle.dumps(store, protocol)
    assert copy.copy(store) is store and copy.deepcopy([store])[0] is store
    assert len(store) == 1


def test_iteration_over_the_keys_goes_by_satellite_number(emptied):
    made = _tle_entries(30)
    for a, b, _ in reversed(made):
        tle.store.add(a, b)
    satnums = [tle.store[k].satnum for k in tle.store]
    assert satnums == sorted(e.satnum for _, _, e in made)
    assert [e.satnum for e in tle.store.iter()] == satnums
    assert isinstance(tle.store, veltrix.tle.TleStore)
