"""The one binding layer over the C libraries.

Every ctypes type, text buffer and blank-padding rule of the package lives
here; the public modules call the functions below with Python values and get
Python values back.
"""
from __future__ import annotations

import ctypes
import errno
import os
import re
import threading
import warnings
from contextlib import contextmanager
from pathlib import Path

from . import codes, errors

_LIBS = ("kernix", "chronom", "orbix", "ambit", "tle", "kinem")
TEXT = 512


def _candidates():
    here = Path(__file__).resolve().parent
    # Installed with pip: the libraries inside the package.
    yield here / "lib"
    env = os.environ.get("VELTRIX_LIB_DIR")
    if env:
        yield Path(env)
    # Installed: P/share/veltrix/python/veltrix beside P/lib.
    yield here
    yield here.parent / ".." / ".." / ".." / "lib"
    # The source tree: python/veltrix with the build in build/lib.
    yield here.parent.parent / "build" / "lib"


def _lib_file(d: Path, name: str):
    """The file of library name in d: lib<name>.so, or the soname
    lib<name>.so.N the package's own copy is kept under; None if neither."""
    plain = d / f"lib{name}.so"
    if plain.exists():
        return plain
    versions = sorted(d.glob(f"lib{name}.so.[0-9]*"), key=lambda p: len(p.name))
    return versions[0] if versions else None


def _find_dir() -> Path:
    env = os.environ.get("VELTRIX_LIB_DIR")
    if env and _lib_file(Path(env), "tle") is None:
        # A directory named on purpose is not passed over for another build.
        raise ImportError(f"veltrix: VELTRIX_LIB_DIR={env!r} holds no libtle.so; set it to the directory of the "
                          "Veltrix libraries or unset it")
    tried = []
    for d in _candidates():
        if _lib_file(d, "tle") is not None:
            return d.resolve()
        tried.append(str(d))
    raise ImportError(
        "veltrix: libtle.so not found; set VELTRIX_LIB_DIR to the directory of the "
        "Veltrix libraries (looked in: " + ", ".join(tried) + ")"
    )


LIB_DIR = _find_dir()
_dll = {}
for _name in _LIBS:
    _path = _lib_file(LIB_DIR, _name)
    if _path is not None:
        _dll[_name] = ctypes.CDLL(str(_path))

# ---- per-call, per-thread messages through the log callback ----------------

_LOGFN = ctypes.CFUNCTYPE(None, ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32, ctypes.c_void_p)
_local = threading.local()


def _on_log(is_error, text, length, _user):
    lines = getattr(_local, "lines", None)
    if lines is not None:
        line = message(ctypes.string_at(text, length))
        (lines if is_error else lines.infos).append(line)


# A text the library quotes at the end of a message, with the blanks of its
# fixed-length buffer: "... (1 25544U ...9993<blanks>)." or "Line2 = '2 ...<blanks>'."
_QUOTED_PADDING = re.compile(r" {2,}(['\)]\.?)$")


def message(raw: bytes) -> str:
    """A message line of the library without the blank padding of its
    buffers: at its end, and of a text it quotes last. A file name in it has
    the file system's bytes (UTF-8); the texts of the package go as latin-1."""
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("latin-1")
    return _QUOTED_PADDING.sub(r"\1", text.rstrip(" \0"))


class Lines(list):
    """The error lines of a call; the information lines in .infos."""

    def __init__(self):
        super().__init__()
        self.infos = []


# Kept referenced for the life of the process: the library calls it.
_callback = _LOGFN(_on_log)
_dll["kernix"].KernixSetLogCallback.argtypes = [_LOGFN, ctypes.c_void_p]
_dll["kernix"].KernixSetLogCallback.restype = None
_dll["kernix"].KernixSetLogCallback(_callback, None)


@contextmanager
def capture():
    """Collects the error lines the calling thread's library calls write."""
    outer = getattr(_local, "lines", None)
    _local.lines = Lines()
    try:
        yield _local.lines
    finally:
        caught = _local.lines
        _local.lines = outer
        if outer is not None:
            outer.extend(caught)
            outer.infos.extend(caught.infos)


def warn(lines, stacklevel=3):
    """Raises a Python warning for each "Warning-" information line of a call
    that succeeded (lines accepted with a doubt, such as a line 1 and a line 2
    of two satellites); stacklevel as warnings.warn counts it from here, the
    default pointing at the caller's caller."""
    for info in lines.infos:
        if info.startswith("Warning-"):
            warnings.warn(info, stacklevel=stacklevel)


def fail(kind, lines, fallback, status=None):
    message = lines[-1] if lines else fallback
    raise kind(message, status, lines)


