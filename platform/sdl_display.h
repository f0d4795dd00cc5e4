// What the SDL display is made of, for the tests that look at what reached the screen.
#pragma once

struct SDL_Window;
struct SDL_Renderer;

SDL_Window* SdlDisplayWindow();
SDL_Renderer* SdlDisplayRenderer();
// True when presentation waits for the display's own vertical blank (a display refreshing at
// kShowFramesPerSecond), false when the frame timer paces it.
bool SdlDisplayPacedByVsync();
