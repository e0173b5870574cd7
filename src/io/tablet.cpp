// Tablet context, packet queue and pressure (the model is in tablet.h).
#include "io/tablet.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "base/numeric.h"
#include "platform/tablet_device.h"

namespace dro::io {
namespace {

namespace tab = platform::tablet;

struct Packet {
  uint32_t status;
  int32_t x;
  int32_t y;
  uint32_t pressure;
};
static_assert(sizeof(Packet) == 16);

// What the device has said so far, folded from its events.
struct PenState {
  int32_t x = 0, y = 0, pressure = 0;
  bool pen = false, rubber = false, touch = false;
  bool dropping = false;  // events were lost: ignore them up to the next report
  bool lost = false;      // mark the next packet
};

struct TabletState {
  void* device = nullptr;
  void* window = nullptr;
  tab::DeviceInfo info{};
  bool noPressure = false;
  float scale = 0.0f;
  int32_t screenWidth = 0, screenHeight = 0;  // set by the host; 0: ask the display
  int32_t mapWidth = 0, mapHeight = 0;        // what positions map to; 0: device units
  int32_t windowX = 0, windowY = 0;
  int32_t originX = 0, originY = 0;
  PenState pen;
  std::array<Packet, kTabletQueueSize> queue{};
  int32_t queueHead = 0, queueCount = 0;
  std::array<Packet, kTabletQueueSize> packets{};
  int32_t packetCount = 0;
  int32_t lastPressure = 100;
};

TabletState& State() {
  static TabletState state;
  return state;
}

int32_t MapAxis(int32_t v, tab::AxisRange r, int32_t side) {
  const int64_t offset = int64_t{v} - r.minimum;
  if (side <= 0) return ClampInt(offset, INT32_MIN, INT32_MAX);
  const int64_t span = int64_t{r.maximum} - r.minimum + 1;
  if (span <= 0) return 0;
  return ClampInt(offset * side / span, INT32_MIN, INT32_MAX);
}

void Enqueue(TabletState& s, const Packet& p) {
  if (s.queueCount == kTabletQueueSize) {
    const int32_t last = (s.queueHead + s.queueCount - 1) % kTabletQueueSize;
    s.queue[size_t(last)].status |= kTabletLostPackets;
    return;
  }
  s.queue[size_t((s.queueHead + s.queueCount) % kTabletQueueSize)] = p;
  ++s.queueCount;
}

void EmitReport(TabletState& s) {
  PenState& pen = s.pen;
  Packet p{};
  if (!pen.pen && !pen.rubber) p.status |= kTabletOutOfProximity;
  if (pen.rubber) p.status |= kTabletInvert;
  if (pen.touch) p.status |= kTabletTouch;
  if (pen.lost) p.status |= kTabletLostPackets;
  pen.lost = false;
  p.x = MapAxis(pen.x, s.info.x, s.mapWidth);
  p.y = MapAxis(pen.y, s.info.y, s.mapHeight);
  p.pressure = s.noPressure ? (pen.touch ? 1u : 0u) : static_cast<uint32_t>(pen.pressure);
  Enqueue(s, p);
}

void Fold(TabletState& s, const tab::Event& e) {
  PenState& pen = s.pen;
  if (e.type == tab::kEvSyn && e.code == tab::kSynDropped) {
    pen.dropping = true;
    pen.lost = true;
    return;
  }
  if (e.type == tab::kEvSyn && e.code == tab::kSynReport) {
    if (pen.dropping) {
      // The events since the loss are incomplete: start over from the
      // device's present state, which this report completes.
      pen.dropping = false;
      tab::DeviceState now{};
      if (tab::CurrentBackend().state(s.device, &now)) {
        pen.x = now.x, pen.y = now.y, pen.pressure = now.pressure;
        pen.pen = now.pen, pen.rubber = now.rubber, pen.touch = now.touch;
      }
    }
    EmitReport(s);
    return;
  }
  if (pen.dropping) return;
  if (e.type == tab::kEvAbs) {
    if (e.code == tab::kAbsX) pen.x = e.value;
    if (e.code == tab::kAbsY) pen.y = e.value;
    if (e.code == tab::kAbsPressure) pen.pressure = e.value;
  } else if (e.type == tab::kEvKey) {
    if (e.code == tab::kBtnToolPen) pen.pen = e.value != 0;
    if (e.code == tab::kBtnToolRubber) pen.rubber = e.value != 0;
    if (e.code == tab::kBtnTouch) pen.touch = e.value != 0;
  }
}

// Moves what the device has queued into the packet queue, never more
// events than the queue has room for packets (each packet ends with an
// event), so the rest waits in the device. Bounded, so a device that never
// stops talking cannot hold the caller.
void Pump(TabletState& s) {
  if (!s.device) return;
  std::array<tab::Event, kTabletQueueSize> events;
  for (int32_t round = 0; round < 1024 && s.queueCount < kTabletQueueSize; ++round) {
    const int32_t room = kTabletQueueSize - s.queueCount;
    const int32_t n = tab::CurrentBackend().read(s.device, events.data(), room);
    if (n <= 0) return;
    for (int32_t i = 0; i < std::min(n, room); ++i) Fold(s, events[size_t(i)]);
  }
}

const Packet* PacketAt(int64_t index) {
  const TabletState& s = State();
  if (!s.device || index < 0 || index >= s.packetCount) return nullptr;
  return &s.packets[size_t(index)];
}

void CloseDevice(TabletState& s) {
  if (s.device) tab::CurrentBackend().close(s.device);
  s.device = nullptr;
  s.pen = PenState{};
  s.queueHead = s.queueCount = 0;
  s.packetCount = 0;
}

}  // namespace

int32_t InitTablet(void* window) noexcept {
  TabletState& s = State();
  CloseDevice(s);
  s.window = window;
  const char* name = std::getenv("DROVINE_TABLET");
  tab::DeviceInfo info{};
  void* device = tab::CurrentBackend().open(name && name[0] ? name : nullptr, &info);
  if (!device) return 0;
  s.device = device;
  s.info = info;
  const int64_t range = int64_t{info.pressure.maximum} - info.pressure.minimum;
  s.noPressure = range <= 0;
  s.scale = s.noPressure ? 100.0f : 100.0f / static_cast<float>(range);
  s.mapWidth = s.screenWidth, s.mapHeight = s.screenHeight;
  if (s.mapWidth == 0 && !tab::DisplaySize(s.mapWidth, s.mapHeight)) s.mapWidth = s.mapHeight = 0;
  return 1;
}

int32_t CloseTablet() noexcept {
  TabletState& s = State();
  if (!s.device) return 0;
  CloseDevice(s);
  return 1;
}

int32_t SetTabletOrigin() noexcept {
  TabletState& s = State();
  if (!s.device) return 0;
  s.originX = s.windowX, s.originY = s.windowY;
  return 1;
}

int32_t ResetTabletPressure() noexcept {
  TabletState& s = State();
  s.lastPressure = 10;
  if (!s.device) return 0;
  int32_t discarded = 0;
  for (;;) {
    Pump(s);
    const int32_t take = std::min(s.queueCount, kTabletDiscardLimit - discarded);
    s.queueHead = (s.queueHead + take) % kTabletQueueSize;
    s.queueCount -= take;
    discarded += take;
    if (take == 0 || discarded == kTabletDiscardLimit) break;
  }
  return discarded;
}

int32_t ReadTabletPackets() noexcept {
  TabletState& s = State();
  if (!s.device) return 0;
  Pump(s);
  const int32_t n = s.queueCount;
  for (int32_t i = 0; i < n; ++i)
    s.packets[size_t(i)] = s.queue[size_t((s.queueHead + i) % kTabletQueueSize)];
  s.queueHead = s.queueCount = 0;
  s.packetCount = n;
  return n;
}

int32_t ReadTabletPressure(uint32_t index) noexcept {
  TabletState& s = State();
  if (!s.device) return s.lastPressure;
  if (index < static_cast<uint32_t>(s.packetCount)) {
    int32_t p = SaturateToInt32(
        static_cast<double>(s.scale * static_cast<float>(s.packets[index].pressure)));
    if (p == 0) p = 1;
    s.lastPressure = p;
    return p;
  }
  const int32_t p = s.lastPressure;
  s.lastPressure = int32_t(std::min<int64_t>(int64_t{s.lastPressure} + 25, 100));
  return p;
}

int32_t ReadRawTabletPressure(int64_t index) noexcept {
  const Packet* p = PacketAt(index);
  if (!p) return 0;
  return SaturateToInt32(static_cast<double>(State().scale * static_cast<float>(p->pressure)));
}

int32_t IsPacketInvert(int64_t index) noexcept {
  const Packet* p = PacketAt(index);
  return p && (p->status & kTabletInvert) ? 1 : 0;
}

int32_t PacketStatus(int64_t index) noexcept {
  const Packet* p = PacketAt(index);
  return p ? static_cast<int32_t>(p->status) : 0;
}

int32_t ReadTabletX(int64_t index) noexcept {
  const Packet* p = PacketAt(index);
  return p ? static_cast<int32_t>(int64_t{p->x} - State().originX) : 0;
}

int32_t ReadTabletY(int64_t index) noexcept {
  const Packet* p = PacketAt(index);
  return p ? static_cast<int32_t>(int64_t{p->y} - State().originY) : 0;
}

int32_t SetTabletScreenSize(int32_t width, int32_t height) noexcept {
  if (width < 0 || height < 0 || (width == 0) != (height == 0)) return 0;
  TabletState& s = State();
  s.screenWidth = width, s.screenHeight = height;
  if (width > 0) s.mapWidth = width, s.mapHeight = height;
  return 1;
}

void SetTabletWindowOrigin(int32_t x, int32_t y) noexcept {
  State().windowX = x, State().windowY = y;
}

}  // namespace dro::io
