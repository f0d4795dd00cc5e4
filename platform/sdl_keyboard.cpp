#include <SDL.h>

#include <csignal>

#include "platform/keyboard.h"
#include "platform/keyboard_state.h"
#include "platform/sdl_display.h"
#include "platform/sdl_key_map.h"

namespace {

volatile std::sig_atomic_t quitSignalled = 0;
bool windowClosed = false;
DisplayChord displayChord;

void OnQuitSignal(int) { quitSignalled = 1; }

}  // namespace

bool InitInput() {
    ClearKeyDown();
    // Closing the window or a SIGINT, SIGTERM or SIGHUP (the terminal closed) holds Escape down from
    // then on: the show ends through its own shutdown, and the sound stops cleanly instead of
    // being cut off.
    struct sigaction action{};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    return true;
}

void PollKeyboard() {
    // Before video starts there is no keyboard to read.
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        // There is no message loop: events are drained here, once per frame, so SDL's keyboard
        // state is current and the queue never fills.
        SDL_Event event;
        bool toggleFullScreen = false;
        bool sizeChanged = false;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT ||
                (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
                windowClosed = true;
            }
            if (event.type == SDL_WINDOWEVENT &&
                event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                sizeChanged = true;
            }
            if (NoteDisplayChord(displayChord, event)) toggleFullScreen = !toggleFullScreen;
        }
        // Toggling reads the new size itself.
        if (toggleFullScreen) {
            SdlDisplayToggleFullScreen();
        } else if (sizeChanged) {
            SdlDisplayOutputSizeChanged();
        }
        int count = 0;
        const Uint8* pressed = SDL_GetKeyboardState(&count);
        uint8_t state[kKeyCodeCount];
        ReadKeyState(pressed, count, displayChord, state);
        StoreKeyboardState(state);
    }
    if (quitSignalled || windowClosed) keyDown[DIK_ESCAPE] = 1;
}
