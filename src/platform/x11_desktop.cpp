// The X11 clipboard and screen.
//
// Copying: the engine's selection thread (its only thread) owns the
// CLIPBOARD selection through a display connection of its own and answers
// other programs' requests for TARGETS, image/png and image/bmp while the
// host goes on. Answers above kChunk bytes go in increments (INCR): the
// thread writes one chunk each time the requestor deletes the property.
// The host thread hands a new picture over under a mutex and wakes the
// thread through a pipe; only the thread touches its connection.
//
// Pasting: when the thread owns the selection the engine's own picture is
// returned at once; otherwise a short-lived connection on the calling
// thread asks the owner for image/png, then image/bmp, and gives up on any
// wait longer than the time limit.
//
// Xlib reports protocol errors (a requestor window that vanished) through
// one process-wide handler; ours ignores them instead of ending the process.
#include "platform/x11_desktop.h"

#include "platform/image_files.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace dro::platform::desktop::x11 {
namespace {

constexpr size_t kChunk = 256 * 1024;
constexpr size_t kLargestAnswer = size_t{1} << 30;

int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}
int QuietIoError(Display*) {
  return 0;
}
// A lost connection (the server went away) ends nothing but that
// connection: the call in progress returns and the connection is dropped.
void LostConnection(Display*, void* flag) {
  if (flag) static_cast<std::atomic<bool>*>(flag)->store(true);
}

Display* OpenDisplay(std::atomic<bool>* lost = nullptr) {
  static std::once_flag once;
  std::call_once(once, [] {
    XSetErrorHandler(IgnoreErrors);
    XSetIOErrorHandler(QuietIoError);
  });
  const char* name = std::getenv("DISPLAY");
  if (!name || !name[0]) return nullptr;
  Display* d = XOpenDisplay(name);
  if (d) XSetIOErrorExitHandler(d, LostConnection, lost);
  return d;
}

struct Atoms {
  Atom clipboard = 0, targets = 0, png = 0, bmp = 0, incr = 0, property = 0;
  void Load(Display* d) {
    clipboard = XInternAtom(d, "CLIPBOARD", False);
    targets = XInternAtom(d, "TARGETS", False);
    png = XInternAtom(d, "image/png", False);
    bmp = XInternAtom(d, "image/bmp", False);
    incr = XInternAtom(d, "INCR", False);
    property = XInternAtom(d, "DROVINE_CLIPBOARD", False);
  }
};

// Our own DIB (RgbaToDib's layout) back to tight RGBA, alpha as stored.
bool OwnDibToRgba(const Buffer<uint8_t>& dib, Buffer<uint8_t>& rgba, int32_t& w, int32_t& h) {
  if (dib.size() < 40) return false;
  std::memcpy(&w, dib.data() + 4, 4);
  std::memcpy(&h, dib.data() + 8, 4);
  if (w < 1 || h < 1 || size_t(DibBytes(w, h)) != dib.size()) return false;
  rgba = Buffer<uint8_t>::Make(size_t(w) * size_t(h) * 4);
  const uint8_t* s = dib.data() + 40;
  for (int32_t y = h - 1; y >= 0; --y) {
    uint8_t* d = rgba.data() + size_t(y) * size_t(w) * 4;
    for (int32_t x = 0; x < w; ++x, s += 4, d += 4)
      d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
  }
  return true;
}

// The selection thread and what it shares with the host thread.
class SelectionOwner {
 public:
  ~SelectionOwner() { Stop(); }

