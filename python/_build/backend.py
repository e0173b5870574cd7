"""A build backend with no dependencies: the package is pure Python, so a
wheel is the package's files, its metadata and a record, zipped. Keeping it
here lets pip build the package without fetching setuptools."""
import base64
import hashlib
import io
import os
import re
import tarfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = "drovine"


def _project():
    text = open(os.path.join(ROOT, "pyproject.toml"), encoding="utf-8").read()
    field = lambda name: re.search(rf'^{name}\s*=\s*"([^"]*)"', text, re.M).group(1)
    return field("name"), field("version"), field("description"), field("requires-python")


def _metadata():
    name, version, description, python = _project()
    readme = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    return (f"Metadata-Version: 2.1\nName: {name}\nVersion: {version}\nSummary: {description}\n"
            f"License: MIT\nRequires-Python: {python}\nProvides-Extra: arrays\n"
            f"Requires-Dist: numpy; extra == \"arrays\"\n"
            f"Description-Content-Type: text/markdown\n\n{readme}")


def _package_files():
    base = os.path.join(ROOT, PACKAGE)
    for entry in sorted(os.listdir(base)):
        if entry.endswith(".py") and entry != "_checkout.py":
            yield f"{PACKAGE}/{entry}", os.path.join(base, entry)


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def _license():
    # The repository's licence, one directory up in a checkout.
    for path in (os.path.join(ROOT, "LICENSE"), os.path.join(ROOT, "..", "LICENSE")):
        if os.path.exists(path):
            return open(path, "rb").read()
    return b"MIT\n"


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def _write_wheel(wheel_directory, files):
    name, version, _, _ = _project()
    dist_info = f"{name}-{version}.dist-info"
    wheel_name = f"{name}-{version}-py3-none-any.whl"
    files = list(files) + [
        (f"{dist_info}/METADATA", _metadata().encode()),
        (f"{dist_info}/WHEEL", b"Wheel-Version: 1.0\nGenerator: drovine-backend\n"
                               b"Root-Is-Purelib: true\nTag: py3-none-any\n"),
        (f"{dist_info}/LICENSE", _license()),
    ]
    record = [_record_line(path, data) for path, data in files] + [f"{dist_info}/RECORD,,"]
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w",
                         zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files:
            wheel.writestr(path, data)
        wheel.writestr(f"{dist_info}/RECORD", "\n".join(record) + "\n")
    return wheel_name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    files = [(path, open(src, "rb").read()) for path, src in _package_files()]
    # Where the package was built from: an installed copy still finds a
    # library built in that checkout (build/release) without settings.
    checkout = os.path.dirname(ROOT)
    files.append((f"{PACKAGE}/_checkout.py", f"CHECKOUT = {checkout!r}\n".encode()))
    return _write_wheel(wheel_directory, files)


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    # A path file puts the checkout on sys.path.
    return _write_wheel(wheel_directory, [(f"{PACKAGE}.pth", (ROOT + "\n").encode())])


def build_sdist(sdist_directory, config_settings=None):
    name, version, _, _ = _project()
    base = f"{name}-{version}"
    path = os.path.join(sdist_directory, f"{base}.tar.gz")
    with tarfile.open(path, "w:gz") as sdist:
        for entry in ("pyproject.toml", "README.md", "gen_signatures.py", "_build/backend.py"):
            sdist.add(os.path.join(ROOT, entry), f"{base}/{entry}")
        licence = _license()
        info = tarfile.TarInfo(f"{base}/LICENSE")
        info.size = len(licence)
        sdist.addfile(info, io.BytesIO(licence))
        for rel, src in _package_files():
            sdist.add(src, f"{base}/{rel}")
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        data = _metadata().encode()
        info.size = len(data)
        sdist.addfile(info, io.BytesIO(data))
    return os.path.basename(path)
