// Tablet event streams: whatever a device (or a device pretending to be a
// tablet) sends, eight bytes an event (type, code, value), through a fake
// device behind the tablet seam. The input's first bytes choose the axis
// ranges (equal, inverted and extreme ones among them), the screen size and
// how many events each read hands out; every per-packet query then runs
// over and beside the batch.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "drovine.h"
#include "platform/tablet_device.h"

namespace {

namespace tab = dro::platform::tablet;

struct Stream {
  std::vector<tab::Event> events;
  size_t next = 0;
  int32_t chunk = 1;
  tab::DeviceInfo info{};
  tab::DeviceState state{};
} g_stream;

void* Open(const char*, tab::DeviceInfo* info) {
  *info = g_stream.info;
  return &g_stream;
}
int32_t Read(void*, tab::Event* events, int32_t capacity) {
  const int32_t n = std::min<int32_t>(
      {capacity, g_stream.chunk, int32_t(g_stream.events.size() - g_stream.next)});
  std::copy_n(g_stream.events.begin() + int64_t(g_stream.next), n, events);
  g_stream.next += size_t(n);
  return n;
}
bool State(void*, tab::DeviceState* out) {
  *out = g_stream.state;
  return true;
}
void Close(void*) {}
const tab::Backend kStream = {Open, Read, State, Close};

int32_t Take32(const uint8_t*& data, size_t& size) {
  int32_t v = 0;
  const size_t n = std::min<size_t>(4, size);
  std::memcpy(&v, data, n);
  data += n, size -= n;
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tab::SetBackend(&kStream);
  g_stream = Stream{};
  g_stream.info.x = {Take32(data, size), Take32(data, size)};
  g_stream.info.y = {Take32(data, size), Take32(data, size)};
  g_stream.info.pressure = {Take32(data, size), Take32(data, size)};
  g_stream.state = {Take32(data, size), Take32(data, size), Take32(data, size), true, true, true};
  const int32_t screen = Take32(data, size);
  const int32_t chunk = Take32(data, size);
  g_stream.chunk = 1 + int32_t(uint32_t(chunk) % 300);
  DRO_XSetTabletScreenSize(screen & 0xFFFF, (screen >> 16) & 0xFFFF);
  DRO_XSetTabletWindowOrigin(chunk, screen);
  for (; size >= 8; data += 8, size -= 8) {
    tab::Event e;
    std::memcpy(&e.type, data, 2);
    std::memcpy(&e.code, data + 2, 2);
    std::memcpy(&e.value, data + 4, 4);
    g_stream.events.push_back(e);
  }
  if (DRO_InitTablet(nullptr) != 1) return 0;
  DRO_SetTabletOrigin();
  for (int batch = 0; batch < 8; ++batch) {
    const int32_t n = DRO_ReadTabletPackets();
    if (n < 0 || n > 256) __builtin_trap();
    for (int32_t i = -1; i <= n; ++i) {
      DRO_ReadTabletX(i);
      DRO_ReadTabletY(i);
      DRO_ReadRawTabletPressure(i);
      const int32_t p = DRO_ReadTabletPressure(uint32_t(i));
      if (i >= 0 && i < n && p == 0) __builtin_trap();  // a packet never reads 0
      DRO_IsPacketInvert(i);
      DRO_PacketStatus(i);
    }
    if (batch == 4) DRO_ResetTabletPressure();
  }
  DRO_CloseTablet();
  return 0;
}
