// The undo store through the exports: commit, undo and redo as one
// exchange, layer switches, entries whose layer went away, the budget and
// its evictions, reduction, pausing, the counts and the memory figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/allocation.h"
#include "drovine.h"
#include "engine/engine.h"
#include "history/undo_store.h"
#include "support/canvas.h"

namespace {

using dro::engine;
using dro::IntRect;
using dro::Pixel64;

constexpr int kW = 32;
constexpr int kH = 32;  // a whole-canvas pixel block counts 8 KB, a mask block 2 KB
constexpr int kBaseKb = kW * kH * 10 / 1024;

class Undo : public drovine_test::CanvasTest {
 protected:
  Undo() : CanvasTest({kW, kH}) {}
  void SetUp() override {
    CanvasTest::SetUp();
    DRO_SetUndoLevels(10);
    DRO_SetUndoMB(100);  // fixed: independent of the machine's free memory
    ASSERT_EQ(DRO_CreateLayer(1, kW, kH), 1);
    ASSERT_EQ(DRO_CreateLayer(2, kW, kH), 1);
    ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);
    DRO_SetLayer(2);
  }
  void TearDown() override {
    dro::platform::SetMemoryStatusOverride(nullptr);
    CanvasTest::TearDown();
  }
  void Mark(int slot, int x, int y, uint16_t v) { Put(slot, x, y, Pixel64{v, v, v, v}); }
  // Marks a pixel and grows the undo rectangle over it, as a dab would
  // (only dabs measure the rectangle).
  void Paint(int slot, int x, int y, uint16_t v) {
    Mark(slot, x, y, v);
    IntRect& r = engine().undo.rect;
    r.x0 = std::min(r.x0, x);
    r.y0 = std::min(r.y0, y);
    r.x1 = std::max(r.x1, x + 1);
    r.y1 = std::max(r.y1, y + 1);
  }
  // The committed state the store keeps beside the current layer.
  bool BackAgrees(int slot) const {
    const std::vector<Pixel64> layer = Pixels(slot);
    const dro::Buffer<Pixel64>& back = engine().undo.back;
    return back.size() == layer.size() && std::equal(layer.begin(), layer.end(), back.begin());
  }
};

TEST_F(Undo, UndoAndRedoExchangeTheRectangle) {
  Paint(2, 3, 4, 111);
  Paint(2, 6, 9, 111);
  DRO_SaveUndoBuffer(1, 0);
  EXPECT_EQ(engine().undo.slots[0].rect.x0, 3);
  EXPECT_EQ(engine().undo.slots[0].rect.y1, 10);
  EXPECT_EQ(DRO_CanUndo(), 1);
  EXPECT_EQ(DRO_CanRedo(), 0);
  EXPECT_TRUE(BackAgrees(2));

  DRO_Undo();
  EXPECT_EQ(At(2, 3, 4).a, 0);
  EXPECT_EQ(At(2, 6, 9).a, 0);
  EXPECT_TRUE(BackAgrees(2));
  EXPECT_EQ(DRO_GetRedoCount(), 1);
  EXPECT_EQ(DRO_CanUndo(), 0);
  EXPECT_EQ(DRO_CanRedo(), 1);
  EXPECT_EQ(DRO_GetUndoCount(), 1);  // undone entries still count

  DRO_Redo();
  EXPECT_EQ(At(2, 3, 4).a, 111);
  EXPECT_EQ(At(2, 6, 9).a, 111);
  EXPECT_TRUE(BackAgrees(2));
  EXPECT_EQ(DRO_GetRedoCount(), 0);
  DRO_Redo();  // nothing to redo
  EXPECT_EQ(At(2, 3, 4).a, 111);
}

