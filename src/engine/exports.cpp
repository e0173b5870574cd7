// Exports of the engine frame and the canvas: thin wrappers that convert
// arguments, apply the guard where the operation has one, and call in.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/diagnostics.h"
#include "base/thread_pool.h"
#include "composite/layers.h"
#include "drovine.h"
#include "engine/canvas.h"
#include "engine/engine.h"
#include "engine/frame.h"
#include "platform/image_library.h"
#include "platform/memory_status.h"
#include "platform/system_info.h"
#include "platform/window.h"

using dro::engine;

void DRO_CALL DRO_SetLastError(const char* text) {
  dro::SetLastError(text);
}

const char* DRO_CALL DRO_GetLastError(void) {
  return engine().frame.lastError;
}

int32_t DRO_CALL DRO_IsDisplayChanged(void) {
  return dro::TakeDisplayChanged() ? 1 : 0;
}

int32_t DRO_CALL DRO_SetWindowRedraw(void* window, int32_t flag) {
  return dro::platform::SendToHostWindow(window, dro::platform::kWmSetRedraw, flag & 0xFF, 0);
}

int32_t DRO_CALL DRO_RedrawWindow(void* window) {
  return dro::platform::SendToHostWindow(window, dro::platform::kWmPaint,
                                         dro::platform::kRedrawFlags, 0);
}

int32_t DRO_CALL DRO_GetWindowBackgroundColor(void) {
  return dro::platform::ButtonFaceColor();
}

int32_t DRO_CALL DRO_GetWindowTextColor(void) {
  return dro::platform::ButtonTextColor();
}

void* DRO_CALL DRO_Alloc(int32_t byteCount) {
  if (byteCount < 0) {
    if (dro::DiagnosticsOn()) dro::Diagnose("DRO_Alloc", "byte count %d is negative", byteCount);
    return nullptr;
  }
  try {
    return dro::AllocateBytes(static_cast<size_t>(byteCount));
  } catch (...) {
    if (dro::DiagnosticsOn())
      dro::Diagnose("DRO_Alloc", "%d bytes: %s", byteCount, dro::CurrentFailureCause());
    return nullptr;
  }
}

void DRO_CALL DRO_Free(void* block) {
  dro::FreeBytes(block);
}

void DRO_CALL DRO_Memcpy(void* destination, const void* source, int32_t byteCount) {
  if (dro::NullArgument("DRO_Memcpy", destination, "destination") ||
      dro::NullArgument("DRO_Memcpy", source, "source") || byteCount <= 0)
    return;
  std::memmove(destination, source, static_cast<size_t>(byteCount));
}

void* DRO_CALL BankAdrs(void* pointer) {
  return pointer;
}

namespace {
int32_t Mebibytes(uint64_t dro::platform::MemoryStatus::*field) {
  return dro::platform::ToMebibytes(dro::platform::QueryMemoryStatus().*field);
}
}  // namespace

int32_t DRO_CALL DRO_GetTotalPhyMemory(void) {
  return Mebibytes(&dro::platform::MemoryStatus::totalPhysical);
}
int32_t DRO_CALL DRO_GetAvailPhyMemory(void) {
  return Mebibytes(&dro::platform::MemoryStatus::availablePhysical);
}
int32_t DRO_CALL DRO_GetTotalPgMemory(void) {
  return Mebibytes(&dro::platform::MemoryStatus::totalPageFile);
}
int32_t DRO_CALL DRO_GetAvailPgMemory(void) {
  return Mebibytes(&dro::platform::MemoryStatus::availablePageFile);
}
int32_t DRO_CALL DRO_GetTotalVirMemory(void) {
  return Mebibytes(&dro::platform::MemoryStatus::totalVirtual);
}
int32_t DRO_CALL DRO_GetAvailVirMemory(void) {
  return Mebibytes(&dro::platform::MemoryStatus::availableVirtual);
}

