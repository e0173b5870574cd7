// Diagnostics: each refused, clamped or substituted argument and each
// failure reaches the handler as one line naming the export, the value and
// the rule; nothing reaches anyone without a handler; and listening never
// changes what the calls do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "hostkit/fingerprint.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

std::vector<std::string> g_lines;

void DRO_CALL Collect(const char* message, void* user) {
  EXPECT_EQ(user, &g_lines);
  g_lines.emplace_back(message);
}

bool Heard(const std::string& part) {
  for (const std::string& line : g_lines)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

// A host's first steps with the usual mistakes in them; returns what the
// layer holds and the last error afterwards.
std::pair<uint64_t, std::string> Session(const std::string& script) {
  DRO_SetLastError("");
  DRO_SetAlpha(0);  // as at load: settings outlive the canvas
  DRO_SetRandomSeed(1);
  DRO_CreateImage(nullptr, -5, 64, 40, 0);  // width -5 becomes 100
  DRO_CreateLayer(99, 100, 64);
  DRO_CreateLayer(1, 100, 64);
  DRO_CreateLayer(2, 100, 64);
  DRO_SetLayerOptions(2, 1, 0, 150, "Nromal");
  DRO_SetLayer(7);
  DRO_SetLayer(2);
  DRO_SetSize(500);
  DRO_SetTool(1.0f, 0, 0, 0, 200, 0, 8, 0, 0, 0, 0, 0, 0, "", script.c_str(), 0);
  DRO_DrawDabGrit(20, 20, 65535, 0, 0);  // paint alpha still 0
  DRO_SetAlpha(100);
  DRO_DrawDabGrit(30, 30, 65535, 0, 0);
  DRO_IPLImageProcess(0, "Blur", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  const uint64_t print = hostkit::LayerFingerprint(2, 100, 64);
  const std::string error = DRO_GetLastError();
  DRO_DeleteImage();
  return {print, error};
}

TEST(Diagnostics, EachMistakeIsNamedAndListeningChangesNothing) {
  drovine_test::ScratchDir dir;
  const std::string script = dir.Write("tip.drfx",
                                       "effect-script 1\nsize 12 10\n"
                                       "effect \"Plasma\"\n  sede = 3\n");
  testing::internal::CaptureStderr();
  const auto silent = Session(script);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "silent by default";

  DRO_XSetDiagnosticHandler(Collect, &g_lines);
  const auto heard = Session(script);
  EXPECT_EQ(heard, silent);
  for (const char* line : {
           "DRO_CreateImage: width -5 outside 0..10000, 100 used",
           "DRO_CreateLayer: slot 99 outside 0..63",
           "DRO_SetLayerOptions: opacity 150% outside 0..100, 100% used",
           "DRO_SetLayerOptions: blend mode \"Nromal\" unknown, \"Normal\" used",
           "DRO_SetLayer: slot 7 holds no pixels",
           "DRO_SetSize: size 500 outside 0..40",
           "(effect script line 4: unknown parameter of this effect); a disc is used",
           "DRO_DrawDabGrit: paint alpha 0% (DRO_SetAlpha; it starts at 0): nothing painted",
           "DRO_IPLImageProcess: the RGBA32 work buffers are not allocated",
       })
    EXPECT_TRUE(Heard(line)) << line;
  EXPECT_EQ(g_lines.size(), 9u) << "a correct call says nothing";

  g_lines.clear();
  DRO_SetBrushShape(dir.File("missing.png").c_str(), 0);  // no canvas: nothing to build
  EXPECT_TRUE(g_lines.empty());
  DRO_XSetDiagnosticHandler(nullptr, nullptr);
}

// The engine reads the environment once, so the check runs in a fresh
// process of its own.
TEST(Diagnostics, DebugEnvironmentWritesToStandardError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("DROVINE_DEBUG", "1", 1);
        DRO_CreateLayer(99, 4, 4);
        DRO_CreateLayer(-1, 4, 4);
        std::exit(0);
      },
      testing::ExitedWithCode(0),
      "^drovine: DRO_CreateLayer: slot 99 outside 0..63\n"
      "drovine: DRO_CreateLayer: slot -1 outside 0..63\n$");
}

