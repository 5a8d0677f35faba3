// SPDX-License-Identifier: ISC
// Counting replacements of the allocation functions and of
// pthread_mutex_lock, defined in the test executable so that a module it
// loads binds to them. They forward to the C library and count calls made
// while armed.
#ifndef TOLVANIC_TESTS_COUNTING_ALLOC_H
#define TOLVANIC_TESTS_COUNTING_ALLOC_H

enum CountedCall {
  CALL_MALLOC,
  CALL_CALLOC,
  CALL_REALLOC,
  CALL_FREE,
  CALL_ALIGNED_ALLOC,
  CALL_POSIX_MEMALIGN,
  CALL_MUTEX_LOCK,
  COUNTED_CALLS
};

inline const char* const COUNTED_CALL_NAMES[COUNTED_CALLS] = {
  "malloc",        "calloc",         "realloc",           "free",
  "aligned_alloc", "posix_memalign", "pthread_mutex_lock"
};

// Zeroes the counters and starts counting.
void counting_arm();
// Stops counting; the counters keep their values until the next arm.
void counting_disarm();
long counted(CountedCall call);

#endif