int32_t DRO_CALL DRO_RenameFile(const char* oldPath, const char* newPath) {
  if (dro::NullArgument("DRO_RenameFile", oldPath, "old path") ||
      dro::NullArgument("DRO_RenameFile", newPath, "new path"))
    return 0;
  if (std::rename(oldPath, newPath) == 0) return 1;
  if (dro::DiagnosticsOn())
    dro::Diagnose("DRO_RenameFile", "\"%s\" to \"%s\": %s", oldPath, newPath, std::strerror(errno));
  return 0;
}

const char* DRO_CALL DRO_GetDirInfo(void) {
  static char directory[261];
  std::snprintf(directory, sizeof directory, "%s", dro::platform::SystemDirectory());
  return directory;
}

void DRO_CALL DRO_SetStartDir(const char* path) {
  if (dro::NullArgument("DRO_SetStartDir", path, "path")) return;
  const size_t n = strnlen(path, dro::kStartDirSize);
  if (n >= static_cast<size_t>(dro::kStartDirSize)) {
    if (dro::DiagnosticsOn())
      dro::Diagnose("DRO_SetStartDir",
                    "path of %d or more bytes refused; the start directory stays",
                    dro::kStartDirSize);
    return;
  }
  std::memcpy(engine().frame.startDir, path, n + 1);
}

void DRO_CALL DRO_SetPixelRGB24(void* rgb24, int32_t stride, int32_t x, int32_t y, int32_t red,
                                int32_t green, int32_t blue) {
  const dro::CanvasGeometry& c = engine().canvas;
  // Rows at least a pixel row apart, as every transfer takes them.
  if (!rgb24 || stride < int64_t{c.width} * 3 || x < 0 || y < 0 || x >= c.width || y >= c.height) {
    if (!dro::NullArgument("DRO_SetPixelRGB24", rgb24, "buffer") && dro::DiagnosticsOn()) {
      if (stride < int64_t{c.width} * 3)
        dro::Diagnose("DRO_SetPixelRGB24", "row stride %d below the canvas row's %lld bytes",
                      stride, static_cast<long long>(c.width) * 3);
      else
        dro::Diagnose("DRO_SetPixelRGB24", "point (%d, %d) outside the %d x %d canvas", x, y,
                      c.width, c.height);
    }
    return;
  }
  uint8_t* p = static_cast<uint8_t*>(rgb24) + int64_t{y} * stride + int64_t{x} * 3;
  p[0] = static_cast<uint8_t>(red >> 8);
  p[1] = static_cast<uint8_t>(green >> 8);
  p[2] = static_cast<uint8_t>(blue >> 8);
}

int32_t DRO_CALL DRO_GetLayerNum(void) {
  return engine().layers.currentIndex;
}

int32_t DRO_CALL DRO_GetLayerCount(void) {
  return dro::composite::CountLayers();
}

void DRO_CALL DRO_XSetWindowMessageHandler(DRO_XWindowMessageHandler handler) {
  dro::platform::SetHostMessageHandler(handler);
}

int32_t DRO_CALL DRO_XPostWindowMessage(int32_t message, int32_t wParam, int32_t lParam) {
  return static_cast<int32_t>(dro::platform::TheHiddenWindow().Send(
      static_cast<uint32_t>(message), static_cast<uint32_t>(wParam), lParam));
}

int32_t DRO_CALL DRO_XSetDecodeLimits(int32_t maxPixels, int32_t maxSide) {
  return dro::platform::image::SetDecodeLimits(maxPixels, maxSide) ? 1 : 0;
}

int32_t DRO_CALL DRO_XSetThreads(int32_t count) {
  return dro::threads::SetThreadCount(count);
}

void DRO_CALL DRO_CreateImage(void* window, int32_t width, int32_t height, int32_t brushSizeLimit,
                              int32_t creationValue) {
  dro::canvas::CreateImage(window, width, height, brushSizeLimit, creationValue);
}

void DRO_CALL DRO_NewSize(void* window, int32_t width, int32_t height, int32_t brushSizeLimit,
                          int32_t creationValue) {
  dro::canvas::NewSize(window, width, height, brushSizeLimit, creationValue);
}

void DRO_CALL DRO_DeleteImage(void) {
  dro::canvas::DeleteImage();
}

void DRO_CALL DRO_SetUndoLevels(int32_t count) {
  dro::canvas::SetUndoLevels(count);
}