class DiagnosedFailures : public drovine_test::CanvasTest {
 protected:
  DiagnosedFailures() : CanvasTest({40, 30, 16}) {}
};

TEST_F(DiagnosedFailures, CarryTheirCause) {
  DRO_XSetDiagnosticHandler(Collect, &g_lines);
  g_lines.clear();
  dro::FailAllocationsAfter(0, 1);
  EXPECT_EQ(DRO_CreateLayer(3, 40, 30), 0);
  EXPECT_STREQ(DRO_GetLastError(), "CreateLayer Excpt");
  EXPECT_TRUE(Heard("CreateLayer Excpt: out of memory")) << (g_lines.empty() ? "" : g_lines[0]);
  DRO_MergeLayer(1, 5);
  EXPECT_TRUE(Heard("DRO_MergeLayer: slot 1 holds no pixels")) << g_lines.back();
  DRO_MergePaintLayer(70);
  EXPECT_TRUE(Heard("DRO_MergePaintLayer: slot 70 outside 0..63"));
  EXPECT_TRUE(Heard("DRO_MergePaintLayer: no paint layer"));
  DRO_SetBrushShape("/nonexistent/tip.png", 0);
  EXPECT_TRUE(Heard("tip picture \"/nonexistent/tip.png\" unusable (file not found)"));
  DRO_XSetDiagnosticHandler(nullptr, nullptr);
  g_lines.clear();
  DRO_CreateLayer(99, 1, 1);
  EXPECT_TRUE(g_lines.empty()) << "a removed handler hears nothing";
}

