// Writes the caption font: the indexed glyph sheet, its palette, or a preview PNG of both.
//   make_font OUT sheet [FONT.ttf]
//   make_font OUT palette
//   make_font --preview OUT.png [FONT.ttf]
//
// The glyphs are rasterised from a freely licensed TrueType font at build time rather than drawn
// by hand: its bold capitals already have the open counters that stay legible at 20 pixels, and
// what the demo needs on top (a narrower set to fit the fixed advances, a hard edge, an outline
// and a gradient) is a transformation of the outline, not new letter shapes.
//
// Each glyph is scaled on its own: up and down to one cap height, and across to the width its
// advance leaves room for, so the fixed-advance text looks evenly spaced. The coverage is cut at
// one half (the sheet has no partial transparency), the cut shape is ringed with a one-pixel dark
// outline plus a second pixel down and right as a drop shadow, and the inside takes its colour from
// its row, so every letter shades the same way, white at the top to orange at the baseline.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generators/asset_file.h"
#include "generators/captions/font_sheet.h"
#include "tools/png_file.h"

namespace {

using captions::kGlyphHeight;
using captions::kGlyphWidth;

constexpr const char* kDefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Palette indices.
constexpr uint8_t kOutline = 1;
constexpr uint8_t kGradientFirst = 2;  // one entry per block row, 2..28

// Vertical layout of a block, in block rows (0 at the top). Capitals fill rows 2..20, so their
// outline starts on row 1 and the shadow ends on row 22. Marks taller than a capital may fill from
// row 1 and those that hang below the baseline ('(', 'Q') down to row 24, which keeps their
// outline and shadow inside the block.
constexpr int32_t kCapHeight = 19;
constexpr int32_t kBaselineRow = 21;  // the first row below the baseline
constexpr int32_t kTopFillRow = 1;
constexpr int32_t kBottomFillRow = 24;

// Fill widths. The outline adds one column on the left and the shadow two on the right, and one
// column stays free before the next glyph, so a glyph with advance A fills at most A - 4 columns.
constexpr int32_t FillWidthFor(char c) { return captions::Advance(c) - 4; }

// Working canvas for one glyph: wide enough for the widest fill with margins, tall enough for any
// glyph of the font at cap height 19 (the fit below shrinks the few that are taller).
constexpr int32_t kCanvasWidth = 48;
constexpr int32_t kCanvasHeight = 48;
constexpr int32_t kCanvasBaseline = 32;  // canvas row just below the baseline
constexpr int32_t kCanvasLeft = 8;

struct Rgb6 {
    int32_t r, g, b;
};

// The gradient's stops, at the fraction of the cap height from its top row: near white, pale
// gold, gold, orange, and a deeper orange for what hangs below the baseline.
struct Stop {
    double at;
    Rgb6 colour;
};
constexpr std::array<Stop, 6> kGradient{{
    {0.00, {62, 63, 58}},
    {0.28, {62, 59, 42}},
    {0.52, {62, 52, 18}},
    {0.78, {62, 42, 6}},
    {1.00, {60, 32, 2}},
    {1.30, {52, 22, 2}},
}};

// Red and blue lose their lowest bit on the way to 5-6-5, so they are kept even here.
int32_t EvenBits(double v) {
    const int32_t i = static_cast<int32_t>(std::lround(v));
    return std::clamp(i - (i & 1), 0, 62);
}

std::array<uint8_t, captions::kPaletteBytes> MakePalette() {
    std::array<uint8_t, captions::kPaletteBytes> palette{};
    auto set = [&](int32_t index, Rgb6 c) {
        palette[3 * index + 0] = static_cast<uint8_t>(c.b);
        palette[3 * index + 1] = static_cast<uint8_t>(c.g);
        palette[3 * index + 2] = static_cast<uint8_t>(c.r);
    };
    // A warm near black: reads as an edge on the grey pictures and on the blue plane alike.
    set(kOutline, {6, 3, 2});
    const int32_t capTop = kBaselineRow - kCapHeight;
    for (int32_t row = 0; row < kGlyphHeight; ++row) {
        const double t = std::clamp(static_cast<double>(row - capTop) / (kCapHeight - 1), 0.0,
                                    kGradient.back().at);
        size_t k = 1;
        while (k + 1 < kGradient.size() && kGradient[k].at < t) ++k;
        const Stop& a = kGradient[k - 1];
        const Stop& b = kGradient[k];
        const double f = (t - a.at) / (b.at - a.at);
        auto mix = [f](int32_t x, int32_t y) { return x + (y - x) * f; };
        set(kGradientFirst + row,
            {EvenBits(mix(a.colour.r, b.colour.r)),
             std::clamp(static_cast<int32_t>(std::lround(mix(a.colour.g, b.colour.g))), 0, 63),
             EvenBits(mix(a.colour.b, b.colour.b))});
    }
    return palette;
}

struct Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Font() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

struct Box {
    FT_Pos xMin, yMin, xMax, yMax;  // font units
};

bool LoadOutline(FT_Face face, char c, Box* box, std::string* error) {
    const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
    if (index == 0) {
        *error = std::string("the font has no glyph for '") + c + "'";
        return false;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) !=
            0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        *error = std::string("cannot load the outline of '") + c + "'";
        return false;
    }
    FT_BBox b;
    FT_Outline_Get_BBox(&face->glyph->outline, &b);
    *box = {b.xMin, b.yMin, b.xMax, b.yMax};
    return true;
}

