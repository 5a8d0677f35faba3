// SPDX-License-Identifier: ISC
// Load-time floating-point mode.
//
// Denormal arithmetic can be a hundred times slower than normal arithmetic,
// and a decaying level or mean square sinks into denormals after every
// signal. The thread that loads the library (usually the host's audio or
// main thread, whose mode the audio threads it starts afterwards inherit)
// is switched to flush-to-zero and denormals-are-zero once, here. The mode
// is deliberately never restored: the plug-in's run relies on it and the
// host may unload the library on any thread.
#include <xmmintrin.h>

namespace {

constexpr unsigned MXCSR_DAZ = 1U << 6;  // denormal inputs read as zero
constexpr unsigned MXCSR_FTZ = 1U << 15; // denormal results flushed to zero

__attribute__((constructor)) void flush_denormals_on_load()
{
  _mm_setcsr(_mm_getcsr() | MXCSR_FTZ | MXCSR_DAZ);
}

} // namespace
