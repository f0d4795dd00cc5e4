// Writes the show's five pictures (320 x 200 bytes each), or previews of how the audience sees
// them.
//   make_pictures OUT intro|mask|swapA|swapB|end   one picture's 64000 bytes
//   make_pictures --preview DIR                    intro.png, mask.png, swap.png, end.png
//
// Every picture is checked against what its scene needs before anything is written; a picture
// that fails stops the build with the reason.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <string>

#include "generators/asset_file.h"
#include "generators/pictures/pictures.h"
#include "generators/pictures/screen_preview.h"

namespace pictures {
namespace {

std::string Percent(int count) { return std::to_string(count * 100 / kPixels) + "%"; }

// The opening image: all 256 values.
std::string CheckIntro(const Picture& p) {
    std::array<bool, 256> seen{};
    for (uint8_t v : p) seen[v] = true;
    int missing = 0, first = -1;
    for (int v = 0; v < 256; ++v) {
        if (!seen[v]) ++missing, first = first < 0 ? v : first;
    }
    if (missing > 0) {
        return "the sky must hold every value 0..255; " + std::to_string(missing) +
               " are missing, the first " + std::to_string(first);
    }
    return "";
}

// The dark only ever spreads from where it starts (index 1) or comes in over the screen's edge:
// for every index, each newly dark pixel joins a dark region that holds such a source. An island
// appearing in the lit part would be a blot, not an iris.
std::string CheckSpread(const Picture& p) {
    std::vector<int> parent(kPixels), order(kPixels);
    std::vector<bool> source(kPixels, false), added(kPixels, false);
    std::iota(parent.begin(), parent.end(), 0);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return p[a] < p[b]; });
    auto find = [&](int i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    size_t k = 0;
    while (k < order.size() && p[order[k]] == 0) ++k;  // never dark
    while (k < order.size() && p[order[k]] <= 174) {
        const uint8_t level = p[order[k]];
        const size_t begin = k;
        for (; k < order.size() && p[order[k]] == level; ++k) {
            const int i = order[k];
            added[i] = true;
            const int x = i % kWidth, y = i / kWidth;
            source[i] = level == 1 || x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
            for (int oy = -1; oy <= 1; ++oy) {
                for (int ox = -1; ox <= 1; ++ox) {
                    const int nx = x + ox, ny = y + oy;
                    if (nx < 0 || ny < 0 || nx >= kWidth || ny >= kHeight) continue;
                    const int n = ny * kWidth + nx;
                    if (!added[n]) continue;
                    const int a = find(i), b = find(n);
                    if (a != b) parent[a] = b, source[b] = source[b] || source[a];
                }
            }
        }
        for (size_t j = begin; j < k; ++j) {
            if (!source[find(order[j])]) {
                return "index " + std::to_string(level) + " darkens an island at column " +
                       std::to_string(order[j] % kWidth) + ", row " +
                       std::to_string(order[j] / kWidth) + ", apart from where the dark starts";
            }
        }
    }
    return "";
}

std::string CheckMask(const Picture& p) {
    std::array<int, 256> count{};
    for (uint8_t v : p) ++count[v];
    if (count[0] == 0) return "nothing is marked 0, to stay lit";
    for (int m = 1; m <= 174; ++m) {
        if (count[m] == 0) {
            return "no pixel has index " + std::to_string(m) + ": the dark stalls for a frame";
        }
    }
    // At the lowest level (81) the indices 1..174 are dark.
    const int dark = std::accumulate(count.begin() + 1, count.begin() + 175, 0);
    if (dark < kPixels / 2)
        return "at the lowest level only " + Percent(dark) + " of the screen is dark";
    return CheckSpread(p);
}

std::string CheckSwap(const Picture& p) {
    int zeros = 0, brightest = 0;
    for (uint8_t v : p) zeros += v == 0, brightest = std::max<int>(brightest, v);
    if (zeros < kPixels * 55 / 100 || zeros > kPixels * 80 / 100) {
        return Percent(zeros) + " of it is 0, not 55% to 80%";
    }
    if (brightest >> 3 > kBrightestUnwrapped) {
        return "value " + std::to_string(brightest) + " wraps to black under the grain";
    }
    return "";
}

// The pair must answer each other, not repeat: their lit parts barely meet.
std::string CheckSwapPair(const Picture& a, const Picture& b) {
    int both = 0, litA = 0, litB = 0;
    for (int i = 0; i < kPixels; ++i) both += a[i] && b[i], litA += a[i] != 0, litB += b[i] != 0;
    if (both * 10 > std::min(litA, litB))
        return "A and B are lit in the same places at " + Percent(both);
    return "";
}

std::string CheckEnd(const Picture& p) {
    int lit = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t v = p[y * kWidth + x];
            if (v == 0) continue;
            ++lit;
            if (x < kEndLeft || x > kEndRight || y < kEndTop || y > kEndBottom) {
                return "column " + std::to_string(x) + ", row " + std::to_string(y) +
                       " lies outside the title's box";
            }
            if ((v & 31) > kBrightestUnwrapped) {
                return "index " + std::to_string(v) + " wraps to black under the grain";
            }
        }
    }
    if (lit < 1000) return "the title has only " + std::to_string(lit) + " pixels";
    return "";
}

void Require(const char* name, const std::string& problem) {
    if (!problem.empty()) throw std::runtime_error(std::string(name) + " picture: " + problem);
}

