// The layer table, the paint layer and the texture map: plain data.
#pragma once

#include <array>
#include <cstdint>

#include "base/allocation.h"
#include "base/types.h"

namespace dro::composite {

constexpr int32_t kLayerSlots = 64;
constexpr int32_t kModeNameSize = 52;

// One layer slot (and the paint layer). A slot without pixels is empty.
struct LayerRecord {
  Buffer<Pixel64> pixels;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;  // in 16-bit units, always 4 x width
  uint8_t visible = 0;
  uint8_t lockAlpha = 0;
  uint16_t opacity = 0;  // 0..256
  char modeName[kModeNameSize] = {};
  int32_t mode = 0;
  // Dirty rectangle, right and bottom exclusive; empty is (W, H, 0, 0).
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  // Identifies the pixel buffer: a fresh number whenever the slot gets a
  // newly allocated buffer, so undo entries can tell whether the pixels they
  // were taken from still exist (0: unknown).
  uint64_t serial = 0;

  bool Matches(int32_t canvasWidth, int32_t canvasHeight) const noexcept {
    return pixels && width == canvasWidth && height == canvasHeight;
  }
};

struct LayerState {
  std::array<LayerRecord, kLayerSlots> slots;
  LayerRecord paint;
  int32_t currentIndex = 0;
  LayerRecord* current = nullptr;  // none until the host selects a layer
  int32_t layerTop = 1;
  Buffer<uint8_t> texture;  // one byte per canvas pixel, when a texture layer exists
};

// The engine's layer state (the engine aggregate owns it).
LayerState& Layers() noexcept;

}  // namespace dro::composite
