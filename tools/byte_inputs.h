// SPDX-License-Identifier: ISC
// What libsndfile reads a sound file's bytes from, through its virtual
// I/O: a regular file behind a buffer of our own, or a pipe.
#ifndef TOLVANIC_TOOLS_BYTE_INPUTS_H
#define TOLVANIC_TOOLS_BYTE_INPUTS_H

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class ByteInput {
public:
  virtual ~ByteInput() = default;
  ByteInput() = default;
  ByteInput(const ByteInput&) = delete;
  ByteInput& operator=(const ByteInput&) = delete;

  // Opens the input with libsndfile, which reads it through this object
  // for as long as the SNDFILE is open; null when it cannot decode it.
  SNDFILE* open(SF_INFO& info);
  // The errno of a failed read, 0 when none failed: libsndfile takes a
  // short read for the end of the file.
  int error() const { return error_; }
  // Since the file was opened, a read has reached the end of the input.
  bool ended() const { return ended_; }
  // Since then, libsndfile has asked for bytes and got none. Its block
  // decoders (ADPCM, GSM, G.72x) then decode a block of nothing, up to the
  // length the header declares, or forever where it declares none.
  bool dry() const { return dry_; }

protected:
  virtual int64_t length() const = 0;
  // The new position, or -1 where the input cannot go.
  virtual int64_t seek(int64_t offset, int whence) = 0;
  virtual int64_t read(char* data, int64_t bytes) = 0;
  int64_t position_ = 0;
  int error_ = 0;

private:
  bool ended_ = false;
  bool dry_ = false;
};

// A regular file read through a buffer of our own. libsndfile asks its
// input for a few kilobytes at a time; one read() per request cost a third
// of the time spent on a long WAV.
class BufferedFile final : public ByteInput {
public:
  // The file's bytes from `origin` (where standard input stands) to
  // `size`; closes `fd` at the end when it is `owned`.
  BufferedFile(int fd, int64_t size, int64_t origin = 0, bool owned = true);
  ~BufferedFile() override;

private:
  int64_t length() const override { return size_; }
  int64_t seek(int64_t offset, int whence) override;
  int64_t read(char* data, int64_t bytes) override;

  int fd_;
  int64_t size_;
  int64_t origin_;
  bool owned_;
  std::vector<char> buffer_;
  int64_t buffered_from_ = 0;
  int64_t buffered_ = 0;
};

// Bytes in memory, read as a regular file is.
class MemoryInput final : public ByteInput {
public:
  explicit MemoryInput(std::vector<char> bytes)
    : bytes_(std::move(bytes))
  {}

private:
  int64_t length() const override
  {
    return static_cast<int64_t>(bytes_.size());
  }
  int64_t seek(int64_t offset, int whence) override;
  int64_t read(char* data, int64_t bytes) override;

  std::vector<char> bytes_;
};

// A pipe (or terminal, or device), read once, front to back. While
// libsndfile opens it, what it reads is kept (up to a bound), so that it
// may seek back within what it has read, as it does to read most headers;
// it seeks ahead by reading what lies between (while it opens the stream,
// only as far as what is read can be kept). When libsndfile cannot decode it
// that way, the pipe is spooled to a temporary file whole.
class PipeInput final : public ByteInput {
public:
  // Closes `fd` at the end when it is `owned`.
  PipeInput(int fd, bool owned);
  ~PipeInput() override;

  // libsndfile has opened the input: from here on it is read straight
  // through.
  void opened() { keeping_ = false; }
  // Whether spool() can still copy the whole stream: all that was read of
  // it is kept.
  bool can_spool() const { return keeping_ && !lost_; }
  // Reads and keeps the stream's first `bytes` bytes before libsndfile
  // opens it; true when the stream ended within them.
  bool read_ahead(size_t bytes);
  // What was read and kept, from the stream's start.
  const std::vector<char>& kept() const { return kept_; }
  // For an input libsndfile could not open: copies what it read and the
  // rest of the pipe into an unlinked temporary file in TMPDIR (or /tmp),
  // a bounded buffer at a time, and returns that file's descriptor.
  // Throws std::runtime_error with a line about `name` when the file
  // cannot be written, or `undecodable` when libsndfile read more than was
  // kept.
  int spool(const std::string& name, const std::string& undecodable);

private:
  int64_t length() const override;
  int64_t seek(int64_t offset, int whence) override;
  int64_t read(char* data, int64_t bytes) override;

  int fd_;
  bool owned_;
  std::vector<char> kept_; // the pipe's first bytes, from its start
  bool keeping_ = true;
  bool lost_ = false; // more was read while opening than could be kept
};

#endif
