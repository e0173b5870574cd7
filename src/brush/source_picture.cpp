#include "brush/source_picture.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "base/allocation.h"
#include "platform/effect_script.h"

namespace dro::brush {

namespace {
// The last script's complaint, kept for SourcePictureProblem.
char g_scriptError[256];
}  // namespace

size_t RgbaBytes(int32_t width, int32_t height) {
  return CheckedCount(int64_t{width} * 4, height);
}

bool RenderScriptPicture(const char* path, platform::image::Picture& picture, bool& isScript) {
  namespace fx = platform::effects;
  fx::Session session;
  // Running out of memory is no answer to whether the path is a script.
  auto noMemory = [&] {
    if (session.ranOutOfMemory()) throw std::bad_alloc();
  };
  noMemory();
  isScript = session.LoadScriptFromFile(path);
  noMemory();
  std::snprintf(g_scriptError, sizeof g_scriptError, "%s", isScript ? "" : session.error());
  if (!isScript) return false;
  session.InitBuffers();
  fx::ScriptHeader header;
  const bool headerRead = session.ReadScriptHeaderFromFile(path, header);
  noMemory();
  if (!headerRead) return false;
  const int32_t w = header.width();
  const int32_t h = header.height();
  if (w <= 0 || h <= 0) return false;
  Buffer<uint8_t> pixels = Buffer<uint8_t>::Make(RgbaBytes(w, h));
  const bool rendered = session.ExecuteScript(pixels.data(), w, h);
  noMemory();
  if (!rendered) return false;
  platform::image::RgbaToBgra(pixels.data(), w, h, w * 4);
  picture.pixels = std::move(pixels);
  picture.width = w;
  picture.height = h;
  picture.channels = 4;
  return true;
}

const char* SourcePictureProblem(const char* path) {
  static char text[320];
  FILE* file = path ? std::fopen(path, "rb") : nullptr;
  if (!file) return "file not found";
  std::fclose(file);
  // A file whose first line is not a script's is simply no script: the
  // complaint that matters then is that it is no picture either.
  if (g_scriptError[0] && !std::strstr(g_scriptError, "first line")) {
    std::snprintf(text, sizeof text, "effect script %s", g_scriptError);
    return text;
  }
  return "not a picture or effect script this engine reads";
}

bool ReadRgbaPicture(const char* path, platform::image::Picture& picture) {
  platform::image::ReadStatus status;
  if (!platform::image::ReadImageRgba(path, picture, &status)) {
    if (status == platform::image::ReadStatus::kNoMemory) throw std::bad_alloc();
    return false;
  }
  if (picture.channels != 4) return false;
  const int32_t w = picture.width;
  const int32_t h = picture.height;
  return w > 0 && h > 0 && picture.pixels.size() >= RgbaBytes(w, h);
}

}  // namespace dro::brush
