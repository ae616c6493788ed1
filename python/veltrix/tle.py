"""Two-line element sets: parse, build lines, and the process-wide store."""
from __future__ import annotations

import ctypes
import dataclasses
import json
import re
from dataclasses import dataclass
from datetime import datetime, timedelta, timezone

from . import _lib
from .errors import Duplicate, Error, NotFound, ParseError

_C = _lib.C
_DAY = timedelta(days=1)


def checksum(line: str) -> int:
    """The mod-10 checksum of columns 1-68: digits count their value, '-' 1."""
    return sum(int(c) if c.isdigit() else (1 if c == "-" else 0) for c in line[:68]) % 10


def _epoch(year: int, days: float) -> datetime:
    # Day 1.0 is January 1, 0h; day 0.5 is noon of December 31 before.
    return datetime(year, 1, 1, tzinfo=timezone.utc) + timedelta(days=days - 1.0)


def _epoch_fields(epoch: datetime):
    if not isinstance(epoch, datetime):
        raise TypeError(f"epoch must be a datetime, not {type(epoch).__name__}")
    if epoch.tzinfo is not None:
        epoch = epoch.astimezone(timezone.utc).replace(tzinfo=None)
    year = epoch.year
    days = (epoch - datetime(year, 1, 1)) / _DAY + 1.0
    return year, days


@dataclass(frozen=True)
class Elset:
    """One element set in the units of its lines: angles in degrees, mean
    motion in revolutions per day, ndot in rev/day^2 (halved), nddot in
    rev/day^3 (divided by 6), bstar in 1/earth radii; name the object name
    ("ISS (ZARYA)"), "" when the set has none."""

    satnum: int
    classification: str
    designator: str
    epoch: datetime
    ndot: float
    nddot: float
    bstar: float
    ephtype: int
    elset_num: int
    inclination: float
    raan: float
    eccentricity: float
    arg_perigee: float
    mean_anomaly: float
    mean_motion: float
    rev_num: int
    name: str = ""

    def lines(self, checksum: bool = True) -> tuple:
        """Line 1 and line 2 (69 columns), with their checksums in column 69
        unless checksum is False (then column 69 is blank)."""
        year, days = _epoch_fields(self.epoch)
        l1, l2 = _lib.text_out(), _lib.text_out()
        with _lib.capture() as lines:
            _C["TleGPFieldsToLines"](
                self.satnum, _lib.char(self.classification), _lib.text_in(self.designator, 8), year, days,
                self.ndot, self.nddot, self.bstar, self.ephtype, self.elset_num, self.inclination, self.raan,
                self.eccentricity, self.arg_perigee, self.mean_anomaly, self.mean_motion, self.rev_num, l1, l2)
        out = []
        for buf in (l1, l2):
            text = buf.raw[:69].decode("latin-1")
            if not text.strip():
                _lib.fail(ParseError, lines, "TleGPFieldsToLines: the fields do not make lines")
            out.append(text[:68] + (str(_checksum(text)) if checksum else " "))
        return tuple(out)

    def to_omm(self) -> dict:
        """The set as one OMM record in the form the public catalogs publish
        as JSON: their 17 keys in their order, numbers as numbers, EPOCH as
        "YYYY-MM-DDThh:mm:ss.ffffff" (UTC), OBJECT_ID in the long form
        ("1998-067A" for the designator "98067A"). from_omm reads it back."""
        epoch = self.epoch
        if epoch.tzinfo is not None:
            epoch = epoch.astimezone(timezone.utc)
        return {"OBJECT_NAME": self.name, "OBJECT_ID": _object_id(self.designator),
                "EPOCH": epoch.strftime("%Y-%m-%dT%H:%M:%S.%f"), "MEAN_MOTION": self.mean_motion,
                "ECCENTRICITY": self.eccentricity, "INCLINATION": self.inclination, "RA_OF_ASC_NODE": self.raan,
                "ARG_OF_PERICENTER": self.arg_perigee, "MEAN_ANOMALY": self.mean_anomaly,
                "EPHEMERIS_TYPE": self.ephtype, "CLASSIFICATION_TYPE": self.classification,
                "NORAD_CAT_ID": self.satnum, "ELEMENT_SET_NO": self.elset_num, "REV_AT_EPOCH": self.rev_num,
                "BSTAR": self.bstar, "MEAN_MOTION_DOT": self.ndot, "MEAN_MOTION_DDOT": self.nddot}

    def replace(self, **changes) -> "Elset":
        """A copy with the fields named changed (Elset is frozen)."""
        return dataclasses.replace(self, **changes)

    def to_satrec(self, whichconst=None):
        """A python-sgp4 Satrec of this element set, made by
        sgp4.api.Satrec.twoline2rv from lines() (whichconst, one of sgp4.api's
        WGS72OLD, WGS72, WGS84, when given; python-sgp4's default otherwise).
        ImportError when python-sgp4 is not installed."""
        try:
            from sgp4.api import Satrec
        except ImportError as e:
            raise ImportError("Elset.to_satrec needs python-sgp4, which is not installed (pip install sgp4, or "
                              "the Debian package python3-sgp4)") from e
        line1, line2 = self.lines()
        if whichconst is None:
            return Satrec.twoline2rv(line1, line2)
        return Satrec.twoline2rv(line1, line2, whichconst)

    def propagate(self, times, grav: str = "wgs72", opsmode: str = "i", **kw):
        """States of this set at times, as orbix.Snapshot.propagate gives them
        for one set (keyword arguments time and threads as there), the set
        axis dropped: shapes (times, 3), (times, 3), (times,)."""
        from . import orbix

        with orbix.Snapshot.from_elements([self], grav=grav, opsmode=opsmode) as snap:
            pos, vel, err = snap.propagate(times, **kw)
        return pos[0], vel[0], err[0]


