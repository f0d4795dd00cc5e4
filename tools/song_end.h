// Where a song played once ends: on the first row that takes it back to a position it has already
// played, a pattern loop not counting; on the first row a pattern loop goes back to in a state it
// was in before (a loop that never ends: from there on the song repeats); and after 20 minutes at
// most. Every tool that plays a song
// once ends it by this rule, so a render and a live play of one module stop on the same frame.
#pragma once

#include <cstdint>
#include <vector>

struct Song;

// A song that never comes back to a row it played is cut here.
constexpr int64_t kSongCapSeconds = 20 * 60;

// The positions a song has played, [order * 256 + row], and a fingerprint of each state a pattern
// loop went back in: the position with every channel's loop start and count.
struct PlayedPositions {
    std::vector<uint8_t> seen;
    std::vector<uint64_t> loopStates;  // capacity reserved up front, never grown while playing
    int32_t lastRow = -1;
};

// What the tick about to run is, taken before the replay moves the song.
struct TickStart {
    int32_t tick;
    bool changesOrder;  // the song was asked to leave its order at this tick
};

// Sizes the table on the first call (before the song starts: nothing is allocated while it
// plays) and forgets every position played.
void ForgetPlayedPositions(PlayedPositions* played);
TickStart BeginTick(const Song* song);
// Called after the replay ran the tick `begun`: true when that tick began a row that repeats the
// song, which then ends where the tick began; otherwise the row, if one began, counts as played.
// A change of order (a jump, a break, the end of a pattern or of the order list) to a position
// played ends the song. A pattern loop goes back inside the pattern it is in, and the rows that
// follow it are played again by design, so that alone does not end it; but when it goes back in a
// state of the loops it went back in before, nothing new can follow, and the song ends there too.
bool TickRepeatsSong(PlayedPositions* played, const Song* song, TickStart begun);
