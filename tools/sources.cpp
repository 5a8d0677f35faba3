// SPDX-License-Identifier: ISC
#include "sources.h"

#include "byte_inputs.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace {

// The length a file's header declares. libsndfile quietly shortens a WAV
// or AIFF file whose data chunk runs past the end of the file to what is
// there, and notes the header's figure only in its log: that is where it
// is read from. A WAV written to a pipe declares 0xFFFFFFFF bytes, which
// means "unknown".
int64_t declared_frames(SNDFILE* file, const SF_INFO& info)
{
  std::vector<char> log(16384);
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  std::istringstream lines(log.data());
  const int major = info.format & SF_FORMAT_TYPEMASK;
  const bool riff = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX ||
                    major == SF_FORMAT_RF64;
  for (std::string line; std::getline(lines, line);) {
    unsigned long long declared = 0, present = 0;
    const int found =
      riff
        ? std::sscanf(
            line.c_str(), "data : %llu (should be %llu)", &declared, &present)
        : 0;
    if (found >= 1) {
      if (declared == 0xFFFFFFFFULL) return -1;
      if (found < 2 || info.frames <= 0) break;
      // The bytes declared over the bytes a frame takes; the data present
      // may end in part of a frame.
      const auto frames = static_cast<unsigned long long>(info.frames);
      return static_cast<int64_t>(declared / (present / frames));
    }
    if (major == SF_FORMAT_AIFF &&
        std::sscanf(line.c_str(), " Frames : %llu", &declared) == 1) {
      return static_cast<int64_t>(declared);
    }
  }
  // Other formats read from a pipe may declare anything; libsndfile gives
  // the largest count it can hold for an unknown length.
  const bool trusted = info.seekable || riff || major == SF_FORMAT_AIFF;
  return trusted && info.frames > 0 && info.frames < SF_COUNT_MAX
           ? static_cast<int64_t>(info.frames)
           : -1;
}

class SoundFile final : public AudioSource {
public:
  SoundFile(SNDFILE* file,
            const SF_INFO& info,
            std::string name,
            std::unique_ptr<ByteInput> input)
    : file_(file)
    , info_(info)
    , name_(std::move(name))
    , input_(std::move(input))
    , header_frames_(declared_frames(file, info))
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
  int64_t header_frames() const override { return header_frames_; }
  std::string description() const override { return name_; }
  bool seekable() const override { return info_.seekable != 0; }

  int64_t read(float* samples,
               int64_t stride,
               int64_t frames,
               int first,
               int end) override
  {
    const auto needed = static_cast<size_t>(frames * info_.channels);
    sf_count_t got = 0;
    if (whole_numbers_) {
      if (whole_.size() < needed) whole_.resize(needed);
      got = sf_readf_int(file_, whole_.data(), frames);
      spread(whole_.data(), got, samples, stride, first, end, [](int x) {
        return static_cast<float>(x) * 0x1p-31f;
      });
    } else {
      if (floats_.size() < needed) floats_.resize(needed);
      got = sf_readf_float(file_, floats_.data(), frames);
      spread(floats_.data(), got, samples, stride, first, end, [](float x) {
        return x;
      });
    }
    if (got < frames && input_ && input_->error() != 0) {
      throw std::runtime_error(
        name_ + ": read error: " + std::strerror(input_->error()));
    }
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
      throw std::runtime_error(name_ + ": read error: " + sf_strerror(file_));
    }
    return got;
  }

  void seek(int64_t frame) override
  {
    if (sf_seek(file_, frame, SEEK_SET) != frame) {
      throw std::runtime_error(name_ + ": cannot seek to frame " +
                               std::to_string(frame) + ": " +
                               sf_strerror(file_));
    }
  }