# ---- types and prototypes ---------------------------------------------------

I32, I64, F64, CHR = ctypes.c_int32, ctypes.c_int64, ctypes.c_double, ctypes.c_char
P32, P64, PF64, PCHR = (ctypes.POINTER(t) for t in (I32, I64, F64, CHR))
VOIDP = ctypes.c_void_p

# The per-set report of TleLoadFileEach: lineNum, lineNum2, satKey, status,
# msg (not NUL-terminated, so a plain pointer), msgLen, user.
TLE_LOAD_FN = ctypes.CFUNCTYPE(None, I32, I32, I64, I32, ctypes.c_void_p, I32, ctypes.c_void_p)
# The same for KinemLoadFileEach.
KINEM_LOAD_FN = TLE_LOAD_FN

_PROTOS = {
    "kernix": {
        "KernixSetDupKeyMode": (None, [I32]),
        "KernixGetDupKeyMode": (I32, []),
        "KernixGetLastOpenErr": (I32, []),
        "KernixClearLastOpenErr": (None, []),
    },
    "tle": {
        "TleAddSatFrLines": (I64, [PCHR, PCHR]),
        "TleGetSatKey": (I64, [I32]),
        "TleGetLatestSatKey": (I64, [I32]),
        "TleGetCount": (I32, []),
        "TleGetLoadedN": (I32, [I32, I32, P64, P32]),
        "TleGetLines": (I32, [I64, PCHR, PCHR]),
        "TleRemoveSat": (I32, [I64]),
        "TleRemoveAllSats": (I32, []),
        "TleLoadFileCounts": (I32, [PCHR, P32, P32, P32]),
        "TleLoadFileEach": (I32, [PCHR, TLE_LOAD_FN, ctypes.c_void_p]),
        "TleLoadFileReport": (I32, [PCHR, TLE_LOAD_FN, ctypes.c_void_p, P32, P32, P32]),
        "TleSaveFile": (I32, [PCHR, I32, I32]),
        "TleSaveFileAs": (I32, [PCHR, I32, I32]),
        "TleLoadText": (I32, [ctypes.c_char_p, I64, TLE_LOAD_FN, ctypes.c_void_p, P32, P32, P32]),
        "TleWriteText": (I32, [P64, I32, I32, PCHR, I64, P64]),
        "TleGetObjectName": (I32, [I64, PCHR]),
        "TleSetObjectName": (I32, [I64, PCHR]),
        "TleDataToArrays": (I32, [I32, P64, PF64, P32]),
        "TleGetLoadedColumns": (I32, [I32, I32, P32, P64, PF64, P32]),
        "TleGetTextColumns": (I32, [I32, P64, PCHR, PCHR, I32, P32, P32]),
        "TleGetArrayLayout": (I32, [I32, P32, PCHR, P32]),
        "TleParseTextArrays": (I32, [ctypes.c_char_p, I64, I32, PF64, P32, P32, P32, TLE_LOAD_FN, ctypes.c_void_p]),
        "TleParseGP": (I32, [PCHR, PCHR, P32, PCHR, PCHR, P32, PF64, PF64, PF64, PF64, P32, P32,
                             PF64, PF64, PF64, PF64, PF64, PF64, P32]),
        "TleGetAllFieldsGP2": (I32, [I64, P32, PCHR, PCHR, P32, PF64, PF64, P32, P32, PF64, PF64, PF64,
                                     PF64, PF64, PF64, P32, PF64, PF64]),
        "TleGPFieldsToLines": (None, [I32, CHR, PCHR, I32, F64, F64, F64, F64, I32, I32, F64, F64, F64,
                                      F64, F64, F64, I32, PCHR, PCHR]),
        "TleSnapshot": (VOIDP, [P64, I32, I32, CHR, P32]),
        "TlePropagateSat": (I32, [I64, PF64, I32, I32, I32, CHR, PF64, PF64, P32]),
    },
    "orbix": {
        "OrbixSnapshotFromElements": (VOIDP, [PF64, I32, I32, CHR, P32]),
        "OrbixSnapshotFromElementsIds": (VOIDP, [PF64, P64, I32, I32, CHR, P32]),
        "OrbixSnapshotFree": (None, [VOIDP]),
        "OrbixSnapshotCount": (I32, [VOIDP]),
        "OrbixSnapshotInitError": (I32, [VOIDP, I32]),
        "OrbixSnapshotGetIds": (I32, [VOIDP, I32, I32, P64]),
        "OrbixPropagate": (I32, [VOIDP, I32, I32, PF64, I32, I32, I32, PF64, PF64, P32]),
        "OrbixGetMessage": (None, [I32, PCHR]),
    },
    "kinem": {
        "KinemAddSatFrLines": (I64, [PCHR, PCHR]),
        "KinemGetSatKey": (I64, [I32]),
        "KinemGetLatestSatKey": (I64, [I32]),
        "KinemGetCount": (I32, []),
        "KinemGetLoadedN": (I32, [I32, I32, P64, P32]),
        "KinemGetLines": (I32, [I64, PCHR, PCHR]),
        "KinemRemoveSat": (I32, [I64]),
        "KinemRemoveAllSats": (I32, []),
        "KinemLoadFile": (I32, [PCHR]),
        "KinemLoadFileEach": (I32, [PCHR, KINEM_LOAD_FN, ctypes.c_void_p]),
        "KinemSaveFile": (I32, [PCHR, I32]),
        "KinemParse": (I32, [PCHR, PCHR, PF64, PF64, PCHR, P32, PCHR, PCHR, P32, P32, PF64, PF64, PF64, PCHR]),
    },
    "ambit": {
        "EnvLoadFile": (I32, [PCHR]),
        "EnvSaveFile": (I32, [PCHR, I32]),
        "EnvGetGeoIdx": (I32, []),
        "EnvSetGeoIdx": (None, [I32]),
        "EnvGetGeoStr": (None, [PCHR]),
        "EnvSetGeoStr": (None, [PCHR]),
        "EnvGetGeoConst": (F64, [I32]),
        "EnvGetFkIdx": (I32, []),
        "EnvSetFkIdx": (None, [I32]),
        "EnvGetFkConst": (F64, [I32]),
        "EnvGetEarthShape": (I32, []),
        "EnvSetEarthShape": (None, [I32]),
    },
}

