#include "platform/headless.h"
#include "platform/headless_calls.h"
#include "platform/keyboard.h"
#include "platform/keyboard_state.h"

bool InitInput() {
    NoteHeadlessCall(PlatformCall::InitInput);
    ClearKeyDown();
    return true;
}

void PollKeyboard() {
    NoteHeadlessCall(PlatformCall::PollKeyboard);
    const HeadlessSetup& setup = CurrentHeadlessSetup();
    if (setup.keyboardMissing) return;
    const uint64_t frame = HeadlessPresentedFrames();
    const KeyStep* step = nullptr;
    for (size_t i = 0; i < setup.keyStepCount && setup.keySchedule[i].fromFrame <= frame; ++i) {
        step = &setup.keySchedule[i];
    }
    if (step && step->pollFails) return;
    uint8_t state[kKeyCodeCount] = {};
    if (step) {
        for (uint8_t code : step->down) {
            if (code == 0) break;
            state[code] = 0x80;
        }
    }
    StoreKeyboardState(state);
}
