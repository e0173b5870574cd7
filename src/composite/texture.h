// The texture map and alpha modulation.
//
// A visible layer in mode "Texturize3" acts as paper: its luminance, one byte
// per canvas pixel (4..250), thins paint wherever the paper is dark. The
// weighting operations scale the alpha of an RGBA32 host buffer by the map
// and the enabled mask before the buffer is merged into a layer; the
// premultiply passes run around filters that must not smear colour out of
// transparent pixels.
#pragma once

#include <cstdint>

#include "base/types.h"

namespace dro::composite {

constexpr uint8_t kTextureMin = 4;
constexpr uint8_t kTextureMax = 250;

// Builds the map (allocating it on first use) from the slot's layer: each
// byte (R + G + B) / 768 clamped to 4..250; where the layer does not cover
// the canvas the map weighs fully (250). Returns the map, or null for an
// empty slot, without a canvas or when it cannot be allocated (guarded:
// "CreateTexture"; the map then stays absent).
// `where`: the export whose slot it is, for the diagnostics.
uint8_t* CreateTexture(int32_t slot, const char* where = nullptr) noexcept;
void DeleteTexture() noexcept;

// Weights of the modulation on 0..65535: a texture byte t >= 128 gives
// 65535, else (t x 131070) / 256; a mask value m below 65535 scales a weight
// to (w x m) / 65536.
uint32_t TextureWeight(uint8_t t) noexcept;
uint32_t MaskWeight(uint32_t w, Mask16 m) noexcept;

// Scales the alpha bytes of a tight w x h RGBA32 buffer placed at (x, y) on
// the canvas by texture and mask: alpha = trunc(w / 65535 x alpha). Only
// the part on the canvas is touched; nothing happens when neither a map nor
// the enabled mask exists.
void AdjustRgba32ByMaskAndTexture(uint8_t* rgba, int32_t x, int32_t y, int32_t w,
                                  int32_t h) noexcept;

// Premultiply and un-premultiply passes; alpha stays, colour only.
void AdjustRgba32PreFilter(uint8_t* rgba, int32_t w, int32_t h) noexcept;
void AdjustRgba32PostFilter(uint8_t* rgba, int32_t w, int32_t h) noexcept;
// Un-premultiplies every pixel with alpha (255 included) of a tight
// canvas-size buffer.
void AdjustRgba32ForAlphaComp(uint8_t* rgba) noexcept;
void AdjustRgba64PreFilter(Pixel64* pixels, int32_t w, int32_t h) noexcept;
void AdjustRgba64PostFilter(Pixel64* pixels, int32_t w, int32_t h) noexcept;

}  // namespace dro::composite
