// Choosing the desktop backend, the in-process clipboard and the injected
// screen picture.
#include "platform/desktop.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/x11_desktop.h"

namespace dro::platform::desktop {
namespace {

// The in-process clipboard and the injected screen picture: touched by the
// host's thread only (the selection thread never reads them).
struct LocalState {
  Buffer<uint8_t> clipboard;
  Buffer<uint8_t> screen;
  int32_t screenWidth = 0, screenHeight = 0;
  const Backend* test = nullptr;
};
LocalState& Local() {
  static LocalState state;
  return state;
}

std::atomic<int32_t> g_timeLimit{3000};

bool LocalPut(const uint8_t* dib, size_t size) {
  Buffer<uint8_t> copy = Buffer<uint8_t>::Make(size);
  std::memcpy(copy.data(), dib, size);
  Local().clipboard = std::move(copy);
  return true;
}

bool LocalGet(Buffer<uint8_t>& data, ClipFormat& format) {
  const Buffer<uint8_t>& held = Local().clipboard;
  if (!held) return false;
  Buffer<uint8_t> copy = Buffer<uint8_t>::Make(held.size());
  std::memcpy(copy.data(), held.data(), held.size());
  data = std::move(copy);
  format = ClipFormat::kDib;
  return true;
}

bool NoScreen(image::Picture&) {
  return false;
}

const Backend kLocal = {LocalPut, LocalGet, NoScreen};
const Backend kX11 = {x11::PutClipboard, x11::GetClipboard, x11::CaptureScreen};

}  // namespace

const Backend& CurrentBackend() noexcept {
  if (Local().test) return *Local().test;
  return x11::DisplayAvailable() ? kX11 : kLocal;
}

void SetBackend(const Backend* backend) noexcept {
  Local().test = backend;
}

namespace {

// Runs a backend call; memory running out sets `noMemory`.
template <class Call>
bool Reporting(bool* noMemory, Call&& call) noexcept {
  if (noMemory) *noMemory = false;
  try {
    return call();
  } catch (const std::bad_alloc&) {
    if (noMemory) *noMemory = true;
  } catch (...) {
  }
  return false;
}

}  // namespace

bool PutClipboard(const uint8_t* dib, size_t size, bool* noMemory) noexcept {
  if (noMemory) *noMemory = false;
  if (!dib || size == 0) return false;
  return Reporting(noMemory, [&] { return CurrentBackend().put(dib, size); });
}

bool GetClipboard(Buffer<uint8_t>& data, ClipFormat& format, bool* noMemory) noexcept {
  return Reporting(noMemory, [&] { return CurrentBackend().get(data, format); });
}

bool CaptureScreen(image::Picture& out, bool* noMemory) noexcept {
  LocalState& s = Local();
  return Reporting(noMemory, [&] {
    if (s.screen) {
      image::Picture p;
      p.pixels = Buffer<uint8_t>::Make(s.screen.size());
      std::memcpy(p.pixels.data(), s.screen.data(), s.screen.size());
      p.width = s.screenWidth, p.height = s.screenHeight, p.channels = 4;
      out = std::move(p);
      return true;
    }
    return CurrentBackend().capture(out);
  });
}

bool SetScreenPicture(const uint8_t* rgba, int32_t width, int32_t height) noexcept {
  LocalState& s = Local();
  if (!rgba) {
    s.screen.Reset();
    s.screenWidth = s.screenHeight = 0;
    return true;
  }
  if (width < 1 || height < 1 || int64_t{width} * height > image::kMostDecodePixels) return false;
  try {
    const size_t bytes = size_t(width) * size_t(height) * 4;
    Buffer<uint8_t> copy = Buffer<uint8_t>::Make(bytes);
    std::memcpy(copy.data(), rgba, bytes);
    s.screen = std::move(copy);
    s.screenWidth = width, s.screenHeight = height;
    return true;
  } catch (...) {
    return false;
  }
}

bool SetClipboardTimeLimit(int32_t milliseconds) noexcept {
  if (milliseconds < 1 || milliseconds > 60000) return false;
  g_timeLimit = milliseconds;
  return true;
}

int32_t ClipboardTimeLimit() noexcept {
  return g_timeLimit;
}

}  // namespace dro::platform::desktop
