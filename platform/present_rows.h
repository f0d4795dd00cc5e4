// The copy that puts a frame on a surface, shared by every platform.
#pragma once

#include <cstdint>

// Copies FrameBuffer rows 2..197, 640 bytes each, to a surface whose row 2 starts at
// `surfaceRow2` and whose rows are `surfacePitchBytes` apart (at least 640).
void CopyPresentedRows(uint8_t* surfaceRow2, int32_t surfacePitchBytes);
