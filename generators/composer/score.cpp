// The score. Key of A minor, four rows to the beat, sixteen to the bar, four bars to a pattern.
// Each section sets the global volume on its first row (SectionLevel), so the shape of the piece
// holds whatever the instruments do: intro 44 rising to 56, main part 56, breakdown and outro
// 40 and 44, climax 64.
// Where to listen (the function that writes each pattern):
//   order 0       Opening(): pads and choir out of silence, the global volume rising from 8; a
//                 noise riser from row 16
//   orders 1-4    Intro(1..4): the intro builds: a kick, crash and three falling toms open every
//                 pattern (the caption words), hats, plucks and bass come in one by one, each order
//                 a step louder; order 4 claps the beats the mesh flashes on and ends in a fill
//   orders 5-6    Theme(): the main theme on the saw lead over Am F C G; brass stabs and toms on
//                 rows 29 and 32 (the mesh pulses)
//   orders 7-8    Change(): half-time drums, a chip arpeggio lead over F G Em Am, an acid bass
//   orders 9-10   Flare(): four to the floor again, long lead notes with vibrato and echo, bells
//   orders 11-12  Breakdown(): strings, strummed electric piano, chimes, no kick, well below the
//                 main part
//   order 13      Rise(): from row 1 the riser, the drums and the global volume come back, a snare
//                 roll into the climax
//   orders 14-17  Climax(): the theme an octave up with echo, everything at full level; snare and
//                 clap together play the rows the pictures swap on
//   order 18      Outro(): a calm outro that jumps to itself on its last row and loops for ever
#include "generators/composer/score.h"

#include <array>
#include <string>

#include "generators/composer/instruments.h"
#include "generators/composer/notation.h"

