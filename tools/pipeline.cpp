// SPDX-License-Identifier: ISC
#include "pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What a thread does next. Every thread takes whatever is ready: emitting
// the oldest chunk once all its lanes are done, working a lane on its next
// chunk, or reading a chunk into a free slot; so no thread idles while
// there is work.
struct Task {
  enum Kind { wait, read, work, emit, stop } kind = wait;
  int64_t chunk = 0;
  int lane = 0;
};

class Scheduler {
public:
  Scheduler(const PipelineStages& stages, size_t slots, int lanes)
    : stages_(stages)
    , slots_(static_cast<int64_t>(std::max<size_t>(1, slots)))
    , lane_next_(static_cast<size_t>(std::max(1, lanes)), 0)
    , lane_busy_(lane_next_.size(), false)
    , lanes_left_(static_cast<size_t>(slots_), 0)
  {}

  // Each thread's loop: the state changes under the lock, the stages run
  // outside it.
  void serve()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (Task task = next(); task.kind != Task::stop; task = next()) {
      if (task.kind == Task::wait) {
        changed_.wait(lock);
        continue;
      }
      begin(task);
      lock.unlock();
      bool more = true;
      std::exception_ptr failure;
      try {
        more = call(task);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (failure && !failure_) failure_ = failure;
      end(task, more);
      changed_.notify_all();
    }
    changed_.notify_all();
  }

  void rethrow() const
  {
    if (failure_) std::rethrow_exception(failure_);
  }

private:
  size_t slot(int64_t chunk) const
  {
    return static_cast<size_t>(chunk % slots_);
  }

  Task next() const
  {
    if (failure_ || (ended_ && emitted_ == read_)) return { Task::stop };
    if (!emitting_ && emitted_ < read_ && lanes_left_[slot(emitted_)] == 0)
      return { Task::emit, emitted_ };
    // The free lane furthest behind.
    int lane = -1;
    for (size_t l = 0; l < lane_next_.size(); ++l) {
      if (!lane_busy_[l] && lane_next_[l] < read_ &&
          (lane < 0 || lane_next_[l] < lane_next_[static_cast<size_t>(lane)]))
        lane = static_cast<int>(l);
    }
    // Reading runs ahead while fewer than half the slots are in flight;
    // beyond that, lanes that have work come first.
    const int64_t in_flight = read_ - emitted_;
    if (!reading_ && !ended_ && in_flight < slots_ &&
        (lane < 0 || in_flight < slots_ / 2))
      return { Task::read, read_ };
    if (lane >= 0)
      return { Task::work, lane_next_[static_cast<size_t>(lane)], lane };
    return { Task::wait };
  }

  void begin(const Task& task)
  {
    switch (task.kind) {
      case Task::read: reading_ = true; break;
      case Task::emit: emitting_ = true; break;
      case Task::work: lane_busy_[static_cast<size_t>(task.lane)] = true; break;
      default: break;
    }
  }

  bool call(const Task& task) const
  {
    switch (task.kind) {
      case Task::read: return stages_.read(slot(task.chunk));
      case Task::work: stages_.work(slot(task.chunk), task.lane); break;
      case Task::emit: stages_.emit(slot(task.chunk)); break;
      default: break;
    }
    return true;
  }

  void end(const Task& task, bool more)
  {
    switch (task.kind) {
      case Task::read:
        reading_ = false;
        ended_ = !more;
        lanes_left_[slot(read_)] = static_cast<int>(lane_next_.size());
        ++read_;
        break;
      case Task::work: {
        const auto lane = static_cast<size_t>(task.lane);
        lane_busy_[lane] = false;
        --lanes_left_[slot(lane_next_[lane])];
        ++lane_next_[lane];
        break;
      }
      case Task::emit:
        emitting_ = false;
        ++emitted_;
        break;
      default: break;
    }
  }

  const PipelineStages& stages_;
  const int64_t slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t read_ = 0, emitted_ = 0; // chunks
  bool reading_ = false, emitting_ = false, ended_ = false;
  std::vector<int64_t> lane_next_; // the next chunk of each lane
  std::vector<bool> lane_busy_;
  std::vector<int> lanes_left_; // per slot, lanes yet to work its chunk
  std::exception_ptr failure_;
};

} // namespace

void run_pipeline(const PipelineStages& stages,
                  size_t slots,
                  int lanes,
                  unsigned threads)
{
  Scheduler scheduler(stages, slots, lanes);
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threads; ++t)
    helpers.emplace_back([&scheduler] { scheduler.serve(); });
  scheduler.serve();
  for (std::thread& helper : helpers)
    helper.join();
  scheduler.rethrow();
}
