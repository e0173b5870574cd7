// Exports of the undo and redo store.
#include "drovine.h"
#include "history/undo_store.h"

namespace history = dro::history;

void DRO_CALL DRO_SaveUndoBuffer(uint8_t savePixels, uint8_t saveMask) {
  history::SaveUndoBuffer(savePixels != 0, saveMask != 0);
}

void DRO_CALL DRO_SaveUndoBackBuffer(int32_t layer) {
  history::SaveUndoBackBuffer(layer);
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
