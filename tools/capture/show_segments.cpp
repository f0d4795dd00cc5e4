#include "tools/capture/show_segments.h"

void NoteSegmentFrame(SegmentLog* log, uint64_t frame, int32_t scene) {
    if (log->count > 0) {
        ShowSegment& last = log->segments[log->count - 1];
        // A scene run again straight after itself cannot happen: each scene runs once.
        if (last.scene == scene && last.firstFrame + last.frameCount == frame) {
            ++last.frameCount;
            return;
        }
    }
    if (log->count == kMaxSegments) return;
    const int32_t flash = scene == 0 ? ++log->flashes : 0;
    log->segments[log->count++] = ShowSegment{scene, flash, frame, 1};
}
