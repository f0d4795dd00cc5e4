// The player's keys as a terminal in raw mode sends them: plain bytes for most, escape sequences
// for the arrows, and a lone Escape byte that only the silence after it tells from the start of
// an arrow's sequence.
#pragma once

#include <cstddef>
#include <cstdint>

enum class PlayerKey : uint8_t { None, Pause, Back, On, Quit, Next, Previous, Louder, Softer };

// Decodes the first key in `bytes`: stores it in *key (None for a key the player has no use for)
// and returns how many bytes it took. Returns 0, taking nothing, when the bytes are the start of
// an escape sequence whose rest may still arrive; `complete` says that nothing more came in time,
// and a lone Escape is then Escape. Needs count > 0.
size_t DecodeTerminalKey(const uint8_t* bytes, size_t count, bool complete, PlayerKey* key);
