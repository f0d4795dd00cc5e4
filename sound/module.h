// The records a loaded XM module lives in while it plays.
//
// Every record is allocated value-initialised (all numbers 0, all pointers null); a field that no
// operation sets keeps that zero. Songs and Voices sit on circular lists with a sentinel head.
#pragma once

#include <atomic>
#include <cstdint>

#include "sound/xm_format.h"

// Two links at the start of every listed record. An unlinked node points at itself with both.
struct ListNode {
    ListNode* next = nullptr;
    ListNode* prev = nullptr;
};

// Makes `node` the predecessor of `before`; inserting before the sentinel head appends at the tail.
void ListInsertBefore(ListNode* node, ListNode* before);
// Takes `node` out of its list and leaves it self-linked; a self-linked node stays as it is.
void ListUnlink(ListNode* node);
// Points both links of a node at itself: a fresh node or an empty list head.
void ListMakeSelfLinked(ListNode* node);

constexpr int kMaxInstrumentNumber = 128;

struct NoteCell {
    uint8_t note;        // 0 none, 1..96 (1 = C-0), 255 key off
    uint8_t instrument;  // 0 none, 1..128
    uint8_t volume;      // volume-column byte as in the file
    uint8_t effect;
    uint8_t parameter;
};
static_assert(sizeof(NoteCell) == 5, "a cell is the file's five bytes");

struct Pattern {
    int32_t rows;
    NoteCell* cells;  // rows x channelCount, row-major
};

struct EnvelopePoint {
    uint16_t x;  // position in ticks
    uint16_t y;  // value
};

constexpr int kEnvelopeFilePoints = 12;  // points an XM instrument header holds
constexpr int kEnvelopePoints = 20;      // points a record holds; those past the file's 12 stay zero

// Loop types of a loaded Sample.
constexpr uint8_t kLoopNone = 1;
constexpr uint8_t kLoopForward = 2;
constexpr uint8_t kLoopPingPong = 4;

// Values past `length` that every loaded sample buffer carries, so interpolation may read one past
// the loop end without a bounds check.
constexpr uint32_t kSampleGuardValues = 8;

struct Sample {
    int16_t* data;        // length + kSampleGuardValues values; null when length is 0
    uint32_t length;      // in values, not bytes
    uint32_t loopStart;   // in values
    uint32_t loopLength;  // in values; never 0 unless length is 0
    uint8_t volume;       // 0..64
    int8_t finetune;
    int32_t panning;      // 0..255
    uint8_t bits;         // 8 or 16 as the header says; 16 once the data is loaded
    uint8_t loopType;     // kLoopNone, kLoopForward or kLoopPingPong
    int8_t relativeNote;  // semitones
};

// Shared all-zero Sample for unused instrument slots; never freed, never holds data.
extern Sample emptySample;

constexpr int kMaxSamplesPerInstrument = 16;

struct Instrument {
    int32_t sampleCount;                         // 0..16
    Sample* samples[kMaxSamplesPerInstrument];   // owned up to sampleCount, emptySample after
    uint8_t sampleForNote[kNoteCount];           // index into samples; 16 or more means emptySample
    EnvelopePoint volumeEnvelope[kEnvelopePoints];
    EnvelopePoint panningEnvelope[kEnvelopePoints];
    uint8_t volumePointCount;
    uint8_t panningPointCount;
    uint8_t volumeSustain;
    uint8_t volumeLoopStart;
    uint8_t volumeLoopEnd;
    uint8_t panningSustain;
    uint8_t panningLoopStart;
    uint8_t panningLoopEnd;
    uint8_t volumeType;   // kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop (xm_format.h)
    uint8_t panningType;
    uint8_t vibratoType;  // 0 sine, 1 square, 2 ramp down, 3 ramp up
    uint8_t vibratoSweep;
    uint8_t vibratoDepth;
    uint8_t vibratoRate;
    uint16_t fadeout;     // the file's fadeout doubled
};

struct Channel;  // the replay's per-channel state
struct Song;

using TickCallback = void (*)(Song* song);
// Supplies plain (not delta-coded) sample values for a sample instead of the file's bytes.
using SampleDataHook = void (*)(void* destination, uint32_t bytes, int bits, int instrumentIndex,
                                int sampleIndex);

constexpr int kOrderTableSize = 256;
constexpr int kMaxChannels = 256;   // one Voice per channel

// A module with its playback position and timing. The 16-bit header fields are unsigned: the file
// stores them so, and a BPM or restart position of 40000 must not turn negative.
struct Song : ListNode {
    Pattern* patterns;          // patternSlots entries
    Instrument* instruments;    // instrumentCount entries
    Channel* channels;          // channelCount entries while started, else null
    int32_t samplesLeftInTick;  // output frames before the next tick; 0 = tick due
    int32_t samplesPerTick;
    uint16_t songLength;        // 0..256 order entries played
    uint16_t restartPosition;
    uint16_t channelCount;      // 1..256
    int32_t patternsReferenced; // 1 + the largest pattern number among the played orders
    int32_t patternSlots;       // max(file's pattern count, patternsReferenced)
    uint16_t instrumentCount;
    uint16_t flags;             // bit 0: linear frequency table
    uint16_t defaultSpeed;
    uint16_t defaultBpm;
    uint8_t orderTable[kOrderTableSize];
    uint8_t initialGlobalVolume;
    int32_t globalVolume;       // 0..64
    uint8_t globalVolumeSlideMemory;
    uint8_t playing;
    int32_t tick;
    int32_t speed;
    int32_t bpm;
    // Written by the replay on the mixing thread, read by the director without a lock.
    std::atomic<int32_t> row;
    std::atomic<int32_t> order;
    // Tells this start's sound apart in the output's record of what is heard, so that a restart,
    // or a new Song at a freed one's address, never takes over an earlier start's rows. Set by
    // StartSong from a process-wide count; 0 for a Song never started.
    std::atomic<uint32_t> startSerial;
    // (order << 8) | row while no block of this start is being heard: 0 from the start until its
    // first block reaches the loudspeaker, where it stood when stopped or when the output was
    // closed or reopened under it.
    std::atomic<uint32_t> quietPosition;
    int32_t patternDelay;
    int32_t nextRow;            // -1 = no change at the next row start
    int32_t nextOrder;
    TickCallback tickCallback;
    SampleDataHook sampleDataHook;
};