// Pixels per font unit, as 16.16 for FT_Matrix, scaled by 64 for 26.6 output.
FT_Fixed Scale26_6(double pixelsPerUnit) {
    return static_cast<FT_Fixed>(std::lround(pixelsPerUnit * 64.0 * 65536.0));
}

// A block's pixels, kGlyphWidth x kGlyphHeight, as palette indices.
using Block = std::array<uint8_t, kGlyphWidth * kGlyphHeight>;

struct Metrics {
    FT_Pos capUnits;    // the font's cap height
    double capScale;    // pixels per font unit, vertical
    double widthScale;  // pixels per font unit that makes 'H' fill the room of a 16-pixel advance
};

// Rasterises the glyph loaded in face->glyph at the given scales into a canvas and returns the
// cut fill (1 where covered at least half).
std::vector<uint8_t> CutFill(FT_Library library, FT_Face face, double sx, double sy, FT_Pos xMin,
                             FT_Pos lift) {
    FT_Outline outline;
    FT_Outline_New(library, face->glyph->outline.n_points, face->glyph->outline.n_contours,
                   &outline);
    FT_Outline_Copy(&face->glyph->outline, &outline);
    FT_Matrix m{Scale26_6(sx), 0, 0, Scale26_6(sy)};
    FT_Outline_Transform(&outline, &m);
    // The left edge lands on a pixel boundary, and so does the baseline: straight stems and flat
    // tops then cut cleanly.
    const FT_Pos left = static_cast<FT_Pos>(std::lround(xMin * sx * 64.0));
    FT_Outline_Translate(&outline, kCanvasLeft * 64 - left,
                         (kCanvasHeight - kCanvasBaseline) * 64 + std::lround(lift * sy * 64.0));

    std::vector<uint8_t> coverage(kCanvasWidth * kCanvasHeight, 0);
    FT_Bitmap bitmap{};
    bitmap.rows = kCanvasHeight;
    bitmap.width = kCanvasWidth;
    bitmap.pitch = kCanvasWidth;
    bitmap.buffer = coverage.data();
    bitmap.num_grays = 256;
    bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
    FT_Outline_Get_Bitmap(library, &outline, &bitmap);
    FT_Outline_Done(library, &outline);

    std::vector<uint8_t> fill(coverage.size());
    for (size_t i = 0; i < coverage.size(); ++i) fill[i] = coverage[i] >= 128 ? 1 : 0;
    return fill;
}

struct Extent {
    int32_t left = kCanvasWidth, right = -1, top = kCanvasHeight, bottom = -1;
    bool empty() const { return right < 0; }
    int32_t width() const { return right - left + 1; }
};

Extent ExtentOf(const std::vector<uint8_t>& fill) {
    Extent e;
    for (int32_t y = 0; y < kCanvasHeight; ++y) {
        for (int32_t x = 0; x < kCanvasWidth; ++x) {
            if (!fill[y * kCanvasWidth + x]) continue;
            e.left = std::min(e.left, x);
            e.right = std::max(e.right, x);
            e.top = std::min(e.top, y);
            e.bottom = std::max(e.bottom, y);
        }
    }
    return e;
}