// Each refusal of an argument, called once, reports exactly one line that
// names the export and the value; and nothing at all without a listener.
TEST_F(DiagnosedFailures, EveryRefusedArgumentIsNamedOnce) {
  using dro::Pixel64;
  MakeLayer(1, Pixel64{1, 2, 3, 65535});
  MakeLayer(2, Pixel64{4, 5, 6, 65535});
  std::vector<uint8_t> buffer(size_t{40} * 30 * 8);
  uint8_t* b = buffer.data();
  auto* wide = reinterpret_cast<dro::Pixel64*>(b);
  int32_t extent = 0;
  const std::string longPath(1100, 'd');
  drovine_test::ScratchDir dir;
  const std::string picture = dir.File("refused.bmp");
  struct Row {
    std::function<void()> call;
    std::string line;
  };
  const Row rows[] = {
      {[&] { DRO_SetLayerAlpha(64, 0); }, "DRO_SetLayerAlpha: slot 64 outside 0..63"},
      {[&] { DRO_NormalizeLayerAlpha(5); }, "DRO_NormalizeLayerAlpha: slot 5 holds no pixels"},
      {[&] { DRO_InvertAlpha(-1); }, "DRO_InvertAlpha: slot -1 outside 0..63"},
      {[&] { DRO_CreateBlobFromImage(9, 1); }, "DRO_CreateBlobFromImage: slot 9 holds no"},
      {[&] { DRO_MergeLayerIntoRect(1, wide, 40, 0, 4, 4); },
       "DRO_MergeLayerIntoRect: rectangle 4 x 4 at (40, 0) lies outside the 40 x 30"},
      {[&] { DRO_MergeLayerIntoRect(1, nullptr, 0, 0, 4, 4); },
       "DRO_MergeLayerIntoRect: destination buffer is null"},
      {[&] { DRO_MergeLayerInto(70, wide); }, "DRO_MergeLayerInto: slot 70 outside"},
      {[&] { DRO_MergeRect(wide, 0, 0, 0, 5); },
       "DRO_MergeRect: rectangle 0 x 5 at (0, 0) is empty"},
      {[&] { DRO_Merge(nullptr); }, "DRO_Merge: destination buffer is null"},
      {[&] { DRO_GetLayerData(nullptr, 1); }, "DRO_GetLayerData: destination buffer is null"},
      {[&] { DRO_SetLayerData(b, 3); }, "DRO_SetLayerData: slot 3 holds no pixels"},
      {[&] { DRO_CopyLayerData(1, 99); }, "DRO_CopyLayerData: slot 99 outside"},
      {[&] { DRO_GetRGBA64LayerRect(b, 8, 1, 0, 0, 4, 4); },
       "DRO_GetRGBA64LayerRect: row stride 8 bytes below the 32"},
      {[&] { DRO_GetRGBA64Layer(b, 320, 6); }, "DRO_GetRGBA64Layer: slot 6 holds no pixels"},
      {[&] { DRO_SetRGBA64Layer(nullptr, 320, 1); }, "DRO_SetRGBA64Layer: source buffer is null"},
      {[&] { DRO_GetRGBA32Layer(nullptr, 160, 1); }, "DRO_GetRGBA32Layer: buffer is null"},
      {[&] { DRO_GetRGB24Layer(b, 120, 66); }, "DRO_GetRGB24Layer: slot 66 outside"},
      {[&] { DRO_LoadRGBA32Layer(b, 4, 1, 0, 0, 4, 4, 0); },
       "DRO_LoadRGBA32Layer: row stride 4 bytes below the 16"},
      {[&] { DRO_LoadRGBA32Into(b, 16, 1, -9, 0, 4, 4); },
       "DRO_LoadRGBA32Into: rectangle 4 x 4 at (-9, 0) lies outside"},
      {[&] { DRO_GetColorAtLayer(0, 0, 7); }, "DRO_GetColorAtLayer: slot 7 holds no pixels"},
      {[&] { DRO_FindDataExtentsLayer(1, &extent, nullptr, &extent, &extent); },
       "DRO_FindDataExtentsLayer: an extent pointer is null"},
      {[&] { DRO_GetRGBA32LayerLineRLE(b, 1, 30); },
       "DRO_GetRGBA32LayerLineRLE: row 30 outside 0..29"},
      {[&] { DRO_PutRGBA32LayerLineRLE(b, 4, 0); }, "DRO_PutRGBA32LayerLineRLE: slot 4 holds no"},
      {[&] { DRO_RLECompressRGBA64ToRGBA32(nullptr, b, 4); },
       "DRO_RLECompressRGBA64ToRGBA32: source buffer is null"},
      {[&] { DRO_RLEUncompressG8ToG16(b, b, 0); },
       "DRO_RLEUncompressG8ToG16: length 0 not positive"},
      {[&] { DRO_GetRGBA32LayerCompressed(b, 0, 0, 1, 0); },
       "DRO_GetRGBA32LayerCompressed: capacity 0 not positive"},
      {[&] { DRO_GetRGBA32LayerCompressed(b, 0, 3, 1, 0); },
       "DRO_GetRGBA32LayerCompressed: the compressed layer needs"},
      {[&] { DRO_LoadRGBA32LayerCompressed(b, 0, 16, 1); },
       "DRO_LoadRGBA32LayerCompressed: the data does not inflate to the 40 x 30"},
      {[&] { DRO_CreateTexture(80); }, "DRO_CreateTexture: slot 80 outside"},
      {[&] { DRO_CopyBlendBufferLayer(12, 0, 0, 50); },
       "DRO_CopyBlendBufferLayer: slot 12 holds no"},
      {[&] { DRO_SwapLayers(3, 3); }, "DRO_SwapLayers: slots 3 and 3 are the same"},
      {[&] { DRO_SwapLayers(1, 64); }, "DRO_SwapLayers: slot 64 outside"},
      {[&] { DRO_SaveUndoBackBuffer(65); }, "DRO_SaveUndoBackBuffer: slot 65 outside"},
      {[&] { DRO_InvertAlpha_RGBA32(nullptr); }, "DRO_InvertAlpha_RGBA32: picture is null"},
      {[&] { DRO_SetColorRGBABuf(nullptr, 4, 4, 0, 0, 0); },
       "DRO_SetColorRGBABuf: picture is null"},
      {[&] { DRO_SetPixelRGB24(b, 120, 40, 0, 0, 0, 0); },
       "DRO_SetPixelRGB24: point (40, 0) outside the 40 x 30 canvas"},
      {[&] { DRO_WriteToFileRGBA32(b, 4, 4, picture.c_str(), ".bmp", 0); },
       "DRO_WriteToFileRGBA32: extension \".bmp\" not one of .png .tga .tif"},
      {[&] { DRO_SavePageToFileRGB24("", ".png", 0); }, "DRO_SavePageToFileRGB24: no file path"},
      {[&] { DRO_SetStartDir(longPath.c_str()); }, "DRO_SetStartDir: path of 1024 or more bytes"},
      {[&] { DRO_XBlendModeName(99); }, "DRO_XBlendModeName: mode 99 outside 0.."},
      {[&] { DRO_IPLResize(10, 10, "Bicubik"); }, "DRO_IPLResize: filter \"Bicubik\" unknown"},
      {[&] { DRO_IPLCrop(5, 5, 5, 9); }, "DRO_IPLCrop: size 0 x 4 outside 1..10000"},
      {[&] { DRO_IPLFloodFill(0, 0, 0, 3, 3, 0, "Paint Everything"); },
       "DRO_IPLFloodFill: fill mode \"Paint Everything\" unknown"},
      {[&] { DRO_IPLFloodFill(0, 0, 0, 3, 30, 0, "Paint Connected"); },
       "DRO_IPLFloodFill: point (3, 30) outside the 40 x 30 canvas"},
      {[&] { DRO_ReadFromFile(picture.c_str()); },
       "DRO_ReadFromFile: \"" + picture + "\": No such file or directory"},
      {[&] { DRO_ReadFromFileRGBA32(b, 0, 4, picture.c_str()); },
       "DRO_ReadFromFileRGBA32: size 0 x 4 is empty"},
      {[&] { DRO_LoadImageBrushFromRGBA32(b, 17, 4); },
       "DRO_LoadImageBrushFromRGBA32: picture 17 x 4 outside 1..16 a side"},
      {[&] { DRO_CreateAVI(dir.File("no/such/dir.avi").c_str(), 100); },
       "DRO_CreateAVI: \"" + dir.File("no/such/dir.avi") + "\": No such file or directory"},
      {[&] { DRO_WriteAVI(picture.c_str()); }, "DRO_WriteAVI: no recording open"},
      {[&] {
         DRO_I2PDF_Reset();
         DRO_I2PDF_MakePDF(picture.c_str());
       },
       "DRO_I2PDF_MakePDF: no pictures (DRO_I2PDF_AddImage)"},
      {[&] { DRO_GetNewRGBA32(b); }, "DRO_GetNewRGBA32: no picture read (DRO_ReadFromFile)"},
      {[&] { DRO_SaveMask(b, 3); }, "DRO_SaveMask: row stride 3 bytes below the 120"},
      {[&] { DRO_SetMaskData16(nullptr); }, "DRO_SetMaskData16: source buffer is null"},
      {[&] { DRO_CreateMaskFromRGBAImageColor(nullptr, 0, 0, 0, 9); },
       "DRO_CreateMaskFromRGBAImageColor: picture is null"},
      {[&] { DRO_ApplyMaskToAlphaRect_RGBA32(b, 160, 5, 5, 4, 4); },
       "DRO_ApplyMaskToAlphaRect_RGBA32: rectangle (5, 5)..(4, 4) is empty"},
  };
  testing::internal::CaptureStderr();
  for (const Row& row : rows) row.call();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "silent by default";
  DRO_XSetDiagnosticHandler(Collect, &g_lines);
  for (const Row& row : rows) {
    g_lines.clear();
    row.call();
    ASSERT_EQ(g_lines.size(), 1u) << row.line << (g_lines.empty() ? "" : "\n" + g_lines[0]);
    EXPECT_EQ(g_lines[0].rfind(row.line, 0), 0u) << g_lines[0];
  }
  DRO_XSetDiagnosticHandler(nullptr, nullptr);
  EXPECT_EQ(Pixels(1)[0], (Pixel64{1, 2, 3, 65535})) << "refused calls change nothing";
  EXPECT_FALSE(std::filesystem::exists(picture));
}

}  // namespace