  // Hands a copy of the DIB over and waits until the thread owns the
  // selection (or failed to).
  bool Offer(const uint8_t* dib, size_t size) {
    Buffer<uint8_t> copy = Buffer<uint8_t>::Make(size);
    std::memcpy(copy.data(), dib, size);
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_ && lost_) {
      // The server went away under the thread: start over on a new one.
      lock.unlock();
      Stop();
      lock.lock();
    }
    if (!running_ && !StartLocked()) return false;
    dib_ = std::move(copy);
    const uint64_t generation = ++generation_;
    owned_ = false;
    const char wake = 1;
    if (::write(pipe_[1], &wake, 1) != 1) return false;
    changed_.wait_for(lock, std::chrono::milliseconds(ClipboardTimeLimit()),
                      [&] { return answered_ >= generation; });
    return owned_ && answered_ == generation;
  }

  // A copy of our own picture while we own the selection.
  bool Own(Buffer<uint8_t>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || !owned_ || !dib_) return false;
    Buffer<uint8_t> copy = Buffer<uint8_t>::Make(dib_.size());
    std::memcpy(copy.data(), dib_.data(), dib_.size());
    out = std::move(copy);
    return true;
  }

 private:
  bool StartLocked() {
    lost_ = false;
    display_ = OpenDisplay(&lost_);
    if (!display_) return false;
    if (::pipe(pipe_) != 0) {
      XCloseDisplay(display_);
      display_ = nullptr;
      return false;
    }
    atoms_.Load(display_);
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display_, window_, PropertyChangeMask);
    XFlush(display_);
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    running_ = true;
    return true;
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!running_) return;
      stop_ = true;
      const char wake = 0;
      if (::write(pipe_[1], &wake, 1) != 1) {
      }
    }
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();  // the process is ending from the thread itself
    else
      thread_.join();
    if (!lost_) XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
    ::close(pipe_[0]);
    ::close(pipe_[1]);
    running_ = false;
  }

  // --- the thread ------------------------------------------------------------

  struct Transfer {
    Window requestor = 0;
    Atom property = 0, type = 0;
    const Buffer<uint8_t>* data = nullptr;
    size_t offset = 0;
    bool active = false;
  };

  void Run() {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {pipe_[0], POLLIN, 0}};
    uint64_t served = 0;
    for (;;) {
      while (!lost_ && XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        Handle(event);
      }
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stop_) return;
        if (lost_) {
          owned_ = false;
          answered_ = generation_;
          changed_.notify_all();
          return;
        }
        if (generation_ != served) {
          served = generation_;
          lock.unlock();
          // A new picture: what was derived from the old one goes.
          for (Transfer& t : transfers_) t.active = false;
          png_.Reset();
          bmp_.Reset();
          XSetSelectionOwner(display_, atoms_.clipboard, window_, CurrentTime);
          const bool mine = XGetSelectionOwner(display_, atoms_.clipboard) == window_;
          lock.lock();
          owned_ = mine;
          answered_ = served;
          changed_.notify_all();
          continue;
        }
      }
      XFlush(display_);
      if (lost_) continue;
      if (::poll(fds, 2, -1) > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
        lost_ = true;
        continue;
      }
      if (fds[1].revents & POLLIN) {
        char drain[64];
        if (::read(pipe_[0], drain, sizeof drain) < 0) {
        }
      }
    }
  }

  // The answer in the asked format, made on first request.
  const Buffer<uint8_t>* Answer(Atom target) {
    try {
      Buffer<uint8_t> dib;
      auto copyDib = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!dib_) return false;
        dib = Buffer<uint8_t>::Make(dib_.size());
        std::memcpy(dib.data(), dib_.data(), dib_.size());
        return true;
      };
      if (target == atoms_.png) {
        if (!png_ && copyDib()) {
          Buffer<uint8_t> rgba;
          int32_t w = 0, h = 0;
          // A fast deflate level: the picture is on its way to another
          // program now, not to a file that stays.
          if (OwnDibToRgba(dib, rgba, w, h)) image::EncodePng(rgba.data(), w, h, w * 4, 2, png_);
        }
        return png_ ? &png_ : nullptr;
      }
      if (target == atoms_.bmp) {
        if (!bmp_ && copyDib()) {
          Buffer<uint8_t> file = Buffer<uint8_t>::Make(dib.size() + 14);
          std::memset(file.data(), 0, 14);
          file[0] = 'B', file[1] = 'M';
          const uint32_t total = uint32_t(file.size()), offset = 14 + 40;
          std::memcpy(file.data() + 2, &total, 4);
          std::memcpy(file.data() + 10, &offset, 4);
          std::memcpy(file.data() + 14, dib.data(), dib.size());
          bmp_ = std::move(file);
        }
        return bmp_ ? &bmp_ : nullptr;
      }
    } catch (...) {
    }
    return nullptr;
  }

  void Handle(const XEvent& event) {
    if (event.type == SelectionClear && event.xselectionclear.selection == atoms_.clipboard) {
      std::lock_guard<std::mutex> lock(mutex_);
      owned_ = false;
      return;
    }
    if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) {
      for (Transfer& t : transfers_)
        if (t.active && t.requestor == event.xproperty.window && t.property == event.xproperty.atom)
          Continue(t);
      return;
    }
    if (event.type != SelectionRequest) return;
    const XSelectionRequestEvent& r = event.xselectionrequest;
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = r.display;
    reply.requestor = r.requestor;
    reply.selection = r.selection;
    reply.target = r.target;
    reply.time = r.time;
    // Old clients name no property: the target's name stands for it.
    const Atom property = r.property != None ? r.property : r.target;
    reply.property = None;
    bool owned;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      owned = owned_;
    }
    if (owned && r.selection == atoms_.clipboard) {
      if (r.target == atoms_.targets) {
        const Atom offered[3] = {atoms_.targets, atoms_.png, atoms_.bmp};
        XChangeProperty(display_, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 3);
        reply.property = property;
      } else if (const Buffer<uint8_t>* data = Answer(r.target)) {
        if (data->size() <= kChunk) {
          XChangeProperty(display_, r.requestor, property, r.target, 8, PropModeReplace,
                          data->data(), int(data->size()));
          reply.property = property;
        } else if (Transfer* t = FreeTransfer()) {
          // In increments: announce the size; each deletion of the
          // property by the requestor asks for the next chunk.
          *t = Transfer{r.requestor, property, r.target, data, 0, true};
          XSelectInput(display_, r.requestor, PropertyChangeMask);
          const long size = long(data->size());
          XChangeProperty(display_, r.requestor, property, atoms_.incr, 32, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(&size), 1);
          reply.property = property;
        }
      }
    }
    XSendEvent(display_, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  }

  Transfer* FreeTransfer() {
    for (Transfer& t : transfers_)
      if (!t.active) return &t;
    return nullptr;
  }

  // The next chunk, or the empty property that ends the transfer.
  void Continue(Transfer& t) {
    const size_t left = t.data->size() - t.offset;
    const size_t n = left < kChunk ? left : kChunk;
    XChangeProperty(display_, t.requestor, t.property, t.type, 8, PropModeReplace,
                    t.data->data() + t.offset, int(n));
    t.offset += n;
    if (n == 0) {
      t.active = false;
      XSelectInput(display_, t.requestor, NoEventMask);
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
  bool running_ = false, stop_ = false, owned_ = false;
  std::atomic<bool> lost_{false};
  uint64_t generation_ = 0, answered_ = 0;
  Buffer<uint8_t> dib_;  // the picture on offer (under mutex_)
  // The thread's own:
  Display* display_ = nullptr;
  Window window_ = 0;
  int pipe_[2] = {-1, -1};
  Atoms atoms_;
  Buffer<uint8_t> png_, bmp_;
  Transfer transfers_[8];
};

SelectionOwner& Owner() {
  static SelectionOwner owner;
  return owner;
}

using Clock = std::chrono::steady_clock;

// Waits for an event that `match` accepts, up to the time limit.
template <class Match>
bool WaitFor(Display* d, XEvent& event, Match&& match) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ClipboardTimeLimit());
  for (;;) {
    while (XPending(d)) {
      XNextEvent(d, &event);
      if (match(event)) return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd fd = {ConnectionNumber(d), POLLIN, 0};
    if (::poll(&fd, 1, int(left)) < 0) return false;
  }
}

