#include "tools/terminal_width.h"

#include <sys/ioctl.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t widthChanged = 0;

void OnWindowChange(int) { widthChanged = 1; }

}  // namespace

void WatchTerminalWidth() {
    struct sigaction action {};
    action.sa_handler = OnWindowChange;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &action, nullptr);
}

int32_t TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultColumns;
    return size.ws_col;
}

bool TerminalWidthChanged() {
    if (!widthChanged) return false;
    widthChanged = 0;
    return true;
}
