#include "platform/web_key_map.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/keyboard.h"
#include "platform/sdl_key_map.h"

namespace {

// The page and the SDL window report one keyboard: each scan code from exactly one key, and the
// same codes on both.
TEST(WebKeyMap, ReportsTheScanCodesOfTheSdlMap) {
    std::set<uint8_t> sdlCodes;
    for (int i = 0; i < SDL_NUM_SCANCODES; ++i) {
        if (const uint8_t code = DirectInputScanCode(static_cast<SDL_Scancode>(i))) {
            sdlCodes.insert(code);
        }
    }
    std::set<uint8_t> webCodes;
    for (size_t i = 0; i < kWebKeyCount; ++i) {
        EXPECT_TRUE(webCodes.insert(kWebKeys[i].directInputCode).second) << kWebKeys[i].code;
    }
    EXPECT_EQ(webCodes, sdlCodes);
}

TEST(WebKeyMap, NamesPhysicalKeys) {
    const struct {
        const char* code;
        uint8_t expected;
    } cases[] = {
        {"Escape", DIK_ESCAPE},
        {"Digit1", DIK_1},
        {"Enter", DIK_RETURN},
        {"KeyA", DIK_A},
        {"Space", DIK_SPACE},
        {"F1", DIK_F1},
        {"ArrowUp", DIK_UP},
        {"NumpadEnter", 0x9C},
        {"KeyQ", 0x10},
        {"KeyW", 0x11},
        {"escape", 0},
        {"Esc", 0},
        {"", 0},
        {"Fn", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectInputScanCodeOfWebKey(c.code), c.expected) << c.code;
    }
}

}  // namespace