_checksum = checksum


def _elset(satnum, cls, name, year, days, ndot, nddot, bstar, ephtype, elset_num, incl, raan, ecc, argp, ma, mm,
           rev, object_name="") -> Elset:
    return Elset(satnum=satnum, classification=cls.decode("latin-1").strip(), designator=name,
                 epoch=_epoch(year, days), ndot=ndot, nddot=nddot, bstar=bstar, ephtype=ephtype,
                 elset_num=elset_num, inclination=incl, raan=raan, eccentricity=ecc, arg_perigee=argp,
                 mean_anomaly=ma, mean_motion=mm, rev_num=rev, name=object_name)


# Designators in the two forms the library maps between: "98067A" and
# "1998-067A" (one to three piece letters); other texts stay as they are.
_SHORT_ID = re.compile(r"(\d\d)(\d{3}[A-Z]{1,3})")
_LONG_ID = re.compile(r"\d\d(\d\d)-(\d{3}[A-Z]{1,3})")


def _object_id(designator: str) -> str:
    m = _SHORT_ID.fullmatch(designator.strip())
    if not m:
        return designator.strip()
    # Two-digit launch years from 57 on are of the 1900s.
    return ("19" if int(m[1]) >= 57 else "20") + m[1] + "-" + m[2]


def _designator(object_id) -> str:
    text = "" if object_id is None else str(object_id).strip()
    m = _LONG_ID.fullmatch(text)
    return m[1] + m[2] if m else text


def _name_text(raw: bytes) -> str:
    """A name or document from the library: UTF-8, or latin-1 where it is not."""
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("latin-1")


def _omm_value(value):
    # A datetime EPOCH goes as its UTC text.
    if isinstance(value, datetime):
        if value.tzinfo is not None:
            value = value.astimezone(timezone.utc).replace(tzinfo=None)
        return value.strftime("%Y-%m-%dT%H:%M:%S.%f")
    return value