// Reads (and deletes) the property; appends 8-bit data to `out`.
bool TakeProperty(Display* d, Window w, Atom property, Atom& type, Buffer<uint8_t>& out,
                  size_t& used, size_t& items) {
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, property, 0, 0x1fffffff, True, AnyPropertyType, &type, &format, &n,
                         &after, &data) != Success)
    return false;
  items = n;
  bool ok = true;
  if (type != None && format == 8 && n > 0) {
    if (n > kLargestAnswer - used) {
      ok = false;
    } else {
      if (used + n > out.size()) {
        size_t capacity = out.size() ? out.size() : 65536;
        while (capacity < used + n) capacity *= 2;
        Buffer<uint8_t> grown = Buffer<uint8_t>::Make(capacity);
        if (used) std::memcpy(grown.data(), out.data(), used);
        out = std::move(grown);
      }
      std::memcpy(out.data() + used, data, n);
      used += n;
    }
  } else if (type != None && format == 32 && n == 1) {
    long size = 0;
    std::memcpy(&size, data, sizeof size);
    items = size_t(size);
  }
  if (data) XFree(data);
  return ok;
}

// Asks the selection's owner for one target on a connection of our own.
bool Request(Display* d, Window w, const Atoms& a, Atom target, Buffer<uint8_t>& out) {
  XConvertSelection(d, a.clipboard, target, a.property, w, CurrentTime);
  XFlush(d);
  XEvent event;
  if (!WaitFor(d, event, [&](const XEvent& e) {
        return e.type == SelectionNotify && e.xselection.requestor == w;
      }))
    return false;
  if (event.xselection.property == None) return false;
  Atom type = None;
  size_t used = 0, items = 0;
  Buffer<uint8_t> data;
  if (!TakeProperty(d, w, a.property, type, data, used, items)) return false;
  if (type == a.incr) {
    // Each deletion asks for the next chunk; an empty one ends it.
    for (;;) {
      if (!WaitFor(d, event, [&](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == w &&
                   e.xproperty.atom == a.property && e.xproperty.state == PropertyNewValue;
          }))
        return false;
      if (!TakeProperty(d, w, a.property, type, data, used, items)) return false;
      if (items == 0) break;
    }
  } else if (type != target) {
    return false;
  }
  if (used == 0) return false;
  Buffer<uint8_t> exact = Buffer<uint8_t>::Make(used);
  std::memcpy(exact.data(), data.data(), used);
  out = std::move(exact);
  return true;
}

}  // namespace

