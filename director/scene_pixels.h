// Whole-screen pixel operations the timeline applies to the FrameBuffer itself.
#pragma once

#include <cstdint>

// Every one of the 64000 pixels becomes `colour` (0xFFFF white, 0x0000 black).
void FillFrame(uint16_t colour);
