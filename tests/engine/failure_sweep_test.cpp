// The allocation-failure sweep over every guarded operation: each row makes
// every allocation of its operation fail in turn, driven by the hook's own
// count, until a run meets no failure. Every failed run must leave the
// operation's text (or, for operations that go through the work-buffer
// helpers, a picture codec or Lua, what those report instead), and the
// engine must work afterwards. Operations that
// allocate nothing (they free, or walk buffers) are run with every
// allocation failing and must never record their text; should one start to
// allocate, its row must become a sweep. A test fails when an operation of the failure table
// has no row here.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cctype>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "base/failure_texts.h"
#include "brush/brush_state.h"
#include "composite/pixel_transfers.h"
#include "drovine.h"
#include "engine/engine.h"
#include "io/staging.h"
#include "script/lua_filter.h"
#include "support/allocation_sweep.h"
#include "support/fake_devices.h"

namespace {

using dro::Operation;

constexpr int32_t kSide = 16;

void FreshCanvas() {
  DRO_DeleteImage();
  DRO_CreateImage(nullptr, kSide, kSide, 8, 0);
  DRO_SetUndoLevels(10);
  ASSERT_EQ(DRO_CreateLayer(1, kSide, kSide), 1);
  ASSERT_EQ(DRO_CreateLayer(2, kSide, kSide), 1);
  DRO_SetLayer(2);
  DRO_SetLastError("");
}

// The engine still does its work: a canvas (re-made if the failure left
// none), a new layer, a fill and a read-back. The layer that was current
// is current again afterwards, so the next run loads where this one did.
void EngineWorks() {
  if (!dro::engine().canvas.live) DRO_CreateImage(nullptr, kSide, kSide, 8, 0);
  const int32_t current = dro::composite::CurrentSlot();
  ASSERT_EQ(DRO_CreateLayer(7, kSide, kSide), 1);
  DRO_SetLayer(7);
  DRO_Clear(10, 20, 30, 255);
  EXPECT_EQ(DRO_GetRed64(3, 3), 10 * 256);
  DRO_DeleteLayer(7);
  if (current >= 0 && current != 7) DRO_SetLayer(current);
  DRO_SetLastError("");
}

struct Row {
  Operation operation;
  bool allocatesNothing;  // it frees or walks buffers only
  // Allocations failed in a row once failing starts: operations that retry
  // after giving memory back must meet a failure on every try.
  int64_t failuresInARow;
  void (*setup)(const std::string& picture);
  void (*run)(const std::string& picture);
};

// Operations that take their work buffers through the buffer helpers: a
// failure there records the helper's own text ("IPLAllocDstBuffer32
// Excpt", ...) instead of the operation's.
bool UsesWorkBufferHelpers(Operation operation) {
  switch (operation) {
    case Operation::kIplEllipse:
    case Operation::kIplFloodFill:
    case Operation::kIplGradient:
    case Operation::kIplImageProcess:
    case Operation::kIplMaskWand:
    case Operation::kIplPhotoPop:
    case Operation::kIplRectangle:
    case Operation::kLuaFilterRun:
    case Operation::kToClipboardRect:
    case Operation::kFromClipboardInto:
    case Operation::kScreenCaptureInto:
      return true;
    default:
      return false;
  }
}

// Files beside the sweep's picture: an 8 x 8 RGBA brush picture (also a
// one-frame strip) and a filter script.
std::string BrushPng(const std::string& picture) {
  return picture + ".png";
}
std::string FilterScript(const std::string& picture) {
  return picture + ".lua";
}

const std::vector<uint8_t>& BrushRgba() {
  static const std::vector<uint8_t> rgba = [] {
    std::vector<uint8_t> p(8 * 8 * 4);
    for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t(i * 5 + 40);
    return p;
  }();
  return rgba;
}

// No image brush yet, brush size 6 (below the canvas's limit of 8).
void NoImageBrush() {
  dro::brush::State().imageBrush = {};
  DRO_SetSize(6);
}

// Square layers turn where they lie; an oblong one is rebuilt.
void OblongLayer() {
  DRO_DeleteLayer(3);
  ASSERT_EQ(DRO_CreateLayer(3, 10, 6), 1);
  DRO_SetLayer(2);
}

void BothWorkBuffers() {
  DRO_IPLAllocSrcBuffer32();
  DRO_IPLAllocDstBuffer32();
}

std::string g_scriptMessage;
void DRO_CALL KeepScriptMessage(const char* text, const char*) {
  g_scriptMessage += text ? text : "";
}

// An 8 x 8 picture on the in-process clipboard, and as the screen.
void InProcessClipboard() {
  unsetenv("DISPLAY");
  std::vector<uint8_t> rgba(8 * 8 * 4, 120);
  ASSERT_EQ(DRO_RGBA32ToClipboardRect(rgba.data(), 0, 0, 8, 8), 1);
}
void ScreenPicture() {
  std::vector<uint8_t> rgba(8 * 8 * 4, 60);
  ASSERT_EQ(DRO_XSetScreenPicture(rgba.data(), 8, 8), 1);
}

int32_t g_seed = 100;
std::vector<uint8_t> g_packed;  // a compressed layer to load

const Row kRows[] = {
    {Operation::kBlurPaintLayerAlpha, false, 1,
     [](const std::string&) { DRO_CreatePaintLayer(100, "Normal"); },
     [](const std::string&) { DRO_BlurPaintLayerAlpha(); }},
    {Operation::kClearUndo, true, 1, [](const std::string&) { DRO_SaveUndoBuffer(1, 1); },
     [](const std::string&) { DRO_ClearUndo(); }},
    {Operation::kCreateImage, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_CreateImage(nullptr, kSide, kSide, 8, 0); }},
    {Operation::kCreateLayer, false, 1, [](const std::string&) { DRO_ClearUndo(); },
     [](const std::string&) {
       DRO_DeleteLayer(3);
       DRO_CreateLayer(3, kSide, kSide);
     }},
    {Operation::kCreatePaintLayer, false, 1, [](const std::string&) {},
     [](const std::string&) {
       DRO_DeletePaintLayer();
       DRO_CreatePaintLayer(50, "Multiply");
     }},
    {Operation::kCreateTexture, false, 1, [](const std::string&) {},
     [](const std::string&) {
       DRO_DeleteTexture();
       DRO_CreateTexture(2);
     }},
    {Operation::kDeleteImage, true, 1, [](const std::string&) {},
     [](const std::string&) { DRO_DeleteImage(); }},
    {Operation::kDeleteLayer, true, 1, [](const std::string&) {},
     [](const std::string&) { DRO_DeleteLayer(2); }},
    {Operation::kDeleteRandomTable, true, 1, [](const std::string&) { DRO_SetPixColorVary(5); },
     [](const std::string&) {
       DRO_SetRandomSeed(++g_seed);
       DRO_SetPixColorVary(5);
     }},
    {Operation::kGetColorAtMerged, true, 1, [](const std::string&) {},
     [](const std::string&) { DRO_GetColorAtMerged(3, 3); }},
    {Operation::kCompressLayer, false, 1, [](const std::string&) {},
     [](const std::string&) {
       std::vector<uint8_t> out(4096);
       DRO_GetRGBA32LayerCompressed(out.data(), 0, int32_t(out.size()), 2, 0);
     }},
    {Operation::kLoadRgba32Layer, true, 1, [](const std::string&) { DRO_EnableMask(1); },
     [](const std::string&) {
       std::vector<uint8_t> rgba(4 * 4 * 4, 200);
       DRO_LoadRGBA32Layer_BAD(rgba.data(), 0, 2, 4, 4, 1);
     }},
    {Operation::kLoadCompressedLayer, false, 1,
     [](const std::string&) {
       g_packed.resize(4096);
       g_packed.resize(size_t(DRO_GetRGBA32LayerCompressed(g_packed.data(), 0, 4096, 2, 0)));
       ASSERT_FALSE(g_packed.empty());
     },
     [](const std::string&) {
       DRO_LoadRGBA32LayerCompressed(g_packed.data(), 0, int32_t(g_packed.size()), 2);
     }},
    {Operation::kMakeRandomTable, false, 1, [](const std::string&) {},
     [](const std::string&) {
       DRO_SetRandomSeed(++g_seed);
       DRO_SetPixColorVary(5);
     }},
    {Operation::kCreateNewRgba, false, 1, [](const std::string&) {},
     [](const std::string&) { dro::io::MakeStagingImage(9, 7); }},
    {Operation::kDeleteNewRgba, true, 1,
     [](const std::string& picture) { ASSERT_EQ(DRO_ReadFromFile(picture.c_str()), 1); },
     [](const std::string&) { DRO_DeleteNewRGBA(); }},
    {Operation::kReadFromFile, false, 1, [](const std::string&) {},
     [](const std::string& picture) { DRO_ReadFromFile(picture.c_str()); }},
    {Operation::kGetResizedNewRgb24, false, 1,
     [](const std::string& picture) { ASSERT_EQ(DRO_ReadFromFile(picture.c_str()), 1); },
     [](const std::string&) {
       std::vector<uint8_t> rgb(30 * 30 * 3);
       DRO_GetResizedNewRGBA24(rgb.data(), 30, 30);
     }},
    {Operation::kWriteToFileRgb24, false, 1, [](const std::string&) {},
     [](const std::string& picture) {
       std::vector<uint8_t> rgb(12 * 9 * 3, 90);
       DRO_WriteToFileRGB24(rgb.data(), 12, 9, (picture + ".gif").c_str(), ".gif", 72);
     }},
    {Operation::kWriteToFileRgba32, false, 1, [](const std::string&) {},
     [](const std::string& picture) {
       std::vector<uint8_t> rgba(12 * 9 * 4, 90);
       DRO_WriteToFileRGBA32(rgba.data(), 12, 9, (picture + ".tif").c_str(), ".tif", 72);
     }},
    {Operation::kSavePageToFileRgb24, false, 1, [](const std::string&) {},
     [](const std::string& picture) {
       DRO_SavePageToFileRGB24((picture + ".jpg").c_str(), ".jpg", 300);
     }},
    {Operation::kSavePageToFileRgb32, false, 1, [](const std::string&) {},
     [](const std::string& picture) {
       DRO_SavePageToFileRGB32((picture + ".png").c_str(), ".png", 300);
     }},
    {Operation::kMakeThumbnail, false, 1, [](const std::string&) {},
     [](const std::string& picture) {
       DRO_MakeThumbnail(picture.c_str(), (picture + ".t.bmp").c_str());
     }},
    {Operation::kMakeWebPic, false, 1, [](const std::string&) {},
     [](const std::string& picture) {
       DRO_MakeWebPic(picture.c_str(), (picture + ".w.jpg").c_str(), 8, 8);
     }},
    {Operation::kToClipboardRect, false, 1, [](const std::string&) { unsetenv("DISPLAY"); },
     [](const std::string&) { DRO_ToClipboardRect(1, 1, 9, 9); }},
    {Operation::kFromClipboard, false, 1, [](const std::string&) { InProcessClipboard(); },
     [](const std::string&) { DRO_FromClipboard(); }},
    {Operation::kFromClipboardInto, false, 1, [](const std::string&) { InProcessClipboard(); },
     [](const std::string&) { DRO_FromClipboardInto(2, 2, 1); }},
    {Operation::kFromClipboardIntoEx, false, 1, [](const std::string&) { InProcessClipboard(); },
     [](const std::string&) { DRO_FromClipboardIntoEX2(-3, 2, 8, 0, 0, 0); }},
    {Operation::kScreenCapture, false, 1, [](const std::string&) { ScreenPicture(); },
     [](const std::string&) { DRO_ScreenCapture(); }},
    {Operation::kScreenCaptureInto, false, 1, [](const std::string&) { ScreenPicture(); },
     [](const std::string&) { DRO_ScreenCaptureInto(); }},
    {Operation::kNewSize, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_NewSize(nullptr, kSide + 2, kSide, 8, 0); }},
    {Operation::kRemoveAbandonedUndo, true, 1,
     [](const std::string&) {
       DRO_SaveUndoBuffer(1, 0);
       DRO_SaveUndoBuffer(1, 0);
       DRO_Undo();
     },
     [](const std::string&) { DRO_SaveUndoBuffer(1, 0); }},
    {Operation::kSaveUndoBuffer, false, dro::kEveryAllocation, [](const std::string&) {},
     [](const std::string&) { DRO_SaveUndoBuffer(1, 1); }},
    {Operation::kSetBrushShape, false, 1, [](const std::string&) { DRO_SetSize(6); },
     [](const std::string& picture) {
       dro::engine().brush.shapeSourceCache.Reset();
       DRO_SetBrushShape(picture.c_str(), 0);
     }},
    {Operation::kSetTool, false, 1, [](const std::string&) { DRO_SetSize(6); },
     [](const std::string& picture) {
       DRO_SetTool(1.0f, 0, 256, 256, 0, 0, 5, 0, 0, 0, 0, 0, 0, picture.c_str(), "", 0);
     }},
    {Operation::kIplAllocSource32, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLAllocSrcBuffer32(); }},
    {Operation::kIplFreeSource32, true, 1, [](const std::string&) { DRO_IPLAllocSrcBuffer32(); },
     [](const std::string&) { DRO_IPLFreeSrcBuffer32(); }},
    {Operation::kIplAllocDestination32, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLAllocDstBuffer32(); }},
    {Operation::kIplFreeDestination32, true, 1,
     [](const std::string&) { DRO_IPLAllocDstBuffer32(); },
     [](const std::string&) { DRO_IPLFreeDstBuffer32(); }},
    {Operation::kIplAllocSource24, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLAllocSrcBuffer24(); }},
    {Operation::kIplFreeSource24, true, 1, [](const std::string&) { DRO_IPLAllocSrcBuffer24(); },
     [](const std::string&) { DRO_IPLFreeSrcBuffer24(); }},
    {Operation::kIplAllocDestination24, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLAllocDstBuffer24(); }},
    {Operation::kIplFreeDestination24, true, 1,
     [](const std::string&) { DRO_IPLAllocDstBuffer24(); },
     [](const std::string&) { DRO_IPLFreeDstBuffer24(); }},
    {Operation::kIplMaskEllipse, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLMaskEllipse(2, 2, 12, 10, 60); }},
    {Operation::kIplMaskRectangle, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLMaskRectangle(2, 2, 12, 10, 60); }},
    {Operation::kIplMaskWand, false, 1, [](const std::string&) { DRO_Clear(40, 80, 120, 255); },
     [](const std::string&) { DRO_IPLMaskWand(3, 3, 5000, 60, "Connected"); }},
    {Operation::kBlurMoreBuffer, false, 1, [](const std::string&) {},
     [](const std::string&) {
       std::vector<uint8_t> rgb(kSide * kSide * 3, 90);
       rgb[100] = 250;
       DRO_BlurMoreBufferRGB24(rgb.data(), kSide, kSide, 10, 50);
     }},
    {Operation::kColorImageBrush, false, 1, [](const std::string&) { NoImageBrush(); },
     [](const std::string&) { DRO_ColorImageBrush(1, 2, 3); }},
    {Operation::kCopyToImageBrush, false, 1, [](const std::string&) { NoImageBrush(); },
     [](const std::string&) { DRO_CopyToImageBrush(); }},
    {Operation::kFillImageBrush, false, 1, [](const std::string&) { NoImageBrush(); },
     [](const std::string&) { DRO_FillImageBrush(1, 2, 3); }},
    {Operation::kLoadImageBrush, false, 1,
     [](const std::string& picture) {
       NoImageBrush();
       DRO_LoadImageBrushFromRGBA32(BrushRgba().data(), 8, 8);
       DRO_SaveImageBrush(BrushPng(picture).c_str());
     },
     [](const std::string& picture) { DRO_LoadImageBrush(BrushPng(picture).c_str()); }},
    {Operation::kLoadImageBrushArray, false, 1,
     [](const std::string& picture) {
       NoImageBrush();
       DRO_LoadImageBrushFromRGBA32(BrushRgba().data(), 8, 8);
       DRO_SaveImageBrush(BrushPng(picture).c_str());
     },
     [](const std::string& picture) { DRO_LoadImageBrushArray(BrushPng(picture).c_str()); }},
    {Operation::kLoadImageBrushFromRgba32, false, 1, [](const std::string&) { NoImageBrush(); },
     [](const std::string&) { DRO_LoadImageBrushFromRGBA32(BrushRgba().data(), 8, 8); }},
    {Operation::kRotateImageBrush, false, 1,
     [](const std::string&) {
       NoImageBrush();
       DRO_LoadImageBrushFromRGBA32(BrushRgba().data(), 8, 8);
       DRO_SizeImageBrush();
     },
     [](const std::string&) { DRO_RotateImageBrush(30); }},
    {Operation::kSaveImageBrush, false, 1,
     [](const std::string&) {
       NoImageBrush();
       DRO_LoadImageBrushFromRGBA32(BrushRgba().data(), 8, 8);
     },
     [](const std::string& picture) { DRO_SaveImageBrush(BrushPng(picture).c_str()); }},
    {Operation::kSizeImageBrush, false, 1,
     [](const std::string&) {
       NoImageBrush();
       DRO_LoadImageBrushFromRGBA32(BrushRgba().data(), 8, 8);
     },
     [](const std::string&) { DRO_SizeImageBrush(); }},
    {Operation::kTwainAcquire, false, 1,
     [](const std::string&) {
       drovine_test::fake_devices::Install();
       namespace fake = drovine_test::fake_devices;
       fake::Scanner() = {};
       fake::Scanner().frames = {
           {fake::Params(fake::scan::FrameFormat::kRgb, 6, 18, 4, 8, true), {}}};
       DRO_XSetScanSource(nullptr);
     },
     [](const std::string&) { DRO_TwainAcquire(); }},
    {Operation::kIplRectangle, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLRectangle(1, 2, 3, 1, 1, 9, 7, 100); }},
    {Operation::kIplEllipse, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLEllipse(1, 2, 3, 1, 1, 9, 7, 100); }},
    {Operation::kIplGradient, false, 1, [](const std::string&) {},
     [](const std::string&) {
       DRO_IPLGradient(1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 2, 0, 0, 9, 9, "Linear");
     }},
    {Operation::kIplFloodFill, false, 1, [](const std::string&) { DRO_Clear(40, 80, 120, 255); },
     [](const std::string&) { DRO_IPLFloodFill(1, 2, 3, 3, 3, 0, "Paint Connected"); }},
    // Draws into the source buffer it is given; the text library keeps
    // its own memory.
    {Operation::kIplText, true, 1, [](const std::string&) { DRO_IPLAllocSrcBuffer32(); },
     [](const std::string&) { DRO_IPLText(250, 0, 0, 1, 1, 0, 0, 0, 0, "Hi", 0); }},
    {Operation::kIplDisplacementBump, false, 1, [](const std::string&) { BothWorkBuffers(); },
     [](const std::string&) { DRO_IPLDisplacementBummp(nullptr, 9.0, 0); }},
    {Operation::kIplPhotoPop, false, 1, [](const std::string&) { DRO_IPLAllocSrcBuffer32(); },
     [](const std::string&) { DRO_IPLPhotoPop(50, 60.0, 0); }},
    {Operation::kIplImageProcess, false, 1, [](const std::string&) { BothWorkBuffers(); },
     [](const std::string&) {
       DRO_IPLImageProcess(0, "Grayscale", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           nullptr);
     }},
    // Moves the source buffer into the destination buffer.
    {Operation::kIplPan, true, 1, [](const std::string&) { BothWorkBuffers(); },
     [](const std::string&) { DRO_IPLPan(3, 2, 1, 0, 0, 0, 255, 0); }},
    {Operation::kIplResize, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLResize(9, 5, "Bilinear"); }},
    {Operation::kIplResizePage, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLResizePage(20, 18, "MC"); }},
    {Operation::kIplCrop, false, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLCrop(1, 1, 9, 9); }},
    {Operation::kIplRotateLeft, false, 1, [](const std::string&) { OblongLayer(); },
     [](const std::string&) { DRO_IPLRotateLeft(); }},
    {Operation::kIplRotateRight, false, 1, [](const std::string&) { OblongLayer(); },
     [](const std::string&) { DRO_IPLRotateRight(); }},
    // Mirrors run in place.
    {Operation::kIplFlipHorizontal, true, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLFlipHorizontal(); }},
    {Operation::kIplFlipVertical, true, 1, [](const std::string&) {},
     [](const std::string&) { DRO_IPLFlipVertical(); }},
    {Operation::kLuaFilterRun, false, 1,
     [](const std::string& picture) {
       BothWorkBuffers();
       FILE* f = std::fopen(FilterScript(picture).c_str(), "wb");
       ASSERT_TRUE(f);
       std::fputs("set_rgb(0, 0, 1, 2, 3)", f);
       std::fclose(f);
     },
     [](const std::string& picture) {
       DRO_LuaFilterRun(FilterScript(picture).c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
     }},
};

