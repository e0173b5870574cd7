// Moving pixels between host buffers (8 bits per channel) and the engine's
// Pixel64 buffers: loads (plain, lock-alpha, weighted by texture and mask),
// narrowing reads, fills, single-pixel queries and data extents.
//
// Widening multiplies by 256 (255 becomes 65280), narrowing keeps the high
// byte; nothing rounds. Canvas-size host buffers are read and written only
// within the canvas (or the rectangle the call describes), and a layer whose
// size no longer matches the canvas is used only where the two overlap.
#pragma once

#include <cstdint>

#include "base/plane.h"
#include "base/types.h"

namespace dro::composite {
struct LayerRecord;
}

namespace dro::composite {

// The slot of the current layer when it holds pixels, else -1.
int32_t CurrentSlot() noexcept;
// The whole of a layer's own pixels (empty for an empty or broken record).
Plane WholeLayer(LayerRecord& record) noexcept;
// The part of a buffer that lies on the canvas; empty without a canvas.
Plane OnCanvas(Plane plane) noexcept;
// Canvas parts of a slot, of the current layer and of the trace buffer;
// empty when absent.
Plane LayerOnCanvas(int32_t slot) noexcept;
// The same for a slot an export was given: when there is none, the
// diagnostics hear why, under the export's name `where`.
Plane LayerOnCanvas(int32_t slot, const char* where) noexcept;
Plane CurrentOnCanvas() noexcept;
Plane TraceOnCanvas() noexcept;

// The texture map when it exists, else null; canvas-size (row stride =
// canvas width).
const uint8_t* TextureMap() noexcept;

// Weights of the loads on a 0..65535 scale.
// Texture byte t: 0 gives 0, t >= 128 gives 65535, else ((2t + 1) x 65535)
// / 256.
uint32_t LoadTextureWeight(uint8_t t) noexcept;
// High byte m8 of the mask value: 0 gives 0, 255 keeps w, else
// (w x (m8 + 1)) / 256.
uint32_t LoadMaskWeight(uint32_t w, Mask16 m) noexcept;
// ((old x (65535 - w)) / 256 + (s8 x 256 x w) / 256) / 256.
uint16_t BlendChannel(uint16_t old, uint8_t s8, uint32_t w) noexcept;

// --- Loads -------------------------------------------------------------

// Current layer from a B, G, R buffer: (R x 256, G x 256, B x 256, 65535).
void LoadBgr(const uint8_t* data, int32_t stride, int32_t width, int32_t rows) noexcept;
// The general RGBA32 load of a w x h block placed at (x, y) of the slot,
// clipped to the layer; negative x or y skips source columns or rows.
// `where` (here and below) names the export whose arguments these are, for
// the diagnostics; the engine's own calls pass none.
void LoadRgba32Layer(const uint8_t* data, int32_t stride, int32_t slot, int32_t x, int32_t y,
                     int32_t w, int32_t h, bool useMask, const char* where = nullptr) noexcept;
// The same on the current layer at (0, 0) with the layer's own size.
void LoadRgba32Current(const uint8_t* data, int32_t stride, bool useMask,
                       const char* where = nullptr) noexcept;
void LoadRgb24(const uint8_t* data, int32_t stride, bool useMask) noexcept;
void LoadRgb24ToAlpha(const uint8_t* data, int32_t stride, bool useMask) noexcept;

// --- Narrowing reads -----------------------------------------------------

void GetRgba32(const Plane& src, uint8_t* dst, int32_t stride,
               const char* where = nullptr) noexcept;
void GetRgb24(const Plane& src, uint8_t* dst, int32_t stride, const char* where = nullptr) noexcept;
void GetRgb24FromAlpha(const Plane& src, uint8_t* dst, int32_t stride) noexcept;
// A w x h block of host Pixel64 rows (byte stride) to RGBA32 or RGB24.
void NarrowBlock(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, int32_t w,
                 int32_t h, int32_t bytesPerPixel) noexcept;
// The w x h block at (x, y) of a Pixel64 buffer (stride in pixels) into a
// tight RGBA32 or RGB24 buffer.
void NarrowRectTight(const uint8_t* src, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t stridePixels, uint8_t* dst, int32_t bytesPerPixel) noexcept;

// Block converters of the image brushes: tight RGBA32 to tight Pixel64
// (every byte x 256, alpha too) and back (high bytes).
void ExpandRgba32Block(const uint8_t* src, int32_t w, int32_t h, Pixel64* dst) noexcept;
void ReduceRgba32Block(const Pixel64* src, int32_t w, int32_t h, uint8_t* dst) noexcept;

// --- Host-buffer reshaping (tight w x h buffers) ---------------------------

void RgbToRgba(uint8_t* rgba, int32_t w, int32_t h, const uint8_t* rgb) noexcept;
void RgbaToRgb(uint8_t* rgb, int32_t w, int32_t h, const uint8_t* rgba) noexcept;
void RgbaAlphaToRgb(uint8_t* rgb, int32_t w, int32_t h, const uint8_t* rgba) noexcept;
void RgbToRgbaAlpha(uint8_t* rgba, int32_t w, int32_t h, const uint8_t* rgb) noexcept;

// --- Fills -------------------------------------------------------------

void Clear(int32_t r, int32_t g, int32_t b, int32_t a) noexcept;
void ClearRgba64(uint8_t* dst, int32_t strideBytes, int32_t r16, int32_t g16, int32_t b16,
                 int32_t a16) noexcept;
void ClearRgba32(uint8_t* dst, int32_t stride, int32_t r, int32_t g, int32_t b, int32_t a) noexcept;
void ClearRgba32Tight(uint8_t* dst, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                      int32_t a) noexcept;
// Fills a canvas-part plane with (r, g, b, a) x 256 through the mask: with
// the mask enabled, a mask value m of 65535 stores the colour, 0 leaves the
// pixel, any other value blends the colour channels by m (BlendChannel) and
// makes the pixel opaque; with the mask enabled but unusable nothing
// changes; without it the whole plane is filled.
void ClearMasked(const Plane& target, int32_t r, int32_t g, int32_t b, int32_t a) noexcept;
void ClearMaskedAlpha(int32_t r, int32_t g, int32_t b, int32_t a) noexcept;

// --- Queries -------------------------------------------------------------

enum class Channel { kRed, kGreen, kBlue, kAlpha };
int32_t GetChannel64(int32_t x, int32_t y, Channel channel) noexcept;
int32_t GetMask64(int32_t x, int32_t y) noexcept;
// The pixel at (x, y) clamped into the plane, as R8 G8 B8 A8 from the high
// byte down; 0 for an empty plane.
int32_t RgbaAt(const Plane& plane, int32_t x, int32_t y) noexcept;
// R8 G8 B8 from bit 16 down, or -1 when the alpha high byte is 0; 0 for an
// empty plane.
int32_t ColorAt(const Plane& plane, int32_t x, int32_t y) noexcept;
// ColorAt of the visible layers flattened at (x, y), clamped into the
// canvas; 0 without a canvas. Guarded ("DRO_GetColorAtMerged").
int32_t ColorAtMerged(int32_t x, int32_t y) noexcept;
// A canvas-size host Pixel64 buffer (row stride = canvas width).
Plane HostCanvasBuffer(void* buffer) noexcept;

// Bounding box of the pixels with non-zero alpha; (W, H, 0, 0) when none.
// False (outputs untouched) for an empty slot.
bool FindDataExtents(int32_t slot, int32_t& minX, int32_t& minY, int32_t& maxX, int32_t& maxY,
                     const char* where = nullptr) noexcept;

}  // namespace dro::composite
