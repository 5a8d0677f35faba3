// SPDX-License-Identifier: ISC
#include "demo_signal.h"

#include <algorithm>
#include <cmath>

namespace {

class DemoSignal final : public AudioSource {
public:
  int channels() const override { return 1; }
  double rate() const override { return RATE; }
  int64_t frames() const override { return to_frame(END); }
  std::string description() const override
  {
    return "demo signal: 1 kHz at -6 dBFS to 0.5 s, silence to 2 s, "
           "440 Hz at -20 dBFS to 3 s, reset at 2.5 s";
  }
  std::vector<double> reset_times() const override { return { RESET }; }
  bool seekable() const override { return true; }
  void seek(int64_t frame) override { position_ = frame; }

  int64_t read(float* samples, int64_t, int64_t frames, int, int) override
  {
    const int64_t count =
      std::max<int64_t>(0, std::min(frames, to_frame(END) - position_));
    for (int64_t i = 0; i < count; ++i, ++position_) {
      samples[i] = sample(position_);
    }
    return count;
  }

private:
  static constexpr double RATE = 48000.0;
  static constexpr double TONE_END = 0.5, BURST_START = 2.0, END = 3.0;
  static constexpr double RESET = 2.5;

  static int64_t to_frame(double seconds)
  {
    return static_cast<int64_t>(seconds * RATE);
  }
  static float sample(int64_t frame)
  {
    const double t = static_cast<double>(frame) / RATE;
    const double two_pi = 2.0 * M_PI;
    if (frame < to_frame(TONE_END)) {
      return static_cast<float>(0.5 * std::sin(two_pi * 1000.0 * t));
    }
    if (frame < to_frame(BURST_START)) return 0.0f;
    return static_cast<float>(0.1 * std::sin(two_pi * 440.0 * t));
  }

  int64_t position_ = 0;
};

} // namespace

std::unique_ptr<AudioSource> make_demo_signal()
{
  return std::make_unique<DemoSignal>();
}
