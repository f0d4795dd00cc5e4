// The per-tick replay of a Song: rows, effect commands, envelopes and the voices they drive.
#pragma once

struct Song;

// The Song's tick routine, run by the mixing thread once per tick.
void ReplayTick(Song* song);
