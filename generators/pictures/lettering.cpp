#include "generators/pictures/lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace pictures {
namespace {

constexpr const char* kFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    Face() {
        if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("cannot start FreeType");
        if (FT_New_Face(library, kFace, 0, &face) != 0) {
            throw std::runtime_error(std::string("cannot open the face ") + kFace);
        }
    }
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
    // Unscaled and unhinted, so the shapes do not depend on a hinting engine's version.
    void Load(char c) {
        const FT_UInt index =
            FT_Get_Char_Index(face, static_cast<FT_ULong>(static_cast<unsigned char>(c)));
        if (index == 0 ||
            FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) !=
                0 ||
            face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
            throw std::runtime_error(std::string("the face has no outline for '") + c + "'");
        }
    }
};

FT_Fixed Fixed16(double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); }

}  // namespace

Lettering SetLine(const std::string& text, double capHeight, double widthScale, double tracking) {
    Face f;
    f.Load('H');
    const double capUnits = static_cast<double>(f.face->glyph->metrics.height);
    const double sy = capHeight / capUnits;
    const double sx = sy * widthScale;

    // Pen positions in pixels, from the advances and the face's own pair spacing.
    std::vector<double> pens;
    double pen = 0.0;
    FT_UInt previous = 0;
    for (char c : text) {
        const FT_UInt index =
            FT_Get_Char_Index(f.face, static_cast<FT_ULong>(static_cast<unsigned char>(c)));
        if (previous != 0 && index != 0 && FT_HAS_KERNING(f.face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(f.face, previous, index, FT_KERNING_UNSCALED, &kern) == 0)
                pen += kern.x * sx;
        }
        f.Load(c);
        pens.push_back(pen);
        pen += f.face->glyph->metrics.horiAdvance * sx + tracking;
        previous = index;
    }

    const int margin = static_cast<int>(std::ceil(capHeight));
    const int canvasWidth = static_cast<int>(std::ceil(pen)) + 2 * margin;
    const int canvasHeight = 3 * margin;
    const int baselineRow = 2 * margin;  // the first row below the baseline
    std::vector<float> canvas(static_cast<size_t>(canvasWidth) * canvasHeight, 0.0f);
    std::vector<unsigned char> glyph(canvas.size());

    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == ' ') continue;
        f.Load(text[k]);
        FT_Outline outline;
        FT_Outline_New(f.library, f.face->glyph->outline.n_points,
                       f.face->glyph->outline.n_contours, &outline);
        FT_Outline_Copy(&f.face->glyph->outline, &outline);
        // Font units to 26.6 pixels.
        FT_Matrix m{Fixed16(sx * 64.0), 0, 0, Fixed16(sy * 64.0)};
        FT_Outline_Transform(&outline, &m);
        FT_Outline_Translate(&outline, std::lround((margin + pens[k]) * 64.0),
                             (canvasHeight - baselineRow) * 64);
        std::fill(glyph.begin(), glyph.end(), 0);
        FT_Bitmap bitmap{};
        bitmap.rows = static_cast<unsigned>(canvasHeight);
        bitmap.width = static_cast<unsigned>(canvasWidth);
        bitmap.pitch = canvasWidth;
        bitmap.buffer = glyph.data();
        bitmap.num_grays = 256;
        bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
        const FT_Error error = FT_Outline_Get_Bitmap(f.library, &outline, &bitmap);
        FT_Outline_Done(f.library, &outline);
        if (error != 0) throw std::runtime_error(std::string("cannot draw '") + text[k] + "'");
        // Letters may touch; each is drawn alone and the brighter coverage kept.
        for (size_t i = 0; i < canvas.size(); ++i)
            canvas[i] = std::max(canvas[i], glyph[i] / 255.0f);
    }

    int left = canvasWidth, right = -1, top = canvasHeight, bottom = -1;
    for (int y = 0; y < canvasHeight; ++y) {
        for (int x = 0; x < canvasWidth; ++x) {
            if (canvas[static_cast<size_t>(y) * canvasWidth + x] > 0.0f) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) throw std::runtime_error("the line \"" + text + "\" draws nothing");
    Lettering out;
    out.width = right - left + 1;
    out.height = bottom - top + 1;
    out.coverage.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            out.coverage[static_cast<size_t>(y) * out.width + x] =
                canvas[static_cast<size_t>(y + top) * canvasWidth + x + left];
        }
    }
    return out;
}

}  // namespace pictures
