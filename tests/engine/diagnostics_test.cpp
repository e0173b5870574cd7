// Diagnostics: each refused, clamped or substituted argument and each
// failure reaches the handler as one line naming the export, the value and
// the rule; nothing reaches anyone without a handler; and listening never
// changes what the calls do.
#include <gtest/gtest.h>

#include <cstdlib>
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

}  // namespace
