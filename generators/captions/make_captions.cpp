// Writes the caption table: what the show writes on screen, where and between which song
// positions (order << 8 | row).
//   make_captions OUT
//   make_captions --preview OUT.png FONTSHEET PALETTE
//
// The asset, little-endian: a count byte, then per caption five uint32 (start, end, offset of its
// text from the start of the asset, x, y), then the texts, each zero-terminated, in table order.
//
// Before anything is written the script is checked, and the build stops on a caption that would
// draw wrongly: a text whose length is not the one its slot was timed and placed for, a character
// the font sheet has no cell for (or that the show's captions do not use), a glyph that would
// reach past the end of the frame buffer, or a text that appears twice.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "generators/asset_file.h"
#include "generators/captions/font_sheet.h"
#include "tools/png_file.h"

namespace {

struct Caption {
    uint32_t start;  // song position it appears at
    uint32_t end;    // last song position it is shown at
    int32_t x, y;    // pen position of the first character
    int32_t length;  // characters, spaces included: the slot was timed and placed for this many
    const char* text;
};

// The words come on the beats of the intro, one caption each, so a sentence builds on screen: a
// caption that starts with a space continues the line of the one before it, and one placed right
// after another's last letter continues that word.
constexpr std::array<Caption, 41> kScript{{
    // The slogan, three lines: top, bottom, top again.
    {0x0100, 0x0120, 20, 10, 4, "ZERO"},
    {0x0101, 0x0121, 80, 10, 7, " IMAGES"},
    {0x0105, 0x0125, 190, 10, 4, " BY "},  // padded to the four its slot was timed for
    {0x0107, 0x0127, 250, 10, 4, "HAND"},
    {0x0200, 0x0220, 125, 170, 3, "100"},
    {0x0201, 0x0221, 175, 170, 1, "%"},
    {0x0205, 0x0225, 195, 170, 5, " ALGE"},
    {0x0207, 0x0227, 270, 170, 3, "BRA"},
    {0x0300, 0x0320, 0, 0, 2, "MI"},
    {0x0301, 0x0321, 30, 0, 6, "DNIGHT"},
    {0x0305, 0x0325, 120, 0, 5, " INTO"},
    {0x0307, 0x0327, 50, 30, 8, "DAYLIGHT"},
    // A warning on the mesh's flashes, and what follows from it.
    {0x0400, 0x041F, 0, 120, 3, "THE"},
    {0x0401, 0x041F, 45, 120, 12, " STROBOSCOPE"},
    {0x0405, 0x041F, 0, 150, 10, "HYPNOTISES"},
    {0x0407, 0x041F, 150, 150, 10, " EVERYBODY"},
    {0x0420, 0x044F, 260, 80, 3, "YOU"},
    {0x0428, 0x044F, 245, 110, 4, "WILL"},
    {0x0430, 0x044F, 200, 140, 7, "APPLAUD"},
    {0x0438, 0x044F, 215, 170, 6, "LOUDLY"},
    // Greetings to the groups, two pages in the same places, one name swapped at a time.
    {0x1000, 0x104F, 0, 0, 8, "NEONCRAB"},
    {0x1008, 0x1107, 180, 0, 8, "FJORDBIT"},
    {0x1010, 0x110F, 0, 25, 6, "TINFOX"},
    {0x1018, 0x1117, 180, 25, 7, "OAKBEAM"},
    {0x1020, 0x111F, 0, 145, 7, "ARCVOLT"},
    {0x1028, 0x112F, 180, 145, 6, "PAPYRO"},
    {0x1030, 0x1127, 0, 170, 9, "COBALTFIN"},
    {0x1038, 0x1137, 180, 170, 3, "YAK"},
    {0x1100, 0x1200, 0, 0, 6, "VELOUR"},
    {0x1108, 0x1200, 180, 0, 3, "OHM"},
    {0x1110, 0x1200, 0, 25, 3, "ELK"},
    {0x1118, 0x1200, 160, 25, 10, "COLD HERON"},
    {0x1120, 0x1200, 0, 145, 3, "KOI"},
    {0x1128, 0x1200, 0, 170, 9, "IRON MOTH"},
    {0x1130, 0x1200, 100, 145, 14, "THANKS FRIENDS"},
    {0x1138, 0x1200, 180, 170, 6, "OCTAVO"},
    // The outro.
    {0x1205, 0x1300, 0, 170, 20, "(C) 2026 NOVALINE V2"},
    // Over the star field: how the show was made.
    {0x0D1C, 0x0D3D, 10, 10, 15, "OUR TOOLS WROTE"},
    {0x0D1D, 0x0D3E, 0, 50, 12, "THE SONG AND"},
    {0x0D1E, 0x0D3F, 30, 80, 15, "DREW THE REST  "},
    // Holds a slot through the intro and draws nothing.
    {0x0003, 0x044F, 50, 90, 7, "       "},
}};

// The characters the captions may use; each has a cell in the font sheet.
bool Allowed(char c) {
    return c == ' ' || c == '%' || c == '(' || c == ')' || (c >= '0' && c <= '9') ||
           (c >= 'A' && c <= 'Z');
}

bool Check(std::string* error) {
    for (size_t i = 0; i < kScript.size(); ++i) {
        const Caption& caption = kScript[i];
        const std::string text = caption.text;
        const std::string name = "caption " + std::to_string(i);
        if (static_cast<int32_t>(text.size()) != caption.length) {
            *error = name + " has " + std::to_string(text.size()) + " characters, its slot takes " +
                     std::to_string(caption.length);
            return false;
        }
        for (char c : text) {
            if (!Allowed(c) || !captions::HasCell(c)) {
                *error = name + " uses a character the font does not draw: code " +
                         std::to_string(static_cast<unsigned char>(c));
                return false;
            }
        }
        // The demo draws into the frame buffer as one run of pixels: a glyph past the right edge
        // goes on at the left of the next row, which the layout may use, but nothing may be drawn
        // past the last pixel.
        int32_t pen = caption.y * captions::kScreenWidth + caption.x;
        for (size_t k = 0; k < text.size(); ++k) {
            const char c = text[k];
            const int32_t last = pen + (captions::kGlyphHeight - 1) * captions::kScreenWidth +
                                 captions::kGlyphWidth - 1;
            if (c != ' ' && (pen < 0 || last >= captions::kScreenPixels)) {
                *error = name + " draws character " + std::to_string(k) + " ('" + c +
                         "') outside the frame buffer";
                return false;
            }
            pen += captions::Advance(c);
        }
        for (size_t j = 0; j < i; ++j) {
            if (text == kScript[j].text) {
                *error = name + " repeats the text of caption " + std::to_string(j);
                return false;
            }
        }
    }
    return true;
}

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    for (int32_t b = 0; b < 4; ++b) out->push_back(static_cast<uint8_t>(v >> (8 * b)));
}

