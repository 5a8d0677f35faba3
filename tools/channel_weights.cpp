// SPDX-License-Identifier: ISC
#include "channel_weights.h"

#include <sndfile.h>

#include <algorithm>

namespace {

constexpr double FRONT = 1.0, SURROUND = 1.41, LFE = 0.0;

// The weight of a channel at `position`, or -1 where it has no place
// among speakers (an ambisonic component, an unknown value). The rear
// pair sits at the surround angles unless the layout has side channels
// too (7.1), which then take those angles and push it further back.
double weight_at(int position, bool with_sides)
{
  switch (position) {
    case SF_CHANNEL_MAP_LFE: return LFE;
    case SF_CHANNEL_MAP_SIDE_LEFT:
    case SF_CHANNEL_MAP_SIDE_RIGHT: return SURROUND;
    case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_REAR_RIGHT: return with_sides ? FRONT : SURROUND;
    case SF_CHANNEL_MAP_MONO:
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_CENTER:
    case SF_CHANNEL_MAP_FRONT_LEFT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_FRONT_CENTER:
    case SF_CHANNEL_MAP_REAR_CENTER:
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
    case SF_CHANNEL_MAP_TOP_CENTER:
    case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
    case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_TOP_FRONT_CENTER:
    case SF_CHANNEL_MAP_TOP_REAR_LEFT:
    case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
    case SF_CHANNEL_MAP_TOP_REAR_CENTER: return FRONT;
    default: return -1.0;
  }
}

std::vector<double> by_count(int channels)
{
  switch (channels) {
    case 5: return { FRONT, FRONT, FRONT, SURROUND, SURROUND };
    case 6: return { FRONT, FRONT, FRONT, LFE, SURROUND, SURROUND };
    default: return std::vector<double>(static_cast<size_t>(channels), FRONT);
  }
}

} // namespace

ChannelWeights channel_weights(const std::vector<int>& positions,
                               int channels,
                               bool dual_mono)
{
  ChannelWeights found;
  const auto has = [&](int position) {
    return std::find(positions.begin(), positions.end(), position) !=
           positions.end();
  };
  const bool with_sides =
    has(SF_CHANNEL_MAP_SIDE_LEFT) || has(SF_CHANNEL_MAP_SIDE_RIGHT);
  bool placed = static_cast<int>(positions.size()) == channels;
  for (int c = 0; placed && c < channels; ++c) {
    const double weight =
      weight_at(positions[static_cast<size_t>(c)], with_sides);
    placed = weight >= 0.0;
    found.weights.push_back(weight);
  }
  if (!placed) {
    found.weights = by_count(channels);
    const bool known = positions.empty() && channels <= 2;
    if (!known && !(positions.empty() && (channels == 5 || channels == 6))) {
      found.note = "its " + std::to_string(channels) +
                   " channels have no places a loudness meter knows (" +
                   (positions.empty() ? "no channel map"
                                      : "a channel map it cannot place") +
                   "): each counts 1 towards its loudness";
    }
  }
  if (dual_mono && channels == 1) found.weights[0] *= 2.0;
  return found;
}
