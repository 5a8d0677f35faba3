// SPDX-License-Identifier: ISC
// Writes the seed corpus of the file fuzzer: one short file per format and
// encoding that libsndfile writes, mono and stereo where the format takes
// two channels, into the folder given. Made at build time, so that the
// repository holds no audio files and the corpus follows libsndfile.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Kind {
  const char* name;
  int format;
};

constexpr Kind KINDS[] = {
  { "wav-u8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8 },
  { "wav-16", SF_FORMAT_WAV | SF_FORMAT_PCM_16 },
  { "wav-24", SF_FORMAT_WAV | SF_FORMAT_PCM_24 },
  { "wav-32", SF_FORMAT_WAV | SF_FORMAT_PCM_32 },
  { "wav-float", SF_FORMAT_WAV | SF_FORMAT_FLOAT },
  { "wav-double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE },
  { "wav-ulaw", SF_FORMAT_WAV | SF_FORMAT_ULAW },
  { "wav-alaw", SF_FORMAT_WAV | SF_FORMAT_ALAW },
  { "wav-ima-adpcm", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM },
  { "wav-ms-adpcm", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM },
  { "wav-gsm610", SF_FORMAT_WAV | SF_FORMAT_GSM610 },
  { "wav-g721", SF_FORMAT_WAV | SF_FORMAT_G721_32 },
  { "wavex-24", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24 },
  { "aiff-16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16 },
  { "aifc-ulaw", SF_FORMAT_AIFF | SF_FORMAT_ULAW },
  { "aifc-ima-adpcm", SF_FORMAT_AIFF | SF_FORMAT_IMA_ADPCM },
  { "aifc-float", SF_FORMAT_AIFF | SF_FORMAT_FLOAT },
  { "aifc-dwvw16", SF_FORMAT_AIFF | SF_FORMAT_DWVW_16 },
  { "au-16", SF_FORMAT_AU | SF_FORMAT_PCM_16 },
  { "au-g721", SF_FORMAT_AU | SF_FORMAT_G721_32 },
  { "caf-16", SF_FORMAT_CAF | SF_FORMAT_PCM_16 },
  { "caf-alac", SF_FORMAT_CAF | SF_FORMAT_ALAC_16 },
  { "flac-16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16 },
  { "ogg-vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS },
  { "ogg-opus", SF_FORMAT_OGG | SF_FORMAT_OPUS },
  { "w64-16", SF_FORMAT_W64 | SF_FORMAT_PCM_16 },
  { "w64-ima-adpcm", SF_FORMAT_W64 | SF_FORMAT_IMA_ADPCM },
  { "rf64-16", SF_FORMAT_RF64 | SF_FORMAT_PCM_16 },
  { "voc-16", SF_FORMAT_VOC | SF_FORMAT_PCM_16 },
  { "ircam-16", SF_FORMAT_IRCAM | SF_FORMAT_PCM_16 },
  { "nist-16", SF_FORMAT_NIST | SF_FORMAT_PCM_16 },
  { "paf-24", SF_FORMAT_PAF | SF_FORMAT_PCM_24 },
  { "svx-16", SF_FORMAT_SVX | SF_FORMAT_PCM_16 },
  { "mat4-16", SF_FORMAT_MAT4 | SF_FORMAT_PCM_16 },
  { "mat5-16", SF_FORMAT_MAT5 | SF_FORMAT_PCM_16 },
  { "pvf-16", SF_FORMAT_PVF | SF_FORMAT_PCM_16 },
  { "xi-dpcm16", SF_FORMAT_XI | SF_FORMAT_DPCM_16 },
  { "htk-16", SF_FORMAT_HTK | SF_FORMAT_PCM_16 },
  { "sds-16", SF_FORMAT_SDS | SF_FORMAT_PCM_16 },
  { "avr-16", SF_FORMAT_AVR | SF_FORMAT_PCM_16 },
  { "wve-alaw", SF_FORMAT_WVE | SF_FORMAT_ALAW },
  { "sd2-16", SF_FORMAT_SD2 | SF_FORMAT_PCM_16 },
  { "mpc2k-16", SF_FORMAT_MPC2K | SF_FORMAT_PCM_16 },
  { "mpeg-layer3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III },
};

// Short: the fuzzer spends its time on the headers, not on the audio.
constexpr int FRAMES = 1024;

// Opus takes only its own rates; WVE only 8 kHz.
bool write(const std::string& path, int format, int channels)
{
  for (int rate : { 8000, 48000 }) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info)) continue;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) continue;
    // A tone on each channel, a different one, with a little of everything
    // a decoder meets: a full-scale sample, a step, a quiet tail.
    std::vector<float> frames(static_cast<size_t>(FRAMES * channels));
    for (int f = 0; f < FRAMES; ++f) {
      for (int c = 0; c < channels; ++c) {
        const double tone = 0.5 * std::sin(0.05 * f * (c + 1));
        frames[static_cast<size_t>(f * channels + c)] =
          f == 100 ? 1.0f : static_cast<float>(f < 900 ? tone : tone / 64);
      }
    }
    const bool written = sf_writef_float(file, frames.data(), FRAMES) == FRAMES;
    return sf_close(file) == 0 && written;
  }
  return false;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  int failed = 0;
  for (const Kind& kind : KINDS) {
    // Every format takes one channel; two where it can.
    if (!write(
          std::string(argv[1]) + "/" + kind.name + "-mono", kind.format, 1)) {
      std::fprintf(stderr, "make_sound_corpus: cannot write %s\n", kind.name);
      ++failed;
    }
    write(std::string(argv[1]) + "/" + kind.name + "-stereo", kind.format, 2);
  }
  return failed == 0 ? 0 : 1;
}
