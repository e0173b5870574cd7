/*
 * drovine.h - the public interface of the Drovine paint engine.
 * Copyright (c) 2026 the Drovine developers. MIT licence (see LICENSE).
 *
 * The engine keeps one canvas in process-wide state; a host drives it only
 * through the flat functions below, from one thread at a time. Pixels cross
 * the boundary as RGBA32 or RGB24 host buffers (8 bits per channel); inside,
 * every pixel is 16 bits per channel. Failures inside guarded operations are
 * reported through DRO_GetLastError() ("<operation> Excpt"); no function ever
 * raises anything to the host.
 *
 * A host's life (docs/host-guide.md tells it in full):
 *
 *   DRO_CreateImage(NULL, w, h, brushLimit, 0)   the canvas, 0..10000 a side
 *   DRO_SetUndoLevels(n)                         0 until set: no undo
 *   DRO_CreateLayer(1, w, h)                     slot 1: opaque white base
 *   DRO_SetLayerOptions(1, 1, 0, 100, "Normal")  layers start HIDDEN
 *   DRO_SetLayer(1)                              no layer is current until set
 *   DRO_SetSize(24); DRO_SetTool(1.0f, 0, ...)   brush size 0 until set
 *   DRO_SetAlpha(100)                            paint alpha starts at 0
 *   DRO_SetColor(r, g, b)
 *   DRO_XStrokeBegin(1); DRO_XStrokeTo(...)...; DRO_XStrokeEnd(rect)
 *   DRO_SetViewSize(w, h)                        0 x 0 until set: Render
 *                                                writes nothing
 *   DRO_Render(bgr, stride, 0, 0, w, h)          blue-green-red bytes
 *   DRO_DeleteImage()
 *
 * Defaults a host meets: paint alpha 0 (a dab paints nothing until
 * DRO_SetAlpha), brush size 0, new layers hidden with opacity 0 (the layer
 * record starts zero: set visibility and opacity with
 * DRO_SetLayerOptions), view size 0 x 0, zoom 1/1, undo levels 0, the mask
 * enabled and fully open, mix mode 32 after DRO_SetTool.
 *
 * Errors: the guarded operations record "<operation> Excpt" (each export
 * below names its text) and return their failure value; the text stays
 * until the next failure or until the host clears it with
 * DRO_SetLastError(""). Refused, clamped or substituted arguments change
 * nothing in what an export returns; DRO_XSetDiagnosticHandler or the
 * environment variable DROVINE_DEBUG=1 reports each of them, and every
 * failure with its cause, as a line of text.
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

/* The version of this header; DRO_XGetVersion() gives the library's. The
 * build takes the library's soname, drovine.pc and the CMake package
 * version from these three lines. */
#define DROVINE_VERSION_MAJOR 0
#define DROVINE_VERSION_MINOR 1
#define DROVINE_VERSION_PATCH 0
#define DROVINE_VERSION_TEXT_(x) #x
#define DROVINE_VERSION_TEXT(x) DROVINE_VERSION_TEXT_(x)
#define DROVINE_VERSION_STRING                \
  DROVINE_VERSION_TEXT(DROVINE_VERSION_MAJOR) \
  "." DROVINE_VERSION_TEXT(DROVINE_VERSION_MINOR) "." DROVINE_VERSION_TEXT(DROVINE_VERSION_PATCH)

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

/* Decode limits of every picture reader: a file whose picture has more than
 * maxPixels pixels or more than maxSide on a side is refused before
 * anything is allocated for it. Defaults: 2^27 pixels (or the environment
 * variable DROVINE_MAX_IMAGE_PIXELS) and 65535. 0 restores a default.
 * Returns 1, or 0 (nothing changed) for a negative value or a pixel limit
 * above 536870911 (2^31 / 4 - 1). */
DRO_API int32_t DRO_CALL DRO_XSetDecodeLimits(int32_t maxPixels, int32_t maxSide);

/* Worker threads for whole-canvas work (the display first): rows are split
 * into bands, one per thread, with the calling thread taking one, so the
 * results are the same for any count. The pool is made with the first
 * canvas (or here) and reused; no call makes threads. Default: the
 * machine's hardware threads, or the environment variable DROVINE_THREADS;
 * 1 keeps all work on the calling thread. `count` is capped at 64; 0 or
 * less restores the default. Returns the count in effect (lower when the
 * system starts fewer threads). Call it only while no other export runs. */
DRO_API int32_t DRO_CALL DRO_XSetThreads(int32_t count);

/* ===================================================================== */
/* Canvas                                                                */
/* ===================================================================== */

/* Makes the canvas: width and height 0..10000 (negative or larger values
 * become 100), brush size limit L (the largest brush the host will use),
 * and a fifth value kept unchanged. A live canvas is released first. */
/* Failure text: "CreateImage Excpt". */
DRO_API void DRO_CALL DRO_CreateImage(void* window, int32_t width, int32_t height,
                                      int32_t brushSizeLimit, int32_t creationValue);
/* Re-makes every canvas-sized and brush-sized buffer; layers keep their
 * old pixels and must be re-created or reloaded. */
/* Failure text: "NewSize Excpt". */
DRO_API void DRO_CALL DRO_NewSize(void* window, int32_t width, int32_t height,
                                  int32_t brushSizeLimit, int32_t creationValue);
/* Releases the canvas and every layer. Harmless without a canvas. */
/* Failure text: "DeleteImage Excpt". */
DRO_API void DRO_CALL DRO_DeleteImage(void);
/* Clears the undo store, then keeps at most min(count, 500) levels (0 at
 * load: nothing can be undone until this is called). */
/* Failure text: "ClearUndo Excpt". */
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
DRO_API void DRO_CALL DRO_SetColorBanks(int32_t red0, int32_t green0, int32_t blue0, int32_t red1,
                                        int32_t green1, int32_t blue1, int32_t red2, int32_t green2,
                                        int32_t blue2, int32_t red3, int32_t green3, int32_t blue3);
/* Blend strength; a positive value also sets the inverse to 256 - strength. */
DRO_API void DRO_CALL DRO_SetBlendStrength(int32_t strength);
/* Primary colour strength; a positive value also sets its inverse. */
DRO_API void DRO_CALL DRO_SetBlendPrimaryColorStrength(int32_t strength);
/* Blend remix on or off (low byte). */
DRO_API void DRO_CALL DRO_SetBlendRemix(int32_t flag);
/* Dab density (1 = every dab). */
DRO_API void DRO_CALL DRO_SetDensity(int32_t density);
/* Paint alpha in percent (100 = full). 0 at load: a dab paints nothing
 * until this is set. */
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
 * afterwards to rebuild the tip. 0 at load. */
DRO_API void DRO_CALL DRO_SetSize(int32_t size);
/* Samples the tip at `count` evenly spaced rows and columns (1..S, at most
 * 999). */
DRO_API void DRO_CALL DRO_SetScaleSize(int32_t count);
/* Per-pixel colour and luminance variation; a positive amount (re)builds
 * the seeded variation table. */
/* Failure text: "MakeRandArrayByte Excpt". */
DRO_API void DRO_CALL DRO_SetPixColorVary(int32_t amount);
/* Failure text: "MakeRandArrayByte Excpt". */
DRO_API void DRO_CALL DRO_SetPixLumVary(int32_t amount);
/* Seed of every random pattern; seeds the generator at once. */
DRO_API void DRO_CALL DRO_SetRandomSeed(int32_t seed);
/* Display of the trace layer and of the mask, and whether the mask limits
 * painting and effects. */
DRO_API void DRO_CALL DRO_SetTracingMode(uint8_t flag);
DRO_API void DRO_CALL DRO_DisplayMask(uint8_t flag);
DRO_API void DRO_CALL DRO_EnableMask(uint8_t flag);
/* View zoom as a fraction (1/1 after every DRO_CreateImage); values that
 * are not positive are ignored. */
DRO_API void DRO_CALL DRO_SetScale(int32_t numerator, int32_t denominator);
/* View offset (kept for the host; nothing reads it). */
DRO_API void DRO_CALL DRO_SetOffset(int32_t x, int32_t y);
/* Size of the host's view in output pixels; bounds what DRO_Render writes.
 * 0 x 0 at load: DRO_Render writes nothing until this is set. */
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
/* Failure text: "SetTool Excpt". */
DRO_API int32_t DRO_CALL DRO_SetTool(float tipOpacity, int32_t gritCellSize,
                                     int32_t gritCellThreshold, int32_t gritPixelThreshold,
                                     int32_t tipSoftness, int32_t colorVary, int32_t drawingLength,
                                     int32_t blendStrength, int32_t primaryColorStrength,
                                     int32_t blendRemix, int32_t toolOption10, int32_t invertTip,
                                     int32_t toolOption12, const char* gritSource,
                                     const char* shapeSource, int32_t shapeAngle);

/* Stroke-path spline: a smooth curve through three points sampled at 100
 * points. Returns 1, or 0 when no curve was made (earlier points kept). The
 * last argument is unused. */
DRO_API int32_t DRO_CALL DRO_CalcSpline3(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
                                         uint32_t x2, uint32_t y2, int32_t spare);
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
/* Failure text: "SetBrushShape Excpt". */
DRO_API void DRO_CALL DRO_SetBrushShape(const char* path, int32_t angle);
/* The same, trying the path only as an image file. */
/* Failure text: "SetBrushShape Excpt". */
DRO_API void DRO_CALL DRO_SetBrushShape_ORIGINAL(const char* path, int32_t angle);

/* ===================================================================== */
/* Dabs                                                                  */
/* ===================================================================== */

/* One dab of the brush tip centred on canvas pixel (x, y), in the 16-bit
 * colour (red, green, blue), of which only the high byte of each counts; the
 * colour also becomes the current colour. The dab lands in the paint layer
 * when one exists, else in the current layer, thinned by grit, alpha,
 * texture and the enabled mask, coloured from the colour or the blend
 * buffer, mixed by the mix mode, and fed back into the blend buffer when
 * remix is on. It grows the undo rectangle and the paint layer's dirty
 * rectangle. Mix modes above 33 that have no formula of their own paint
 * the source colour unchanged; an erase dab only ever lowers alpha. With
 * the mask-maker flag set it paints the mask instead (DRO_DrawDabGritMask).
 * Clears the one-dab flags (temporary blend-off, mask maker, erase). The
 * result has no meaning (0). */
DRO_API int32_t DRO_CALL DRO_DrawDabGrit(int32_t x, int32_t y, int32_t red, int32_t green,
                                         int32_t blue);
/* One dab into the mask: dark current colours open it (65535), light ones
 * close it. Clears the temporary blend-off flag. The result has no meaning
 * (0). */
DRO_API int32_t DRO_CALL DRO_DrawDabGritMask(int32_t x, int32_t y);

/* ===================================================================== */
/* Layers                                                                */
/* ===================================================================== */

