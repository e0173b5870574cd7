// Exports of the undo and redo store, and of what reads its back buffer
// (the committed state of the current layer): colour queries and the
// pick-up into the blend buffer.
#include "brush/blend_buffer.h"
#include "composite/pixel_transfers.h"
#include "drovine.h"
#include "history/undo_store.h"

namespace brush = dro::brush;
namespace composite = dro::composite;
namespace history = dro::history;

void DRO_CALL DRO_SaveUndoBuffer(uint8_t savePixels, uint8_t saveMask) {
  history::SaveUndoBuffer(savePixels != 0, saveMask != 0);
}

void DRO_CALL DRO_SaveUndoBackBuffer(int32_t layer) {
  history::SaveUndoBackBuffer(layer, "DRO_SaveUndoBackBuffer");
}

void DRO_CALL DRO_Undo(void) {
  history::Undo();
}

void DRO_CALL DRO_Redo(void) {
  history::Redo();
}

int32_t DRO_CALL DRO_CanUndo(void) {
  return history::CanUndo() ? 1 : 0;
}

int32_t DRO_CALL DRO_CanRedo(void) {
  return history::CanRedo() ? 1 : 0;
}

int32_t DRO_CALL DRO_GetRedoCount(void) {
  return history::RedoCount();
}

int32_t DRO_CALL DRO_GetUndoCount(void) {
  return history::UndoCount();
}

void DRO_CALL DRO_ClearUndo(void) {
  history::ClearUndo();
}

void DRO_CALL DRO_ReduceUndo(int32_t kilobytes) {
  history::ReduceUndo(kilobytes);
}

void DRO_CALL DRO_PauseUndo(void) {
  history::PauseUndo();
}

void DRO_CALL DRO_ResumeUndo(void) {
  history::ResumeUndo();
}

int32_t DRO_CALL DRO_SetUndoMB(int32_t megabytes) {
  return history::SetUndoMB(megabytes);
}

int32_t DRO_CALL DRO_GetTotalUndoMemory(void) {
  return history::TotalUndoMemoryMB();
}

int32_t DRO_CALL DRO_GetCurrentUndoMemory(void) {
  return history::CurrentUndoMemoryMB();
}

int32_t DRO_CALL DRO_GetRGBAAtUnderLayer(int32_t x, int32_t y) {
  return composite::RgbaAt(history::BackBufferOnCanvas(), x, y);
}

int32_t DRO_CALL DRO_GetColorAtUnderLayer(int32_t x, int32_t y) {
  return composite::ColorAt(history::BackBufferOnCanvas(), x, y);
}

int32_t DRO_CALL DRO_GetColorAtHistory(int32_t x, int32_t y) {
  return history::ColorAtHistory(x, y);
}

int32_t DRO_CALL DRO_CopyBlendBufferUnderLayer(int32_t x, int32_t y, int32_t weight) {
  return brush::CopyBlendBuffer(x, y, history::BackBufferOnCanvas(), weight, false);
}

int32_t DRO_CALL DRO_CopyBlendBufferHistory(int32_t x, int32_t y, int32_t weight) {
  return brush::CopyBlendBuffer(x, y, history::BackBufferOnCanvas(), weight, false);
}
