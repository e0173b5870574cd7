// The one process-wide engine state, grouped by subsystem.
//
// The host sees no handles: every export works on this object. It is zero at
// load (apart from the defaults each group states), made once, and never
// destroyed before the process ends; the canvas lifecycle decides what each
// buffer holds between DRO_CreateImage and DRO_DeleteImage.
//
// Each group's type is plain data declared by its subsystem (`*_state.h`),
// with an accessor there that this file's implementation defines, so the
// subsystems reach their state without depending on the aggregate above
// them.
#pragma once

#include <cstdint>

#include "base/canvas_state.h"
#include "base/random.h"
#include "brush/brush_state.h"
#include "composite/display_state.h"
#include "composite/layer_state.h"
#include "history/stroke_state.h"
#include "history/undo_state.h"
#include "imaging/font_state.h"
#include "imaging/pattern_state.h"
#include "imaging/work_state.h"
#include "io/staging_state.h"
#include "mask/mask_state.h"

namespace dro {

constexpr int32_t kLastErrorSize = 512;
constexpr int32_t kStartDirSize = 1024;

struct FrameState {
  char lastError[kLastErrorSize] = {};
  char startDir[kStartDirSize] = {};
  uint8_t displayChanged = 0;
};

struct Engine {
  FrameState frame;
  CanvasGeometry canvas;
  RandomState random;
  brush::BrushState brush;
  composite::LayerState layers;
  composite::DisplayState display;
  history::UndoStore undo;
  history::StrokeState stroke;
  mask::MaskState mask;
  imaging::WorkBuffers work;
  imaging::FontState font;
  imaging::PatternCache patterns;
  io::StagingImage staging;
};

Engine& engine() noexcept;

}  // namespace dro