/* 64 layer slots (0..63) and a paint layer. Slot 1 is the background and
 * the base of flattening; slot 0 never takes part in flattening. Every
 * operation refuses slot numbers outside 0..63 and does nothing for a slot
 * without pixels; merges, the paint layer and the raw transfers skip a layer
 * whose size no longer matches the canvas (after DRO_NewSize, until it is
 * re-created), and clip every rectangle to the buffers it addresses.
 * Opacities are given in percent (x 2.56, truncated: 100 gives 256); blend
 * modes by name (see "Blend modes"). */

/* Makes (or clears) the slot's pixels: slot 1 opaque white (65535 per
 * channel), every other slot transparent black. The slot's options are
 * not touched: a slot never configured is hidden with opacity 0 until
 * DRO_SetLayerOptions. When memory is short the
 * undo store gives back its oldest snapshots and the allocation is tried
 * again. 1 on success, 0 on failure. */
/* Failure text: "CreateLayer Excpt". */
DRO_API int32_t DRO_CALL DRO_CreateLayer(int32_t slot, int32_t width, int32_t height);
/* Frees the slot's pixels; its settings stay. */
/* Failure text: "DeleteLayer Excpt". */
DRO_API void DRO_CALL DRO_DeleteLayer(int32_t slot);
/* Makes the slot the current layer (the target of painting, loads and
 * queries) and takes it as the committed state for undo. A visible
 * "Texturize3" layer that is not current is the texture map's source. No
 * layer is current after DRO_CreateImage until this is called. */
DRO_API void DRO_CALL DRO_SetLayer(int32_t slot);
/* Visibility, lock-alpha (loads keep the layer's alpha), opacity in percent
 * and the blend mode's name (stored when shorter than 50 characters; an
 * unknown name blends as "Normal", which the diagnostics report). */
DRO_API void DRO_CALL DRO_SetLayerOptions(int32_t slot, uint8_t visible, uint8_t lockAlpha,
                                          int32_t opacityPercent, const char* modeName);
/* Exchanges two slots, pixels and settings. */
DRO_API void DRO_CALL DRO_SwapLayers(int32_t slotA, int32_t slotB);

/* Blends layer src into layer dst through src's mode, opacity and layer
 * mask (the first visible layer above src, when its mode is "Layer Mask"). */
DRO_API void DRO_CALL DRO_MergeLayer(int32_t src, int32_t dst);
/* Blends the w x h rectangle at (x, y) of the slot into a tight w x h
 * buffer of 16-bit RGBA pixels (8 bytes each), as DRO_MergeLayer does. */
DRO_API void DRO_CALL DRO_MergeLayerIntoRect(int32_t slot, void* dst, int32_t x, int32_t y,
                                             int32_t w, int32_t h);
/* The same over the whole canvas (dst canvas-size). */
DRO_API void DRO_CALL DRO_MergeLayerInto(int32_t slot, void* dst);
/* Flattens the visible layers for a rectangle into a tight w x h buffer of
 * 16-bit RGBA pixels: transparent black, slot 1 copied when its visible
 * byte is 1, then slots 2..63 blended in order. */
DRO_API void DRO_CALL DRO_MergeRect(void* dst, int32_t x, int32_t y, int32_t w, int32_t h);
/* The same over the whole canvas. */
DRO_API void DRO_CALL DRO_Merge(void* dst);

/* Makes the canvas-size paint layer on first use (cleared) and sets its
 * opacity and blend mode; dabs then land in it. */
DRO_API void DRO_CALL DRO_CreatePaintLayer(int32_t opacityPercent, const char* modeName);
/* Zeroes the paint layer and empties its dirty rectangle. */
DRO_API void DRO_CALL DRO_ClearPaintLayer(void);
/* Fills the paint layer with bytes 0xFF, zeroes its dirty rectangle, then
 * empties the rectangle. */
DRO_API void DRO_CALL DRO_ClearPaintLayer_old(void);
/* Blends the paint layer's dirty rectangle into the slot through the paint
 * layer's mode and opacity, then clears the paint layer. */
DRO_API void DRO_CALL DRO_MergePaintLayer(int32_t slot);
/* Softens the paint layer's alpha: a blurred copy of it, except where the
 * paint is nearly opaque (high byte 240 or more), which becomes fully so. */
/* Failure text: "BlurPaintLayerAlpha Excpt". */
DRO_API void DRO_CALL DRO_BlurPaintLayerAlpha(void);

/* Every pixel's alpha becomes alpha16 (0..65535). */
DRO_API void DRO_CALL DRO_SetLayerAlpha(int32_t slot, int32_t alpha16);
/* Folds the opacity into the pixels: alpha = opacity x alpha / 256, then
 * opacity 100 %. */
DRO_API void DRO_CALL DRO_NormalizeLayerAlpha(int32_t slot);
/* alpha = 65535 - alpha. */
DRO_API void DRO_CALL DRO_InvertAlpha(int32_t slot);
/* Canvas-size tight RGBA32 buffer: alpha = 255 - alpha. */
DRO_API void DRO_CALL DRO_InvertAlpha_RGBA32(void* rgba32);
/* Current layer: pixels with alpha below 256 become (r, g, b) x 257 with
 * alpha 0 (r, g, b 0..255). */
DRO_API void DRO_CALL DRO_SetColorAlpha(int32_t r, int32_t g, int32_t b);
/* Tight w x h RGBA32 buffer: pixels with alpha 0 get the colour. */
DRO_API void DRO_CALL DRO_SetColorAlphaRGBABuf(void* rgba32, int32_t w, int32_t h, int32_t r,
                                               int32_t g, int32_t b);
/* Tight w x h RGBA32 buffer: every pixel gets the colour; alpha stays. */
DRO_API void DRO_CALL DRO_SetColorRGBABuf(void* rgba32, int32_t w, int32_t h, int32_t r, int32_t g,
                                          int32_t b);
/* Canvas-size tight RGBA32 buffer: pixels of exactly (r, g, b) get alpha 0. */
DRO_API void DRO_CALL DRO_SetAlphaFromRGBAImageColor(void* rgba32, int32_t r, int32_t g, int32_t b);
/* Loads a tight w x h RGBA32 picture into the slot: with useMask, its
 * alpha is first weighted by the texture map and the mask (in the caller's
 * buffer); the slot is cleared through the mask, then the picture is
 * blended in as "Normal" (keeping the slot's alpha when it locks alpha). The
 * second argument is ignored. */
/* Failure text: "LoadRGBA32Layer Excpt". */
DRO_API void DRO_CALL DRO_LoadRGBA32Layer_BAD(void* data, int32_t ignored, int32_t slot, int32_t w,
                                              int32_t h, uint8_t useMask);
/* Turns the layer into shading for the alpha-family modes: kind 1 pulls
 * colours towards the middle grey, any other kind makes them 32767; alpha
 * above 8191 becomes grey x 0.843 + 10239. */
DRO_API void DRO_CALL DRO_CreateBlobFromImage(int32_t slot, int32_t kind);

/* Raw 16-bit RGBA layer pixels (8 bytes per pixel, canvas-size layers).
 * 1 when pixels moved, 0 when not. Strides are in bytes. */
DRO_API int32_t DRO_CALL DRO_SetRGBA64Layer(const void* src, int32_t srcStrideBytes, int32_t layer);
DRO_API int32_t DRO_CALL DRO_GetRGBA64Layer(void* dst, int32_t dstStrideBytes, int32_t layer);
/* The w x h rectangle at (x, y) into dst (its first pixel is the corner);
 * parts outside the layer leave dst as it was. */
DRO_API int32_t DRO_CALL DRO_GetRGBA64LayerRect(void* dst, int32_t dstStrideBytes, int32_t layer,
                                                int32_t x, int32_t y, int32_t w, int32_t h);
/* Whole-layer copies of width x height x 8 bytes. */
DRO_API int32_t DRO_CALL DRO_SetLayerData(const void* src, int32_t layer);
DRO_API int32_t DRO_CALL DRO_GetLayerData(void* dst, int32_t layer);
DRO_API int32_t DRO_CALL DRO_CopyLayerData(int32_t fromLayer, int32_t toLayer);

/* ===================================================================== */
/* Blend modes                                                           */
/* ===================================================================== */

/* Layers, the paint layer, effects and pastes composite through a blend
 * mode chosen by its exact, case-sensitive name; any other name is
 * "Normal". Colour modes: "Normal", "Multiply", "Screen", "Darken",
 * "Lighten", "Difference", "Negation", "Exclusion", "Overlay",
 * "Hard Light", "Soft Light", "Dodge", "Burn", "Reflect", "Glow", "Add",
 * "Subtract". Texture modes: "Texturize", "Texturize2", "Texturize3" (the
 * last also feeds the texture map). Alpha modes, which first reinterpret the
 * source alpha as a shade, an outline, a luminance or a mask: "Alpha
 * Filter", "Alpha Black Outline", "Alpha Outline Tint 1", "Alpha Outline
 * Tint 2", "Alpha Invert", "Alpha Shader", "Alpha Shader Color", "Alpha
 * Shader Texture2", "Alpha Highlight Texture2", "Alpha Smooth", "Alpha
 * Smooth Lum", "Alpha Smooth Lum2", "Alpha Smooth Lum3", "Alpha Smooth
 * Lum4", "Alpha Smooth Lum5", "Alpha Overlay Outline", "Alpha Highlight",
 * "Layer Mask" (masks the layer below by its grey), "Luminance Alpha",
 * "Luminance Alpha Invert".
 *
 * The composite runs vectorised where the CPU allows; setting the
 * environment variable DROVINE_NO_FAST_PATHS=1 before the first composite
 * selects the plain reference code (identical results, slower). */

/* ===================================================================== */
/* Display                                                               */
/* ===================================================================== */

/* Composes the canvas rectangle (x, y, width, height) of the visible layers
 * (slot 1 upwards, the paint layer directly above the current layer) into
 * the host's 24-bit bitmap: bytes blue, green, red, rows `stride` bytes
 * apart (negative for a bottom-up bitmap), output row 0 showing the top of
 * the rectangle. Zoom N/D (DRO_SetScale): N = D shows each canvas pixel
 * once, N < D every D-th canvas pixel, N > D each canvas pixel as N x N
 * output pixels. The output is at most the view size (DRO_SetViewSize):
 * min(width, view width) x min(height, view height) at 1/1, width / D at
 * 1/D, N x width at N/1; the host provides that room. Tracing averages in
 * the trace layer (slot 0), transparency shows as a 32 x 32 checkerboard
 * of white and grey, and the displayed mask tints unselected pixels with
 * the overlay colours of DRO_SetMaskOptions. Nothing is drawn without a
 * current layer or a view size; layers whose size no longer matches the
 * canvas are left out. */
DRO_API void DRO_CALL DRO_Render(void* destination, int32_t stride, int32_t x, int32_t y,
                                 int32_t width, int32_t height);

/* ===================================================================== */
/* Undo                                                                  */
/* ===================================================================== */

/* The undo store keeps up to the levels set by DRO_SetUndoLevels (at most
 * 500) changes of the current layer's pixels and of the mask, bounded by a
 * memory budget. Change a layer, then commit with DRO_SaveUndoBuffer. An
 * entry whose layer was deleted or re-made at another size is dropped
 * instead of being applied. */

