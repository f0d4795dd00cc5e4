// What the SDL display offers beyond display.h: to the SDL keyboard, which drains the events, and
// to the tests that look at what reached the screen.
#pragma once

struct SDL_Window;
struct SDL_Renderer;

SDL_Window* SdlDisplayWindow();
SDL_Renderer* SdlDisplayRenderer();
// True when presentation waits for the display's own vertical blank (a display refreshing at
// kShowFramesPerSecond), false when the frame timer paces it.
bool SdlDisplayPacedByVsync();

// Full screen with the cursor hidden <-> a centred, resizable 4:3 window with the cursor shown.
void SdlDisplayToggleFullScreen();
// Reads the renderer's output size again and places the picture in it; called for every size
// change the window reports.
void SdlDisplayOutputSizeChanged();

// A test aid: with NOVALINE_TEST_PATTERN set to 1 when the display starts, every frame shows a
// fixed picture in place of the show's: rows 2..197 white, row 100 red and column 160 green, so a
// screenshot tells where each picture row and column landed. Read once; the show's frames then
// cost one test of a flag.
inline constexpr const char* kTestPatternVariable = "NOVALINE_TEST_PATTERN";
