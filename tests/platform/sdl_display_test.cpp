// The SDL display and keyboard on SDL's dummy video driver: what reaches the screen, the failure
// path, and the ways the show is asked to end.
#include <gtest/gtest.h>

#include <SDL.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "platform/display.h"
#include "platform/keyboard.h"
#include "platform/letterbox.h"
#include "platform/sdl_display.h"

namespace {

void OpenDisplay() {
    OpenWindow();
    InitInput();
    InitDirectDraw();
    SetVideoMode(320, 200, 16);
    CreateFrameBuffer(320, 200, 16);
}

void CloseDisplay() {
    FreeFrameBuffer();
    ReleaseDirectDraw();
    RequestWindowClose();
}

uint16_t RowColour(uint32_t y) {
    // Every field non-zero, so no row reads as black by accident.
    return static_cast<uint16_t>(((y % 31 + 1) << 11) | ((y % 63 + 1) << 5) | ((y * 7) % 31 + 1));
}

void FillWith(uint16_t colour) {
    for (uint32_t i = 0; i < kFrameWidth * kFrameHeight; ++i) FrameBuffer[i] = colour;
}

TEST(SdlDisplay, Rows2To197AreScaledInto4To3AndTheEdgeRowsStayBlack) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    OpenDisplay();
    ASSERT_NE(SdlDisplayRenderer(), nullptr);
    EXPECT_FALSE(SdlDisplayPacedByVsync()) << "the dummy display does not refresh at the show's rate";
    for (uint32_t y = 0; y < kFrameHeight; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(FrameBuffer) + rowOffset[y]);
        const bool edge = y < 2 || y > 197;
        for (uint32_t x = 0; x < kFrameWidth; ++x) row[x] = edge ? 0xFFFF : RowColour(y);
    }
    PresentFrame();

    int width = 0;
    int height = 0;
    ASSERT_EQ(SDL_GetRendererOutputSize(SdlDisplayRenderer(), &width, &height), 0);
    std::vector<uint16_t> screen(static_cast<size_t>(width) * height);
    ASSERT_EQ(SDL_RenderReadPixels(SdlDisplayRenderer(), nullptr, SDL_PIXELFORMAT_RGB565,
                                   screen.data(), width * 2),
              0)
        << SDL_GetError();
    const ScreenArea area = LetterboxArea(width, height);
    // Sample the middle of each picture row, well inside its band of screen rows.
    for (uint32_t y = 0; y < kFrameHeight; ++y) {
        const int screenY = area.y + static_cast<int>((2 * y + 1) * area.height / (2 * kFrameHeight));
        const bool edge = y < 2 || y > 197;
        for (const int screenX : {area.x + 1, area.x + area.width / 2, area.x + area.width - 2}) {
            const uint16_t pixel = screen[static_cast<size_t>(screenY) * width + screenX];
            ASSERT_EQ(pixel, edge ? 0x0000 : RowColour(y)) << "picture row " << y << " x " << screenX;
        }
    }
    // Outside the 4:3 area the screen is black.
    if (area.x > 0) {
        EXPECT_EQ(screen[static_cast<size_t>(height / 2) * width], 0x0000);
    }
    if (area.y > 0) {
        EXPECT_EQ(screen[static_cast<size_t>(width / 2)], 0x0000);
    }
    CloseDisplay();
    CloseDisplay();  // releasing again does nothing
}

std::vector<uint16_t> ReadScreenCentre() {
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(SdlDisplayRenderer(), &width, &height);
    std::vector<uint16_t> screen(static_cast<size_t>(width) * height);
    SDL_RenderReadPixels(SdlDisplayRenderer(), nullptr, SDL_PIXELFORMAT_RGB565, screen.data(), width * 2);
    return {screen[static_cast<size_t>(height / 2) * width + width / 2]};
}

TEST(SdlDisplay, AHiddenWindowKeepsTheShowGoingAndShowsTheLatestFrameOnceShown) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    OpenDisplay();
    FillWith(0x1234);
    PresentFrame();
    EXPECT_EQ(ReadScreenCentre(), std::vector<uint16_t>{0x1234});
    SDL_HideWindow(SdlDisplayWindow());
    ASSERT_NE(SDL_GetWindowFlags(SdlDisplayWindow()) & SDL_WINDOW_HIDDEN, 0u);
    // Hidden, the frames are paced by the timer and not drawn; none of them may block.
    for (const uint16_t colour : {0x2345, 0x3456, 0x4567}) {
        FillWith(colour);
        PresentFrame();
    }
    SDL_ShowWindow(SdlDisplayWindow());
    FillWith(0x5678);
    PresentFrame();
    EXPECT_EQ(ReadScreenCentre(), std::vector<uint16_t>{0x5678});
    CloseDisplay();
}

