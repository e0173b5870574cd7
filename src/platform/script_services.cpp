#include "platform/script_services.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dro::platform {
namespace {

std::atomic<MessageHandler> messageHandler{nullptr};
std::atomic<DebugHandler> debugHandler{nullptr};

// A byte rather than std::atomic<bool> so that a JIT-compiled script can
// read it through a plain pointer; every access from C++ goes through
// std::atomic_ref.
alignas(8) uint8_t cancelFlag = 0;

bool DebugToStandardError() noexcept {
  static const bool on = [] {
    const char* v = std::getenv("DROVINE_DEBUG");
    return v && *v && std::strcmp(v, "0") != 0;
  }();
  return on;
}

}  // namespace

void SetMessageHandler(MessageHandler handler) noexcept {
  messageHandler.store(handler);
}

void SetDebugHandler(DebugHandler handler) noexcept {
  debugHandler.store(handler);
}

void ShowMessage(const char* text, const char* caption) noexcept {
  text = text ? text : "";
  caption = caption ? caption : "";
  if (MessageHandler h = messageHandler.load()) {
    h(text, caption);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void DebugOutput(const char* text) noexcept {
  text = text ? text : "";
  if (DebugHandler h = debugHandler.load()) {
    h(text);
    return;
  }
  if (DebugToStandardError()) std::fprintf(stderr, "%s\n", text);
}

void SetCancelRequested(bool on) noexcept {
  std::atomic_ref<uint8_t>(cancelFlag).store(on ? 1 : 0);
}

bool CancelRequested() noexcept {
  return std::atomic_ref<uint8_t>(cancelFlag).load(std::memory_order_relaxed) != 0;
}

bool TakeCancelRequest() noexcept {
  return std::atomic_ref<uint8_t>(cancelFlag).exchange(0) != 0;
}

const volatile uint8_t* CancelFlagAddress() noexcept {
  return &cancelFlag;
}

}  // namespace dro::platform
