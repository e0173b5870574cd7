#include "engine/canvas.h"

#include "base/thread_pool.h"

#include <algorithm>
#include <stdexcept>

#include "base/diagnostics.h"
#include "base/guard.h"
#include "composite/layers.h"
#include "engine/engine.h"
#include "history/undo_store.h"

namespace dro::canvas {
namespace {

void RequirePossible(int32_t brushLimit) {
  if (!BrushLimitIsPossible(brushLimit)) throw std::length_error("brush size limit");
}

// Create steps 4 to 8, shared with new size: every brush-sized buffer, then
// the mask and the two back buffers. The blend buffer is zeroed only by create.
void MakeBuffers(bool zeroBlendBuffer) {
  Engine& e = engine();
  const int32_t w = e.canvas.width;
  const int32_t h = e.canvas.height;
  const int32_t limit = e.canvas.brushLimit;
  const size_t gritBytes = CheckedCount(limit + brush::kGritMargin, limit + brush::kGritMargin);
  for (Buffer<uint8_t>& grit : e.brush.grit) grit = Buffer<uint8_t>::Make(gritBytes);
  e.brush.tip = Buffer<Mask16>::Make(CheckedCount(limit, limit));
  e.brush.blendBuffer = zeroBlendBuffer ? Buffer<Pixel64>::MakeBytes(CheckedCount(limit, limit), 0)
                                        : Buffer<Pixel64>::Make(CheckedCount(limit, limit));
  e.canvas.blendFilterStride = limit * 4;
  e.mask.values = Buffer<Mask16>::MakeBytes(CheckedCount(w, h), 0xFF);
  e.mask.rowStride = w * 2;
  e.mask.enabled = 1;
  e.display.tracingMode = 0;
  e.undo.back = Buffer<Pixel64>::Make(CheckedCount(w, h));
  e.undo.maskBack = Buffer<Mask16>::Make(CheckedCount(w, h));
}

void BuildGritTables() {
  Engine& e = engine();
  BuildRandomTable(e.brush.gritDecision, 255, brush::kGritTableLength);
  BuildRandomTable(e.brush.gritLevel, 254, brush::kGritTableLength);
}

// What new size and delete release from the brush side: the blend buffer,
// the paint layer, the tip, the cached shape source and the grit buffers.
void ReleaseBrushBuffers() {
  Engine& e = engine();
  e.brush.blendBuffer.Reset();
  e.layers.paint.pixels.Reset();
  e.brush.tip.Reset();
  e.brush.shapeSourceCache.Reset();
  for (Buffer<uint8_t>& grit : e.brush.grit) grit.Reset();
}

// Mask, texture and back buffers, then the undo slots and their accounting.
void ReleaseCanvasBuffersAndUndo() {
  Engine& e = engine();
  e.mask.values.Reset();
  e.layers.texture.Reset();
  e.undo.back.Reset();
  e.undo.maskBack.Reset();
  history::ResetSlots();
  history::ClearUndo();
  e.undo.usageKb = 0;
}

void ReleaseEverything() {
  ReleaseCanvasBuffersAndUndo();
  ReleaseBrushBuffers();
  for (int32_t slot = 0; slot < composite::kLayerSlots; ++slot) composite::DeleteLayer(slot);
  engine().work.Release();
  // No canvas, no canvas size: a host buffer "of the canvas's size" is now
  // empty, and nothing may still walk the old one's rows.
  CanvasGeometry& c = engine().canvas;
  c.live = false;
  c.width = c.height = c.rgbaStride = 0;
}

}  // namespace

int32_t ClampSide(int32_t side) noexcept {
  return side < 0 || side > kMaxSide ? kFallbackSide : side;
}

namespace {
// Reports sides that ClampSide replaces, and a brush size limit no buffer
// can hold, before the canvas is made.
void DiagnoseCanvasArguments(const char* where, int32_t width, int32_t height, int32_t brushLimit) {
  if (!DiagnosticsOn()) return;
  if (ClampSide(width) != width)
    Diagnose(where, "width %d outside 0..%d, %d used", width, kMaxSide, kFallbackSide);
  if (ClampSide(height) != height)
    Diagnose(where, "height %d outside 0..%d, %d used", height, kMaxSide, kFallbackSide);
  if (!BrushLimitIsPossible(brushLimit))
    Diagnose(where, "brush size limit %d refused: negative or too large for its buffers",
             brushLimit);
}
}  // namespace

bool BrushLimitIsPossible(int32_t limit) noexcept {
  constexpr int64_t kMaxIndex = INT32_MAX;
  if (limit < 0) return false;
  const int64_t side = int64_t{limit} + brush::kGritMargin;
  return side * side <= kMaxIndex && int64_t{limit} * 4 <= kMaxIndex;
}

bool Live() noexcept {
  return engine().canvas.live;
}

void CreateImage(void* window, int32_t width, int32_t height, int32_t brushLimit,
                 int32_t creationValue) noexcept {
  // The worker threads are made with the first canvas, never per call.
  threads::EnsurePool();
  DiagnoseCanvasArguments("DRO_CreateImage", width, height, brushLimit);
  Guard(Operation::kCreateImage, [&] {
    RequirePossible(brushLimit);
    // A second create without a delete would otherwise keep the earlier
    // canvas's buffers alive next to the new ones.
    Engine& e = engine();
    if (e.canvas.live) ReleaseEverything();
    CanvasGeometry& c = e.canvas;
    c.live = true;
    c.width = ClampSide(width);
    c.height = ClampSide(height);
    c.rgbaStride = c.width * 4;
    c.hostWindow = window;
    c.brushLimit = brushLimit;
    c.brushStride = brushLimit * 4;
    c.creationValue = creationValue;
    e.display.zoomNumerator = e.display.zoomDenominator = 1;
    e.display.offsetX = e.display.offsetY = 0;

    for (composite::LayerRecord& rec : e.layers.slots) rec.pixels.Reset();
    e.layers.current = nullptr;

    MakeBuffers(/*zeroBlendBuffer=*/true);
    e.display.traceLayer = 0;
    history::ClearUndo();
    e.undo.usageKb = history::BackBufferKilobytes(c.width, c.height);
    BuildGritTables();
    e.work.Release();
  });
}

void NewSize(void* window, int32_t width, int32_t height, int32_t brushLimit,
             int32_t creationValue) noexcept {
  DiagnoseCanvasArguments("DRO_NewSize", width, height, brushLimit);
  Guard(Operation::kNewSize, [&] {
    RequirePossible(brushLimit);
    Engine& e = engine();
    CanvasGeometry& c = e.canvas;
    c.live = true;
    c.height = ClampSide(height);
    c.hostWindow = window;
    c.width = ClampSide(width);

    ReleaseCanvasBuffersAndUndo();
    ReleaseBrushBuffers();
    e.work.Release();

    c.rgbaStride = c.width * 4;
    c.brushStride = brushLimit * 4;
    c.brushLimit = brushLimit;
    c.creationValue = creationValue;
    e.display.zoomNumerator = e.display.zoomDenominator = 1;
    e.display.offsetX = e.display.offsetY = 0;

    MakeBuffers(/*zeroBlendBuffer=*/false);
    history::ClearUndo();
    e.undo.usageKb = history::BackBufferKilobytes(c.width, c.height);
    BuildGritTables();
  });
}

void DeleteImage() noexcept {
  Guard(Operation::kDeleteImage, [] { ReleaseEverything(); });
}

void SetUndoLevels(int32_t count) noexcept {
  history::ClearUndo();
  engine().undo.levels = std::clamp(count, 0, kMaxUndoLevels);
}

}  // namespace dro::canvas
