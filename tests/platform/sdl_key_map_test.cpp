// SDL scan codes to DirectInput scan codes.
#include <gtest/gtest.h>

#include <SDL_keyboard.h>

#include <map>
#include <vector>

#include "platform/sdl_key_map.h"

namespace {

struct KeyCase {
    SDL_Scancode sdl;
    uint8_t dik;
};

TEST(SdlKeyMap, KnownKeysGetTheirDirectInputCodes) {
    const KeyCase cases[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},   {SDL_SCANCODE_1, 0x02},      {SDL_SCANCODE_0, 0x0B},
        {SDL_SCANCODE_Q, 0x10},        {SDL_SCANCODE_P, 0x19},      {SDL_SCANCODE_RETURN, 0x1C},
        {SDL_SCANCODE_LCTRL, 0x1D},    {SDL_SCANCODE_A, 0x1E},      {SDL_SCANCODE_L, 0x26},
        {SDL_SCANCODE_LSHIFT, 0x2A},   {SDL_SCANCODE_Z, 0x2C},      {SDL_SCANCODE_M, 0x32},
        {SDL_SCANCODE_SPACE, 0x39},    {SDL_SCANCODE_F1, 0x3B},     {SDL_SCANCODE_F10, 0x44},
        {SDL_SCANCODE_F11, 0x57},      {SDL_SCANCODE_F12, 0x58},    {SDL_SCANCODE_KP_0, 0x52},
        {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D},  {SDL_SCANCODE_RALT, 0xB8},
        {SDL_SCANCODE_UP, 0xC8},       {SDL_SCANCODE_LEFT, 0xCB},   {SDL_SCANCODE_RIGHT, 0xCD},
        {SDL_SCANCODE_DOWN, 0xD0},     {SDL_SCANCODE_DELETE, 0xD3}, {SDL_SCANCODE_LGUI, 0xDB},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(DirectInputScanCode(c.sdl), c.dik) << SDL_GetScancodeName(c.sdl);
    }
}

TEST(SdlKeyMap, KeysWithoutACodeAndOutOfRangeValuesGiveZero) {
    for (const SDL_Scancode sdl : {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_F20, SDL_SCANCODE_AC_BACK,
                                   SDL_SCANCODE_AUDIOPLAY,
                                   static_cast<SDL_Scancode>(SDL_NUM_SCANCODES)}) {
        EXPECT_EQ(DirectInputScanCode(sdl), 0) << static_cast<int>(sdl);
    }
}

TEST(SdlKeyMap, NoTwoKeysShareACode) {
    std::map<int, int> owner;
    int mapped = 0;
    for (int i = 0; i < SDL_NUM_SCANCODES; ++i) {
        const uint8_t dik = DirectInputScanCode(static_cast<SDL_Scancode>(i));
        if (dik == 0) continue;
        ++mapped;
        const auto [it, fresh] = owner.emplace(dik, i);
        EXPECT_TRUE(fresh) << "code " << int(dik) << " for SDL " << i << " and " << it->second;
    }
    EXPECT_EQ(mapped, 105);  // every key of a 105-key PC keyboard
}

struct KeyEvent {
    Uint32 type;
    SDL_Scancode key;
    Uint16 mod;
    Uint8 repeat;
};

struct ChordCase {
    const char* what;
    std::vector<KeyEvent> events;
    int toggles;
    bool returnHidden;
};

TEST(SdlKeyMap, AltEnterTogglesOnceAndItsReturnStaysOutOfTheShowsKeysTillReleased) {
    const Uint16 alt = KMOD_LALT;
    const KeyEvent altEnter{SDL_KEYDOWN, SDL_SCANCODE_RETURN, alt, 0};
    const ChordCase cases[] = {
        {"left Alt", {{SDL_KEYDOWN, SDL_SCANCODE_LALT, alt, 0}, altEnter}, 1, true},
        {"right Alt", {{SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_RALT, 0}}, 1, true},
        {"auto-repeat", {altEnter, {SDL_KEYDOWN, SDL_SCANCODE_RETURN, alt, 1}}, 1, true},
        {"Alt released first", {altEnter, {SDL_KEYUP, SDL_SCANCODE_LALT, 0, 0}}, 1, true},
        {"Return released", {altEnter, {SDL_KEYUP, SDL_SCANCODE_RETURN, alt, 0}}, 1, false},
        {"twice", {altEnter, {SDL_KEYUP, SDL_SCANCODE_RETURN, alt, 0}, altEnter}, 2, true},
        {"Enter alone", {{SDL_KEYDOWN, SDL_SCANCODE_RETURN, 0, 0}}, 0, false},
        {"Enter, then Alt",
         {{SDL_KEYDOWN, SDL_SCANCODE_RETURN, 0, 0}, {SDL_KEYDOWN, SDL_SCANCODE_RETURN, alt, 1}},
         0, false},
        {"Ctrl+Enter", {{SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LCTRL, 0}}, 0, false},
        {"Alt+keypad Enter", {{SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, alt, 0}}, 0, false},
    };
    Uint8 pressed[SDL_NUM_SCANCODES] = {};
    for (const SDL_Scancode key : {SDL_SCANCODE_RETURN, SDL_SCANCODE_LALT, SDL_SCANCODE_ESCAPE}) {
        pressed[key] = 1;
    }
    for (const ChordCase& c : cases) {
        DisplayChord chord;
        int toggles = 0;
        for (const KeyEvent& e : c.events) {
            SDL_Event event{};
            event.type = e.type;
            event.key.keysym.scancode = e.key;
            event.key.keysym.mod = e.mod;
            event.key.repeat = e.repeat;
            toggles += NoteDisplayChord(chord, event) ? 1 : 0;
        }
        EXPECT_EQ(toggles, c.toggles) << c.what;
        uint8_t state[kKeyCodeCount];
        ReadKeyState(pressed, SDL_NUM_SCANCODES, chord, state);
        EXPECT_EQ(state[DIK_RETURN], c.returnHidden ? 0 : 0x80) << c.what;
        EXPECT_EQ(state[DIK_ESCAPE], 0x80) << c.what;
        EXPECT_EQ(state[0x38], 0x80) << c.what << ": Alt itself is a key of the show";
    }
}

}  // namespace