// The whole rectangle goes back and forth, its edge rows and columns
// included, and nothing outside it moves.
TEST_F(Undo, UndoRestoresTheWholeRectangleEdgesIncluded) {
  uint32_t seed = 7;
  auto next = [&] { return static_cast<uint16_t>((seed = seed * 1664525u + 1013904223u) >> 16); };
  std::vector<Pixel64> before(pixelCount());
  for (Pixel64& p : before) p = Pixel64{next(), next(), next(), next()};
  SetPixels(2, before);
  DRO_SaveUndoBuffer(1, 0);
  const IntRect r{3, 5, 20, 17};  // inclusive
  for (int y = r.y0; y <= r.y1; ++y) {
    for (int x = r.x0; x <= r.x1; ++x) Mark(2, x, y, next());
  }
  const std::vector<Pixel64> after = Pixels(2);
  engine().undo.rect = r;
  DRO_SaveUndoBuffer(1, 0);
  ASSERT_EQ(engine().undo.slots[0].rect.y1, r.y1);
  DRO_Undo();
  EXPECT_EQ(Pixels(2), before);
  DRO_Redo();
  EXPECT_EQ(Pixels(2), after);
}

TEST_F(Undo, UnmeasuredChangesAreSavedAsTheWholeCanvas) {
  Mark(2, 0, 0, 5);
  Mark(2, kW - 1, kH - 1, 5);
  DRO_SaveUndoBuffer(1, 0);  // no rectangle: the whole canvas
  const IntRect r = engine().undo.slots[0].rect;
  EXPECT_TRUE(r.x0 == 0 && r.y0 == 0 && r.x1 == kW - 1 && r.y1 == kH - 1);
  // A rectangle one pixel wide counts as empty too.
  engine().undo.rect = IntRect{4, 2, 4, 9};
  DRO_SaveUndoBuffer(1, 0);
  EXPECT_EQ(engine().undo.slots[0].rect.x1, kW - 1);
  engine().undo.rect = IntRect{2, 4, 9, 4};  // and one pixel high
  DRO_SaveUndoBuffer(1, 0);
  EXPECT_EQ(engine().undo.slots[0].rect.y1, kH - 1);
  // A rectangle reaching past the canvas is clamped to it.
  engine().undo.rect = IntRect{-5, 3, kW + 7, 8};
  DRO_SaveUndoBuffer(1, 0);
  const IntRect c = engine().undo.slots[0].rect;
  EXPECT_TRUE(c.x0 == 0 && c.y0 == 3 && c.x1 == kW - 1 && c.y1 == 8);
  // Each save resets the rectangle.
  const IntRect reset = engine().undo.rect;
  EXPECT_TRUE(reset.x0 == kW - 1 && reset.y0 == kH - 1 && reset.x1 == 0 && reset.y1 == 0);
}

TEST_F(Undo, ZeroLevelsRecordNothingButStillCommit) {
  DRO_SetUndoLevels(0);
  Mark(2, 1, 1, 42);
  DRO_SaveUndoBuffer(1, 0);
  EXPECT_EQ(DRO_GetUndoCount(), 0);
  EXPECT_EQ(DRO_CanUndo(), 0);
  EXPECT_TRUE(BackAgrees(2));
}

TEST_F(Undo, SavingAfterUndoDropsTheUndoneEntries) {
  for (uint16_t v = 1; v <= 3; ++v) {
    Paint(2, v, v, v);
    DRO_SaveUndoBuffer(1, 0);
  }
  DRO_Undo();
  DRO_Undo();
  EXPECT_EQ(DRO_GetRedoCount(), 2);
  EXPECT_EQ(DRO_GetUndoCount(), 3);
  Paint(2, 9, 9, 9);
  DRO_SaveUndoBuffer(1, 0);
  EXPECT_EQ(DRO_CanRedo(), 0);
  EXPECT_EQ(DRO_GetUndoCount(), 2);  // the new entry and the first one
  DRO_Undo();
  EXPECT_EQ(At(2, 9, 9).a, 0);
  DRO_Undo();
  EXPECT_EQ(At(2, 1, 1).a, 0);
  EXPECT_EQ(DRO_CanUndo(), 0);
}

TEST_F(Undo, ASaveOfNothingRecordsNoEmptyEntry) {
  Paint(2, 1, 1, 7);
  DRO_SaveUndoBuffer(1, 0);
  Paint(2, 2, 2, 8);
  DRO_SaveUndoBuffer(1, 0);
  DRO_Undo();
  DRO_SaveUndoBuffer(0, 0);
  EXPECT_EQ(DRO_CanRedo(), 0);  // undone entries are still discarded
  EXPECT_EQ(DRO_GetUndoCount(), 1);
  EXPECT_EQ(DRO_CanUndo(), 1);  // the older entry stays reachable
  DRO_Undo();
  EXPECT_EQ(At(2, 1, 1).a, 0);
}

