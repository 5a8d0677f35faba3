// SPDX-License-Identifier: ISC
#include "sources.h"

#include "sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

std::string undecodable(const std::string& name)
{
  return name + ": not an audio file libsndfile can decode (" +
         sf_strerror(nullptr) + ")";
}

// What a stream's format is told by.
constexpr size_t FIRST_BYTES = 12;

// Whether the first bytes of a stream start a format whose reader
// libsndfile can take front to back: WAV and RF64, AIFF, AU, CAF, FLAC,
// Ogg and MPEG, the ones long recordings come in. Others are copied first:
// some readers walk their chunks up to the file's length, which a stream
// does not have (an SDS, 8SVX or W64 stream never ended).
bool streams(const std::string& first)
{
  const auto starts = [&](const char* magic, size_t at = 0) {
    const size_t length = std::strlen(magic);
    return first.size() >= at + length && first.compare(at, length, magic) == 0;
  };
  const bool mpeg_frame = first.size() >= 2 && first[0] == '\xFF' &&
                          (static_cast<unsigned char>(first[1]) & 0xE0) == 0xE0;
  return ((starts("RIFF") || starts("RIFX")) && starts("WAVE", 8)) ||
         starts("RF64") || starts("BW64") ||
         (starts("FORM") && (starts("AIFF", 8) || starts("AIFC", 8))) ||
         starts(".snd") || starts("dns.") || starts("caff") || starts("fLaC") ||
         starts("OggS") || starts("ID3") || mpeg_frame;
}

std::runtime_error system_error(const std::string& name, int error)
{
  return std::runtime_error(name + ": " + std::strerror(error));
}

// A regular file, from `origin` on; takes `fd` over when `owned`.
std::unique_ptr<AudioSource> open_regular(int fd,
                                          const std::string& name,
                                          int64_t origin = 0,
                                          bool owned = true)
{
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    if (owned) close(fd);
    throw system_error(name, error);
  }
  return open_seekable(
    std::make_unique<BufferedFile>(fd, status.st_size, origin, owned), name);
}

} // namespace

std::unique_ptr<AudioSource> open_seekable(std::unique_ptr<ByteInput> input,
                                           const std::string& name)
{
  SF_INFO info;
  SNDFILE* file = input->open(info);
  if (!file) throw std::runtime_error(undecodable(name));
  return make_sound_file(file, info, name, std::move(input));
}

std::unique_ptr<AudioSource> open_stream(int fd,
                                         bool owned,
                                         const std::string& name,
                                         size_t in_memory)
{
  // A short stream is read whole first: libsndfile then knows its length,
  // as it knows a file's, and meets it as it meets a file. Its readers walk
  // a header's chunks up to the input's length, and a stream of unknown
  // length whose header sends them past its end keeps them walking for
  // ever (a damaged 8SVX, SDS or W64 did).
  auto input = std::make_unique<PipeInput>(fd, owned);
  if (input->read_ahead(std::max(in_memory, FIRST_BYTES)) &&
      input->kept().size() <= in_memory) {
    return open_seekable(std::make_unique<MemoryInput>(input->kept()), name);
  }
  // A long one is read as a stream where libsndfile can decode it so, from
  // a spooled copy where it cannot.
  const std::vector<char>& kept = input->kept();
  SF_INFO info;
  SNDFILE* file =
    streams(std::string(kept.data(), std::min(kept.size(), FIRST_BYTES)))
      ? input->open(info)
      : nullptr;
  // A length of 0 is how some readers say that they cannot find the audio
  // without the stream's length (W64 with ADPCM did, before W64 streams
  // were spooled); a copy has one.
  if (file && info.frames == 0 && input->can_spool()) {
    sf_close(file);
    file = nullptr;
  }
  if (file) {
    input->opened();
    info.seekable = SF_FALSE; // whatever the virtual I/O let it think
    return make_sound_file(file, info, name, std::move(input));
  }
  return open_regular(input->spool(name, undecodable(name)), name);
}

std::unique_ptr<AudioSource> open_sound_file(const std::string& path)
{
  const bool standard_input = path == "-";
  const std::string name = standard_input ? "standard input" : path;
  const int fd =
    standard_input ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (fd < 0 || fstat(fd, &status) != 0) {
    const int error = errno;
    if (fd >= 0 && !standard_input) close(fd);
    throw system_error(name, error);
  }
  if (S_ISDIR(status.st_mode)) {
    if (!standard_input) close(fd);
    throw system_error(name, EISDIR);
  }
  if (!S_ISREG(status.st_mode)) return open_stream(fd, !standard_input, name);
  if (!standard_input) return open_regular(fd, name);
  // Standard input from a file: read from where it stands, and left open.
  const off_t origin = lseek(fd, 0, SEEK_CUR);
  return open_regular(fd, name, origin > 0 ? origin : 0, false);
}
