// The FrameBuffer's memory and row table, shared by every platform's CreateFrameBuffer and
// FreeFrameBuffer.
#pragma once

#include <cstdint>

void AllocateFrameBuffer(uint32_t width, uint32_t height, uint32_t bitsPerPixel);
void ReleaseFrameBuffer();