bool DisplayAvailable() noexcept {
  static std::mutex m;
  static std::string last;
  static bool answer = false;
  const char* name = std::getenv("DISPLAY");
  if (!name || !name[0]) return false;
  std::lock_guard<std::mutex> lock(m);
  if (last == name) return answer;
  Display* d = OpenDisplay();
  answer = d != nullptr;
  if (d) XCloseDisplay(d);
  last = name;
  return answer;
}

bool PutClipboard(const uint8_t* dib, size_t size) {
  return Owner().Offer(dib, size);
}

bool GetClipboard(Buffer<uint8_t>& data, ClipFormat& format) {
  if (Owner().Own(data)) {
    format = ClipFormat::kDib;
    return true;
  }
  Display* d = OpenDisplay();
  if (!d) return false;
  bool ok = false;
  try {
    Atoms a;
    a.Load(d);
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(d, w, PropertyChangeMask);
    if (Request(d, w, a, a.png, data)) {
      format = ClipFormat::kPng;
      ok = true;
    } else if (Request(d, w, a, a.bmp, data)) {
      format = ClipFormat::kBmpFile;
      ok = true;
    }
    XDestroyWindow(d, w);
  } catch (...) {
    XCloseDisplay(d);
    throw;
  }
  XCloseDisplay(d);
  return ok;
}

bool CaptureScreen(image::Picture& out) {
  Display* d = OpenDisplay();
  if (!d) return false;
  bool ok = false;
  try {
    const Window root = DefaultRootWindow(d);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(d, root, &attributes) && attributes.width > 0 &&
        attributes.height > 0 && image::WithinDecodeLimits(attributes.width, attributes.height)) {
      const int32_t w = attributes.width, h = attributes.height;
      image::Picture p;
      p.pixels = Buffer<uint8_t>::Make(size_t(w) * size_t(h) * 4);
      if (XImage* shot = XGetImage(d, root, 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap)) {
        p.width = w, p.height = h, p.channels = 4;
        // Each channel from its mask, widened to 8 bits.
        auto channel = [](unsigned long pixel, unsigned long mask) -> uint8_t {
          if (!mask) return 0;
          int shift = 0, bits = 0;
          while (!(mask >> shift & 1)) ++shift;
          while (mask >> (shift + bits) & 1) ++bits;
          const unsigned long v = (pixel & mask) >> shift;
          return uint8_t(bits >= 8 ? v >> (bits - 8) : v * 255 / ((1ul << bits) - 1));
        };
        uint8_t* dst = p.pixels.data();
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x, dst += 4) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            dst[0] = channel(pixel, shot->red_mask);
            dst[1] = channel(pixel, shot->green_mask);
            dst[2] = channel(pixel, shot->blue_mask);
            dst[3] = 255;
          }
        XDestroyImage(shot);
        out = std::move(p);
        ok = true;
      }
    }
  } catch (...) {
    XCloseDisplay(d);
    throw;
  }
  XCloseDisplay(d);
  return ok;
}

}  // namespace dro::platform::desktop::x11
