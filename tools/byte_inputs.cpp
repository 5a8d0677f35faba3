// SPDX-License-Identifier: ISC
#include "byte_inputs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// A regular file's buffer, and the pieces a pipe is spooled in.
constexpr size_t BUFFER_BYTES = size_t{ 1 } << 20;
// What a pipe may hold back while libsndfile opens it: far more than any
// header that comes before the audio.
constexpr size_t KEPT_BYTES = size_t{ 1 } << 20;

// Reads up to `bytes`, retrying on interruption; the errno on failure.
ssize_t read_some(int fd, char* data, size_t bytes, int& error)
{
  ssize_t got = 0;
  do {
    got = ::read(fd, data, bytes);
  } while (got < 0 && errno == EINTR);
  if (got < 0) error = errno;
  return got;
}

bool write_all(int fd, const char* data, size_t bytes)
{
  while (bytes > 0) {
    const ssize_t put = ::write(fd, data, bytes);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    bytes -= static_cast<size_t>(put);
  }
  return true;
}

} // namespace

SNDFILE* ByteInput::open(SF_INFO& info)
{
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* self) -> sf_count_t {
    return static_cast<ByteInput*>(self)->length();
  };
  io.seek = [](sf_count_t offset, int whence, void* self) -> sf_count_t {
    return static_cast<ByteInput*>(self)->seek(offset, whence);
  };
  io.read = [](void* data, sf_count_t bytes, void* self) -> sf_count_t {
    auto* input = static_cast<ByteInput*>(self);
    const int64_t got = input->read(static_cast<char*>(data), bytes);
    if (got < bytes) input->ended_ = true;
    if (got == 0 && bytes > 0) input->dry_ = true;
    return got;
  };
  io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
  io.tell = [](void* self) -> sf_count_t {
    return static_cast<ByteInput*>(self)->position_;
  };
  info = SF_INFO{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, this);
  // Reading the header may have looked at the end of the input.
  ended_ = false;
  dry_ = false;
  return file;
}

int64_t MemoryInput::seek(int64_t offset, int whence)
{
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? position_
                                            : length();
  if (offset > INT64_MAX - base) return -1;
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

int64_t MemoryInput::read(char* data, int64_t bytes)
{
  const int64_t left = std::max<int64_t>(0, length() - position_);
  const int64_t n = std::min(bytes, left);
  if (n > 0) {
    std::memcpy(data, bytes_.data() + position_, static_cast<size_t>(n));
    position_ += n;
  }
  return n;
}

BufferedFile::BufferedFile(int fd, int64_t size, int64_t origin, bool owned)
  : fd_(fd)
  , size_(std::max<int64_t>(0, size - origin))
  , origin_(origin)
  , owned_(owned)
  , buffer_(BUFFER_BYTES)
{}

BufferedFile::~BufferedFile()
{
  if (owned_) close(fd_);
}

int64_t BufferedFile::seek(int64_t offset, int whence)
{
  const int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? position_
                                            : size_;
  if (offset > INT64_MAX - base) return -1;
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

int64_t BufferedFile::read(char* data, int64_t bytes)
{
  int64_t done = 0;
  while (done < bytes) {
    const int64_t offset = position_ - buffered_from_;
    if (offset >= 0 && offset < buffered_) {
      const int64_t n = std::min(bytes - done, buffered_ - offset);
      std::memcpy(data + done, buffer_.data() + offset, static_cast<size_t>(n));
      done += n;
      position_ += n;
      continue;
    }
    const ssize_t got = pread(fd_,
                              buffer_.data(),
                              buffer_.size(),
                              static_cast<off_t>(origin_ + position_));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) error_ = errno;
      break;
    }
    buffered_from_ = position_;
    buffered_ = got;
  }
  return done;
}

PipeInput::PipeInput(int fd, bool owned)
  : fd_(fd)
  , owned_(owned)
{}

PipeInput::~PipeInput()
{
  if (owned_) close(fd_);
}

int64_t PipeInput::length() const
{
  return SF_COUNT_MAX; // unknown: up to the end of the stream
}

