// SPDX-License-Identifier: ISC
// The meter written straight from its sequential definition, one float
// operation per statement and no caching, to check the plug-in against.
#ifndef TOLVANIC_TESTS_REFERENCE_METER_H
#define TOLVANIC_TESTS_REFERENCE_METER_H

#include <cmath>
#include <cstdint>
#include <optional>

struct ReferenceOutputs {
  std::optional<float> level; // empty: the port was not written
  float peak;
  std::optional<float> rms;
};

class ReferenceMeter {
public:
  explicit ReferenceMeter(double rate)
    : rate_(static_cast<float>(rate))
    , k_(static_cast<float>(9.72 / rate))
  {}

  ReferenceOutputs run(const float* x, uint32_t n, float reset)
  {
    if (reset > 0.0f && !reset_high_) {
      peak_ = 0.0f;
    }
    reset_high_ = reset > 0.0f;

    float exponent = static_cast<float>(n);
    exponent = exponent / rate_;
    exponent = exponent * -0.75f;
    const float falloff =
      n == 0 && first_zero_block_ ? 0.0f : powf(10.0f, exponent);
    // A new instance's cache holds the factor 0 for the block length 0.
    if (n != 0) {
      first_zero_block_ = false;
    }

    float l = level_ + 1e-20f;
    l = falloff * l;
    float p = peak_;
    float m = ms_ + 1e-20f;
    for (uint32_t i = 0; i < n; ++i) {
      const float a = fabsf(x[i]);
      if (a > l) l = a;
      if (a > p) p = a;
      float t = x[i] * x[i];
      t = t - m;
      t = t * k_;
      m = m + t;
    }
    level_ = guard(l);
    peak_ = guard(p);
    ms_ = guard(m);

    ReferenceOutputs out{};
    const float level_db = level_ > 1e-6f ? 20.0f * log10f(level_) : -120.0f;
    const float rms_db = ms_ > 1e-12f ? 10.0f * log10f(ms_) : -120.0f;
    if (decide(level_db, last_level_db_)) {
      out.level = level_db == -120.0f ? 0.0f : level_;
    }
    if (decide(rms_db, last_rms_db_)) {
      out.rms = rms_db == -120.0f ? 0.0f : sqrtf(ms_);
    }
    out.peak = peak_;
    return out;
  }

private:
  static float guard(float v) { return fabsf(v) <= 3.4028235e38f ? v : 0.0f; }

  static bool decide(float db, float& last)
  {
    if (db == -120.0f) {
      if (last == -120.0f) return false;
    } else {
      const float diff = db - last;
      if (!(static_cast<double>(fabsf(diff)) > 0.2)) return false;
    }
    last = db;
    return true;
  }

  float rate_;
  float k_;
  bool reset_high_ = false;
  bool first_zero_block_ = true;
  float level_ = 0.0f;
  float peak_ = 0.0f;
  float ms_ = 0.0f;
  float last_level_db_ = 0.0f;
  float last_rms_db_ = 0.0f;
};

#endif
