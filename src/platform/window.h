// The engine's hidden window and the host's windows.
//
// The engine listens for display-mode changes and resume notifications on a
// hidden window of its own. Linux has no Win32 windows, so the window is a
// small in-process object: its class and procedure are registered as they
// would be there, and messages reach the procedure when the platform layer
// (or a host through DRO_XPostWindowMessage) feeds them in.
//
// Requests aimed at the host's own windows (redraw on/off, repaint) go to a
// message handler the host installs; without one they do nothing.
#pragma once

#include <cstdint>

namespace dro::platform {

enum WindowMessage : uint32_t {
  kWmDestroy = 0x0002,
  kWmSetRedraw = 0x000B,
  kWmClose = 0x0010,
  kWmPaint = 0x000F,
  kWmDisplayChange = 0x007E,
  kWmPowerBroadcast = 0x0218,
};
constexpr uintptr_t kPbtApmSuspend = 4;
constexpr uintptr_t kPbtApmResumeSuspend = 7;
constexpr uintptr_t kPbtApmResumeAutomatic = 18;

// RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME
constexpr int32_t kRedrawFlags = 0x0001 | 0x0004 | 0x0080 | 0x0400;

using WindowProcedure = intptr_t (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);

struct WindowClass {
  const char* name = nullptr;
  uint32_t style = 0;
  WindowProcedure procedure = nullptr;
};

class HiddenWindow {
 public:
  bool Register(const WindowClass& windowClass) noexcept;
  // Creates the (never shown) window of the registered class.
  bool Create() noexcept;
  // Delivers a message to the procedure; 0 when no window exists.
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept;
  // DestroyWindow: the procedure receives WM_DESTROY, then the window is gone.
  void Destroy() noexcept;
  // PostQuitMessage: recorded for the thread's message loop.
  void PostQuit(int32_t exitCode) noexcept;

  bool registered() const noexcept { return class_.procedure != nullptr; }
  bool alive() const noexcept { return alive_; }
  bool quitPosted() const noexcept { return quitPosted_; }
  int32_t quitCode() const noexcept { return quitCode_; }
  const WindowClass& windowClass() const noexcept { return class_; }

 private:
  WindowClass class_{};
  bool alive_ = false;
  bool quitPosted_ = false;
  int32_t quitCode_ = 0;
};

HiddenWindow& TheHiddenWindow() noexcept;

// What the system does with messages a procedure does not handle.
intptr_t DefaultWindowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept;

using HostMessageHandler = int32_t (*)(void* window, int32_t message, int32_t wParam,
                                       int32_t lParam);
void SetHostMessageHandler(HostMessageHandler handler) noexcept;
// Forwards a request to the host's handler; 0 without one.
int32_t SendToHostWindow(void* window, int32_t message, int32_t wParam, int32_t lParam) noexcept;

}  // namespace dro::platform
