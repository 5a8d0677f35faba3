// SPDX-License-Identifier: ISC
#include "sources.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

class SoundFile final : public AudioSource {
public:
  SoundFile(SNDFILE* file, const SF_INFO& info, std::string path)
    : file_(file)
    , info_(info)
    , path_(std::move(path))
  {}
  ~SoundFile() override { sf_close(file_); }
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  int channels() const override { return info_.channels; }
  double rate() const override { return info_.samplerate; }
  int64_t frames() const override
  {
    return info_.seekable ? static_cast<int64_t>(info_.frames) : -1;
  }
  std::string description() const override { return path_; }

  int64_t read(float* interleaved, int64_t frames) override
  {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
      throw std::runtime_error(path_ + ": read error: " + sf_strerror(file_));
    }
    return got;
  }

private:
  SNDFILE* file_;
  SF_INFO info_;
  std::string path_;
};

// A 1 kHz tone at -6 dBFS, a silence long enough to watch the level fall
// at 15 dB/s under the held peak, then a quieter burst at -20 dBFS with a
// reset halfway through it, so that the peak hold drops to the burst.
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

  int64_t read(float* interleaved, int64_t frames) override
  {
    const int64_t count = std::min(frames, to_frame(END) - position_);
    for (int64_t i = 0; i < count; ++i, ++position_) {
      interleaved[i] = sample(position_);
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

std::unique_ptr<AudioSource> open_sound_file(const std::string& path)
{
  // libsndfile reports a missing file as a format error; say what it is.
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    throw std::runtime_error(path + ": " + std::strerror(errno));
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) {
    throw std::runtime_error(path + ": not an audio file libsndfile can " +
                             "decode (" + sf_strerror(nullptr) + ")");
  }
  if (info.channels < 1 || info.samplerate < 1) {
    sf_close(file);
    throw std::runtime_error(path + ": has " + std::to_string(info.channels) +
                             " channels at " + std::to_string(info.samplerate) +
                             " Hz; nothing to meter");
  }
  return std::make_unique<SoundFile>(file, info, path);
}

std::unique_ptr<AudioSource> make_demo_signal()
{
  return std::make_unique<DemoSignal>();
}
