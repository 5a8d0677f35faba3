// SPDX-License-Identifier: ISC
// The scale shared by the loudness measurements of ITU-R BS.1770-4 and
// EBU R128: the 10 ms step they are computed in, and LUFS.
#ifndef TOLVANIC_TOOLS_LOUDNESS_UNITS_H
#define TOLVANIC_TOOLS_LOUDNESS_UNITS_H

#include <algorithm>
#include <cmath>
#include <cstdint>

// Blocks and windows below this take no part in the integrated loudness
// or the loudness range.
constexpr double ABSOLUTE_GATE_LUFS = -70.0;

// Frames per step of 10 ms, at least 1.
inline int64_t loudness_step_frames(double rate)
{
  // 150 Hz is the lowest rate whose step rounds to 2 frames; the upper
  // limit keeps a nonsensical rate from overflowing the conversion.
  return rate >= 150.0 ? std::llround(std::min(rate, 1e15) / 100.0) : 1;
}

// The loudness of a channel-weighted mean square of K-weighted samples;
// -infinity for 0.
inline double lufs(double mean_square)
{
  return -0.691 + 10.0 * std::log10(mean_square);
}

#endif
