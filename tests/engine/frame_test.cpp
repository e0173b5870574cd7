// The engine frame: last error, guard, utilities and the hidden window.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "base/guard.h"
#include "drovine.h"
#include "engine/engine.h"
#include "engine/frame.h"
#include "platform/window.h"
#include "support/canvas.h"
#include "support/scratch_dir.h"

namespace {

TEST(LastError, KeepsAtMost511BytesAndStaysTerminated) {
  const std::string longText(600, 'x');
  DRO_SetLastError(longText.c_str());
  EXPECT_EQ(std::strlen(DRO_GetLastError()), 511u);
  EXPECT_EQ(std::string(DRO_GetLastError()), longText.substr(0, 511));

  const std::string exact(511, 'y');
  DRO_SetLastError(exact.c_str());
  EXPECT_EQ(std::string(DRO_GetLastError()), exact);

  DRO_SetLastError("short");
  EXPECT_STREQ(DRO_GetLastError(), "short");
  // The host may pass the buffer itself back in.
  DRO_SetLastError(DRO_GetLastError());
  EXPECT_STREQ(DRO_GetLastError(), "short");
  DRO_SetLastError(nullptr);
  EXPECT_STREQ(DRO_GetLastError(), "short");
}

TEST(LastError, IsTheLibrarysOwnBuffer) {
  EXPECT_EQ(DRO_GetLastError(), DRO_GetLastError());
  EXPECT_EQ(DRO_GetLastError(), dro::engine().frame.lastError);
}

TEST(Guard, RecordsOperationTextAndReturnsFailureValue) {
  DRO_SetLastError("");
  const int r = dro::Guard(dro::Operation::kClearUndo, -7, []() -> int { throw std::bad_alloc(); });
  EXPECT_EQ(r, -7);
  EXPECT_STREQ(DRO_GetLastError(), "ClearUndo Excpt");

  DRO_SetLastError("");
  bool ran = false;
  dro::Guard(dro::Operation::kRemoveAbandonedUndo, [&] {
    ran = true;
    throw 42;
  });
  EXPECT_TRUE(ran);
  EXPECT_STREQ(DRO_GetLastError(), "RemoveAdandonedUndo Excpt");

  DRO_SetLastError("untouched");
  EXPECT_EQ(dro::Guard(dro::Operation::kSetTool, 0, [] { return 5; }), 5);
  EXPECT_STREQ(DRO_GetLastError(), "untouched");
}

TEST(MemoryUtilities, AllocFreeAndOverlappingCopies) {
  auto* block = static_cast<char*>(DRO_Alloc(16));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "0123456789abcdef", 16);
  DRO_Memcpy(block + 2, block, 8);  // forward overlap
  EXPECT_EQ(std::string(block, 16), "0101234567abcdef");
  DRO_Memcpy(block, block + 4, 8);  // backward overlap
  EXPECT_EQ(std::string(block, 16), "234567ab67abcdef");
  DRO_Memcpy(nullptr, block, 4);
  DRO_Memcpy(block, nullptr, 4);
  DRO_Memcpy(block, block + 1, -3);
  EXPECT_EQ(std::string(block, 8), "234567ab");
  DRO_Free(block);
  DRO_Free(nullptr);

  EXPECT_EQ(DRO_Alloc(-1), nullptr);
  dro::FailAllocationAfter(0);
  EXPECT_EQ(DRO_Alloc(8), nullptr);

  int token = 0;
  EXPECT_EQ(BankAdrs(&token), &token);
  EXPECT_EQ(BankAdrs(nullptr), nullptr);
}

TEST(RenameFile, ReportsSuccessAndFailure) {
  const drovine_test::ScratchDir dir;
  const std::string from = dir.File("from.txt");
  const std::string to = dir.File("to.txt");
  std::FILE* f = std::fopen(from.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EQ(DRO_RenameFile(from.c_str(), to.c_str()), 1);
  EXPECT_EQ(DRO_RenameFile(from.c_str(), to.c_str()), 0);  // source is gone
  EXPECT_EQ(DRO_RenameFile(nullptr, to.c_str()), 0);
}

TEST(StartDir, StoresPathsShorterThan1024Only) {
  DRO_SetStartDir("/home/painter");
  EXPECT_STREQ(dro::engine().frame.startDir, "/home/painter");
  const std::string tooLong(1024, 'a');
  DRO_SetStartDir(tooLong.c_str());
  EXPECT_STREQ(dro::engine().frame.startDir, "/home/painter");
  const std::string longest(1023, 'b');
  DRO_SetStartDir(longest.c_str());
  EXPECT_EQ(std::string(dro::engine().frame.startDir), longest);
}

TEST(DirInfoAndColors, HaveLinuxCounterparts) {
  const char* dir = DRO_GetDirInfo();
  ASSERT_NE(dir, nullptr);
  EXPECT_STREQ(dir, "/usr/share");
  EXPECT_EQ(DRO_GetWindowBackgroundColor(), 0x00F0F0F0);
  EXPECT_EQ(DRO_GetWindowTextColor(), 0);
}

class SetPixelRGB24 : public drovine_test::CanvasTest {
 protected:
  SetPixelRGB24() : CanvasTest({4, 3}) {}
};

TEST_F(SetPixelRGB24, WritesHighBytesInsideTheCanvasOnly) {
  constexpr int kStride = 16;  // padded rows
  std::vector<uint8_t> rgb(kStride * 3, 0xAA);
  DRO_SetPixelRGB24(rgb.data(), kStride, 2, 1, 0x12FF, 0x3400, 0xFFFF);
  EXPECT_EQ(rgb[kStride + 6], 0x12);
  EXPECT_EQ(rgb[kStride + 7], 0x34);
  EXPECT_EQ(rgb[kStride + 8], 0xFF);

  const std::vector<uint8_t> before = rgb;
  DRO_SetPixelRGB24(rgb.data(), kStride, 4, 0, 0, 0, 0);   // x = width
  DRO_SetPixelRGB24(rgb.data(), kStride, 0, -1, 0, 0, 0);  // y = -1
  DRO_SetPixelRGB24(rgb.data(), kStride, -1, 0, 0, 0, 0);
  DRO_SetPixelRGB24(rgb.data(), kStride, 0, 3, 0, 0, 0);  // y = height
  DRO_SetPixelRGB24(nullptr, kStride, 0, 0, 0, 0, 0);
  EXPECT_EQ(rgb, before);
}

// The hidden window and its procedure.
class HiddenWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dro::AttachLibrary();  // a fresh window for each test
    DRO_IsDisplayChanged();
  }
};