def from_omm(record: dict) -> Elset:
    """The Elset of one OMM record (a dict of OMM keywords, values as numbers
    or strings, e.g. one object of a catalog's JSON), mapped and checked by
    the library as a load would, without touching the store; the name from
    OBJECT_NAME. ParseError with the library's message when it refuses it."""
    if not isinstance(record, dict):
        raise TypeError(f"from_omm: a record must be a dict, not {type(record).__name__}")
    try:
        text = json.dumps([{str(k): _omm_value(v) for k, v in record.items()}], allow_nan=False)
    except (TypeError, ValueError) as e:
        raise ParseError(f"from_omm: the record does not make an OMM document: {e}", None) from None
    rows, _, bad = _parse_rows(text.encode("utf-8"))
    if bad or len(rows) != 1:
        raise ParseError(bad[-1][1] if bad else "from_omm: the record holds no element set", None,
                         [m for _, m in bad])
    row = rows[0]
    c = {name: int(row[_COLUMNS[name] - 1]) if name in _INT_COLUMNS else float(row[_COLUMNS[name] - 1])
         for name in _TEXT_COLUMNS}
    # Day 1.0 since 1950 is 1950 January 1, 0h.
    epoch = datetime(1949, 12, 31, tzinfo=timezone.utc) + timedelta(days=float(row[_EPOCH_ELEMENT - 1]))
    if c["ephtype"] == 4:
        # Type 4 keeps its two coefficients in slots of their own.
        c["bstar"], c["nddot"] = float(row[_TYPE4_BTERM - 1]), float(row[_TYPE4_AGOM - 1])
    cls = record.get("CLASSIFICATION_TYPE")
    name = record.get("OBJECT_NAME")
    return Elset(satnum=c["satnum"], classification=str(cls).strip() if cls not in (None, "") else "U",
                 designator=_designator(record.get("OBJECT_ID")), epoch=epoch, ndot=c["ndot"], nddot=c["nddot"],
                 bstar=c["bstar"], ephtype=c["ephtype"], elset_num=c["elset_num"], inclination=c["inclination"],
                 raan=c["raan"], eccentricity=c["eccentricity"], arg_perigee=c["arg_perigee"],
                 mean_anomaly=c["mean_anomaly"], mean_motion=c["mean_motion"], rev_num=c["rev_num"],
                 name="" if name is None else str(name).strip())


def parse(line1: str, line2: str) -> Elset:
    """Parses two lines; raises ParseError with the library's message. Lines
    accepted with a doubt (a line 1 and a line 2 of two satellites: line 1's
    number is taken) give a UserWarning of the library's "Warning-" line."""
    return _parse(line1, line2, 4)


def _parse(line1: str, line2: str, stacklevel: int) -> Elset:
    """parse, its warnings raised stacklevel frames above _lib.warn."""
    ints = [_lib.i32() for _ in range(5)]  # satNum, epochYr, ephType, elsetNum, revNum
    reals = [_lib.f64() for _ in range(10)]  # epochDays, nDotO2, n2DotO6, bStar, 6 elements
    cls, name = _lib.text_out(1), _lib.text_out(8)
    r = _lib.ref
    with _lib.capture() as lines:
        rc = _C["TleParseGP"](
            _lib.text_in(line1), _lib.text_in(line2), r(ints[0]), cls, name, r(ints[1]), r(reals[0]), r(reals[1]),
            r(reals[2]), r(reals[3]), r(ints[2]), r(ints[3]), *(r(x) for x in reals[4:]), r(ints[4]))
    if rc != 0:
        _lib.fail(ParseError, lines, "TleParseGP: the lines do not parse", rc)
    _lib.warn(lines, stacklevel)
    v = [x.value for x in reals]
    return _elset(ints[0].value, cls.raw[:1], _lib.text_value(name, 8), ints[1].value, v[0], v[1], v[2], v[3],
                  ints[2].value, ints[3].value, *v[4:], ints[4].value)


@dataclass(frozen=True)
class LoadReport:
    """The counts of one load, as its totals line gives them, and the
    element sets not loaded: (line number, message) in file order."""

    total: int
    loaded: int
    dup: int
    bad: int
    bad_sets: tuple = dataclasses.field(default=(), compare=False)


# Columns of the 64-value array (counted from 1) that to_numpy hands out.
# The array columns as the library lays them out: name -> element number;
# the epoch column holds days since 1950.
_LAYOUT = _lib.tle_array_layout() if _lib.has("TleGetArrayLayout") else []
_COLUMNS = {name: element for name, element, _ in _LAYOUT if name != "epoch"}
_INT_COLUMNS = {name for name, _, is_int in _LAYOUT if is_int}
_EPOCH_ELEMENT = next((element for name, element, _ in _LAYOUT if name == "epoch"), 0)
# The array elements of the coefficients of ephemeris type 4 (auxCoef2,
# auxCoef1), which take the places of bstar and nddot.
_TYPE4_BTERM, _TYPE4_AGOM = 33, 39


