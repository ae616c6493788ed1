"""The Earth constants: geopotential set, sidereal-time set, Earth shape."""
from __future__ import annotations

from . import _lib

_C = _lib.C

# EnvGetGeoConst indexes by name.
GEO_CONSTANTS = {
    "flattening": 1, "j2": 2, "j3": 3, "j4": 4, "ke": 5, "radius_km": 6, "omega_rad_min": 7, "ck2": 8,
    "ck4": 9, "velocity_scale": 10, "omega_canonical": 11, "j5": 12, "mu": 13,
}
FK_CONSTANTS = {"sidereal_rate": 1, "quadratic": 2, "angle_1970": 3}


def load(path) -> None:
    """Applies an environment file."""
    with _lib.file_capture() as lines:
        rc = _C["EnvLoadFile"](_lib.path_in(path, "EnvLoadFile"))
    if rc != 0:
        raise _lib.file_failure(lines, rc, f"EnvLoadFile: cannot load {path}")


def save(path, append: bool = False) -> None:
    """Writes the current constants as an environment file (appended to
    the file when append is True)."""
    with _lib.file_capture() as lines:
        rc = _C["EnvSaveFile"](_lib.path_in(path, "EnvSaveFile"), 1 if append else 0)
    if rc != 0:
        raise _lib.file_failure(lines, rc, f"EnvSaveFile: cannot save {path}")


def geo_name() -> str:
    """Name of the current geopotential set ("WGS-72", "JGM2", ...)."""
    buf = _lib.text_out(6)
    _C["EnvGetGeoStr"](buf)
    return _lib.text_value(buf, 6)


def set_geo(name) -> None:
    """Makes a geopotential set current, by name or index ("WGS-84", 84);
    raises ValueError for a name or index the library does not know (it
    would keep the current set without a word)."""
    if isinstance(name, str):
        _set_geo_name(name)
        return
    _C["EnvSetGeoIdx"](name)
    if _C["EnvGetGeoIdx"]() != name:
        raise ValueError(f"EnvSetGeoIdx: no geopotential set {name}")


_GEO_NAME = 6
# The names and numbers the library knows, as its environment file documents
# them (upper case). Checked before the call, so that no other set is ever
# made current to find out, which another thread could see.
_GEO_NAMES = {"2", "5", "8", "9", "68", "72", "84", "96", "EGM-08", "EGM-96", "EGM08", "EGM96", "GEM5", "GEM9",
              "JGM-2", "JGM2", "SEM68R", "WGS-72", "WGS-84", "WGS72", "WGS84"}


def _set_geo_name(name: str) -> None:
    if "\0" in name or name.rstrip(" ").upper() not in _GEO_NAMES:
        raise ValueError(f"EnvSetGeoStr: no geopotential set named {name!r}")
    _C["EnvSetGeoStr"](_lib.text_in(name, _GEO_NAME))


def geo_index() -> int:
    """Index of the current geopotential set (72, 84, ...)."""
    return _C["EnvGetGeoIdx"]()


def geo_constants() -> dict:
    """The constants of the current geopotential set by name (GEO_CONSTANTS)."""
    return {k: _C["EnvGetGeoConst"](i) for k, i in GEO_CONSTANTS.items()}


def fk() -> int:
    """4 for FK4, 5 for FK5."""
    return _C["EnvGetFkIdx"]()


def set_fk(index: int) -> None:
    """Makes FK4 (4) or FK5 (5) current; ValueError for another index."""
    _C["EnvSetFkIdx"](index)
    if _C["EnvGetFkIdx"]() != index:
        raise ValueError(f"EnvSetFkIdx: no sidereal-time set FK{index} (4 or 5)")


def fk_constants() -> dict:
    """The constants of the current sidereal-time set by name (FK_CONSTANTS)."""
    return {k: _C["EnvGetFkConst"](i) for k, i in FK_CONSTANTS.items()}


def oblate() -> bool:
    """True when the Earth is taken as oblate, False when spherical."""
    return _C["EnvGetEarthShape"]() != 0


def set_oblate(value: bool) -> None:
    """Takes the Earth as oblate (True) or spherical (False)."""
    _C["EnvSetEarthShape"](1 if value else 0)
