// SDL's scan codes (USB usage numbers) turned into the DirectInput scan codes keyDown is indexed by.
#pragma once

#include <SDL_events.h>
#include <SDL_scancode.h>

#include <cstdint>

#include "platform/keyboard.h"

// The DirectInput scan code of an SDL scan code; 0 for keys a DirectInput keyboard did not report.
uint8_t DirectInputScanCode(SDL_Scancode scancode);

// Alt+Enter belongs to the display (full screen <-> window), not to the show: the Return press
// that makes it stays out of keyDown until it is released, even when Alt is released first.
struct DisplayChord {
    bool returnHeld = false;
};

// Follows the chord through one event; true for the press that should toggle full screen (not its
// auto-repeats). Return on the keypad is a key of the show even with Alt.
bool NoteDisplayChord(DisplayChord& chord, const SDL_Event& event);

// DirectInput key state (bit 7 = down) from SDL's key state array of `count` entries, with the
// chord's Return left out.
void ReadKeyState(const Uint8* pressed, int count, const DisplayChord& chord,
                  uint8_t (&state)[kKeyCodeCount]);