bool DrawGlyph(FT_Library library, FT_Face face, const Metrics& metrics, char c, Block* block,
               std::string* error) {
    block->fill(0);
    if (c == ' ') return true;
    Box box;
    if (!LoadOutline(face, c, &box, error)) return false;

    // Across: the glyph's natural width at the common scale, but no wider than its advance
    // allows, so wide letters are condensed and narrow ones ('1', 'J', punctuation) stay narrow.
    // 'W' and 'M' have the room of a wide advance and take all of it.
    const int32_t room = FillWidthFor(c);
    const double natural = (box.xMax - box.xMin) * metrics.widthScale;
    int32_t width = (c == 'W' || c == 'M')
                        ? room
                        : std::clamp(static_cast<int32_t>(std::lround(natural)), 1, room);
    // Down: one cap height for all, shrunk only for marks that would leave the block.
    double sy = metrics.capScale;
    FT_Pos lift = 0;
    // A capital that hangs below the baseline ('J' in some fonts) stands on it here instead, the
    // same height as the others: the captions are all capitals, and a hanging letter reads as a
    // gap in the line. 'Q' keeps its tail; round letters only overshoot a little.
    if (c >= 'A' && c <= 'Z' && c != 'Q' && box.yMin < -metrics.capUnits / 20) {
        sy = metrics.capScale * box.yMax / static_cast<double>(box.yMax - box.yMin);
        lift = -box.yMin;
    }
    if (box.yMax > 0)
        sy = std::min(sy, (kBaselineRow - kTopFillRow) / static_cast<double>(box.yMax));
    if (box.yMin < 0 && lift == 0) {
        sy = std::min(sy, (kBottomFillRow - kBaselineRow + 1) / static_cast<double>(-box.yMin));
    }

    // Cutting at one half can leave a column more than the outline's width (a stroke just over a
    // boundary); narrow until the cut fits.
    std::vector<uint8_t> fill;
    Extent e;
    for (int32_t w = width;; --w) {
        if (w < 1) {
            *error = std::string("'") + c + "' does not fit its advance";
            return false;
        }
        const double sx = w / static_cast<double>(box.xMax - box.xMin);
        fill = CutFill(library, face, sx, sy, box.xMin, lift);
        e = ExtentOf(fill);
        if (e.empty() || e.width() <= room) break;
    }
    if (e.empty()) {
        *error = std::string("'") + c + "' cuts to nothing";
        return false;
    }
    const int32_t shift = kBaselineRow - kCanvasBaseline;  // canvas row + shift = block row
    if (e.top + shift < kTopFillRow || e.bottom + shift > kBottomFillRow) {
        *error = std::string("'") + c + "' is taller than the block";
        return false;
    }

    // Narrow glyphs sit in the middle of the room their advance gives, so the gaps around them
    // match those around full-width ones.
    const int32_t x0 = 1 + (room - e.width()) / 2;
    Block inside{};
    for (int32_t y = e.top; y <= e.bottom; ++y) {
        for (int32_t x = e.left; x <= e.right; ++x) {
            if (fill[y * kCanvasWidth + x]) inside[(y + shift) * kGlyphWidth + x - e.left + x0] = 1;
        }
    }
    auto filled = [&](int32_t x, int32_t y) {
        return x >= 0 && y >= 0 && x < kGlyphWidth && y < kGlyphHeight &&
               inside[y * kGlyphWidth + x];
    };
    for (int32_t y = 0; y < kGlyphHeight; ++y) {
        for (int32_t x = 0; x < kGlyphWidth; ++x) {
            uint8_t& pixel = (*block)[y * kGlyphWidth + x];
            if (filled(x, y)) {
                pixel = static_cast<uint8_t>(kGradientFirst + y);
                continue;
            }
            // The ring of the eight neighbours, and the same ring one pixel down and right.
            bool edge = false;
            for (int32_t dy = -1; dy <= 1 && !edge; ++dy) {
                for (int32_t dx = -1; dx <= 1 && !edge; ++dx) {
                    edge = filled(x + dx, y + dy) || filled(x + dx - 1, y + dy - 1);
                }
            }
            if (edge) pixel = kOutline;
        }
    }
    return true;
}