namespace composer {

namespace {

struct Chord {
    std::array<const char*, 3> pad;
    const char* bass;
    std::array<const char*, 4> arp;
};

const Chord kAm{{"A-3", "C-4", "E-4"}, "A-1", {"A-4", "C-5", "E-5", "A-5"}};
const Chord kF{{"A-3", "C-4", "F-4"}, "F-1", {"F-4", "A-4", "C-5", "F-5"}};
const Chord kC{{"G-3", "C-4", "E-4"}, "C-2", {"G-4", "C-5", "E-5", "G-5"}};
const Chord kG{{"G-3", "B-3", "D-4"}, "G-1", {"G-4", "B-4", "D-5", "G-5"}};
const Chord kEm{{"G-3", "B-3", "E-4"}, "E-1", {"E-4", "G-4", "B-4", "E-5"}};
const Chord kE{{"G#3", "B-3", "E-4"}, "E-1", {"E-4", "G#4", "B-4", "E-5"}};
const Chord kDm{{"A-3", "D-4", "F-4"}, "D-2", {"D-4", "F-4", "A-4", "D-5"}};
const Chord kFmaj7{{"A-3", "C-4", "E-4"}, "F-1", {"F-4", "A-4", "C-5", "E-5"}};
const Chord kEm7{{"G-3", "B-3", "D-4"}, "E-1", {"E-4", "G-4", "B-4", "D-5"}};
const Chord kDm7{{"A-3", "C-4", "F-4"}, "D-2", {"D-4", "F-4", "A-4", "C-5"}};

using Progression = std::array<const Chord*, 4>;
const Progression kIntroChords{&kAm, &kF, &kDm, &kE};
const Progression kThemeChords{&kAm, &kF, &kC, &kG};
const Progression kChangeChords{&kF, &kG, &kEm, &kAm};
const Progression kFlareChords{&kAm, &kF, &kC, &kE};
const Progression kBreakdownChords{&kFmaj7, &kEm7, &kDm7, &kAm};
const Progression kBreakdownTurnChords{&kFmaj7, &kEm7, &kDm7, &kE};
const Progression kRiseChords{&kAm, &kF, &kG, &kE};

// Global volumes of the sections (64 is full): the main part leaves the climax room above it.
constexpr int kMainLevel = 56;
constexpr int kQuietLevel = 40;
constexpr int kOutroLevel = 44;

// The drum kit, one character per sound. Drums play at C-4, their samples' own rate.
const DrumSound kKit[] = {
    {'k', kKick, kNoteC4, 60},             // kick
    {'K', kKick, kNoteC4, 40},             // soft kick
    {'s', kSnare, kNoteC4, 52},            // snare
    {'g', kSnare, NoteByte("C-5"), 26},    // ghost snare (C-5 takes the short sample)
    {'S', kSnare, kNoteC4, 42},            // snare off the beat, a little under the backbeat
    {'p', kClap, kNoteC4, 56},             // clap
    {'c', kClosedHat, kNoteC4, 34},        // closed hat
    {'C', kClosedHat, kNoteC4, 48},        // accented closed hat
    {'o', kOpenHat, kNoteC4, 40},          // open hat
    {'x', kCrash, kNoteC4, 48},            // crash
    {'t', kTom, NoteByte("G-4"), 48},      // high tom
    {'m', kTom, NoteByte("E-4"), 48},      // middle tom
    {'l', kTom, NoteByte("C-4"), 50},      // low tom
    {'h', kShaker, kNoteC4, 30},           // shaker
    {'i', kImpact, kNoteC4, 56},           // impact
};

uint8_t Transposed(const char* note, int semitones) { return uint8_t(NoteByte(note) + semitones); }

void Note(XmPatternDesc& p, int row, int channel, uint8_t instrument, uint8_t note, int volume) {
    NoteCell& cell = CellAt(p, row, channel);
    cell.note = note;
    cell.instrument = instrument;
    cell.volume = VolumeByte(volume);
}

// A line whose notes play at `volume` unless a token gives its own: a note with an instrument
// otherwise restarts at its sample's volume, so a melody written with one volume on its first note
// would jump to full level on the second.
int Phrase(XmPatternDesc& p, int channel, int firstRow, uint8_t instrument, int volume,
           std::string_view tokens) {
    const int end = Line(p, channel, firstRow, instrument, tokens);
    for (int row = firstRow; row < end; ++row) {
        NoteCell& cell = CellAt(p, row, channel);
        if (cell.note != kNoteNone && cell.note != kFileNoteKeyOff && cell.volume == 0) {
            cell.volume = VolumeByte(volume);
        }
    }
    return end;
}

// Global volume changes go on the first channel. The replay applies one to the channels before
// the one that carries it only from their next volume update, so a channel before it would sound
// a whole row (or a held note far longer) at the old level: on the song's first row, at 64.
constexpr int kGlobalVolumeChannel = 0;

// Every section sets the global volume on its first row: the master fader that keeps intro,
// breakdown and outro under the main part and the climax, whatever the instruments' own volumes.
void SectionLevel(XmPatternDesc& p, int globalVolume) {
    Fx(p, 0, kGlobalVolumeChannel, kEffectGlobalVolume, uint8_t(globalVolume));
}

void GlobalSlide(XmPatternDesc& p, int row, uint8_t parameter) {
    Fx(p, row, kGlobalVolumeChannel, kEffectGlobalVolumeSlide, parameter);
}

// The three pad channels play the chord of each bar.
void Pads(XmPatternDesc& p, const Progression& chords, uint8_t instrument, int volume) {
    for (int bar = 0; bar < 4; ++bar) {
        for (int voice = 0; voice < 3; ++voice) {
            Note(p, bar * 16, kPadChannel1 + voice, instrument, NoteByte(chords[bar]->pad[voice]),
                 volume);
        }
    }
}

// A bass riff per bar: 'R' the root, 'O' an octave up, 'F' the fifth, '=' key off, '.' nothing.
void Bass(XmPatternDesc& p, const Progression& chords, uint8_t instrument, int octave,
          std::string_view riff, int volume) {
    for (int bar = 0; bar < 4; ++bar) {
        const uint8_t root = Transposed(chords[bar]->bass, 12 * octave);
        for (int step = 0; step < 16; ++step) {
            const char c = riff[size_t(step)];
            const int row = bar * 16 + step;
            if (c == 'R') Note(p, row, kBassChannel, instrument, root, volume);
            if (c == 'O') Note(p, row, kBassChannel, instrument, uint8_t(root + 12), volume);
            if (c == 'F') Note(p, row, kBassChannel, instrument, uint8_t(root + 7), volume);
            if (c == '=') CellAt(p, row, kBassChannel).note = kFileNoteKeyOff;
        }
    }
}

// An arpeggio per bar over the chord's four arp notes: digits index them, '.' rests.
void Arpeggio(XmPatternDesc& p, int channel, const Progression& chords, uint8_t instrument,
              std::string_view steps, int volume) {
    for (int bar = 0; bar < 4; ++bar) {
        for (int step = 0; step < 16; ++step) {
            const char c = steps[size_t(step)];
            if (c >= '0' && c <= '3') {
                Note(p, bar * 16 + step, channel, instrument, NoteByte(chords[bar]->arp[c - '0']),
                     volume);
            }
        }
    }
}

// The same line again, `delayRows` later and quieter: a tracker echo.
void Echo(XmPatternDesc& p, int fromChannel, int toChannel, int delayRows, int volume) {
    for (int row = 0; row + delayRows < kRows; ++row) {
        const NoteCell& source = CellAt(p, row, fromChannel);
        if (source.note == kNoteNone) continue;
        NoteCell& echo = CellAt(p, row + delayRows, toChannel);
        echo.note = source.note;
        echo.instrument = source.instrument;
        echo.volume = source.note == kFileNoteKeyOff ? 0 : VolumeByte(volume);
    }
}

// Order 1 to 4 open with the same call: kick and crash, then three falling toms on rows 1, 5 and 7,
// where the caption words pop up.
void CaptionCall(XmPatternDesc& p) {
    Drums(p, kKickChannel, 0, "k", kKit);
    Drums(p, kHatChannel, 0, "x", kKit);
    Drums(p, kPercussionChannel, 0, ".t...m.l", kKit);
}

// Rows 29 and 32 of orders 5 to 7, where the mesh pulses: a tom and a brass stab, then the crash.
void PulseStabs(XmPatternDesc& p, const char* stabNote) {
    Drums(p, kPercussionChannel, 29, "t..x", kKit);
    Note(p, 29, kEchoChannel, kBrassStab, NoteByte(stabNote), 44);
    Note(p, 32, kEchoChannel, kBrassStab, NoteByte(stabNote), 48);
}

// Pattern 0, order 0: out of silence. Only rows 0 to 31 play; the break on row 31 moves on.
XmPatternDesc Opening() {
    XmPatternDesc p = EmptyPattern();
    static_assert(kSongSpeed < kSpeedFirstBpm && kSongBpm >= kSpeedFirstBpm,
                  "one F effect sets the speed and the other the BPM");
    // Channel 0 carries the global volume.
    Fx(p, 0, kHatChannel, kEffectSpeed, kSongSpeed);
    Fx(p, 0, kSnareChannel, kEffectSpeed, kSongBpm);
    // The whole mix fades in with the global volume, from 8 up by 1 on each tick of every third
    // row, to the first intro order's level around row 19, as the riser takes over.
    SectionLevel(p, 8);
    GlobalSlide(p, 1, 0x10);
    for (int row = 4; row < 20; row += 3) GlobalSlide(p, row, 0x00);
    Drums(p, kKickChannel, 0, "i", kKit);
    Line(p, kBassChannel, 0, kSubBass, "A-1:24");
    Line(p, kPadChannel1, 0, kWarmPad, "A-3:26");
    Line(p, kPadChannel2, 4, kWarmPad, "E-4:22");
    Line(p, kPadChannel3, 8, kWarmPad, "C-5:16 | . . . . . . . .,A10 . . . . . . . .,A00");
    Line(p, kLeadChannel, 16, kChoir, "A-4:24 . . . . . . . | B-4:24,306 . . . . . . .");
    // The riser climbs a semitone and more per row and swells with the volume column, on every
    // other row so it stays under the choir until the last beat.
    Line(p, kEffectsChannel, 16, kNoiseRiser, "C-4:6,104");
    for (int row = 17; row < 31; ++row) {
        Fx(p, row, kEffectsChannel, kEffectPortaUp, 0x00);
        if (row % 2 == 1) VolumeColumn(p, row, kEffectsChannel, VolumeColumn(kVolumeSlideUp, 1));
    }
    Line(p, kHatChannel, 24, kReverseCymbal, "C-4:32");
    Line(p, kEffectsChannel, 31, kNoiseRiser, "==");
    Fx(p, 31, kEchoChannel, kEffectPatternBreak, 0x00);
    return p;
}

// Orders 1 to 4: the intro's four stages over Am F Dm E.
XmPatternDesc Intro(int stage) {
    XmPatternDesc p = EmptyPattern();
    // Each stage a little fuller: the pads and the drone rise with it.
    static const int padVolume[] = {0, 20, 22, 24, 26};
    static const int droneVolume[] = {0, 22, 26, 30, 32};
    static const int level[] = {0, 44, 48, 52, 56};
    SectionLevel(p, level[stage]);
    Pads(p, kIntroChords, kWarmPad, padVolume[stage]);
    Bass(p, kIntroChords, kSubBass, 1, "R...............", droneVolume[stage]);
    if (stage == 1) {
        Phrase(p, kLeadChannel, 0, kChoir, 22,
             "E-5 . . . . . . . . . . . . . . . | F-5 . . . . . . . . . . . . . . . |"
             "F-5 . . . . . . . E-5,303 . . . . . . . | E-5 . . . . . . . . . . . . . == .");
        Drums(p, kKickChannel, 16, "K............... K............... K...............", kKit);
        Drums(p, kPercussionChannel, 16,
              "..h...h...h...h. ..h...h...h...h. ..h...h...h.hhhh", kKit);
    } else {
        Drums(p, kKickChannel, 0,
              stage == 2 ? "k.......K.......k.......K.......k.......K.......k.......K......."
                         : "k...K...k...K...k...K...k...K...k...K...k...K...k...K...k...K...",
              kKit);
        Drums(p, kHatChannel, 0,
              stage == 2 ? "x.c...c...c...c...c...c...c...c...c...c...c...c...c...c...c...c."
                         : "x.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cC",
              kKit);
        // The pluck arpeggio, panned a little right, quiet at first.
        Arpeggio(p, kArpChannel, kIntroChords, kPluck, "0.1.2.1.3.2.1.2.", stage == 2 ? 20 : 28);
        Fx(p, 0, kArpChannel, kEffectSetPanning, 0xA0);
        Drums(p, kPercussionChannel, 16,
              "..h...h...h...h...h...h...h...h...h...h...h...h.", kKit);
    }
    if (stage >= 3) {
        Bass(p, kIntroChords, kSawBass, 1, "..R...R...R...RO", stage == 3 ? 30 : 38);
        Phrase(p, kLeadChannel, 0, kChoir, 26,
             "A-4 . . . . . . . . . . . . . . . | A-4 . . . . . . . C-5,304 . . . . . . . |"
             "D-5 . . . . . . . . . . . . . . . | E-5:28 . . . . . . . . . . . D-5 . C-5 B-4");
    }
    if (stage == 4) {
        // The claps the mesh flashes on: beat two of every bar, beat four of the third, a fill.
        Drums(p, kSnareChannel, 0,
              "....p...........|....p...........|....p.......p...|....p..p.p..p.pp", kKit);
        // Bass 8ths from the second bar on.
        Bass(p, kIntroChords, kSawBass, 1, "R.R.O.R.R.R.O.RO", 40);
        Line(p, kEffectsChannel, 48, kNoiseRiser, "C-5:12,104");
        for (int row = 49; row < 64; ++row) {
            Fx(p, row, kEffectsChannel, kEffectPortaUp, 0x00);
            VolumeColumn(p, row, kEffectsChannel, VolumeColumn(kVolumeSlideUp, 2));
        }
        Line(p, kEchoChannel, 56, kReverseCymbal, "C-4:44");
        // The kick drops out under the fill.
        for (int row = 52; row < 64; ++row) CellAt(p, row, kKickChannel) = NoteCell{};
    }
    CaptionCall(p);
    return p;
}

const char* const kThemeA =
    "E-5 . . . . .,452 D-5 . C-5 . . . D-5 . E-5 . |"
    "F-5 . . . . .,442 . . E-5 . . . C-5 . A-4 . |"
    "G-5 . . . . . E-5 . C-5 . . . D-5 . E-5 . |"
    "D-5 . . .,452 . . . . B-4 . . . G-4 .,A04 == .";
const char* const kThemeB =
    "C-5 . . . B-4 . C-5 . E-5 . . . A-5 .,452 . . |"
    "G-5 . . . F-5 . . . E-5 . . . C-5 . . . |"
    "E-5 . . . . . G-5 . . . E-5 . D-5 . C-5 . |"
    "B-4 . . . . .,642 . . D-5,305 . . . .,642 . == .";

// Orders 5 and 6: the theme over Am F C G, four to the floor.
XmPatternDesc Theme(bool answer) {
    XmPatternDesc p = EmptyPattern();
    SectionLevel(p, kMainLevel);
    Drums(p, kKickChannel, 0, "k...k...k...k...k...k...k...k...k...k...k...k...k...k...k...k..k",
          kKit);
    Drums(p, kSnareChannel, 0,
          "....s.......s.g.....s.......s...|....s.......s.g.....s.....g.s.ss", kKit);
    Drums(p, kHatChannel, 0, "x.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cCc.cco.cC",
          kKit);
    Bass(p, kThemeChords, kSawBass, 1, "R.R.O.R.R.R.O.RF", 44);
    Pads(p, kThemeChords, kWarmPad, 26);
    Phrase(p, kLeadChannel, 0, kSawLead, 50, answer ? kThemeB : kThemeA);
    Arpeggio(p, kArpChannel, kThemeChords, kPluck, "0.12.0.21.3.2.1.", 22);
    Fx(p, 0, kArpChannel, kEffectSetPanning, 0xB0);
    PulseStabs(p, "A-4");
    Line(p, kEffectsChannel, 56, kReverseCymbal, "C-4:40");
    if (!answer) Line(p, kEffectsChannel, 0, kZap, "C-5:30 . . . . . . . C-4:24");
    return p;
}

// Orders 7 and 8: half-time drums and a chip arpeggio lead; the second adds an acid bass.
XmPatternDesc Change(bool acid) {
    XmPatternDesc p = EmptyPattern();
    SectionLevel(p, kMainLevel);
    Drums(p, kKickChannel, 0,
          "k.........k.....k.........k.....k.........k.....k.........k.k.k.", kKit);
    Drums(p, kSnareChannel, 0,
          "........s.......|........s.....g.|........s.......|........s...s.ss", kKit);
    Drums(p, kHatChannel, 0, "x.c.c.c.c.c.o.c.c.c.c.c.c.c.o.c.c.c.c.c.c.c.o.c.c.c.c.c.c.c.o.c.",
          kKit);
    Pads(p, kChangeChords, kStringPad, 28);
    // Chip chords: one note per beat with an arpeggio of the chord's third and fifth.
    static const std::array<uint8_t, 4> arps{0x47, 0x47, 0x37, 0x37};  // F G Em Am: major, minor
    for (int bar = 0; bar < 4; ++bar) {
        const uint8_t root = Transposed(kChangeChords[bar]->arp[0], 12);
        for (int beat = 0; beat < 4; ++beat) {
            const int row = bar * 16 + beat * 4;
            Note(p, row, kLeadChannel, kPulseLead, root, beat == 0 ? 34 : 26);
            Fx(p, row, kLeadChannel, kEffectArpeggio, arps[size_t(bar)]);
            Fx(p, row + 1, kLeadChannel, kEffectArpeggio, arps[size_t(bar)]);
            Fx(p, row + 2, kLeadChannel, kEffectArpeggio, arps[size_t(bar)]);
            // The fourth row of each beat stutters with the tremor.
            Fx(p, row + 3, kLeadChannel, kEffectTremor, 0x11);
        }
    }
    if (acid) {
        // Sixteenths that slide into each new root with the tone portamento.
        Bass(p, kChangeChords, kSawBass, 1, "R.RO.RR.OR.RO.RF", 54);
        for (int bar = 1; bar < 4; ++bar) Fx(p, bar * 16, kBassChannel, kEffectTonePorta, 0x20);
        Drums(p, kPercussionChannel, 48, "........t.m.l.ll", kKit);
        Line(p, kArpChannel, 0, kBell,
             "E-5:24 . . . . . . . . . . . . . . . | D-5:24 . . . . . . . . . . . . . . . |"
             "B-4:24 . . . . . . . . . . . . . . . | C-5:24 . . . . . . . . . . . . . . .");
    } else {
        Bass(p, kChangeChords, kSubBass, 1, "R.......R...R...", 32);
        Line(p, kArpChannel, 0, kChime, "A-5:20 . . . . . . . . . . . . . . . | B-5:20");
        PulseStabs(p, "C-5");
    }
    Line(p, kEffectsChannel, 56, kReverseCymbal, "C-4:40");
    return p;
}

const char* const kFlareLineA =
    "A-5 . . . . . . . .,463 . . . . . .,642 . | F-5 . . . C-5 . . . A-5 . . . .,463 . . . |"
    "G-5 . . . . . . . E-5 . . . G-5 . C-6 . | B-5 . . . .,463 . . . G#5 . . . .,642 . == .";
const char* const kFlareLineB =
    "C-6 . . . B-5 . A-5 . . .,463 . . E-5 . . . | F-5 . . . A-5 . C-6 . . .,463 . . . . . . |"
    "E-6 . . . D-6 . C-6 . . . G-5 . . . E-5 . | E-5 . . .,463 . . . . . . . . .,A08 . == .";

// Orders 9 and 10: the flare trail, the lead singing long notes over Am F C E.
XmPatternDesc Flare(bool second) {
    XmPatternDesc p = EmptyPattern();
    SectionLevel(p, kMainLevel);
    Drums(p, kKickChannel, 0, "k...k...k...k...k...k...k...k...k...k...k...k...k...k...k...k...",
          kKit);
    Drums(p, kSnareChannel, 0,
          second ? "....p.......p...|....p.......p...|....p.......p...|....p...s.s.ssss"
                 : "....p.......p...|....p.......p...|....p.......p...|....p.......p..g",
          kKit);
    Drums(p, kHatChannel, 0, "x.c.o.c.c.c.o.c.c.c.o.c.c.c.o.c.c.c.o.c.c.c.o.c.c.c.o.c.c.c.o.c.",
          kKit);
    Bass(p, kFlareChords, kSawBass, 1, "R..R..R.O..R..RF", 42);
    Pads(p, kFlareChords, kWarmPad, 24);
    Phrase(p, kLeadChannel, 0, kSawLead, 50, second ? kFlareLineB : kFlareLineA);
    Echo(p, kLeadChannel, kEchoChannel, 3, 18);
    Fx(p, 0, kEchoChannel, kEffectSetPanning, 0x40);
    for (int bar = 0; bar < 4; ++bar) {
        Note(p, bar * 16, kArpChannel, kBell, NoteByte(kFlareChords[bar]->arp[2]), 26);
        Note(p, bar * 16 + 10, kArpChannel, kBell, NoteByte(kFlareChords[bar]->arp[3]), 18);
    }
    if (second) {
        // The snare roll into the breakdown retriggers faster and faster.
        Fx(p, 60, kSnareChannel, kEffectExtended, SubCommand(kExtendedRetrigger, 3));
        Fx(p, 62, kSnareChannel, kEffectExtended, SubCommand(kExtendedRetrigger, 2));
        Fx(p, 63, kSnareChannel, kEffectExtended, SubCommand(kExtendedRetrigger, 1));
        Line(p, kEffectsChannel, 56, kReverseCymbal, "C-4:44");
    } else {
        // Panning sweeps of the noise gate across the stereo field.
        Line(p, kEffectsChannel, 32, kNoiseRiser, "A-4:18,820");
        for (int row = 40; row < 63; ++row) Fx(p, row, kEffectsChannel, kEffectPanningSlide, 0x04);
        Line(p, kEffectsChannel, 63, kNoiseRiser, "==");
    }
    return p;
}

// Orders 11 and 12: strings, strummed electric piano and chimes, no kick.
XmPatternDesc Breakdown(bool turn) {
    XmPatternDesc p = EmptyPattern();
    SectionLevel(p, kQuietLevel);
    const Progression& chords = turn ? kBreakdownTurnChords : kBreakdownChords;
    Pads(p, chords, kStringPad, 24);
    if (!turn) {
        // Enter the strings past their slow attack, as if they had been playing already.
        for (int voice = 0; voice < 3; ++voice) {
            Fx(p, 0, kPadChannel1 + voice, kEffectEnvelopePosition, 30);
        }
    }
    Bass(p, chords, kSubBass, 1, "R...........=...", 28);
    // The electric piano strums each chord: each voice a tick later than the one below it.
    static const int strumDelayTicks[] = {0, 1, 2};
    for (int bar = 0; bar < 4; ++bar) {
        for (int voice = 0; voice < 3; ++voice) {
            const int channel = kLeadChannel + voice;
            for (int hit : {0, 6, 10}) {
                const int row = bar * 16 + hit;
                Note(p, row, channel, kElectricPiano,
                     Transposed(chords[bar]->pad[voice], 12), hit == 0 ? 22 : 15);
                // ED0 would never start the note, so the lowest voice plays undelayed.
                if (strumDelayTicks[voice] > 0) {
                    Fx(p, row, channel, kEffectExtended,
                       SubCommand(kExtendedNoteDelay, uint8_t(strumDelayTicks[voice])));
                }
            }
        }
    }
    Line(p, kEffectsChannel, 0, kChime,
         "E-6:20 . . . . . . . B-5:14 . . . . . . . | . . . . G-6:16 . . . . . . . . . . . |"
         "A-6:18 . . . . . . . E-6:12 . . . . . . . | . . . . C-6:14 . . . D-6:12 . . . . . . .");
    Drums(p, kPercussionChannel, 0,
          "..h...h...h...h...h...h...h...h...h...h...h...h...h...h...h..hhh", kKit);
    if (turn) {
        // The choir sings over the turn; its note cut ends the bar crisply.
        Phrase(p, kHatChannel, 0, kChoir, 20,
             "C-5 . . . . . . . . . . . . . . . | B-4 . . . . . . . D-5 . . . . . . . |"
             "A-4 . . . . . . . . . . . . . . . | G#4 . . . . . . . . . . . . . .,EC3 .");
        Line(p, kKickChannel, 56, kImpact, "C-4:40");
    }
    return p;
}

// Order 13: a last breath on row 0, then from row 1 the riser, the kick and a snare roll.
XmPatternDesc Rise() {
    XmPatternDesc p = EmptyPattern();
    // Row 0 still at the breakdown's level; then the global volume climbs 5 every eighth row,
    // back to full just before the climax.
    SectionLevel(p, kQuietLevel);
    GlobalSlide(p, 8, 0x10);
    for (int row = 16; row < 64; row += 8) GlobalSlide(p, row, 0x00);
    Pads(p, kRiseChords, kWarmPad, 18);
    // The pads swell bar by bar out of the breakdown's level.
    for (int bar = 1; bar < 4; ++bar) {
        for (int voice = 0; voice < 3; ++voice) {
            VolumeColumn(p, bar * 16, kPadChannel1 + voice, VolumeByte(18 + 5 * bar));
        }
    }
    Line(p, kBassChannel, 0, kSubBass, "A-1:30");
    Line(p, kEffectsChannel, 1, kNoiseRiser, "C-4:6,101");
    for (int row = 2; row < 63; ++row) {
        Fx(p, row, kEffectsChannel, kEffectPortaUp, 0x00);
        if (row % 4 == 0) VolumeColumn(p, row, kEffectsChannel, VolumeColumn(kVolumeFineUp, 1));
    }
    Drums(p, kKickChannel, 1,
          "...............K...K...K...k...k...k...k...k.k.k.k.k.k.k.k.kkkk", kKit);
    Drums(p, kPercussionChannel, 28, "tml", kKit);
    Phrase(p, kBassChannel, 16, kSawBass, 30, "F-2 . F-2 . F-2 . F-2 . F-2 . F-2 . F-2 . F-2 .");
    Phrase(p, kBassChannel, 32, kSawBass, 36, "G-2 . G-2 . G-2 . G-2 . G-2 . G-2 . G-2 . G-2 .");
    Phrase(p, kBassChannel, 48, kSawBass, 42, "E-2 . E-2 . E-2 . E-2 . E-2 E-2 E-2 E-2 E-2 E-2 E-2 E-2");
    // The roll: eighths, then sixteenths, the last bar retriggered with rising volume.
    Drums(p, kSnareChannel, 32, "s.g.s.g.s.g.s.g.|s.s.s.s.ssssssss", kKit);
    Fx(p, 56, kSnareChannel, kEffectMultiRetrigger, 0x93);
    for (int row = 57; row < 64; ++row) Fx(p, row, kSnareChannel, kEffectMultiRetrigger, 0x00);
    Line(p, kLeadChannel, 48, kReverseCymbal, ". . . . . . . . C-4:48");
    Line(p, kArpChannel, 0, kElectricPiano, "A-4:30,ED1");
    return p;
}

// Orders 14 to 17: the climax. The snare plays the rows the pictures swap on.
XmPatternDesc Climax(bool answer) {
    XmPatternDesc p = EmptyPattern();
    SectionLevel(p, 64);
    Drums(p, kKickChannel, 0, "k.....k.k.....k.k.....k.k.....k.k.....k.k.....k.k...k.....k.....",
          kKit);
    // The snare and a clap together play every row a picture swaps on: the backbeat and the
    // syncopations between, which the ear follows as the break's pattern.
    Drums(p, kSnareChannel, 0,
          "....s....S..s...|....s....S..s...|....s..S.S..s...|.........S..s.ss", kKit);
    Drums(p, kPercussionChannel, 0,
          "x...p....p..p...|....p....p..p...|....p..p.p..p...|.........p..p.pp", kKit);
    Drums(p, kHatChannel, 0, "x.cCo.cCc.cCo.cCc.cCo.cCc.cCo.cCx.cCo.cCc.cCo.cCc.cCo.cCc.cCo.cC",
          kKit);
    Bass(p, kThemeChords, kSawBass, 1, "R.RO.RR.OR.RO.RF", 52);
    Pads(p, kThemeChords, kWarmPad, 32);
    // The theme an octave up, with its echo on the other side.
    const char* theme = answer ? kThemeB : kThemeA;
    Phrase(p, kLeadChannel, 0, kSawLead, 60, theme);
    for (int row = 0; row < kRows; ++row) {
        NoteCell& cell = CellAt(p, row, kLeadChannel);
        if (cell.note != kNoteNone && cell.note != kFileNoteKeyOff) {
            cell.note = uint8_t(cell.note + 12);
        }
    }
    Fx(p, 0, kLeadChannel, kEffectSetPanning, 0x70);
    Echo(p, kLeadChannel, kEchoChannel, 3, 20);
    Fx(p, 0, kEchoChannel, kEffectSetPanning, 0xA8);
    Arpeggio(p, kArpChannel, kThemeChords, kPulseLead, "0123012301230123", 24);
    Fx(p, 0, kArpChannel, kEffectSetPanning, 0x50);
    // Brass answers the theme in the third bar and falls off with fine slides down.
    Line(p, kEffectsChannel, 0, kNoiseRiser, "==");
    Line(p, kEffectsChannel, 32, kBrassStab, "A-4:40 . . A-4:30 . . G-4:40 .,E28 .,E28");
    // The echo sits a sixteenth of a semitone sharp of the lead, which thickens both.
    for (int row = 0; row < kRows; ++row) {
        NoteCell& cell = CellAt(p, row, kEchoChannel);
        if (cell.note != kNoteNone && cell.note != kFileNoteKeyOff) {
            cell.effect = kEffectExtraFinePorta;
            cell.parameter = SubCommand(kExtraFinePortaUp, 4);
        }
    }
    if (answer) Line(p, kEffectsChannel, 56, kReverseCymbal, "C-4:44");
    return p;
}

// Order 18: the calm outro, which jumps to itself on its last row and plays for ever.
XmPatternDesc Outro() {
    XmPatternDesc p = EmptyPattern();
    SectionLevel(p, kOutroLevel);
    Pads(p, kThemeChords, kWarmPad, 20);
    Bass(p, kThemeChords, kSubBass, 1, "R...............", 24);
    Drums(p, kKickChannel, 0, "K...............................K...............................",
          kKit);
    Drums(p, kPercussionChannel, 0,
          "....h.......h.......h.......h.......h.......h.......h.......h...", kKit);
    for (int bar = 0; bar < 4; ++bar) {
        Note(p, bar * 16, kLeadChannel, kElectricPiano, NoteByte(kThemeChords[bar]->arp[1]), 22);
        Note(p, bar * 16 + 8, kLeadChannel, kElectricPiano, NoteByte(kThemeChords[bar]->arp[2]),
             20);
        Fx(p, bar * 16 + 8, kLeadChannel, kEffectExtended, SubCommand(kExtendedFineVolumeDown, 4));
    }
    Line(p, kArpChannel, 0, kChime,
         "E-6:16 . . . . . . . . . . . . . . . | C-6:14 . . . . . . . . . . . . . . . |"
         "G-6:14 . . . . . . . . . . . . . . . | D-6:12 . . . . . . . . . . . . . . .");
    Phrase(p, kEchoChannel, 32, kSawLead, 16,
         "E-5 . . . . . . . . . . .,A01 . . . . | D-5,304 .,501 . . . . . . . . . .,K00 . . .");
    Fx(p, 63, kEffectsChannel, kEffectPositionJump, kOrderCount - 1);
    return p;
}

}  // namespace

const std::vector<uint8_t>& SongOrders() {
    static const std::vector<uint8_t> orders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                                10, 11, 12, 13, 14, 15, 14, 15, 16};
    return orders;
}

XmModuleDesc ComposeSong() {
    XmModuleDesc song;
    song.name = "novaline";
    song.trackerName = "novaline composer";
    song.channelCount = kChannels;
    song.flags = kLinearFrequencyFlag;
    song.defaultSpeed = kSongSpeed;
    song.defaultBpm = kSongBpm;
    song.orders = SongOrders();
    song.patterns = {
        Opening(),     Intro(1),      Intro(2),     Intro(3),        Intro(4),     Theme(false),
        Theme(true),   Change(false), Change(true), Flare(false),    Flare(true),  Breakdown(false),
        Breakdown(true), Rise(),      Climax(false), Climax(true),   Outro(),
    };
    song.instruments = BuildInstruments();
    return song;
}

std::vector<uint8_t> ComposeSongBytes() { return WriteXm(ComposeSong()); }

}  // namespace composer
