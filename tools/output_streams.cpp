// SPDX-License-Identifier: ISC
#include "output_streams.h"

#include <fcntl.h>
#include <unistd.h>

// A sanitizer's report goes where the command's errors go, not to the
// silenced descriptor; the symbol exists only in sanitizer builds.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace {

// A copy of `fd` above the standard three, or -1; `fd` then reads or
// writes /dev/null.
int take_over(int fd)
{
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (copy < 0) return -1;
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0 || dup2(null, fd) < 0) {
    if (null >= 0) close(null);
    close(copy);
    return -1;
  }
  close(null);
  return copy;
}

std::FILE* stream_on(int fd, std::FILE* fallback)
{
  if (fd < 0) return fallback;
  std::FILE* stream = fdopen(fd, "w");
  if (!stream) close(fd);
  return stream ? stream : fallback;
}

} // namespace

OutputStreams claim_output_streams()
{
  std::fflush(stdout);
  std::fflush(stderr);
  OutputStreams streams;
  streams.out = stream_on(take_over(STDOUT_FILENO), stdout);
  streams.err = stream_on(take_over(STDERR_FILENO), stderr);
  // Unbuffered, as stderr is: a line must not wait behind a crash.
  if (streams.err != stderr) std::setvbuf(streams.err, nullptr, _IONBF, 0);
  if (__sanitizer_set_report_fd && streams.err != stderr) {
    __sanitizer_set_report_fd(
      reinterpret_cast<void*>(static_cast<intptr_t>(fileno(streams.err))));
  }
  return streams;
}
