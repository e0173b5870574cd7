#include "engine/frame.h"

#include <cstdio>
#include <cstring>

#include "base/diagnostics.h"
#include "base/guard.h"
#include "engine/engine.h"
#include "platform/window.h"

namespace dro {

void SetLastError(const char* text) noexcept {
  if (!text) return;
  char* buffer = engine().frame.lastError;
  const size_t n = strnlen(text, kLastErrorSize - 1);
  std::memmove(buffer, text, n);
  buffer[n] = '\0';
}

void RecordFailure(Operation operation, const char* cause) noexcept {
  char text[kLastErrorSize];
  std::snprintf(text, sizeof text, "%s Excpt", OperationName(operation));
  SetLastError(text);
  if (DiagnosticsOn()) Diagnose(text, "%s", cause ? cause : CurrentFailureCause());
}

intptr_t EngineWindowProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept {
  using namespace platform;
  switch (message) {
    case kWmDisplayChange:
      engine().frame.displayChanged = 1;
      return 0;
    case kWmPowerBroadcast:
      // Only the automatic resume means the screen may have changed under us;
      // suspend and the user-driven resume that follows it do not.
      if (wParam == kPbtApmResumeAutomatic) engine().frame.displayChanged = 1;
      return 0;
    case kWmClose:
      TheHiddenWindow().Destroy();
      return 0;
    case kWmDestroy:
      TheHiddenWindow().PostQuit(0);
      return 0;
    default:
      return DefaultWindowProcedure(message, wParam, lParam);
  }
}

bool AttachLibrary() noexcept {
  platform::WindowClass cls;
  cls.name = "Calderwyn DLL window";
  cls.style = 3;  // CS_VREDRAW | CS_HREDRAW
  cls.procedure = &EngineWindowProcedure;
  platform::HiddenWindow& window = platform::TheHiddenWindow();
  if (window.Register(cls)) window.Create();
  return true;
}

bool TakeDisplayChanged() noexcept {
  uint8_t& flag = engine().frame.displayChanged;
  const bool changed = flag != 0;
  flag = 0;
  return changed;
}

namespace {
// Library attach: the loader runs this once per process.
[[maybe_unused]] const bool g_attached = AttachLibrary();
}  // namespace

}  // namespace dro
