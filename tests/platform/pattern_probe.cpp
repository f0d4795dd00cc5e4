// Reads the real screen of an X display and finds the SDL display's test pattern (white picture,
// red row 100, green column 160) in a window, for the demo's picture test:
//   pattern_probe WINDOW_NAME WIDTHxHEIGHT [SECONDS]
// The window is looked up by name at every look: SDL may make its window anew when it picks a
// renderer. Succeeds (status 0) once the window has the size given and, three looks in a row
// 100 ms apart,
// shows the pattern where the largest centred 4:3 area of that window puts it, every edge within
// one screen pixel; fails (status 1) with what it last saw when SECONDS (default 20) pass first.
// The expected edges are worked out here in real numbers, apart from the display's own code.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

bool xFailed = false;

// A window that goes away between two looks is a failed look, not the end of the probe.
int NoteXError(Display*, XErrorEvent*) {
    xFailed = true;
    return 0;
}

struct Run {
    char colour;  // B black, W white, R red, G green, ? anything else
    int start;
    int end;      // one past the last pixel
};

int Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    return static_cast<int>(((pixel & mask) >> shift) * 255 / (mask >> shift));
}

char Classify(XImage* image, int x, int y) {
    const unsigned long pixel = XGetPixel(image, x, y);
    const int r = Channel(pixel, image->red_mask);
    const int g = Channel(pixel, image->green_mask);
    const int b = Channel(pixel, image->blue_mask);
    auto high = [](int c) { return c > 200; };
    auto low = [](int c) { return c < 56; };
    if (low(r) && low(g) && low(b)) return 'B';
    if (high(r) && high(g) && high(b)) return 'W';
    if (high(r) && low(g) && low(b)) return 'R';
    if (low(r) && high(g) && low(b)) return 'G';
    return '?';
}

// The runs of one colour along a line of the screen, `length` pixels from (x, y) to the right
// (alongRow) or downwards, black runs at either end dropped. Only the line is read: a whole
// screenshot per look would crawl on a loaded machine.
std::vector<Run> Runs(Display* display, Window root, int x, int y, int length, bool alongRow) {
    std::vector<Run> runs;
    XImage* image = XGetImage(display, root, x, y, alongRow ? length : 1, alongRow ? 1 : length,
                              AllPlanes, ZPixmap);
    XSync(display, False);
    if (!image || xFailed) return {{'?', 0, 0}};
    for (int i = 0; i < length; ++i) {
        const char colour = alongRow ? Classify(image, i, 0) : Classify(image, 0, i);
        if (runs.empty() || runs.back().colour != colour) runs.push_back({colour, i, i});
        runs.back().end = i + 1;
    }
    XDestroyImage(image);
    if (!runs.empty() && runs.back().colour == 'B') runs.pop_back();
    if (!runs.empty() && runs.front().colour == 'B') runs.erase(runs.begin());
    return runs;
}

std::string Describe(const std::vector<Run>& runs) {
    std::string text;
    for (const Run& run : runs) {
        text += std::string(1, run.colour) + " " + std::to_string(run.start) + ".." +
                std::to_string(run.end - 1) + "  ";
    }
    return text.empty() ? "all black" : text;
}

// The last shown window of that name, searched through the whole tree: a window manager puts the
// program's window inside a frame of its own.
Window FindShown(Display* display, Window parent, const char* name) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    for (unsigned i = 0; i < count; ++i) {
        char* title = nullptr;
        XWindowAttributes attributes{};
        if (XFetchName(display, children[i], &title) && title && std::strcmp(title, name) == 0 &&
            XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
            found = children[i];
        }
        if (title) XFree(title);
        if (const Window inside = FindShown(display, children[i], name)) found = inside;
    }
    if (children) XFree(children);
    return found;
}

