"""Builds the extension genattr._genattr with CMake for `pip install .`.

The project's CMake build makes the module (a Release build of the module and
the libraries it needs, nothing else) in a folder of its own below setuptools'
build_temp, and the libraries genattr and genattr_xml travel in the package
beside it, found through the module's run path $ORIGIN. The version is
CMakeLists.txt's project(VERSION), the one the module reports as __version__.
Needs cmake, a C++17 compiler, Python's development files, pybind11 and expat's
(Debian: cmake g++ python3-dev python3-pybind11 libexpat1-dev); ninja when found.
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(\s*GenAttr\s+VERSION\s+([0-9]+(?:\.[0-9]+)*)", text)
    if found is None:
        raise RuntimeError("CMakeLists.txt names no project(GenAttr VERSION ...)")
    return found.group(1)


class CMakeBuild(build_ext):
    """Builds each extension as the CMake target genattr_python."""

    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DPython_EXECUTABLE=" + sys.executable,
            "-DGENATTR_BUILD_PYTHON=ON",
            "-DGENATTR_PYTHON_BUNDLE=ON",
            "-DGENATTR_BUILD_TESTS=OFF",
            "-DGENATTR_BUILD_EXAMPLES=OFF",
            "-DGENATTR_BUILD_COMMAND=OFF",
            "-DGENATTR_INSTALL=OFF",
        ]
        if not (build / "CMakeCache.txt").exists() and shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        try:
            import pybind11  # Debian's python3-pybind11 knows where its CMake files are
            configure.append("-Dpybind11_DIR=" + pybind11.get_cmake_dir())
        except ImportError:
            pass
        subprocess.run(configure, check=True)
        command = ["cmake", "--build", str(build), "--target", "genattr_python"]
        if self.parallel:
            command += ["--parallel", str(self.parallel)]
        subprocess.run(command, check=True)

        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        module, *libraries = (build / "python" / "bundle.txt").read_text().split()
        shutil.copy(module, target)
        for library in libraries:
            # The name the loader looks for; the copy is of the file it points to.
            shutil.copy(library, target.parent / os.path.basename(library))


setup(
    version=project_version(),
    ext_modules=[Extension("genattr._genattr", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
