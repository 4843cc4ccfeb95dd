"""Builds the aqsol Python module into a wheel for `pip install .`, with CMake and the system's
compiler and pybind11, and nothing from the network (the build needs no Python package)."""
import base64
import hashlib
import os
import subprocess
import sys
import sysconfig
import zipfile
from pathlib import Path

NAME = "aqsol"
ROOT = Path(__file__).resolve().parents[2]
VERSION = (ROOT / "VERSION").read_text().strip()
SUMMARY = ("Properties of water and of gases and neutral solutes at infinite dilution in water, "
           "over numpy arrays of states")


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def _metadata():
    return (f"Metadata-Version: 2.1\nName: {NAME}\nVersion: {VERSION}\nSummary: {SUMMARY}\n"
            "Requires-Python: >=3.9\nRequires-Dist: numpy\n")


def _tag():
    version = f"cp{sys.version_info.major}{sys.version_info.minor}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{version}-{version}-{platform}"


def _build_module():
    """The compiled module for the running Python, built in the folder the programs and the C
    library are built in (make install, make run), so that only the module's own file is
    compiled when they are there; where they are not, the folder is started with the physics
    and the module alone."""
    folder = ROOT / os.environ.get("RUN_BUILD", "build-run")
    cache = folder / "CMakeCache.txt"
    programs = cache.exists() and "AQSOL_PYTHON_ONLY:BOOL=OFF" in cache.read_text()
    options = [f"-DPYTHON_EXECUTABLE={sys.executable}"]
    if not programs:
        options.append("-DAQSOL_PYTHON_ONLY=ON")
    env = {**os.environ, "RUN_BUILD": str(folder)}
    subprocess.run([str(ROOT / "scripts/configure-run"), *options], check=True, env=env,
                   stdout=sys.stderr)
    subprocess.run([str(ROOT / "scripts/quiet-build"), env["RUN_BUILD"], "aqsol_python"],
                   check=True, env=env, stdout=sys.stderr)
    suffix = sysconfig.get_config_var("EXT_SUFFIX")
    module = Path(env["RUN_BUILD"]) / "python" / "aqsol" / f"_aqsol{suffix}"
    if not module.exists():
        raise RuntimeError("the aqsol module was not built")
    return module


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}\n"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    tag = _tag()
    wheel_name = f"{NAME}-{VERSION}-{tag}.whl"
    info = f"{NAME}-{VERSION}.dist-info"
    module = _build_module()
    files = {
        f"aqsol/{module.name}": module.read_bytes(),
        "aqsol/__init__.py": (ROOT / "bindings/python/aqsol/__init__.py").read_bytes(),
        f"{info}/METADATA": _metadata().encode(),
        f"{info}/WHEEL": (f"Wheel-Version: 1.0\nGenerator: aqsol_wheel\n"
                          f"Root-Is-Purelib: false\nTag: {tag}\n").encode(),
    }
    record = "".join(_record_line(name, data) for name, data in files.items())
    record += f"{info}/RECORD,,\n"
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as whl:
        for name, data in files.items():
            whl.writestr(name, data)
        whl.writestr(f"{info}/RECORD", record)
    return wheel_name


def build_sdist(sdist_directory, config_settings=None):
    raise NotImplementedError("aqsol is installed from its checkout: pip install .")