class TleStore(_lib.ProcessStore):
    """The process-wide element-set store (one per process, shared by every
    thread and every object of this class). A mapping of satellite keys to
    Elsets: `key in store`, `store[key]`, len() and iteration over keys."""

    def load(self, path) -> LoadReport:
        """Adds every element set of a file: line pairs, three-line sets
        (their names kept), CSV lines, or an OMM document in CSV, JSON, XML
        or KVN (told by its content). Returns the counts and the sets not
        loaded (by line; by record number in JSON). FileNotFound when the
        file does not exist."""
        counts, bad_sets, report = _load_report()
        with _lib.file_capture() as lines:
            rc = _C["TleLoadFileReport"](_lib.path_in(path, "TleLoadFile"), report, None,
                                         *(_lib.ref(c) for c in counts))
        if rc != 0:
            raise _lib.file_failure(lines, rc, f"TleLoadFile: cannot load {path}")
        return _load_result(counts, bad_sets)

    def load_text(self, text) -> LoadReport:
        """Adds every element set of a text in memory (str, as UTF-8, or
        bytes), as load reads a file: an OMM document of any encoding, or
        line pairs, three-line sets and CSV lines (no file cards). Error
        when an OMM document cannot be read to its end (the records before
        the fault are stored)."""
        if isinstance(text, str):
            data = text.encode("utf-8")
        elif isinstance(text, (bytes, bytearray, memoryview)):
            data = bytes(text)
        else:
            raise TypeError(f"load_text: the text must be a str or bytes, not {type(text).__name__}")
        counts, bad_sets, report = _load_report()
        with _lib.capture() as lines:
            rc = _C["TleLoadText"](data, len(data), report, None, *(_lib.ref(c) for c in counts))
        if rc != 0:
            _lib.fail(Error, lines, "TleLoadText: the text was not read", rc)
        return _load_result(counts, bad_sets)

    def set_name(self, key: int, name: str) -> None:
        """Sets the object name of a key's element set ("" removes it;
        surrounding blanks are dropped). NotFound when the key is not
        loaded, ParseError for a name the library refuses (a control
        character, more than 255 characters), ValueError for one it would
        cut (more than 256 bytes in UTF-8, or a NUL)."""
        if not isinstance(name, str):
            raise TypeError(f"set_name: a name must be a str, not {type(name).__name__}")
        raw = name.encode("utf-8")
        if len(raw) > _NAME_LEN or "\0" in name:
            raise ValueError(f"set_name: a name holds at most {_NAME_LEN} bytes and no NUL: {name!r}")
        with _lib.capture() as lines:
            rc = _C["TleSetObjectName"](key, ctypes.create_string_buffer(raw, _NAME_LEN + 1))
        if rc != 0:
            kind = ParseError if self._holds(key) else NotFound
            _lib.fail(kind, lines, f"TleSetObjectName: the name of {key} was not set", rc)

    def add(self, line1, line2: str | None = None) -> int:
        """Adds an Elset or two lines; returns the new satellite key. Warns as
        parse does."""
        if isinstance(line1, Elset):
            line1, line2 = line1.lines()
        with _lib.capture() as lines:
            key = _C["TleAddSatFrLines"](_lib.text_in(line1), _lib.text_in(line2 or ""))
        if key == 0:
            _lib.fail(Duplicate, lines, "TleAddSatFrLines: duplicate element set", 0)
        if key < 0:
            _lib.fail(ParseError, lines, "TleAddSatFrLines: the lines were refused", -1)
        _lib.warn(lines)
        return key

    def remove(self, key: int) -> None:
        """Removes the element set of a key; NotFound when it is not loaded."""
        with _lib.capture() as lines:
            rc = _C["TleRemoveSat"](key)
        if rc != 0:
            _lib.fail(NotFound, lines, f"TleRemoveSat: no element set {key}", rc)

    def clear(self) -> None:
        """Removes every element set."""
        with _lib.capture() as lines:
            rc = _C["TleRemoveAllSats"]()
        if rc != 0:
            _lib.fail(Error, lines, "TleRemoveAllSats failed", rc)

    def __len__(self) -> int:
        """The number of element sets loaded."""
        return _C["TleGetCount"]()

    def keys(self, order: str = "satnum") -> list:
        """Keys in an order: "satnum" (number, type, epoch), "satnum_desc",
        "load" or "key"."""
        return _lib.loaded_keys("Tle", _lib.order_code(order))

    def get(self, key: int) -> Elset:
        """The element set of a key; NotFound (a KeyError) when it is not loaded."""
        e = self._get(key)
        if isinstance(e, Error):
            raise e
        return e

    def _holds(self, key: int) -> bool:
        return not isinstance(self._get(key), Error)

    def _get(self, key: int):
        ints = [_lib.i32() for _ in range(5)]  # satNum, epochYr, ephType, elsetNum, revNum
        reals = [_lib.f64() for _ in range(10)]  # epochDays, drag term, 6 elements, nDotO2, n2DotO6
        cls, name = _lib.text_out(1), _lib.text_out(8)
        r = _lib.ref
        with _lib.capture() as lines:
            rc = _C["TleGetAllFieldsGP2"](key, r(ints[0]), cls, name, r(ints[1]), r(reals[0]), r(reals[1]),
                                          r(ints[2]), r(ints[3]), *(r(x) for x in reals[2:8]), r(ints[4]),
                                          r(reals[8]), r(reals[9]))
        if rc != 0:
            return NotFound(lines[-1] if lines else f"no element set {key}", rc)
        object_name = _lib.text_out(_NAME_LEN)
        with _lib.capture():
            # A set removed between the two calls keeps the fields read.
            _C["TleGetObjectName"](key, object_name)
        v = [x.value for x in reals]
        return _elset(ints[0].value, cls.raw[:1], _lib.text_value(name, 8), ints[1].value, v[0], v[8], v[9], v[1],
                      ints[2].value, ints[3].value, *v[2:8], ints[4].value,
                      _name_text(object_name.raw[:_NAME_LEN].rstrip(b" \0")))

    def items(self, order: str = "satnum"):
        """(key, Elset) pairs; a set removed meanwhile by another thread is
        passed over."""
        for key in self.keys(order):
            e = self._get(key)
            if not isinstance(e, Error):
                yield key, e

    def iter(self, order: str = "satnum"):
        """The element sets in an order of keys() (values(order) as well)."""
        return self.values(order)

    def key_of(self, satnum: int) -> int:
        """The key of a satellite number: with several sets, the first in the
        store's tree order; NotFound when none is loaded."""
        return _lib.key_by_satnum("TleGetSatKey", satnum)

    def by_satnum(self, satnum: int) -> Elset:
        """An element set of a satellite number: with several, the first in
        the store's tree order (key_of), which for a catalog history is
        usually the oldest, not the latest; latest(satnum) gives the latest.
        NotFound when none is loaded."""
        return self.get(self.key_of(satnum))

    def latest(self, satnum: int) -> Elset:
        """The element set of a satellite number with the latest epoch, of any
        ephemeris type; among equal epochs the one of the larger key."""
        return self.get(_lib.key_by_satnum("TleGetLatestSatKey", satnum))

    def save(self, path, form: str = "lines", append: bool = False) -> None:
        """Writes every element set in a form: "lines" (line pairs), "csv",
        "three-lines" (a name line "0 <name>" before the pair of a named
        set), or OMM: "omm-csv", "omm-json", "omm-xml", "omm-kvn" (every
        value exactly; the CSV, JSON and XML documents cannot be appended
        to). Error when a set cannot be written faithfully (the line forms
        hold satellite numbers up to 339999); the others are written."""
        with _lib.file_capture() as lines:
            rc = _C["TleSaveFileAs"](_lib.path_in(path, "TleSaveFile"), 1 if append else 0, _form_code(form))
        if rc != 0:
            raise _lib.file_failure(lines, rc, f"TleSaveFile: cannot save {path}")

    def to_text(self, form: str, keys=None) -> str:
        """The element sets of keys (every set, in key order, when None) as
        the text save writes in a form (see save). NotFound when a key is
        not loaded; Error when a set cannot be written in the form."""
        code = _form_code(form)
        ks = list(keys) if keys is not None else None
        # An empty list is no keys, not NULL (which is every set).
        arr = None if ks is None else _lib.i64_array(ks) if ks else _lib.i64_buffer(0)
        count = len(ks) if ks is not None else 0
        size = _lib.i64()
        while True:
            with _lib.capture() as lines:
                rc = _C["TleWriteText"](arr, count, code, None, 0, _lib.ref(size))
            if rc == 0:
                cap = size.value
                out = ctypes.create_string_buffer(max(cap, 1))
                with _lib.capture() as lines:
                    rc = _C["TleWriteText"](arr, count, code, out, cap, _lib.ref(size))
                if rc == 0:
                    return _name_text(out.raw[:size.value])
                if size.value > cap:
                    continue  # the store grew meanwhile
            missing = next((k for k in ks or () if k not in self), None)
            if missing is not None:
                _lib.fail(NotFound, lines, f"TleWriteText: no element set {missing}", rc)
            _lib.fail(Error, lines, f"TleWriteText: the sets cannot be written as {form}", rc)

    def snapshot(self, keys=None, grav: str = "wgs72", opsmode: str = "i"):
        """An orbix.Snapshot of the sets of keys (every set, in ascending key
        order, when None), initialised once for any number of propagate
        calls; it holds copies, so the store may change meanwhile. A key not
        loaded gives a set whose every time has code 8 (7 with a library
        older than its TleSnapshot). keys() of the snapshot are the keys."""
        import numpy as np

        from . import orbix

        model, mode = orbix.model_args(grav, opsmode)
        if keys is not None:
            given = np.asarray(keys)
            if given.size and given.dtype.kind not in "iu":
                raise TypeError(f"keys must be integers, not {given.dtype}")
            if given.ndim > 1:
                raise ValueError(f"keys must be a 1-D sequence, not of the shape {given.shape}")
            keys = np.ascontiguousarray(given.reshape(-1), dtype=np.int64)
        if _lib.has("TleSnapshot"):
            status = _lib.i32()
            with _lib.capture() as lines:
                handle = _C["TleSnapshot"](None if keys is None else keys.ctypes.data_as(_lib.P64),
                                           0 if keys is None else len(keys), model, mode, _lib.ref(status))
            if not handle:
                _lib.fail(ParseError, lines, "TleSnapshot: the snapshot was not made", status.value)
            return orbix.Snapshot(handle)
        # Without TleSnapshot: the store's values, read in one call per chunk.
        if keys is None:
            keys = np.asarray(self.keys("key"), dtype=np.int64)
        rows, found = _lib.tle_arrays(keys)
        rows[found == 0] = np.nan
        cols = {name: rows[:, _COLUMNS[name] - 1] for name in _COLUMNS}
        cols["epoch"] = rows[:, _EPOCH_ELEMENT - 1]
        return orbix.Snapshot.from_elements(cols, grav=grav, opsmode=opsmode, ids=keys)

    def propagate(self, times, keys=None, grav: str = "wgs72", opsmode: str = "i", **kw):
        """snapshot(keys, grav, opsmode).propagate(times, **kw): positions,
        velocities and errors of the sets at times, the set axis in the
        order of keys (ascending key when None)."""
        with self.snapshot(keys, grav=grav, opsmode=opsmode) as snap:
            return snap.propagate(times, **kw)

    def to_numpy(self, order: str = "key") -> dict:
        """Columns of every element set as numpy arrays ("key", "epoch" as
        datetime64[us] UTC, the numeric fields of Elset, and "designator"
        and "name" as str arrays, "" where a set has none), read in one
        walk of the store (the texts in one more call). Order "key" (ascending key: by satellite number,
        ephemeris type and epoch for keys made from the fields) costs
        nothing more; the other orders of keys() are one sort more."""
        import numpy as np

        names = list(_COLUMNS)
        keys, cols = _lib.tle_columns([_COLUMNS[n] for n in names] + [_EPOCH_ELEMENT])
        if order != "key":
            wanted = np.asarray(self.keys(order), dtype=np.int64)
            # keys is ascending; a set added or removed between the two calls
            # is left out.
            at = np.minimum(np.searchsorted(keys, wanted), max(len(keys) - 1, 0))
            hit = keys[at] == wanted if len(keys) else np.zeros(len(wanted), dtype=bool)
            keys, cols = wanted[hit], cols[:, at[hit]]
        out = {"key": keys}
        for j, name in enumerate(names):
            out[name] = cols[j].astype(np.int64) if name in _INT_COLUMNS else cols[j].copy()
        out["epoch"] = _ds50_to_datetime64(cols[-1])
        out["designator"], out["name"] = _lib.tle_texts(keys)
        return out


