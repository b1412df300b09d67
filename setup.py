"""Builds and installs the zalcv Python package through CMake.

    pip install --no-build-isolation .        (Debian: python3-pip, python3-setuptools,
                                               python3-wheel, plus scripts/install-deps)

The extension and the two shared libraries it needs are built by this
repository's CMake tree and placed together in the package folder; the module
finds the libraries next to itself ($ORIGIN), so the installed package is
self-contained. No network access: pybind11 and numpy come from the system.
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        work = pathlib.Path(self.build_temp).resolve()
        build, stage = work / "cmake", work / "stage"
        subprocess.run(
            [
                "cmake", "-S", str(ROOT), "-B", str(build),
                "-DCMAKE_BUILD_TYPE=Release",
                "-DZALCV_BUILD_TESTS=OFF", "-DZALCV_BUILD_BENCH=OFF", "-DZALCV_BUILD_APPS=OFF",
                "-DZALCV_BUILD_PYTHON=ON",
                f"-DPython_EXECUTABLE={sys.executable}",
                "-DZALCV_PYTHON_INSTALL_DIR=python",
                "-DZALCV_PYTHON_RPATH=$ORIGIN",
            ],
            check=True,
        )
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "-j", jobs, "--target", "_zalcv"], check=True)
        if stage.exists():
            shutil.rmtree(stage)
        subprocess.run(["cmake", "--install", str(build), "--prefix", str(stage)], check=True)
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).parent
        target.mkdir(parents=True, exist_ok=True)
        for module in (stage / "python" / "zalcv").glob("_zalcv*.so"):
            shutil.copy2(module, target / pathlib.Path(self.get_ext_fullpath(ext.name)).name)
        # The libraries under their sonames (what the module's NEEDED entries name).
        for lib in stage.glob("lib*/libzal*.so.[0-9]*"):
            if lib.name.count(".") == 2:
                shutil.copy(lib.resolve(), target / lib.name)


setup(
    name="zalcv",
    version="5.1.1",
    description="Computer-vision operations on numpy arrays",
    packages=["zalcv"],
    package_dir={"zalcv": "python/zalcv"},
    package_data={"zalcv": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("zalcv._zalcv", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # Away from the CMake build trees (build/, build-asan/) of the test scripts.
    options={"build": {"build_base": "build-pip"}},
    python_requires=">=3.8",
    install_requires=["numpy"],
    zip_safe=False,
)
