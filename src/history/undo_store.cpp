#include "history/undo_store.h"

#include <algorithm>
#include <cstring>

#include "engine/engine.h"
#include "engine/guard.h"
#include "platform/memory_status.h"

namespace dro::history {

int32_t BackBufferKilobytes(int32_t width, int32_t height) noexcept {
  return static_cast<int32_t>(int64_t{height} * width * 10 / 1024);
}

void ResetUndoRect() noexcept {
  Engine& e = engine();
  e.undo.rect = IntRect{e.canvas.width - 1, e.canvas.height - 1, 0, 0};
}

void ResetSlots() noexcept {
  Engine& e = engine();
  UndoStore& u = e.undo;
  u.backMaskEnabled = e.mask.enabled;
  u.backRect = IntRect{0, 0, 0, 0};
  for (UndoSlot& s : u.slots) {
    s.pixels.Reset();
    s.mask.Reset();
    s.maskEnabled = e.mask.enabled;
    s.rect = IntRect{0, 0, 0, 0};
  }
}

void SaveUndoBackBuffer(int32_t layer) noexcept {
  Engine& e = engine();
  UndoStore& u = e.undo;
  if (u.paused) return;
  const int32_t w = e.canvas.width;
  const int32_t h = e.canvas.height;
  if (layer >= 0 && layer < composite::kLayerSlots) {
    const composite::LayerRecord& rec = e.layers.slots[layer];
    if (u.back && rec.Matches(w, h) && u.back.size() == rec.pixels.size()) {
      std::memcpy(u.back.data(), rec.pixels.data(), rec.pixels.bytes());
    }
  }
  if (u.maskBack && e.mask.values && u.maskBack.size() == e.mask.values.size()) {
    std::memcpy(u.maskBack.data(), e.mask.values.data(), e.mask.values.bytes());
  }
}

void RecomputeBudget() noexcept {
  Engine& e = engine();
  UndoStore& u = e.undo;
  const platform::MemoryStatus m = platform::QueryMemoryStatus();
  if (!u.automaticBudget) return;
  const uint64_t freeKb = std::min(m.availablePhysical, m.availablePageFile) >> 10;
  const int64_t value = static_cast<int64_t>(static_cast<double>(freeKb) * 0.85 + u.usageKb);
  const int64_t p = int64_t{e.canvas.width} * e.canvas.height / 1024;
  int64_t budget = value - 20 * p;
  if (budget < 15 * p) budget = 15 * p;
  u.budgetKb = static_cast<int32_t>(std::min<int64_t>(budget, INT32_MAX));
}

void ClearUndo() noexcept {
  Guard("ClearUndo", [] {
    Engine& e = engine();
    UndoStore& u = e.undo;
    ResetUndoRect();
    u.paused = false;
    u.redoCount = 0;
    for (UndoSlot& s : u.slots) {
      s.pixels.Reset();
      s.mask.Reset();
      s.maskEnabled = e.mask.enabled;
      s.rect = IntRect{0, 0, 0, 0};
    }
    u.usageKb = BackBufferKilobytes(e.canvas.width, e.canvas.height);
    SaveUndoBackBuffer(e.layers.currentIndex);
    RecomputeBudget();
  });
}

}  // namespace dro::history