def _ds50_to_datetime64(days):
    import numpy as np

    # Days since 1950: day 1.0 is 1950 January 1, 0h.
    base = np.datetime64("1949-12-31T00:00:00", "us")
    return base + np.round(days * 86_400_000_000.0).astype("timedelta64[us]")


store = TleStore()

# Save forms of TleSaveFileAs and TleWriteText (VX_SAVE_LINES, VX_SAVE_CSV,
# VX_SAVE_THREE_LINES, VX_SAVE_OMM_CSV, _JSON, _XML, _KVN).
FORMS = {"lines": 0, "csv": 1, "three-lines": 2, "omm-csv": 3, "omm-json": 4, "omm-xml": 5, "omm-kvn": 6}
_NAME_LEN = 256


def _form_code(form) -> int:
    try:
        return FORMS[form]
    except (KeyError, TypeError):
        raise ValueError(f"form must be one of {', '.join(repr(f) for f in FORMS)}, not {form!r}") from None


def _load_report():
    """The counts (loaded, dup, bad), the list of sets not loaded and the
    TleLoadFn that fills it, for one load."""
    bad_sets = []

    # TleLoadFileReport calls it only for the sets not loaded, so a large
    # catalog file costs no call into Python per set (TleLoadText calls it
    # for every set).
    def on_set(line_num, _line_num2, _sat_key, status, msg, msg_len, _user):
        if status == 2:
            bad_sets.append((line_num, _lib.message(ctypes.string_at(msg, msg_len))))

    return (_lib.i32(), _lib.i32(), _lib.i32()), bad_sets, _lib.TLE_LOAD_FN(on_set)


