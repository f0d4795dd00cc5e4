// Lettering for the pictures: a line of capitals set from the bold sans face as coverage.
#pragma once

#include <string>
#include <vector>

namespace pictures {

struct Lettering {
    int width = 0, height = 0;  // the inked box, exactly
    std::vector<float> coverage;  // 0..1, row-major
    float At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0.0f;
        return coverage[static_cast<size_t>(y) * width + x];
    }
};

// `text` set with its capitals `capHeight` rows tall and `widthScale` times as wide as the face
// draws them (1.2 keeps the shapes true on the screen's tall pixels), with `tracking` extra
// columns between letters. Throws std::runtime_error when the face cannot be used.
Lettering SetLine(const std::string& text, double capHeight, double widthScale, double tracking);

}  // namespace pictures
