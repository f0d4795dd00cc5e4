#include "tools/play/terminal_keys.h"

namespace {

constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kCtrlC = 0x03;  // arrives as a byte: the raw terminal sends no SIGINT for it

PlayerKey ArrowKey(uint8_t final) {
    if (final == 'C') return PlayerKey::On;
    if (final == 'D') return PlayerKey::Back;
    return PlayerKey::None;
}

}  // namespace

size_t DecodeTerminalKey(const uint8_t* bytes, size_t count, bool complete, PlayerKey* key) {
    *key = PlayerKey::None;
    if (bytes[0] != kEscape) {
        if (bytes[0] == ' ') *key = PlayerKey::Pause;
        if (bytes[0] == 'q' || bytes[0] == 'Q' || bytes[0] == kCtrlC) *key = PlayerKey::Quit;
        if (bytes[0] == 'n' || bytes[0] == 'N') *key = PlayerKey::Next;
        if (bytes[0] == 'p' || bytes[0] == 'P') *key = PlayerKey::Previous;
        // '=' is '+' without Shift on most keyboards.
        if (bytes[0] == '+' || bytes[0] == '=') *key = PlayerKey::Louder;
        if (bytes[0] == '-' || bytes[0] == '_') *key = PlayerKey::Softer;
        return 1;
    }
    if (count == 1) {
        if (!complete) return 0;
        *key = PlayerKey::Quit;
        return 1;
    }
    // ESC O x: the arrows of a terminal in application cursor mode.
    if (bytes[1] == 'O') {
        if (count == 2) return complete ? 2 : 0;
        *key = ArrowKey(bytes[2]);
        return 3;
    }
    // Any other ESC x is Alt with a key, of no use here.
    if (bytes[1] != '[') return 2;
    // ESC [ parameters intermediates final: the arrows end in C and D whatever their parameters
    // (modifiers such as Ctrl+Right); every other sequence is taken whole and ignored.
    for (size_t i = 2; i < count; ++i) {
        if (bytes[i] >= 0x40 && bytes[i] <= 0x7E) {
            *key = ArrowKey(bytes[i]);
            return i + 1;
        }
        if (bytes[i] < 0x20 || bytes[i] > 0x3F) return i;  // broken off: take what came
    }
    return complete ? count : 0;
}
