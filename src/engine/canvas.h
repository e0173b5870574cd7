// The canvas lifecycle: create, new size and delete, in their fixed order.
#pragma once

#include <cstdint>

namespace dro::canvas {

constexpr int32_t kMaxSide = 10000;
constexpr int32_t kFallbackSide = 100;
constexpr int32_t kMaxUndoLevels = 500;

// A side outside 0..10000 becomes 100.
int32_t ClampSide(int32_t side) noexcept;

// The largest brush size limit whose buffers can be addressed with 32-bit
// indices: (L + 25)^2 grit bytes, L x L tip and blend-buffer elements.
bool BrushLimitIsPossible(int32_t limit) noexcept;

// Guarded ("CreateImage", "NewSize", "DeleteImage").
void CreateImage(void* window, int32_t width, int32_t height, int32_t brushLimit,
                 int32_t creationValue) noexcept;
void NewSize(void* window, int32_t width, int32_t height, int32_t brushLimit,
             int32_t creationValue) noexcept;
void DeleteImage() noexcept;

void SetUndoLevels(int32_t count) noexcept;

// Whether a canvas exists (between create and delete).
bool Live() noexcept;

}  // namespace dro::canvas
