// The whole show against its recorded digest: per scene and flash, the SHA-256 of its frames and
// of its sound. Any change to a pixel or a sample of the show fails here, naming the stretch; a
// change meant is recorded again, deliberately, with the command the digest file names.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "director/timeline.h"
#include "tools/capture/show_digest.h"
#include "whole_show.h"

namespace {

constexpr char kRecordCommand[] =
    "build/tools/capture/novaline-capture --quiet -f --digest tests/director/show_digest.txt";

ShowDigest digest;

void DigestFrame(const uint8_t* screen, int32_t pitchBytes, uint64_t frame) {
    NoteDigestFrame(&digest, frame, CurrentScene(), screen,
                    static_cast<size_t>(pitchBytes) * 200);
}

void DigestSound(const int16_t* frames, uint32_t count) { NoteDigestSound(&digest, frames, count); }

const bool recorderAdded = [] {
    StartShowDigest(&digest);
    return AddWholeShowRecorder({DigestFrame, DigestSound, nullptr});
}();

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

TEST(ShowDigest, EverySceneAndFlashAsRecorded) {
    ASSERT_TRUE(recorderAdded);
    ASSERT_EQ(RunWholeShowOnce(), 0);
    std::ifstream file(SHOW_DIGEST_PATH);
    ASSERT_TRUE(file) << "no recorded digest at " << SHOW_DIGEST_PATH << "; record it with\n  "
                      << kRecordCommand;
    std::stringstream recorded;
    recorded << file.rdbuf();
    const std::vector<std::string> want = Lines(recorded.str());
    const std::vector<std::string> got = Lines(FinishShowDigest(&digest));
    for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        EXPECT_EQ(i < got.size() ? got[i] : "(none)", i < want.size() ? want[i] : "(none)")
            << "stretch " << i + 1 << " of the show differs from the recording";
    }
    if (HasFailure()) {
        std::printf("A change meant to the picture or the sound is recorded again with\n  %s\n",
                    kRecordCommand);
    }
}

}  // namespace