// One look: empty when the pattern is where it belongs, else what is wrong.
std::string Look(Display* display, const char* name, int wantWidth, int wantHeight,
                 std::string& seen) {
    xFailed = false;
    const Window window = FindShown(display, DefaultRootWindow(display), name);
    if (!window) return std::string("no window named ") + name + " shown";
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(display, window, &attributes) || xFailed) return "no such window";
    XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
    const int w = attributes.width;
    const int h = attributes.height;
    const Screen* screen = attributes.screen;
    seen = "window " + std::to_string(w) + "x" + std::to_string(h) + " at " +
           std::to_string(x) + "," + std::to_string(y);
    std::string wrong;
    if (w != wantWidth || h != wantHeight) {
        wrong = ", not " + std::to_string(wantWidth) + "x" + std::to_string(wantHeight);
    }
    if (x < 0 || y < 0 || x + w > screen->width || y + h > screen->height) {
        return seen + wrong + ", not wholly on the screen";
    }
    const double areaWidth = std::min<double>(w, h * 4.0 / 3.0);
    const double areaHeight = std::min<double>(h, w * 3.0 / 4.0);
    const double left = (w - areaWidth) / 2;
    const double top = (h - areaHeight) / 2;
    auto column = [&](double c) { return left + c * areaWidth / 320; };
    auto row = [&](double r) { return top + r * areaHeight / 200; };
    // Lines through the middle of picture row 50 and picture column 80, clear of the coloured ones.
    const Window root = attributes.root;
    const int row50 = y + static_cast<int>(row(50.5));
    const int column80 = x + static_cast<int>(column(80.5));
    const std::vector<Run> across = Runs(display, root, x, row50, w, true);
    const std::vector<Run> down = Runs(display, root, column80, y, h, false);
    seen += "; picture row 50: " + Describe(across) + "; picture column 80: " + Describe(down);

    auto shaped = [](const std::vector<Run>& runs, char line) {
        return runs.size() == 3 && runs[0].colour == 'W' && runs[1].colour == line &&
               runs[2].colour == 'W';
    };
    if (!shaped(across, 'G')) return seen + wrong + "; row 50 is not white, green, white";
    if (!shaped(down, 'R')) return seen + wrong + "; column 80 is not white, red, white";
    struct Edge {
        const char* name;
        int measured;
        double expected;
    };
    const Edge edges[] = {
        {"picture left", across[0].start, column(0)},
        {"column 160 start", across[1].start, column(160)},
        {"column 160 end", across[1].end, column(161)},
        {"picture right", across[2].end, column(320)},
        {"row 2 start", down[0].start, row(2)},
        {"row 100 start", down[1].start, row(100)},
        {"row 100 end", down[1].end, row(101)},
        {"row 197 end", down[2].end, row(198)},
    };
    for (const Edge& edge : edges) {
        if (std::fabs(edge.measured - edge.expected) > 1.0) {
            char text[120];
            std::snprintf(text, sizeof text, "; %s at %d, expected %.1f", edge.name, edge.measured,
                          edge.expected);
            wrong += text;
        }
    }
    return wrong.empty() ? "" : seen + wrong;
}

}  // namespace

int main(int argc, char** argv) {
    int wantWidth = 0;
    int wantHeight = 0;
    if (argc < 3 || std::sscanf(argv[2], "%dx%d", &wantWidth, &wantHeight) != 2) {
        std::fprintf(stderr, "usage: %s WINDOW_NAME WIDTHxHEIGHT [SECONDS]\n", argv[0]);
        return 2;
    }
    const double seconds = argc > 3 ? std::atof(argv[3]) : 20.0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "pattern_probe: cannot open the X display\n");
        return 1;
    }
    XSetErrorHandler(NoteXError);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    std::string problem = "no look taken";
    std::string seen;
    int goodLooks = 0;
    while (goodLooks < 3 && std::chrono::steady_clock::now() < deadline) {
        problem = Look(display, argv[1], wantWidth, wantHeight, seen);
        goodLooks = problem.empty() ? goodLooks + 1 : 0;
        if (goodLooks < 3) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    XCloseDisplay(display);
    if (goodLooks < 3) {
        if (problem.empty()) problem = seen + ", but it did not hold for three looks";
        std::fprintf(stderr, "pattern_probe: after %.0f s: %s\n", seconds, problem.c_str());
        return 1;
    }
    std::printf("%s\n", seen.c_str());
    return 0;
}
