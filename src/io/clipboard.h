// The clipboard and the screen, engine side.
//
// Model: the clipboard carries one picture as a device-independent bitmap
// (platform/desktop.h: the X11 CLIPBOARD selection with a display, an
// in-process clipboard without). Copies take the current layer (all of it or
// a rectangle, the mask applied to alpha while it is enabled) or a host
// buffer. Pastes read the clipboard into the staging image first, its alpha
// set to 255, then lay it into the current layer through mask and texture:
// at a point, scaled by a factor or to a size, turned by whole degrees. The
// staging image is released before every read, so a read that fails leaves
// none and never pastes an older picture; after a paste into the layer it is
// released again.
//
// Host numbers are checked: the copy payload (width x height x 4 + 4000
// bytes) must be addressable with 32 bits, scales must be finite and
// positive, sizes positive; a scaled or turned picture is capped at 30000
// pixels a side. Placements are computed in 64 bits.
#pragma once

#include <cstdint>

namespace dro::io {

// The current layer (through the RGBA32 source work buffer, released after)
// to the clipboard. Guarded ("ToClipBoardRect", the text of every copy).
bool CopyLayer() noexcept;
// The rectangle between the corners (width |x0 - x1|, height |y0 - y1|),
// clipped to the canvas. Guarded ("ToClipBoardRect").
bool CopyLayerRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) noexcept;
// A tight w x h host picture that stands for canvas area (x, y, w, h); with
// the mask enabled its alpha is scaled by the mask there first (in place).
bool CopyRgba32(uint8_t* rgba, int32_t x, int32_t y, int32_t width, int32_t height) noexcept;

// The clipboard's picture into the staging image. Guarded ("FromClipBoard").
bool PasteToStaging() noexcept;
// Pastes at (x, y), or centred there, over the layer through mask and
// texture. Guarded ("FromClipBoardInto").
bool PasteInto(int32_t x, int32_t y, bool centre) noexcept;
// Scaled by a factor, turned by whole degrees, merged over the layer.
// Guarded ("FromClipBoardIntoEX").
bool PasteIntoScaled(int32_t x, int32_t y, float scale, int32_t angle, bool centre,
                     bool smooth) noexcept;
// Scaled so the longer side is `size` pixels, turned (not at 0 or 360),
// blended into the layer. Guarded ("FromClipBoardIntoEX").
bool PasteIntoSized(int32_t x, int32_t y, int32_t size, int32_t angle, bool centre,
                    bool smooth) noexcept;

// The screen into the staging image; into the current layer at (0, 0).
// Guarded ("ScreenCapture", "ScreenCaptureInto").
bool CaptureToStaging() noexcept;
bool CaptureInto() noexcept;

// The size a picture becomes when scaled by a factor (each side at least 1)
// or so its longer side is `size`; false when the factor or size is refused
// (not finite, not positive) and capped at 30000 a side.
bool ScaledSize(double factor, int32_t width, int32_t height, int32_t& outWidth,
                int32_t& outHeight) noexcept;

}  // namespace dro::io
