// SPDX-License-Identifier: ISC
// Where the audio comes from: a sound file read through libsndfile (or
// standard input), or the built-in demonstration signal. Both are read in
// chunks of interleaved frames.
#ifndef TOLVANIC_TOOLS_AUDIO_SOURCE_H
#define TOLVANIC_TOOLS_AUDIO_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

class AudioSource {
public:
  virtual ~AudioSource() = default;
  virtual int channels() const = 0;
  virtual double rate() const = 0;
  // Length in frames, or -1 when unknown (a stream).
  virtual int64_t frames() const = 0;
  // The length the file's header declares, or -1 when it declares none we
  // can trust; a file cut short holds fewer frames than this.
  virtual int64_t header_frames() const { return frames(); }
  // Once read to its end: the decoder's complaint where the data ran out
  // in the middle of what it was decoding; empty when it ended cleanly.
  virtual std::string end_note() const { return {}; }
  virtual std::string description() const = 0;
  // Where each channel plays, as libsndfile's SF_CHANNEL_MAP_* values;
  // empty when the file does not say.
  virtual std::vector<int> channel_map() const { return {}; }
  // Times at which the signal itself asks for a peak-hold reset.
  virtual std::vector<double> reset_times() const { return {}; }
  // Reads up to `frames` frames and keeps channels [first, end): channel c
  // goes to `samples + c * stride`. Returns the number of frames read, 0 at
  // the end. Throws std::runtime_error on a read error.
  virtual int64_t read(float* samples,
                       int64_t stride,
                       int64_t frames,
                       int first,
                       int end) = 0;
  // Whether seek() works: a pipe can be read only once.
  virtual bool seekable() const = 0;
  // Moves to `frame`; throws std::runtime_error when that fails.
  virtual void seek(int64_t frame) = 0;
};

#endif
