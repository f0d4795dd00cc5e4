// SDL's scan codes (USB usage numbers) turned into the DirectInput scan codes keyDown is indexed by.
#pragma once

#include <SDL_scancode.h>

#include <cstdint>

// The DirectInput scan code of an SDL scan code; 0 for keys a DirectInput keyboard did not report.
uint8_t DirectInputScanCode(SDL_Scancode scancode);
