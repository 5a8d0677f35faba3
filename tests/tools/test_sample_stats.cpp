// SPDX-License-Identifier: ISC
// The command's own count of a channel's samples, against a plain count.
#include "sample_stats.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();
const float NOT_A_NUMBER = std::nanf("");
// A double beyond float range, as a file's 64-bit sample reads as float.
const auto BEYOND = static_cast<float>(1e39);

struct Case {
  const char* name;
  std::vector<float> samples;
  float peak;
  int64_t peak_frame, finite, nonfinite, first_nonfinite, clipped;
};

// Twenty samples, so that both the eight-wide sums and the tail run.
std::vector<float> with(std::vector<std::pair<size_t, float>> at)
{
  std::vector<float> samples(20, 0.25f);
  for (const auto& [index, value] : at)
    samples[index] = value;
  return samples;
}

TEST(SampleStats, CountsFiniteSamplesAndSetsTheRestApart)
{
  const Case cases[] = {
    { "plain", with({ { 5, -0.5f } }), 0.5f, 5, 20, 0, -1, 0 },
    { "NaN", with({ { 3, NOT_A_NUMBER } }), 0.25f, 0, 19, 1, 3, 0 },
    { "infinities",
      with({ { 9, INF }, { 17, -INF }, { 12, 0.75f } }),
      0.75f,
      12,
      18,
      2,
      9,
      0 },
    { "beyond float range", with({ { 19, BEYOND } }), 0.25f, 0, 19, 1, 19, 0 },
    { "largest float", with({ { 2, -FLT_MAX } }), FLT_MAX, 2, 20, 0, -1, 1 },
    { "full scale",
      with({ { 4, 1.0f }, { 8, -1.0f } }),
      1.0f,
      4,
      20,
      0,
      -1,
      2 },
    { "silence", std::vector<float>(20, 0.0f), 0.0f, -1, 20, 0, -1, 0 },
    { "only NaN", { NOT_A_NUMBER, NOT_A_NUMBER }, 0.0f, -1, 0, 2, 0, 0 },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SampleStats stats;
    // In two calls, the second starting at frame 7, as chunks come.
    const auto half =
      static_cast<int64_t>(std::min<size_t>(7, c.samples.size()));
    stats.add(c.samples.data(), half, 0);
    stats.add(c.samples.data() + half,
              static_cast<int64_t>(c.samples.size()) - half,
              half);
    EXPECT_EQ(stats.peak, c.peak);
    EXPECT_EQ(stats.peak_frame, c.peak_frame);
    EXPECT_EQ(stats.finite, c.finite);
    EXPECT_EQ(stats.nonfinite, c.nonfinite);
    EXPECT_EQ(stats.first_nonfinite, c.first_nonfinite);
    EXPECT_EQ(stats.clipped, c.clipped);

    // The RMS of the finite samples only, over their count.
    double sum = 0.0;
    for (float x : c.samples) {
      if (std::isfinite(x))
        sum += static_cast<double>(x) * static_cast<double>(x);
    }
    const double rms =
      c.finite > 0 ? std::sqrt(sum / static_cast<double>(c.finite)) : 0.0;
    EXPECT_DOUBLE_EQ(stats.rms(), rms);
    EXPECT_TRUE(std::isfinite(stats.rms()));
  }
}

} // namespace
