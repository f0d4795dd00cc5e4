// The keyboard as the show reads it: once per frame, which keys are down, indexed by DirectInput
// scan code (the codes the show was written for; Escape is 1).
#pragma once

#include <cstdint>

inline constexpr int32_t kKeyCodeCount = 256;

// DirectInput scan codes the show and its tests name.
inline constexpr uint8_t DIK_ESCAPE = 0x01;
inline constexpr uint8_t DIK_1 = 0x02;
inline constexpr uint8_t DIK_RETURN = 0x1C;
inline constexpr uint8_t DIK_A = 0x1E;
inline constexpr uint8_t DIK_SPACE = 0x39;
inline constexpr uint8_t DIK_F1 = 0x3B;
inline constexpr uint8_t DIK_UP = 0xC8;

// Entry i is 1 while the key with scan code i is down, else 0.
extern int32_t keyDown[kKeyCodeCount];

// Clears keyDown and takes the keyboard; always true.
bool InitInput();
// Copies the keyboard's state into keyDown. A poll that cannot read the keyboard leaves every
// flag as it was.
void PollKeyboard();
