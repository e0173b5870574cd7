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
      "BlurMoreBuffer",
      "BlurPaintLayerAlpha",
      "ClearUndo",
      "ColorImageBrush",
      "GetRGBA32Layer",
      "CopyToImageBrush",
      "CreateImage",
      "CreateLayer",
      "CreateNewRGBA",
      "CreatePaintLayer",
      "CreateTexture",
      "DeleteImage",
      "DeleteLayer",
      "DeleteNewRGBA",
      "DeleteRandArrayBtye",
      "FillImageBrush",
      "FromClipBoard",
      "FromClipBoardInto",
      "FromClipBoardIntoEX",
      "DRO_GetColorAtMerged",
      "GetResizedNewRGB24",
      "IPLAllocDstBuffer24",
      "IPLAllocDstBuffer32",
      "IPLAllocSrcBuffer24",
      "IPLAllocSrcBuffer32",
      "IPLCrop",
      "IPLDisplacementBump",
      "IPLEllipse",
      "IPLFlipHorizontal",
      "IPLVlipVertical",
      "IPLFloodFill",
      "IPLFreeDstBuffer24",
      "IPLFreeDstBuffer32",
      "IPLFreeSrcBuffer24",
      "IPLFreeSrcBuffer32",
      "IPLGradient",
      "IPLImageProc",
      "IPLMaskEllipse",
      "IPLMaskRectangle",
      "IPLMaskWand",
      "IPLPan",
      "IPLPhotoPop",
      "IPLRectangle",
      "IPLResize",
      "IPLResizePage",
      "IPLRotateLeft",
      "IPLRotateRight",
      "IPLText",
      "LoadRGBA32LayerCompressed",
      "LoadImageBrush",
      "LoadImageBrushArray",
      "LoadImageBrushFromRGBA32",
      "LoadRGBA32Layer",
      "LuaFilterRun",
      "MakeRandArrayByte",
      "MakeThumbnails",
      "MakeWebPic",
      "NewSize",
      "ReadFromFile",
      "RemoveAdandonedUndo",
      "RotateImageBrush",
      "SaveImageBrush",
      "DRO_SavePageToFileRGB24",
      "DRO_SavePageToFileRGB32",
      "SaveUndoBuf",
      "ScreenCapture",
      "ScreenCaptureInto",
      "SetBrushShape",
      "SetTool",
      "SizeImageBrush",
      "ToClipBoardRect",
      "TwainAcquire",
      "WriteToFileRGB24",
      "WriteToFileRGBA32",
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