TEST_F(Undo, UndoSwitchesToTheEntrysLayer) {
  DRO_SetLayer(3);
  Paint(3, 6, 6, 34);
  DRO_SaveUndoBuffer(1, 0);
  DRO_SetLayer(2);
  DRO_Undo();
  EXPECT_EQ(DRO_GetLayerNum(), 3);
  EXPECT_EQ(At(3, 6, 6).a, 0);
  EXPECT_TRUE(BackAgrees(3));
  DRO_SetLayer(1);
  DRO_Redo();
  EXPECT_EQ(DRO_GetLayerNum(), 3);
  EXPECT_EQ(At(3, 6, 6).a, 34);
  EXPECT_TRUE(BackAgrees(3));
}

TEST_F(Undo, EntriesOfDeletedOrResizedLayersAreDropped) {
  Mark(2, 1, 1, 21);
  DRO_SaveUndoBuffer(1, 0);  // older entry, layer 2, whole canvas: 8 KB
  DRO_SetLayer(3);
  Mark(3, 2, 2, 31);
  DRO_SaveUndoBuffer(1, 0);  // newer entry, layer 3
  const int usageBefore = engine().undo.usageKb;
  DRO_DeleteLayer(3);
  ASSERT_EQ(DRO_CreateLayer(3, kW, kH), 1);  // a new buffer in the same slot
  Mark(3, 2, 2, 99);
  EXPECT_EQ(DRO_CanUndo(), 1);  // the layer-2 entry remains
  DRO_Undo();
  EXPECT_EQ(At(3, 2, 2).a, 99);  // the new layer 3 is not written
  EXPECT_EQ(DRO_GetLayerNum(), 2);
  EXPECT_EQ(At(2, 1, 1).a, 0);  // the older entry was undone instead
  EXPECT_EQ(DRO_GetUndoCount(), 1);
  EXPECT_EQ(engine().undo.usageKb, usageBefore - 8);

  // Re-made at another size: dropped on redo as well.
  DRO_CreateLayer(2, 16, 16);
  DRO_Redo();
  EXPECT_EQ(DRO_GetUndoCount(), 0);
  EXPECT_EQ(DRO_CanRedo(), 0);
  EXPECT_EQ(DRO_CanUndo(), 0);
}

TEST_F(Undo, EntriesFollowALayerMovedBySwapping) {
  Paint(2, 4, 4, 44);
  DRO_SaveUndoBuffer(1, 0);
  DRO_SwapLayers(2, 7);
  DRO_SetLayer(1);
  DRO_Undo();
  EXPECT_EQ(DRO_GetLayerNum(), 7);
  EXPECT_EQ(At(7, 4, 4).a, 0);
}

TEST_F(Undo, MaskEntriesRestoreTheMask) {
  PutMask(5, 5, 100);
  DRO_SaveUndoBuffer(0, 1);
  EXPECT_EQ(engine().undo.usageKb, kBaseKb + 2);
  EXPECT_FALSE(engine().undo.slots[0].pixels.present());
  PutMask(5, 5, 200);
  DRO_SaveUndoBuffer(1, 1);
  EXPECT_EQ(engine().undo.usageKb, kBaseKb + 2 + 10);
  DRO_Undo();
  EXPECT_EQ(MaskAt(5, 5), 100);
  DRO_Undo();
  EXPECT_EQ(MaskAt(5, 5), 65535);
  DRO_Redo();
  EXPECT_EQ(MaskAt(5, 5), 100);
}

