#include "replay/sequencer.h"

#include "sound/module.h"

void ReplayTick(Song* /*song*/) {
    // Rows, effects and envelopes are not replayed yet: a started Song stays silent until the
    // sequencer lands here.
}