def _load_result(counts, bad_sets) -> LoadReport:
    loaded, dup, bad = (c.value for c in counts)
    return LoadReport(loaded + dup + bad, loaded, dup, bad, bad_sets=tuple(bad_sets))


# Columns parse_text hands out, besides "epoch" and "line".
_TEXT_COLUMNS = ("satnum", "ndot", "nddot", "bstar", "ephtype", "elset_num", "inclination", "raan", "eccentricity",
                 "arg_perigee", "mean_anomaly", "mean_motion", "rev_num")


def _text_line(line) -> str:
    if isinstance(line, (bytes, bytearray)):
        line = line.decode("latin-1")
    elif not isinstance(line, str):
        raise TypeError(f"parse_text: a line must be a str or bytes, not {type(line).__name__}")
    return line.rstrip("\r\n")


def parse_text(text) -> tuple:
    """Parses every element set of a text (a str, bytes, or a list of lines) without
    touching the store, so it runs anywhere, any number of times at once
    (a Dask map_partitions function, for one).

    Returns (columns, bad): columns a dict of numpy arrays (the numeric
    fields of Elset, "epoch" as datetime64[us] UTC, "line" the line number
    of each line 1, counted from 1), bad a list of (line number, message)
    for each set the library refuses, a line 1 without its line 2 among
    them. Other lines (names, comments) are passed over."""
    import numpy as np

    if isinstance(text, (bytes, bytearray)):
        data = bytes(text)
    elif isinstance(text, str):
        data = text.encode("latin-1", "replace")
    else:
        data = "\n".join(_text_line(l) for l in text).encode("latin-1", "replace")
    rows, at, bad = _parse_rows(data)
    columns = {name: rows[:, _COLUMNS[name] - 1].astype(np.int64 if name in _INT_COLUMNS else np.float64)
               for name in _TEXT_COLUMNS}
    columns["epoch"] = _ds50_to_datetime64(rows[:, _EPOCH_ELEMENT - 1])
    columns["line"] = at.astype(np.int64)
    return columns, bad


