#include <emscripten/emscripten.h>

#include "platform/display.h"
#include "platform/frame_buffer_store.h"
#include "platform/frame_pacer.h"
#include "platform/pixel_565.h"

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000;
constexpr int64_t kNsPerMs = 1000000;
constexpr int64_t kNsPerUs = 1000;

struct WebDisplay {
    FramePacer pacer{};
    bool modeSet = false;
    // When the show's code took the page's thread back after the last frame's yield; 0 before
    // the first frame, whose time would hold the start-up's.
    int64_t resumedNs = 0;
};

WebDisplay display;
// The canvas's pixels, R, G, B, A bytes; rows 0, 1, 198 and 199 stay black. Static, so the page's
// view of them is made once and the wasm memory it looks into never moves (it does not grow).
uint32_t canvasPixels[kFramePixels];

// 5 and 6 bits widened to 8 by repeating their top bits: 0 stays 0 and full intensity becomes 255,
// as SDL converts the native show's texture.
uint32_t CanvasPixel(uint16_t pixel) {
    return kOpaqueBlack | Widen5To8(BlueOf565(pixel)) << 16 | Widen6To8(GreenOf565(pixel)) << 8 |
           Widen5To8(RedOf565(pixel));
}

}  // namespace

// The page-side halves are JavaScript, which the C++ formatter would break.
// clang-format off
// The page's canvas, 320 x 200; the page scales it to its largest 4:3 area with nearest-neighbour
// scaling and black bars.
EM_JS(int32_t, FindWebCanvas, (), {
    const canvas = Module.canvas;
    return canvas && canvas.getContext("2d") ? 1 : 0;
});

EM_JS(void, AttachWebCanvas, (const uint32_t* pixels, int32_t width, int32_t height), {
    const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
    Module.novalineCanvas = {
        context: Module.canvas.getContext("2d"),
        image: new ImageData(bytes, width, height)
    };
});

EM_JS(void, DrawWebCanvas, (), {
    const canvas = Module.novalineCanvas;
    canvas.context.putImageData(canvas.image, 0, 0);
});

// For the frame-time measurement: the page's hook, if any, gets the show's time for each frame.
EM_JS(void, ReportWebFrame, (double showMicroseconds), {
    if (Module.onFrameShown) Module.onFrameShown(showMicroseconds);
});

EM_JS(void, ShowWebMessage, (const char* text), {
    if (Module.showMessage) Module.showMessage(UTF8ToString(text));
});

EM_JS(void, EndWebShow, (), {
    Module.novalineCanvas = null;
    if (Module.onShowEnded) Module.onShowEnded();
});
// clang-format on

void OpenWindow() {}

void InitDirectDraw() {
    if (!FindWebCanvas()) FatalError(kInitDirectDrawFailed);
}

void SetVideoMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    // The canvas takes the 5-6-5 picture of the show's mode; other depths have no conversion here.
    if ((bitsPerPixel & 0xFF) != 16 || width != kFrameWidth || height != kFrameHeight) {
        FatalError(kVideoModeFailed);
    }
    for (uint32_t& pixel : canvasPixels) pixel = kOpaqueBlack;
    AttachWebCanvas(canvasPixels, kFrameWidth, kFrameHeight);
    DrawWebCanvas();
    display.modeSet = true;
    display.resumedNs = 0;
    StartPacer(display.pacer, kShowFramesPerSecond, MonotonicNowNs());
}

void CreateFrameBuffer(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
    AllocateFrameBuffer(width, height, bitsPerPixel);
}

void FreeFrameBuffer() { ReleaseFrameBuffer(); }

// Draws the frame, then gives the page's thread back to the browser until the frame is due: the
// show's loops block, and this is where they yield, once per frame.
void PresentFrame() {
    if (!display.modeSet) return;
    if (FrameBuffer) {
        const uint8_t* frame = reinterpret_cast<const uint8_t*>(FrameBuffer);
        for (uint32_t y = kFirstPresentedRow; y <= kLastPresentedRow; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(frame + rowOffset[y]);
            uint32_t* out = canvasPixels + y * kFrameWidth;
            for (uint32_t x = 0; x < kFrameWidth; ++x) out[x] = CanvasPixel(row[x]);
        }
        DrawWebCanvas();
    }
    const int64_t shownNs = MonotonicNowNs();
    if (display.resumedNs != 0) {
        ReportWebFrame(static_cast<double>(shownNs - display.resumedNs) / kNsPerUs);
    }
    // Truncated to whole milliseconds, the browser's timer unit: the wake-up comes up to 1 ms
    // early, and the next due time, counted from the pacer's origin, takes it back.
    const int64_t waitMs = (NextFrameDueNs(display.pacer, shownNs) - shownNs) / kNsPerMs;
    emscripten_sleep(waitMs > 0 ? static_cast<unsigned>(waitMs) : 0);
    display.resumedNs = MonotonicNowNs();
}

void ReleaseDirectDraw() { display.modeSet = false; }

void RequestWindowClose() { EndWebShow(); }

void ShowMessage(const char* text) { ShowWebMessage(text); }
