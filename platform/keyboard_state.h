// The part of the keyboard poll that every platform shares: publishing a read state in keyDown.
#pragma once

#include <cstdint>

#include "platform/keyboard.h"

// Bit 7 of state[i] set means key i is down; every other flag is cleared.
void StoreKeyboardState(const uint8_t (&state)[kKeyCodeCount]);
void ClearKeyDown();
