"""State vectors: parse 1P/2P cards, and the process-wide vector store."""
from __future__ import annotations

import ctypes
import re
from dataclasses import dataclass, field

from . import _lib
from .errors import Duplicate, Error, NotFound, ParseError

_C = _lib.C
_TOTALS = re.compile(r"Total Kinems = (\d+), Loaded = (\d+), Dup = (\d+), Bad = (\d+)")


@dataclass(frozen=True)
class Vector:
    """One state vector in the units of its cards: position in km, velocity
    in m/s, epoch as the cards' text (YYDDDHHMMSS.SSS)."""

    position: tuple
    velocity: tuple
    classification: str
    satnum: int
    intl_des: str
    epoch: str
    epoch_rev: int
    elset_num: int
    b_term: float
    agom: float
    thrust_acc: float
    coord_sys: str


def parse(line1: str, line2: str) -> Vector:
    """Parses the 1P card (line1) and the 2P card (line2)."""
    pos, vel = _lib.f64_triple(), _lib.f64_triple()
    cls, des, dtg, cs = _lib.text_out(1), _lib.text_out(8), _lib.text_out(17), _lib.text_out(5)
    satnum, rev, num = _lib.i32(), _lib.i32(), _lib.i32()
    b, agom, thrust = _lib.f64(), _lib.f64(), _lib.f64()
    r = _lib.ref
    with _lib.capture() as lines:
        rc = _C["KinemParse"](_lib.text_in(line1), _lib.text_in(line2), pos, vel, cls, r(satnum), des, dtg, r(rev),
                              r(num), r(b), r(agom), r(thrust), cs)
    if rc != 0:
        _lib.fail(ParseError, lines, "KinemParse: the cards do not parse", rc)
    return Vector(tuple(pos), tuple(vel), _lib.text_value(cls, 1), satnum.value, _lib.text_value(des, 8),
                  _lib.text_value(dtg, 17).strip(), rev.value, num.value, b.value, agom.value, thrust.value,
                  _lib.text_value(cs, 5))


@dataclass(frozen=True)
class LoadReport:
    """The counts of one load, as its totals line gives them, and the
    vectors not loaded: (line number of the card set, message) in file
    order."""

    total: int
    loaded: int
    dup: int
    bad: int
    bad_sets: tuple = field(default=(), compare=False)


class KinemStore(_lib.ProcessStore):
    """The process-wide state-vector store (one per process). A mapping of
    satellite keys to Vectors: `key in store`, `store[key]`, len() and
    iteration over keys."""

    def load(self, path) -> LoadReport:
        """Adds every state vector of a file; returns the counts and the
        vectors not loaded. FileNotFound when the file does not exist."""
        bad_sets = []

        def on_set(line_num, line_num2, _sat_key, status, msg, msg_len, _user):
            if status == 2:
                bad_sets.append((line_num or line_num2, _lib.message(ctypes.string_at(msg, msg_len))))

        report = _lib.KINEM_LOAD_FN(on_set)
        with _lib.file_capture() as lines:
            rc = _C["KinemLoadFileEach"](_lib.path_in(path, "KinemLoadFile"), report, None)
        if rc != 0:
            raise _lib.file_failure(lines, rc, f"KinemLoadFile: cannot load {path}")
        for info in reversed(lines.infos):
            m = _TOTALS.match(info)
            if m:
                return LoadReport(*(int(g) for g in m.groups()), bad_sets=tuple(bad_sets))
        return LoadReport(0, 0, 0, 0, bad_sets=tuple(bad_sets))

    def add(self, line1: str, line2: str) -> int:
        """Adds the 1P and 2P cards of a vector; returns the new satellite key."""
        with _lib.capture() as lines:
            key = _C["KinemAddSatFrLines"](_lib.text_in(line1), _lib.text_in(line2))
        if key == 0:
            _lib.fail(Duplicate, lines, "KinemAddSatFrLines: duplicate state vector", 0)
        if key < 0:
            _lib.fail(ParseError, lines, "KinemAddSatFrLines: the cards were refused", -1)
        return key

    def remove(self, key: int) -> None:
        """Removes the vector of a key; NotFound when it is not loaded."""
        with _lib.capture() as lines:
            rc = _C["KinemRemoveSat"](key)
        if rc != 0:
            _lib.fail(NotFound, lines, f"KinemRemoveSat: no state vector {key}", rc)

    def clear(self) -> None:
        """Removes every state vector."""
        _C["KinemRemoveAllSats"]()

    def __len__(self) -> int:
        """The number of state vectors loaded."""
        return _C["KinemGetCount"]()

    def keys(self, order: str = "satnum") -> list:
        """Keys in an order: "satnum", "satnum_desc", "load" or "key"."""
        return _lib.loaded_keys("Kinem", _lib.order_code(order))

    def lines(self, key: int) -> tuple:
        """The 1P and 2P cards of a key; NotFound when it is not loaded."""
        l1, l2 = _lib.text_out(), _lib.text_out()
        with _lib.capture() as lines:
            rc = _C["KinemGetLines"](key, l1, l2)
        if rc != 0:
            _lib.fail(NotFound, lines, f"KinemGetLines: no state vector {key}", rc)
        return _lib.text_value(l1), _lib.text_value(l2)

    def get(self, key: int) -> Vector:
        """The vector of a key; NotFound (a KeyError) when it is not loaded."""
        return parse(*self.lines(key))

    def _holds(self, key: int) -> bool:
        with _lib.capture():
            return _C["KinemGetLines"](key, _lib.text_out(), _lib.text_out()) == 0

    def items(self, order: str = "satnum"):
        """(key, Vector) pairs in an order of keys(); a vector removed
        meanwhile by another thread is passed over."""
        for key in self.keys(order):
            try:
                yield key, self.get(key)
            except Error:
                continue

    def by_satnum(self, satnum: int) -> Vector:
        """A vector of a satellite number: with several, the first in the
        store's tree order, which is usually the oldest, not the latest;
        latest(satnum) gives the latest. NotFound when none is loaded."""
        return self.get(_lib.key_by_satnum("KinemGetSatKey", satnum))

    def latest(self, satnum: int) -> Vector:
        """The vector of a satellite number with the latest epoch; among
        equal epochs the one of the larger key. NotFound when none is
        loaded."""
        return self.get(_lib.key_by_satnum("KinemGetLatestSatKey", satnum))

    def save(self, path, append: bool = False) -> None:
        """Writes every vector as card pairs (appended when append is True)."""
        with _lib.file_capture() as lines:
            rc = _C["KinemSaveFile"](_lib.path_in(path, "KinemSaveFile"), 1 if append else 0)
        if rc != 0:
            raise _lib.file_failure(lines, rc, f"KinemSaveFile: cannot save {path}")


store = KinemStore() if _lib.has("KinemParse") else None
