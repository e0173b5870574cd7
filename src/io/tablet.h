// Pen packets from a graphics tablet.
//
// Model. One tablet context, closed at load. Opening it (InitTablet) picks
// the device named by the environment variable DROVINE_TABLET (a device
// path or name), else the first device with a pressure axis and a pen tool,
// and keeps its pressure range: scale = 100 / (maximum - minimum) as a
// single-precision float. A device whose maximum pressure is not above its
// minimum is a pen without pressure: its packets carry pressure 1 while the
// pen touches and 0 otherwise, with scale 100.
//
// The device's events become packets, one per report (the event that ends
// a burst of changes), each 16 bytes: status, x, y, pressure. Positions are
// screen pixels, y downward: an axis value v on [minimum, maximum] becomes
// (v - minimum) * side / (maximum - minimum + 1), where side is the screen's
// width or height (set by the host, else the X display's, else the axis
// range itself, which leaves device units). Status bits:
//   0x01  the tool is out of proximity
//   0x02  packets were lost before this one (the device's queue or ours
//         overflowed; after lost events the state starts over from the
//         device's present state)
//   0x10  the eraser end is in use
//   0x20  the pen touches the surface
// Packets wait in a queue of 256; beyond it, events wait in the device,
// whose own overflow shows as 0x02. ReadPackets moves up to 256 of them
// into the packet buffer that the per-packet queries index.
//
// Pressure: packet pressure p becomes trunc(scale x p) with p read as
// unsigned; the axis minimum is not subtracted. ReadPressure past the
// packets returns the last pressure and then raises it by 25 (at most 100),
// so a host that reads past the batch sees a ramp; it starts at 100 and
// ResetPressure sets it to 10.
//
// Nothing here reports an error: without a device or context every query
// gives 0 (ReadPressure the last pressure).
#pragma once

#include <cstdint>

namespace dro::io {

constexpr int32_t kTabletQueueSize = 256;
constexpr int32_t kTabletDiscardLimit = 1000;
constexpr uint32_t kTabletOutOfProximity = 0x01;
constexpr uint32_t kTabletLostPackets = 0x02;
constexpr uint32_t kTabletInvert = 0x10;
constexpr uint32_t kTabletTouch = 0x20;

// Opens the context (a second call closes the first); 1 on success, else 0.
int32_t InitTablet(void* window) noexcept;
int32_t CloseTablet() noexcept;
int32_t SetTabletOrigin() noexcept;
int32_t ResetTabletPressure() noexcept;
int32_t ReadTabletPackets() noexcept;
int32_t ReadTabletPressure(uint32_t index) noexcept;
int32_t ReadRawTabletPressure(int64_t index) noexcept;
int32_t IsPacketInvert(int64_t index) noexcept;
int32_t PacketStatus(int64_t index) noexcept;
int32_t ReadTabletX(int64_t index) noexcept;
int32_t ReadTabletY(int64_t index) noexcept;

// The screen's size for the position mapping (0, 0: the X display's, else
// device units); 0 for a negative side or only one side 0.
int32_t SetTabletScreenSize(int32_t width, int32_t height) noexcept;
// Where the host window's client area starts on the screen; the next
// SetTabletOrigin makes it the origin of packet positions.
void SetTabletWindowOrigin(int32_t x, int32_t y) noexcept;

}  // namespace dro::io
