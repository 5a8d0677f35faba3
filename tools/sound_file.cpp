// SPDX-License-Identifier: ISC
#include "sound_file.h"

#include "header_length.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

int64_t header_frames_of(SNDFILE* file, const SF_INFO& info)
{
  std::vector<char> log(16384);
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  log.back() = '\0';
  HeaderFacts facts;
  facts.format = info.format;
  facts.channels = info.channels;
  facts.frames = static_cast<int64_t>(info.frames);
  facts.seekable = info.seekable != 0;
  return declared_frames(log.data(), facts);
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
    , header_frames_(header_frames_of(file, info))
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
  std::vector<int> channel_map() const override
  {
    std::vector<int> map(static_cast<size_t>(info_.channels));
    const bool known =
      sf_command(file_,
                 SFC_GET_CHANNEL_MAP_INFO,
                 map.data(),
                 static_cast<int>(map.size() * sizeof(int))) == SF_TRUE;
    return known ? map : std::vector<int>();
  }
  std::string description() const override { return name_; }
  bool seekable() const override { return info_.seekable != 0; }

  int64_t read(float* samples,
               int64_t stride,
               int64_t frames,
               int first,
               int end) override
  {
    if (finished_) return 0;
    int64_t got = 0;
    if (whole_numbers_) {
      got = decode(whole_, frames);
      spread(whole_.data(), got, samples, stride, first, end, [](int x) {
        return static_cast<float>(x) * 0x1p-31f;
      });
    } else {
      got = decode(floats_, frames);
      spread(floats_.data(), got, samples, stride, first, end, [](float x) {
        return x;
      });
    }
    if (got < frames) check_end();
    return got;
  }

  std::string end_note() const override { return end_note_; }

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

  // The readers that, asked for a block past the end of their input,
  // decode one from no data; the others stop there. The block codecs do
  // so up to the length the header declares, or forever where a stream
  // declares none; the SDS reader does so even in a file.
  static bool decodes_blocks_of_nothing(int format)
  {
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_SDS) return true;
    switch (format & SF_FORMAT_SUBMASK) {
      case SF_FORMAT_IMA_ADPCM:
      case SF_FORMAT_MS_ADPCM:
      case SF_FORMAT_GSM610:
      case SF_FORMAT_VOX_ADPCM:
      case SF_FORMAT_G721_32:
      case SF_FORMAT_G723_24:
      case SF_FORMAT_G723_40:
      case SF_FORMAT_NMS_ADPCM_16:
      case SF_FORMAT_NMS_ADPCM_24:
      case SF_FORMAT_NMS_ADPCM_32: return true;
      default: return false;
    }
  }

  static sf_count_t readf(SNDFILE* file, int* to, sf_count_t frames)
  {
    return sf_readf_int(file, to, frames);
  }
  static sf_count_t readf(SNDFILE* file, float* to, sf_count_t frames)
  {
    return sf_readf_float(file, to, frames);
  }

  // Up to `frames` interleaved frames into `buffer`.
  template<typename Sample>
  int64_t decode(std::vector<Sample>& buffer, int64_t frames)
  {
    const auto channels = static_cast<size_t>(info_.channels);
    if (buffer.size() < static_cast<size_t>(frames) * channels)
      buffer.resize(static_cast<size_t>(frames) * channels);
    if (!piecewise_) return readf(file_, buffer.data(), frames);
    // A reader that goes on past the end of its input: read a piece at a
    // time, and end before the piece during which it asked for bytes and
    // got none, so that no frame made from nothing is metered.
    int64_t got = 0;
    while (got < frames) {
      const int64_t piece =
        readf(file_,
              buffer.data() + static_cast<size_t>(got) * channels,
              std::min(PIECE_FRAMES, frames - got));
      if (input_->dry()) {
        finished_ = true;
        break;
      }
      got += piece;
      if (piece == 0) break;
    }
    return got;
  }

  // After a short read: a failed read is an error, and so is a decoder's
  // failure in the middle of the data; where the data has run out, the
  // file is cut short, and what came before is its audio.
  void check_end()
  {
    if (input_ && input_->error() != 0) {
      throw std::runtime_error(
        name_ + ": read error: " + std::strerror(input_->error()));
    }
    if (sf_error(file_) == SF_ERR_NO_ERROR) return;
    if (!input_ || !input_->ended()) {
      throw std::runtime_error(name_ + ": read error: " + sf_strerror(file_));
    }
    end_note_ = sf_strerror(file_);
    finished_ = true;
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

  // Frames per read where the reader may run past the end of its input;
  // the last piece, dropped, may hold as many real frames.
  static constexpr int64_t PIECE_FRAMES = 64;

  SNDFILE* file_;
  SF_INFO info_;
  const bool whole_numbers_ = whole_numbers(info_.format);
  std::vector<int> whole_; // as read, before spreading
  std::vector<float> floats_;
  std::string name_;
  std::unique_ptr<ByteInput> input_; // outlives file_, which reads it
  int64_t header_frames_;
  const bool piecewise_ = input_ && decodes_blocks_of_nothing(info_.format);
  bool finished_ = false; // nothing more is to be read
  std::string end_note_;
};

} // namespace

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
