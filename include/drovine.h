/*
 * drovine.h - the public interface of the Drovine paint engine.
 *
 * The engine keeps one canvas in process-wide state; a host drives it only
 * through the flat functions below, from one thread at a time. Pixels cross
 * the boundary as RGBA32 or RGB24 host buffers (8 bits per channel); inside,
 * every pixel is 16 bits per channel. Failures inside guarded operations are
 * reported through DRO_GetLastError() ("<operation> Excpt"); no function ever
 * raises anything to the host.
 *
 * Type mapping: 32-bit integers are int32_t (uint32_t where the value is
 * unsigned), 32-bit floats float, the few 64-bit floats double, bytes and
 * booleans uint8_t, text const char*, window handles and host buffers void*
 * (const void* when only read).
 *
 * Functions named DRO_X* are extensions for platforms without the Windows
 * services the interface was first built around.
 *
 * This header compiles as C11 and as C++.
 */
#ifndef DROVINE_H
#define DROVINE_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define DRO_CALL __stdcall
#else
#define DRO_CALL
#endif

#if defined(_WIN32)
#if defined(DROVINE_BUILDING)
#define DRO_API __declspec(dllexport)
#else
#define DRO_API __declspec(dllimport)
#endif
#else
#define DRO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ===================================================================== */
/* Engine frame: last error, utilities, memory figures, windows          */
/* ===================================================================== */

/* Copies at most 511 bytes of text (up to its NUL) into the last-error
 * buffer; the buffer always stays terminated. A null text is ignored. */
DRO_API void DRO_CALL DRO_SetLastError(const char* text);
/* The last-error buffer itself (512 bytes, owned by the library). */
DRO_API const char* DRO_CALL DRO_GetLastError(void);

/* 1 once after the display mode changed or the machine resumed, else 0. */
DRO_API int32_t DRO_CALL DRO_IsDisplayChanged(void);

/* Window utilities. Linux has no Win32 windows: these forward to the host's
 * window message handler (DRO_XSetWindowMessageHandler) and return what it
 * returns; without a handler they do nothing and return 0. */
DRO_API int32_t DRO_CALL DRO_SetWindowRedraw(void* window, int32_t flag);
DRO_API int32_t DRO_CALL DRO_RedrawWindow(void* window);

/* System colours as 0x00BBGGRR. Without a desktop colour scheme to ask,
 * these are the classic button face (0x00F0F0F0) and button text (0). */
DRO_API int32_t DRO_CALL DRO_GetWindowBackgroundColor(void);
DRO_API int32_t DRO_CALL DRO_GetWindowTextColor(void);

/* Memory blocks for the host: DRO_Alloc returns null on failure; free with
 * DRO_Free (null is ignored). DRO_Memcpy copies overlapping ranges correctly
 * and does nothing when either pointer is null. BankAdrs returns its
 * argument. */
DRO_API void* DRO_CALL DRO_Alloc(int32_t byteCount);
DRO_API void DRO_CALL DRO_Free(void* block);
DRO_API void DRO_CALL DRO_Memcpy(void* destination, const void* source, int32_t byteCount);
DRO_API void* DRO_CALL BankAdrs(void* pointer);

/* Memory figures in whole mebibytes. Physical: the kernel's total and
 * available memory. Page file: the commit limit and what remains of it.
 * Virtual: the process's address space (its limit, or the user address
 * space when unlimited) and what of it is not yet mapped. */
DRO_API int32_t DRO_CALL DRO_GetTotalPhyMemory(void);
DRO_API int32_t DRO_CALL DRO_GetAvailPhyMemory(void);
DRO_API int32_t DRO_CALL DRO_GetTotalPgMemory(void);
DRO_API int32_t DRO_CALL DRO_GetAvailPgMemory(void);
DRO_API int32_t DRO_CALL DRO_GetTotalVirMemory(void);
DRO_API int32_t DRO_CALL DRO_GetAvailVirMemory(void);

/* 1 when the file was renamed, 0 when not. */
DRO_API int32_t DRO_CALL DRO_RenameFile(const char* oldPath, const char* newPath);
/* The system's shared-data directory ("/usr/share"; its "fonts" folder holds
 * the system fonts). Valid until the next call. */
DRO_API const char* DRO_CALL DRO_GetDirInfo(void);
/* Stores the start directory; paths of 1024 characters or more are ignored. */
DRO_API void DRO_CALL DRO_SetStartDir(const char* path);

/* Writes the high bytes of red, green and blue (16-bit values) at byte
 * offset y * stride + x * 3 when (x, y) lies on the canvas. */
DRO_API void DRO_CALL DRO_SetPixelRGB24(void* rgb24, int32_t stride, int32_t x, int32_t y,
                                        int32_t red, int32_t green, int32_t blue);

/* The current layer number, and how many of the 64 slots hold pixels. */
DRO_API int32_t DRO_CALL DRO_GetLayerNum(void);
DRO_API int32_t DRO_CALL DRO_GetLayerCount(void);

/* Host window message handler: receives the requests of DRO_SetWindowRedraw
 * (message DRO_XMSG_SETREDRAW, wParam the flag's low byte) and
 * DRO_RedrawWindow (message DRO_XMSG_REDRAW, wParam DRO_XREDRAW_FLAGS).
 * Pass null to remove it. */
#define DRO_XMSG_SETREDRAW 0x000B
#define DRO_XMSG_REDRAW 0x000F
#define DRO_XREDRAW_FLAGS 0x0485
typedef int32_t(DRO_CALL* DRO_XWindowMessageHandler)(void* window, int32_t message, int32_t wParam,
                                                     int32_t lParam);
DRO_API void DRO_CALL DRO_XSetWindowMessageHandler(DRO_XWindowMessageHandler handler);

/* Delivers a message to the engine's hidden window, for hosts that learn of
 * display changes (0x007E) or power events (0x0218, wParam 18 on resume)
 * from their own toolkit. Returns the window procedure's result. */
DRO_API int32_t DRO_CALL DRO_XPostWindowMessage(int32_t message, int32_t wParam, int32_t lParam);

/* ===================================================================== */
/* Canvas                                                                */
/* ===================================================================== */

/* Makes the canvas: width and height 0..10000 (negative or larger values
 * become 100), brush size limit L (the largest brush the host will use),
 * and a fifth value kept unchanged. A live canvas is released first. */
DRO_API void DRO_CALL DRO_CreateImage(void* window, int32_t width, int32_t height,
                                      int32_t brushSizeLimit, int32_t creationValue);
/* Re-makes every canvas-sized and brush-sized buffer; layers keep their
 * old pixels and must be re-created or reloaded. */
DRO_API void DRO_CALL DRO_NewSize(void* window, int32_t width, int32_t height,
                                  int32_t brushSizeLimit, int32_t creationValue);
/* Releases the canvas and every layer. Harmless without a canvas. */
DRO_API void DRO_CALL DRO_DeleteImage(void);
/* Clears the undo store, then keeps at most min(count, 500) levels. */
DRO_API void DRO_CALL DRO_SetUndoLevels(int32_t count);
/* Releases the paint layer: 1 when it had pixels, 0 when there were none. */
DRO_API int32_t DRO_CALL DRO_DeletePaintLayer(void);

#ifdef __cplusplus
}
#endif

#endif /* DROVINE_H */
