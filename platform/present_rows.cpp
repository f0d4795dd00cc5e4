#include "platform/present_rows.h"

#include <cstring>

#include "platform/display.h"

void CopyPresentedRows(uint8_t* surfaceRow2, int32_t surfacePitchBytes) {
    const uint8_t* frame = reinterpret_cast<const uint8_t*>(FrameBuffer);
    uint8_t* destination = surfaceRow2;
    for (uint32_t y = kFirstPresentedRow; y <= kLastPresentedRow; ++y) {
        std::memcpy(destination, frame + rowOffset[y], kFramePitchBytes);
        destination += surfacePitchBytes;
    }
}
