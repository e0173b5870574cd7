#include "support/fake_devices.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/scanner_device.h"

namespace drovine_test::fake_devices {
namespace {

namespace tab = dro::platform::tablet;
namespace scan = dro::platform::scanner;

std::vector<tab::Event> g_events;
size_t g_next = 0;
int32_t g_scanWidth = 5, g_scanHeight = 3;
int64_t g_scanRead = 0;

void* TabletOpen(const char*, tab::DeviceInfo* info) {
  *info = tab::DeviceInfo{{0, 4095}, {-100, 3000}, {0, 1023}};
  return &g_events;
}
int32_t TabletRead(void*, tab::Event* events, int32_t capacity) {
  const int32_t n = std::min<int32_t>(capacity, int32_t(g_events.size() - g_next));
  std::copy_n(g_events.begin() + int64_t(g_next), n, events);
  g_next += size_t(n);
  if (g_next == g_events.size()) g_events.clear(), g_next = 0;
  return n;
}
bool TabletState(void*, tab::DeviceState* out) {
  *out = tab::DeviceState{100, 200, 300, true, false, true};
  return true;
}
void TabletClose(void*) {}
const tab::Backend kTablet = {TabletOpen, TabletRead, TabletState, TabletClose};

bool ScanInit() {
  return true;
}
bool ScanDevice(int32_t index, char* name, size_t capacity) {
  if (index != 0 || capacity < 5) return false;
  std::memcpy(name, "fake", 5);
  return true;
}
void* ScanOpen(const char* name) {
  return std::strcmp(name, "fake") == 0 ? &g_scanRead : nullptr;
}
void ScanConfigure(void*, const scan::ScanRequest&) {}
bool ScanStart(void*, scan::FrameParams* p) {
  p->format = scan::FrameFormat::kRgb;
  p->lastFrame = true;
  p->pixelsPerLine = g_scanWidth;
  p->bytesPerLine = int32_t(std::min<int64_t>(int64_t{g_scanWidth} * 3, INT32_MAX));
  p->lines = g_scanHeight;
  p->depth = 8;
  g_scanRead = 0;
  return true;
}
int32_t ScanRead(void*, uint8_t* data, int32_t capacity) {
  const int64_t total = int64_t{g_scanWidth} * g_scanHeight * 3;
  const int32_t n = int32_t(std::min<int64_t>(capacity, total - g_scanRead));
  for (int32_t i = 0; i < n; ++i) data[i] = uint8_t((g_scanRead + i) * 7);
  g_scanRead += n;
  return n;
}
void ScanCancel(void*) {}
void ScanClose(void*) {}
const scan::Backend kScanner = {ScanInit,  ScanDevice, ScanOpen,   ScanConfigure,
                                ScanStart, ScanRead,   ScanCancel, ScanClose};

}  // namespace

void Install() {
  tab::SetBackend(&kTablet);
  scan::SetBackend(&kScanner);
}

void Remove() {
  tab::SetBackend(nullptr);
  scan::SetBackend(nullptr);
}

void QueueTabletEvents(const std::vector<tab::Event>& events) {
  g_events.insert(g_events.end(), events.begin(), events.end());
}

void SetScanSize(int32_t width, int32_t height) {
  g_scanWidth = width, g_scanHeight = height;
}

}  // namespace drovine_test::fake_devices
