// The X11 backend of the desktop seam (desktop.h states the model).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/allocation.h"
#include "platform/desktop.h"

namespace dro::platform::desktop::x11 {

// DISPLAY is set and names a server that answers (remembered per value).
bool DisplayAvailable() noexcept;
bool PutClipboard(const uint8_t* dib, size_t size);
bool GetClipboard(Buffer<uint8_t>& data, ClipFormat& format);
bool CaptureScreen(image::Picture& out);

}  // namespace dro::platform::desktop::x11
