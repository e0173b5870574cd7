// Stand-in devices for the tests that call the device exports without
// hardware (the export fuzzer, the failure sweep): a scanner that delivers
// one colour frame and a tablet that replays whatever events it is given.
// Install() puts both behind the device seams; Remove() restores the real
// backends.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/tablet_device.h"

namespace drovine_test::fake_devices {

void Install();
void Remove();
// The next events the tablet hands out (appended to what is left).
void QueueTabletEvents(const std::vector<dro::platform::tablet::Event>& events);
// The scanner's frame: width x height colour pixels, 8 bits.
void SetScanSize(int32_t width, int32_t height);

}  // namespace drovine_test::fake_devices
