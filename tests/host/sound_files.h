// SPDX-License-Identifier: ISC
// Sound files for tolvanic-meter's tests: written with libsndfile, or
// built by hand where a test needs bytes that libsndfile never writes.
#ifndef TOLVANIC_TESTS_SOUND_FILES_H
#define TOLVANIC_TESTS_SOUND_FILES_H

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

// sample(frame, channel), as a linear amplitude.
using Samples = std::function<double(int, int)>;

// A file of `seconds` at `rate`: a WAV of float samples, a WAV of the
// encoding `format` names, or the type and encoding it names. Empty when
// libsndfile cannot write it.
inline std::string write_sound(const std::string& path,
                               int channels,
                               double seconds,
                               const Samples& sample,
                               int format,
                               int rate)
{
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format =
    ((format & SF_FORMAT_TYPEMASK) != 0 ? 0 : SF_FORMAT_WAV) | format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return {};
  const int frames = static_cast<int>(std::lround(seconds * rate));
  std::vector<double> data;
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c)
      data.push_back(sample(f, c));
  }
  sf_writef_double(file, data.data(), frames);
  sf_close(file);
  return path;
}

// `value` in `bytes` bytes, most significant first, as AIFF has them.
inline std::string big_endian(uint64_t value, int bytes)
{
  std::string text;
  for (int b = bytes - 1; b >= 0; --b)
    text += static_cast<char>((value >> (8 * b)) & 0xFF);
  return text;
}

// A 16-bit mono AIFF at 48 kHz whose audio (SSND) comes before its format
// (COMM): a reader learns what the audio is only after reading past it.
inline std::string aiff_audio_first(const std::vector<int16_t>& samples)
{
  std::string audio;
  for (int16_t sample : samples)
    audio += big_endian(static_cast<uint16_t>(sample), 2);
  const std::string ssnd = "SSND" + big_endian(8 + audio.size(), 4) +
                           big_endian(0, 4) + big_endian(0, 4) + audio;
  const std::string comm = "COMM" + big_endian(18, 4) + big_endian(1, 2) +
                           big_endian(samples.size(), 4) + big_endian(16, 2) +
                           std::string("\x40\x0e\xbb\x80", 4) + // 48000.0
                           std::string(6, '\0');
  return "FORM" + big_endian(4 + ssnd.size() + comm.size(), 4) + "AIFF" + ssnd +
         comm;
}

// A WAV header for float samples at 48 kHz that declares `channels` and
// no audio.
inline std::string wav_header(int channels)
{
  std::string header("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x03\0\0\0\x80\xbb\0\0"
                     "\0\0\0\0\0\0\x20\0data\0\0\0\0",
                     44);
  header[22] = static_cast<char>(channels);
  return header;
}

// Marks the WAV at `path` as of unknown length (0xFFFFFFFF bytes of RIFF
// and of data), as a program writing to a pipe must.
inline void declare_unknown_length(const std::string& path)
{
  std::fstream wav(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string header(4096, '\0');
  wav.read(&header[0], static_cast<std::streamsize>(header.size()));
  wav.clear();
  for (const size_t size_at : { size_t{ 4 }, header.find("data") + 4 }) {
    wav.seekp(static_cast<std::streamoff>(size_at));
    wav.write("\xff\xff\xff\xff", 4);
  }
}

#endif