std::vector<uint8_t> Encode() {
    constexpr uint32_t kRecordBytes = 5 * 4;
    std::vector<uint8_t> out;
    out.push_back(static_cast<uint8_t>(kScript.size()));
    uint32_t textOffset = 1 + kRecordBytes * static_cast<uint32_t>(kScript.size());
    for (const Caption& caption : kScript) {
        PutU32(&out, caption.start);
        PutU32(&out, caption.end);
        PutU32(&out, textOffset);
        PutU32(&out, static_cast<uint32_t>(caption.x));
        PutU32(&out, static_cast<uint32_t>(caption.y));
        textOffset += static_cast<uint32_t>(std::string(caption.text).size()) + 1;
    }
    for (const Caption& caption : kScript) {
        for (const char* p = caption.text; *p; ++p) out.push_back(static_cast<uint8_t>(*p));
        out.push_back(0);
    }
    return out;
}

bool ReadFile(const char* path, size_t size, std::vector<uint8_t>* bytes, std::string* error) {
    FILE* in = std::fopen(path, "rb");
    if (!in) {
        *error = std::string("cannot open ") + path;
        return false;
    }
    bytes->assign(size + 1, 0);
    const size_t got = std::fread(bytes->data(), 1, bytes->size(), in);
    std::fclose(in);
    if (got != size) {
        *error = std::string(path) + " is not " + std::to_string(size) + " bytes";
        return false;
    }
    bytes->resize(size);
    return true;
}

bool Active(const Caption& caption, uint32_t position) {
    return caption.start <= position && position <= caption.end;
}

// One panel per moment at which a different set of captions stands complete on screen: at each
// caption's start, the captions shown then, dropping the sets that the next moment only adds to
// (the words of a line still appearing).
std::vector<std::pair<uint32_t, std::vector<size_t>>> Moments() {
    std::vector<uint32_t> starts;
    for (const Caption& caption : kScript) starts.push_back(caption.start);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<std::pair<uint32_t, std::vector<size_t>>> all;
    for (uint32_t position : starts) {
        std::vector<size_t> shown;
        for (size_t i = 0; i < kScript.size(); ++i) {
            if (Active(kScript[i], position)) shown.push_back(i);
        }
        all.emplace_back(position, shown);
    }
    std::vector<std::pair<uint32_t, std::vector<size_t>>> kept;
    for (size_t m = 0; m < all.size(); ++m) {
        const bool grows =
            m + 1 < all.size() && std::includes(all[m + 1].second.begin(), all[m + 1].second.end(),
                                                all[m].second.begin(), all[m].second.end());
        if (!grows) kept.push_back(all[m]);
    }
    return kept;
}

