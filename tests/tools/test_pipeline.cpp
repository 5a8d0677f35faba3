// SPDX-License-Identifier: ISC
// The pipeline's promises, checked from inside the stages: reads, each
// lane's work and emits in chunk order, one at a time each; emit after
// every lane; a slot reused only once emitted; the first exception
// rethrown and nothing started after it.
#include "pipeline.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Shape {
  unsigned threads;
  int lanes;
  size_t slots;
  int chunks;
};

// What each slot holds and who has touched it, under one lock.
class Recorder {
public:
  Recorder(const Shape& shape)
    : shape_(shape)
    , slot_chunk_(shape.slots, -1)
    , lane_next_(static_cast<size_t>(shape.lanes), 0)
    , lanes_done_(shape.slots, 0)
  {}

  PipelineStages stages()
  {
    PipelineStages stages;
    stages.read = [this](size_t slot) {
      const std::lock_guard<std::mutex> lock(mutex_);
      // The slot is free: its last chunk was emitted.
      EXPECT_TRUE(slot_chunk_[slot] < 0 || slot_chunk_[slot] < emitted_);
      EXPECT_EQ(slot, static_cast<size_t>(read_) % shape_.slots);
      slot_chunk_[slot] = read_;
      lanes_done_[slot] = 0;
      return ++read_ < shape_.chunks;
    };
    stages.work = [this](size_t slot, int lane) {
      const std::lock_guard<std::mutex> lock(mutex_);
      const auto l = static_cast<size_t>(lane);
      EXPECT_EQ(slot_chunk_[slot], lane_next_[l]) << "lane " << lane;
      ++lane_next_[l];
      ++lanes_done_[slot];
    };
    stages.emit = [this](size_t slot) {
      const std::lock_guard<std::mutex> lock(mutex_);
      EXPECT_EQ(slot_chunk_[slot], emitted_);
      EXPECT_EQ(lanes_done_[slot], shape_.lanes);
      ++emitted_;
      if (emitted_ == throw_at_emit_) throw std::runtime_error("stop");
    };
    return stages;
  }

  int emitted() const { return emitted_; }
  int read() const { return read_; }
  int throw_at_emit_ = -1;

private:
  const Shape shape_;
  std::mutex mutex_;
  std::vector<int> slot_chunk_;
  std::vector<int> lane_next_;
  std::vector<int> lanes_done_;
  int read_ = 0, emitted_ = 0;
};

const Shape SHAPES[] = {
  { 1, 1, 1, 1 },   { 1, 3, 1, 10 },  { 2, 1, 16, 50 }, { 2, 4, 16, 200 },
  { 4, 2, 3, 100 }, { 8, 16, 2, 60 }, { 3, 5, 16, 1 },
};

TEST(Pipeline, EveryChunkPassesEveryStageInOrder)
{
  for (const Shape& shape : SHAPES) {
    SCOPED_TRACE(testing::Message()
                 << shape.threads << " threads, " << shape.lanes << " lanes, "
                 << shape.slots << " slots");
    Recorder recorder(shape);
    run_pipeline(recorder.stages(), shape.slots, shape.lanes, shape.threads);
    EXPECT_EQ(recorder.read(), shape.chunks);
    EXPECT_EQ(recorder.emitted(), shape.chunks);
  }
}

TEST(Pipeline, TheFirstExceptionStopsEverythingAndIsRethrown)
{
  const char* const failing[] = { "read", "work", "emit" };
  for (const Shape& shape : SHAPES) {
    for (const std::string stage : failing) {
      SCOPED_TRACE(testing::Message()
                   << stage << " throws, " << shape.threads << " threads");
      Recorder recorder(shape);
      PipelineStages wrapped = recorder.stages();
      std::mutex mutex;
      int calls = 0;
      const int fail_at = shape.chunks / 2; // the call that throws
      const auto count = [&](const std::string& name) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (name == stage && calls++ == fail_at)
          throw std::runtime_error(stage);
      };
      PipelineStages stages;
      stages.read = [&](size_t slot) {
        count("read");
        return wrapped.read(slot);
      };
      stages.work = [&](size_t slot, int lane) {
        count("work");
        wrapped.work(slot, lane);
      };
      stages.emit = [&](size_t slot) {
        count("emit");
        wrapped.emit(slot);
      };
      try {
        run_pipeline(stages, shape.slots, shape.lanes, shape.threads);
        ADD_FAILURE() << "no exception";
      } catch (const std::runtime_error& error) {
        EXPECT_EQ(error.what(), stage);
      }
      EXPECT_LT(recorder.emitted(), shape.chunks);
    }
  }
}

} // namespace