bool MakeSheet(const char* fontPath, std::vector<uint8_t>* sheet, std::string* error) {
    Font font;
    if (FT_Init_FreeType(&font.library) != 0) {
        *error = "cannot start FreeType";
        return false;
    }
    if (FT_New_Face(font.library, fontPath, 0, &font.face) != 0) {
        *error = std::string("cannot open the font ") + fontPath;
        return false;
    }
    if (!FT_IS_SCALABLE(font.face)) {
        *error = std::string(fontPath) + " has no outlines";
        return false;
    }
    // The font's own cap height and proportions, read from 'H'.
    Box h;
    if (!LoadOutline(font.face, 'H', &h, error)) return false;
    Metrics metrics;
    metrics.capUnits = h.yMax;
    metrics.capScale = kCapHeight / static_cast<double>(h.yMax);
    metrics.widthScale = FillWidthFor('H') / static_cast<double>(h.xMax - h.xMin);

    sheet->assign(captions::kSheetBytes, 0);
    Block block;
    for (int32_t g = 0; g < captions::kGlyphCount; ++g) {
        const char c = static_cast<char>(captions::kFirstCode + g);
        std::string why;
        if (!DrawGlyph(font.library, font.face, metrics, c, &block, &why)) {
            // Every letter and digit is needed; other marks the font lacks stay empty cells.
            const bool needed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '%' ||
                                c == '(' || c == ')';
            if (needed) {
                *error = why;
                return false;
            }
            continue;
        }
        const int32_t origin = captions::GlyphOffset(c);
        for (int32_t y = 0; y < kGlyphHeight; ++y) {
            std::memcpy(&(*sheet)[origin + y * captions::kSheetWidth], &block[y * kGlyphWidth],
                        kGlyphWidth);
        }
    }
    return true;
}

// The preview's colours go through 5-6-5 as the demo's do.
std::array<uint8_t, 3> ScreenRgb(const uint8_t* entry) {
    const uint16_t c = captions::DisplayColour(entry);
    return {static_cast<uint8_t>((c >> 11) * 255 / 31),
            static_cast<uint8_t>(((c >> 5) & 63) * 255 / 63),
            static_cast<uint8_t>((c & 31) * 255 / 31)};
}

struct Canvas {
    int32_t width, height;
    std::vector<uint8_t> rgb;
    Canvas(int32_t w, int32_t h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 40) {}
    void Fill(int32_t x, int32_t y, int32_t w, int32_t h, std::array<uint8_t, 3> c) {
        for (int32_t j = y; j < y + h; ++j) {
            for (int32_t i = x; i < x + w; ++i)
                std::memcpy(&rgb[(static_cast<size_t>(j) * width + i) * 3], c.data(), 3);
        }
    }
};

// Draws an indexed picture (0 transparent) at (x, y), each pixel as scale x scale.
void Blit(Canvas* canvas, const std::vector<uint8_t>& indices, int32_t w, int32_t h, int32_t x,
          int32_t y, int32_t scale, const uint8_t* palette) {
    for (int32_t j = 0; j < h; ++j) {
        for (int32_t i = 0; i < w; ++i) {
            const uint8_t index = indices[j * w + i];
            if (index == 0) continue;
            canvas->Fill(x + i * scale, y + j * scale, scale, scale,
                         ScreenRgb(&palette[3 * index]));
        }
    }
}

// One line of text at the demo's advances, on a 320-pixel-wide strip as tall as a glyph.
std::vector<uint8_t> TextStrip(const std::vector<uint8_t>& sheet, const char* text) {
    std::vector<uint8_t> strip(captions::kScreenWidth * kGlyphHeight, 0);
    int32_t pen = 2;
    for (const char* p = text; *p; ++p) {
        const int32_t origin = captions::GlyphOffset(*p);
        for (int32_t y = 0; y < kGlyphHeight; ++y) {
            for (int32_t x = 0; x < kGlyphWidth && pen + x < captions::kScreenWidth; ++x) {
                const uint8_t index = sheet[origin + y * captions::kSheetWidth + x];
                if (index) strip[y * captions::kScreenWidth + pen + x] = index;
            }
        }
        pen += captions::Advance(*p);
    }
    return strip;
}