int64_t PipeInput::seek(int64_t offset, int whence)
{
  if (whence != SEEK_SET && whence != SEEK_CUR) return -1;
  const int64_t base = whence == SEEK_SET ? 0 : position_;
  if (offset > INT64_MAX - base) return -1;
  const int64_t target = base + offset;
  const auto kept = static_cast<int64_t>(kept_.size());
  // Anywhere in the kept bytes while they are all that was read.
  const bool all_kept = !lost_ && (keeping_ || position_ <= kept);
  if (target == position_ || (all_kept && target >= 0 && target <= kept)) {
    position_ = target;
    return position_;
  }
  // Behind is lost; ahead, while libsndfile opens the stream, only as far
  // as can be kept, so that a stream it cannot open can still be spooled.
  if (target < position_ || (keeping_ && target > int64_t{ KEPT_BYTES })) {
    return -1;
  }
  // Ahead, by reading what lies between. Past the end of the stream the
  // position moves on all the same, as it does in a file: libsndfile's
  // readers count on it to see that a chunk runs past the end.
  std::vector<char> skipped(
    static_cast<size_t>(std::min<int64_t>(target - position_, 65536)));
  while (position_ < target) {
    const int64_t want = std::min<int64_t>(
      target - position_, static_cast<int64_t>(skipped.size()));
    if (read(skipped.data(), want) < want) break;
  }
  position_ = target;
  return position_;
}

int64_t PipeInput::read(char* data, int64_t bytes)
{
  int64_t done = 0;
  const auto kept = static_cast<int64_t>(kept_.size());
  if (position_ < kept) {
    done = std::min(bytes, kept - position_);
    std::memcpy(data, kept_.data() + position_, static_cast<size_t>(done));
    position_ += done;
  }
  while (done < bytes) {
    const ssize_t got =
      read_some(fd_, data + done, static_cast<size_t>(bytes - done), error_);
    if (got <= 0) break;
    if (keeping_ && !lost_) {
      if (kept_.size() + static_cast<size_t>(got) <= KEPT_BYTES) {
        kept_.insert(kept_.end(), data + done, data + done + got);
      } else {
        lost_ = true;
      }
    }
    done += got;
    position_ += got;
  }
  return done;
}

bool PipeInput::read_ahead(size_t bytes)
{
  const int64_t start = position_;
  const auto want = static_cast<int64_t>(std::min(bytes, KEPT_BYTES));
  position_ = static_cast<int64_t>(kept_.size());
  std::vector<char> more(static_cast<size_t>(
    std::max<int64_t>(0, want - static_cast<int64_t>(kept_.size()))));
  const int64_t got = read(more.data(), static_cast<int64_t>(more.size()));
  position_ = start;
  return got < static_cast<int64_t>(more.size()) && error_ == 0;
}

int PipeInput::spool(const std::string& name, const std::string& undecodable)
{
  if (lost_) throw std::runtime_error(undecodable);
  const char* folder = std::getenv("TMPDIR");
  const std::string where = folder && *folder ? folder : "/tmp";
  std::string path = where + "/tolvanic-meter-XXXXXX";
  const int spooled = mkostemp(&path[0], O_CLOEXEC);
  const auto fail = [&](int error) {
    if (spooled >= 0) close(spooled);
    return std::runtime_error(name +
                              ": cannot spool it to a temporary file in " +
                              where + ": " + std::strerror(error));
  };
  if (spooled < 0) throw fail(errno);
  unlink(path.c_str());
  if (!write_all(spooled, kept_.data(), kept_.size())) throw fail(errno);
  kept_ = std::vector<char>();
  std::vector<char> buffer(BUFFER_BYTES);
  for (;;) {
    const ssize_t got = read_some(fd_, buffer.data(), buffer.size(), error_);
    if (got < 0) {
      close(spooled);
      throw std::runtime_error(name + ": read error: " + std::strerror(error_));
    }
    if (got == 0) break;
    if (!write_all(spooled, buffer.data(), static_cast<size_t>(got)))
      throw fail(errno);
  }
  return spooled;
}