Picture Make(const std::string& name) {
    if (name == "intro") {
        Picture p = IntroPicture();
        Require("intro", CheckIntro(p));
        return p;
    }
    if (name == "mask") {
        Picture p = MaskPicture();
        Require("mask", CheckMask(p));
        return p;
    }
    if (name == "swapA" || name == "swapB") {
        Picture a = SwapPictureA(), b = SwapPictureB();
        Require("swapA", CheckSwap(a));
        Require("swapB", CheckSwap(b));
        Require("swap", CheckSwapPair(a, b));
        return name == "swapA" ? a : b;
    }
    if (name == "end") {
        Picture p = EndPicture();
        Require("end", CheckEnd(p));
        return p;
    }
    throw std::runtime_error("no picture is called \"" + name + "\"");
}

uint16_t Grey(int s) { return static_cast<uint16_t>(s << 11 | (2 * s) << 5 | s); }

// A picture as the show draws it before the grain: `shift` keeps its top bits in the blue field.
Frame BlueField(const Picture& p, int shift) {
    Frame f(kPixels);
    for (int i = 0; i < kPixels; ++i) f[i] = static_cast<uint16_t>(p[i] >> shift);
    return f;
}

// The same levels shown clean, each grey as the grain pass would build it.
Frame CleanGrey(const Picture& p, int shift) {
    Frame f(kPixels);
    for (int i = 0; i < kPixels; ++i) f[i] = Grey(p[i] >> shift);
    return f;
}

Frame Grained(Frame f, uint32_t seed) {
    GrainGrey(&f, seed);
    return f;
}

// A calm blue plane of scales, standing in for the textured plane the mask darkens.
Frame TestPlane() {
    Frame f(kPixels);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double row = y / 10.0, column = x / 16.0 + (static_cast<int>(row) % 2) * 0.5;
            const double fx = column - std::floor(column) - 0.5, fy = row - std::floor(row);
            const double relief = std::clamp(1.0 - std::sqrt(fx * fx * 2.0 + fy * fy), 0.0, 1.0);
            const int r = 7 + static_cast<int>(6 * relief), g = 22 + static_cast<int>(20 * relief),
                      b = 16 + static_cast<int>(12 * relief);
            f[y * kWidth + x] = static_cast<uint16_t>(r << 11 | g << 5 | b);
        }
    }
    return f;
}

Frame Darkened(const Frame& plane, const Picture& mask, int level) {
    Frame f = plane;
    for (int i = 0; i < kPixels; ++i) {
        const int v = (256 - mask[i]) & 255;
        const int d = std::max(0, v - level);
        const int r = std::max(0, (f[i] >> 11) - (d >> 3));
        const int g = std::max(0, ((f[i] >> 5) & 63) - (d >> 2));
        const int b = std::max(0, (f[i] & 31) - (d >> 3));
        f[i] = static_cast<uint16_t>(r << 11 | g << 5 | b);
    }
    return f;
}

void Write(const Sheet& sheet, const std::string& path) {
    std::string error;
    if (!sheet.Write(path, &error)) throw std::runtime_error(error);
}

void Preview(const std::string& dir) {
    const Picture intro = Make("intro");
    Sheet introSheet(1, 2);
    introSheet.Put(0, 0, CleanGrey(intro, 4));
    introSheet.Put(0, 1, Grained(BlueField(intro, 4), 1));
    Write(introSheet, dir + "/intro.png");

    const Picture mask = Make("mask");
    const Frame plane = TestPlane();
    const int levels[] = {254, 210, 170, 130, 100, 81};
    Sheet maskSheet(3, 2);
    for (int k = 0; k < 6; ++k) maskSheet.Put(k % 3, k / 3, Darkened(plane, mask, levels[k]));
    Write(maskSheet, dir + "/mask.png");

    const Picture a = Make("swapA"), b = Make("swapB");
    Sheet swapSheet(2, 2);
    swapSheet.Put(0, 0, CleanGrey(a, 3));
    swapSheet.Put(1, 0, CleanGrey(b, 3));
    swapSheet.Put(0, 1, Grained(BlueField(a, 3), 2));
    swapSheet.Put(1, 1, Grained(BlueField(b, 3), 3));
    Write(swapSheet, dir + "/swap.png");

    const Picture end = Make("end");
    Frame endClean(kPixels), endRaw(kPixels, 0);
    for (int i = 0; i < kPixels; ++i) {
        endClean[i] = Grey(end[i] & 31);
        if (end[i] != 0) endRaw[i] = end[i];  // the raw index, as the show lays it over black
    }
    Sheet endSheet(1, 2);
    endSheet.Put(0, 0, endClean);
    endSheet.Put(0, 1, Grained(endRaw, 4));
    Write(endSheet, dir + "/end.png");
}

}  // namespace
}  // namespace pictures

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::string(argv[1]) == "--preview") {
            pictures::Preview(argv[2]);
            return 0;
        }
        if (argc != 3) {
            std::fprintf(stderr,
                         "usage: make_pictures OUT intro|mask|swapA|swapB|end | "
                         "make_pictures --preview DIR\n");
            return 2;
        }
        const pictures::Picture picture = pictures::Make(argv[2]);
        if (!WriteAssetFile("make_pictures", argv[1], picture.data(), picture.size())) return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}
