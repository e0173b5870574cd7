#include "engine/engine.h"

#include "composite/layers.h"
#include "history/undo_store.h"
#include "imaging/effect_details.h"
#include "script/lua_filter.h"

namespace dro {
namespace {

// The "Lua Filter" effect: the fifteen values go whole to the filter host,
// mode and opt1 as the two styles and the low bytes of opt2..opt7 as the
// six flags.
void RunLuaFilterEffect(const imaging::EffectArgs& a) {
  script::FilterValues values;
  values.sliders = a.p;
  values.styles = {a.mode, a.opt1};
  for (size_t i = 0; i < 6; ++i) values.flags[i] = uint8_t(a.opt[i] & 255);
  script::LuaFilterRun(a.path, values, engine().frame.startDir);
}

}  // namespace

Engine& engine() noexcept {
  // Constructed on first use and deliberately never destroyed: hosts may call
  // into the library from their own static destructors. The subsystems are
  // wired together once, before any of them runs: the layer allocator may
  // ask the undo store for memory.
  static Engine* const instance = [] {
    composite::SetMemoryReclaimer(&history::ReclaimForLayers);
    imaging::effects::SetLuaFilterRunner(&RunLuaFilterEffect);
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

imaging::PatternCache& imaging::Patterns() noexcept {
  return engine().patterns;
}

namespace {
// The engine itself outlives the library's static objects, but the pattern
// cache can hold a picture of hundreds of megabytes: it goes when the
// library unloads. A later call still works (it starts an empty cache).
struct ReleasePatternsAtUnload {
  ~ReleasePatternsAtUnload() { imaging::Patterns().Clear(); }
} releasePatternsAtUnload;
}  // namespace

io::StagingImage& io::Staging() noexcept {
  return engine().staging;
}

}  // namespace dro
