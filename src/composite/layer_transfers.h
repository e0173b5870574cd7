// Pixel transfers between host buffers, layers and the other canvas-size
// buffers.
//
// Layers are addressed with the canvas's geometry: a layer whose size no
// longer matches the canvas is skipped, and rectangles are clipped to the
// layer, so nothing outside a layer is ever read or written. Results are 1
// when pixels moved, 0 when the operation did nothing (bad slot, empty
// slot, null buffer, nothing left after clipping).
#pragma once

#include <cstdint>

#include "composite/layer_state.h"

namespace dro::composite {

// Raw Pixel64 transfers. Strides are in bytes, at least a row of the block
// (else nothing moves).
int32_t SetLayerRgba64(const void* src, int32_t srcStrideBytes, int32_t layer) noexcept;
int32_t GetLayerRgba64(void* dst, int32_t dstStrideBytes, int32_t layer) noexcept;
// Copies the w x h rectangle at (x, y) of the layer into dst, whose first
// pixel is the rectangle's corner; the parts of the rectangle outside the
// layer leave dst as it was.
int32_t GetLayerRgba64Rect(void* dst, int32_t dstStrideBytes, int32_t layer, int32_t x, int32_t y,
                           int32_t w, int32_t h) noexcept;
// Whole-layer raw copies of width x height x 8 bytes.
int32_t SetLayerData(const void* src, int32_t layer) noexcept;
int32_t GetLayerData(void* dst, int32_t layer) noexcept;
int32_t CopyLayerData(int32_t fromLayer, int32_t toLayer) noexcept;

// The clipped rectangle copy behind GetRGBA64LayerRect, for any record;
// `where` names the export whose arguments these are (null: silent).
int32_t CopyLayerRectOut(const LayerRecord& layer, uint8_t* dst, int64_t dstStrideBytes, int32_t x,
                         int32_t y, int32_t w, int32_t h, const char* where = nullptr) noexcept;

}  // namespace dro::composite
