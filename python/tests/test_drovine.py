"""The Python bindings against the built library: signatures in step with
the header, a stroke painted and rendered, arrays, errors and diagnostics."""
import os
import subprocess
import sys
import zlib

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

import drovine  # noqa: E402


def test_signatures_follow_the_header():
    script = os.path.join(HERE, "..", "gen_signatures.py")
    assert subprocess.run([sys.executable, script, "--check"]).returncode == 0
    exported = open(os.path.join(HERE, "..", "..", "exports.txt")).read().split()
    assert sorted(drovine._signatures.SIGNATURES) == sorted(exported)


def test_version_and_blend_modes():
    header = open(os.path.join(HERE, "..", "..", "include", "drovine.h")).read()
    parts = [line.split()[2] for line in header.splitlines()
             if line.startswith("#define DROVINE_VERSION_") and line.split()[1][-5:] in
             ("MAJOR", "MINOR", "PATCH")]
    assert drovine.version() == ".".join(parts)
    modes = drovine.blend_modes()
    assert len(modes) == 40 and modes[0] == "Normal" and "Multiply" in modes


def test_a_stroke_renders_and_undoes(tmp_path):
    with drovine.Canvas(120, 80) as canvas:
        blank = canvas.render()
        assert blank == b"\xff" * (120 * 80 * 3)
        canvas.brush(size=16, color=(200, 40, 60))
        x, y, w, h = canvas.stroke([(10, 40, 0.5), (60, 20), (110, 40, 0.5, 0.2)])
        # The rectangle holds every point's dab and stays on the canvas.
        # (The dab nearest the apex lies within a step of it.)
        assert x <= 6 and y <= 14 and x + w >= 112 and y + h >= 42, (x, y, w, h)
        assert x >= 0 and y >= 0 and x + w <= 120 and y + h <= 80
        rgb = canvas.render()
        centre = (20 * 120 + 60) * 3
        assert rgb[centre] > 190 and rgb[centre + 1] < 80, rgb[centre:centre + 3]
        path = tmp_path / "stroke.png"
        canvas.save_png(str(path))
        data = path.read_bytes()
        assert data[:8] == b"\x89PNG\r\n\x1a\n"
        idat = data[data.index(b"IDAT") + 4:data.index(b"IEND") - 8]
        assert zlib.decompress(idat)[1 + 60 * 3 + 20 * (1 + 120 * 3)] == rgb[centre]
        canvas.undo()
        assert canvas.render() == blank
        canvas.redo()
        assert canvas.render() == rgb


def test_arrays_when_numpy_is_present():
    numpy = pytest.importorskip("numpy")
    with drovine.Canvas(64, 48) as canvas:
        canvas.brush(size=12, color=(0, 0, 255))
        canvas.stroke([(5, 24), (59, 24)])
        view = canvas.array()
        layer = canvas.paint.array()
        assert view.shape == (48, 64, 3) and layer.shape == (48, 64, 4)
        assert view[24, 32, 2] > 200 and view[24, 32, 0] < 60
        assert layer[24, 32, 3] > 200 and layer[2, 2, 3] == 0
        assert numpy.array_equal(view[0, 0], [255, 255, 255])


def test_one_canvas_and_bad_arguments():
    with drovine.Canvas(32, 32) as canvas:
        with pytest.raises(drovine.DrovineError):
            drovine.Canvas(8, 8)
        with pytest.raises(ValueError):
            canvas.layer(64)
        with pytest.raises(ValueError):
            canvas.brush(spacing=0)
    with pytest.raises(ValueError):
        drovine.Canvas(0, 10)
    with drovine.Canvas(8, 8):  # the first one was released
        pass


def test_diagnostics_reach_the_handler():
    lines = []
    drovine.set_diagnostic_handler(lines.append)
    try:
        with drovine.Canvas(16, 16) as canvas:
            canvas.paint.show(mode="Nromal")
            drovine.lib.DRO_CreateLayer(99, 16, 16)
    finally:
        drovine.set_diagnostic_handler(None)
    assert 'DRO_SetLayerOptions: blend mode "Nromal" unknown, "Normal" used' in lines
    assert "DRO_CreateLayer: slot 99 outside 0..63" in lines
