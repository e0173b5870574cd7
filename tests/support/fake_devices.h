// Stand-in devices behind the device seams, for tests that call the device
// exports without hardware: a tablet replaying recorded events and a
// scanner delivering given frames. Install() puts both in place, Remove()
// restores the real backends; reset one with `Tablet() = {}`.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/scanner_device.h"
#include "platform/tablet_device.h"

namespace drovine_test::fake_devices {

namespace tab = dro::platform::tablet;
namespace scan = dro::platform::scanner;

struct FakeTablet {
  bool present = true;
  tab::DeviceInfo info{{0, 19999}, {0, 9999}, {0, 2047}};
  std::vector<tab::Event> events;  // handed out in order
  size_t next = 0;
  int32_t chunk = 0;       // 0: all a read takes; else 1..chunk events a read, at random
  tab::DeviceState now{};  // what the device reports after lost events
  int opens = 0, closes = 0;
};
FakeTablet& Tablet();
void Abs(uint16_t code, int32_t value);
void Key(uint16_t code, int32_t value);
void Report();

// A frame with no bytes given delivers a pattern of the size its
// parameters promise.
struct FakeFrame {
  scan::FrameParams params;
  std::vector<uint8_t> bytes;
};
struct FakeScanner {
  std::vector<FakeFrame> frames;
  size_t frame = 0, at = 0;
  int opens = 0, closes = 0, cancels = 0;
};
FakeScanner& Scanner();
scan::FrameParams Params(scan::FrameFormat format, int32_t pixelsPerLine, int32_t bytesPerLine,
                         int32_t lines, int32_t depth, bool last);

void Install();
void Remove();

}  // namespace drovine_test::fake_devices
