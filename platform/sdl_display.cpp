#include "platform/sdl_display.h"

#include <SDL.h>

#include <cstring>

#include "platform/display.h"
#include "platform/frame_buffer_store.h"
#include "platform/frame_pacer.h"
#include "platform/letterbox.h"
#include "platform/present_rows.h"

namespace {

struct SdlDisplay {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool videoStarted = false;
    bool pacedByVsync = false;
    FramePacer pacer{};
    uint32_t modeWidth = 0;
    uint32_t modeHeight = 0;
    uint32_t modeBitsPerPixel = 0;
    ScreenArea pictureArea{};
    bool testPattern = false;
};

SdlDisplay display;

// Rows 0, 1, 198 and 199 are never written after this, so they stay black.
void ClearTexture() {
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(display.texture, nullptr, &pixels, &pitch) != 0) return;
    std::memset(pixels, 0, static_cast<size_t>(pitch) * display.modeHeight);
    SDL_UnlockTexture(display.texture);
}

SDL_Rect PresentedRows() {
    return {0, static_cast<int>(kFirstPresentedRow), static_cast<int>(kFrameWidth),
            static_cast<int>(kLastPresentedRow - kFirstPresentedRow + 1)};
}

void DrawTestPattern() {
    const SDL_Rect rows = PresentedRows();
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(display.texture, &rows, &pixels, &pitch) != 0) return;
    for (int y = 0; y < rows.h; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(pixels) + y * pitch);
        for (uint32_t x = 0; x < kFrameWidth; ++x) {
            row[x] = y + rows.y == 100 ? 0xF800 : x == 160 ? 0x07E0 : 0xFFFF;
        }
    }
    SDL_UnlockTexture(display.texture);
}

void ReadOutputSize() {
    int outputWidth = 0;
    int outputHeight = 0;
    SDL_GetRendererOutputSize(display.renderer, &outputWidth, &outputHeight);
    display.pictureArea = LetterboxArea(outputWidth, outputHeight);
}

SDL_Rect DisplayBounds(int displayIndex) {
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(displayIndex, &bounds) != 0) return {0, 0, 0, 0};
    return bounds;
}

// SDL reports the display's size as the window's as soon as full screen is asked for, and the
// renderer draws for that size; where nothing answers the request (X without a window manager),
// the window would keep its own size and show a crop of the picture. A window that already covers
// the display makes the report true whether full screen is granted or not; a window manager that
// refuses or shrinks it reports the size it gave, and SDL passes that on as a size change.
void CoverDisplay(int displayIndex) {
    const SDL_Rect bounds = DisplayBounds(displayIndex);
    if (bounds.w <= 0 || bounds.h <= 0) return;
    SDL_SetWindowPosition(display.window, bounds.x, bounds.y);
    SDL_SetWindowSize(display.window, bounds.w, bounds.h);
}

