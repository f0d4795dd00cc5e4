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

bool WindowShows() {
    return (SDL_GetWindowFlags(display.window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

void DrawToScreen() {
    int outputWidth = 0;
    int outputHeight = 0;
    SDL_GetRendererOutputSize(display.renderer, &outputWidth, &outputHeight);
    const ScreenArea area = LetterboxArea(outputWidth, outputHeight);
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

void OpenWindow() {
    // The window cannot exist before video starts; it is made with the mode in SetVideoMode.
    // Nearest-neighbour scaling keeps the square-edged pixels the pictures were drawn with.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
}

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

void InitDirectDraw() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) FatalError(kInitDirectDrawFailed);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (ShowsNothing(driver) && !AskedForByName(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        FatalError(kInitDirectDrawFailed);
    }
    display.videoStarted = true;
}

void SetVideoMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    display.window = SDL_CreateWindow(systemCaption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      static_cast<int>(width), static_cast<int>(height),
                                      SDL_WINDOW_FULLSCREEN_DESKTOP);
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
    const SDL_Rect presentedRows{0, static_cast<int>(kFirstPresentedRow),
                                 static_cast<int>(kFrameWidth),
                                 static_cast<int>(kLastPresentedRow - kFirstPresentedRow + 1)};
    void* pixels = nullptr;
    int pitch = 0;
    // A texture that cannot be locked (a lost device) skips this frame's picture; the show and its
    // pacing go on, and the next frame tries again.
    if (SDL_LockTexture(display.texture, &presentedRows, &pixels, &pitch) == 0) {
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
