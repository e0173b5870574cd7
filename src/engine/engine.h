// The one process-wide engine state, grouped by subsystem.
//
// The host sees no handles: every export works on this object. It is zero at
// load (apart from the defaults each group states), made once, and never
// destroyed before the process ends; the canvas lifecycle decides what each
// buffer holds between DRO_CreateImage and DRO_DeleteImage.
#pragma once

#include <cstdint>

#include "brush/brush_state.h"
#include "composite/layer_state.h"
#include "engine/random.h"
#include "history/undo_store.h"
#include "imaging/work_buffers.h"
#include "mask/mask_state.h"

namespace dro {

constexpr int32_t kLastErrorSize = 512;
constexpr int32_t kStartDirSize = 1024;

struct FrameState {
  char lastError[kLastErrorSize] = {};
  char startDir[kStartDirSize] = {};
  uint8_t displayChanged = 0;
};

// Canvas geometry and the brush size limit.
struct CanvasGeometry {
  void* hostWindow = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t rgbaStride = 0;  // W x 4 bytes
  int32_t brushLimit = 0;  // L, the largest brush size the host will ask for
  // L x 4: the row stride of brush-sized Pixel64 buffers in 16-bit units.
  // Two readers keep their own copy; both always follow L.
  int32_t brushStride = 0;        // dab and blend-buffer copies
  int32_t blendFilterStride = 0;  // blend-buffer filters and image brushes
  int32_t creationValue = 0;      // the fifth creation value, kept unchanged
  int32_t zoomNumerator = 1;
  int32_t zoomDenominator = 1;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t viewWidth = 0;
  int32_t viewHeight = 0;
};

struct RandomState {
  RuntimeRandom generator;
  int32_t seed = 0;
};

struct Engine {
  FrameState frame;
  CanvasGeometry canvas;
  RandomState random;
  brush::BrushState brush;
  composite::LayerState layers;
  composite::DisplayState display;
  history::UndoStore undo;
  mask::MaskState mask;
  imaging::WorkBuffers work;
};

Engine& engine() noexcept;

}  // namespace dro