TEST_F(Undo, BudgetEvictsOldestEntriesFirst) {
  // 128 x 128: a whole-canvas pixel entry counts 128 KB and the back
  // buffers 160 KB; a 1 MB budget holds five entries (the check reserves
  // 10 bytes per pixel for the entry about to be made).
  Recreate({128, 128});
  DRO_SetUndoLevels(20);
  DRO_SetUndoMB(1);
  ASSERT_EQ(DRO_CreateLayer(2, 128, 128), 1);
  DRO_SetLayer(2);
  for (uint16_t v = 1; v <= 12; ++v) {
    Mark(2, v, 0, v);
    DRO_SaveUndoBuffer(1, 0);
    EXPECT_EQ(engine().undo.usageKb, 160 + 128 * DRO_GetUndoCount());
  }
  EXPECT_EQ(DRO_GetUndoCount(), 6);
  // The newest entries are the ones kept: undo walks back to value 6.
  for (int i = 0; i < 6; ++i) DRO_Undo();
  EXPECT_EQ(At(2, 12, 0).a, 0);
  EXPECT_EQ(At(2, 7, 0).a, 0);
  EXPECT_EQ(At(2, 6, 0).a, 6);
  EXPECT_EQ(DRO_CanUndo(), 0);
}

// An entry that would bring the usage exactly to the budget does not fit:
// the older entry makes way.
TEST_F(Undo, AnEntryReachingTheBudgetExactlyEvicts) {
  constexpr int kEntryKb = kW * kH * 10 / 1024;  // reserved for the entry to be made
  constexpr int kPixelKb = kW * kH * 8 / 1024;   // what a whole-canvas entry counts
  for (int spare = 0; spare < 2; ++spare) {
    DRO_ClearUndo();
    engine().undo.budgetKb = kBaseKb + kPixelKb + kEntryKb + spare;
    for (uint16_t v = 1; v <= 2; ++v) {
      Mark(2, v, 0, v);
      DRO_SaveUndoBuffer(1, 0);
    }
    EXPECT_EQ(DRO_GetUndoCount(), 1 + spare) << "budget " << engine().undo.budgetKb << " KB";
  }
}

TEST_F(Undo, ABudgetTooSmallStillRecordsTheNewestEntry) {
  DRO_SetUndoMB(-3);  // nothing fits
  for (uint16_t v = 1; v <= 4; ++v) {
    Paint(2, v, 0, v);
    DRO_SaveUndoBuffer(1, 0);
  }
  EXPECT_EQ(DRO_GetUndoCount(), 1);
  DRO_Undo();
  EXPECT_EQ(At(2, 4, 0).a, 0);
  EXPECT_EQ(At(2, 3, 0).a, 3);
}

TEST_F(Undo, ReduceFreesTheOldestPixelEntriesAndCountsExactly) {
  engine().undo.rect = IntRect{0, 0, 15, 15};  // 256 pixels: 2 KB of pixels
  DRO_SaveUndoBuffer(1, 0);
  DRO_SaveUndoBuffer(0, 1);                              // whole-canvas mask entry: 2 KB
  for (int i = 0; i < 3; ++i) DRO_SaveUndoBuffer(1, 0);  // 8 KB each
  ASSERT_EQ(DRO_GetUndoCount(), 5);
  ASSERT_EQ(engine().undo.usageKb, kBaseKb + 2 + 2 + 24);
  DRO_ReduceUndo(0);
  EXPECT_EQ(DRO_GetUndoCount(), 5);
  // 3 KB: the oldest pixel entry (2 KB) is not enough; the mask-only entry
  // is passed over; the next pixel entry (8 KB) goes too.
  DRO_ReduceUndo(3);
  EXPECT_EQ(DRO_GetUndoCount(), 3);
  EXPECT_EQ(engine().undo.usageKb, kBaseKb + 2 + 16);
  // The mask entry closed up behind the remaining ones and stays reachable.
  DRO_Undo();
  DRO_Undo();
  EXPECT_EQ(DRO_CanUndo(), 1);
  EXPECT_TRUE(engine().undo.slots[2].mask.present());
}

TEST_F(Undo, PauseStopsSavingAndUndoUntilResumedOrCleared) {
  Paint(2, 1, 1, 5);
  DRO_SaveUndoBuffer(1, 0);
  DRO_PauseUndo();
  Paint(2, 2, 2, 6);
  DRO_SaveUndoBuffer(1, 0);
  EXPECT_EQ(DRO_GetUndoCount(), 1);
  DRO_Undo();
  EXPECT_EQ(At(2, 1, 1).a, 5);
  DRO_ResumeUndo();
  DRO_Undo();
  EXPECT_EQ(At(2, 1, 1).a, 0);
  DRO_PauseUndo();
  DRO_ClearUndo();  // works while paused and ends the pause
  EXPECT_EQ(DRO_GetUndoCount(), 0);
  EXPECT_EQ(DRO_GetRedoCount(), 0);
  EXPECT_FALSE(engine().undo.paused);
  EXPECT_EQ(engine().undo.usageKb, kBaseKb);
  EXPECT_TRUE(BackAgrees(2));
}

