"""Veltrix: satellite element sets, state vectors and Earth constants.

    import veltrix
    e = veltrix.tle.parse(line1, line2)
    veltrix.tle.store.load("catalog.tle")

The shared libraries are found inside the package (veltrix/lib, where pip
install puts them), through VELTRIX_LIB_DIR, beside an installed package
(P/share/veltrix/python with the libraries in P/lib), or in the source
tree's build/lib.
"""
from .errors import Duplicate, Error, FileNotFound, NotFound, ParseError
from . import ambit, codes, kinem, orbix, tle

__all__ = ["Error", "FileNotFound", "ParseError", "NotFound", "Duplicate", "codes", "orbix", "tle", "kinem", "ambit"]
