"""Python bindings of the Drovine paint engine.

    import drovine
    with drovine.Canvas(320, 200) as canvas:
        canvas.brush(size=30, color=(200, 40, 60))
        canvas.stroke([(30, 150, 0.4), (160, 50, 1.0), (290, 150, 0.4)])
        canvas.save_png("stroke.png")

The engine keeps one canvas per process, so one Canvas may be open at a
time. Every export is also reachable as it is, through `drovine.lib`
(ctypes, signatures generated from include/drovine.h).
"""
import ctypes
import struct
import zlib

from ._lib import lib
from ._signatures import DRO_XDiagnosticHandler

__all__ = ["Canvas", "DrovineError", "lib", "version", "blend_modes", "set_diagnostic_handler"]


class DrovineError(RuntimeError):
    """A failure the engine recorded as its last error ("CreateLayer Excpt", ...)."""


def version():
    """The library's version, "MAJOR.MINOR.PATCH"."""
    return lib.DRO_XGetVersion().decode()


def blend_modes():
    """The blend-mode names, as layers and the paint layer take them."""
    names = []
    mode = 0
    while True:
        name = lib.DRO_XBlendModeName(mode)
        if name is None:
            return names
        if name:
            names.append(name.decode())
        mode += 1


_handler = None  # the ctypes callback must live as long as it is installed


def set_diagnostic_handler(callback):
    """Calls callback(line) for every refused, clamped or substituted
    argument and every failure; None removes it."""
    global _handler
    if callback is None:
        _handler = None
        lib.DRO_XSetDiagnosticHandler(ctypes.cast(None, DRO_XDiagnosticHandler), None)
        return
    _handler = DRO_XDiagnosticHandler(lambda line, _user: callback(line.decode(errors="replace")))
    lib.DRO_XSetDiagnosticHandler(_handler, None)


def _check(what):
    error = lib.DRO_GetLastError()
    if error:
        lib.DRO_SetLastError(b"")
        raise DrovineError(f"{what}: {error.decode(errors='replace')}")


def _png(width, height, rows, colour_type, channels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + rows[y * width * channels:(y + 1) * width * channels]
                   for y in range(height))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


class Layer:
    """A layer slot of the open canvas."""

    def __init__(self, canvas, slot):
        self.canvas = canvas
        self.slot = slot

    def show(self, visible=True, opacity=100, mode="Normal", lock_alpha=False):
        """Visibility, opacity in percent and blend mode (see blend_modes())."""
        lib.DRO_SetLayerOptions(self.slot, int(visible), int(lock_alpha), opacity, mode.encode())
        return self

    def select(self):
        lib.DRO_SetLayer(self.slot)
        return self

    def clear(self, r=0, g=0, b=0, a=0):
        self.select()
        lib.DRO_Clear(r, g, b, a)
        return self

    def rgba(self):
        """The layer's pixels as RGBA bytes, 8 bits a channel, rows top first."""
        w, h = self.canvas.width, self.canvas.height
        out = ctypes.create_string_buffer(w * h * 4)
        lib.DRO_GetRGBA32Layer(out, w * 4, self.slot)
        return out.raw

    def array(self):
        """The pixels as a numpy array (height, width, 4) of uint8."""
        import numpy

        return numpy.frombuffer(self.rgba(), dtype=numpy.uint8).reshape(
            self.canvas.height, self.canvas.width, 4).copy()