TEST(FailureSweep, EveryGuardedOperationHasARow) {
  std::set<Operation> covered;
  for (const Row& row : kRows) EXPECT_TRUE(covered.insert(row.operation).second);
  for (size_t i = 0; i < static_cast<size_t>(Operation::kCount); ++i)
    EXPECT_TRUE(covered.count(static_cast<Operation>(i)))
        << dro::kOperationNames[i] << " has no allocation-failure sweep";
}

class FailureSweep : public ::testing::TestWithParam<size_t> {};

TEST_P(FailureSweep, EveryAllocationFailsInTurn) {
  const Row& row = kRows[GetParam()];
  const std::string text = std::string(dro::OperationName(row.operation)) + " Excpt";
  SCOPED_TRACE(text);
  // A 20 x 20 grey ramp, large enough for a grit window of S + 25 pixels.
  const std::string picture = (std::filesystem::temp_directory_path() /
                               ("drovine-sweep-" + std::to_string(getpid()) + ".bmp"))
                                  .string();
  {
    std::vector<uint8_t> rgb(20 * 20 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
    FreshCanvas();
    std::vector<uint8_t> file = {'B', 'M'};
    auto put32 = [&](uint32_t v) {
      for (int b = 0; b < 4; ++b) file.push_back(uint8_t(v >> (8 * b)));
    };
    put32(54 + 1200), put32(0), put32(54), put32(40), put32(20), put32(20);
    file.insert(file.end(), {1, 0, 24, 0});
    put32(0), put32(1200), put32(0), put32(0), put32(0), put32(0);
    file.insert(file.end(), rgb.begin(), rgb.end());
    FILE* f = std::fopen(picture.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  row.setup(picture);
  DRO_SetLastError("");
  if (row.allocatesNothing) {
    // With every allocation failing it never fails itself.
    dro::FailAllocationsAfter(0, dro::kEveryAllocation);
    row.run(picture);
    dro::FailAllocationAfter(-1);
    EXPECT_STRNE(DRO_GetLastError(), text.c_str());
    EngineWorks();
    std::remove(picture.c_str());
    return;
  }
  if (row.operation == Operation::kLuaFilterRun && dro::script::UsesLuaJit()) {
    std::remove(picture.c_str());
    GTEST_SKIP() << "LuaJIT keeps its own allocator";
  }
  const bool helpers = UsesWorkBufferHelpers(row.operation);
  int32_t wholeGreen = -1, wholeAlpha = -1;
  if (row.operation == Operation::kLuaFilterRun) {
    DRO_XSetScriptMessageHandler(KeepScriptMessage);
    // What a run without failures leaves at the top-left pixel.
    row.run(picture);
    wholeGreen = DRO_GetGreen64(0, 0), wholeAlpha = DRO_GetAlpha64(0, 0);
    row.setup(picture);
    DRO_SetLastError("");
  }
  g_scriptMessage.clear();
  const int64_t allocations = drovine_test::SweepAllocationFailures(
      {.errorText = helpers ? nullptr : text.c_str(), .failuresInARow = row.failuresInARow},
      [&] { row.run(picture); },
      [&](int64_t n) {
        if (helpers) {
          // The operation's text or a helper's; a script that ran out of
          // memory reports it to the script's message handler instead.
          const std::string error = DRO_GetLastError();
          // Lua drops a failure inside a finaliser while it closes the
          // state (the standard files' close handlers make a message): the
          // run had finished, so the layer must show all of it.
          const bool dropped = error.empty() && g_scriptMessage.empty() &&
                               DRO_GetGreen64(0, 0) == wholeGreen &&
                               DRO_GetAlpha64(0, 0) == wholeAlpha;
          const bool scriptReported =
              dropped ||
              (error.empty() && g_scriptMessage.find("not enough memory") != std::string::npos);
          EXPECT_TRUE(error == text || error.rfind("IPLAlloc", 0) == 0 || scriptReported)
              << "run " << n << ": " << error << " / " << g_scriptMessage;
          g_scriptMessage.clear();
        }
        EngineWorks();
        row.setup(picture);
        DRO_SetLastError("");
      });
  EXPECT_GT(allocations, 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
  DRO_XSetScriptMessageHandler(nullptr);
  dro::brush::State().imageBrush = {};
  DRO_DeleteImage();
  std::remove(picture.c_str());
  std::remove(BrushPng(picture).c_str());
  std::remove(FilterScript(picture).c_str());
  for (const char* written : {".gif", ".tif", ".jpg", ".png", ".t.bmp", ".w.jpg"})
    std::remove((picture + written).c_str());
}

INSTANTIATE_TEST_SUITE_P(Operations, FailureSweep, ::testing::Range<size_t>(0, std::size(kRows)),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name = dro::OperationName(kRows[info.param].operation);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
