// The undo store's state: the back buffers and the 500 snapshot slots.
// Plain data; undo_store.h explains the model and holds the operations.
#pragma once

#include <array>
#include <cstdint>

#include "base/allocation.h"
#include "base/types.h"

namespace dro::history {

constexpr int32_t kUndoSlots = 500;

struct UndoSlot {
  Buffer<Pixel64> pixels;  // tight rectangle, or absent
  Buffer<Mask16> mask;     // tight rectangle, or absent
  uint8_t maskEnabled = 0;
  IntRect rect{0, 0, 0, 0};  // inclusive canvas coordinates
  int32_t layer = 0;
  uint64_t layerSerial = 0;  // the layer buffer the pixel block came from

  bool empty() const noexcept { return !pixels && !mask; }
};

struct UndoStore {
  Buffer<Pixel64> back;     // W x H committed current layer
  Buffer<Mask16> maskBack;  // W x H committed mask
  uint8_t backMaskEnabled = 0;
  IntRect backRect{0, 0, 0, 0};

  std::array<UndoSlot, kUndoSlots> slots;  // index 0 the newest
  int32_t levels = 0;
  int32_t redoCount = 0;
  IntRect rect{0, 0, 0, 0};  // changed area since the last save, inclusive
  bool paused = false;

  int32_t usageKb = 0;
  int32_t budgetKb = 0;
  bool automaticBudget = true;
};

// The engine's undo store (the engine aggregate owns it).
UndoStore& Store() noexcept;

}  // namespace dro::history
