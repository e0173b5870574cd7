// The operations that record their failure in the last error, and the text
// each records: "<name> Excpt".
//
// Hosts match these texts, so they are part of the interface and never
// change, not even where they are oddly spelt ("DeleteRandArrayBtye",
// "RemoveAdandonedUndo") or carry the export's prefix. Every guard names
// its operation from this one table; a test pins the whole table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dro {

enum class Operation : uint8_t {
  kBlurPaintLayerAlpha,
  kClearUndo,
  kCreateImage,
  kCreateLayer,
  kCreatePaintLayer,
  kCreateTexture,
  kDeleteImage,
  kDeleteLayer,
  kDeleteRandomTable,
  kGetColorAtMerged,
  kCompressLayer,
  kIplAllocSource32,
  kIplFreeSource32,
  kIplAllocDestination32,
  kIplFreeDestination32,
  kIplAllocSource24,
  kIplFreeSource24,
  kIplAllocDestination24,
  kIplFreeDestination24,
  kIplMaskEllipse,
  kIplMaskRectangle,
  kIplMaskWand,
  kLoadRgba32Layer,
  kLoadCompressedLayer,
  kMakeRandomTable,
  kNewSize,
  kRemoveAbandonedUndo,
  kSaveUndoBuffer,
  kSetBrushShape,
  kSetTool,
  kCount,
};

inline constexpr std::array<const char*, static_cast<size_t>(Operation::kCount)> kOperationNames = {
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

constexpr const char* OperationName(Operation operation) noexcept {
  return kOperationNames[static_cast<size_t>(operation)];
}

}  // namespace dro
