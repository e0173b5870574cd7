#include "brush/dab.h"

#include <algorithm>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/random.h"
#include "brush/brush_state.h"
#include "brush/dab_painter.h"
#include "brush/settings.h"
#include "composite/layer_state.h"
#include "history/undo_state.h"
#include "mask/mask_state.h"

namespace dro::brush {
namespace {

using composite::LayerRecord;

constexpr int32_t kGritWindow = 25;  // a grit window starts within 25 x 25

// The dab rectangle of a dab centred on (x, y), and the growth of a
// rectangle by it: left and top are clipped to 0, right and bottom
// (exclusive) to the canvas.
struct DabRect {
  int64_t left = 0;
  int64_t top = 0;
  int32_t right = 0;   // exclusive, at most the canvas width
  int32_t bottom = 0;  // exclusive, at most the canvas height
  int32_t x0 = 0;      // first painted column, max(left, 0)
  int32_t y0 = 0;      // first painted row, max(top, 0)
};

DabRect MakeDabRect(int32_t x, int32_t y, int32_t count, int32_t width, int32_t height) noexcept {
  DabRect r;
  const int64_t half = count / 2;
  r.left = int64_t{x} - half;
  r.top = int64_t{y} - half;
  r.right = static_cast<int32_t>(std::clamp<int64_t>(r.left + count, INT32_MIN, width));
  r.bottom = static_cast<int32_t>(std::clamp<int64_t>(r.top + count, INT32_MIN, height));
  r.x0 = static_cast<int32_t>(std::max<int64_t>(r.left, 0));
  r.y0 = static_cast<int32_t>(std::max<int64_t>(r.top, 0));
  return r;
}

void GrowUndoRect(const DabRect& r) noexcept {
  IntRect& u = history::Store().rect;
  u.x0 = std::min(u.x0, r.x0);
  u.y0 = std::min(u.y0, r.y0);
  u.x1 = std::max(u.x1, r.right);
  u.y1 = std::max(u.y1, r.bottom);
}

void GrowDirtyRect(LayerRecord& layer, const DabRect& r) noexcept {
  layer.left = std::min(layer.left, r.x0);
  layer.top = std::min(layer.top, r.y0);
  layer.right = std::max(layer.right, r.right);
  layer.bottom = std::max(layer.bottom, r.bottom);
}

// The dab's size on the canvas: the scaled count, never above the brush
// size limit nor the size index map.
int32_t DabCount(const BrushState& b) noexcept {
  const int32_t limit = std::max(Geometry().brushLimit, 0);
  return std::clamp(b.scaledCount, 0, std::min(limit, kSizeIndexEntries));
}

bool GritOn(const BrushState& b) noexcept {
  return b.gritCellSize != 0;
}

// When the drawing-length counter has run out, a dab moves to a random
// window of another grit buffer (never the very window it reads now).
void ChangeGrit(BrushState& b, RuntimeRandom& rng) noexcept {
  if (!GritOn(b) || b.drawingLengthCounter >= 1) return;
  int32_t pick = rng.Next() % kGritBuffers;
  while (pick == b.currentGrit && b.currentGritOffset == 0) pick = rng.Next() % kGritBuffers;
  const int32_t row = rng.Next() % kGritWindow;
  const int32_t column = rng.Next() % kGritWindow;
  b.currentGrit = pick;
  b.currentGritOffset = row * std::max(Geometry().brushLimit, 0) + column;
  b.drawingLengthCounter = b.drawingLength;
}

// The painted part of the dab: canvas columns x0..right - 1 and rows
// y0..bottom - 1, starting at dab pixel (x0 - left, y0 - top).
DabPainter PainterFor(const DabRect& r, int32_t count) noexcept {
  DabPainter painter;
  painter.rect = {r.x0, r.y0, r.right, r.bottom};
  painter.skipX = static_cast<int32_t>(std::min<int64_t>(r.x0 - r.left, count));
  painter.skipY = static_cast<int32_t>(std::min<int64_t>(r.y0 - r.top, count));
  painter.count = count;
  return painter;
}

}  // namespace

namespace {
// Why a dab cannot show, in the order a new host meets the reasons: the
// defaults (alpha 0, no current layer) first.
void DiagnoseEmptyDab(const LayerRecord* target, bool paintLayer, int32_t count, int32_t width,
                      int32_t height) noexcept {
  const BrushState& b = State();
  if (!target || !target->pixels) {
    Diagnose("DRO_DrawDabGrit",
             "no current layer (DRO_SetLayer) and no paint layer: nothing painted");
  } else if (!target->Matches(width, height)) {
    Diagnose("DRO_DrawDabGrit", "the %s is not canvas-sized: nothing painted",
             paintLayer ? "paint layer" : "current layer");
  } else if (count <= 0) {
    Diagnose("DRO_DrawDabGrit", "brush size 0 (DRO_SetSize): nothing painted");
  } else if (b.alphaScaled <= 0 && b.alpha <= 99) {
    Diagnose("DRO_DrawDabGrit", "paint alpha %d%% (DRO_SetAlpha; it starts at 0): nothing painted",
             b.alpha);
  }
}
}  // namespace

int32_t DrawDabGrit(int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) noexcept {
  const CanvasGeometry& geometry = Geometry();
  composite::LayerState& layerState = composite::Layers();
  BrushState& b = State();
  SetColor16(red, green, blue);
  if (b.maskMaker) {
    DrawDabGritMask(x, y);
    b.tempBlendOff = b.maskMaker = b.eraseMode = 0;
    return 0;
  }
  RuntimeRandom& rng = Random().generator;

  // 1. The dab colour; the colour vary moves all four values (so alpha
  //    only ever drops).
  int64_t color[4] = {red & 0xFF00, green & 0xFF00, blue & 0xFF00, 65535};
  if (b.colorVary > 0) {
    const int64_t off = (int64_t{b.colorVary / 2} - rng.Next() % b.colorVary) * 256;
    for (int64_t& c : color) c = std::clamp<int64_t>(c + off, 0, 65535);
  }
  if (b.eraseMode) color[0] = color[1] = color[2] = 65535, color[3] = 0;

  // 2. Grit change.
  ChangeGrit(b, rng);

  // 3. The dab rectangle, the two rectangles it grows and the target.
  const int32_t width = geometry.width;
  const int32_t height = geometry.height;
  const int32_t count = DabCount(b);
  const DabRect rect = MakeDabRect(x, y, count, width, height);
  GrowUndoRect(rect);
  LayerRecord& paint = layerState.paint;
  const bool paintLayer = static_cast<bool>(paint.pixels);
  if (paintLayer) GrowDirtyRect(paint, rect);

  LayerRecord* target = paintLayer ? &paint : layerState.current;
  DabPainter painter = PainterFor(rect, count);
  if (target && target->Matches(width, height) && count > 0 &&
      painter.Setup(target->pixels.data(), paintLayer, color)) {
    painter.Paint(rng);
  }
  if (DiagnosticsOn()) DiagnoseEmptyDab(target, paintLayer, count, width, height);

  b.tempBlendOff = b.maskMaker = b.eraseMode = 0;
  return 0;
}

int32_t DrawDabGritMask(int32_t x, int32_t y) noexcept {
  const CanvasGeometry& geometry = Geometry();
  BrushState& b = State();
  RuntimeRandom& rng = Random().generator;

  // 1. The mask dab's colour is a paint value: dark colours open the mask,
  //    light ones close it.
  const int64_t grey = (int64_t{b.color[0]} + b.color[1] + b.color[2]) / 3;
  int64_t value = grey < 256 ? 65535 : std::max<int64_t>(65280 - grey, 0);
  if (b.colorVary > 0) {
    value += (int64_t{b.colorVary / 2} - rng.Next() % b.colorVary) * 256;
    if (value < 0 || value > 65535) value = 65535;
  }
  if (b.eraseMode) value = 65535;

  // 2. and 3. Grit change, dab rectangle and the undo rectangle.
  ChangeGrit(b, rng);
  const int32_t width = geometry.width;
  const int32_t height = geometry.height;
  const int32_t count = DabCount(b);
  const DabRect rect = MakeDabRect(x, y, count, width, height);
  GrowUndoRect(rect);

  Buffer<Mask16>& mask = mask::State().values;
  DabPainter painter = PainterFor(rect, count);
  if (count > 0 && mask && mask.size() >= static_cast<size_t>(int64_t{width} * height) &&
      painter.SetupMask(static_cast<uint32_t>(value))) {
    painter.PaintMask(mask.data(), rng);
  }

  b.tempBlendOff = 0;
  return 0;
}

}  // namespace dro::brush
