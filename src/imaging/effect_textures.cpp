// The texture families, driven by an effect-script file at the call's
// path, and the route to the Lua filter host.
//
// Each texture family generates the script's picture (the size of its
// header), lays it as tiles from (0, 0) with our own tiler (one pass over
// the picture, whatever the tile's size), and merges the result its own
// way. A texture buffer is cleared before use, so a script that cannot be
// loaded gives a black texture, never leftover memory.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/allocation.h"
#include "composite/blend_modes.h"
#include "composite/layers.h"
#include "imaging/drawing.h"
#include "imaging/effect_details.h"
#include "mask/mask_ops.h"
#include "mask/mask_state.h"
#include "platform/effect_script.h"
#include "platform/image_details.h"
#include "platform/image_geometry.h"
#include "platform/image_library.h"

namespace dro::imaging::effects {
namespace {

namespace image = platform::image;
namespace fx = platform::effects;
constexpr int32_t kTexturize = 17;
constexpr int32_t kTexturize2 = 18;
constexpr int32_t kScriptBump = 27;

std::atomic<LuaFilterRunner> gLuaRunner{nullptr};

// The script's picture, blue-first as generated; empty when the script
// cannot be loaded or run.
struct Generated {
  Buffer<uint8_t> pixels;
  int32_t width = 0, height = 0;
};

Generated Generate(const char* path) {
  Generated out;
  fx::Session session;
  if (!path || !session.ready() || !session.LoadScriptFromFile(path)) return out;
  session.InitBuffers();
  fx::ScriptHeader header;
  if (!session.ReadScriptHeaderFromFile(path, header)) return out;
  const int32_t w = header.width(), h = header.height();
  if (w < 1 || h < 1 || w > 10000 || h > 10000) return out;
  Buffer<uint8_t> pixels = Buffer<uint8_t>::Make(CheckedCount(int64_t{w} * h, 4));
  if (!session.ExecuteScript(pixels.data(), w, h)) return out;
  out.pixels = std::move(pixels);
  out.width = w;
  out.height = h;
  return out;
}

void OpaqueAlpha(uint8_t* rgba, size_t pixels) noexcept {
  for (size_t i = 0; i < pixels; ++i) rgba[4 * i + 3] = 255;
}

// A cleared canvas-size texture with the script's picture tiled over it
// when the script runs; `redFirst` swaps the picture to RGBA first.
Buffer<uint8_t> Texture(const EffectCall& c, bool redFirst) {
  Buffer<uint8_t> texture = Buffer<uint8_t>::Make(CheckedCount(int64_t{c.width} * c.height, 4));
  std::fill(texture.data(), texture.data() + texture.size(), uint8_t{0});
  Generated picture = Generate(c.args.path);
  if (picture.width == 0) return texture;
  if (redFirst)
    image::RgbaToBgra(picture.pixels.data(), picture.width, picture.height, picture.width * 4);
  image::TileImage(texture.data(), c.width, c.height, c.Stride32(), picture.pixels.data(),
                   picture.width, picture.height, picture.width * 4, 4);
  return texture;
}

// A scaled tile side: saturated, at most the canvas's side.
int32_t TileSide(double side, int32_t canvas) noexcept {
  return std::clamp(EffectCall::Int(side), 0, canvas);
}

}  // namespace

void Backgrounds(EffectCall& c) {
  Generated picture = Generate(c.args.path);
  if (picture.width == 0) return;  // no picture: nothing is written back
  image::RgbaToBgra(picture.pixels.data(), picture.width, picture.height, picture.width * 4);
  const double scale = c.f[0] * 0.01;
  const int32_t tw = TileSide(scale * picture.width, c.width);
  const int32_t th = TileSide(scale * picture.height, c.height);
  // A tile of no width or height has nothing to lay.
  if (tw > 0 && th > 0) {
    Buffer<uint8_t> tile = Buffer<uint8_t>::Make(CheckedCount(int64_t{tw} * th, 4));
    if (image::ResizeWithFilter(picture.pixels.data(), picture.width, picture.height,
                                picture.width * 4, tile.data(), tw, th, tw * 4, 4,
                                image::CvFilter::kBicubic))
      image::TileImage(c.source, c.width, c.height, c.Stride32(), tile.data(), tw, th, tw * 4, 4);
  }
  OpaqueAlpha(c.source, size_t(c.width) * size_t(c.height));
  c.LoadS();
}

void TexturizeEmboss(EffectCall& c) {
  c.Refresh();
  Buffer<uint8_t> texture = Texture(c, true);
  OpaqueAlpha(texture.data(), size_t(c.width) * size_t(c.height));
  Buffer<uint8_t> plane = Buffer<uint8_t>::Make(CheckedCount(c.width, c.height));
  if (!image::ImageToGray8(texture.data(), c.width, c.height, 4, c.Stride32(), plane.data(),
                           c.width))
    return;
  const double azimuth = c.f[0] * 3.6 / 360 * 6.28;
  const double elevation = c.f[1] * 3.6 / 360 * 3.14;
  if (c.Rgb24Pair([&](const uint8_t* src, uint8_t* dst) {
        return image::EmbossRgb(plane.data(), c.width, c.height, c.width, azimuth, elevation,
                                EffectCall::Int(c.f[2] * 0.5), src, c.Stride24(), dst,
                                c.Stride24());
      }))
    c.LoadD24();
}

void TexturizeBump(EffectCall& c) {
  c.Refresh();
  Buffer<uint8_t> texture = Texture(c, false);
  {
    // The bump relief of the texture, still blue-first as the script
    // library makes and takes it.
    fx::Session session;
    if (session.ready() && session.AddEffect(kScriptBump, 1)) {
      session.SetEffectValue(0, 3, EffectCall::Int(c.f[0] * 2.559 + 1));
      session.SetEffectValue(0, 4, EffectCall::Int(c.f[1] * 0.5 + 1));
      session.SetEffectValue(0, 5, EffectCall::Int(c.f[2] * 0.5 - 25));
      session.ExecuteScriptOnImage(texture.data(), c.width, c.height);
    }
  }
  // No swap back: the texturize merges read only the texture's mean
  // brightness, the same in either channel order.
  OpaqueAlpha(texture.data(), size_t(c.width) * size_t(c.height));
  if (mask::State().enabled) mask::ApplyToAlpha(texture.data());
  composite::LayerRecord* layer = composite::CurrentCanvasLayer();
  if (!layer) return;
  // Widened as it is merged; the layer keeps its alpha whatever its own
  // lock flag says.
  composite::BlendRgba32IntoLayer(texture.data(), layer->pixels.data(),
                                  c.Opt(2) != 0 ? kTexturize2 : kTexturize, 0,
                                  std::clamp(EffectCall::Int(c.f[3] * 2.559), 0, 255), true);
}

void DisplacementBump(EffectCall& c) {
  c.Refresh();
  c.Pre(c.source);
  imaging::DisplacementBump(c.args.path, c.f[0], int32_t(c.colour));
}

void SetLuaFilterRunner(LuaFilterRunner runner) noexcept {
  gLuaRunner.store(runner);
}

void LuaFilter(EffectCall& c) {
  c.Refresh();
  if (LuaFilterRunner run = gLuaRunner.load()) run(c.args);
}

}  // namespace dro::imaging::effects