_INT_RANGES = {I32: (-2**31, 2**31 - 1, 32), I64: (-2**63, 2**63 - 1, 64)}


def _checked(name, f, args):
    """f with its integer arguments checked before the call, and ctypes'
    conversion errors raised as TypeError: ctypes cuts an int too large for
    its parameter to the low bits without a word (satellite 2**32 + n would
    be satellite n)."""
    ints = [(i, _INT_RANGES[t]) for i, t in enumerate(args) if t in _INT_RANGES]
    if not ints and F64 not in args and CHR not in args:
        return f  # buffers and pointers only, which this package makes itself

    def call(*values):
        for i, (lo, hi, bits) in ints:
            v = values[i]
            if type(v) is int and lo <= v <= hi:
                continue
            if isinstance(v, float) or not hasattr(v, "__index__"):
                raise TypeError(f"{name}: argument {i + 1} must be an integer, not {type(v).__name__}")
            if not lo <= v <= hi:
                raise OverflowError(f"{name}: argument {i + 1} ({v}) is outside the {bits}-bit range {lo} to {hi}")
        try:
            return f(*values)
        except ctypes.ArgumentError as e:
            raise TypeError(f"{name}: {e}") from None

    return call


C = {}
for _lib, _fns in _PROTOS.items():
    if _lib not in _dll:
        continue
    for _fn, (_res, _args) in _fns.items():
        if not hasattr(_dll[_lib], _fn):
            continue  # a library older than the package: has() tells
        _f = getattr(_dll[_lib], _fn)
        _f.restype = _res
        _f.argtypes = _args
        C[_fn] = _checked(_fn, _f, _args)


def has(name: str) -> bool:
    return name in C


# ---- the stores ---------------------------------------------------------------

def is_key(key) -> bool:
    """key can name a satellite key: an int of the int64 range."""
    return hasattr(key, "__index__") and not isinstance(key, float) and -2**63 <= key <= 2**63 - 1


class ProcessStore:
    """The mapping protocol of a process-wide store: `key in store`,
    `store[key]`, len(store) and iteration over its keys (satnum order).
    The subclass gives keys(order), get(key) (NotFound, a KeyError, for a
    key not loaded) and _holds(key)."""

    def __contains__(self, key) -> bool:
        return is_key(key) and self._holds(key)

    def __getitem__(self, key):
        return self.get(key)

    def __iter__(self):
        return iter(self.keys())

    def values(self, order: str = "satnum"):
        """The loaded entries in an order of keys(); one removed meanwhile by
        another thread is passed over."""
        for _, value in self.items(order):
            yield value

    def __reduce__(self):
        # Another process has a store of its own, so a copy there would be
        # empty, or hold other sets, without a word.
        raise TypeError(f"{type(self).__name__}: the store is one per process and cannot be pickled; pass the lines "
                        "of its entries and add them in the other process")

    def __copy__(self):
        return self  # one per process

    def __deepcopy__(self, _memo):
        return self


