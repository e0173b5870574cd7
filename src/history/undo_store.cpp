#include "history/undo_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/canvas_state.h"
#include "base/guard.h"
#include "base/rect_clip.h"
#include "composite/layer_state.h"
#include "composite/layers.h"
#include "composite/pixel_transfers.h"
#include "history/undo_state.h"
#include "mask/mask_state.h"
#include "platform/memory_status.h"

namespace dro::history {
namespace {

int64_t Area(const IntRect& r) noexcept {
  return (int64_t{r.x1} - r.x0 + 1) * (int64_t{r.y1} - r.y0 + 1);
}

int32_t PixelBlockKb(int64_t area) noexcept {
  return static_cast<int32_t>(area * 8 / 1024);
}
int32_t MaskBlockKb(int64_t area) noexcept {
  return static_cast<int32_t>(area * 2 / 1024);
}

void AddUsage(int32_t kb) noexcept {
  UndoStore& u = Store();
  u.usageKb = static_cast<int32_t>(std::min<int64_t>(int64_t{u.usageKb} + kb, INT32_MAX));
}
void SubtractUsage(int32_t kb) noexcept {
  UndoStore& u = Store();
  u.usageKb = std::max(u.usageKb - kb, 0);
}

// Frees the pixel block alone; returns the kilobytes given back.
int32_t FreePixelBlock(UndoSlot& s) noexcept {
  if (!s.pixels) return 0;
  const int32_t kb = PixelBlockKb(Area(s.rect));
  s.pixels.Reset();
  SubtractUsage(kb);
  return kb;
}

// Frees both blocks and clears the slot; returns the kilobytes given back.
int32_t FreeSlot(UndoSlot& s) noexcept {
  int32_t kb = FreePixelBlock(s);
  if (s.mask) {
    const int32_t maskKb = MaskBlockKb(Area(s.rect));
    s.mask.Reset();
    SubtractUsage(maskKb);
    kb += maskKb;
  }
  s.maskEnabled = mask::State().enabled;
  s.rect = IntRect{0, 0, 0, 0};
  s.layer = 0;
  s.layerSerial = 0;
  return kb;
}

// Removes slot i, moving the older slots one place younger.
void RemoveSlot(int32_t i) noexcept {
  UndoStore& u = Store();
  FreeSlot(u.slots[i]);
  for (int32_t k = i; k + 1 < u.levels; ++k) u.slots[k] = std::move(u.slots[k + 1]);
  if (u.levels > 0 && i < u.levels) FreeSlot(u.slots[u.levels - 1]);
}

// Moves the entries towards slot 0 over empty slots, keeping their order.
void Compact() noexcept {
  UndoStore& u = Store();
  int32_t to = 0;
  for (int32_t from = 0; from < u.levels; ++from) {
    if (u.slots[from].empty()) continue;
    if (from != to) {
      u.slots[to] = std::move(u.slots[from]);
      FreeSlot(u.slots[from]);
    }
    ++to;
  }
}

// Copies a w x h rectangle between element buffers of the given widths
// (elements per row), clipped to both; plain rows of memcpy.
template <class T>
void CopyRect(T* dst, int32_t dstWidth, int32_t dstHeight, int32_t dx, int32_t dy, const T* src,
              int32_t srcWidth, int32_t srcHeight, int32_t sx, int32_t sy, int32_t w,
              int32_t h) noexcept {
  // Clip the rectangle against both buffers at once.
  const int64_t left = std::max<int64_t>({0, -int64_t{dx}, -int64_t{sx}});
  const int64_t top = std::max<int64_t>({0, -int64_t{dy}, -int64_t{sy}});
  const int64_t right =
      std::min<int64_t>({int64_t{w}, int64_t{dstWidth} - dx, int64_t{srcWidth} - sx});
  const int64_t bottom =
      std::min<int64_t>({int64_t{h}, int64_t{dstHeight} - dy, int64_t{srcHeight} - sy});
  if (left >= right || top >= bottom) return;
  const size_t bytes = static_cast<size_t>(right - left) * sizeof(T);
  for (int64_t row = top; row < bottom; ++row) {
    std::memcpy(dst + (dy + row) * dstWidth + dx + left, src + (sy + row) * srcWidth + sx + left,
                bytes);
  }
}

template <class T>
Buffer<T> TryMake(int64_t count) noexcept {
  try {
    return Buffer<T>::Make(static_cast<size_t>(count));
  } catch (...) {
    return {};
  }
}

bool CanvasSized(size_t elements) noexcept {
  const CanvasGeometry& c = Geometry();
  return elements == static_cast<size_t>(c.width) * static_cast<size_t>(c.height);
}

bool MaskUsable() noexcept {
  const mask::MaskState& maskState = mask::State();
  const UndoStore& undoStore = Store();
  return maskState.values && undoStore.maskBack && CanvasSized(maskState.values.size()) &&
         CanvasSized(undoStore.maskBack.size());
}

// The slot whose canvas-size layer holds the pixels an entry was taken
// from: the recorded slot while it still holds that buffer, else wherever a
// swap moved it; -1 when the buffer is gone (deleted, or re-made at
// another size).
int32_t EntryLayer(const UndoSlot& s) noexcept {
  const composite::LayerRecord* rec = composite::CanvasLayer(s.layer);
  if (rec && (s.layerSerial == 0 || rec->serial == s.layerSerial)) return s.layer;
  if (s.layerSerial == 0) return -1;
  for (int32_t n = 0; n < composite::kLayerSlots; ++n) {
    rec = composite::CanvasLayer(n);
    if (rec && rec->serial == s.layerSerial) return n;
  }
  return -1;
}

bool Usable(const UndoSlot& s) noexcept {
  const bool pixels =
      s.pixels && Store().back && CanvasSized(Store().back.size()) && EntryLayer(s) >= 0;
  return pixels || (s.mask && MaskUsable());
}

// Makes entry i ready to apply: a pixel block whose layer is gone is
// dropped (with a mask block it may still stand alone). False when nothing
// of the entry is left to apply.
bool Resolve(int32_t i) noexcept {
  UndoSlot& s = Store().slots[i];
  if (s.pixels) {
    const int32_t layer = Store().back && CanvasSized(Store().back.size()) ? EntryLayer(s) : -1;
    if (layer < 0) {
      FreePixelBlock(s);
    } else {
      s.layer = layer;
    }
  }
  if (s.mask && !MaskUsable()) {
    s.mask.Reset();
    SubtractUsage(MaskBlockKb(Area(s.rect)));
  }
  return !s.empty();
}

// The block takes the layer's rectangle, the layer the block's, and the
// back buffer agrees with the layer again.
template <class T>
void Exchange(T* block, T* layer, T* back, const IntRect& r, int32_t canvasWidth) noexcept {
  const int32_t w = r.x1 - r.x0 + 1;
  const size_t bytes = static_cast<size_t>(w) * sizeof(T);
  for (int32_t row = 0; row < r.y1 - r.y0 + 1; ++row) {
    const int64_t at = (int64_t{r.y0} + row) * canvasWidth + r.x0;
    T* b = block + int64_t{row} * w;
    std::memcpy(layer + at, b, bytes);
    std::memcpy(b, back + at, bytes);
    std::memcpy(back + at, layer + at, bytes);
  }
}

void Apply(UndoSlot& s) noexcept {
  const CanvasGeometry& geometry = Geometry();
  const composite::LayerState& layerState = composite::Layers();
  mask::MaskState& maskState = mask::State();
  UndoStore& undoStore = Store();
  if (s.pixels) {
    if (!layerState.current || layerState.currentIndex != s.layer) {
      if (composite::SetLayer(s.layer)) SaveUndoBackBuffer(s.layer);
    }
    composite::LayerRecord* layer = composite::CanvasLayer(s.layer);
    if (layer) {
      Exchange(s.pixels.data(), layer->pixels.data(), undoStore.back.data(), s.rect,
               geometry.width);
    }
  }
  if (s.mask) {
    Exchange(s.mask.data(), maskState.values.data(), undoStore.maskBack.data(), s.rect,
             geometry.width);
  }
}

}  // namespace

int32_t BackBufferKilobytes(int32_t width, int32_t height) noexcept {
  return static_cast<int32_t>(int64_t{height} * width * 10 / 1024);
}

void ResetUndoRect() noexcept {
  const CanvasGeometry& geometry = Geometry();
  UndoStore& undoStore = Store();
  undoStore.rect = IntRect{geometry.width - 1, geometry.height - 1, 0, 0};
}

void ResetSlots() noexcept {
  const mask::MaskState& maskState = mask::State();
  UndoStore& u = Store();
  u.backMaskEnabled = maskState.enabled;
  u.backRect = IntRect{0, 0, 0, 0};
  for (UndoSlot& s : u.slots) FreeSlot(s);
}

void SaveUndoBackBuffer(int32_t layer, const char* where) noexcept {
  mask::MaskState& maskState = mask::State();
  UndoStore& u = Store();
  if (u.paused) return;
  const composite::LayerRecord* rec = composite::CanvasLayer(layer, where);
  if (u.back && rec && u.back.size() == rec->pixels.size()) {
    std::memcpy(u.back.data(), rec->pixels.data(), rec->pixels.bytes());
  }
  if (u.maskBack && maskState.values && u.maskBack.size() == maskState.values.size()) {
    std::memcpy(u.maskBack.data(), maskState.values.data(), maskState.values.bytes());
  }
}

void SaveUndoBackBufferIfCurrent(int32_t slot) noexcept {
  const composite::LayerState& layers = composite::Layers();
  if (layers.current && layers.currentIndex == slot) SaveUndoBackBuffer(slot);
}

bool ReclaimForLayers(int32_t kilobytes) noexcept {
  const int32_t before = UndoCount();
  if (before == 0) return false;
  ReduceUndo(kilobytes);
  return UndoCount() != before;
}

Plane BackBufferOnCanvas() noexcept {
  const CanvasGeometry& canvas = Geometry();
  UndoStore& u = Store();
  if (!canvas.HasPixels() || !CanvasSized(u.back.size())) return {};
  return Plane{u.back.data(), canvas.width, canvas.height, canvas.width};
}

int32_t ColorAtHistory(int32_t x, int32_t y) noexcept {
  return CanUndo() ? composite::ColorAt(BackBufferOnCanvas(), x, y) : 0;
}

void RecomputeBudget() noexcept {
  const CanvasGeometry& geometry = Geometry();
  UndoStore& u = Store();
  const platform::MemoryStatus m = platform::QueryMemoryStatus();
  if (!u.automaticBudget) return;
  const uint64_t freeKb = std::min(m.availablePhysical, m.availablePageFile) >> 10;
  const int64_t value = static_cast<int64_t>(static_cast<double>(freeKb) * 0.85 + u.usageKb);
  const int64_t p = int64_t{geometry.width} * geometry.height / 1024;
  int64_t budget = value - 20 * p;
  if (budget < 15 * p) budget = 15 * p;
  u.budgetKb = static_cast<int32_t>(std::min<int64_t>(budget, INT32_MAX));
}

void ClearUndo() noexcept {
  Guard(Operation::kClearUndo, [] {
    const CanvasGeometry& geometry = Geometry();
    const composite::LayerState& layerState = composite::Layers();
    const mask::MaskState& maskState = mask::State();
    UndoStore& u = Store();
    ResetUndoRect();
    u.paused = false;
    u.redoCount = 0;
    for (UndoSlot& s : u.slots) {
      s.pixels.Reset();
      s.mask.Reset();
      s.maskEnabled = maskState.enabled;
      s.rect = IntRect{0, 0, 0, 0};
      s.layer = 0;
      s.layerSerial = 0;
    }
    u.usageKb = BackBufferKilobytes(geometry.width, geometry.height);
    SaveUndoBackBuffer(layerState.currentIndex);
    RecomputeBudget();
  });
}

void RemoveAbandonedUndo() noexcept {
  Guard(Operation::kRemoveAbandonedUndo, [] {
    UndoStore& u = Store();
    const int32_t r = std::min(u.redoCount, u.levels);
    if (r <= 0) {
      u.redoCount = 0;
      return;
    }
    for (int32_t i = 0; i < r; ++i) FreeSlot(u.slots[i]);
    for (int32_t from = r; from < u.levels; ++from) {
      u.slots[from - r] = std::move(u.slots[from]);
      FreeSlot(u.slots[from]);
    }
    u.redoCount = 0;
  });
}

void SaveUndoBuffer(bool savePixels, bool saveMask) noexcept {
  Guard(Operation::kSaveUndoBuffer, [&] {
    const CanvasGeometry& geometry = Geometry();
    const composite::LayerState& layerState = composite::Layers();
    mask::MaskState& maskState = mask::State();
    UndoStore& u = Store();
    if (u.paused) return;
    const int32_t width = geometry.width;
    const int32_t height = geometry.height;
    const IntRect& changed = u.rect;
    const ClippedRect clipped =
        ClipRect(changed.x0, changed.y0, int64_t{changed.x1} - changed.x0 + 1,
                 int64_t{changed.y1} - changed.y0 + 1, width, height);
    RemoveAbandonedUndo();
    // Changes nobody measured (anything but dabs) are saved as the whole
    // canvas; so is a rectangle one pixel wide or high.
    IntRect r{0, 0, width - 1, height - 1};
    if (clipped.width() > 1 && clipped.height() > 1) {
      r = IntRect{static_cast<int32_t>(clipped.x0), static_cast<int32_t>(clipped.y0),
                  static_cast<int32_t>(clipped.x1 - 1), static_cast<int32_t>(clipped.y1 - 1)};
    }
    const int32_t w = r.x1 - r.x0 + 1;
    const int32_t h = r.y1 - r.y0 + 1;
    if (w < 1 || h < 1) return;

    composite::LayerRecord* layer = composite::CurrentCanvasLayer();
    const bool pixels = savePixels && layer && u.back && CanvasSized(u.back.size());
    const bool mask = saveMask && MaskUsable();
    // Nothing to keep: an empty entry would only hide the older ones.
    if (!pixels && !mask) {
      ResetUndoRect();
      return;
    }

    RecomputeBudget();
    const int64_t area = int64_t{w} * h;
    const int64_t entryKb = area * 10 / 1024;
    Buffer<Pixel64> pixelBlock;
    Buffer<Mask16> maskBlock;
    bool complete = false;
    // Oldest first: the last slot always goes, older entries go while the
    // new one does not fit the budget, and slot 0 tries whatever the budget.
    for (int32_t n = u.levels - 1; n >= 0 && !complete; --n) {
      FreeSlot(u.slots[n]);
      if (int64_t{u.usageKb} + entryKb >= u.budgetKb && n != 0) continue;
      if (pixels && !pixelBlock) {
        pixelBlock = TryMake<Pixel64>(area);
        if (pixelBlock) AddUsage(PixelBlockKb(area));
      }
      if (mask && !maskBlock) {
        maskBlock = TryMake<Mask16>(area);
        if (maskBlock) AddUsage(MaskBlockKb(area));
      }
      complete = (!pixels || pixelBlock) && (!mask || maskBlock);
    }

    if (complete) {
      for (int32_t k = u.levels - 1; k >= 1; --k) u.slots[k] = std::move(u.slots[k - 1]);
      UndoSlot& s = u.slots[0];
      s.pixels = std::move(pixelBlock);
      s.mask = std::move(maskBlock);
      s.maskEnabled = maskState.enabled;
      s.rect = r;
      s.layer = layerState.currentIndex;
      s.layerSerial = pixels ? layer->serial : 0;
      if (s.pixels) {
        CopyRect(s.pixels.data(), w, h, 0, 0, u.back.data(), width, height, r.x0, r.y0, w, h);
      }
      if (s.mask) {
        CopyRect(s.mask.data(), w, h, 0, 0, u.maskBack.data(), width, height, r.x0, r.y0, w, h);
      }
    } else {
      if (pixelBlock) SubtractUsage(PixelBlockKb(area));
      if (maskBlock) SubtractUsage(MaskBlockKb(area));
      // Every slot was given up and the block still could not be had: the
      // change is committed below without an entry, and the host must hear
      // that it cannot be undone.
      RecordFailure(Operation::kSaveUndoBuffer, "out of memory for the undo entry");
    }
    // Whether or not an entry was recorded, the rectangle is now committed.
    if (pixels) {
      CopyRect(u.back.data(), width, height, r.x0, r.y0, layer->pixels.data(), width, height, r.x0,
               r.y0, w, h);
    }
    if (mask) {
      CopyRect(u.maskBack.data(), width, height, r.x0, r.y0, maskState.values.data(), width, height,
               r.x0, r.y0, w, h);
    }
    ResetUndoRect();
  });
}

void Undo() noexcept {
  UndoStore& u = Store();
  if (u.paused) return;
  for (;;) {
    const int32_t r = u.redoCount;
    if (r >= u.levels || u.slots[r].empty()) return;
    if (Resolve(r)) break;
    RemoveSlot(r);
  }
  Apply(u.slots[u.redoCount]);
  ++u.redoCount;
}

void Redo() noexcept {
  UndoStore& u = Store();
  if (u.paused) return;
  for (;;) {
    if (u.redoCount <= 0) return;
    if (Resolve(u.redoCount - 1)) break;
    RemoveSlot(u.redoCount - 1);
    --u.redoCount;
  }
  --u.redoCount;
  Apply(u.slots[u.redoCount]);
}

bool CanUndo() noexcept {
  const UndoStore& u = Store();
  for (int32_t i = std::max(u.redoCount, 0); i < u.levels && !u.slots[i].empty(); ++i) {
    if (Usable(u.slots[i])) return true;
  }
  return false;
}

bool CanRedo() noexcept {
  return Store().redoCount != 0;
}

int32_t RedoCount() noexcept {
  return Store().redoCount;
}

int32_t UndoCount() noexcept {
  int32_t n = 0;
  for (const UndoSlot& s : Store().slots) n += s.empty() ? 0 : 1;
  return n;
}

int32_t ReduceUndo(int32_t kilobytes) noexcept {
  RemoveAbandonedUndo();
  UndoStore& u = Store();
  int32_t freed = 0;
  for (int32_t n = u.levels - 1; n >= 0; --n) {
    UndoSlot& s = u.slots[n];
    if (!s.pixels) continue;
    if (freed >= kilobytes) break;
    freed += FreeSlot(s);
  }
  // Entries kept (mask-only ones) close up, so none hides behind a gap.
  Compact();
  return freed;
}

void PauseUndo() noexcept {
  Store().paused = true;
}

void ResumeUndo() noexcept {
  Store().paused = false;
}

int32_t SetUndoMB(int32_t megabytes) noexcept {
  UndoStore& u = Store();
  if (megabytes == 0) {
    u.automaticBudget = true;
    RecomputeBudget();
  } else {
    u.automaticBudget = false;
    u.budgetKb = static_cast<int32_t>(std::clamp<int64_t>(int64_t{megabytes} * 1024, 0, INT32_MAX));
  }
  return u.budgetKb / 1024;
}

int32_t TotalUndoMemoryMB() noexcept {
  RecomputeBudget();
  return Store().budgetKb / 1024;
}

int32_t CurrentUndoMemoryMB() noexcept {
  return Store().usageKb / 1024;
}

}  // namespace dro::history
