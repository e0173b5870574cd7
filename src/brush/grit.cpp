#include "brush/grit.h"

#include <algorithm>

#include "base/canvas_state.h"
#include "base/random.h"
#include "brush/brush_state.h"
#include "brush/settings.h"
#include "brush/source_picture.h"
#include "platform/image_library.h"

namespace dro::brush {
namespace {

// All 20 buffers exist and hold (L + 25)^2 bytes.
bool GritBuffersReady() noexcept {
  const CanvasGeometry& geometry = Geometry();
  const BrushState& brushState = State();
  const int64_t side = int64_t{geometry.brushLimit} + kGritMargin;
  for (const Buffer<uint8_t>& grit : brushState.grit) {
    if (!grit || grit.size() < static_cast<size_t>(side * side)) return false;
  }
  return true;
}

bool TableReady(const RandomTable& table) noexcept {
  return table.data && table.length == kGritTableLength &&
         table.data.size() >= static_cast<size_t>(kGritTableLength);
}

// A read cursor into a grit table. A cell row may need more bytes than are
// left after its random start, so reads wrap round to the table's start
// instead of running off its end.
class TableCursor {
 public:
  TableCursor(const uint8_t* table, uint32_t length, uint32_t start) noexcept
      : table_(table), length_(length), at_(start % length) {}
  uint8_t Next() noexcept {
    const uint8_t value = table_[at_];
    if (++at_ == length_) at_ = 0;
    return value;
  }

 private:
  const uint8_t* table_;
  uint32_t length_;
  uint32_t at_;
};

// Grit pictures are rendered as 600 x 600 tiles of what a script draws.
constexpr int32_t kScriptGritSide = 600;

// Copies a random (S + 25)-pixel window of a grey picture into each grit
// buffer, seen as an L x L picture at stride L (so a window wider than L is
// clipped). A picture not larger than the window in both directions leaves
// the buffers as they were.
bool FillGritFromGrey(const uint8_t* grey, int32_t width, int32_t height) {
  const CanvasGeometry& geometry = Geometry();
  BrushState& b = State();
  RandomState& randomState = Random();
  const int32_t side = BrushSize() + kGritMargin;
  const int32_t spanX = width - side;
  const int32_t spanY = height - side;
  if (spanX <= 0 || spanY <= 0) return false;
  const int32_t limit = geometry.brushLimit;
  RuntimeRandom& rng = randomState.generator;
  for (int32_t k = 0; k < kGritBuffers; ++k) {
    Buffer<uint8_t>& buffer = b.grit[k];
    buffer.FillBytes(255);
    b.currentGrit = k;
    b.currentGritOffset = 0;
    const int32_t x = rng.Next() % spanX;
    const int32_t y = rng.Next() % spanY;
    const uint8_t* window = grey + static_cast<size_t>(y) * width + x;
    platform::image::OverlayImage(buffer.data(), limit, limit, 1, limit, window, side, side, width,
                                  0, 0, 1.0, 0);
  }
  b.drawingLengthCounter = b.drawingLength;
  return true;
}

// A script's picture is one tile, repeated over a 600 x 600 picture that is
// then turned to grey.
bool GreyFromTile(const platform::image::Picture& tile, Buffer<uint8_t>& grey) {
  constexpr int32_t side = kScriptGritSide;
  Buffer<uint8_t> tiled = Buffer<uint8_t>::MakeBytes(RgbaBytes(side, side), 0);
  const int32_t w = tile.width;
  const int32_t h = tile.height;
  for (int32_t y = 0; y < side; y += h) {
    for (int32_t x = 0; x < side; x += w) {
      platform::image::OverlayImage(tiled.data(), side, side, 4, side * 4, tile.pixels.data(), w, h,
                                    w * 4, x, y, 1.0, 0);
    }
  }
  grey = Buffer<uint8_t>::Make(CheckedCount(side, side));
  return platform::image::ImageToGray8(tiled.data(), side, side, 4, side * 4, grey.data(), side);
}

}  // namespace

bool MakeGritFromSource(const char* path) {
  if (!path || !GritBuffersReady()) return false;
  platform::image::Picture picture;
  Buffer<uint8_t> grey;
  bool isScript = false;
  if (RenderScriptPicture(path, picture, isScript)) {
    if (!GreyFromTile(picture, grey)) return false;
    return FillGritFromGrey(grey.data(), kScriptGritSide, kScriptGritSide);
  }
  if (isScript) return false;  // a script that failed is not read as an image
  if (!ReadRgbaPicture(path, picture)) return false;
  const int32_t w = picture.width;
  const int32_t h = picture.height;
  grey = Buffer<uint8_t>::Make(CheckedCount(w, h));
  if (!platform::image::ImageToGray8(picture.pixels.data(), w, h, 4, w * 4, grey.data(), w)) {
    return false;
  }
  return FillGritFromGrey(grey.data(), w, h);
}

bool MakeRandomGrit() noexcept {
  const CanvasGeometry& geometry = Geometry();
  BrushState& b = State();
  RandomState& randomState = Random();
  const int32_t cell = b.gritCellSize;
  if (cell <= 0 || !GritBuffersReady() || !TableReady(b.gritDecision) || !TableReady(b.gritLevel)) {
    return false;
  }
  const int64_t side = int64_t{BrushSize()} + kGritMargin;
  const int64_t stride = geometry.brushLimit;
  const uint32_t length = static_cast<uint32_t>(kGritTableLength);
  // The start spacing of each row's cursors, as unsigned 32-bit quotients;
  // for huge cells the difference wraps, which the cursor's modulo absorbs.
  const uint32_t cellU = static_cast<uint32_t>(cell);
  const uint32_t decisionStep = (length - 2u * cellU) / 32767u;
  const uint32_t levelStep = (length - cellU) / 32767u;
  const int32_t cellThreshold = b.gritCellThreshold;
  const int32_t pixelThreshold = b.gritPixelThreshold;
  RuntimeRandom& rng = randomState.generator;

  for (int32_t k = 0; k < kGritBuffers; ++k) {
    b.currentGrit = k;
    b.currentGritOffset = 0;
    Buffer<uint8_t>& buffer = b.grit[k];
    buffer.FillBytes(255);
    uint8_t* out = buffer.data();
    for (int64_t y = 0; y < side; y += cell) {
      const uint32_t r1 = static_cast<uint32_t>(rng.Next());
      TableCursor decision(b.gritDecision.data.data(), length, r1 * decisionStep);
      const uint32_t r2 = static_cast<uint32_t>(rng.Next());
      TableCursor level(b.gritLevel.data.data(), length, r2 * levelStep);
      // Pixels past the (S + 25) square draw no decision byte.
      const int64_t rows = std::min<int64_t>(cell, side - y);
      for (int64_t x = 0; x < side; x += cell) {
        if (decision.Next() >= cellThreshold) continue;
        const uint8_t cellLevel = level.Next();
        const int64_t columns = std::min<int64_t>(cell, side - x);
        for (int64_t i = 0; i < rows; ++i) {
          uint8_t* row = out + (y + i) * stride + x;
          for (int64_t j = 0; j < columns; ++j) {
            if (decision.Next() < pixelThreshold) row[j] = cellLevel;
          }
        }
      }
    }
  }
  b.drawingLengthCounter = b.drawingLength;
  return true;
}

}  // namespace dro::brush