# ---- text buffers -------------------------------------------------------------

def text_in(s: str, size: int = TEXT):
    """An input text: the bytes, cut to size, ended by a NUL (the libraries
    read an input text up to its first NUL or its full length)."""
    if not isinstance(s, str):
        raise TypeError(f"a text must be a str, not {type(s).__name__}")
    raw = s.encode("latin-1", "replace")[:size]
    return ctypes.create_string_buffer(raw, size + 1)


def path_in(path, routine: str, size: int = TEXT):
    """A file name for the libraries: the bytes the file system uses for it
    (os.fsencode), ended by a NUL. A name the library would read otherwise
    than given, one with a NUL (cut there) or one longer than its buffer
    (cut to it), is refused with ValueError."""
    try:
        raw = os.fsencode(path)
    except TypeError:
        raise TypeError(f"{routine}: a file name must be a str, bytes or os.PathLike, not {type(path).__name__}") \
            from None
    if b"\0" in raw:
        raise ValueError(f"{routine}: the file name {path!r} holds a NUL character")
    if len(raw) > size:
        raise ValueError(f"{routine}: the file name is {len(raw)} bytes long; the library takes at most {size}")
    return ctypes.create_string_buffer(raw, size + 1)


def text_out(size: int = TEXT):
    """An output buffer one longer than the library writes, NUL at the end."""
    return ctypes.create_string_buffer(size + 1)


def text_value(buf, size: int | None = None) -> str:
    """An output text without its blank padding."""
    raw = buf.raw[: (size if size is not None else len(buf.raw) - 1)]
    return raw.decode("latin-1").rstrip(" \0")


# ---- small value holders -------------------------------------------------------

def i32():
    return I32(0)


def i64():
    return I64(0)


def f64():
    return F64(0.0)


def ref(x):
    return ctypes.byref(x)


def i64_array(values):
    return (I64 * len(values))(*values)


def i64_buffer(n: int):
    return (I64 * max(n, 1))()


def i32_buffer(n: int):
    return (I32 * max(n, 1))()


def f64_buffer(n: int):
    return (F64 * max(n, 1))()


def f64_triple(values=(0.0, 0.0, 0.0)):
    return (F64 * 3)(*values)


def char(c: str):
    if not isinstance(c, str):
        raise TypeError(f"a character must be a str, not {type(c).__name__}")
    return (c or " ").encode("latin-1", "replace")[:1]


def key_by_satnum(routine: str, satnum: int) -> int:
    """The key a store's routine (XxxGetSatKey, XxxGetLatestSatKey) answers
    for a satellite number; NotFound when none is loaded."""
    with capture() as lines:
        key = C[routine](satnum)
    if key <= 0:
        fail(errors.NotFound, lines, f"{routine}: satellite {satnum} not loaded", key)
    return key


def loaded_keys(prefix: str, order: int) -> list:
    """Every key of a store in an order, read consistently with its count."""
    get = C[prefix + "GetLoadedN"]
    cap = C[prefix + "GetCount"]() + 16
    while True:
        keys = i64_buffer(cap)
        total = i32()
        with capture() as lines:
            n = get(order, cap, keys, ref(total))
        if n < 0:
            fail(errors.Error, lines, prefix + "GetLoadedN failed")
        if total.value <= cap:
            return list(keys[:n])
        cap = total.value + 16


@contextmanager
def file_capture():
    """capture() for one load or save: also clears the calling thread's last
    open error in the library, so that file_failure sees only the opens of
    this call."""
    C["KernixClearLastOpenErr"]()
    with capture() as lines:
        yield lines


def file_failure(lines, status, fallback):
    """The exception of a failed load or save (made in file_capture): a
    missing file (or directory, for a save) is FileNotFound.

    A load or save that cannot open its file returns the code of the open,
    which for a missing file is the system's ENOENT; but ENOENT is 2 on
    Linux, the same value as VX_FAIL, which the same calls return for
    failures of other kinds. The status alone cannot tell them apart, and
    the message text is the library's wording, not a contract. So the
    decision rests on a code: the library keeps the code of the thread's
    latest failed open (KernixGetLastOpenErr), which file_capture cleared
    before the call. A status equal to it came from that open; ENOENT then
    means the file does not exist. Checking the path with os.path before
    the call would race with other processes and miss files named inside
    an input file, which this sees as well."""
    message = lines[-1] if lines else fallback
    open_err = C["KernixGetLastOpenErr"]()
    if status != codes.VX_OK and status == open_err == errno.ENOENT:
        return errors.FileNotFound(message, status, lines)
    return errors.Error(message, status, lines)


