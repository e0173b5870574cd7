// The failure texts are part of the interface: hosts compare the last error
// with them, so any change to the table, spelling slips included, must be
// deliberate and show up here.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/failure_texts.h"

namespace {

TEST(FailureTexts, TheTableIsPinned) {
  const char* const expected[] = {
      "BlurPaintLayerAlpha", "ClearUndo",
      "CreateImage",         "CreateLayer",
      "CreatePaintLayer",    "CreateTexture",
      "DeleteImage",         "DeleteLayer",
      "DeleteRandArrayBtye", "DRO_GetColorAtMerged",
      "GetRGBA32Layer",      "IPLAllocSrcBuffer32",
      "IPLFreeSrcBuffer32",  "IPLAllocDstBuffer32",
      "IPLFreeDstBuffer32",  "IPLAllocSrcBuffer24",
      "IPLFreeSrcBuffer24",  "IPLAllocDstBuffer24",
      "IPLFreeDstBuffer24",  "IPLMaskEllipse",
      "IPLMaskRectangle",    "IPLMaskWand",
      "LoadRGBA32Layer",     "LoadRGBA32LayerCompressed",
      "MakeRandArrayByte",   "NewSize",
      "RemoveAdandonedUndo", "SaveUndoBuf",
      "SetBrushShape",       "SetTool",
  };
  ASSERT_EQ(std::size(expected), dro::kOperationNames.size());
  std::set<std::string> distinct;
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_STREQ(dro::kOperationNames[i], expected[i]) << "entry " << i;
    distinct.insert(dro::kOperationNames[i]);
  }
  EXPECT_EQ(distinct.size(), std::size(expected));
}

}  // namespace
