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

/* ===================================================================== */
/* Brush settings                                                        */
/* ===================================================================== */

/* Settings are global, kept until set again (a new canvas keeps them).
 * Colours are held with 16 bits per channel: 8-bit values widen by x 256. */

/* Current colour from 8-bit red, green, blue (low byte of each); alpha full. */
DRO_API void DRO_CALL DRO_SetColor(int32_t red, int32_t green, int32_t blue);
/* Current colour from 16-bit red, green, blue; alpha full. */
DRO_API void DRO_CALL DRO_SetColor16(int32_t red, int32_t green, int32_t blue);
/* The four colour banks: red, green, blue (8-bit) of bank 0, then 1, 2, 3. */
DRO_API void DRO_CALL DRO_SetColorBanks(int32_t red0, int32_t green0, int32_t blue0,
                                        int32_t red1, int32_t green1, int32_t blue1,
                                        int32_t red2, int32_t green2, int32_t blue2,
                                        int32_t red3, int32_t green3, int32_t blue3);
/* Blend strength; a positive value also sets the inverse to 256 - strength. */
DRO_API void DRO_CALL DRO_SetBlendStrength(int32_t strength);
/* Primary colour strength; a positive value also sets its inverse. */
DRO_API void DRO_CALL DRO_SetBlendPrimaryColorStrength(int32_t strength);
/* Blend remix on or off (low byte). */
DRO_API void DRO_CALL DRO_SetBlendRemix(int32_t flag);
/* Dab density (1 = every dab). */
DRO_API void DRO_CALL DRO_SetDensity(int32_t density);
/* Paint alpha in percent (100 = full). */
DRO_API void DRO_CALL DRO_SetAlpha(int32_t alpha);
/* Colour variation per dab (also set by DRO_SetTool). */
DRO_API void DRO_CALL DRO_SetColorVary(int32_t amount);
/* Locks: alpha (32-bit flag), colour and blob (byte flags). */
DRO_API void DRO_CALL DRO_SetAlphaLocked(int32_t flag);
DRO_API void DRO_CALL DRO_SetColorLocked(uint8_t flag);
DRO_API void DRO_CALL DRO_SetBlobLocked(uint8_t flag);
/* Alpha level, image brush mode and solid brush mode of the dab renderer. */
DRO_API void DRO_CALL DRO_SetAlphaLevel(int32_t level);
DRO_API void DRO_CALL DRO_SetImageBrushMode(int32_t mode);
DRO_API void DRO_CALL DRO_SetSolidBrushMode(int32_t mode);
/* Dab rotation on or off, and its angle in whole degrees. */
DRO_API void DRO_CALL DRO_SetRotateBrushMode(uint8_t flag, int32_t degrees);
/* Mix mode and its amount 0..255 (127 is neutral). */
DRO_API void DRO_CALL DRO_SetMixMode(int32_t mode, int32_t amount);
/* Brush size S in pixels: 0..1000 and at most the canvas's brush size
 * limit (larger values are clamped). Call DRO_SetBrushShape or DRO_SetTool
 * afterwards to rebuild the tip. */
DRO_API void DRO_CALL DRO_SetSize(int32_t size);
/* Samples the tip at `count` evenly spaced rows and columns (1..S, at most
 * 999). */
DRO_API void DRO_CALL DRO_SetScaleSize(int32_t count);
/* Per-pixel colour and luminance variation; a positive amount (re)builds
 * the seeded variation table. */
DRO_API void DRO_CALL DRO_SetPixColorVary(int32_t amount);
DRO_API void DRO_CALL DRO_SetPixLumVary(int32_t amount);
/* Seed of every random pattern; seeds the generator at once. */
DRO_API void DRO_CALL DRO_SetRandomSeed(int32_t seed);
/* Display of the trace layer and of the mask, and whether the mask limits
 * painting and effects. */
DRO_API void DRO_CALL DRO_SetTracingMode(uint8_t flag);
DRO_API void DRO_CALL DRO_DisplayMask(uint8_t flag);
DRO_API void DRO_CALL DRO_EnableMask(uint8_t flag);
/* View zoom as a fraction; values that are not positive are ignored. */
DRO_API void DRO_CALL DRO_SetScale(int32_t numerator, int32_t denominator);
/* View offset (kept for the host; nothing reads it). */
DRO_API void DRO_CALL DRO_SetOffset(int32_t x, int32_t y);
/* Size of the host's view in output pixels; bounds what DRO_Render writes. */
DRO_API void DRO_CALL DRO_SetViewSize(int32_t width, int32_t height);
/* Accepted and ignored. */
DRO_API void DRO_CALL DRO_SetGridSpacing(int32_t spacing);
/* Counts the drawing-length counter down by one (once per dab). */
DRO_API void DRO_CALL DRO_DecDrawingLength(void);
/* One-dab flags, cleared by the next dab and by DRO_SetTool. */
DRO_API void DRO_CALL DRO_TempDisableBlend(void);
DRO_API void DRO_CALL DRO_SetMaskMakerOn(void);
DRO_API void DRO_CALL DRO_SetEraseModeOn(void);

/* Sets the whole tool: tip opacity (1.0 full), grit cell size (0 = no
 * grit, buffers kept), grit cell and pixel thresholds (0..255), tip
 * softness (0..255), colour vary, drawing length, blend strength, primary
 * colour strength, blend remix, two options kept for the host, invert tip,
 * a grit picture (effect script or image file; "" for none), the tip
 * picture and its rotation in degrees. Makes the 20 grit patterns (the same
 * for the same tool and random seed) and the brush tip. Returns 1, or 0
 * when a failure ended the call (see DRO_GetLastError). */
DRO_API int32_t DRO_CALL DRO_SetTool(float tipOpacity, int32_t gritCellSize,
                                     int32_t gritCellThreshold, int32_t gritPixelThreshold,
                                     int32_t tipSoftness, int32_t colorVary,
                                     int32_t drawingLength, int32_t blendStrength,
                                     int32_t primaryColorStrength, int32_t blendRemix,
                                     int32_t toolOption10, int32_t invertTip,
                                     int32_t toolOption12, const char* gritSource,
                                     const char* shapeSource, int32_t shapeAngle);

/* Stroke-path spline points. */
/* 0 before the first spline, then 100. */
DRO_API int32_t DRO_CALL DRO_GetSplinePointCount(void);
/* Point i of the spline; indices past the end (or negative) give the last
 * point; 0 before the first spline. */
DRO_API double DRO_CALL DRO_GetSplinePointX(int32_t index);
DRO_API double DRO_CALL DRO_GetSplinePointY(int32_t index);

/* ===================================================================== */
/* Brush shape                                                           */
/* ===================================================================== */

/* Builds the brush tip for the current size: from an effect script or an
 * image file (rotated by `angle` degrees, scaled, turned to grey; the loaded
 * picture is kept for the next call with the same path and angle), or, for
 * a path of 0 or 1 characters or an unusable one, a disc with the tool's
 * softness, invert and opacity. */
DRO_API void DRO_CALL DRO_SetBrushShape(const char* path, int32_t angle);
/* The same, trying the path only as an image file. */
DRO_API void DRO_CALL DRO_SetBrushShape_ORIGINAL(const char* path, int32_t angle);

#ifdef __cplusplus
}
#endif

#endif /* DROVINE_H */
