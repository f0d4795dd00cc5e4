#include "replay/envelope.h"

#include <algorithm>

#include "replay/channel.h"
#include "sound/module.h"

namespace {

constexpr int32_t kEnvelopeMax = 64;
constexpr int kValueFracBits = 16;

// Envelope values are 0..64; a damaged file's larger y would overflow the 16.16 value.
int32_t PointY(const EnvelopeShape& shape, int32_t k) {
    return std::min<int32_t>(shape.points[k].y, kEnvelopeMax);
}

int32_t PointX(const EnvelopeShape& shape, int32_t k) { return shape.points[k].x; }

// The output a 16.16 value stands for. For a well-formed envelope the value never leaves the
// span of its points; the clamp only keeps damaged ones inside 0..64.
int32_t OutputOf(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value >> kValueFracBits, 0, kEnvelopeMax));
}

// The 16.16 change per tick from point k to point k + 1; 0 for points at the same tick.
int32_t SegmentStep(const EnvelopeShape& shape, int32_t k) {
    const int64_t dx = PointX(shape, k + 1) - PointX(shape, k);
    if (dx == 0) return 0;
    // Truncated toward zero, so a segment never overshoots its end point.
    return static_cast<int32_t>((static_cast<int64_t>(PointY(shape, k + 1) - PointY(shape, k))
                                 << kValueFracBits) / dx);
}

}  // namespace

EnvelopeState VolumeEnvelopeState(Channel* c) {
    return {&c->volEnvTick,   &c->volEnvPoint,   &c->volEnvValueQ16,
            &c->volEnvOutput, &c->volEnvStepQ16, &c->volEnvDone};
}

EnvelopeState PanningEnvelopeState(Channel* c) {
    return {&c->panEnvTick,   &c->panEnvPoint,   &c->panEnvValueQ16,
            &c->panEnvOutput, &c->panEnvStepQ16, &c->panEnvDone};
}

EnvelopeShape VolumeEnvelopeShape(const Instrument* in) {
    return {in->volumeEnvelope, in->volumePointCount, in->volumeSustain, in->volumeLoopStart,
            in->volumeLoopEnd, in->volumeType};
}

EnvelopeShape PanningEnvelopeShape(const Instrument* in) {
    return {in->panningEnvelope, in->panningPointCount, in->panningSustain, in->panningLoopStart,
            in->panningLoopEnd, in->panningType};
}

void StepEnvelope(Channel* channel, const EnvelopeState& s, const EnvelopeShape& shape,
                  uint8_t updateBit) {
    channel->updateFlags |= updateBit;
    int32_t& i = *s.point;
    int32_t& t = *s.tick;
    const int32_t n = shape.pointCount;
    // Reached at or past the point's tick: the same as "at" for rising points, and a segment
    // whose points do not rise ends at once instead of running for ever.
    if (i >= n || t < PointX(shape, i)) {
        if (i < n) *s.valueQ16 += *s.stepQ16;
        *s.output = OutputOf(*s.valueQ16);
        t += 1;
        return;
    }
    if ((shape.type & kEnvelopeLoop) && i == shape.loopEnd) {
        if (shape.loopStart == shape.loopEnd) {
            // A loop of one point: jumping back would land on the same point for ever. Hold it,
            // through key-off too.
            *s.output = PointY(shape, i);
            return;
        }
        i = shape.loopStart;
        t = PointX(shape, i);
    }
    if (i == n - 1) {
        *s.output = PointY(shape, i);
        *s.done = 1;
        return;
    }
    if ((shape.type & kEnvelopeSustain) && i == shape.sustain && !channel->keyOff) {
        *s.output = PointY(shape, i);
        return;
    }
    *s.stepQ16 = SegmentStep(shape, i);
    *s.valueQ16 = PointY(shape, i) << kValueFracBits;
    *s.output = PointY(shape, i);
    i += 1;
    t += 1;
}

void RepositionVolumeEnvelope(Channel* channel, const Instrument* instrument, int32_t position) {
    if (!(instrument->volumeType & kEnvelopeOn)) return;
    const EnvelopeShape shape = VolumeEnvelopeShape(instrument);
    const int32_t n = shape.pointCount;
    int32_t j = 0;
    // Points past those read from the file are zero, so the search stops there at the latest.
    while (j < n && position > PointX(shape, j + 1)) ++j;
    channel->volEnvPoint = j;
    if (j >= n - 1) {
        channel->volEnvOutput = PointY(shape, n - 1);
        channel->volEnvDone = 1;
        return;
    }
    channel->volEnvDone = 0;
    channel->volEnvTick = position;
    channel->volEnvStepQ16 = SegmentStep(shape, j);
    const int64_t value =
        (static_cast<int64_t>(PointY(shape, j)) << kValueFracBits) +
        static_cast<int64_t>(position - PointX(shape, j)) * channel->volEnvStepQ16;
    channel->volEnvValueQ16 = static_cast<int32_t>(
        std::clamp<int64_t>(value, 0, static_cast<int64_t>(kEnvelopeMax) << kValueFracBits));
    channel->volEnvPoint = j + 1;
    channel->volEnvOutput = OutputOf(channel->volEnvValueQ16);
}
