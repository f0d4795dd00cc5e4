#include "director/scene_pixels.h"

#include <algorithm>

#include "platform/display.h"

void FillFrame(uint16_t colour) {
    std::fill(FrameBuffer, FrameBuffer + kFrameWidth * kFrameHeight, colour);
}
