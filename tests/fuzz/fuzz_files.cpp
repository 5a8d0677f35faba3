// SPDX-License-Identifier: ISC
// Coverage-guided fuzzer over tolvanic-meter's whole reading path. The
// input bytes are a sound file, given to the batch twice: as a file that
// can be read anywhere (from memory, through libsndfile's virtual I/O, as
// a named file is) and as standard input from a pipe (read whole when it
// is short, as the command does, or, for every other input, streamed or
// spooled as a long one is). Both go through format detection,
// the header's declared length, decoding, the sample statistics, the
// plug-in per channel and the output in one of its forms. Then what the
// command promises on any input is checked: an exit status of 0, 1 or 3;
// for a file that failed, one line on stderr naming it; for one that was
// metered, at most a line per problem; with --json, one valid document.
// A breach aborts, which libFuzzer reports as a finding, as it does a
// crash, a sanitizer's report, a leak, a hang (-timeout) and memory beyond
// -rss_limit_mb or -malloc_limit_mb.
#include "batch.h"
#include "json_check.h"
#include "sources.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef TOLVANIC_LV2_PATH
#error "TOLVANIC_LV2_PATH must name the build tree's bundle folder"
#endif

namespace {

constexpr const char* PROGRAM = "tolvanic-meter";
constexpr const char* FILE_NAME = "fuzzed.wav";
constexpr const char* STREAM_NAME = "standard input";

[[noreturn]] void fail(const char* what, const std::string& detail)
{
  std::fprintf(stderr, "fuzz_files: %s\n%s\n", what, detail.c_str());
  std::abort();
}

const PluginHost& host()
{
  static const PluginHost plugin({ TOLVANIC_LV2_PATH });
  return plugin;
}

// A pipe that holds the bytes and is closed behind them; -1 when they do
// not fit in one.
int pipe_holding(const uint8_t* data, size_t size)
{
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  const int capacity = fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
  bool written = capacity >= 0 && static_cast<size_t>(capacity) >= size;
  for (size_t done = 0; written && done < size;) {
    const ssize_t put = write(ends[1], data + done, size - done);
    written = put > 0;
    done += written ? static_cast<size_t>(put) : 0;
  }
  close(ends[1]);
  if (!written) close(ends[0]);
  return written ? ends[0] : -1;
}

// What a memory stream holds; closing it sets `text` and `size`.
std::string text_of(std::FILE* stream, char*& text, size_t& size)
{
  std::fclose(stream);
  std::string copy(text, size);
  std::free(text);
  return copy;
}

void meter(const Options& options,
           const BatchIo::Opener& open,
           const std::string& name)
{
  char *out_text = nullptr, *err_text = nullptr;
  size_t out_size = 0, err_size = 0;
  BatchIo io;
  io.out = open_memstream(&out_text, &out_size);
  io.err = open_memstream(&err_text, &err_size);
  io.open = open;
  if (!io.out || !io.err) fail("no memory stream", name);
  const int status = meter_files(options, host(), PROGRAM, io);
  const std::string out = text_of(io.out, out_text, out_size);
  const std::string err = text_of(io.err, err_text, err_size);

  const std::string report = name + " exited " + std::to_string(status) +
                             "; stderr:\n" + err + "stdout:\n" + out;
  if (status != 0 && status != 1 && status != 3) fail("status", report);
  if (!err.empty() && err.back() != '\n') fail("unfinished line", report);
  int lines = 0;
  for (size_t at = 0; at < err.size(); at = err.find('\n', at) + 1, ++lines) {
    if (err.compare(at, std::strlen(PROGRAM) + 2, std::string(PROGRAM) + ": "))
      fail("a line not the command's", report);
  }
  // A failed file has its one line; a metered one a warning at most for
  // its length, its channels' weights and its non-finite samples, and a
  // verdict on each limit.
  if (status == 1 && (lines != 1 || err.find(name) == std::string::npos))
    fail("a failure is not one line naming the file", report);
  if (lines > 6) fail("more lines than problems", report);
  if (options.json && !JsonCheck::valid(out)) fail("invalid JSON", report);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  // The plug-in of this build, not one installed elsewhere; spools in
  // memory where the machine has it.
  setenv("LV2_PATH", TOLVANIC_LV2_PATH, 1);
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  // Decoders' prints (libsndfile's SDS reader writes on stdout) are the
  // command's to keep out of its output; here they would only fill the log.
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) dup2(null, STDOUT_FILENO), close(null);
  host(); // loads lilv's world once, before any input is counted for leaks
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // The options follow from the size, so that a finding replays alike.
  Options options;
  options.jobs = 1;
  options.json = size % 3 == 0;
  options.csv = size % 3 == 1;
  options.summary_only = size % 2 == 0;
  static constexpr uint32_t blocks[] = { 256, 1, 4096, 37 };
  options.block_size = blocks[(size / 3) % 4];
  options.reset_times = { 0.01 };
  // Every other size measures loudness too, against every limit.
  if ((size / 12) % 2 == 0) {
    options.loudness = true;
    options.dual_mono = true;
    options.limits.peak_dbfs = -1.0;
    options.limits.loudness = LoudnessLimit{ -23.0, 1.0 };
    options.limits.true_peak_dbtp = -1.0;
  }

  options.files = { FILE_NAME };
  meter(
    options,
    [&](const std::string& path) {
      return open_seekable(
        std::make_unique<MemoryInput>(std::vector<char>(data, data + size)),
        path);
    },
    FILE_NAME);

  options.files = { "-" };
  const int pipe = pipe_holding(data, size);
  if (pipe < 0) return 0;
  meter(
    options,
    [&](const std::string&) {
      // Every other input is read as a long stream is, front to back.
      return size % 2 == 0 ? open_stream(pipe, true, STREAM_NAME, 16)
                           : open_stream(pipe, true, STREAM_NAME);
    },
    STREAM_NAME);
  return 0;
}