def _parse_rows(data: bytes):
    """TleParseTextArrays of data: (rows of 64 values, their line numbers,
    the (line number, message) of each set refused); warns as parse does."""
    import numpy as np

    bad = []

    # Called only for the sets refused.
    def on_bad(line_num, _line_num2, _sat_key, _status, msg, msg_len, _user):
        bad.append((line_num, _lib.message(ctypes.string_at(msg, msg_len))))

    report = _lib.TLE_LOAD_FN(on_bad)
    # A set takes at least two lines but a CSV set one: a text of CSV lines
    # is read a second time with the count of the first.
    cap = data.count(b"\n") // 2 + 1
    while True:
        bad.clear()
        rows = np.empty((cap, 64), dtype=np.float64)
        at = np.empty(cap, dtype=np.int32)
        count, refused = _lib.i32(), _lib.i32()
        with _lib.capture() as lines:
            rc = _C["TleParseTextArrays"](data, len(data), cap, rows.ctypes.data_as(_lib.PF64),
                                          at.ctypes.data_as(_lib.P32), _lib.ref(count), _lib.ref(refused), report,
                                          None)
        if rc != 0:
            _lib.fail(Error, lines, "TleParseTextArrays: the text was not read", rc)
        if count.value <= cap:
            break
        cap = count.value
    _lib.warn(lines, 4)
    return rows[:count.value], at[:count.value], bad
