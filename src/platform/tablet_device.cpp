// Tablets on Linux: evdev devices under /dev/input, found and described
// with libevdev, read as raw input events from a non-blocking descriptor.
// The present state after lost events comes straight from the kernel
// (EVIOCGABS, EVIOCGKEY), which always knows it, whatever was dropped.
#include "platform/tablet_device.h"

#include <X11/Xlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace dro::platform::tablet {
namespace {

// A device handle is its descriptor plus one, so that no handle is null.
void* HandleOf(int fd) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}
int FdOf(void* device) {
  return static_cast<int>(reinterpret_cast<intptr_t>(device) - 1);
}

bool IsPenWithPressure(libevdev* dev) {
  return libevdev_has_event_code(dev, EV_ABS, ABS_PRESSURE) &&
         libevdev_has_event_code(dev, EV_ABS, ABS_X) &&
         libevdev_has_event_code(dev, EV_ABS, ABS_Y) &&
         libevdev_has_event_code(dev, EV_KEY, BTN_TOOL_PEN);
}

AxisRange Range(libevdev* dev, unsigned code) {
  const input_absinfo* a = libevdev_get_abs_info(dev, code);
  return a ? AxisRange{a->minimum, a->maximum} : AxisRange{0, 0};
}

// Opens `path` when it is a pen with pressure and, given a name, the one so
// called (or found at that path); -1 otherwise.
int TryOpen(const std::string& path, const char* name, DeviceInfo* info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  libevdev* dev = nullptr;
  bool ok = libevdev_new_from_fd(fd, &dev) == 0 && IsPenWithPressure(dev);
  if (ok && name && name[0] != '/') {
    const char* devName = libevdev_get_name(dev);
    ok = devName && std::strcmp(devName, name) == 0;
  }
  if (ok && info) {
    info->x = Range(dev, ABS_X);
    info->y = Range(dev, ABS_Y);
    info->pressure = Range(dev, ABS_PRESSURE);
  }
  if (dev) libevdev_free(dev);
  if (!ok) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void* EvdevOpen(const char* name, DeviceInfo* info) noexcept {
  try {
    int fd = -1;
    if (name && name[0] == '/') {
      fd = TryOpen(name, name, info);
    } else {
      std::vector<std::string> paths;
      if (DIR* dir = ::opendir("/dev/input")) {
        while (dirent* e = ::readdir(dir)) {
          if (std::strncmp(e->d_name, "event", 5) == 0)
            paths.push_back(std::string("/dev/input/") + e->d_name);
        }
        ::closedir(dir);
      }
      // event2 before event10: the kernel's numbering is the order of
      // arrival.
      std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
      });
      for (const std::string& p : paths) {
        fd = TryOpen(p, name, info);
        if (fd >= 0) break;
      }
    }
    if (fd < 0) return nullptr;
    return HandleOf(fd);
  } catch (...) {
    return nullptr;
  }
}

int32_t EvdevRead(void* device, Event* events, int32_t capacity) noexcept {
  if (!device || !events || capacity <= 0) return 0;
  const int fd = FdOf(device);
  input_event raw[64];
  int32_t n = 0;
  while (n < capacity) {
    const size_t want = static_cast<size_t>(std::min<int32_t>(capacity - n, 64));
    const ssize_t got = ::read(fd, raw, want * sizeof(input_event));
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) break;
      return n > 0 ? n : -1;  // ENODEV: unplugged
    }
    if (got == 0) break;
    const size_t count = static_cast<size_t>(got) / sizeof(input_event);
    for (size_t i = 0; i < count; ++i) events[n++] = Event{raw[i].type, raw[i].code, raw[i].value};
    if (count < want) break;
  }
  return n;
}

bool EvdevState(void* device, DeviceState* out) noexcept {
  if (!device || !out) return false;
  const int fd = FdOf(device);
  input_absinfo abs{};
  unsigned char keys[KEY_MAX / 8 + 1] = {};
  if (ioctl(fd, EVIOCGKEY(sizeof keys), keys) < 0) return false;
  auto key = [&](int code) { return (keys[code / 8] >> (code % 8)) & 1; };
  if (ioctl(fd, EVIOCGABS(ABS_X), &abs) < 0) return false;
  out->x = abs.value;
  if (ioctl(fd, EVIOCGABS(ABS_Y), &abs) < 0) return false;
  out->y = abs.value;
  if (ioctl(fd, EVIOCGABS(ABS_PRESSURE), &abs) < 0) return false;
  out->pressure = abs.value;
  out->pen = key(BTN_TOOL_PEN);
  out->rubber = key(BTN_TOOL_RUBBER);
  out->touch = key(BTN_TOUCH);
  return true;
}

void EvdevClose(void* device) noexcept {
  if (device) ::close(FdOf(device));
}

const Backend kEvdev = {EvdevOpen, EvdevRead, EvdevState, EvdevClose};
const Backend* g_backend = &kEvdev;

static_assert(kEvSyn == EV_SYN && kEvKey == EV_KEY && kEvAbs == EV_ABS);
static_assert(kSynReport == SYN_REPORT && kSynDropped == SYN_DROPPED);
static_assert(kAbsX == ABS_X && kAbsY == ABS_Y && kAbsPressure == ABS_PRESSURE);
static_assert(kBtnToolPen == BTN_TOOL_PEN && kBtnToolRubber == BTN_TOOL_RUBBER &&
              kBtnTouch == BTN_TOUCH);

}  // namespace

const Backend& EvdevBackend() noexcept {
  return kEvdev;
}
const Backend& CurrentBackend() noexcept {
  return *g_backend;
}
void SetBackend(const Backend* backend) noexcept {
  g_backend = backend ? backend : &kEvdev;
}

bool DisplaySize(int32_t& width, int32_t& height) noexcept {
  const char* name = std::getenv("DISPLAY");
  if (!name || !name[0]) return false;
  Display* display = XOpenDisplay(name);
  if (!display) return false;
  const int screen = DefaultScreen(display);
  width = DisplayWidth(display, screen);
  height = DisplayHeight(display, screen);
  XCloseDisplay(display);
  return width > 0 && height > 0;
}

}  // namespace dro::platform::tablet
