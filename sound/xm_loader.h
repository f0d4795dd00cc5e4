// Reads an Extended Module (XM) file into a Song.
#pragma once

struct Song;
struct Stream;

// Fills a fresh, zero-filled Song (its sampleDataHook already set) from the stream. False when the
// file is not an XM module or is one this engine refuses; the Song then holds what was loaded so
// far and must be released with FreeSong.
bool LoadXm(Song* song, Stream* stream);

// Why the last LoadXm on this thread returned false (None after a success), for tools that tell
// the user what is wrong with a file.
enum class XmLoadError {
    None,
    NotXm,                 // the ID text is missing
    SongTooLong,           // more than 256 order entries
    BadChannelCount,       // 0 or more than 256 channels
    TooManyPatterns,       // more than 256
    TooManyInstruments,    // more than 128
    TooManyRows,           // a pattern of more than 256 rows
    TooManySamples,        // an instrument with more than 16 samples
    OldVersion,            // a format version before 1.04, whose layout differs
};
XmLoadError LastXmLoadError();
// What the error means; for OldVersion it names the version of the last refused file.
const char* XmLoadErrorText(XmLoadError error);
