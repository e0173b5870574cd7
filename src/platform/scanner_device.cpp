// Scanners through SANE. The library starts once, on first use, and stays
// up for the process: starting it loads every configured backend, which
// is too slow to repeat per question.
#include "platform/scanner_device.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cstring>
#include <vector>

namespace dro::platform::scanner {
namespace {

bool SaneInit() {
  static const bool ready = [] {
    SANE_Int version = 0;
    return sane_init(&version, nullptr) == SANE_STATUS_GOOD;
  }();
  return ready;
}

bool SaneDevice(int32_t index, char* name, size_t capacity) {
  if (!SaneInit() || index < 0 || !name || capacity == 0) return false;
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_TRUE) != SANE_STATUS_GOOD || !list) return false;
  for (int32_t i = 0; list[i]; ++i) {
    if (i == index) {
      std::strncpy(name, list[i]->name, capacity - 1);
      name[capacity - 1] = 0;
      return true;
    }
  }
  return false;
}

void* SaneOpen(const char* name) {
  if (!SaneInit() || !name) return nullptr;
  SANE_Handle handle = nullptr;
  if (sane_open(name, &handle) != SANE_STATUS_GOOD) return nullptr;
  return handle;
}

// Sets the option called `name` when the device has it and it can be set;
// words are integers or fixed-point as the option says.
void SetWord(SANE_Handle h, const char* name, int32_t value) {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* o = sane_get_option_descriptor(h, i);
    if (!o) return;
    if (!o->name || std::strcmp(o->name, name) != 0) continue;
    if (!SANE_OPTION_IS_SETTABLE(o->cap) || o->size != sizeof(SANE_Word)) return;
    SANE_Word word = 0;
    if (o->type == SANE_TYPE_INT)
      word = value;
    else if (o->type == SANE_TYPE_FIXED)
      word = SANE_FIX(value);
    else
      return;
    sane_control_option(h, i, SANE_ACTION_SET_VALUE, &word, nullptr);
    return;
  }
}

void SetText(SANE_Handle h, const char* name, const char* value) noexcept try {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* o = sane_get_option_descriptor(h, i);
    if (!o) return;
    if (!o->name || std::strcmp(o->name, name) != 0) continue;
    if (!SANE_OPTION_IS_SETTABLE(o->cap) || o->type != SANE_TYPE_STRING) return;
    if (o->size <= 0 || std::strlen(value) >= size_t(o->size)) return;
    // The device reads the option's whole size.
    std::vector<char> buffer(size_t(o->size), 0);
    std::memcpy(buffer.data(), value, std::strlen(value));
    sane_control_option(h, i, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
    return;
  }
} catch (...) {
  // No memory for the value: the device keeps its own mode.
}

void SaneConfigure(void* device, const ScanRequest& r) {
  if (!device) return;
  // The mode first: it decides which depths and resolutions exist.
  if (r.mode) SetText(device, SANE_NAME_SCAN_MODE, r.mode);
  if (r.depth > 0) SetWord(device, SANE_NAME_BIT_DEPTH, r.depth);
  if (r.resolution > 0) SetWord(device, SANE_NAME_SCAN_RESOLUTION, r.resolution);
}

bool SaneStart(void* device, FrameParams* params) {
  if (!device || !params) return false;
  if (sane_start(device) != SANE_STATUS_GOOD) return false;
  SANE_Parameters p{};
  if (sane_get_parameters(device, &p) != SANE_STATUS_GOOD) return false;
  switch (p.format) {
    case SANE_FRAME_GRAY:
      params->format = FrameFormat::kGray;
      break;
    case SANE_FRAME_RGB:
      params->format = FrameFormat::kRgb;
      break;
    case SANE_FRAME_RED:
      params->format = FrameFormat::kRed;
      break;
    case SANE_FRAME_GREEN:
      params->format = FrameFormat::kGreen;
      break;
    case SANE_FRAME_BLUE:
      params->format = FrameFormat::kBlue;
      break;
    default:
      params->format = FrameFormat::kOther;
      break;
  }
  params->lastFrame = p.last_frame != SANE_FALSE;
  params->bytesPerLine = p.bytes_per_line;
  params->pixelsPerLine = p.pixels_per_line;
  params->lines = p.lines;
  params->depth = p.depth;
  return true;
}

int32_t SaneRead(void* device, uint8_t* data, int32_t capacity) {
  if (!device || !data || capacity <= 0) return -1;
  SANE_Int length = 0;
  const SANE_Status status = sane_read(device, data, capacity, &length);
  if (status == SANE_STATUS_EOF) return 0;
  if (status != SANE_STATUS_GOOD) return -1;
  return length;
}

void SaneCancel(void* device) {
  if (device) sane_cancel(device);
}

void SaneClose(void* device) {
  if (device) sane_close(device);
}

const Backend kSane = {SaneInit,  SaneDevice, SaneOpen,   SaneConfigure,
                       SaneStart, SaneRead,   SaneCancel, SaneClose};
const Backend* g_backend = &kSane;

}  // namespace

const Backend& SaneBackend() noexcept {
  return kSane;
}
const Backend& CurrentBackend() noexcept {
  return *g_backend;
}
void SetBackend(const Backend* backend) noexcept {
  g_backend = backend ? backend : &kSane;
}

}  // namespace dro::platform::scanner
