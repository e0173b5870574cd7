// The undo and redo store: the back buffers (the committed state of the
// current layer and of the mask) and up to 500 rectangle snapshots.
//
// The host changes a layer and commits with SaveUndoBuffer: the entry takes
// the changed rectangle from the back buffer (the state before) and the back
// buffer takes the new state. Undo and redo are one exchange: the entry's
// block trades places with the layer's rectangle and the back buffer follows
// the layer. Slot 0 is the newest; the first `redoCount` slots hold undone
// changes, the slots after them changes that can be undone.
//
// Memory is accounted in kilobytes: a pixel block of area A counts
// A * 8 / 1024, a mask block A * 2 / 1024, the back buffers 10 bytes per
// canvas pixel; freeing a block subtracts exactly what it added.
#pragma once

#include <array>
#include <cstdint>

#include "engine/allocation.h"
#include "engine/types.h"
#include "platform/memory_status.h"

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

// Commits the change of the undo rectangle (the whole canvas when it is
// empty). Guarded ("SaveUndoBuf").
void SaveUndoBuffer(bool savePixels, bool saveMask) noexcept;
// Drops every undone entry. Guarded ("RemoveAdandonedUndo").
void RemoveAbandonedUndo() noexcept;
void Undo() noexcept;
void Redo() noexcept;
bool CanUndo() noexcept;
bool CanRedo() noexcept;
int32_t RedoCount() noexcept;
// Slots among all 500 holding a block (undone entries included).
int32_t UndoCount() noexcept;
// Drops undone entries, then the oldest entries with pixel blocks until at
// least `kilobytes` were freed. Returns the kilobytes freed.
int32_t ReduceUndo(int32_t kilobytes) noexcept;
void PauseUndo() noexcept;
void ResumeUndo() noexcept;
// 0: automatic budget; otherwise a fixed budget of megabytes x 1024 KB.
// Returns the budget in megabytes.
int32_t SetUndoMB(int32_t megabytes) noexcept;
// The budget (recomputed first in automatic mode), in megabytes.
int32_t TotalUndoMemoryMB() noexcept;
// The usage, in megabytes.
int32_t CurrentUndoMemoryMB() noexcept;

// Test hook: the memory query the automatic budget uses (null restores the
// platform's).
using MemoryQuery = platform::MemoryStatus (*)() noexcept;
void SetMemoryQuery(MemoryQuery query) noexcept;

}  // namespace dro::history
