// The song: its order list, its 17 patterns and the module around them. The show's clock runs on
// this layout: 19 orders of 64-row patterns, order 0 broken off after row 31, speed 6 at 118 BPM,
// and order 18 jumping to itself on its last row.
#pragma once

#include <cstdint>
#include <vector>

#include "sound/xm_writer.h"

namespace composer {

constexpr int kOrderCount = 19;
constexpr int kPatternCount = 17;
constexpr uint16_t kSongSpeed = 6;
constexpr uint16_t kSongBpm = 118;

// Channels by role.
enum ChannelRole : int {
    kKickChannel = 0,
    kSnareChannel,
    kHatChannel,
    kPercussionChannel,
    kBassChannel,
    kPadChannel1,
    kPadChannel2,
    kPadChannel3,
    kLeadChannel,
    kEchoChannel,
    kArpChannel,
    kEffectsChannel,
};

// The order list: which pattern each of the 19 orders plays.
const std::vector<uint8_t>& SongOrders();
XmModuleDesc ComposeSong();
std::vector<uint8_t> ComposeSongBytes();

}  // namespace composer
