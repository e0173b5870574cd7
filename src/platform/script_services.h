// The services a Lua filter script reaches outside the engine: a message box,
// debug output and the user's request to stop.
//
// Linux gives a library neither modal boxes nor a global key state, so:
//   - A message box goes to the host's message handler when one is set, and
//     otherwise becomes one line "caption: text" on standard error.
//   - Debug output goes to the host's debug handler when one is set;
//     otherwise it is written to standard error only while the environment
//     variable DROVINE_DEBUG is set (to anything but "0"), else dropped.
//   - The stop request is a flag the host sets (from any thread, or from
//     inside one of its handlers); the script host polls it.
#pragma once

#include <cstdint>

namespace dro::platform {

using MessageHandler = void (*)(const char* text, const char* caption);
using DebugHandler = void (*)(const char* text);

void SetMessageHandler(MessageHandler handler) noexcept;
void SetDebugHandler(DebugHandler handler) noexcept;

// Null texts count as "".
void ShowMessage(const char* text, const char* caption) noexcept;
void DebugOutput(const char* text) noexcept;

// The stop request. Safe to set from another thread while a script runs.
void SetCancelRequested(bool on) noexcept;
bool CancelRequested() noexcept;
// Reads and clears the request in one step.
bool TakeCancelRequest() noexcept;
// The flag's byte, for code that polls it without a call (read relaxed;
// nonzero while a stop is requested).
const volatile uint8_t* CancelFlagAddress() noexcept;

}  // namespace dro::platform
