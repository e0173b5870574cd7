#include "support/fake_devices.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace drovine_test::fake_devices {
namespace {

std::mt19937 g_random{7};

void* TabletOpen(const char*, tab::DeviceInfo* info) {
  if (!Tablet().present) return nullptr;
  ++Tablet().opens;
  *info = Tablet().info;
  return &Tablet();
}
int32_t TabletRead(void*, tab::Event* events, int32_t capacity) {
  FakeTablet& t = Tablet();
  int32_t n = std::min<int32_t>(capacity, int32_t(t.events.size() - t.next));
  if (t.chunk > 0 && n > 0) n = 1 + int32_t(g_random() % uint32_t(std::min(n, t.chunk)));
  std::copy_n(t.events.begin() + int64_t(t.next), n, events);
  t.next += size_t(n);
  return n;
}
bool TabletState(void*, tab::DeviceState* out) {
  *out = Tablet().now;
  return true;
}
void TabletClose(void*) {
  ++Tablet().closes;
}
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
  if (std::strcmp(name, "fake") != 0) return nullptr;
  ++Scanner().opens;
  Scanner().frame = 0;
  return &Scanner();
}
void ScanConfigure(void*, const scan::ScanRequest&) {}
bool ScanStart(void*, scan::FrameParams* p) {
  FakeScanner& s = Scanner();
  if (s.frame >= s.frames.size()) return false;
  *p = s.frames[s.frame++].params;
  s.at = 0;
  return true;
}
int32_t ScanRead(void*, uint8_t* data, int32_t capacity) {
  FakeScanner& s = Scanner();
  const FakeFrame& f = s.frames[s.frame - 1];
  const int64_t total = f.bytes.empty()
                            ? int64_t{f.params.bytesPerLine} * std::max(f.params.lines, 0)
                            : int64_t(f.bytes.size());
  const int32_t n = int32_t(std::min<int64_t>({capacity, 5000, total - int64_t(s.at)}));
  for (int32_t i = 0; i < n; ++i)
    data[i] = f.bytes.empty() ? uint8_t((s.at + size_t(i)) * 7) : f.bytes[s.at + size_t(i)];
  s.at += size_t(n);
  return n;
}
void ScanCancel(void*) {
  ++Scanner().cancels;
}
void ScanClose(void*) {
  ++Scanner().closes;
}
const scan::Backend kScanner = {ScanInit,  ScanDevice, ScanOpen,   ScanConfigure,
                                ScanStart, ScanRead,   ScanCancel, ScanClose};

}  // namespace

FakeTablet& Tablet() {
  static FakeTablet tablet;
  return tablet;
}
void Abs(uint16_t code, int32_t value) {
  Tablet().events.push_back({tab::kEvAbs, code, value});
}
void Key(uint16_t code, int32_t value) {
  Tablet().events.push_back({tab::kEvKey, code, value});
}
void Report() {
  Tablet().events.push_back({tab::kEvSyn, tab::kSynReport, 0});
}

FakeScanner& Scanner() {
  static FakeScanner scanner;
  return scanner;
}
scan::FrameParams Params(scan::FrameFormat format, int32_t pixelsPerLine, int32_t bytesPerLine,
                         int32_t lines, int32_t depth, bool last) {
  scan::FrameParams p;
  p.format = format, p.pixelsPerLine = pixelsPerLine, p.bytesPerLine = bytesPerLine;
  p.lines = lines, p.depth = depth, p.lastFrame = last;
  return p;
}

void Install() {
  tab::SetBackend(&kTablet);
  scan::SetBackend(&kScanner);
}
void Remove() {
  tab::SetBackend(nullptr);
  scan::SetBackend(nullptr);
}

}  // namespace drovine_test::fake_devices