TEST_F(HiddenWindowTest, IsRegisteredAtLoadWithItsClass) {
  const auto& window = dro::platform::TheHiddenWindow();
  EXPECT_TRUE(window.alive());
  EXPECT_STREQ(window.windowClass().name, "Calderwyn DLL window");
  EXPECT_EQ(window.windowClass().style, 3u);
}

TEST_F(HiddenWindowTest, DisplayChangeIsReportedOnce) {
  EXPECT_EQ(DRO_IsDisplayChanged(), 0);
  EXPECT_EQ(DRO_XPostWindowMessage(0x007E, 0, 0), 0);
  EXPECT_EQ(DRO_XPostWindowMessage(0x007E, 0, 0), 0);  // two changes, one report
  EXPECT_EQ(DRO_IsDisplayChanged(), 1);
  EXPECT_EQ(DRO_IsDisplayChanged(), 0);
}

TEST_F(HiddenWindowTest, OnlyAutomaticResumeCountsAsDisplayChange) {
  using namespace dro::platform;
  dro::EngineWindowProcedure(kWmPowerBroadcast, kPbtApmSuspend, 0);
  dro::EngineWindowProcedure(kWmPowerBroadcast, kPbtApmResumeSuspend, 0);
  EXPECT_EQ(DRO_IsDisplayChanged(), 0);
  EXPECT_EQ(dro::EngineWindowProcedure(kWmPowerBroadcast, kPbtApmResumeAutomatic, 0), 0);
  EXPECT_EQ(DRO_IsDisplayChanged(), 1);
}

TEST_F(HiddenWindowTest, CloseDestroysAndDestroyPostsQuit) {
  using namespace dro::platform;
  HiddenWindow& window = TheHiddenWindow();
  EXPECT_FALSE(window.quitPosted());
  EXPECT_EQ(window.Send(kWmClose, 0, 0), 0);
  EXPECT_FALSE(window.alive());
  EXPECT_TRUE(window.quitPosted());
  EXPECT_EQ(window.quitCode(), 0);
  // A destroyed window receives nothing more.
  EXPECT_EQ(DRO_XPostWindowMessage(0x007E, 0, 0), 0);
  EXPECT_EQ(DRO_IsDisplayChanged(), 0);
}

TEST_F(HiddenWindowTest, OtherMessagesGoToTheDefaultProcedure) {
  EXPECT_EQ(dro::EngineWindowProcedure(0x0001 /* WM_CREATE */, 0, 0), 0);
  EXPECT_EQ(DRO_IsDisplayChanged(), 0);
}

// Window utilities reach the host's handler, and do nothing without one.
struct Seen {
  void* window;
  int32_t message, wParam, lParam;
};
Seen g_seen;
int32_t DRO_CALL RecordingHandler(void* window, int32_t message, int32_t wParam, int32_t lParam) {
  g_seen = {window, message, wParam, lParam};
  return 77;
}

TEST(WindowUtilities, ForwardToTheHostHandler) {
  int fakeWindow = 0;
  DRO_XSetWindowMessageHandler(nullptr);
  EXPECT_EQ(DRO_SetWindowRedraw(&fakeWindow, 1), 0);
  EXPECT_EQ(DRO_RedrawWindow(&fakeWindow), 0);

  DRO_XSetWindowMessageHandler(&RecordingHandler);
  EXPECT_EQ(DRO_SetWindowRedraw(&fakeWindow, 0x1201), 77);
  EXPECT_EQ(g_seen.window, &fakeWindow);
  EXPECT_EQ(g_seen.message, DRO_XMSG_SETREDRAW);
  EXPECT_EQ(g_seen.wParam, 0x01);  // the flag's low byte
  EXPECT_EQ(g_seen.lParam, 0);
  EXPECT_EQ(DRO_RedrawWindow(&fakeWindow), 77);
  EXPECT_EQ(g_seen.message, DRO_XMSG_REDRAW);
  EXPECT_EQ(g_seen.wParam, DRO_XREDRAW_FLAGS);
  DRO_XSetWindowMessageHandler(nullptr);
}

}  // namespace
