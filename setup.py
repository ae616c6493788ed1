"""Build step of the Python package: the C libraries are built with CMake
(libraries only, Release) and copied into the package as veltrix/lib, where
veltrix._lib looks for them first. The package metadata is in pyproject.toml.

VELTRIX_CMAKE_BUILD_DIR names the CMake build directory (default
build/python-cmake in the source tree); a second pip run reuses it, so only
what changed is rebuilt. CMAKE_BUILD_PARALLEL_LEVEL sets the build jobs
(default 2).
"""
import os
import re
import shutil
import subprocess
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

ROOT = Path(__file__).resolve().parent
# The libraries under the names their users look for them by: the soname
# (libtle.so.0, the name in DT_NEEDED of the others, found through RUNPATH
# $ORIGIN). A wheel holds no links, so each is one plain file.
SONAME = re.compile(r"^lib[a-z]+\.so\.[0-9]+$")


def build_libraries(target: Path) -> None:
    build_dir = Path(os.environ.get("VELTRIX_CMAKE_BUILD_DIR") or ROOT / "build" / "python-cmake")
    jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    subprocess.check_call(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DVX_LIBRARIES_ONLY=ON",
                           "-DCMAKE_BUILD_TYPE=Release"])
    subprocess.check_call(["cmake", "--build", str(build_dir), "-j", jobs])
    if target.exists():
        shutil.rmtree(target)
    target.mkdir(parents=True)
    found = sorted(p for p in (build_dir / "lib").iterdir() if SONAME.match(p.name))
    if not any(p.name.startswith("libtle.so.") for p in found):
        raise RuntimeError(f"veltrix: the CMake build in {build_dir} gave no libtle.so.N")
    for p in found:
        shutil.copyfile(p.resolve(), target / p.name)
        (target / p.name).chmod(0o755)


class BuildPyWithLibraries(build_py):
    """build_py that also builds the C libraries into the package."""

    def run(self):
        super().run()
        build_libraries(Path(self.build_lib) / "veltrix" / "lib")


class BinaryDistribution(Distribution):
    """The package holds native libraries: the wheel is for this platform."""

    def has_ext_modules(self):
        return True


(ROOT / "build" / "python").mkdir(parents=True, exist_ok=True)
setup(
    cmdclass={"build_py": BuildPyWithLibraries},
    distclass=BinaryDistribution,
    # Away from build/lib, which is the CMake build's library folder.
    options={"build": {"build_base": "build/python"}, "egg_info": {"egg_base": "build/python"}},
)
