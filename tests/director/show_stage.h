// The stage the director's tests draw on: the headless display and frame buffer, and every table
// and effect as the show's start-up leaves them. A fixture opens it in its SetUp and closes it in
// its TearDown.
#pragma once

#include "director/timeline.h"
#include "effects/additive_mesh.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/projection.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "show/mesh_motion.h"

inline void OpenShowStage() {
    SetUpHeadless(HeadlessSetup{});
    OpenWindow();
    InitDirectDraw();
    SetVideoMode(kFrameWidth, kFrameHeight, 16);
    CreateFrameBuffer(kFrameWidth, kFrameHeight, 16);
    BuildAngleTables();
    BuildMotionTables();
    InitTriangleTables();
    InitOverlayColours();
    PrepareFlare();
    InitWavePlane();
    ResetEffects();
}

inline void CloseShowStage() {
    FreeFrameBuffer();
    ReleaseDirectDraw();
    RequestWindowClose();
}
