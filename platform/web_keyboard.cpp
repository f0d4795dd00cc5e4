#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstring>

#include "platform/keyboard.h"
#include "platform/keyboard_state.h"
#include "platform/web_key_map.h"

// The page's key handlers read the table through wasm memory: a 32-bit name pointer, the code byte
// after it.
static_assert(sizeof(WebKey) == 8 && offsetof(WebKey, directInputCode) == 4);

namespace {
// Written by the page's key handlers between frames (bit 7 = down), read by the poll.
uint8_t keyState[kKeyCodeCount];
}  // namespace

// The page-side halves are JavaScript, which the C++ formatter would break.
// clang-format off
// The handlers are added once for the page's life; a show started again only clears the state.
// F belongs to the page (full screen), as Alt+Enter belongs to the SDL window: it never reaches
// the show. Losing focus releases every key, whose releases the page will not see.
EM_JS(void, AttachWebKeyboard, (uint8_t* state, const WebKey* keys, int32_t count), {
    Module.novalineKeyState = state;
    if (Module.novalineKeyCodes) return;
    const codes = new Map();
    for (let i = 0; i < count; ++i) {
        const entry = keys + 8 * i;
        codes.set(UTF8ToString(HEAPU32[entry >> 2]), HEAPU8[entry + 4]);
    }
    Module.novalineKeyCodes = codes;
    const onKey = (event, down) => {
        if (event.code === "KeyF") {
            if (down && !event.repeat && Module.toggleFullScreen) Module.toggleFullScreen();
            return;
        }
        const code = codes.get(event.code);
        if (!code) return;
        HEAPU8[Module.novalineKeyState + code] = down ? 0x80 : 0;
        // Function keys and browser shortcuts keep working; the show's keys do not scroll the page.
        if (!event.ctrlKey && !event.metaKey && !event.code.startsWith("F")) {
            event.preventDefault();
        }
    };
    window.addEventListener("keydown", event => onKey(event, true));
    window.addEventListener("keyup", event => onKey(event, false));
    window.addEventListener(
        "blur", () => HEAPU8.fill(0, Module.novalineKeyState, Module.novalineKeyState + 256));
});
// clang-format on

bool InitInput() {
    ClearKeyDown();
    std::memset(keyState, 0, sizeof(keyState));
    AttachWebKeyboard(keyState, kWebKeys, static_cast<int32_t>(kWebKeyCount));
    return true;
}

void PollKeyboard() { StoreKeyboardState(keyState); }
