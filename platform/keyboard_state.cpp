#include "platform/keyboard_state.h"

#include <algorithm>

int32_t keyDown[kKeyCodeCount];

void StoreKeyboardState(const uint8_t (&state)[kKeyCodeCount]) {
    for (int32_t i = 0; i < kKeyCodeCount; ++i) keyDown[i] = (state[i] & 0x80) != 0 ? 1 : 0;
}

void ClearKeyDown() { std::fill(keyDown, keyDown + kKeyCodeCount, 0); }
