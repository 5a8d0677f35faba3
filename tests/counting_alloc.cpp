// SPDX-License-Identifier: ISC
// The replacements forward to glibc's own entry points (__libc_malloc and
// friends, which glibc exports for exactly this use) and to the next
// pthread_mutex_lock found after this executable.
#include "counting_alloc.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#include <dlfcn.h>
#include <pthread.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> armed{ false };
std::atomic<long> counters[COUNTED_CALLS];

void count(CountedCall call)
{
  if (armed.load(std::memory_order_relaxed)) {
    counters[call].fetch_add(1, std::memory_order_relaxed);
  }
}

using MutexLock = int (*)(pthread_mutex_t*);
std::atomic<MutexLock> real_mutex_lock{ nullptr };

} // namespace

void counting_arm()
{
  for (auto& counter : counters) {
    counter.store(0);
  }
  armed.store(true);
}

void counting_disarm()
{
  armed.store(false);
}

long counted(CountedCall call)
{
  return counters[call].load();
}

extern "C" {

void* malloc(size_t size)
{
  count(CALL_MALLOC);
  return __libc_malloc(size);
}

void* calloc(size_t count_, size_t size)
{
  count(CALL_CALLOC);
  return __libc_calloc(count_, size);
}

void* realloc(void* pointer, size_t size)
{
  count(CALL_REALLOC);
  return __libc_realloc(pointer, size);
}

void free(void* pointer)
{
  count(CALL_FREE);
  __libc_free(pointer);
}

void* aligned_alloc(size_t alignment, size_t size)
{
  count(CALL_ALIGNED_ALLOC);
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size)
{
  count(CALL_POSIX_MEMALIGN);
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
    return EINVAL;
  }
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) {
    return ENOMEM;
  }
  *result = pointer;
  return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex)
{
  count(CALL_MUTEX_LOCK);
  MutexLock real = real_mutex_lock.load();
  if (real == nullptr) {
    // glibc takes no public mutex inside dlsym, so this cannot recurse.
    real = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    real_mutex_lock.store(real);
  }
  return real(mutex);
}

} // extern "C"
