// SPDX-License-Identifier: ISC
// How much each channel of a file counts towards its loudness, from where
// its channels play (ITU-R BS.1770-4): the front channels 1, the surround
// channels beside and behind the listener (60 to 120 degrees off centre)
// 1.41, the LFE not at all.
#ifndef TOLVANIC_TOOLS_CHANNEL_WEIGHTS_H
#define TOLVANIC_TOOLS_CHANNEL_WEIGHTS_H

#include <string>
#include <vector>

struct ChannelWeights {
  std::vector<double> weights; // one per channel
  std::string note; // how they were weighted when their places are unknown
};

// `positions` is the file's channel map (libsndfile's SF_CHANNEL_MAP_*
// values), empty when it has none. Without one, 2 channels are L R, 5 are
// L R C Ls Rs and 6 are L R C LFE Ls Rs. A one-channel file counts once,
// or twice when `dual_mono`, as heard on two speakers.
ChannelWeights channel_weights(const std::vector<int>& positions,
                               int channels,
                               bool dual_mono);

#endif
