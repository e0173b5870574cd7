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

#include <cstdint>

#include "base/plane.h"
#include "history/undo_state.h"
#include "platform/memory_status.h"

namespace dro::history {

// Kilobytes the two back buffers account for: 10 bytes per canvas pixel.
int32_t BackBufferKilobytes(int32_t width, int32_t height) noexcept;

// Frees every slot's blocks and resets its bookkeeping, as a new canvas size
// or the canvas's deletion needs (the back-buffer record included).
void ResetSlots() noexcept;
// Empties the store and refreshes the back buffers. Guarded ("ClearUndo").
void ClearUndo() noexcept;
// Copies the layer and the mask into the back buffers (when both sides of
// each copy exist and the layer matches the canvas); nothing while paused.
// (`where`: the export whose slot it is, for the diagnostics.)
void SaveUndoBackBuffer(int32_t layer, const char* where = nullptr) noexcept;
// SaveUndoBackBuffer of the slot when it is the current layer: what the
// layer calls that change the current layer's pixels, or which layer is
// current, are followed by.
void SaveUndoBackBufferIfCurrent(int32_t slot) noexcept;
// The layer allocator's reclaimer: drops entries to free about `kilobytes`;
// false when there was nothing to drop or dropping freed no entry.
bool ReclaimForLayers(int32_t kilobytes) noexcept;
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

// The back buffer as a canvas-size plane; empty without a canvas or when
// its size does not match the canvas.
Plane BackBufferOnCanvas() noexcept;
// The colour (R8 G8 B8 from bit 16 down, -1 for alpha 0) of the back buffer
// at (x, y), clamped into the canvas, while there is an entry to undo;
// else 0.
int32_t ColorAtHistory(int32_t x, int32_t y) noexcept;

}  // namespace dro::history
