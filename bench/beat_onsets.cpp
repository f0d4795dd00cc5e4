// How closely the pictures follow the drums, measured on what the capture records: the drum
// onset of every beat row found in the capture's WAV, against the video frame that first shows
// that beat (a scene change, a mesh beat, a pulse, a picture swap). The frames are found by
// running the show here exactly as the capture runs it, at 70 fps on the headless platform, and
// noting the song position each frame was drawn with; frame n is on screen from n / 70 s.
//   build/tools/capture/novaline-capture --wav show.wav
//   build/bench/beat_onsets show.wav
// Prints one line per beat and the worst difference in ms (positive: the picture comes late).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "director/entry.h"
#include "director/timeline.h"
#include "platform/headless.h"
#include "platform/keyboard.h"
#include "show/beat_tables.h"
#include "show/song_clock.h"

namespace {

constexpr int32_t kRateHz = 44100;
constexpr int32_t kFps = kShowFramesPerSecond;
constexpr int32_t kHopFrames = 44;        // about 1 ms of sound per energy step
constexpr int32_t kSearchHops = 40;       // onsets looked for within 40 hops of the frame
constexpr int32_t kHistoryHops = 8;       // the level a rise is measured against
constexpr uint64_t kEscapeFrame = 10200;  // well into scene 8: every beat has been shown

std::vector<uint32_t> drawnWith;  // per presented frame
std::string scenes;               // per presented frame: '1'..'8', or 'w' for a flash

void NoteCall(PlatformCall call) {
    if (call == PlatformCall::PresentFrame) drawnWith.push_back(GetSongPosition());
}

void NoteFrame(const uint8_t*, int32_t, uint64_t) {
    const int32_t scene = CurrentScene();
    scenes += scene ? static_cast<char>('0' + scene) : 'w';
}

// The WAV's samples as mono, from the 44-byte header the capture writes.
bool ReadMono(const char* path, std::vector<float>* mono) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 44 || std::string(bytes.data(), 4) != "RIFF") return false;
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.data() + 44);
    const size_t frames = (bytes.size() - 44) / 4;
    mono->resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        (*mono)[i] = 0.5f * (static_cast<float>(samples[2 * i]) + samples[2 * i + 1]);
    }
    return true;
}

// Energy of the sound's first difference per 1 ms: a drum's attack stands out of sustained notes.
std::vector<double> AttackEnergy(const std::vector<float>& mono) {
    std::vector<double> energy(mono.size() / kHopFrames);
    for (size_t h = 0; h < energy.size(); ++h) {
        double sum = 0;
        for (size_t i = h * kHopFrames + (h == 0); i < (h + 1) * kHopFrames; ++i) {
            const double d = mono[i] - mono[i - 1];
            sum += d * d;
        }
        energy[h] = sum;
    }
    return energy;
}

// The hop near `centreHop` where the attack energy rises most over the level just before it.
int64_t OnsetHop(const std::vector<double>& energy, int64_t centreHop) {
    int64_t best = -1;
    double bestRise = 0;
    const int64_t last = static_cast<int64_t>(energy.size()) - 1;
    for (int64_t h = std::max<int64_t>(centreHop - kSearchHops, kHistoryHops);
         h <= std::min(centreHop + kSearchHops, last); ++h) {
        double before = 0;
        for (int64_t k = h - kHistoryHops; k < h; ++k) before = std::max(before, energy[k]);
        const double rise = energy[h] / (before + 1e3);
        if (rise > bestRise) {
            bestRise = rise;
            best = h;
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<float> mono;
    if (argc != 2 || !ReadMono(argv[1], &mono)) {
        std::fprintf(stderr, "usage: beat_onsets CAPTURE.wav (novaline-capture --wav, 70 fps)\n");
        return 2;
    }
    const KeyStep steps[] = {{kEscapeFrame, false, {DIK_ESCAPE}}};
    HeadlessSetup setup;
    setup.sink = NoteFrame;
    setup.callHook = NoteCall;
    setup.keySchedule = steps;
    setup.keyStepCount = 1;
    SetUpHeadless(setup);
    if (RunDemo() != 0) return 1;

    struct Beat {
        const char* kind;
        uint32_t position;
        size_t frame;
    };
    std::vector<Beat> beats;
    // A scene's end shows in the frame after its last: a flash, or the next scene.
    for (int32_t s = 1; s < kSceneCount; ++s) {
        beats.push_back({"scene end", showScenes[s - 1].endPosition,
                         scenes.rfind(static_cast<char>('0' + s)) + 1});
    }
    const auto firstDrawn = [](const char* kind, const auto& rows, std::vector<Beat>* out) {
        for (const uint32_t position : rows) {
            const auto at = std::find(drawnWith.begin(), drawnWith.end(), position);
            out->push_back({kind, position, static_cast<size_t>(at - drawnWith.begin())});
        }
    };
    firstDrawn("mesh beat", meshBeatPositions, &beats);
    firstDrawn("pulse", pulsePositions, &beats);
    firstDrawn("swap", swapPositions, &beats);

    const std::vector<double> energy = AttackEnergy(mono);
    double worst = 0;
    std::printf("kind        position  frame  shown_ms   onset_ms  shown-onset_ms\n");
    for (const Beat& beat : beats) {
        const double shownMs = 1000.0 * static_cast<double>(beat.frame) / kFps;
        const auto shownFrame = static_cast<int64_t>(beat.frame) * (kRateHz / kFps);
        const int64_t hop = OnsetHop(energy, shownFrame / kHopFrames);
        if (beat.frame >= drawnWith.size() || hop < 0) {
            std::printf("%-10s  %04X      not found\n", beat.kind, beat.position);
            continue;
        }
        const double onsetMs = static_cast<double>(hop * kHopFrames) * 1000.0 / kRateHz;
        const double difference = shownMs - onsetMs;
        if (std::fabs(difference) > std::fabs(worst)) worst = difference;
        std::printf("%-10s  %04X  %6zu  %9.1f  %9.1f  %+7.1f\n", beat.kind, beat.position,
                    beat.frame, shownMs, onsetMs, difference);
    }
    std::printf("%zu beats: worst shown minus onset %+.1f ms (a frame is %.1f ms)\n", beats.size(),
                worst, 1000.0 / kFps);
    return 0;
}
