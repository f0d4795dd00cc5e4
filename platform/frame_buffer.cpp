#include <cstdlib>

#include "platform/display.h"
#include "platform/frame_buffer_store.h"

uint16_t* FrameBuffer = nullptr;
uint32_t rowOffset[kRowOffsetCapacity];

namespace {
uint32_t frameBufferBytes = 0;

uint32_t BytesPerPixel(uint32_t bitsPerPixel) {
    switch (bitsPerPixel & 0xFF) {
        case 15:
        case 16: return 2;
        case 24: return 3;
        case 32: return 4;
        default: return 1;
    }
}
}  // namespace

void AllocateFrameBuffer(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    ReleaseFrameBuffer();
    const uint32_t rowBytes = width * BytesPerPixel(bitsPerPixel);
    const uint64_t bytes = static_cast<uint64_t>(rowBytes) * height;
    // Every effect writes through this block from the first frame on, so a refusal is a display
    // that cannot start rather than a crash later.
    void* block = bytes <= UINT32_MAX ? std::malloc(bytes == 0 ? 1 : bytes) : nullptr;
    if (!block) FatalError(kVideoModeFailed);
    FrameBuffer = static_cast<uint16_t*>(block);
    frameBufferBytes = static_cast<uint32_t>(bytes);
    // Rows past the table's room get no offset rather than a write past its end; the show asks
    // for 200.
    const uint32_t rows = height < kRowOffsetCapacity ? height : kRowOffsetCapacity;
    for (uint32_t i = 0; i < rows; ++i) rowOffset[i] = i * rowBytes;
}

uint32_t FrameBufferBytes() { return frameBufferBytes; }

void ReleaseFrameBuffer() {
    std::free(FrameBuffer);
    FrameBuffer = nullptr;
    frameBufferBytes = 0;
}