private:
  // Integer samples are read as integers and scaled here, where the
  // compiler can use the vector unit: the same floats libsndfile's own
  // conversion gives (every such sample, as a 32-bit integer scaled by
  // 2^-31, is exact in float), in half the time.
  static bool whole_numbers(int format)
  {
    switch (format & SF_FORMAT_SUBMASK) {
      case SF_FORMAT_PCM_S8:
      case SF_FORMAT_PCM_U8:
      case SF_FORMAT_PCM_16:
      case SF_FORMAT_PCM_24: return true;
      default: return false;
    }
  }

  // Interleaved frames to one row of samples per channel.
  template<typename Sample, typename Convert>
  void spread(const Sample* from,
              int64_t frames,
              float* samples,
              int64_t stride,
              int first,
              int end,
              Convert convert) const
  {
    const auto channels = static_cast<size_t>(info_.channels);
    for (int c = first; c < end; ++c) {
      float* to = samples + c * stride;
      const Sample* in = from + c;
      for (int64_t i = 0; i < frames; ++i)
        to[i] = convert(in[static_cast<size_t>(i) * channels]);
    }
  }

  SNDFILE* file_;
  SF_INFO info_;
  const bool whole_numbers_ = whole_numbers(info_.format);
  std::vector<int> whole_; // as read, before spreading
  std::vector<float> floats_;
  std::string name_;
  std::unique_ptr<ByteInput> input_; // outlives file_, which reads it
  int64_t header_frames_;
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

namespace {

std::unique_ptr<AudioSource> make_sound_file(SNDFILE* file,
                                             const SF_INFO& info,
                                             const std::string& name,
                                             std::unique_ptr<ByteInput> input)
{
  if (info.channels < 1 || info.samplerate < 1) {
    sf_close(file);
    throw std::runtime_error(name + ": has " + std::to_string(info.channels) +
                             " channels at " + std::to_string(info.samplerate) +
                             " Hz; nothing to meter");
  }
  return std::make_unique<SoundFile>(file, info, name, std::move(input));
}

std::string undecodable(const std::string& name)
{
  return name + ": not an audio file libsndfile can decode (" +
         sf_strerror(nullptr) + ")";
}

// A regular file; takes `fd` over.
std::unique_ptr<AudioSource> open_regular(int fd,
                                          int64_t size,
                                          const std::string& name)
{
  auto input = std::make_unique<BufferedFile>(fd, size);
  SF_INFO info;
  SNDFILE* file = input->open(info);
  if (!file) throw std::runtime_error(undecodable(name));
  return make_sound_file(file, info, name, std::move(input));
}

// A pipe, a terminal or a device: read as a stream where libsndfile can
// decode it so, from a spooled copy where it cannot.
std::unique_ptr<AudioSource> open_stream(int fd,
                                         bool owned,
                                         const std::string& name)
{
  auto input = std::make_unique<PipeInput>(fd, owned);
  SF_INFO info;
  SNDFILE* file = input->open(info);
  if (file) {
    input->opened();
    info.seekable = SF_FALSE; // whatever the virtual I/O let it think
    return make_sound_file(file, info, name, std::move(input));
  }
  const int spooled = input->spool(name, undecodable(name));
  struct stat status {};
  fstat(spooled, &status);
  return open_regular(spooled, status.st_size, name);
}

} // namespace

std::unique_ptr<AudioSource> open_sound_file(const std::string& path)
{
  const bool standard_input = path == "-";
  const std::string name = standard_input ? "standard input" : path;
  const int fd =
    standard_input ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0) {
    throw std::runtime_error(name + ": " + std::strerror(errno));
  }
  if (S_ISDIR(status.st_mode)) {
    close(fd);
    throw std::runtime_error(name + ": " + std::strerror(EISDIR));
  }
  if (!S_ISREG(status.st_mode)) return open_stream(fd, !standard_input, name);
  if (!standard_input) return open_regular(fd, status.st_size, name);
  // Standard input from a file: read where it stands, and left open.
  SF_INFO info{};
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  if (!file) throw std::runtime_error(undecodable(name));
  return make_sound_file(file, info, name, nullptr);
}

std::unique_ptr<AudioSource> make_demo_signal()
{
  return std::make_unique<DemoSignal>();
}