bool WritePreview(const char* path, const std::vector<uint8_t>& sheet, const uint8_t* palette,
                  std::string* error) {
    // The sheet in four rows of 16 cells, at 3x, on the grey of the pictures and on the blue of
    // the plane; then sample lines at 3x on both.
    constexpr int32_t kScale = 3;
    constexpr int32_t kPerRow = 16;
    constexpr int32_t kRows = (captions::kGlyphCount + kPerRow - 1) / kPerRow;
    constexpr int32_t kStripWidth = kPerRow * captions::kCellWidth;
    constexpr int32_t kMargin = 12;
    const std::array<uint8_t, 3> grey{128, 128, 128};
    const std::array<uint8_t, 3> blue{24, 52, 168};
    const char* samples[] = {"ZERO IMAGES BY HAND",  "100% ALGEBRA",        "WILL MILL LIMIT WAX",
                             "(C) 2026 NOVALINE V2", "JUMPY QUIZ OF VEXED", "ABCDEFGHIJKLMNOPQR",
                             "STUVWXYZ 0123456789"};
    constexpr int32_t kSamples = sizeof(samples) / sizeof(samples[0]);
    const int32_t sheetPanel = kRows * captions::kSheetHeight * kScale;
    const int32_t samplePanel = kSamples * kGlyphHeight * kScale;
    const int32_t width = 2 * kMargin + std::max(kStripWidth, captions::kScreenWidth) * kScale;
    const int32_t height = 5 * kMargin + 2 * sheetPanel + 2 * samplePanel;
    Canvas canvas(width, height);

    int32_t y = kMargin;
    for (const auto& background : {grey, blue}) {
        canvas.Fill(kMargin, y, kStripWidth * kScale, sheetPanel, background);
        for (int32_t r = 0; r < kRows; ++r) {
            std::vector<uint8_t> strip(kStripWidth * captions::kSheetHeight, 0);
            for (int32_t j = 0; j < captions::kSheetHeight; ++j) {
                for (int32_t i = 0; i < kStripWidth; ++i) {
                    const int32_t column = r * kStripWidth + i;
                    if (column < captions::kSheetWidth) {
                        strip[j * kStripWidth + i] = sheet[j * captions::kSheetWidth + column];
                    }
                }
            }
            Blit(&canvas, strip, kStripWidth, captions::kSheetHeight, kMargin,
                 y + r * captions::kSheetHeight * kScale, kScale, palette);
        }
        y += sheetPanel + kMargin;
    }
    for (const auto& background : {grey, blue}) {
        canvas.Fill(kMargin, y, captions::kScreenWidth * kScale, samplePanel, background);
        for (int32_t s = 0; s < kSamples; ++s) {
            Blit(&canvas, TextStrip(sheet, samples[s]), captions::kScreenWidth, kGlyphHeight,
                 kMargin, y + s * kGlyphHeight * kScale, kScale, palette);
        }
        y += samplePanel + kMargin;
    }
    return WritePngRgb(path, canvas.width, canvas.height, canvas.rgb, error);
}

int Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s OUT sheet [FONT.ttf]\n"
                 "       %s OUT palette\n"
                 "       %s --preview OUT.png [FONT.ttf]\n",
                 program, program, program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage(argv[0]);
    const std::string first = argv[1];
    const std::string what = argv[2];
    const auto palette = MakePalette();
    std::string error;

    if (first == "--preview") {
        if (argc > 4) return Usage(argv[0]);
        std::vector<uint8_t> sheet;
        if (!MakeSheet(argc == 4 ? argv[3] : kDefaultFont, &sheet, &error) ||
            !WritePreview(argv[2], sheet, palette.data(), &error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 1;
        }
        return 0;
    }
    if (what == "palette" && argc == 3) {
        return WriteAssetFile(argv[0], argv[1], palette.data(), palette.size()) ? 0 : 1;
    }
    if (what == "sheet" && argc <= 4) {
        std::vector<uint8_t> sheet;
        if (!MakeSheet(argc == 4 ? argv[3] : kDefaultFont, &sheet, &error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 1;
        }
        return WriteAssetFile(argv[0], argv[1], sheet) ? 0 : 1;
    }
    return Usage(argv[0]);
}
