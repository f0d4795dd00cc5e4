// The one display: a 320 x 200 picture of 16-bit RGB 5-6-5 pixels (red bits 15..11, green 10..5,
// blue 4..0) that every effect draws into, put on the screen once per frame. Three implementations,
// chosen at link time: SDL2 (library `platform`), a headless one (`platform_headless`) and the web
// page's canvas (`platform_web`).
#pragma once

#include <cstdint>

inline constexpr const char* systemCaption = "GRAVO NOVALINE V2.2";

// The three texts of a display that cannot start, shown as they stand.
inline constexpr const char* kInitDirectDrawFailed = "Sorry, I can't init DirectDraw";
inline constexpr const char* kCooperativeLevelFailed = "Sorry, I can't set the CooperativeLevel";
inline constexpr const char* kVideoModeFailed = "Sorry, I can't set this video mode";

inline constexpr uint32_t kFrameWidth = 320;
inline constexpr uint32_t kFrameHeight = 200;
inline constexpr uint32_t kFramePitchBytes = 640;
// Every effect addresses the picture as one linear run of this many pixels.
inline constexpr uint32_t kFramePixels = kFrameWidth * kFrameHeight;
// Only these rows reach the screen: the picture is 320 x 196, two untouched rows above and below.
inline constexpr uint32_t kFirstPresentedRow = 2;
inline constexpr uint32_t kLastPresentedRow = 197;
inline constexpr uint32_t kRowOffsetCapacity = 2000;

// The refresh of the 320 x 200 mode the show was timed on. Every backend presents at this rate
// whatever the screen runs at, so the show keeps the same speed everywhere.
inline constexpr int32_t kShowFramesPerSecond = 70;

// The picture in system memory, row-major with no gap between rows; row y starts at
// reinterpret_cast<uint8_t*>(FrameBuffer) + rowOffset[y].
extern uint16_t* FrameBuffer;
extern uint32_t rowOffset[kRowOffsetCapacity];

// Start-up, in this order.
void OpenWindow();
// The next two end the process through FatalError when the display cannot start.
void InitDirectDraw();
void SetVideoMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel);
// Bytes per pixel from the low 8 bits of bitsPerPixel: 2 for 15 or 16, 3 for 24, 4 for 32, else 1.
void CreateFrameBuffer(uint32_t width, uint32_t height, uint32_t bitsPerPixel);
uint32_t FrameBufferBytes();

// Puts rows 2..197 of the FrameBuffer on the screen, paced to the display's frame rate.
void PresentFrame();

// Shutdown, in this order; each does nothing when there is nothing to release.
void FreeFrameBuffer();
void ReleaseDirectDraw();
void RequestWindowClose();

// A message box captioned systemCaption, with the cursor shown first.
void ShowMessage(const char* text);
// ShowMessage, the same text on stderr, then `detail` on a line of its own when there is one
// (what the user can do, which the message box keeps to the system's own text); then the process
// ends at once with status 1, releasing nothing: the mixing thread may still be running and must
// not see the process tear down around it.
[[noreturn]] void FatalError(const char* text, const char* detail = nullptr);
