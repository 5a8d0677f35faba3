// SPDX-License-Identifier: ISC
// The benchmark cases: which signals, block sizes and kinds of run, their
// names, and the ratios to the floor that the meter must keep.
#ifndef TOLVANIC_BENCH_CASES_H
#define TOLVANIC_BENCH_CASES_H

#include <cstdint>
#include <string>

constexpr double SAMPLE_RATE = 48000.0;

// Samples run per benchmark iteration: a whole number of blocks of every
// size below, small enough to stay in the L2 cache (256 KiB of floats).
constexpr uint32_t SAMPLES_PER_ITERATION = 65536;

constexpr uint32_t BLOCK_SIZES[] = { 16, 32, 64, 256, 1024, 4096 };
constexpr const char* SIGNALS[] = { "noise", "sine", "silence" };

// Kinds of run over one signal at one block size.
constexpr const char* FLOOR = "floor";    // the bare recurrence
constexpr const char* CONSTANT = "meter"; // meter_run, falloff cache hit
constexpr const char* ALTERNATING = "meter-alternating"; // cache missed
// Constant lengths plus, before each block, the powf that a cache miss
// computes: what one extra powf per block costs beside the meter's own work.
constexpr const char* PLUS_POWF = "meter+powf";

// The inline variant, meter_run plus the copy of each block to the audio
// output, at one usual block size: out of place, and in place (no copy).
constexpr const char* INLINE = "inline";
constexpr const char* INLINE_IN_PLACE = "inline-in-place";
constexpr uint32_t INLINE_BLOCK_SIZE = 256;
constexpr double INLINE_TARGET_RATIO = 1.05; // of meter_run's time

// The stereo variant, both channels metered in one pass and copied to the
// audio outputs, against meter_run on one channel of the same blocks: its
// time per frame over tolvanic's time per sample. Out of place, and in
// place (each output on its input's buffer).
constexpr const char* STEREO = "stereo";
constexpr const char* STEREO_IN_PLACE = "stereo-in-place";
constexpr uint32_t STEREO_BLOCK_SIZES[] = { 32, 256, 4096 };

// The largest stereo/meter ratio allowed at a block size.
inline double stereo_target_ratio(uint32_t block_size)
{
  return block_size <= 32 ? 1.35 : 1.15;
}

// Single-call costs, for the per-block work.
constexpr const char* POWF = "powf";
constexpr const char* LOG10F = "log10f";

inline std::string case_name(const char* kind,
                             const char* signal,
                             uint32_t block_size)
{
  return std::string(kind) + "/" + signal + "/" + std::to_string(block_size);
}

// The largest meter/floor ratio allowed at a block size; 0 if none is set.
inline double target_ratio(uint32_t block_size)
{
  switch (block_size) {
    case 32: return 1.25;
    case 256: return 1.08;
    case 4096: return 1.03;
    default: return 0.0;
  }
}

#endif
