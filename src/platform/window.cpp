#include "platform/window.h"

namespace dro::platform {
namespace {

HostMessageHandler g_hostHandler = nullptr;

}  // namespace

bool HiddenWindow::Register(const WindowClass& windowClass) noexcept {
  if (!windowClass.name || !windowClass.procedure) return false;
  class_ = windowClass;
  return true;
}

bool HiddenWindow::Create() noexcept {
  if (!registered()) return false;
  alive_ = true;
  quitPosted_ = false;
  return true;
}

intptr_t HiddenWindow::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept {
  if (!alive_) return 0;
  return class_.procedure(message, wParam, lParam);
}

void HiddenWindow::Destroy() noexcept {
  if (!alive_) return;
  class_.procedure(kWmDestroy, 0, 0);
  alive_ = false;
}

void HiddenWindow::PostQuit(int32_t exitCode) noexcept {
  quitPosted_ = true;
  quitCode_ = exitCode;
}

HiddenWindow& TheHiddenWindow() noexcept {
  static HiddenWindow window;
  return window;
}

intptr_t DefaultWindowProcedure(uint32_t, uintptr_t, intptr_t) noexcept {
  return 0;
}

void SetHostMessageHandler(HostMessageHandler handler) noexcept {
  g_hostHandler = handler;
}

int32_t SendToHostWindow(void* window, int32_t message, int32_t wParam, int32_t lParam) noexcept {
  return g_hostHandler ? g_hostHandler(window, message, wParam, lParam) : 0;
}

}  // namespace dro::platform
