"""Loads libdrovine and gives every export its ctypes signature."""
import ctypes
import ctypes.util
import os

from . import _signatures

MAJOR = 0  # the soname's number this package was generated for


def _candidates():
    explicit = os.environ.get("DROVINE_LIBRARY")
    if explicit:
        yield explicit
        return
    # The system loader's search (LD_LIBRARY_PATH, the run-path cache).
    yield f"libdrovine.so.{MAJOR}"
    found = ctypes.util.find_library("drovine")
    if found:
        yield found
    # The checkout the package lives in, or was installed from, when it
    # has a build.
    roots = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")]
    try:
        from ._checkout import CHECKOUT

        roots.append(CHECKOUT)
    except ImportError:
        pass
    for root in roots:
        for build in ("release", "luajit"):
            yield os.path.join(root, "build", build, f"libdrovine.so.{MAJOR}")
        # Any other build directory the checkout has (build/pkg, ...).
        builds = os.path.join(root, "build")
        if os.path.isdir(builds):
            for build in sorted(os.listdir(builds)):
                if build not in ("release", "luajit"):
                    yield os.path.join(builds, build, f"libdrovine.so.{MAJOR}")
    # An installed engine in a prefix of its own: the library beside the
    # `drovine` program found on PATH, as the program itself finds it.
    for directory in os.environ.get("PATH", "").split(os.pathsep):
        if directory and os.path.isfile(os.path.join(directory, "drovine")):
            yield os.path.join(directory, "..", "lib", f"libdrovine.so.{MAJOR}")


def _load():
    errors = []
    for path in _candidates():
        try:
            return ctypes.CDLL(path)
        except OSError as e:
            errors.append(f"{path}: {e}")
    raise ImportError("drovine: cannot load the engine library; set DROVINE_LIBRARY to the "
                      "path of libdrovine.so\n  " + "\n  ".join(errors))


lib = _load()
for _name, (_result, _arguments) in _signatures.SIGNATURES.items():
    _function = getattr(lib, _name)
    _function.restype = _result
    _function.argtypes = _arguments