/* Commits the change: the changed rectangle (the whole canvas unless dabs
 * measured it) is filed away as it was before, for the pixels, the mask or
 * both. Drops every undone change first. */
/* Failure text: "SaveUndoBuf Excpt". */
DRO_API void DRO_CALL DRO_SaveUndoBuffer(uint8_t savePixels, uint8_t saveMask);
/* Takes the layer and the mask as the committed state. */
DRO_API void DRO_CALL DRO_SaveUndoBackBuffer(int32_t layer);
/* Undoes the newest change (switching to its layer when needed) / redoes
 * the newest undone change. */
DRO_API void DRO_CALL DRO_Undo(void);
DRO_API void DRO_CALL DRO_Redo(void);
/* 1 when there is a change to undo / to redo, else 0. */
DRO_API int32_t DRO_CALL DRO_CanUndo(void);
DRO_API int32_t DRO_CALL DRO_CanRedo(void);
/* Undone changes waiting for redo; entries held (undone ones included). */
DRO_API int32_t DRO_CALL DRO_GetRedoCount(void);
DRO_API int32_t DRO_CALL DRO_GetUndoCount(void);
/* Empties the store and takes the current layer as committed; also ends a
 * pause. */
/* Failure text: "ClearUndo Excpt". */
DRO_API void DRO_CALL DRO_ClearUndo(void);
/* Frees the oldest changes until at least that many kilobytes are free. */
/* Failure text: "RemoveAdandonedUndo Excpt". */
DRO_API void DRO_CALL DRO_ReduceUndo(int32_t kilobytes);
/* While paused, saving, undo and redo do nothing. */
DRO_API void DRO_CALL DRO_PauseUndo(void);
DRO_API void DRO_CALL DRO_ResumeUndo(void);
/* 0: a budget worked out from free memory before every save; otherwise a
 * fixed budget in megabytes. Returns the budget in megabytes. */
DRO_API int32_t DRO_CALL DRO_SetUndoMB(int32_t megabytes);
/* The budget and the memory held, in megabytes. */
DRO_API int32_t DRO_CALL DRO_GetTotalUndoMemory(void);
DRO_API int32_t DRO_CALL DRO_GetCurrentUndoMemory(void);

/* ===================================================================== */
/* Pixel transfers                                                       */
/* ===================================================================== */

/* Host pixels widen by x 256 (255 becomes 65280) and narrow to the high
 * byte. Canvas-size host buffers have canvas width x height pixels with the
 * given row stride in bytes; they are read and written only within the
 * canvas, and a layer of another size only where it overlaps the canvas.
 * Nothing happens without a canvas, for an empty slot or a null buffer. */

/* Current layer from a B, G, R buffer: min(width, canvas width) columns,
 * min(rows, canvas height) rows, each (R x 256, G x 256, B x 256, 65535). */
DRO_API void DRO_CALL DRO_Load(const void* data, int32_t stride, int32_t width, int32_t rows);
/* Loads the w x h RGBA32 block at (x, y) of the layer, clipped to the layer
 * (a negative x or y skips source columns or rows). useMask weights the
 * load by the texture map and the enabled mask; lock-alpha keeps alpha. */
DRO_API void DRO_CALL DRO_LoadRGBA32Layer(const void* data, int32_t stride, int32_t layer,
                                          int32_t x, int32_t y, int32_t w, int32_t h,
                                          uint8_t useMask);
/* DRO_LoadRGBA32Layer on the current layer at (0, 0), the layer's size. */
DRO_API void DRO_CALL DRO_LoadRGBA32(const void* data, int32_t stride, uint8_t useMask);
/* DRO_LoadRGBA32Layer with useMask = 1. */
DRO_API void DRO_CALL DRO_LoadRGBA32Into(const void* data, int32_t stride, int32_t layer, int32_t x,
                                         int32_t y, int32_t w, int32_t h);
/* Current layer, colour only, from a canvas-size RGB24 buffer; useMask
 * weights it by texture and mask. */
DRO_API void DRO_CALL DRO_LoadRGB24(const void* data, int32_t stride, uint8_t useMask);
/* Current layer alpha from the first byte of each RGB24 pixel, only where
 * alpha is already non-zero; useMask weights it by texture and mask. */
DRO_API void DRO_CALL DRO_LoadRGB24ToAlpha(const void* data, int32_t stride, uint8_t useMask);

/* A layer (or the current layer) narrowed into a canvas-size RGBA32 or
 * RGB24 buffer; FromAlpha writes the alpha high byte as grey. */
DRO_API void DRO_CALL DRO_GetRGBA32Layer(void* dst, int32_t stride, int32_t layer);
DRO_API void DRO_CALL DRO_GetRGBA32(void* dst, int32_t stride);
DRO_API void DRO_CALL DRO_GetRGB24Layer(void* dst, int32_t stride, int32_t layer);
DRO_API void DRO_CALL DRO_GetRGB24(void* dst, int32_t stride);
DRO_API void DRO_CALL DRO_GetRGB24FromAlpha(void* dst, int32_t stride);
/* Narrows a w x h block of host Pixel64 rows (srcStrideBytes apart) into
 * RGBA32 or RGB24 rows. dst and src address the block's first pixel; x and
 * y do not move them. */
DRO_API void DRO_CALL DRO_GetRGBA32FromRGBA64Rect(void* dst, int32_t dstStride, const void* src,
                                                  int32_t srcStrideBytes, int32_t x, int32_t y,
                                                  int32_t w, int32_t h);
DRO_API void DRO_CALL DRO_GetRGBA32FromRGBA64(void* dst, int32_t dstStride, int32_t w, int32_t h,
                                              const void* src, int32_t srcStrideBytes);
DRO_API void DRO_CALL DRO_GetRGB24FromRGBA64Rect(void* dst, int32_t dstStride, const void* src,
                                                 int32_t srcStrideBytes, int32_t x, int32_t y,
                                                 int32_t w, int32_t h);
/* The whole canvas of a host Pixel64 buffer into RGB24. */
DRO_API void DRO_CALL DRO_GetRGB24FromRGBA64(void* dst, int32_t dstStride, const void* src,
                                             int32_t srcStrideBytes);
/* The w x h block at (x, y) of a Pixel64 buffer (row step srcStridePixels,
 * the block inside it) into a tight RGBA32 or RGB24 buffer. */
DRO_API void DRO_CALL DRO_RGBA64RectToRGBA32(const void* src, int32_t x, int32_t y, int32_t w,
                                             int32_t h, int32_t srcStridePixels, int32_t unused,
                                             void* dst);
DRO_API void DRO_CALL DRO_RGBA64RectToRGBA24(const void* src, int32_t x, int32_t y, int32_t w,
                                             int32_t h, int32_t srcStridePixels, int32_t unused,
                                             void* dst);

/* Tight w x h buffers: RGB into RGBA (fourth byte kept), RGBA into RGB,
 * RGBA alpha as grey RGB, and (R + G + B) / 3 into the RGBA alpha byte. */
DRO_API void DRO_CALL DRO_RGBToRGBA(void* rgba32, int32_t w, int32_t h, const void* rgb24);
DRO_API void DRO_CALL DRO_RGBAToRGB(void* rgb24, int32_t w, int32_t h, const void* rgba32);
DRO_API void DRO_CALL DRO_RGBAlphaToRGB(void* rgb24, int32_t w, int32_t h, const void* rgba32);
DRO_API void DRO_CALL DRO_RGBToRGBAlpha(void* rgba32, int32_t w, int32_t h, const void* rgb24);

/* Fills: the current layer with (r, g, b, a) x 256; a canvas-size Pixel64
 * buffer with 16-bit values; a canvas-size or a tight RGBA32 buffer. */
DRO_API void DRO_CALL DRO_Clear(int32_t r, int32_t g, int32_t b, int32_t a);
DRO_API void DRO_CALL DRO_ClearRGBA64(void* dst, int32_t strideBytes, int32_t r16, int32_t g16,
                                      int32_t b16, int32_t a16);
DRO_API void DRO_CALL DRO_ClearRGBA32(void* dst, int32_t stride, int32_t r, int32_t g, int32_t b,
                                      int32_t a);
DRO_API void DRO_CALL DRO_ClearRGBA32Buf(void* dst, int32_t w, int32_t h, int32_t r, int32_t g,
                                         int32_t b, int32_t a);
/* Mask-weighted fill of the current layer: selected pixels take the colour,
 * partly selected ones mix towards it and become opaque. */
DRO_API void DRO_CALL DRO_ClearMasked(int32_t r, int32_t g, int32_t b, int32_t a);
/* As a weighted load of a buffer of the colour: alpha mixes too. */
DRO_API void DRO_CALL DRO_ClearMaskedAlpha(int32_t r, int32_t g, int32_t b, int32_t a);

