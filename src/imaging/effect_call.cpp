#include "imaging/effect_call.h"

#include <algorithm>
#include <cstring>

#include "base/canvas_state.h"
#include "base/diagnostics.h"
#include "base/guard.h"
#include "composite/blend_modes.h"
#include "composite/layers.h"
#include "composite/texture.h"
#include "imaging/native_filters.h"
#include "platform/effect_script.h"
#include "platform/image_library.h"

namespace dro::imaging {

// Number 3 (S(x) is the drawing's photo pop factor, drawing.cpp).
double HyperSaturationFactor(double x) noexcept {
  return x > 50.0 ? (x - 50.0) * 0.02 * 9.0 + 1.0 : x * 0.02 * 11.0 - 10.0;
}

EffectCall::EffectCall(const EffectArgs& a, uint8_t* src, uint8_t* dst) noexcept
    : args(a),
      f{},
      // Number 2.
      colour(uint32_t(a.red & 255) | uint32_t(a.green & 255) << 8 | uint32_t(a.blue & 255) << 16),
      width(Geometry().width),
      height(Geometry().height),
      source(src),
      destination(dst) {
  // Number 1: the product in double, then single precision.
  for (size_t i = 0; i < 6; ++i) f[i] = static_cast<float>(a.p[i] * 0.1);
}

int32_t EffectCall::Extent(double v) const noexcept {
  return ClampInt(SaturateToInt32(v), 0, std::max(width, height));
}

void EffectCall::Refresh() noexcept {
  UpdateSource32();
}

void EffectCall::Pre(uint8_t* rgba) noexcept {
  composite::AdjustRgba32PreFilter(rgba, width, height);
}

void EffectCall::Post(uint8_t* rgba) noexcept {
  composite::AdjustRgba32PostFilter(rgba, width, height);
}

void EffectCall::Native(const char* name, int32_t copyFlag, std::array<int32_t, 6> values,
                        int32_t mode, bool options) {
  NativeFilterArgs n;
  n.name = name;
  n.copyFlag = copyFlag;
  n.values = values;
  n.mode = mode;
  if (options) {
    n.opt1 = args.opt1;
    for (size_t i = 0; i < 6; ++i) n.switches[i] = uint8_t(args.opt[i] & 255);
  }
  n.red = args.red;
  n.green = args.green;
  n.blue = args.blue;
  RunNativeFilter(n);
}

void EffectCall::NativeOwn() {
  Native(args.name, 0, args.p, args.mode, true);
}

void EffectCall::LoadD() noexcept {
  LoadRgba32Result(destination);
}
void EffectCall::LoadS() noexcept {
  LoadRgba32Result(source);
}
void EffectCall::LoadD24() noexcept {
  LoadRgb24Result(Destination24());
}
void EffectCall::LoadS24() noexcept {
  LoadRgb24Result(Source24());
}

void EffectCall::Merge(uint8_t* rgba, int32_t mode) noexcept {
  if (rgba == destination) {
    MergeDestination(mode);
    return;
  }
  composite::LayerRecord* layer = composite::CurrentCanvasLayer();
  if (!rgba || !layer) return;
  composite::AdjustRgba32ByMaskAndTexture(rgba, 0, 0, width, height);
  composite::BlendRgba32IntoLayer(rgba, layer->pixels.data(), mode, 0, 255, layer->lockAlpha != 0);
}

bool EffectCall::MakeRgb24(bool isDestination) noexcept {
  if (isDestination) {
    AllocDestination24();
    return Destination24() != nullptr;
  }
  AllocSource24();
  return Source24() != nullptr;
}

bool EffectCall::ScriptRun(int32_t number, std::initializer_list<std::pair<int32_t, int32_t>> slots,
                           bool load) {
  namespace image = platform::image;
  image::RgbaToBgra(source, width, height, Stride32());
  // Red-first again on every way out, a failed run and a throw included:
  // later steps and effects read the buffer as RGBA.
  struct Restore {
    EffectCall& call;
    bool pending = true;
    void Now() noexcept {
      if (!pending) return;
      pending = false;
      platform::image::RgbaToBgra(call.source, call.width, call.height, call.Stride32());
    }
    ~Restore() { Now(); }
  } restore{*this};
  bool ok = false;
  {
    platform::effects::Session session;
    if (session.ready() && session.AddEffect(number, 1)) {
      for (const auto& [slot, value] : slots) session.SetEffectValue(0, slot, value);
      ok = session.ExecuteScriptOnImage(source, width, height);
    }
  }
  restore.Now();
  if (ok && load) LoadS();
  return ok;
}

// The frame.

const EffectRow* FindEffect(const char* name) noexcept {
  if (!name) return nullptr;
  for (const EffectRow& row : EffectTable())
    if (std::strcmp(row.name, name) == 0) return &row;
  return nullptr;
}

int32_t ImageProcess(const EffectArgs& args) noexcept {
  return Guard(Operation::kIplImageProcess, 0, [&]() -> int32_t {
    uint8_t* source = Source32();
    uint8_t* destination = Destination32();
    if (!source || !destination) {
      Diagnose("DRO_IPLImageProcess",
               "the RGBA32 work buffers are not allocated "
               "(DRO_IPLAllocSrcBuffer32, DRO_IPLAllocDstBuffer32); nothing done");
      return 0;
    }
    // The RGB24 pair goes at the end of every call, a failed one included.
    struct ReleasePair {
      ~ReleasePair() {
        FreeSource24();
        FreeDestination24();
      }
    } release;
    EffectCall call(args, source, destination);
    if (const EffectRow* row = FindEffect(args.name)) {
      row->run(call);
    } else {
      Diagnose("DRO_IPLImageProcess", "no effect is called \"%s\"; nothing done",
               args.name ? args.name : "(null)");
    }
    return 1;
  });
}

int32_t DescribeEffect(int32_t index, const char** name, const char** family,
                       const char** summary) noexcept {
  const std::span<const EffectRow> table = EffectTable();
  if (index < 0 || size_t(index) >= table.size()) return -1;
  const EffectRow& row = table[size_t(index)];
  if (name) *name = row.name;
  if (family) *family = EffectFamilyName(row.family);
  if (summary) *summary = row.summary;
  int32_t count = 0;
  while (size_t(count) < kMaxEffectParams && row.params[size_t(count)].arg != EffectArg::kCount)
    ++count;
  return count;
}

int32_t DescribeEffectParam(int32_t index, int32_t k, const char** arg, int32_t* min, int32_t* max,
                            int32_t* defaultValue, const char** meaning) noexcept {
  const int32_t count = DescribeEffect(index, nullptr, nullptr, nullptr);
  if (k < 0 || k >= count) return 0;
  const EffectParam& p = EffectTable()[size_t(index)].params[size_t(k)];
  if (arg) *arg = EffectArgName(p.arg);
  if (min) *min = p.min;
  if (max) *max = p.max;
  if (defaultValue) *defaultValue = p.defaultValue;
  if (meaning) *meaning = p.meaning;
  return 1;
}

const char* EffectFamilyName(EffectFamily family) noexcept {
  switch (family) {
    case EffectFamily::kArtistic:
      return "artistic";
    case EffectFamily::kBlur:
      return "blur and smoothing";
    case EffectFamily::kToneColour:
      return "tone and colour";
    case EffectFamily::kDistortion:
      return "distortion";
    case EffectFamily::kDetail:
      return "noise and detail";
    case EffectFamily::kGenerator:
      return "generator";
    case EffectFamily::kTexture:
      return "texture";
    case EffectFamily::kLua:
      return "Lua";
  }
  return "?";
}

const char* EffectBackendName(EffectBackend backend) noexcept {
  switch (backend) {
    case EffectBackend::kEngine:
      return "engine filter";
    case EffectBackend::kLibrary:
      return "image library";
    case EffectBackend::kScript:
      return "effect script";
    case EffectBackend::kRecipe:
      return "recipe";
  }
  return "?";
}

const char* EffectArgName(EffectArg arg) noexcept {
  static constexpr const char* kNames[] = {"value", "p1",   "p2",    "p3",   "p4",   "p5",   "p6",
                                           "mode",  "opt1", "opt2",  "opt3", "opt4", "opt5", "opt6",
                                           "opt7",  "red",  "green", "blue", "path"};
  static_assert(std::size(kNames) == size_t(EffectArg::kCount));
  return arg < EffectArg::kCount ? kNames[size_t(arg)] : "?";
}

}  // namespace dro::imaging