bool WindowShows() {
    return (SDL_GetWindowFlags(display.window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

void DrawToScreen() {
    const ScreenArea& area = display.pictureArea;
    const SDL_Rect destination{area.x, area.y, area.width, area.height};
    SDL_SetRenderDrawColor(display.renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
    SDL_RenderClear(display.renderer);
    SDL_RenderCopy(display.renderer, display.texture, nullptr, &destination);
    SDL_RenderPresent(display.renderer);
}

}  // namespace

SDL_Window* SdlDisplayWindow() { return display.window; }
SDL_Renderer* SdlDisplayRenderer() { return display.renderer; }
bool SdlDisplayPacedByVsync() { return display.pacedByVsync; }

void SdlDisplayToggleFullScreen() {
    if (!display.window || !display.renderer) return;
    const int displayIndex = SDL_GetWindowDisplayIndex(display.window);
    if ((SDL_GetWindowFlags(display.window) & SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_SetWindowFullscreen(display.window, 0);
        // Sized after leaving full screen: with no window manager to restore it, the window
        // would go on covering the display.
        SDL_Rect usable{};
        if (SDL_GetDisplayUsableBounds(displayIndex, &usable) == 0) {
            const ScreenArea area = WindowedArea({usable.x, usable.y, usable.w, usable.h});
            SDL_SetWindowSize(display.window, area.width, area.height);
            SDL_SetWindowPosition(display.window, area.x, area.y);
        }
        SDL_ShowCursor(SDL_ENABLE);
    } else {
        CoverDisplay(displayIndex);
        SDL_SetWindowFullscreen(display.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        SDL_ShowCursor(SDL_DISABLE);
    }
    ReadOutputSize();
}

void SdlDisplayOutputSizeChanged() {
    if (display.renderer) ReadOutputSize();
}

void OpenWindow() {
    // The window cannot exist before video starts; it is made with the mode in SetVideoMode.
    // Nearest-neighbour scaling keeps the square-edged pixels the pictures were drawn with.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
}

namespace {

// SDL falls back to drivers that show nothing (offscreen, dummy) where it finds no display; the
// show would then run unseen, waiting for an Escape that cannot come. Such a driver counts as a
// display only when the user asked for it by name.
bool ShowsNothing(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

bool AskedForByName(const char* driver) {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    return asked && driver && SDL_strcasestr(asked, driver) != nullptr;
}

// The message's second line, for a Linux user: what is missing and what to set. The first stays
// the system's own text.
const char* NoDisplayDetail() {
    static char detail[256];
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const char* x11 = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if (asked && *asked) {
        SDL_snprintf(detail, sizeof detail, "no display through SDL_VIDEODRIVER=%s: %s", asked,
                     SDL_GetError());
    } else if ((x11 && *x11) || (wayland && *wayland)) {
        SDL_snprintf(detail, sizeof detail,
                     "no X11 or Wayland display could be opened (DISPLAY=%s, WAYLAND_DISPLAY=%s)",
                     x11 ? x11 : "", wayland ? wayland : "");
    } else {
        return "no X11 or Wayland display found: set DISPLAY or WAYLAND_DISPLAY";
    }
    return detail;
}

}  // namespace

void InitDirectDraw() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) FatalError(kInitDirectDrawFailed, NoDisplayDetail());
    const char* driver = SDL_GetCurrentVideoDriver();
    if (ShowsNothing(driver) && !AskedForByName(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        FatalError(kInitDirectDrawFailed, NoDisplayDetail());
    }
    display.videoStarted = true;
}

void SetVideoMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    // Made covering the display, for the reason CoverDisplay gives. High density: on a scaled
    // desktop the renderer then draws real pixels and the picture keeps its sharp edges.
    SDL_Rect bounds = DisplayBounds(0);
    if (bounds.w <= 0 || bounds.h <= 0) {
        bounds = {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, static_cast<int>(width),
                  static_cast<int>(height)};
    }
    display.window = SDL_CreateWindow(systemCaption, bounds.x, bounds.y, bounds.w, bounds.h,
                                      SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE |
                                          SDL_WINDOW_ALLOW_HIGHDPI);
    if (!display.window) FatalError(kCooperativeLevelFailed);

    SDL_DisplayMode desktop{};
    const bool atShowRate =
        SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(display.window), &desktop) == 0 &&
        desktop.refresh_rate == kShowFramesPerSecond;
    display.renderer =
        SDL_CreateRenderer(display.window, -1, atShowRate ? SDL_RENDERER_PRESENTVSYNC : 0);
    if (!display.renderer && atShowRate) display.renderer = SDL_CreateRenderer(display.window, -1, 0);
    if (!display.renderer) FatalError(kCooperativeLevelFailed);
    SDL_RendererInfo info{};
    display.pacedByVsync = atShowRate && SDL_GetRendererInfo(display.renderer, &info) == 0 &&
                           (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;

    SDL_ShowCursor(SDL_DISABLE);
    SDL_RaiseWindow(display.window);

    // The texture is 5-6-5, exactly the FrameBuffer's pixels; SDL converts to whatever the screen
    // uses, so no display shows wrong colours. Other depths have no such texture here.
    if ((bitsPerPixel & 0xFF) != 16 || width < kFrameWidth || height <= kLastPresentedRow) {
        FatalError(kVideoModeFailed);
    }
    display.texture = SDL_CreateTexture(display.renderer, SDL_PIXELFORMAT_RGB565,
                                        SDL_TEXTUREACCESS_STREAMING, static_cast<int>(width),
                                        static_cast<int>(height));
    if (!display.texture) FatalError(kVideoModeFailed);
    display.modeWidth = width;
    display.modeHeight = height;
    display.modeBitsPerPixel = bitsPerPixel & 0xFF;
    ClearTexture();
    const char* pattern = SDL_getenv(kTestPatternVariable);
    display.testPattern = pattern && std::strcmp(pattern, "1") == 0;
    if (display.testPattern) DrawTestPattern();
    ReadOutputSize();
    DrawToScreen();
    StartPacer(display.pacer, kShowFramesPerSecond, MonotonicNowNs());
}

void CreateFrameBuffer(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    AllocateFrameBuffer(width, height, bitsPerPixel);
}

void FreeFrameBuffer() { ReleaseFrameBuffer(); }

void PresentFrame() {
    if (!display.texture || !FrameBuffer) return;
    // Locking only rows 2..197 leaves the texture's other rows as cleared: SDL does not promise to
    // keep the contents of a locked area.
    const SDL_Rect presentedRows = PresentedRows();
    void* pixels = nullptr;
    int pitch = 0;
    // A texture that cannot be locked (a lost device) skips this frame's picture; the show and its
    // pacing go on, and the next frame tries again.
    if (!display.testPattern &&
        SDL_LockTexture(display.texture, &presentedRows, &pixels, &pitch) == 0) {
        CopyPresentedRows(static_cast<uint8_t*>(pixels), pitch);
        SDL_UnlockTexture(display.texture);
    }

    const bool shows = WindowShows();
    if (display.pacedByVsync && shows) {
        DrawToScreen();  // waits for the vertical blank
        return;
    }
    // A minimised or hidden window gets no vertical blank to wait for: the timer paces it, so the
    // show neither hangs nor races.
    SleepUntilNs(NextFrameDueNs(display.pacer, MonotonicNowNs()));
    if (shows) DrawToScreen();
}

void ReleaseDirectDraw() {
    if (display.texture) SDL_DestroyTexture(display.texture);
    display.texture = nullptr;
    if (display.renderer) SDL_DestroyRenderer(display.renderer);
    display.renderer = nullptr;
}

void RequestWindowClose() {
    if (display.window) SDL_DestroyWindow(display.window);
    display.window = nullptr;
    if (display.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    display.videoStarted = false;
}

void ShowMessage(const char* text) {
    if (display.videoStarted) SDL_ShowCursor(SDL_ENABLE);
    // A full-screen window would cover the box and leave the user nothing to click.
    if (display.window) SDL_HideWindow(display.window);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, systemCaption, text, nullptr);
}
