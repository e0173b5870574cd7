#include "engine/engine.h"

#include "composite/layers.h"
#include "history/undo_store.h"

namespace dro {

Engine& engine() noexcept {
  // Constructed on first use and deliberately never destroyed: hosts may call
  // into the library from their own static destructors. The subsystems are
  // wired together once, before any of them runs: the layer allocator may
  // ask the undo store for memory.
  static Engine* const instance = [] {
    composite::SetMemoryReclaimer(&history::ReclaimForLayers);
    return new Engine();
  }();
  return *instance;
}

CanvasGeometry& Geometry() noexcept {
  return engine().canvas;
}
RandomState& Random() noexcept {
  return engine().random;
}
brush::BrushState& brush::State() noexcept {
  return engine().brush;
}
composite::LayerState& composite::Layers() noexcept {
  return engine().layers;
}
composite::DisplayState& composite::Display() noexcept {
  return engine().display;
}
history::UndoStore& history::Store() noexcept {
  return engine().undo;
}
history::StrokeState& history::Stroke() noexcept {
  return engine().stroke;
}
mask::MaskState& mask::State() noexcept {
  return engine().mask;
}
imaging::WorkBuffers& imaging::Work() noexcept {
  return engine().work;
}

imaging::FontState& imaging::Font() noexcept {
  return engine().font;
}

}  // namespace dro
