#include "brush/source_picture.h"

#include <utility>

#include "base/allocation.h"
#include "platform/effect_script.h"

namespace dro::brush {

size_t RgbaBytes(int32_t width, int32_t height) {
  return CheckedCount(int64_t{width} * 4, height);
}

bool RenderScriptPicture(const char* path, platform::image::Picture& picture, bool& isScript) {
  namespace fx = platform::effects;
  fx::Session session;
  isScript = session.ready() && session.LoadScriptFromFile(path);
  if (!isScript) return false;
  session.InitBuffers();
  fx::ScriptHeader header;
  if (!session.ReadScriptHeaderFromFile(path, header)) return false;
  const int32_t w = header.width();
  const int32_t h = header.height();
  if (w <= 0 || h <= 0) return false;
  Buffer<uint8_t> pixels = Buffer<uint8_t>::Make(RgbaBytes(w, h));
  if (!session.ExecuteScript(pixels.data(), w, h)) return false;
  platform::image::RgbaToBgra(pixels.data(), w, h, w * 4);
  picture.pixels = std::move(pixels);
  picture.width = w;
  picture.height = h;
  picture.channels = 4;
  return true;
}

bool ReadRgbaPicture(const char* path, platform::image::Picture& picture) {
  if (!platform::image::ReadImageRgba(path, picture) || picture.channels != 4) return false;
  const int32_t w = picture.width;
  const int32_t h = picture.height;
  return w > 0 && h > 0 && picture.pixels.size() >= RgbaBytes(w, h);
}

}  // namespace dro::brush
