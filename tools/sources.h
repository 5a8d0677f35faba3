// SPDX-License-Identifier: ISC
// Where the audio comes from: a sound file read through libsndfile, or the
// built-in demonstration signal. Both are read block by block.
#ifndef TOLVANIC_TOOLS_SOURCES_H
#define TOLVANIC_TOOLS_SOURCES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioSource {
public:
  virtual ~AudioSource() = default;
  virtual int channels() const = 0;
  virtual double rate() const = 0;
  // Total length in frames, or -1 when unknown.
  virtual int64_t frames() const = 0;
  virtual std::string description() const = 0;
  // Times at which the signal itself asks for a peak-hold reset.
  virtual std::vector<double> reset_times() const { return {}; }
  // Reads up to `frames` interleaved frames; returns the number read, 0 at
  // the end. Throws std::runtime_error on a read error.
  virtual int64_t read(float* interleaved, int64_t frames) = 0;
};

// Throws std::runtime_error with a one-line message when the file cannot be
// opened or decoded, or has no channels or no sample rate.
std::unique_ptr<AudioSource> open_sound_file(const std::string& path);

std::unique_ptr<AudioSource> make_demo_signal();

#endif
