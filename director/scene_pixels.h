// Whole-screen pixel operations the timeline applies itself: pictures filled or overlaid as raw
// colour indices, a colour fill, the darkening mask, the two tunnels drawn into a second picture
// and the cross-fade that brings that picture in. Each is one pass over the 64000 pixels in memory
// order with byte arithmetic on the colour fields.
#pragma once

#include <cstdint>

#include "platform/display.h"

// The second picture: the tunnels are drawn here, then cross-faded into the FrameBuffer.
extern uint16_t workPicture[kFramePixels];
// The mask's threshold (255 at start): lower levels darken more of the frame.
extern uint8_t maskLevel;
// The stored cross-fade level (0 at start).
extern uint8_t fadeLevel;

// Puts the start values of maskLevel and fadeLevel back, for a show that starts again.
void ResetScenePixels();

// pixel = picture[i] >> shift in the blue field: shift 4 gives 16 shades, 3 gives 32. The shift
// is clamped to 0..8 (8 and beyond give 0).
void FillFromPicture(const uint8_t* picture, int32_t shift);
// pixel = picture[i] as a raw 16-bit value where picture[i] is not 0.
void OverlayPicture(const uint8_t* picture);
// Every one of the 64000 pixels becomes `colour` (0xFFFF white, 0x0000 black).
void FillFrame(uint16_t colour);
// Where 256 - mask exceeds maskLevel, green falls by a quarter of the excess and red and blue by
// an eighth, each stopping at 0; mask index 0 never darkens.
void DarkenByMask();
// workPicture[i] = the texture at tunnelMap[i] + wavePhase (a 16-bit sum).
void DrawTunnel();
// The tunnel bent by three sine lookups per pixel; lowers wavePhase by 0x0A0A after.
void DrawWarpedTunnel();
// Raises fadeLevel by one unless that would reach `cap`; returns the level, at most `cap`.
int32_t StepFadeLevel(int32_t cap);
// Dims the FrameBuffer by t and workPicture by 32 - t (both halved when `halved`), per field, and
// adds them with each field clamped at its maximum.
void CrossFade(int32_t t, bool halved);
