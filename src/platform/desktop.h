// The desktop seam: the system clipboard and the screen.
//
// Conventions:
// - The clipboard carries one picture. Inside the engine it travels as a
//   device-independent bitmap (DIB): a BITMAPINFOHEADER (or any header a
//   bitmap file may hold), the palette or colour masks it calls for, then
//   the rows, bottom row first unless the height is negative.
// - With a display (DISPLAY names an X server that answers) the clipboard
//   is the X11 CLIPBOARD selection. Copying offers it as image/png and
//   image/bmp (large answers in increments, INCR), pasting asks for
//   image/png, then image/bmp. Answering requests from other programs while
//   the host goes on needs one engine thread, the engine's only thread: it
//   owns the selection through a display connection of its own, starts on
//   the first copy and sleeps in poll() between requests.
// - Reading the selection has a time limit (DRO_XSetClipboardTimeLimit,
//   default 3000 ms for every wait): an owner that never answers, or stops
//   halfway, costs the host that long and no more.
// - Without a display, an in-process clipboard holds the last copy.
// - The screen is the X root window; without a display there is none, and
//   a capture fails unless a picture was injected (SetScreenPicture).
// - Nothing here throws; allocation failures give false.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/allocation.h"
#include "platform/image_library.h"

namespace dro::platform::desktop {

// --- device-independent bitmaps ----------------------------------------------

// Bytes of the DIB RgbaToDib makes: a 40-byte header and 32-bit rows.
constexpr int64_t DibBytes(int64_t width, int64_t height) noexcept {
  return 40 + width * height * 4;
}
// A width x height tight RGBA picture as a 32-bit bottom-up DIB (BGRA rows,
// alpha in the fourth byte) into `out`, which has `capacity` bytes (at
// least DibBytes). False for bad sizes or too little room.
bool RgbaToDib(const uint8_t* rgba, int32_t width, int32_t height, uint8_t* out,
               size_t capacity) noexcept;
// Reads a DIB of exactly `size` bytes: every bit depth and compression a
// bitmap file may hold. Every claim of the header (rows, palette, masks) is
// checked against `size`; a picture beyond the decode limits is refused.
// The result is RGBA with every alpha byte set to `alpha`.
bool DibToRgba(const uint8_t* dib, size_t size, uint8_t alpha, image::Picture& out,
               image::ReadStatus* status = nullptr) noexcept;

// --- clipboard -------------------------------------------------------------------

enum class ClipFormat : uint8_t { kDib, kPng, kBmpFile };

// The backends: X11 when a display answers, the in-process clipboard
// otherwise, or a test's own. Backends may throw std::bad_alloc; the
// functions below turn it into `noMemory`.
struct Backend {
  // Takes a copy of the DIB.
  bool (*put)(const uint8_t* dib, size_t size);
  // The clipboard's picture in one of the formats; false when it holds none.
  bool (*get)(Buffer<uint8_t>& data, ClipFormat& format);
  // The whole screen as tight RGBA, alpha 255.
  bool (*capture)(image::Picture& out);
};
// The backend in use for this call (chosen each time: DISPLAY may change).
const Backend& CurrentBackend() noexcept;
// Tests: a backend of their own; null restores the real ones.
void SetBackend(const Backend* backend) noexcept;

// Each sets `noMemory` (when given) if memory ran out on the way.
bool PutClipboard(const uint8_t* dib, size_t size, bool* noMemory = nullptr) noexcept;
bool GetClipboard(Buffer<uint8_t>& data, ClipFormat& format, bool* noMemory = nullptr) noexcept;
bool CaptureScreen(image::Picture& out, bool* noMemory = nullptr) noexcept;

// A picture every capture returns instead of the screen (tests; hosts
// without a display). Null clears it. False for bad sizes or no memory.
bool SetScreenPicture(const uint8_t* rgba, int32_t width, int32_t height) noexcept;
// Milliseconds each wait for another program's answer may take (1..60000).
bool SetClipboardTimeLimit(int32_t milliseconds) noexcept;
int32_t ClipboardTimeLimit() noexcept;

}  // namespace dro::platform::desktop
