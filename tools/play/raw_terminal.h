// The keyboard as the terminal on standard input gives it: raw mode (no echo, no line editing,
// Ctrl+C as a byte) while the player runs, and the terminal's own settings back on every way out.
#pragma once

#include "tools/play/terminal_keys.h"

// Puts a terminal on standard input into raw mode; false, changing nothing, when standard input
// is not a terminal (keys are then read from it as they come, a pipe's end ending them). Every
// signal that would end the program and that it does not handle itself puts the terminal back
// first, then ends it as before.
bool EnterRawTerminal();
// Puts back the settings EnterRawTerminal found; nothing when it changed none. Safe to call
// twice, and from a signal handler.
void RestoreTerminal();
// Waits up to `timeoutMs` for a key and returns it; None when none came (or standard input has
// ended). A signal cuts the wait short.
PlayerKey ReadTerminalKey(int timeoutMs);
