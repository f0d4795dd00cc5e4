// A FrameBuffer of the headless platform for the effects to draw into, with their tables built.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "effects/captions.h"
#include "effects/colour_table.h"
#include "effects/flare_sprite.h"
#include "effects/wave_plane.h"
#include "platform/display.h"
#include "platform/headless.h"

class EffectFrame : public ::testing::Test {
protected:
    void SetUp() override {
        SetUpHeadless(HeadlessSetup{});
        OpenWindow();
        InitDirectDraw();
        SetVideoMode(kFrameWidth, kFrameHeight, 16);
        CreateFrameBuffer(kFrameWidth, kFrameHeight, 16);
        InitOverlayColours();
        PrepareFlare();
        ResetCaptions();
        InitWavePlane();
    }
    void TearDown() override {
        FreeFrameBuffer();
        ReleaseDirectDraw();
        RequestWindowClose();
    }

    static std::vector<uint16_t> Frame() {
        return std::vector<uint16_t>(FrameBuffer, FrameBuffer + kFrameWidth * kFrameHeight);
    }
    static void Fill(uint16_t colour) {
        std::fill(FrameBuffer, FrameBuffer + kFrameWidth * kFrameHeight, colour);
    }
};
