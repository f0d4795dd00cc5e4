// How wide the terminal a tool draws its one status line on is, so that the line never wraps: the
// kernel's window size (TIOCGWINSZ), read again once the terminal says it changed (SIGWINCH).
#pragma once

#include <cstdint>

// Columns when the terminal does not say.
inline constexpr int32_t kDefaultColumns = 80;

// Installs the SIGWINCH handler. With SA_RESTART: a write to a pipe is not broken off by a resize;
// a wait in poll() ends at once all the same (it is never restarted), so a player redraws.
void WatchTerminalWidth();
// The columns of the terminal on `fd`, kDefaultColumns when it gives none.
int32_t TerminalColumns(int fd);
// True once after each SIGWINCH since the last call.
bool TerminalWidthChanged();
