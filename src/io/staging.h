// Operations on the staging image (io/staging_state.h).
//
// Model: one RGBA32 picture owned by the engine, absent until something
// fills it. Whatever fills it (a file, the clipboard, a screen capture, a
// scanned page) replaces it as a whole: the previous picture is released
// before the new one is made, so a failure leaves no picture rather than an
// old one. Making a picture checks its size before allocating: both sides at
// least 1 and width x height x 4 bytes addressable with 32-bit offsets.
// The canvas lifecycle does not touch it: it outlives DRO_DeleteImage.
//
// For devices and readers (the engine side):
//   MakeStagingImage(w, h)            a fresh w x h picture, contents
//                                     undefined, to be filled by the caller
//   SetStagingImage(rgba, w, h, s)    a copy of a host or device picture
//   AdoptStagingImage(buffer, w, h)   takes over a decoded picture's block
#pragma once

#include <cstdint>

#include "base/allocation.h"

namespace dro::io {

// Replaces the staging image by a new width x height picture whose bytes the
// caller fills; returns its pixels, or null (no staging image then) for a
// refused size or a failed allocation. Guarded ("CreateNewRGBA").
uint8_t* MakeStagingImage(int32_t width, int32_t height) noexcept;
// Replaces it by a copy of a width x height RGBA32 picture with rows
// `stride` bytes apart (0: tight). False, leaving no staging image, for a
// null picture, a refused size, a short stride or a failed allocation.
bool SetStagingImage(const uint8_t* rgba, int32_t width, int32_t height,
                     int32_t stride = 0) noexcept;
// Takes over a tight width x height RGBA32 block (exactly w x h x 4 bytes).
// False (the block untouched, the staging image released) when it does not
// fit that size.
bool AdoptStagingImage(Buffer<uint8_t>& rgba, int32_t width, int32_t height) noexcept;
// Releases it. Guarded ("DeleteNewRGBA").
void DeleteStagingImage() noexcept;

int32_t StagingWidth() noexcept;
int32_t StagingHeight() noexcept;
// True when some alpha byte is below 255; false when every one is 255 or
// there is no staging image.
bool StagingTransparent() noexcept;
// Loads the picture at the top-left corner of the current layer, weighted
// by texture and mask (the general RGBA32 load). Nothing without a picture
// or a current layer.
void LoadStagingIntoCurrentLayer() noexcept;
// Copies it into a tight host buffer: RGBA32 (width x 4 bytes a row) or
// RGB24 (alpha dropped, width x 3). Nothing without a picture or buffer.
void CopyStagingRgba32(uint8_t* dst) noexcept;
void CopyStagingRgb24(uint8_t* dst) noexcept;
// Scales it to w x h (area average when both sides shrink, else bilinear)
// and copies that as tight RGB24. Nothing without a picture, for w or h
// below 1 or a size whose RGBA32 bytes overflow 32-bit offsets. Guarded
// ("GetResizedNewRGB24").
void CopyResizedStagingRgb24(uint8_t* dst, int32_t width, int32_t height) noexcept;

}  // namespace dro::io