// Draws text into a 320 x 200 indexed frame the way the demo does: glyph pixels other than 0 at
// pen + row * 320 + column, the pen a linear offset.
void DrawText(std::vector<uint8_t>* frame, const std::vector<uint8_t>& sheet, int32_t x, int32_t y,
              const char* text) {
    int32_t pen = y * captions::kScreenWidth + x;
    for (const char* p = text; *p; ++p) {
        if (*p != ' ') {
            const int32_t origin = captions::GlyphOffset(*p);
            for (int32_t r = 0; r < captions::kGlyphHeight; ++r) {
                for (int32_t c = 0; c < captions::kGlyphWidth; ++c) {
                    const uint8_t index = sheet[origin + r * captions::kSheetWidth + c];
                    if (index) (*frame)[pen + r * captions::kScreenWidth + c] = index;
                }
            }
        }
        pen += captions::Advance(*p);
    }
}

bool WritePreview(const char* path, const char* sheetPath, const char* palettePath,
                  std::string* error) {
    std::vector<uint8_t> sheet, palette;
    if (!ReadFile(sheetPath, captions::kSheetBytes, &sheet, error) ||
        !ReadFile(palettePath, captions::kPaletteBytes, &palette, error)) {
        return false;
    }
    // Index 0 of the frame is the grey backdrop; the palette's 0 is never drawn.
    auto rgbOf = [&](uint8_t index) -> std::array<uint8_t, 3> {
        if (index == 0) return {112, 112, 116};
        const uint16_t c = captions::DisplayColour(&palette[3 * index]);
        return {static_cast<uint8_t>((c >> 11) * 255 / 31),
                static_cast<uint8_t>(((c >> 5) & 63) * 255 / 63),
                static_cast<uint8_t>((c & 31) * 255 / 31)};
    };

    const auto moments = Moments();
    constexpr int32_t kScale = 2;
    constexpr int32_t kColumns = 2;
    constexpr int32_t kGap = 8;
    const int32_t panelWidth = captions::kScreenWidth * kScale;
    const int32_t panelHeight = captions::kScreenHeight * kScale;
    const int32_t rows = (static_cast<int32_t>(moments.size()) + kColumns - 1) / kColumns;
    const int32_t width = kColumns * (panelWidth + kGap) + kGap;
    const int32_t height = rows * (panelHeight + kGap) + kGap;
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 24);

    for (size_t m = 0; m < moments.size(); ++m) {
        std::vector<uint8_t> frame(captions::kScreenPixels, 0);
        for (size_t i : moments[m].second)
            DrawText(&frame, sheet, kScript[i].x, kScript[i].y, kScript[i].text);
        const int32_t left = kGap + static_cast<int32_t>(m % kColumns) * (panelWidth + kGap);
        const int32_t top = kGap + static_cast<int32_t>(m / kColumns) * (panelHeight + kGap);
        for (int32_t y = 0; y < panelHeight; ++y) {
            for (int32_t x = 0; x < panelWidth; ++x) {
                const auto c = rgbOf(frame[(y / kScale) * captions::kScreenWidth + x / kScale]);
                const size_t at = (static_cast<size_t>(top + y) * width + left + x) * 3;
                rgb[at] = c[0];
                rgb[at + 1] = c[1];
                rgb[at + 2] = c[2];
            }
        }
        std::printf("panel %zu: position %04X, captions", m + 1, moments[m].first);
        for (size_t i : moments[m].second) std::printf(" %zu", i);
        std::printf("\n");
    }
    return WritePngRgb(path, width, height, rgb, error);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!Check(&error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    if (argc == 5 && std::string(argv[1]) == "--preview") {
        if (!WritePreview(argv[2], argv[3], argv[4], &error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 1;
        }
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s OUT\n       %s --preview OUT.png FONTSHEET PALETTE\n",
                     argv[0], argv[0]);
        return 2;
    }
    const std::vector<uint8_t> asset = Encode();
    return WriteAssetFile(argv[0], argv[1], asset) ? 0 : 1;
}
