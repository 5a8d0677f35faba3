// SPDX-License-Identifier: ISC
// connect_port and run are real-time safe: they neither allocate nor lock
// (counted through replacements the loaded module binds to), and they make
// no system call at all (a child process runs them under strict seccomp,
// which kills it on any system call but read, write and exit).
#include "counting_alloc.h"
#include "display_host.h"
#include "hosted_variant.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const double RATES[] = { 48000.0,
                         44100.0,
                         8000.0,
                         0.0,
                         -1.0,
                         1e-300,
                         std::numeric_limits<double>::quiet_NaN() };

void expect_no_counted_calls()
{
  for (int call = 0; call < COUNTED_CALLS; ++call) {
    EXPECT_EQ(counted(static_cast<CountedCall>(call)), 0)
      << COUNTED_CALL_NAMES[call];
  }
}

uint64_t fold(uint64_t hash, const PortBits& out)
{
  for (const uint32_t bits : { out.level, out.peak, out.rms }) {
    hash = (hash ^ bits) * 1099511628211ULL;
  }
  return hash;
}

// One block; an index the plug-in does not have is connected now and then.
// A variant's audio ports go through every sharing of buffers by turns,
// its right channel the same signal further on.
template<typename Hosted>
uint64_t run_block(Hosted& meter,
                   const float* samples,
                   uint32_t length,
                   size_t block,
                   uint64_t hash)
{
  if (block % 50 == 0) {
    meter.connect();
    meter.plugin().connect_port(
      meter.handle(), meter.port_count(), &meter.reset);
  }
  if constexpr (std::is_same_v<Hosted, HostedMeter>) {
    return fold(hash, meter.run(samples, length));
  } else {
    const VariantBits out =
      meter.run(samples, samples + length, length, meter.sharing(block));
    return fold(fold(hash, out[0]), out[1]);
  }
}

// Runs blocks of varied lengths and signals, toggling the reset control and
// reconnecting ports as hosts may; returns a hash of every output bit
// pattern.
template<typename Hosted>
uint64_t drive(Hosted& meter,
               const std::vector<float>& signal,
               const std::vector<uint32_t>& lengths)
{
  uint64_t hash = 14695981039346656037ULL;
  size_t position = 0;
  for (size_t block = 0; block < lengths.size(); ++block) {
    const uint32_t length = lengths[block];
    if (position + 2 * length > signal.size()) position = 0;
    meter.reset = block % 97 == 3 ? 1.0f : 0.0f;
    hash = run_block(meter, signal.data() + position, length, block, hash);
    position += length;
  }
  return hash;
}

template<typename Hosted>
void expect_no_allocation_nor_lock(const LV2_Descriptor& plugin)
{
  const std::vector<float> signal = varied_signal(7, 200000);
  const std::vector<uint32_t> lengths = varied_lengths(7, 3000);
  for (const double rate : RATES) {
    SCOPED_TRACE(rate);
    const QueueDrawFeature queue_draw;
    Hosted meter(rate, plugin, queue_draw.features());
    counting_arm();
    drive(meter, signal, lengths);
    counting_disarm();
    expect_no_counted_calls();
    // The host never rendered, so one request for a picture was enough.
    EXPECT_EQ(queue_draw.calls(), display_of(plugin) != nullptr ? 1 : 0);
  }
}

// Each test runs for tolvanic and for the inline and stereo variants.
class RealTime : public ::testing::TestWithParam<const char*> {
protected:
  const LV2_Descriptor& plugin = load_plugin(GetParam());
  const bool variant = std::strcmp(GetParam(), TOLVANIC_MODULE) != 0;
};

std::string module_name(const ::testing::TestParamInfo<const char*>& module)
{
  const char* const names[] = { "tolvanic", "inline", "stereo" };
  return names[module.index];
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Modules,
                         RealTime,
                         ::testing::Values(TOLVANIC_MODULE,
                                           TOLVANIC_INLINE_MODULE,
                                           TOLVANIC_STEREO_MODULE),
                         module_name);

TEST_P(RealTime, CountersSeeTheModulesOwnAllocations)
{
  // Without this the zero counts below would prove nothing: the module's
  // calloc and free must reach the replacements.
  counting_arm();
  const LV2_Handle handle = plugin.instantiate(&plugin, 48000.0, "", nullptr);
  plugin.cleanup(handle);
  counting_disarm();
  EXPECT_EQ(counted(CALL_CALLOC), 1);
  EXPECT_EQ(counted(CALL_FREE), 1);
}

TEST_P(RealTime, ConnectAndRunNeverAllocateNorLock)
{
  if (variant) {
    expect_no_allocation_nor_lock<HostedVariant>(plugin);
  } else {
    expect_no_allocation_nor_lock<HostedMeter>(plugin);
  }
}

// Runs `body` in a child process under strict seccomp and returns the wait
// status. The child reports through `pipe_out` and leaves with the exit
// system call itself: the C library's exit uses exit_group, which strict
// mode does not allow.
template<typename Body>
int run_under_strict_seccomp(Body body, int pipe_out)
{
  const pid_t child = fork();
  if (child == 0) {
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) != 0) {
      syscall(SYS_exit, 2);
    }
    body(pipe_out);
    syscall(SYS_exit, 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST(RealTimeProbe, StrictSeccompKillsOnAnyOtherSystemCall)
{
  // The check below can fail: a child that makes one forbidden call dies.
  const int status =
    run_under_strict_seccomp([](int) { syscall(SYS_getpid); }, -1);
  ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

template<typename Hosted>
void expect_runs_under_strict_seccomp(const LV2_Descriptor& plugin)
{
  const std::vector<float> signal = varied_signal(11, 400000);
  const std::vector<uint32_t> lengths = varied_lengths(11, 5000);
  for (const double rate : RATES) {
    SCOPED_TRACE(rate);
    uint64_t expected;
    {
      Hosted alone(rate, plugin);
      expected = drive(alone, signal, lengths);
    }
    // Instantiated before the child enters strict mode: only
    // connect_port and run, and the host's queue_draw, happen under it.
    const QueueDrawFeature queue_draw;
    Hosted meter(rate, plugin, queue_draw.features());
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    const int status = run_under_strict_seccomp(
      [&](int out) {
        const uint64_t hash = drive(meter, signal, lengths);
        if (write(out, &hash, sizeof hash) != sizeof hash) {
          syscall(SYS_exit, 3);
        }
      },
      pipe_ends[1]);
    close(pipe_ends[1]);
    uint64_t reported = 0;
    const ssize_t got = read(pipe_ends[0], &reported, sizeof reported);
    close(pipe_ends[0]);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof reported));
    EXPECT_EQ(reported, expected)
      << "the child's runs differ from the parent's";
  }
}

TEST_P(RealTime, ThousandsOfBlocksRunUnderStrictSeccomp)
{
  if (variant) {
    expect_runs_under_strict_seccomp<HostedVariant>(plugin);
  } else {
    expect_runs_under_strict_seccomp<HostedMeter>(plugin);
  }
}
