// The image library's work buffers: 8-bit copies of the current layer that
// every library-backed operation and native filter works on, and the two
// ways a result goes back into the layer.
//
// Four canvas-size buffers, rows top first and packed without gaps (row
// stride = width x bytes per pixel): the RGBA32 source and destination and
// the RGB24 source and destination. Each is absent until allocated; a fresh
// allocation releases the old buffer first. The sources are filled from the
// current layer by narrowing (the high byte of each 16-bit channel); where
// the layer has no pixels or does not cover the canvas they are zero. The
// destinations start with undefined contents. A change of canvas size
// releases all four, so a present buffer always has the canvas's size.
//
// Rules every imaging operation keeps:
//   1. On a canvas of width or height 0 an operation returns at once.
//   2. A null name or path matches nothing.
//   3. Offsets into pictures that are not canvas-sized are computed in 64
//      bits (canvas-sized ones fit int32 by CheckedCount).
//   4. An operation that writes into the current layer uses it only when the
//      layer has the canvas's size; otherwise it writes nothing.
//
// Write-back:
//   - Load path: a buffer worked on in place is loaded into the current
//     layer weighted by the texture map and the enabled mask (the RGB24 load
//     leaves alpha untouched).
//   - Merge path: the RGBA32 destination's alpha is first scaled by mask and
//     texture, then each byte v is widened to v x 256 and the picture merged
//     over the whole layer with a blend mode (Normal unless an operation
//     names another), full opacity and the layer's lock-alpha flag.
#pragma once

#include <cstdint>

#include "composite/blend_modes.h"

namespace dro::imaging {

// Library start and stop: nothing to set up here, so both do nothing and
// may be called any number of times.
void Init() noexcept;
void Exit() noexcept;

// Allocation and release. Guarded; each records its own text
// ("IPLAllocSrcBuffer32 Excpt", "IPLFreeSrcBuffer32 Excpt", ...), and a
// failed allocation leaves the buffer absent.
void AllocSource32() noexcept;
void FreeSource32() noexcept;
void AllocDestination32() noexcept;
void FreeDestination32() noexcept;
void AllocSource24() noexcept;
void FreeSource24() noexcept;
void AllocDestination24() noexcept;
void FreeDestination24() noexcept;

// Refills the RGBA32 source from the current layer; nothing when absent.
void UpdateSource32() noexcept;
// Copies a tight canvas-size RGBA32 host picture into the buffer; nothing
// when either is absent.
void SetSource32(const void* pixels) noexcept;
void SetDestination32(const void* pixels) noexcept;

// Scales the RGBA32 source's alpha by the mask while the mask is enabled.
void ApplyMaskToSourceAlpha() noexcept;

// The buffers while present, else null.
uint8_t* Source32() noexcept;
uint8_t* Destination32() noexcept;
uint8_t* Source24() noexcept;
uint8_t* Destination24() noexcept;

// Load path: a canvas-size tight RGBA32 (or RGB24) buffer into the current
// layer, weighted by texture and mask. False when there was no canvas-size
// current layer or no buffer.
bool LoadRgba32Result(const uint8_t* rgba) noexcept;
bool LoadRgb24Result(const uint8_t* rgb) noexcept;

// Merge path: the RGBA32 destination into the current layer. False when the
// destination or a canvas-size current layer is missing.
bool MergeDestination(int32_t mode = composite::kModeNormal) noexcept;

}  // namespace dro::imaging