// Where the picture lands as the window changes is checked on a real X display
// (demo_picture_test.sh); the dummy display shows the toggle's own state and its key.
TEST(SdlDisplay, AltEnterTogglesA960By720WindowWithTheCursorShownAndBack) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    OpenDisplay();
    struct Expected {
        bool fullScreen;
        int width;  // the dummy display is 1024 x 768
        int height;
    };
    for (const Expected& expected : {Expected{true, 1024, 768}, Expected{false, 960, 720},
                                     Expected{true, 1024, 768}}) {
        int width = 0;
        int height = 0;
        SDL_GetRendererOutputSize(SdlDisplayRenderer(), &width, &height);
        EXPECT_EQ(width, expected.width);
        EXPECT_EQ(height, expected.height);
        const bool fullScreen = (SDL_GetWindowFlags(SdlDisplayWindow()) & SDL_WINDOW_FULLSCREEN);
        EXPECT_EQ(fullScreen, expected.fullScreen);
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), fullScreen ? SDL_DISABLE : SDL_ENABLE);
        for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event event{};
            event.type = type;
            event.key.keysym.scancode = SDL_SCANCODE_RETURN;
            event.key.keysym.mod = KMOD_LALT;
            SDL_PushEvent(&event);
        }
        PollKeyboard();
    }
    CloseDisplay();
}

// The system's own text, then a line that says what is missing, and nothing after them.
TEST(SdlDisplayDeathTest, VideoThatDoesNotStartEndsWithTheMessageAndStatus1) {
    struct Case {
        const char* videoDriver;  // null: not set
        const char* x11Display;
        const char* secondLine;
    };
    const Case cases[] = {
        {"no-such-driver", nullptr, "no display through SDL_VIDEODRIVER=no-such-driver: .*"},
        {nullptr, nullptr, "no X11 or Wayland display found: set DISPLAY or WAYLAND_DISPLAY"},
        {nullptr, ":97", "no X11 or Wayland display could be opened \\(DISPLAY=:97, "
                         "WAYLAND_DISPLAY=\\)"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                if (c.videoDriver) {
                    setenv("SDL_VIDEODRIVER", c.videoDriver, 1);
                } else {
                    unsetenv("SDL_VIDEODRIVER");
                }
                if (c.x11Display) {
                    setenv("DISPLAY", c.x11Display, 1);
                } else {
                    unsetenv("DISPLAY");
                }
                unsetenv("WAYLAND_DISPLAY");
                OpenDisplay();
            },
            testing::ExitedWithCode(1),
            // SDL's own lines may come first.
            std::string("Sorry, I can't init DirectDraw\n") + c.secondLine + "\n$")
            << c.secondLine;
    }
}

// Each runs in a child process: the request to end holds for the rest of the process.
TEST(SdlKeyboardDeathTest, ClosingTheWindowHoldsEscapeDownFromThenOn) {
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            OpenDisplay();
            PollKeyboard();
            const bool upBefore = keyDown[DIK_ESCAPE] == 0;
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
            int heldPolls = 0;
            for (int i = 0; i < 3; ++i) {
                PollKeyboard();
                heldPolls += keyDown[DIK_ESCAPE];
            }
            std::exit(upBefore && heldPolls == 3 ? 7 : 8);
        },
        testing::ExitedWithCode(7), "");
}

TEST(SdlKeyboardDeathTest, SigtermSigintAndSighupHoldEscapeDownFromThenOn) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        EXPECT_EXIT(
            {
                setenv("SDL_VIDEODRIVER", "dummy", 1);
                OpenDisplay();
                PollKeyboard();
                const bool upBefore = keyDown[DIK_ESCAPE] == 0;
                std::raise(signal);
                int heldPolls = 0;
                for (int i = 0; i < 3; ++i) {
                    PollKeyboard();
                    heldPolls += keyDown[DIK_ESCAPE];
                }
                std::exit(upBefore && heldPolls == 3 ? 7 : 8);
            },
            testing::ExitedWithCode(7), "")
            << "signal " << signal;
    }
}

}  // namespace
