// The layer stack: 64 slots, the current layer, the paint layer, merges and
// the whole-layer alpha operations.
//
// Every operation refuses slot numbers outside 0..63 and does nothing for a
// slot without pixels. Operations that address a layer with the canvas's
// geometry (merges, the paint layer, loads) skip a layer whose size no
// longer matches the canvas (after a new size, until it is re-created), and
// every rectangle is clipped to the buffers it addresses.
#pragma once

#include <cstdint>

#include "base/types.h"
#include "composite/layer_state.h"

namespace dro::composite {

// --- lookups -------------------------------------------------------------

bool ValidSlot(int32_t slot) noexcept;
// Number of slots holding pixels.
int32_t CountLayers() noexcept;

// The slot's record when the number is valid and the slot holds pixels.
LayerRecord* LayerWithPixels(int32_t slot) noexcept;
// ... and additionally has the canvas's size.
LayerRecord* CanvasLayer(int32_t slot) noexcept;
// The same two lookups for a slot an export was given: a slot passed over
// is reported under the export's name `where` (null: silently).
LayerRecord* LayerWithPixels(int32_t slot, const char* where) noexcept;
LayerRecord* CanvasLayer(int32_t slot, const char* where) noexcept;
// The current layer when one is selected, holds pixels and has the canvas's
// size.
LayerRecord* CurrentCanvasLayer() noexcept;
// Pixels of the layer-mask layer of `slot`: the first slot above it (up to
// the layer top) that holds canvas-size pixels and is visible, when its mode
// is "Layer Mask"; null otherwise.
const Pixel64* LayerMaskFor(int32_t slot) noexcept;
// The highest slot in 1..63 holding pixels, 1 when none.
void RecomputeLayerTop() noexcept;

// Percent x 2.56, truncated, kept within 0..256 (100 gives 256).
uint16_t OpacityFromPercent(int32_t percent) noexcept;
// Stores the mode name (when shorter than 50 characters; else the field is
// left empty) and the looked-up mode number.
void SetLayerMode(LayerRecord& layer, const char* modeName, const char* where) noexcept;
// Tells the diagnostics why `slot` was passed over: outside 0..63, without
// pixels, or not canvas-sized.
void DiagnoseUnusableSlot(const char* where, int32_t slot) noexcept;

// --- the table -----------------------------------------------------------

// When a layer cannot be allocated, the allocator asks the reclaimer to give
// back about `kilobytes` of other memory and tries again for as long as it
// frees anything (it returns false when it freed nothing). The undo store
// registers one; without it a failed allocation fails at once.
using MemoryReclaimer = bool (*)(int32_t kilobytes) noexcept;
void SetMemoryReclaimer(MemoryReclaimer reclaimer) noexcept;

// 1 on success, 0 on failure (slot out of range, bad size, no memory after
// the reclaimer gave back what it could). Guarded ("CreateLayer").
int32_t CreateLayer(int32_t slot, int32_t width, int32_t height) noexcept;
// Rebuilding a layer at another size, new pixels first: AllocateLayerPixels
// makes a w x h buffer with the reclaimer's help (throws std::bad_alloc when
// memory stays short, std::length_error for an impossible size, so a guard
// around the caller records the failure); InstallLayerPixels then gives it to
// the slot with its new size and a fresh serial and only then releases the
// old pixels. The slot keeps its options (visible, lock-alpha, opacity,
// mode) and stays current when it was. Nothing happens for a slot without
// pixels or a buffer that is not w x h.
Buffer<Pixel64> AllocateLayerPixels(int32_t width, int32_t height);
void InstallLayerPixels(int32_t slot, Buffer<Pixel64>&& pixels, int32_t width,
                        int32_t height) noexcept;
// Frees the slot's pixels; other fields stay. Guarded ("DeleteLayer").
void DeleteLayer(int32_t slot) noexcept;
// Applies the texture rule and makes the slot current; false (nothing
// changed) for a slot without pixels.
bool SetLayer(int32_t slot) noexcept;
void SetLayerOptions(int32_t slot, uint8_t visible, uint8_t lockAlpha, int32_t opacityPercent,
                     const char* modeName) noexcept;
// False (nothing changed) for a bad slot or a == b.
bool SwapLayers(int32_t a, int32_t b) noexcept;

// --- merges --------------------------------------------------------------

void MergeLayer(int32_t src, int32_t dst) noexcept;
// Blends the w x h rectangle at (x, y) of the slot into the tight w x h
// Pixel64 buffer `dst` with the slot's mode, opacity and layer mask.
// `where` names the export whose arguments these are, for the diagnostics
// (null for the engine's own calls).
void MergeLayerIntoRect(int32_t slot, Pixel64* dst, int32_t x, int32_t y, int32_t w, int32_t h,
                        const char* where = nullptr) noexcept;
void MergeLayerInto(int32_t slot, Pixel64* dst) noexcept;
// Flattens the visible layers for a rectangle into the tight w x h `dst`.
void MergeRect(Pixel64* dst, int32_t x, int32_t y, int32_t w, int32_t h,
               const char* where = nullptr) noexcept;
void Merge(Pixel64* dst) noexcept;

// --- the paint layer -----------------------------------------------------

// Guarded ("CreatePaintLayer").
void CreatePaintLayer(int32_t opacityPercent, const char* modeName) noexcept;
// Frees the paint layer's pixels; 1 when there were any, else 0.
int32_t DeletePaintLayer() noexcept;
void ClearPaintLayer() noexcept;
// Fills the paint layer with bytes 0xFF and zeroes its dirty rectangle,
// then empties the rectangle.
void WhitenPaintLayerOutsideDirty() noexcept;
// Blends the paint layer's dirty rectangle into the slot, then clears it.
void MergePaintLayer(int32_t slot) noexcept;
// Softens the paint layer's alpha through the image library's blur.
// Guarded ("BlurPaintLayerAlpha").
void BlurPaintLayerAlpha() noexcept;

// --- alpha operations ----------------------------------------------------

void SetLayerAlpha(int32_t slot, int32_t alpha16) noexcept;
void NormalizeLayerAlpha(int32_t slot) noexcept;
void InvertAlpha(int32_t slot) noexcept;
// Canvas-size tight RGBA32: every alpha byte becomes 255 - alpha.
void InvertAlphaRgba32(uint8_t* rgba, const char* where = nullptr) noexcept;
// Current layer: pixels with alpha below 256 become (r, g, b) x 257 with
// alpha 0.
void SetColorAlpha(int32_t r, int32_t g, int32_t b) noexcept;
// Tight w x h RGBA32 helpers.
// (`where`: the export whose buffer it is, for the diagnostics.)
void SetColorAlphaRgba32(uint8_t* rgba, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                         const char* where = nullptr) noexcept;
void SetColorRgba32(uint8_t* rgba, int32_t w, int32_t h, int32_t r, int32_t g, int32_t b,
                    const char* where = nullptr) noexcept;
// Canvas-size tight RGBA32: pixels of exactly (r, g, b) get alpha 0.
void SetAlphaFromRgba32Color(uint8_t* rgba, int32_t r, int32_t g, int32_t b,
                             const char* where = nullptr) noexcept;
// Every alpha byte of a tight w x h RGBA32 buffer becomes `alpha`.
void SetRgba32Alpha(uint8_t* rgba, int32_t w, int32_t h, uint8_t alpha) noexcept;
// Turns the layer into shading data for the alpha-family modes.
void CreateBlobFromImage(int32_t slot, int32_t kind) noexcept;

// Loads a tight w x h RGBA32 picture into the slot: optionally weighted by
// mask and texture, the slot cleared through the mask, then blended in as
// Normal at full opacity, keeping alpha when the slot locks it. Guarded
// ("LoadRGBA32Layer").
void ReplaceLayerWithRgba32(uint8_t* data, int32_t slot, int32_t w, int32_t h,
                            bool useMask) noexcept;

}  // namespace dro::composite
