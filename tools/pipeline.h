// SPDX-License-Identifier: ISC
// The one place where tolvanic-meter's threads meet: a stream of chunks
// through three stages, on `threads` threads, the caller's among them.
//
//   read(slot)        fills the slot with the next chunk; returns false
//                     when that chunk is the source's last (it may be
//                     empty)
//   work(slot, lane)  processes one lane (a group of channels) of it
//   emit(slot)        hands the chunk's results on, after every lane's
//                     work on it has returned
//
// Which thread calls what: any of the threads may make any call, so no
// callback may rely on which thread it is on; run() returns once every
// thread it started has been joined.
// In what order: read is called for chunk 0, 1, 2, ... one call at a time;
// each lane's work is called for those chunks in the same order, one call
// at a time for that lane, while other lanes and the read of a later chunk
// run beside it; emit is called for the chunks in order, one call at a
// time. A slot is read again only after its chunk has been emitted.
// What may throw: any callback. Then no further call starts, the calls
// under way finish, and run() rethrows the first exception on the calling
// thread. That is also how an emit callback stops the stream early.
#ifndef TOLVANIC_TOOLS_PIPELINE_H
#define TOLVANIC_TOOLS_PIPELINE_H

#include <cstddef>
#include <functional>

struct PipelineStages {
  std::function<bool(size_t slot)> read;
  std::function<void(size_t slot, int lane)> work;
  std::function<void(size_t slot)> emit;
};

// `slots` chunks may be in flight at once; at least 1 of each count.
void run_pipeline(const PipelineStages& stages,
                  size_t slots,
                  int lanes,
                  unsigned threads);

#endif
