#include "tools/capture/show_digest.h"

#include <cstdio>

#include "platform/audio_device.h"

void StartShowDigest(ShowDigest* digest) {
    *digest = ShowDigest{};
    for (size_t i = 0; i < kMaxSegments; ++i) {
        StartSha256(&digest->picture[i]);
        StartSha256(&digest->sound[i]);
    }
}

void NoteDigestFrame(ShowDigest* digest, uint64_t frame, int32_t scene, const uint8_t* screen,
                     size_t screenBytes) {
    NoteSegmentFrame(&digest->segments, frame, scene);
    UpdateSha256(&digest->picture[digest->segments.count - 1], screen, screenBytes);
}

void NoteDigestSound(ShowDigest* digest, const int16_t* frames, uint32_t count) {
    if (digest->segments.count == 0) return;
    const size_t at = digest->segments.count - 1;
    UpdateSha256(&digest->sound[at], frames, size_t{count} * kBytesPerStereoFrame);
    digest->soundFrames[at] += count;
}

std::string FinishShowDigest(ShowDigest* digest) {
    std::string text =
        "# per scene and flash: first frame+frames, SHA-256 of the frames (RGB 5-6-5), sound "
        "frames played with them and their SHA-256 (16-bit stereo)\n";
    for (size_t i = 0; i < digest->segments.count; ++i) {
        const ShowSegment& s = digest->segments.segments[i];
        char head[96];
        std::snprintf(head, sizeof head, "%s %d frames %llu+%llu picture ",
                      s.scene ? "scene" : "flash", s.scene ? s.scene : s.flash,
                      static_cast<unsigned long long>(s.firstFrame),
                      static_cast<unsigned long long>(s.frameCount));
        char sound[40];
        std::snprintf(sound, sizeof sound, " sound %llu ",
                      static_cast<unsigned long long>(digest->soundFrames[i]));
        text += head + FinishSha256(&digest->picture[i]) + sound + FinishSha256(&digest->sound[i]) +
                "\n";
    }
    return text;
}