class Canvas:
    """The engine's canvas with a white background (slot 1) and a layer to
    paint on (slot 2, current), both shown; undo with 20 levels."""

    _open = None

    def __init__(self, width, height, brush_limit=256, undo_levels=20):
        if Canvas._open is not None:
            raise DrovineError("the engine holds one canvas: close the other first")
        if not (0 < width <= 10000 and 0 < height <= 10000):
            raise ValueError(f"canvas {width} x {height}: each side must be 1..10000")
        lib.DRO_SetLastError(b"")
        lib.DRO_CreateImage(None, width, height, brush_limit, 0)
        _check("DRO_CreateImage")
        Canvas._open = self
        self.width, self.height = width, height
        try:
            lib.DRO_SetUndoLevels(undo_levels)
            self.background = self.layer(1)
            self.paint = self.layer(2)
            self.paint.select()
            lib.DRO_SetViewSize(width, height)
            lib.DRO_SetScale(1, 1)
            self.brush()
        except BaseException:
            self.close()  # the engine's canvas goes with the half-made object
            raise

    def layer(self, slot, visible=True, opacity=100, mode="Normal"):
        """Makes (or clears) the layer in `slot` and shows it."""
        if not 0 <= slot <= 63:
            raise ValueError(f"slot {slot} outside 0..63")
        if not lib.DRO_CreateLayer(slot, self.width, self.height):
            _check("DRO_CreateLayer")
            raise DrovineError(f"DRO_CreateLayer: slot {slot} refused")
        return Layer(self, slot).show(visible, opacity, mode)

    def brush(self, size=24, color=(0, 0, 0), alpha=100, softness=200, spacing=0.2,
              min_pressure=0.15, paint_layer=True, opacity=100, mode="Normal"):
        """The brush and how strokes lay it: size in pixels (at most the
        brush limit), 8-bit colour, alpha in percent, soft edge 0..255; the
        stroke options of DRO_XSetStrokeOptions."""
        lib.DRO_SetSize(size)
        lib.DRO_SetTool(1.0, 0, 0, 0, softness, 0, 8, 0, 0, 0, 0, 0, 0, b"", b"", 0)
        lib.DRO_SetAlpha(alpha)
        lib.DRO_SetColor(*color)
        if not lib.DRO_XSetStrokeOptions(spacing, min_pressure, 3, -1, int(paint_layer), opacity,
                                         mode.encode()):
            raise ValueError("stroke options out of range (see DRO_XSetStrokeOptions)")
        _check("DRO_SetTool")

    def stroke(self, points, layer=None, step=2.0):
        """Paints one stroke through (x, y[, pressure[, seconds]]) points and
        commits it to undo; returns the changed area (x, y, width, height).

        The engine gives the dabs leading up to a point that point's
        pressure, as a tablet's dense samples expect; sparse points are
        filled in here every `step` pixels, pressure and time changing
        evenly between them."""
        slot = (layer or self.paint).slot
        if not lib.DRO_XStrokeBegin(slot):
            _check("DRO_XStrokeBegin")
            raise DrovineError(f"DRO_XStrokeBegin: slot {slot} refused")
        last = None
        for i, point in enumerate(points):
            x, y, pressure, seconds = (tuple(point) + (1.0, i * 0.01)[len(point) - 2:])[:4]
            if last is not None:
                lx, ly, lp, lt = last
                n = int(((x - lx) ** 2 + (y - ly) ** 2) ** 0.5 / step)
                for k in range(1, n):
                    f = k / n
                    lib.DRO_XStrokeTo(lx + (x - lx) * f, ly + (y - ly) * f,
                                      lp + (pressure - lp) * f, lt + (seconds - lt) * f, None)
            lib.DRO_XStrokeTo(x, y, pressure, seconds, None)
            last = (x, y, pressure, seconds)
        rect = (ctypes.c_int32 * 4)()
        lib.DRO_XStrokeEnd(rect)
        _check("DRO_XStrokeEnd")
        return tuple(rect)

    def undo(self):
        lib.DRO_Undo()

    def redo(self):
        lib.DRO_Redo()

    def render(self):
        """The visible layers as the host sees them: RGB bytes, rows top first."""
        stride = self.width * 3
        bgr = ctypes.create_string_buffer(stride * self.height)
        lib.DRO_Render(bgr, stride, 0, 0, self.width, self.height)
        rgb = bytearray(bgr.raw)
        rgb[0::3], rgb[2::3] = rgb[2::3], rgb[0::3]
        return bytes(rgb)

    def array(self):
        """render() as a numpy array (height, width, 3) of uint8."""
        import numpy

        return numpy.frombuffer(self.render(), dtype=numpy.uint8).reshape(
            self.height, self.width, 3).copy()

    def png(self):
        """render() as the bytes of a PNG file."""
        return _png(self.width, self.height, self.render(), 2, 3)

    def save_png(self, path):
        with open(path, "wb") as f:
            f.write(self.png())

    def close(self):
        if Canvas._open is self:
            lib.DRO_DeletePaintLayer()
            lib.DRO_DeleteImage()
            Canvas._open = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False
