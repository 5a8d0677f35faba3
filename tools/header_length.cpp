// SPDX-License-Identifier: ISC
#include "header_length.h"

#include <sndfile.h>

#include <cstdio>
#include <sstream>

unsigned bytes_per_sample(int format)
{
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
  }
}

namespace {

// A figure this large is a header's "unknown" (0xFFFFFFFF, or -1 in 64
// bits) or nonsense; no real file holds that many frames.
constexpr unsigned long long MOST_FRAMES = 1ULL << 48;

// The number on the first line of the log that `pattern` (a scanf pattern
// with one %llu) matches; false when none does.
bool figure(const std::string& log,
            const char* pattern,
            unsigned long long& value)
{
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (std::sscanf(line.c_str(), pattern, &value) == 1) return true;
  }
  return false;
}

class Reading {
public:
  Reading(const std::string& log, const HeaderFacts& facts)
    : log_(log)
    , facts_(facts)
    , frame_bytes_(bytes_per_sample(facts.format) *
                   static_cast<unsigned long long>(facts.channels))
  {}

  // A count of frames from the line `pattern` matches.
  int64_t frames(const char* pattern) const
  {
    unsigned long long value = 0;
    return figure(log_, pattern, value) ? checked(value) : fallback();
  }

  // A count of bytes of audio, after `header` bytes that the chunk's size
  // includes; only for encodings with a whole number of bytes per frame.
  int64_t bytes(const char* pattern, unsigned long long header = 0) const
  {
    unsigned long long value = 0;
    if (frame_bytes_ == 0 || !figure(log_, pattern, value)) return fallback();
    // 0xFFFFFFFF is a 32-bit size field's "unknown", what a program
    // writing to a pipe must put there.
    if (value == 0xFFFFFFFFULL || value >= MOST_FRAMES || value < header) {
      return -1;
    }
    return checked((value - header) / frame_bytes_);
  }

  bool fixed_size() const { return frame_bytes_ > 0; }

  // libsndfile's count, where it can be taken for the header's: a file
  // that can be read to its end, whose header does not say otherwise.
  int64_t fallback() const
  {
    return facts_.seekable && facts_.frames > 0
             ? checked(static_cast<unsigned long long>(facts_.frames))
             : -1;
  }

private:
  static int64_t checked(unsigned long long frames)
  {
    return frames < MOST_FRAMES ? static_cast<int64_t>(frames) : -1;
  }

  const std::string& log_;
  const HeaderFacts& facts_;
  const unsigned long long frame_bytes_;
};

} // namespace

int64_t declared_frames(const std::string& log, const HeaderFacts& facts)
{
  if (facts.channels < 1) return -1;
  const Reading header(log, facts);
  switch (facts.format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
      // A compressed encoding's frame count is in the 'fact' chunk.
      return header.fixed_size() ? header.bytes("data : %llu")
                                 : header.frames(" frames : %llu");
    case SF_FORMAT_W64:
      // Its chunk sizes count their own 24-byte header.
      return header.fixed_size() ? header.bytes("data : %llu", 24)
                                 : header.frames(" frames : %llu");
    case SF_FORMAT_RF64: return header.frames(" Frames : %llu"); // 'ds64'
    case SF_FORMAT_AIFF:
      // An AIFC's ADPCM and GSM count packets, not frames.
      return header.fixed_size() ||
                 (facts.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DWVW_16 ||
                 (facts.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DWVW_24 ||
                 (facts.format & SF_FORMAT_SUBMASK) == SF_FORMAT_DWVW_12
               ? header.frames(" Frames : %llu")
               : -1;
    case SF_FORMAT_AU: return header.bytes(" Data Size : %llu");
    case SF_FORMAT_CAF: return header.bytes("data : %llu", 4); // edit count
    case SF_FORMAT_SVX: return header.bytes("BODY : %llu");
    case SF_FORMAT_WVE: return header.bytes("Data length %llu");
    case SF_FORMAT_AVR:
    case SF_FORMAT_MPC2K: return header.frames(" Frames : %llu");
    // An MPEG stream's length is libsndfile's estimate.
    case SF_FORMAT_MPEG: return -1;
    default: return header.fallback();
  }
}
