// SPDX-License-Identifier: ISC
// Instances share nothing writable: sixteen instances at different rates,
// run concurrently on four threads, each fed its own signal, produce
// exactly the outputs each produces when run alone; and the inline
// variant's picture renders on another thread while it runs. Also built
// with ThreadSanitizer, which reports any shared state they touch.
#include "display_host.h"
#include "hosted_variant.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

constexpr size_t INSTANCES = 16;
constexpr size_t THREADS = 4;
constexpr size_t BLOCKS = 1500;

const double RATES[INSTANCES] = { 8000.0,   11025.0, 16000.0,  22050.0,
                                  24000.0,  32000.0, 44100.0,  48000.0,
                                  88200.0,  96000.0, 176400.0, 192000.0,
                                  384000.0, 9.72,    1.0,      0.0 };

struct Job {
  std::vector<float> signal;
  std::vector<uint32_t> lengths;
  std::vector<float> resets;
};

Job job_for(uint32_t instance)
{
  Job job;
  job.lengths = varied_lengths(100 + instance, BLOCKS);
  size_t total = 0;
  for (const uint32_t length : job.lengths)
    total += length;
  job.signal = varied_signal(200 + instance, total);
  job.resets.resize(BLOCKS);
  for (size_t block = 0; block < BLOCKS; ++block) {
    job.resets[block] = (block + instance) % 61 == 0 ? 1.0f : 0.0f;
  }
  return job;
}

void run_job(HostedMeter& meter,
             const Job& job,
             size_t block,
             size_t& position,
             std::vector<PortBits>& out)
{
  meter.reset = job.resets[block];
  out[block] = meter.run(job.signal.data() + position, job.lengths[block]);
  position += job.lengths[block];
}

} // namespace

TEST(Concurrency, InstancesOnThreadsMatchTheSameInstancesRunAlone)
{
  std::vector<Job> jobs;
  for (uint32_t i = 0; i < INSTANCES; ++i)
    jobs.push_back(job_for(i));

  // Alone: one instance at a time, on this thread.
  std::vector<std::vector<PortBits>> alone(INSTANCES,
                                           std::vector<PortBits>(BLOCKS));
  for (size_t i = 0; i < INSTANCES; ++i) {
    HostedMeter meter(RATES[i]);
    size_t position = 0;
    for (size_t block = 0; block < BLOCKS; ++block) {
      run_job(meter, jobs[i], block, position, alone[i]);
    }
  }

  // Together: each thread interleaves its instances block by block, and
  // all threads start at once. Threads inherit this thread's
  // floating-point mode, as a host's audio threads do.
  std::vector<std::unique_ptr<HostedMeter>> meters;
  for (size_t i = 0; i < INSTANCES; ++i) {
    meters.push_back(std::make_unique<HostedMeter>(RATES[i]));
  }
  std::vector<std::vector<PortBits>> together(INSTANCES,
                                              std::vector<PortBits>(BLOCKS));
  std::atomic<size_t> ready{ 0 };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < THREADS; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < THREADS)
        std::this_thread::yield();
      size_t positions[INSTANCES] = {};
      for (size_t block = 0; block < BLOCKS; ++block) {
        for (size_t i = t; i < INSTANCES; i += THREADS) {
          run_job(*meters[i], jobs[i], block, positions[i], together[i]);
        }
      }
    });
  }
  for (auto& thread : threads)
    thread.join();

  for (size_t i = 0; i < INSTANCES; ++i) {
    SCOPED_TRACE(testing::Message()
                 << "instance " << i << " at " << RATES[i] << " Hz");
    for (size_t block = 0; block < BLOCKS; ++block) {
      ASSERT_TRUE(together[i][block] == alone[i][block]) << "block " << block;
    }
  }
}

// The mixer-strip picture is rendered on the host's GUI thread while run
// goes on on the audio thread: the readings stay those of a run alone.
TEST(Concurrency, PictureRendersBesideRun)
{
  const LV2_Descriptor& variant = load_plugin(TOLVANIC_INLINE_MODULE);
  const auto* display = display_of(variant);
  ASSERT_NE(display, nullptr);
  const Job job = job_for(7);
  const auto run_all = [&](HostedVariant& meter) {
    std::vector<VariantBits> out(BLOCKS);
    size_t position = 0;
    for (size_t block = 0; block < BLOCKS; ++block) {
      const float* samples = job.signal.data() + position;
      const uint32_t length = job.lengths[block];
      meter.reset = job.resets[block];
      out[block] = meter.run(samples, samples, length, meter.sharing(block));
      position += length;
    }
    return out;
  };
  HostedVariant alone(48000.0, variant);
  const std::vector<VariantBits> expected = run_all(alone);

  const QueueDrawFeature queue_draw;
  HostedVariant meter(48000.0, variant, queue_draw.features());
  std::vector<VariantBits> beside;
  std::atomic<bool> done{ false };
  std::thread audio([&] {
    beside = run_all(meter);
    done.store(true);
  });
  const uint32_t widths[] = { 60, 112, 224 };
  size_t renders = 0;
  while (!done.load()) {
    EXPECT_NE(display->render(meter.handle(), widths[renders % 3], 100),
              nullptr);
    ++renders;
  }
  audio.join();
  EXPECT_GT(queue_draw.calls(), 0);
  for (size_t block = 0; block < BLOCKS; ++block) {
    ASSERT_TRUE(beside[block] == expected[block]) << "block " << block;
  }
}
