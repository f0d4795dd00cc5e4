// The song's 27 instruments, synthesised: drums, basses, pads, leads and effects. Their numbers are
// the instrument bytes the score writes.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/xm_writer.h"

namespace composer {

enum InstrumentNumber : uint8_t {
    kKick = 1,
    kSnare,          // two samples: full snare below C-5, short ghost snare from C-5 up
    kClap,
    kClosedHat,
    kOpenHat,
    kCrash,
    kTom,
    kShaker,
    kSubBass,
    kSawBass,        // two samples, rooted at C-2 and C-3, split at F#2
    kWarmPad,        // three samples, rooted at C-3, C-4 and C-5, split at F#3 and F#4
    kStringPad,
    kChoir,
    kSawLead,        // two samples, rooted at F#4 and F#5, split at C-5
    kPulseLead,
    kPluck,
    kBell,
    kElectricPiano,
    kNoiseRiser,
    kImpact,
    kReverseCymbal,
    kZap,
    kChime,
    kBrassStab,
    kCreditsTitle,   // no samples: their names carry the credits, as tracker songs do
    kCreditsMaker,
    kCreditsShow,
};
constexpr int kInstrumentCount = 27;

// Instruments whose notes are drum hits (the accents the pictures follow are played with these).
bool IsDrum(uint8_t instrument);

std::vector<XmInstrumentDesc> BuildInstruments();

}  // namespace composer
