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
        rc = _C["EnvLoadFile"](_lib.text_in(str(path)))
    if rc != 0:
        raise _lib.file_failure(lines, rc, f"EnvLoadFile: cannot load {path}")


def save(path, append: bool = False) -> None:
    with _lib.file_capture() as lines:
        rc = _C["EnvSaveFile"](_lib.text_in(str(path)), 1 if append else 0)
    if rc != 0:
        raise _lib.file_failure(lines, rc, f"EnvSaveFile: cannot save {path}")


def geo_name() -> str:
    """Name of the current geopotential set ("WGS-72", "JGM2", ...)."""
    buf = _lib.text_out(6)
    _C["EnvGetGeoStr"](buf)
    return _lib.text_value(buf, 6)


def set_geo(name) -> None:
    """Makes a geopotential set current, by name or index ("WGS-84", 84)."""
    if isinstance(name, int):
        _C["EnvSetGeoIdx"](name)
    else:
        _C["EnvSetGeoStr"](_lib.text_in(name, 6))


def geo_index() -> int:
    return _C["EnvGetGeoIdx"]()


def geo_constants() -> dict:
    return {k: _C["EnvGetGeoConst"](i) for k, i in GEO_CONSTANTS.items()}


def fk() -> int:
    """4 for FK4, 5 for FK5."""
    return _C["EnvGetFkIdx"]()


def set_fk(index: int) -> None:
    _C["EnvSetFkIdx"](index)


def fk_constants() -> dict:
    return {k: _C["EnvGetFkConst"](i) for k, i in FK_CONSTANTS.items()}


def oblate() -> bool:
    return _C["EnvGetEarthShape"]() != 0


def set_oblate(value: bool) -> None:
    _C["EnvSetEarthShape"](1 if value else 0)
