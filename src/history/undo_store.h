// The undo and redo store: the back buffers (the committed state of the
// current layer and of the mask) and up to 500 rectangle snapshots.
#pragma once

#include <array>
#include <cstdint>

#include "engine/allocation.h"
#include "engine/types.h"

namespace dro::history {

constexpr int32_t kUndoSlots = 500;

struct UndoSlot {
  Buffer<Pixel64> pixels;  // tight rectangle, or absent
  Buffer<Mask16> mask;     // tight rectangle, or absent
  uint8_t maskEnabled = 0;
  IntRect rect{0, 0, 0, 0};  // inclusive canvas coordinates
  int32_t layer = 0;

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

// Kilobytes the two back buffers account for: 10 bytes per canvas pixel.
int32_t BackBufferKilobytes(int32_t width, int32_t height) noexcept;

// Frees every slot's blocks and resets its bookkeeping, as a new canvas size
// or the canvas's deletion needs (the back-buffer record included).
void ResetSlots() noexcept;
// Empties the store and refreshes the back buffers. Guarded ("ClearUndo").
void ClearUndo() noexcept;
// Copies the layer and the mask into the back buffers (when both sides of
// each copy exist and the layer matches the canvas); nothing while paused.
void SaveUndoBackBuffer(int32_t layer) noexcept;
// Recomputes the automatic budget from free memory.
void RecomputeBudget() noexcept;
// Resets the changed-area rectangle to empty.
void ResetUndoRect() noexcept;

}  // namespace dro::history
