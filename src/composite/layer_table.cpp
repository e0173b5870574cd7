// The table itself: slot checks, lookups, the layer top, and the record
// fields shared by layers and the paint layer.
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "composite/blend_modes.h"
#include "composite/layer_state.h"
#include "composite/layers.h"

namespace dro::composite {

bool ValidSlot(int32_t slot) noexcept {
  return slot >= 0 && slot < kLayerSlots;
}

void DeleteLayer(int32_t slot) noexcept {
  if (!ValidSlot(slot)) {
    DiagnoseUnusableSlot("DRO_DeleteLayer", slot);
    return;
  }
  Guard(Operation::kDeleteLayer, [&] {
    LayerRecord& rec = Layers().slots[slot];
    if (!rec.pixels) return;
    rec.pixels.Reset();
    rec.serial = 0;
    RecomputeLayerTop();
  });
}

int32_t CountLayers() noexcept {
  int32_t n = 0;
  for (const LayerRecord& r : Layers().slots) n += r.pixels ? 1 : 0;
  return n;
}

LayerRecord* LayerWithPixels(int32_t slot) noexcept {
  if (!ValidSlot(slot)) return nullptr;
  LayerRecord& rec = Layers().slots[slot];
  return rec.pixels ? &rec : nullptr;
}

LayerRecord* CanvasLayer(int32_t slot) noexcept {
  LayerRecord* rec = LayerWithPixels(slot);
  const CanvasGeometry& c = Geometry();
  return rec && rec->Matches(c.width, c.height) &&
                 rec->pixels.size() == static_cast<size_t>(c.width) * static_cast<size_t>(c.height)
             ? rec
             : nullptr;
}

LayerRecord* LayerWithPixels(int32_t slot, const char* where) noexcept {
  LayerRecord* rec = LayerWithPixels(slot);
  if (!rec && where) DiagnoseUnusableSlot(where, slot);
  return rec;
}

LayerRecord* CanvasLayer(int32_t slot, const char* where) noexcept {
  LayerRecord* rec = CanvasLayer(slot);
  if (!rec && where) DiagnoseUnusableSlot(where, slot);
  return rec;
}

LayerRecord* CurrentCanvasLayer() noexcept {
  const LayerState& l = Layers();
  return l.current ? CanvasLayer(l.currentIndex) : nullptr;
}

const Pixel64* LayerMaskFor(int32_t slot) noexcept {
  const LayerState& l = Layers();
  if (!ValidSlot(slot)) return nullptr;
  for (int32_t n = slot + 1; n <= l.layerTop && n < kLayerSlots; ++n) {
    const LayerRecord* rec = CanvasLayer(n);
    if (!rec || !rec->visible) continue;
    return rec->mode == kModeLayerMask ? rec->pixels.data() : nullptr;
  }
  return nullptr;
}

void RecomputeLayerTop() noexcept {
  LayerState& l = Layers();
  l.layerTop = 1;
  for (int32_t n = 1; n < kLayerSlots; ++n) {
    if (l.slots[n].pixels) l.layerTop = n;
  }
}

uint16_t OpacityFromPercent(int32_t percent) noexcept {
  const int32_t p = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  // 2.56 as a double is a hair above 2.56, so whole percents never truncate
  // one short (100 gives 256).
  return static_cast<uint16_t>(static_cast<int32_t>(p * 2.56));
}

void DiagnoseUnusableSlot(const char* where, int32_t slot) noexcept {
  if (!DiagnosticsOn()) return;
  const CanvasGeometry& c = Geometry();
  if (!ValidSlot(slot)) {
    Diagnose(where, "slot %d outside 0..63", slot);
  } else if (const LayerRecord& rec = Layers().slots[slot]; !rec.pixels) {
    Diagnose(where, "slot %d holds no pixels (DRO_CreateLayer makes them)", slot);
  } else if (!rec.Matches(c.width, c.height)) {
    Diagnose(where, "slot %d is %d x %d, the canvas %d x %d (DRO_CreateLayer re-makes it)", slot,
             rec.width, rec.height, c.width, c.height);
  }
}

void SetLayerMode(LayerRecord& layer, const char* modeName, const char* where) noexcept {
  constexpr size_t kStoredBelow = 50;
  std::memset(layer.modeName, 0, sizeof layer.modeName);
  if (modeName) {
    const size_t n = strnlen(modeName, kStoredBelow);
    if (n < kStoredBelow) std::memcpy(layer.modeName, modeName, n + 1);
  }
  layer.mode = LookupBlendMode(modeName);
  if (layer.mode == kModeNormal && DiagnosticsOn() &&
      (!modeName || std::strcmp(modeName, BlendModeName(kModeNormal)) != 0))
    Diagnose(where, "blend mode \"%s\" unknown, \"Normal\" used", modeName ? modeName : "(null)");
  if (modeName && strnlen(modeName, kStoredBelow) >= kStoredBelow && DiagnosticsOn())
    Diagnose(where, "blend mode name of 50 or more characters not stored");
}

}  // namespace dro::composite