/* One 16-bit channel of the current layer; 0 off the canvas. */
DRO_API int32_t DRO_CALL DRO_GetRed64(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetGreen64(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetBlue64(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetAlpha64(int32_t x, int32_t y);
/* 65535 minus the mask value while the mask is enabled, else 0. */
DRO_API int32_t DRO_CALL DRO_GetMask64(int32_t x, int32_t y);
/* R8 << 24 | G8 << 16 | B8 << 8 | A8 of a canvas-size Pixel64 buffer, the
 * current layer, a layer, the under-layer buffer or the trace buffer; x and
 * y are clamped into the canvas; 0 when there is no such buffer. */
DRO_API int32_t DRO_CALL DRO_GetRGBAAt(int32_t x, int32_t y, const void* buffer);
DRO_API int32_t DRO_CALL DRO_GetRGBAAtSurface(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetRGBAAtLayer(int32_t x, int32_t y, int32_t layer);
DRO_API int32_t DRO_CALL DRO_GetRGBAAtUnderLayer(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetRGBAAtTrace(int32_t x, int32_t y);
/* R8 << 16 | G8 << 8 | B8, or -1 where the alpha high byte is 0; same
 * sources and clamping; 0 when there is no such buffer. */
DRO_API int32_t DRO_CALL DRO_GetColorAt(int32_t x, int32_t y, const void* buffer);
DRO_API int32_t DRO_CALL DRO_GetColorAtSurface(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetColorAtLayer(int32_t x, int32_t y, int32_t layer);
DRO_API int32_t DRO_CALL DRO_GetColorAtUnderLayer(int32_t x, int32_t y);
DRO_API int32_t DRO_CALL DRO_GetColorAtTrace(int32_t x, int32_t y);
/* DRO_GetColorAtUnderLayer while there is a step to undo, else 0. */
DRO_API int32_t DRO_CALL DRO_GetColorAtHistory(int32_t x, int32_t y);
/* The colour of the visible layers flattened at (x, y) (clamped into the
 * canvas), or -1 where the result is transparent; 0 without a canvas. */
/* Failure text: "DRO_GetColorAtMerged Excpt". */
DRO_API int32_t DRO_CALL DRO_GetColorAtMerged(int32_t x, int32_t y);
/* Bounding box of the layer's pixels with non-zero alpha; (canvas width,
 * canvas height, 0, 0) when there are none; outputs untouched for an empty
 * slot. */
DRO_API void DRO_CALL DRO_FindDataExtentsLayer(int32_t layer, int32_t* minX, int32_t* minY,
                                               int32_t* maxX, int32_t* maxY);

/* ===================================================================== */
/* Run-length lines                                                      */
/* ===================================================================== */

/* RGBA runs: 5-byte records (length 1..255, then the high bytes of red,
 * green, blue, alpha). Mask runs: 2-byte records (length, high byte). The
 * low byte of every 16-bit value is dropped. Encoders return the bytes
 * written (at most 5n or 2n; 0 for a null buffer or n <= 0). Decoders
 * write at most n values, each byte x 256, stop at a record of length 0,
 * and return the number of values written. */
DRO_API int32_t DRO_CALL DRO_RLECompressRGBA64ToRGBA32(const void* src, void* dst, int32_t n);
DRO_API int32_t DRO_CALL DRO_RLEUncompressRGBA32ToRGBA64(const void* src, void* dst, int32_t n);
DRO_API int32_t DRO_CALL DRO_RLECompressG16ToG8(const void* src, void* dst, int32_t n);
DRO_API int32_t DRO_CALL DRO_RLEUncompressG8ToG16(const void* src, void* dst, int32_t n);
/* One row of a layer (canvas width pixels) or of the mask, encoded into or
 * decoded from runs; 0 for an empty slot, no canvas or a row off the
 * canvas. */
DRO_API int32_t DRO_CALL DRO_GetRGBA32LayerLineRLE(void* dst, int32_t slot, int32_t row);
DRO_API int32_t DRO_CALL DRO_PutRGBA32LayerLineRLE(const void* src, int32_t slot, int32_t row);
DRO_API int32_t DRO_CALL DRO_GetMaskLineRLE(void* dst, int32_t row);
DRO_API int32_t DRO_CALL DRO_PutMaskLineRLE(const void* src, int32_t row);

/* A layer narrowed to a canvas-size RGBA32 image and deflated into dst
 * (capacity bytes); returns the compressed length, 0 for an empty slot or
 * when it does not fit. The second and fifth arguments are not used. */
/* Failure text: "GetRGBA32Layer Excpt". */
DRO_API int32_t DRO_CALL DRO_GetRGBA32LayerCompressed(void* dst, int32_t unused, int32_t capacity,
                                                      int32_t slot, int32_t unusedLevel);
/* Inflates srcLength bytes into the layer (its own size, no texture or mask
 * weighting, lock-alpha kept); 1 when loaded, 0 for an empty slot or a
 * stream that does not hold exactly one layer. */
/* Failure text: "LoadRGBA32LayerCompressed Excpt". */
DRO_API int32_t DRO_CALL DRO_LoadRGBA32LayerCompressed(const void* src, int32_t unused,
                                                       int32_t srcLength, int32_t slot);

/* ===================================================================== */
/* Colour                                                                */
/* ===================================================================== */

/* Shifts hue (whole degrees), saturation and lightness (percent, -100..100)
 * over a tight RGBA32 buffer; alpha stays. Grey has hue 0 in HSL, so a
 * saturation increase tints it with the shifted hue. Returns width. */
DRO_API int32_t DRO_CALL DRO_ProcessBuffer_HSLAdjust(void* rgba32, int32_t width, int32_t height,
                                                     int32_t hueShift, int32_t saturationPercent,
                                                     int32_t lightnessPercent);
/* The same in HSV (value instead of lightness); grey pixels stay grey. */
DRO_API int32_t DRO_CALL DRO_ProcessBuffer_HSVAdjust(void* rgba32, int32_t width, int32_t height,
                                                     int32_t hueShift, int32_t saturationPercent,
                                                     int32_t valuePercent);

/* ===================================================================== */
/* Mask                                                                  */
/* ===================================================================== */

/* The mask holds one 16-bit value per canvas pixel: 65535 open to painting
 * and effects, 0 closed. Its grey pictures show open pixels dark: grey 0 is
 * 65535, grey 255 is 0. Host images are canvas-size tight RGBA32 (or RGB24)
 * buffers unless a stride is given. Strength s (0..255) writes (255 - s) x
 * 256 into matching pixels and leaves the others, so calls add up;
 * tolerance t is a percentage: T = trunc(t x 2.56) on the 0..255 scale.
 * Without a canvas nothing happens (and 0 is returned). */

/* Overlay colours of the displayed mask (8-bit channels) and whether it
 * shows at full strength. */
DRO_API void DRO_CALL DRO_SetMaskOptions(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                                         int32_t b2, int32_t fullStrength);
/* Every value v becomes 65535 - v. */
DRO_API void DRO_CALL DRO_InvertMask(void);
/* Fills with 65535 when (r + g + b) / 3 <= 255, else 65280 - the mean. */
DRO_API void DRO_CALL DRO_ClearMask(int32_t r, int32_t g, int32_t b);
/* The mask as a grey canvas-size RGB24 picture, and a w x h grey picture
 * back into the mask's top-left corner (clipped to the canvas). */
DRO_API void DRO_CALL DRO_SaveMask(void* rgb24, int32_t stride);
DRO_API void DRO_CALL DRO_LoadMask(const void* rgb24, int32_t stride, int32_t w, int32_t h);
/* Current layer as opaque grey from the mask; alpha from the mask; the
 * mask from the layer's alpha; the mask from the layer's grey. */
DRO_API void DRO_CALL DRO_CreateImageFromMask(void);
DRO_API void DRO_CALL DRO_CreateAlphaFromMask(void);
DRO_API void DRO_CALL DRO_CreateMaskFromAlpha(void);
DRO_API void DRO_CALL DRO_CreateMaskFromImage(void);
/* value (low 16 bits) where the two RGBA32 images differ in any byte. */
DRO_API void DRO_CALL DRO_CreateMaskFromDiff_RGBA32(const void* imageA, const void* imageB,
                                                    int32_t value);
/* Creators by exact colour, colour range, alpha range, luminance range
 * (means of R, G, B), HSV hue range (t x 1.8 degrees, across 0/360) and
 * HSL range (hue within hueTolerance x 180 degrees, saturation and
 * lightness within their tolerances on 0..1). */
DRO_API void DRO_CALL DRO_CreateMaskFromRGBAImageColor(const void* rgba32, int32_t r, int32_t g,
                                                       int32_t b, int32_t strength);
DRO_API void DRO_CALL DRO_CreateMaskFromRGB24ImageColor(const void* rgb24, int32_t r, int32_t g,
                                                        int32_t b, int32_t strength);
DRO_API void DRO_CALL DRO_CreateMaskFromRGBAImageColorRange(const void* rgba32, int32_t r,
                                                            int32_t g, int32_t b, int32_t tolerance,
                                                            int32_t strength);
DRO_API void DRO_CALL DRO_CreateMaskFromRGBAImageAlphaRange(const void* rgba32, int32_t a,
                                                            int32_t tolerance, int32_t strength);
DRO_API void DRO_CALL DRO_CreateMaskFromRGBAImageLuminanceRange(const void* rgba32, int32_t r,
                                                                int32_t g, int32_t b,
                                                                int32_t tolerance,
                                                                int32_t strength);
DRO_API void DRO_CALL DRO_CreateMaskFromRGBAImageHueRange(const void* rgba32, int32_t r, int32_t g,
                                                          int32_t b, int32_t tolerance,
                                                          int32_t strength);
DRO_API void DRO_CALL DRO_CreateMaskFromRGBAImageHSLRange(const void* rgba32, int32_t r, int32_t g,
                                                          int32_t b, double hueTolerance,
                                                          double saturationTolerance,
                                                          double lightnessTolerance,
                                                          int32_t strength);
/* Pixels whose flag byte (canvas width x height bytes) is 1. */
DRO_API void DRO_CALL DRO_CreateMaskFromFloodMask(const void* flags, int32_t strength);
/* Scales the alpha of an RGBA32 buffer whose first pixel is canvas pixel
 * (x0, y0) by the mask over the inclusive rectangle (clipped to the
 * canvas): alpha 0 where the value's high byte k is 0, kept at 255, else
 * alpha x (k + 1) / 256. The plain form covers a tight canvas-size buffer. */
DRO_API void DRO_CALL DRO_ApplyMaskToAlphaRect_RGBA32(void* rgba32, int32_t stride, int32_t x0,
                                                      int32_t y0, int32_t x1, int32_t y1);
DRO_API void DRO_CALL DRO_ApplyMaskToAlpha_RGBA32(void* rgba32);
/* Pixels whose alpha is within the tolerance of a become (r, g, b, newA);
 * the mask is not used. */
DRO_API void DRO_CALL DRO_ReplaceFromRGBAImageAlphaRange(void* rgba32, int32_t a, int32_t tolerance,
                                                         int32_t r, int32_t g, int32_t b,
                                                         int32_t newA);
/* The whole mask (width x height 16-bit values) out or in; returns the
 * bytes copied. */
DRO_API int32_t DRO_CALL DRO_GetMaskData16(void* dst);
DRO_API int32_t DRO_CALL DRO_SetMaskData16(const void* src);

/* ===================================================================== */
/* Texture                                                               */
/* ===================================================================== */

/* Builds the texture map from the slot's layer: one byte per canvas pixel,
 * (R + G + B) / 768 clamped to 4..250. Returns the map (owned by the
 * engine), or null for an empty slot, without a canvas or on failure. */
/* Failure text: "CreateTexture Excpt". */
DRO_API void* DRO_CALL DRO_CreateTexture(int32_t slot);
/* Drops the texture map. */
DRO_API void DRO_CALL DRO_DeleteTexture(void);
/* Scales the alpha of a tight RGBA32 buffer (at the canvas origin, or
 * placed at (x, y)) by the texture map and the enabled mask; only the part
 * on the canvas. Nothing without a map and with the mask disabled. */
DRO_API void DRO_CALL DRO_AdjustRGBA32ByMaskAndTexture(void* rgba32, int32_t w, int32_t h);
DRO_API void DRO_CALL DRO_AdjustRGBA32RectByMaskAndTexture(void* rgba32, int32_t x, int32_t y,
                                                           int32_t w, int32_t h);
/* With flag set, un-premultiplies every pixel with alpha of a tight
 * canvas-size RGBA32 buffer. */
DRO_API void DRO_CALL DRO_AdjustRGBA32ForAlphaComp(uint8_t flag, void* rgba32);
/* Premultiply and un-premultiply of a tight RGBA32 buffer (pixels with
 * alpha 0 or 255 stay) and of a tight Pixel64 buffer; alpha stays. */
DRO_API void DRO_CALL DRO_AdjustRGBA32PreFilter(void* rgba32, int32_t w, int32_t h);
DRO_API void DRO_CALL DRO_AdjustRGBA32PostFilter(void* rgba32, int32_t w, int32_t h);
DRO_API void DRO_CALL DRO_AdjustRGBA64PreFilter(void* rgba64, int32_t w, int32_t h);
DRO_API void DRO_CALL DRO_AdjustRGBA64PostFilter(void* rgba64, int32_t w, int32_t h);

/* ===================================================================== */
/* Blend buffer                                                          */
/* ===================================================================== */

/* Picks up the canvas under the dab centred at (x, y) into the blend
 * buffer, mixed with the current colour by weight (0..256, the colour's
 * share); a dab partly off the canvas first fills the buffer with the
 * colour. Sources: a canvas-size Pixel64 buffer, the current layer, a
 * layer, the under-layer buffer (two names), the trace layer. alphaFlag
 * marks transparent and outside pixels opaque instead. 1 when the buffer
 * was filled, 0 while the blend strength is 0 or without a source. */
DRO_API int32_t DRO_CALL DRO_DoCopyBlendBuffer(int32_t x, int32_t y, const void* source,
                                               int32_t weight, uint8_t alphaFlag);
DRO_API int32_t DRO_CALL DRO_CopyBlendBufferSurface(int32_t x, int32_t y, int32_t weight,
                                                    uint8_t alphaFlag);
DRO_API int32_t DRO_CALL DRO_CopyBlendBufferLayer(int32_t slot, int32_t x, int32_t y,
                                                  int32_t weight);
DRO_API int32_t DRO_CALL DRO_CopyBlendBufferUnderLayer(int32_t x, int32_t y, int32_t weight);
DRO_API int32_t DRO_CALL DRO_CopyBlendBufferHistory(int32_t x, int32_t y, int32_t weight);
DRO_API int32_t DRO_CALL DRO_CopyBlendBufferTrace(int32_t x, int32_t y, int32_t weight);
/* The same from the mask into the buffer's mask form. */
DRO_API int32_t DRO_CALL DRO_DoCopyBlendBufferMask(int32_t x, int32_t y, int32_t weight);
/* Zeroes the whole blend buffer. */
DRO_API void DRO_CALL DRO_ClearBlendBuffer(void);
/* Filters the used pixels' colour: 289 grey, 290 invert, 291 channels below
 * amount % to 0, 292 channels above it to 65280. */
DRO_API void DRO_CALL DRO_FilterBlendBuffer(int32_t kind, int32_t amount);

/* ===================================================================== */
/* Image library: set-up and work buffers                               */
/* ===================================================================== */

/* Start and stop of the image library: nothing to do on this platform;
 * both may be called any number of times. */
DRO_API void DRO_CALL DRO_IPLInit(int32_t ignored);
DRO_API void DRO_CALL DRO_IPLExit(void);
/* The four canvas-size work buffers, tight rows: the RGBA32 source and
 * destination and the RGB24 source and destination. An allocation releases
 * the old buffer first; the sources are filled from the current layer (the
 * high byte of each channel, zero where the layer does not cover the
 * canvas), the destinations are left unfilled. Frees of an absent buffer do
 * nothing. A canvas size change releases all four. Failures are recorded as
 * "IPLAllocSrcBuffer32 Excpt", "IPLFreeSrcBuffer32 Excpt" and so on. */
DRO_API void DRO_CALL DRO_IPLAllocSrcBuffer32(void);
DRO_API void DRO_CALL DRO_IPLFreeSrcBuffer32(void);
/* Failure text: "IPLAllocDstBuffer32 Excpt". */
DRO_API void DRO_CALL DRO_IPLAllocDstBuffer32(void);
/* Failure text: "IPLFreeDstBuffer32 Excpt". */
DRO_API void DRO_CALL DRO_IPLFreeDstBuffer32(void);
/* Failure text: "IPLAllocSrcBuffer24 Excpt". */
DRO_API void DRO_CALL DRO_IPLAllocSrcBuffer24(void);
/* Failure text: "IPLFreeSrcBuffer24 Excpt". */
DRO_API void DRO_CALL DRO_IPLFreeSrcBuffer24(void);
/* Failure text: "IPLAllocDstBuffer24 Excpt". */
DRO_API void DRO_CALL DRO_IPLAllocDstBuffer24(void);
/* Failure text: "IPLFreeDstBuffer24 Excpt". */
DRO_API void DRO_CALL DRO_IPLFreeDstBuffer24(void);
/* Refills an allocated RGBA32 source from the current layer. */
DRO_API void DRO_CALL DRO_IPLUpdateSrcBuffer32(void);
/* Copies a tight canvas-size RGBA32 picture into the RGBA32 source or
 * destination; nothing when the picture is null or the buffer absent. */
DRO_API void DRO_CALL DRO_IPLSetSrcBuffer32(const void* pixels);
DRO_API void DRO_CALL DRO_IPLSetDstBuffer32(const void* pixels);
/* Scales the RGBA32 source's alpha by the mask while the mask is enabled. */
DRO_API void DRO_CALL DRO_ApplyMaskToAlpha_IPLSrcRGBA(void);

/* ===================================================================== */
/* Mask shapes and the magic wand                                        */
/* ===================================================================== */

/* Close an ellipse (inscribed in the box of the two corners, radii at
 * least 2) or a rectangle (both corners included) of the mask by a percent
 * strength d (0..100): s = trunc(d x 2.559); inside, the mask becomes 65535
 * for s = 0, else 65280 - s x 256. The mask passes through its grey picture,
 * so every value outside the shape loses its low byte. Failures record
 * "IPLMaskEllipse Excpt" and "IPLMaskRectangle Excpt". */
DRO_API void DRO_CALL DRO_IPLMaskEllipse(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                         int32_t percent);
DRO_API void DRO_CALL DRO_IPLMaskRectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                           int32_t percent);
/* Magic wand: closes (by the percent strength, as above) the pixels of the
 * current layer that resemble the clicked pixel by mode: "Non-connected",
 * "Connected", "Color Range", "Luminance Range", "Hue Range", "HSL Range",
 * "Alpha Connected" (current layer above slot 1 only), "Alpha
 * Non-connected". The tolerance runs 0..50000 (500 per percent). The wand
 * fills and then releases the RGBA32 source work buffer. A click off the
 * canvas or an unknown mode changes nothing. Failures record "IPLMaskWand
 * Excpt". */
/* Failure text: "IPLMaskWand Excpt". */
DRO_API void DRO_CALL DRO_IPLMaskWand(int32_t x, int32_t y, int32_t tolerance, int32_t percent,
                                      const char* mode);
/* Every pixel of a canvas-size RGBA32 picture (row stride width x 4) whose
 * byte in `flags` (width x height) is 1 becomes (r, g, b, a). */
DRO_API void DRO_CALL DRO_ColorRGBA32FromFloodMask(void* rgba32, const void* flags, int32_t r,
                                                   int32_t g, int32_t b, int32_t a);

/* ===================================================================== */
/* Drawing                                                               */
/* ===================================================================== */

/* A filled rectangle in (red, green, blue) merged into the current layer at
 * opacity trunc(opacityPercent x 2.559). Columns run from x1 up to x2
 * without x2's own column (x1 = 10, x2 = 20: 10..19; x1 = 20, x2 = 10:
 * 11..20), rows from min(y1, y2) to max(y1, y2). Positions are clamped to
 * +-2^24. Allocates and releases the RGBA32 destination work buffer.
 * Failures record "IPLRectangle Excpt". */
DRO_API void DRO_CALL DRO_IPLRectangle(int32_t red, int32_t green, int32_t blue, int32_t x1,
                                       int32_t y1, int32_t x2, int32_t y2, int32_t opacityPercent);
/* A filled, anti-aliased ellipse inside the same box (radii half its sides,
 * at least 2), merged like the rectangle. Failures record "IPLEllipse
 * Excpt". */
/* Failure text: "IPLEllipse Excpt". */
DRO_API void DRO_CALL DRO_IPLEllipse(int32_t red, int32_t green, int32_t blue, int32_t x1,
                                     int32_t y1, int32_t x2, int32_t y2, int32_t opacityPercent);
/* A gradient over the whole canvas merged into the current layer: `count`
 * (0..4) colours evenly spaced (two: 0 and 100 %, three: 0, 50, 100, four:
 * 0, 33, 66, 99); count 0 fades from transparent at (x1, y1) to colour 1
 * at (x2, y2), count 1 the other way. kind "Linear" runs along (x1, y1) to
 * (x2, y2); any other kind is radial about (x1, y1) through (x2, y2). A
 * zero-length vector fills with the last colour. Failures record
 * "IPLGradient Excpt". */
DRO_API void DRO_CALL DRO_IPLGradient(int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                                      int32_t b2, int32_t r3, int32_t g3, int32_t b3, int32_t r4,
                                      int32_t g4, int32_t b4, int32_t count, int32_t x1, int32_t y1,
                                      int32_t x2, int32_t y2, const char* kind);
/* Shows the host's font chooser (DRO_XSetFontChooser) for the engine's
 * font record and returns its answer; without a chooser returns 0, as a
 * cancelled choice. A chooser that fails (returns -e) records "Font Err:
 * ..." for e, the record is cleared and the chooser asked once more. */
DRO_API int32_t DRO_CALL DRO_ChooseFont(void);
/* Host font chooser: fills the 60-byte logical font record (height int32 at
 * 0, negative for pixels; weight int32 at 16; italic byte at 20; face name
 * at 28, 32 bytes) shown on `window` (the host window given to
 * DRO_CreateImage). flags 0x41: start from the record; 1: from nothing.
 * Returns a positive value when chosen, 0 when cancelled, -e on failure e.
 * Pass null to remove it. */
typedef int32_t(DRO_CALL* DRO_XFontChooser)(uint8_t* logFont, void* window, int32_t flags);
DRO_API void DRO_CALL DRO_XSetFontChooser(DRO_XFontChooser chooser);
/* Fills the font record directly: face name (null or empty, or one the
 * system does not have: its sans-serif), the em height in pixels (1..1000),
 * weight (400 regular, 700 bold; 0 regular) and italic. */
DRO_API void DRO_CALL DRO_XSetFont(const char* face, int32_t pixelHeight, int32_t weight,
                                   uint8_t italic);
/* Draws UTF-8 text (read as Windows-1252 when it is not valid UTF-8; lines
 * split at newlines) in the font record's font and (red, green, blue) at
 * (x, y) of the current layer, clipped to the canvas, through the RGBA32
 * source work buffer (nothing when it is not allocated). With `clear`,
 * text over transparent pixels keeps its colour (the buffer is
 * premultiplied around the drawing). Failures record "IPLText Excpt". */
DRO_API void DRO_CALL DRO_IPLText(int32_t red, int32_t green, int32_t blue, int32_t x, int32_t y,
                                  int32_t ignored1, int32_t ignored2, int32_t ignored3,
                                  int32_t ignored4, const char* text, uint8_t clear);
/* Flood fill at (x, y) of the current layer by mode: "Paint Non-connected",
 * "Erase Non-connected", "Paint Connected", "Erase Connected" (the erasing
 * modes paint on the background, slot 1), "Paint Alpha Connected" (above
 * slot 1), "Paint Alpha Non-Connected". Tolerance 0..50000 (500 per
 * percent). Allocates and releases the RGBA32 source work buffer. Failures
 * record "IPLFloodFill Excpt". */
DRO_API void DRO_CALL DRO_IPLFloodFill(int32_t red, int32_t green, int32_t blue, int32_t x,
                                       int32_t y, int32_t tolerance, const char* mode);
/* Displaces the RGBA32 source work buffer by the slopes of the picture the
 * effect script at `path` renders (tiled over the canvas; no displacement
 * when it cannot be loaded) into the destination work buffer and loads it
 * into the current layer. `fill` (red in the lowest byte, alpha in the
 * top) shows where samples leave the canvas. Needs both RGBA32 work
 * buffers. Failures record "IPLDisplacementBump Excpt". */
DRO_API void DRO_CALL DRO_IPLDisplacementBummp(const char* path, double strength, int32_t fill);
/* Sharpens the current layer, raises its contrast ("Hyper Contrast" at 1
 * when the low byte of extra is 1, then at `amount`; needs both RGBA32
 * work buffers) and sets its saturation from a percent (50 keeps it).
 * Returns 1 when the last step wrote the layer. Failures record
 * "IPLPhotoPop Excpt". */
DRO_API int32_t DRO_CALL DRO_IPLPhotoPop(int32_t amount, double saturation, int32_t extra);
/* Blurs a tight host RGB24 buffer in place (radius / 5 pixels, mixed in by
 * weight percent). Nothing for a null buffer or a side of 0 or less.
 * Failures record "BlurMoreBuffer Excpt". */
DRO_API void DRO_CALL DRO_BlurMoreBufferRGB24(void* buffer, int32_t width, int32_t height,
                                              int32_t radius, int32_t weight);

/* ===================================================================== */
/* Geometry of the whole document                                        */
/* ===================================================================== */

/* The stack operations change every layer from slot 1 to the layer top,
 * each at its own size, all or none (a failure records the text named
 * below and leaves every layer as it was); the host then sets the new
 * canvas size with DRO_NewSize. New sides are 1..10000; other sizes change
 * nothing. Layers keep their options and lock-alpha flag; colour and alpha
 * move together. Resize filters: "Area Average", "Nearest Neighbor",
 * "Bilinear", "Bicubic", "Box", "Triangle", "Hamming", "Gaussian", "Bell",
 * "B-Spline", "Cubic 1", "Cubic 2", "Lanczos3", "Mitchell", "Sinc",
 * "Hermite", "Hanning", "Catrom" (exact; any other name changes nothing).
 * Failures record "IPLResize Excpt". */
DRO_API void DRO_CALL DRO_IPLResize(int32_t width, int32_t height, const char* filter);
/* Places every layer on a new page by anchor "TL", "TC", "TR", "ML", "MC",
 * "MR", "BL", "BC", "BR" (other texts: top left); the new area is opaque
 * white in slot 1, transparent elsewhere. Failures record "IPLResizePage
 * Excpt". */
/* Failure text: "IPLResizePage Excpt". */
DRO_API void DRO_CALL DRO_IPLResizePage(int32_t width, int32_t height, const char* anchor);
/* Seam carving of the width (guided by the enabled mask: closed pixels are
 * kept), then the new height (rows cut or added as transparent). Failures
 * record "IPLResize Excpt". */
DRO_API void DRO_CALL DRO_IPLSeamCarvingRGBA(int32_t width, int32_t height, int32_t ignored);
/* Cuts every layer to left..right x top..bottom (right, bottom exclusive);
 * an empty or inverted rectangle changes nothing, parts outside a layer are
 * filled as a new page is. Failures record "IPLCrop Excpt". */
DRO_API void DRO_CALL DRO_IPLCrop(int32_t left, int32_t top, int32_t right, int32_t bottom);
/* Quarter turns (left counter-clockwise) and mirrors of every layer.
 * Failures record "IPLRotateLeft Excpt", "IPLRotateRight Excpt",
 * "IPLFlipHorizontal Excpt" and "IPLVlipVertical Excpt". */
DRO_API void DRO_CALL DRO_IPLRotateLeft(void);
DRO_API void DRO_CALL DRO_IPLRotateRight(void);
DRO_API void DRO_CALL DRO_IPLFlipHorizontal(void);
DRO_API void DRO_CALL DRO_IPLFlipVertical(void);
/* Moves the current layer by (dx, dy), wrapping around when `wrap` is
 * nonzero, through both RGBA32 work buffers (the source must hold the
 * layer); the moved picture is merged over the layer as Normal. The fill
 * colour is kept for the host's record. With the low byte of
 * useMaskTexture set, mask and texture weight the moved picture. Failures
 * record "IPLPan Excpt". */
DRO_API void DRO_CALL DRO_IPLPan(int32_t dx, int32_t dy, int32_t wrap, int32_t red, int32_t green,
                                 int32_t blue, int32_t alpha, int32_t useMaskTexture);
/* Pushes the RGBA32 source picture from (x1, y1) toward (x2, y2) within a
 * radius of 2 x the distance + 8 pixels and loads it into the current
 * layer. */
DRO_API void DRO_CALL DRO_WarpPointToPoint(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

/* ===================================================================== */
/* Image brushes                                                         */
/* ===================================================================== */

/* A picture used as the brush: loaded from a file or an RGBA32 buffer
 * (tight rows; each side at most the brush size limit), or made from a
 * colour or the blend buffer; sized to the brush size S (cached until the
 * picture or S changes), optionally rotated, and copied into the blend
 * buffer. Failures record "<name> Excpt" with the export's name without
 * the prefix ("LoadImageBrush Excpt", ...). */
DRO_API void DRO_CALL DRO_LoadImageBrush(const char* path);
/* Failure text: "LoadImageBrushFromRGBA32 Excpt". */
DRO_API void DRO_CALL DRO_LoadImageBrushFromRGBA32(const void* rgba32, int32_t width,
                                                   int32_t height);
/* A strip of square frames side by side (width / height frames; a strip
 * narrower than tall is refused); the frame at trunc(frames x position)
 * (position clamped to 0..1, NaN frame 0) becomes the image brush. */
/* Failure text: "LoadImageBrushArray Excpt". */
DRO_API void DRO_CALL DRO_LoadImageBrushArray(const char* path);
DRO_API void DRO_CALL DRO_CopyFromImageBrushArray(float position);
/* An S x S brush of (r, g, b) x 257, opaque; recolouring keeps alpha (no
 * brush: an S x S white one first). Colours take their low byte. */
/* Failure text: "FillImageBrush Excpt". */
DRO_API void DRO_CALL DRO_FillImageBrush(int32_t r, int32_t g, int32_t b);
/* Failure text: "ColorImageBrush Excpt". */
DRO_API void DRO_CALL DRO_ColorImageBrush(int32_t r, int32_t g, int32_t b);
/* The blend buffer's top-left S x S pixels become the brush (transparent
 * without a blend buffer). */
/* Failure text: "CopyToImageBrush Excpt". */
DRO_API void DRO_CALL DRO_CopyToImageBrush(void);
/* Failure text: "SizeImageBrush Excpt". */
DRO_API void DRO_CALL DRO_SizeImageBrush(void);
/* Rotates the sized brush by `degrees` (reduced modulo 360) about its
 * centre. */
/* Failure text: "RotateImageBrush Excpt". */
DRO_API void DRO_CALL DRO_RotateImageBrush(int32_t degrees);
/* Writes the sized (or rotated) brush into the blend buffer, keeping
 * `percent` (0..100, clamped) of what is there: d = trunc(percent x
 * 2.559); d = 0 copies, else p = (d p + (255 - d) q) / 256. */
DRO_API void DRO_CALL DRO_CopyFromImageBrush(int32_t percent);
DRO_API void DRO_CALL DRO_CopyFromImageBrushRotate(int32_t percent);
/* Writes the image brush as an RGBA PNG file at 72 dpi. */
/* Failure text: "SaveImageBrush Excpt". */
DRO_API void DRO_CALL DRO_SaveImageBrush(const char* path);
/* Lua filter scripts                                                    */
/* ===================================================================== */

/* Runs the Lua 5.1 script at `scriptPath` against the RGBA32 work buffers
 * (both must be allocated): the destination starts as a copy of the source,
 * the script reads and writes pixels through its API (docs/lua-scripts.md)
 * and, when it returns normally, the destination is loaded into the current
 * layer weighted by texture and mask. Sliders arrive in thousandths, styles
 * as 0-based choices, flags as booleans. Scripts are trusted code: they get
 * every standard library, files and processes included. Load and run errors
 * go to the script message handler with the caption "Lua Script Error"; a
 * failure to set up the interpreter records "LuaFilterRun Excpt". Stroke
 * recording writes <start directory>scripts/luapaint.srp with Unix line
 * ends. */
DRO_API void DRO_CALL DRO_LuaFilterRun(const char* scriptPath, int32_t slider1, int32_t slider2,
                                       int32_t slider3, int32_t slider4, int32_t slider5,
                                       int32_t slider6, int32_t style1, int32_t style2,
                                       uint8_t flag1, uint8_t flag2, uint8_t flag3, uint8_t flag4,
                                       uint8_t flag5, uint8_t flag6);

/* Script message boxes (message_box(text, caption) and the error box) go to
 * this handler; without one each becomes a line "caption: text" on standard
 * error. Pass null to remove it. */
typedef void(DRO_CALL* DRO_XScriptMessageHandler)(const char* text, const char* caption);
DRO_API void DRO_CALL DRO_XSetScriptMessageHandler(DRO_XScriptMessageHandler handler);
/* output_debug_string(text) goes to this handler; without one it is written
 * to standard error while the environment variable DROVINE_DEBUG is set,
 * else dropped. */
typedef void(DRO_CALL* DRO_XScriptDebugHandler)(const char* text);
DRO_API void DRO_CALL DRO_XSetScriptDebugHandler(DRO_XScriptDebugHandler handler);
/* The user's request to stop the running script (the Escape key of other
 * platforms); may be called from another thread or from a handler. The
 * script's is_escape() returns 1 and clears it; a request no call to
 * is_escape() has taken stops the script with an error within about two
 * million Lua instructions. Every run starts with the request cleared. */
DRO_API void DRO_CALL DRO_XSetScriptCancel(uint8_t cancel);
/* Named effects. Applies the effect called exactly `name` to the current
 * layer. p1..p6 are mostly tenths (500 = 50.0 %), opt2..opt7 are read by
 * their low byte, red/green/blue form one colour, `path` names a script or
 * picture for the effects that need one. Returns 0 (changing nothing)
 * unless both RGBA32 work buffers are allocated, else 1; an unknown or null
 * name runs nothing. Failures record "IPLImageProc Excpt". The effects and
 * their parameters: docs/effects.md. */
DRO_API int32_t DRO_CALL DRO_IPLImageProcess(int32_t ignored, const char* name, int32_t value,
                                             int32_t p1, int32_t p2, int32_t p3, int32_t p4,
                                             int32_t p5, int32_t p6, int32_t mode, int32_t opt1,
                                             int32_t opt2, int32_t opt3, int32_t opt4, int32_t opt5,
                                             int32_t opt6, int32_t opt7, int32_t red, int32_t green,
                                             int32_t blue, const char* path);
/* The effect table, for hosts that list effects. DRO_XEffectInfo gives the
 * name, family and one-line summary of effect `index` (0, 1, ...) and
 * returns its parameter count, or -1 past the last effect (outputs then
 * untouched; null outputs are skipped). DRO_XEffectParam gives parameter
 * `k` of effect `index`: the argument it is read from ("p1", "mode",
 * "opt2", ...), its useful range, the default the drovine host uses and
 * its meaning; 0 when there is no such parameter. The texts belong to the
 * engine and stay valid. */
DRO_API int32_t DRO_CALL DRO_XEffectInfo(int32_t index, const char** name, const char** family,
                                         const char** summary);
DRO_API int32_t DRO_CALL DRO_XEffectParam(int32_t index, int32_t k, const char** arg, int32_t* min,
                                          int32_t* max, int32_t* defaultValue,
                                          const char** meaning);

/* ===================================================================== */
/* Image files and the staging image                                     */
/* ===================================================================== */

/* The staging image is one RGBA32 picture (tight rows, top first) owned by
 * the engine: files, the clipboard, screen captures and scanned pages land
 * in it, and the host inspects, copies out or loads it. Absent at load; each
 * new picture replaces the previous one. PNG, JPEG, TIFF, GIF, BMP and
 * flattened PSD, PCX and TGA files are read (type told by the first bytes); metafiles are
 * not. Pictures beyond the decode limits (DRO_XSetDecodeLimits) are refused. */

/* Reads a file into the staging image: 1 on success, else 0 (the staging
 * image then stays as it was). Memory running out records
 * "ReadFromFile Excpt". */
DRO_API int32_t DRO_CALL DRO_ReadFromFile(const char* path);
/* Reads a file into a tight w x h RGB24 or RGBA32 host buffer: 1 when the
 * file's picture is exactly w x h, else 0 with dst untouched. */
DRO_API int32_t DRO_CALL DRO_ReadFromFileRGB24(void* dst, int32_t w, int32_t h, const char* path);
DRO_API int32_t DRO_CALL DRO_ReadFromFileRGBA32(void* dst, int32_t w, int32_t h, const char* path);
/* Releases the staging image. */
DRO_API void DRO_CALL DRO_DeleteNewRGBA(void);
/* Its size; 0 without a staging image. */
DRO_API int32_t DRO_CALL DRO_GetNewRGBAWidth(void);
DRO_API int32_t DRO_CALL DRO_GetNewRGBAHeight(void);
/* 1 when some alpha byte is below 255; 0 when all are 255 or there is no
 * staging image. */
DRO_API int32_t DRO_CALL DRO_IsNewRGBA32Transparent(void);
/* Loads it at the top-left corner of the current layer, weighted by texture
 * and mask (as DRO_LoadRGBA32Layer with the mask on). */
DRO_API void DRO_CALL DRO_SetInNewRGBA(void);
/* Copies it into a tight host buffer: width x height x 4 bytes (RGBA32) or
 * x 3 (RGB24, alpha dropped). Nothing without a staging image. */
DRO_API void DRO_CALL DRO_GetNewRGBA32(void* dst);
DRO_API void DRO_CALL DRO_GetNewRGBA24(void* dst);
/* Scales it to w x h (area average when both sides shrink, else bilinear)
 * into a tight RGB24 buffer. Nothing for w or h below 1. Failures record
 * "GetResizedNewRGB24 Excpt". */
DRO_API void DRO_CALL DRO_GetResizedNewRGBA24(void* dst, int32_t w, int32_t h);
/* Devices: tablet, AVI recording, PDF pages, scanner                     */
/* ===================================================================== */

/* Tablet. DRO_InitTablet opens the pen device named by the environment
 * variable DROVINE_TABLET (an evdev device path or a device name), else the
 * first device with a pressure axis and a pen tool; 1 on success, else 0. A
 * second call closes the first context. Packets, one per report of the
 * device, wait in a queue of 256; DRO_ReadTabletPackets moves them into the
 * packet buffer and returns their count (0 without a context). The
 * per-packet queries index that batch and give 0 for an index outside it or
 * without a context. Positions are screen pixels (y downward) minus the
 * origin; the screen size comes from DRO_XSetTabletScreenSize, else the X
 * display, else positions stay in device units from the axis minimum.
 * Status bits: 0x01 out of proximity, 0x02 packets lost before this one,
 * 0x10 eraser, 0x20 touching. Pressure: trunc(100 / (max - min) x raw), the
 * minimum not subtracted; a pen whose pressure range is empty reads 100
 * while touching. DRO_ReadTabletPressure gives at least 1 for a packet and,
 * past the batch, the last pressure ramping up by 25 per call to 100 (100
 * at load, 10 after DRO_ResetTabletPressure, which also discards up to
 * 1000 queued packets and returns how many). DRO_CloseTablet returns 1 when
 * a context was closed. */
DRO_API int32_t DRO_CALL DRO_InitTablet(void* window);
DRO_API int32_t DRO_CALL DRO_SetTabletOrigin(void);
DRO_API int32_t DRO_CALL DRO_CloseTablet(void);
DRO_API int32_t DRO_CALL DRO_ResetTabletPressure(void);
DRO_API int32_t DRO_CALL DRO_ReadTabletPackets(void);
DRO_API int32_t DRO_CALL DRO_ReadTabletPressure(uint32_t index);
DRO_API int32_t DRO_CALL DRO_ReadRawTabletPressure(int32_t index);
DRO_API int32_t DRO_CALL DRO_IsPacketInvert(int32_t index);
DRO_API int32_t DRO_CALL DRO_PacketStatus(int32_t index);
DRO_API int32_t DRO_CALL DRO_ReadTabletX(int32_t index);
DRO_API int32_t DRO_CALL DRO_ReadTabletY(int32_t index);
/* The screen size that tablet positions map to (0, 0: the X display's);
 * 1, or 0 for a negative side or only one side 0. */
DRO_API int32_t DRO_CALL DRO_XSetTabletScreenSize(int32_t width, int32_t height);
/* Where the host window's client area starts on the screen: the origin
 * DRO_SetTabletOrigin takes (there is no window system to ask). */
DRO_API void DRO_CALL DRO_XSetTabletWindowOrigin(int32_t x, int32_t y);

/* AVI recording. DRO_CreateAVI opens a recording of one frame per `period`
 * milliseconds (scale period, rate 1000); null when the file cannot be
 * made or period < 1. An open recording is finished first (and at unload).
 * DRO_WriteAVI appends the BMP file at `bitmapPath` as the next frame and
 * returns 1 when the file was a readable BMP (whether or not a frame was
 * written), 0 otherwise or without a recording. A frame whose size or bit
 * depth differs from the first is skipped; a failure to write stops the
 * recording (later frames are refused) but keeps what was written playable.
 * Recordings stop before 1 GB. DRO_CloseAVI writes the index and closes
 * the file; returns 0. */
DRO_API void* DRO_CALL DRO_CreateAVI(const char* path, int32_t period);
DRO_API int32_t DRO_CALL DRO_WriteAVI(const char* bitmapPath);
DRO_API int32_t DRO_CALL DRO_CloseAVI(void);
/* The frame codec of the next recording (in place of a compression
 * dialog): DRO_XAVI_UNCOMPRESSED (bottom-up BGR, the default) or
 * DRO_XAVI_MJPEG at `quality` 1..100. It applies to recordings whose first
 * frame is yet to come. 1, or 0 (nothing changed) for other values. */
#define DRO_XAVI_UNCOMPRESSED 0
#define DRO_XAVI_MJPEG 1
DRO_API int32_t DRO_CALL DRO_XSetAVICompression(int32_t codec, int32_t quality);

/* PDF pages. DRO_I2PDF_Reset empties the list of images; DRO_I2PDF_AddImage
 * appends a picture file (JPEG files are embedded as they are, other
 * pictures decoded and embedded losslessly, their transparency as a soft
 * mask); 1, or 0 for a null or empty path. DRO_I2PDF_MakePDF writes one
 * page per image at 96 dpi with a grey (196, 196, 196) border of 20 pixels
 * on each side; only when the PDF was written completely are the image
 * files deleted. Returns 1 then, 0 when nothing was written (no image, an
 * unreadable picture, an unwritable path); the list is emptied either way.
 * DRO_I2PDF_MakePDFSlideshow does the same as a full-screen slide show
 * (box-in transitions of 1 s, 4 s per page). */
DRO_API int32_t DRO_CALL DRO_I2PDF_Reset(void);
DRO_API int32_t DRO_CALL DRO_I2PDF_AddImage(const char* path);
DRO_API int32_t DRO_CALL DRO_I2PDF_MakePDF(const char* path);
DRO_API int32_t DRO_CALL DRO_I2PDF_MakePDFSlideshow(const char* path);

/* Scanner (SANE). DRO_IsTwain: 1 when the scanner interface starts.
 * DRO_TwainSelectSource: 1 when the source exists: the device named by
 * DRO_XSetScanSource, else by the environment variable DROVINE_SANE_DEVICE,
 * else the first device found. DRO_TwainAcquire scans one picture from
 * that source into the staging image (alpha 255); 1 on success, else 0
 * ("TwainAcquire Excpt" when memory runs out). Scans larger than 30000
 * lines or 2^28 pixels are refused. */
DRO_API int32_t DRO_CALL DRO_IsTwain(void);
DRO_API int32_t DRO_CALL DRO_TwainSelectSource(void);
DRO_API int32_t DRO_CALL DRO_TwainAcquire(void);
/* The scan source by SANE device name ("test:0", ...); null or "" returns
 * to the default choice. Returns 1. */
DRO_API int32_t DRO_CALL DRO_XSetScanSource(const char* device);
/* Scan options in place of the scanner's dialog: resolution in dpi (0: the
 * device's default), mode "Color", "Gray" or "Lineart" (null: "Color") and
 * depth 1, 8 or 16 bits (0: 8). Grey, lineart and 16-bit scans become 8-bit
 * RGBA. 1, or 0 (nothing changed) for other values. */
DRO_API int32_t DRO_CALL DRO_XSetScanOptions(int32_t resolution, const char* mode, int32_t depth);

/* ===================================================================== */
/* Embedding: version, diagnostics, strokes                              */
/* ===================================================================== */

/* The library's version as "MAJOR.MINOR.PATCH" (DROVINE_VERSION_STRING of
 * the header it was built with); the text belongs to the library. */
DRO_API const char* DRO_CALL DRO_XGetVersion(void);

/* The fast paths this process uses, as a line of text for a host's about
 * box or a bug report ("none (DROVINE_NO_FAST_PATHS is set)" when they are
 * switched off). */
DRO_API const char* DRO_CALL DRO_XGetFastPaths(void);

/* The name of blend mode number `mode` (0..40) as DRO_SetLayerOptions and
 * DRO_CreatePaintLayer take it; "" for the one number without a name; null
 * outside 0..40. The text belongs to the library. */
DRO_API const char* DRO_CALL DRO_XBlendModeName(int32_t mode);

/* Diagnostics: one line of text for every argument an export refuses,
 * clamps or replaces ("DRO_CreateLayer: slot 99 outside 0..63",
 * "DRO_SetLayerOptions: blend mode \"Nromal\" unknown, \"Normal\" used"),
 * for a call that can paint or show nothing and why ("DRO_DrawDabGrit:
 * paint alpha 0% ..."), and for every failure with its cause
 * ("CreateLayer Excpt: out of memory", "DRO_SetBrushShape: tip picture
 * \"x.drfx\" unusable (effect script line 3: unknown parameter of this
 * effect); a disc is used"). The handler gets each line (valid during the
 * call only) with `userData`; null removes it. Without a handler the lines
 * go to standard error while the environment variable DROVINE_DEBUG is set
 * to anything but 0, else nowhere. Reporting never changes what an export
 * does or returns. The handler runs on the thread of the call; it may call
 * DRO_GetLastError and the setters, but should not paint. */
typedef void(DRO_CALL* DRO_XDiagnosticHandler)(const char* message, void* userData);
DRO_API void DRO_CALL DRO_XSetDiagnosticHandler(DRO_XDiagnosticHandler handler, void* userData);

/* Strokes: the pen's path in, dabs out, one undo step per stroke.
 *
 * DRO_XSetStrokeOptions sets how strokes paint (kept until set again;
 * defaults in brackets): `spacing` the distance between dabs as a share of
 * the dab's side (at least 1 pixel) [0.2], 0.01..100; `minPressure` the
 * pressure a lighter touch counts as [0.15], 0..1; `pressureCurves` bit 1:
 * pressure sets the dab's side, bit 2: pressure sets the paint alpha [3];
 * `pickupWeight` >= 0 picks up the layer under each dab into the blend
 * buffer with that weight first (DRO_CopyBlendBufferSurface) [-1: off];
 * `paintLayer` 1: the dabs gather in the paint layer, shown above the
 * layer while painting and merged at the end with `paintOpacity` percent
 * (0..100) and the blend mode `paintMode` (null: "Normal"); 0: dabs go
 * straight into the layer [1, 100, "Normal"]. Returns 1, or 0 with nothing
 * changed when a value is out of range.
 *
 * The curves, with p the pressure clamped to minPressure..1 (NaN counts as
 * minPressure) and S the brush size (DRO_SetSize):
 *   dab side    = max(1, round(S x p))          (bit 1; else S)
 *   paint alpha = clamp(trunc(p x 100), 1, 100) (bit 2; else DRO_SetAlpha's)
 *
 * DRO_XStrokeBegin(slot) makes the slot current (DRO_SetLayer) and opens
 * the paint layer (or removes it, for straight painting). Returns 1, or 0
 * without a canvas, for a slot outside 0..63, empty or not canvas-sized, or
 * when the paint layer cannot be made ("CreatePaintLayer Excpt"). A stroke
 * still open is ended first.
 *
 * DRO_XStrokeTo(x, y, pressure, seconds, rect): canvas coordinates with a
 * fraction; the first point paints one dab, every later one dabs evenly
 * spaced along the straight line from the previous point, all with this
 * point's pressure (feed samples a few pixels apart, as tablets give them). Each dab is
 * centred on pixel (floor(x + 0.5), floor(y + 0.5)) in the current colour
 * with every brush setting as it stands (DRO_DrawDabGrit, then
 * DRO_DecDrawingLength); a dab wholly off the canvas is skipped. `seconds` is the time of the
 * sample: dabs follow the distance, not the speed; a time earlier than the previous point's is
 * reported by the diagnostics. Returns the dabs painted and writes the area
 * they changed, clipped to the canvas, as x, y, width, height into rect[4]
 * (0 0 0 0 when none; rect may be null): DRO_Render that area to show the
 * stroke. Returns -1 without an open stroke (or when its layer was deleted
 * or re-made since, which drops the stroke), and for a coordinate that is
 * not finite or beyond +-1000000 (the point is ignored).
 *
 * DRO_XStrokeEnd(rect) merges the paint layer into the slot
 * (DRO_MergePaintLayer) and commits the change (DRO_SaveUndoBuffer(1, 0));
 * a stroke without dabs commits nothing. Returns the stroke's dab count and
 * the area of the whole stroke in rect[4], or -1 without an open stroke. */
DRO_API int32_t DRO_CALL DRO_XSetStrokeOptions(double spacing, double minPressure,
                                               int32_t pressureCurves, int32_t pickupWeight,
                                               uint8_t paintLayer, int32_t paintOpacity,
                                               const char* paintMode);
DRO_API int32_t DRO_CALL DRO_XStrokeBegin(int32_t slot);
DRO_API int32_t DRO_CALL DRO_XStrokeTo(double x, double y, double pressure, double seconds,
                                       int32_t* rect);
DRO_API int32_t DRO_CALL DRO_XStrokeEnd(int32_t* rect);

/* Writes a tight w x h RGB24 or RGBA32 host buffer to a file, the format
 * chosen by `extension` (".bmp", ".png", ".jpg", ".gif", ".pcx", ".psd",
 * ".emf", ".wmf" for RGB24; ".png", ".tga", ".tif" for RGBA32; any case)
 * before anything is opened: another extension leaves an existing file
 * untouched and gives 0. `dpi` (0 or less: 72) is stored where the format
 * has room. 1 on success; a failed writer removes its partial file.
 * Failures record "WriteToFileRGB24 Excpt" / "WriteToFileRGBA32 Excpt". */
DRO_API int32_t DRO_CALL DRO_WriteToFileRGB24(const void* buffer, int32_t w, int32_t h,
                                              const char* path, const char* extension, int32_t dpi);
DRO_API int32_t DRO_CALL DRO_WriteToFileRGBA32(const void* buffer, int32_t w, int32_t h,
                                               const char* path, const char* extension,
                                               int32_t dpi);
/* Flattens the visible layers one row at a time straight into a file: RGB
 * (".bmp", ".png", ".jpg") or RGBA (".png", ".tga", ".tif"). Returns 0.
 * Failures record "DRO_SavePageToFileRGB24 Excpt" / "...RGB32 Excpt". */
DRO_API int32_t DRO_CALL DRO_SavePageToFileRGB24(const char* path, const char* extension,
                                                 int32_t dpi);
DRO_API int32_t DRO_CALL DRO_SavePageToFileRGB32(const char* path, const char* extension,
                                                 int32_t dpi);
/* The resolution a file stores, snapped to 96, 150, 200, 300, 450 or 600
 * (within 1), else 72; 72 when the file does not open. */
DRO_API int32_t DRO_CALL DRO_GetDPIFromFile(const char* path);
/* A 24-bit BMP thumbnail, the longer side 100 pixels. Returns 0. Failures
 * record "MakeThumbnails Excpt". */
DRO_API int32_t DRO_CALL DRO_MakeThumbnail(const char* path, const char* thumbnailPath);
/* A JPEG (quality 75) scaled down to fit maxWidth x maxHeight (never up;
 * maxima below 1 write nothing). Returns 0. Failures record
 * "MakeWebPic Excpt". */
DRO_API int32_t DRO_CALL DRO_MakeWebPic(const char* path, const char* webPicPath, int32_t maxWidth,
                                        int32_t maxHeight);

/* ===================================================================== */
/* Clipboard and screen capture                                          */
/* ===================================================================== */

/* The clipboard carries one picture: with a display the X11 CLIPBOARD
 * selection (offered as image/png and image/bmp, answered by the engine's
 * one thread while the host goes on; pastes ask for image/png, then
 * image/bmp, and give up after the time limit), without one an in-process
 * clipboard. Copies return 1 when the clipboard took the picture and
 * record "ToClipBoardRect Excpt" on failure. */

/* The current layer (its alpha scaled by the mask while the mask is on). */
DRO_API int32_t DRO_CALL DRO_ToClipboard(void);
/* The rectangle between two corners, |x0 - x1| x |y0 - y1|, clipped to the
 * canvas. */
DRO_API int32_t DRO_CALL DRO_ToClipboardRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
/* A tight w x h host RGBA32 buffer that stands for canvas area (x, y, w, h):
 * with the mask on, its alpha is scaled by the mask there (in the buffer). */
DRO_API int32_t DRO_CALL DRO_RGBA32ToClipboardRect(void* buffer, int32_t x, int32_t y, int32_t w,
                                                   int32_t h);
/* The clipboard's picture into the staging image, alpha 255: 1 on success.
 * The staging image is released first, so a failed read leaves none.
 * Failures record "FromClipBoard Excpt". */
DRO_API int32_t DRO_CALL DRO_FromClipboard(void);
/* Pastes into the current layer with its top-left corner at (x, y), or its
 * centre when centre is 1, laid over the layer and loaded through mask and
 * texture. 1 on success. Failures record "FromClipBoardInto Excpt". */
DRO_API int32_t DRO_CALL DRO_FromClipboardInto(int32_t x, int32_t y, uint8_t centre);
/* Pastes scaled by a factor (finite and positive; each side at most 30000)
 * and turned by whole degrees (bicubic and bilinear when smooth), merged
 * over the layer through mask and texture. Returns 0. Failures record
 * "FromClipBoardIntoEX Excpt". */
DRO_API int32_t DRO_CALL DRO_FromClipboardIntoEX(int32_t x, int32_t y, float scale, int32_t angle,
                                                 uint8_t centre, uint8_t smooth);
/* Pastes scaled so its longer side is `size` pixels (1..30000) and turned
 * (not at 0 or 360; premultiplied around smooth resampling), clipped to the
 * canvas and blended into the layer. Returns 0. Failures record
 * "FromClipBoardIntoEX Excpt". */
DRO_API int32_t DRO_CALL DRO_FromClipboardIntoEX2(int32_t x, int32_t y, int32_t size, int32_t angle,
                                                  uint8_t centre, uint8_t smooth);
/* The whole screen (the X root window) into the staging image, or into the
 * current layer at (0, 0); 1 on success, 0 without a display. Failures
 * record "ScreenCapture Excpt" / "ScreenCaptureInto Excpt". */
DRO_API int32_t DRO_CALL DRO_ScreenCapture(void);
DRO_API int32_t DRO_CALL DRO_ScreenCaptureInto(void);
/* A tight w x h RGBA32 picture that every capture returns instead of the
 * screen (hosts without a display, tests); null clears it. 1 when kept. */
DRO_API int32_t DRO_CALL DRO_XSetScreenPicture(const void* rgba, int32_t w, int32_t h);
/* How long, in milliseconds (1..60000, default 3000), a paste waits for
 * each answer of another program. 1 when set. */
DRO_API int32_t DRO_CALL DRO_XSetClipboardTimeLimit(int32_t milliseconds);

#ifdef __cplusplus
}
#endif

#endif /* DROVINE_H */