_ORDERS = {"satnum": codes.VX_ORDER_SATNUM, "satnum_desc": codes.VX_ORDER_SATNUM_DESC, "load": codes.VX_ORDER_LOAD,
           "key": codes.VX_ORDER_KEY}


def order_code(order: str) -> int:
    try:
        return _ORDERS[order]
    except KeyError:
        raise ValueError(f"order must be one of {', '.join(_ORDERS)}, not {order!r}") from None


COLUMN_NAME = 16


def tle_array_layout():
    """The named columns of the element-set array, from the library: a list
    of (name, element number, holds an integer) in element order."""
    n = C["TleGetArrayLayout"](0, None, None, None)
    elements, is_int = (I32 * n)(), (I32 * n)()
    names = ctypes.create_string_buffer(n * COLUMN_NAME)
    C["TleGetArrayLayout"](n, elements, names, is_int)
    return [(names.raw[i * COLUMN_NAME:(i + 1) * COLUMN_NAME].decode("ascii").rstrip(), elements[i], bool(is_int[i]))
            for i in range(n)]


def tle_columns(elems):
    """Keys (ascending) and the columns of the array elements elems of every
    loaded element set, from one walk of the store; returns (numpy keys,
    numpy columns of shape (len(elems), n))."""
    import numpy as np

    want = np.ascontiguousarray(elems, dtype=np.int32)
    cap = C["TleGetCount"]() + 16
    while True:
        keys = np.empty(cap, dtype=np.int64)
        cols = np.empty((len(want), cap), dtype=np.float64)
        total = i32()
        with capture() as lines:
            n = C["TleGetLoadedColumns"](cap, len(want), want.ctypes.data_as(P32), keys.ctypes.data_as(P64),
                                         cols.ctypes.data_as(PF64), ref(total))
        if n < 0:
            fail(errors.Error, lines, "TleGetLoadedColumns failed")
        if total.value <= cap:
            return keys[:n], cols[:, :n]
        cap = total.value + 16


def _texts(raw, width):
    """numpy str array of blank-padded fixed-width texts (bytes, n x width),
    the trailing blanks dropped."""
    import numpy as np

    n = len(raw) // width if width else 0
    u8 = np.frombuffer(raw, dtype=np.uint8).reshape(n, width).copy()
    if n:
        # Trailing blanks become NULs, which numpy's fixed-width texts drop.
        nonblank = u8 != 32
        last = width - np.argmax(nonblank[:, ::-1], axis=1)
        last[~nonblank.any(axis=1)] = 0
        u8[np.arange(width)[None, :] >= last[:, None]] = 0
    texts = u8.view(f"S{width}").reshape(n)
    if n and (u8 >= 128).any():
        # Names may hold UTF-8; numpy's own conversion takes ASCII only.
        return np.array([t.decode("utf-8", "replace") for t in texts], dtype=f"U{width}")
    return texts.astype(f"U{width}")


def tle_texts(keys, name_width=32):
    """Designators and object names of keys (numpy int64), as numpy str
    arrays, from one library call (two when a name is longer than
    name_width)."""
    n = len(keys)
    while True:
        des = ctypes.create_string_buffer(8 * n + 1)
        names = ctypes.create_string_buffer(name_width * n + 1)
        longest = i32()
        with capture() as lines:
            got = C["TleGetTextColumns"](n, keys.ctypes.data_as(P64), ctypes.cast(des, PCHR),
                                         ctypes.cast(names, PCHR), name_width, None, ref(longest))
        if got < 0:
            fail(errors.Error, lines, "TleGetTextColumns failed")
        if longest.value <= name_width:
            return _texts(des.raw[:8 * n], 8), _texts(names.raw[:name_width * n], name_width)
        name_width = longest.value


def tle_arrays(keys):
    """Rows of 64 values (the array layout of one element set) for keys, in
    chunks of one library call each; returns (numpy rows, numpy found)."""
    import numpy as np

    n = len(keys)
    rows = np.zeros((n, 64), dtype=np.float64)
    found = np.zeros(n, dtype=np.int32)
    step = 65536
    for start in range(0, n, step):
        part = keys[start:start + step]
        k = np.ascontiguousarray(part, dtype=np.int64)
        r = rows[start:start + len(part)]
        f = found[start:start + len(part)]
        with capture():
            C["TleDataToArrays"](len(part), k.ctypes.data_as(P64), r.ctypes.data_as(PF64), f.ctypes.data_as(P32))
    return rows, found