TEST_F(Undo, MemoryFiguresAndTheAutomaticBudget) {
  EXPECT_EQ(DRO_SetUndoMB(5), 5);
  EXPECT_EQ(DRO_GetTotalUndoMemory(), 5);
  EXPECT_EQ(DRO_GetCurrentUndoMemory(), 0);
  dro::platform::SetMemoryStatusOverride([]() noexcept {
    dro::platform::MemoryStatus m;
    m.availablePhysical = uint64_t{2} << 30;  // 2 GiB
    m.availablePageFile = uint64_t{1} << 30;  // 1 GiB: the smaller one counts
    return m;
  });
  // trunc(1048576 KB * 0.85 + usage 10) - 20 * (32 * 32 / 1024) = 891279.
  EXPECT_EQ(DRO_SetUndoMB(0), 870);
  EXPECT_EQ(engine().undo.budgetKb, 891279);
  EXPECT_EQ(DRO_GetTotalUndoMemory(), 870);
  // Little free memory: the budget never drops below 15 per canvas
  // kilo-pixel.
  dro::platform::SetMemoryStatusOverride([]() noexcept { return dro::platform::MemoryStatus{}; });
  DRO_GetTotalUndoMemory();
  EXPECT_EQ(engine().undo.budgetKb, 15);
  // A fixed budget ignores the query.
  DRO_SetUndoMB(2);
  DRO_GetTotalUndoMemory();
  EXPECT_EQ(engine().undo.budgetKb, 2048);
}

TEST_F(Undo, FailedAllocationIsRetriedOnTheNextSlot) {
  Mark(2, 1, 1, 5);
  DRO_SaveUndoBuffer(1, 0);
  Mark(2, 2, 2, 6);
  // The block fails at the oldest slot; the walk frees the next one and
  // tries again.
  dro::FailAllocationAfter(0);
  DRO_SaveUndoBuffer(1, 0);
  dro::FailAllocationAfter(-1);
  EXPECT_STREQ(DRO_GetLastError(), "");
  EXPECT_TRUE(BackAgrees(2));
  EXPECT_EQ(DRO_GetUndoCount(), 2);
  EXPECT_EQ(engine().undo.usageKb, kBaseKb + 16);
  DRO_Undo();
  EXPECT_EQ(At(2, 2, 2).a, 0);
  EXPECT_EQ(At(2, 1, 1).a, 5);
}

TEST_F(Undo, WithOneLevelAFailedAllocationCommitsWithoutAnEntryAndSaysSo) {
  DRO_SetUndoLevels(1);
  Mark(2, 1, 1, 5);
  DRO_SaveUndoBuffer(1, 0);
  Mark(2, 2, 2, 6);
  dro::FailAllocationAfter(0);
  DRO_SaveUndoBuffer(1, 0);
  dro::FailAllocationAfter(-1);
  // Committed without an entry: recorded, so the host knows it cannot undo.
  EXPECT_STREQ(DRO_GetLastError(), "SaveUndoBuf Excpt");
  EXPECT_TRUE(BackAgrees(2));
  EXPECT_EQ(DRO_GetUndoCount(), 0);  // the old entry made room in vain
  EXPECT_EQ(engine().undo.usageKb, kBaseKb);
}

TEST_F(Undo, NothingWithoutACanvasOrCurrentLayer) {
  DRO_DeleteImage();
  DRO_SaveUndoBuffer(1, 1);
  DRO_Undo();
  DRO_Redo();
  DRO_ReduceUndo(100);
  EXPECT_EQ(DRO_CanUndo(), 0);
  EXPECT_STREQ(DRO_GetLastError(), "");
  DRO_CreateImage(nullptr, kW, kH, 8, 5);
  DRO_SetUndoLevels(5);
  DRO_SaveUndoBuffer(1, 0);  // no current layer: no pixel entry
  EXPECT_EQ(DRO_GetUndoCount(), 0);
}

}  // namespace
