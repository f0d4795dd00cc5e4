// Timed captions: short texts shown on top of the picture from a song position to a later one,
// drawn from the font sheet. A table says when each comes, goes and where it stands; a list holds
// the ones shown now, drawn in list order.
#pragma once

#include <cstdint>

inline constexpr int32_t kCaptionCount = 41;
inline constexpr int32_t kActiveCaptionSlots = 99;
// A shown caption's start: it never comes again, even when the song passes its start once more.
inline constexpr uint32_t kCaptionShown = 0xFFFF;

struct Caption {
    uint32_t start;    // song position at which it appears; kCaptionShown once it has
    uint32_t end;      // the last song position at which it still shows
    const char* text;  // zero-terminated, in the embedded block; captions are told apart by it
    int32_t x;         // left column of the first glyph
    int32_t y;         // top row of the glyphs
};

struct ActiveCaption {
    const char* text;  // null: an empty slot
    int32_t x;
    int32_t y;
};

// Writable: the start fields change as the captions show. Loaded from the embedded script by
// ResetCaptions.
extern Caption captionTable[kCaptionCount];
// The shown captions in the order they came, then empty slots; activeCaptionEnd is the first slot
// after the last shown one.
extern ActiveCaption activeCaptions[kActiveCaptionSlots];
extern int32_t activeCaptionEnd;

// Empties the list and reloads the table from the embedded script: the captions' start values.
void ResetCaptions();
// Reads the song position once: shows the captions that start there, retires those past their end.
void UpdateCaptions();
// Draws every shown caption, later slots over earlier ones.
void DrawCaptions();
// One text from the FrameBuffer's linear pixel `pixel` on: a space advances 16 pixels and draws
// nothing; W and M advance 24, I 8, L 11, every other character 16.
void DrawCaptionText(const char* text, int32_t pixel);
// The glyph of one character with its top-left corner at linear pixel `pixel`. A glyph past column
// 319 goes on at the start of the next row; pixels outside the FrameBuffer and codes without a
// glyph cell (below 32, above 93) are not drawn.
void DrawGlyph(uint8_t code, int32_t pixel);
// How far the pen moves after `code`.
int32_t CaptionAdvance(uint8_t code);
