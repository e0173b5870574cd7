#include "brush/grit.h"

#include <algorithm>

#include "brush/settings.h"
#include "engine/engine.h"

namespace dro::brush {
namespace {

// All 20 buffers exist and hold (L + 25)^2 bytes.
bool GritBuffersReady() noexcept {
  const Engine& e = engine();
  const int64_t side = int64_t{e.canvas.brushLimit} + kGritMargin;
  for (const Buffer<uint8_t>& grit : e.brush.grit) {
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

}  // namespace

bool MakeRandomGrit() noexcept {
  Engine& e = engine();
  BrushState& b = e.brush;
  const int32_t cell = b.gritCellSize;
  if (cell <= 0 || !GritBuffersReady() || !TableReady(b.gritDecision) || !TableReady(b.gritLevel)) {
    return false;
  }
  const int64_t side = int64_t{BrushSize()} + kGritMargin;
  const int64_t stride = e.canvas.brushLimit;
  const uint32_t length = static_cast<uint32_t>(kGritTableLength);
  // The start spacing of each row's cursors, as unsigned 32-bit quotients;
  // for huge cells the difference wraps, which the cursor's modulo absorbs.
  const uint32_t cellU = static_cast<uint32_t>(cell);
  const uint32_t decisionStep = (length - 2u * cellU) / 32767u;
  const uint32_t levelStep = (length - cellU) / 32767u;
  const int32_t cellThreshold = b.gritCellThreshold;
  const int32_t pixelThreshold = b.gritPixelThreshold;
  RuntimeRandom& rng = e.random.generator;

  for (int32_t k = 0; k < kGritBuffers; ++k) {
    b.currentGrit = k;
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
