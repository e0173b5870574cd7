// The tablet seam: a pen device that reports absolute position, pressure,
// the tool in use (pen or eraser) and contact, as a stream of input events.
//
// Conventions:
// - Events are the kernel's input events (type, code, value) in the order
//   the device sent them; a report ends with a synchronisation event
//   (kEvSyn, kSynReport). kSynDropped says the device's own queue overflowed
//   and events were lost; the reader then asks for the device's present
//   state (State) to start over.
// - Read never blocks: it returns what is queued now, 0 when nothing is, -1
//   when the device is gone.
// - Nothing here throws. The backend is a struct of function pointers so
//   that tests replay recorded streams through a fake device; the default
//   backend reads Linux evdev devices.
#pragma once

#include <cstdint>

namespace dro::platform::tablet {

// Event types and codes used by the reader (the kernel's values).
constexpr uint16_t kEvSyn = 0x00, kEvKey = 0x01, kEvAbs = 0x03;
constexpr uint16_t kSynReport = 0, kSynDropped = 3;
constexpr uint16_t kAbsX = 0x00, kAbsY = 0x01, kAbsPressure = 0x18;
constexpr uint16_t kBtnToolPen = 0x140, kBtnToolRubber = 0x141, kBtnTouch = 0x14a;

struct Event {
  uint16_t type;
  uint16_t code;
  int32_t value;
};

struct AxisRange {
  int32_t minimum;
  int32_t maximum;
};

// What an open device offers.
struct DeviceInfo {
  AxisRange x, y, pressure;
};

// The present state of an open device, for a fresh start after lost events.
struct DeviceState {
  int32_t x, y, pressure;
  bool pen, rubber, touch;
};

struct Backend {
  // Opens the device named `name` (a device path or a device's name), or
  // with null the first one with a pressure axis and a pen tool. Null when
  // there is none.
  void* (*open)(const char* name, DeviceInfo* info);
  int32_t (*read)(void* device, Event* events, int32_t capacity);
  bool (*state)(void* device, DeviceState* out);
  void (*close)(void* device);
};

// The evdev backend.
const Backend& EvdevBackend() noexcept;
// The backend in use (evdev unless a test replaced it); null restores evdev.
const Backend& CurrentBackend() noexcept;
void SetBackend(const Backend* backend) noexcept;

// The screen's size in pixels from the X display named by DISPLAY; false
// when there is no display.
bool DisplaySize(int32_t& width, int32_t& height) noexcept;

}  // namespace dro::platform::tablet
