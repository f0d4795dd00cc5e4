#include "tools/play/raw_terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>

namespace {

// How long the rest of an escape sequence may take to arrive: a terminal sends a sequence in one
// write, so only a lone Escape leaves this much silence after its byte.
constexpr int kEscapeSequenceMs = 40;
constexpr size_t kPendingBytes = 64;

termios savedSettings;
volatile bool settingsSaved = false;
bool inputEnded = false;
uint8_t pending[kPendingBytes];
size_t pendingCount = 0;

// Reads what standard input has within `timeoutMs` onto the pending bytes; false when nothing
// came.
bool ReadMore(int timeoutMs) {
    if (inputEnded || pendingCount == kPendingBytes) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, timeoutMs) <= 0) return false;
    const ssize_t got = read(STDIN_FILENO, pending + pendingCount, kPendingBytes - pendingCount);
    if (got <= 0) {
        // The end of a pipe or file: there will be no more keys, but the music plays on.
        if (got == 0) inputEnded = true;
        return false;
    }
    pendingCount += static_cast<size_t>(got);
    return true;
}

// Every signal whose default action ends the process (SIGKILL aside, which nothing can catch).
// Those the program handles itself (to quit cleanly) keep their handlers.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                  SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                  SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                  SIGPROF, SIGIO,   SIGPWR,    SIGSYS};

// Puts the terminal back, then lets the signal end the process as it would have: the handler
// is gone (SA_RESETHAND) and the signal not held back (SA_NODEFER), so it acts the moment it is
// raised again, or, for a fault, when the faulting instruction runs again.
void RestoreAndEnd(int signal) {
    RestoreTerminal();
    raise(signal);
}

void RestoreOnEndingSignals() {
    struct sigaction action {};
    action.sa_handler = RestoreAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    const auto install = [&action](int signal) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL &&
            !(previous.sa_flags & SA_SIGINFO)) {
            sigaction(signal, &action, nullptr);
        }
    };
    for (int signal : kEndingSignals) install(signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) install(signal);
}

}  // namespace

bool EnterRawTerminal() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedSettings) != 0) return false;
    termios raw = savedSettings;
    // Ctrl+C and Ctrl+Z come as bytes: the player quits cleanly on the one and is not stopped
    // with the terminal left raw by the other.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Before the change, so that no signal finds the terminal raw with nothing to put it back.
    settingsSaved = true;
    RestoreOnEndingSignals();
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) {
        settingsSaved = false;
        return false;
    }
    return true;
}

void RestoreTerminal() {
    if (!settingsSaved) return;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
    settingsSaved = false;
}

PlayerKey ReadTerminalKey(int timeoutMs) {
    if (pendingCount == 0 && !ReadMore(timeoutMs)) {
        if (inputEnded) {
            // Nothing to wait on: the caller's loop is paced by this wait.
            poll(nullptr, 0, timeoutMs);
        }
        return PlayerKey::None;
    }
    PlayerKey key = PlayerKey::None;
    size_t taken = DecodeTerminalKey(pending, pendingCount, false, &key);
    if (taken == 0) {
        while (ReadMore(kEscapeSequenceMs) &&
               (taken = DecodeTerminalKey(pending, pendingCount, false, &key)) == 0) {
        }
        if (taken == 0) taken = DecodeTerminalKey(pending, pendingCount, true, &key);
    }
    std::memmove(pending, pending + taken, pendingCount - taken);
    pendingCount -= taken;
    return key;
}
