// SDL scan codes to DirectInput scan codes.
#include <gtest/gtest.h>

#include <SDL_keyboard.h>

#include <map>

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

}  // namespace
