// SPDX-License-Identifier: ISC
// The loudness unit against the cases of EBU Tech 3341 and 3342, their
// signals made here, at 44.1 and 48 kHz; then silence, short signals and
// non-finite samples.
#include "channel_loudness.h"
#include "loudness_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NOT_MEASURED = std::numeric_limits<double>::quiet_NaN();
constexpr double SILENT = -INF;

struct Segment {
  double dbfs, seconds; // a sine's peak level
};

struct Signal {
  std::vector<Segment> segments;
  int repeat = 1;
  std::vector<double> channel_db = { 0, 0 }; // added to the segment's level
  std::vector<double> weights = { 1, 1 };
  double cycles_per_sample = 0; // else 1 kHz; faded in and out over 0.1 s
  double phase_degrees = 0;
  std::vector<std::pair<size_t, float>> put = {}; // frame, value
};

Signal burst(double dbfs, double seconds, double offset_s)
{
  return { { { SILENT, 1.0 + offset_s }, { dbfs, seconds }, { SILENT, 1 } } };
}

// A rising ramp of levels, in steps of 0.1 s.
Signal ramp(double from_dbfs, double to_dbfs, double seconds)
{
  Signal signal;
  for (double t = 0; t < seconds - 0.05; t += 0.1)
    signal.segments.push_back(
      { from_dbfs + (to_dbfs - from_dbfs) * t / seconds, 0.1 });
  return signal;
}

Signal sine(double cycles, double phase, double amplitude)
{
  return {
    { { 20 * std::log10(amplitude), 2 } }, 1, { 0, 0 }, { 1, 1 }, cycles, phase
  };
}

std::vector<float> make_channel(const Signal& signal, double rate, double db)
{
  std::vector<float> x;
  for (int r = 0; r < signal.repeat; ++r) {
    for (const Segment& segment : signal.segments) {
      x.insert(x.end(),
               static_cast<size_t>(std::llround(segment.seconds * rate)),
               static_cast<float>(std::pow(10.0, (segment.dbfs + db) / 20)));
    }
  }
  const double cycles =
    signal.cycles_per_sample > 0 ? signal.cycles_per_sample : 1000.0 / rate;
  const double fade = signal.cycles_per_sample > 0 ? 0.1 * rate : 0.0;
  const double end = static_cast<double>(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const double t = static_cast<double>(n);
    const double edge = std::min({ 1.0, (t + 1) / fade, (end - t) / fade });
    const double envelope =
      fade > 0 ? std::pow(std::sin(M_PI / 2 * edge), 2) : 1.0;
    x[n] *= static_cast<float>(envelope *
                               std::sin(2 * M_PI * std::fmod(cycles * t, 1.0) +
                                        signal.phase_degrees * M_PI / 180));
  }
  for (const auto& [frame, value] : signal.put)
    x.at(frame) = value;
  return x;
}

struct Measured {
  LoudnessResult result;
  std::vector<double> momentary, short_term; // after each step
  double step_seconds;
};

// Fed in chunks of an odd size, each channel on its own, then combined
// step by step, as the command does.
Measured measure(const Signal& signal, double rate)
{
  const size_t channels = signal.weights.size();
  std::vector<std::vector<float>> x;
  for (double db : signal.channel_db)
    x.push_back(make_channel(signal, rate, db));
  std::vector<ChannelLoudness> loudness(channels, ChannelLoudness(rate));
  LoudnessMeter meter(signal.weights, rate);
  Measured m{ {}, {}, {}, static_cast<double>(meter.step_frames()) / rate };
  std::vector<std::vector<double>> steps(channels);
  std::vector<double> energies(channels);
  const auto combine = [&](bool partial) {
    for (size_t s = 0; s < steps[0].size(); ++s) {
      for (size_t c = 0; c < channels; ++c)
        energies[c] = steps[c][s];
      if (partial && s + 1 == steps[0].size()) {
        meter.add_partial_step(energies.data());
      } else {
        meter.add_step(energies.data());
      }
      m.momentary.push_back(meter.momentary_lufs());
      m.short_term.push_back(meter.short_term_lufs());
    }
    for (auto& channel : steps)
      channel.clear();
  };
  constexpr size_t CHUNK = 4099;
  for (size_t start = 0; start < x[0].size(); start += CHUNK) {
    const auto n = static_cast<int64_t>(std::min(CHUNK, x[0].size() - start));
    for (size_t c = 0; c < channels; ++c)
      loudness[c].add(x[c].data() + start, n, steps[c]);
    combine(false);
  }
  bool partial = false;
  std::vector<float> peaks;
  for (size_t c = 0; c < channels; ++c) {
    partial = loudness[c].finish(steps[c]);
    peaks.push_back(loudness[c].true_peak());
  }
  combine(partial);
  m.result = loudness_result(meter, peaks);
  return m;
}

// M and S: every value from `from_s` on.
enum Reading { M, S, MAX_M, MAX_S, I, LRA, TP };

struct Expect {
  Reading reading;
  double value;
  double from_s = 0;
  double within = 0; // else the tolerance of Tech 3341 or 3342
};

struct Case {
  std::string name;
  Signal signal;
  std::vector<Expect> expect;
};

std::vector<Case> ebu_cases()
{
  std::vector<Case> cases = {
    { "3341-1",
      { { { -23, 20 } } },
      { { M, -23, 0.4 }, { S, -23, 3 }, { I, -23 } } },
    { "3341-2",
      { { { -33, 20 } } },
      { { M, -33, 0.4 }, { S, -33, 3 }, { I, -33 } } },
    { "3341-3", { { { -36, 10 }, { -23, 60 }, { -36, 10 } } }, { { I, -23 } } },
    { "3341-4",
      { { { -72, 10 }, { -36, 10 }, { -23, 60 }, { -36, 10 }, { -72, 10 } } },
      { { I, -23 } } },
    { "3341-5",
      { { { -26, 20 }, { -20, 20.1 }, { -26, 20 } } },
      { { I, -23 } } },
    { "3341-6",
      { { { 0, 20 } },
        1,
        { -28, -28, -24, -30, -30 },
        { 1, 1, 1, 1.41, 1.41 } },
      { { I, -23 } } },
    { "3341-9", { { { -20, 1.34 }, { -30, 1.66 } }, 5 }, { { S, -23, 3 } } },
    { "3341-12", { { { -20, 0.18 }, { -30, 0.22 } }, 25 }, { { M, -23, 1 } } },
    { "3341-15", sine(0.25, 0, 0.5), { { TP, -6.02 } } },
    { "3341-16", sine(0.25, 45, 0.5), { { TP, -6.02 } } },
    { "3341-17", sine(1.0 / 6, 60, 0.5), { { TP, -6.02 } } },
    { "3341-18", sine(1.0 / 8, 67.5, 0.5), { { TP, -6.02 } } },
    { "3341-19", sine(0.25, 45, 1.41), { { TP, 2.98 } } },
    { "3342-1", { { { -20, 20 }, { -30, 20 } } }, { { LRA, 10 } } },
    { "3342-2", { { { -20, 20 }, { -15, 20 } } }, { { LRA, 5 } } },
    { "3342-3", { { { -40, 20 }, { -20, 20 } } }, { { LRA, 20 } } },
    { "3342-4",
      { { { -50, 20 }, { -35, 20 }, { -20, 20 }, { -35, 20 }, { -50, 20 } } },
      { { LRA, 15 } } },
  };
  // Offsets off the 10 ms grid as well as on it.
  for (double offset :
       { 0.0, 0.00123, 0.0031, 0.005, 0.0077, 0.0099, 0.0143 }) {
    const std::string at = " at +" + std::to_string(offset) + " s";
    cases.push_back(
      { "3341-10" + at, burst(-23, 3, offset), { { MAX_S, -23 } } });
    cases.push_back(
      { "3341-13" + at, burst(-23, 0.4, offset), { { MAX_M, -23 } } });
  }
  for (double dbfs = -38; dbfs <= -19; ++dbfs) {
    const std::string at = " at " + std::to_string(dbfs) + " dBFS";
    cases.push_back({ "3341-11" + at, burst(dbfs, 3, 0), { { MAX_S, dbfs } } });
    cases.push_back(
      { "3341-14" + at, burst(dbfs, 0.4, 0), { { MAX_M, dbfs } } });
  }
  return cases;
}

// Within the tolerances of Tech 3341 and 3342; NOT_MEASURED and -infinity
// must be exactly that.
void check(const Measured& m, const Expect& e)
{
  const auto near = [&](double value, double below, double above) {
    if (std::isinf(e.value)) {
      EXPECT_EQ(value, e.value);
    } else {
      EXPECT_GE(value, e.value - below);
      EXPECT_LE(value, e.value + above);
    }
  };
  const auto measured = [&](const std::optional<double>& value, double tol) {
    EXPECT_EQ(value.has_value(), !std::isnan(e.value));
    if (value && !std::isnan(e.value)) near(*value, tol, tol);
  };
  const auto from = [&](const std::vector<double>& values) {
    const auto first = static_cast<size_t>(e.from_s / m.step_seconds - 1e-9);
    ASSERT_LT(first, values.size());
    for (size_t s = first; s < values.size(); ++s)
      near(values[s], 0.1, 0.1);
  };
  const LoudnessResult& r = m.result;
  switch (e.reading) {
    case M: from(m.momentary); break;
    case S: from(m.short_term); break;
    case MAX_M: near(r.max_momentary_lufs, 0.1, 0.1); break;
    case MAX_S: near(r.max_short_term_lufs, 0.1, 0.1); break;
    case I: measured(r.integrated_lufs, 0.1); break;
    case LRA: measured(r.range_lu, e.within > 0 ? e.within : 1.0); break;
    case TP: near(r.true_peak_dbtp, 0.4, 0.2); break;
  }
}

void check_cases(const std::vector<Case>& cases)
{
  for (double rate : { 44100.0, 48000.0 }) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name + " at " + std::to_string(rate) + " Hz");
      const Measured measured = measure(c.signal, rate);
      for (const Expect& e : c.expect)
        check(measured, e);
    }
  }
}

TEST(Loudness, MeetsTheCasesOfTech3341And3342)
{
  check_cases(ebu_cases());
}

TEST(Loudness, SilenceReadsMinusInfinityAndShortSignalsAreNotMeasured)
{
  check_cases({
    { "silence",
      { { { SILENT, 5 } } },
      { { M, -INF },
        { S, -INF },
        { I, NOT_MEASURED },
        { LRA, NOT_MEASURED },
        { TP, -INF } } },
    // No complete 400 ms block (the last step is short); the window still
    // starts on silence.
    { "0.3937 s",
      { { { -23, 0.3937 } } },
      { { I, NOT_MEASURED },
        { LRA, NOT_MEASURED },
        { MAX_M, -23 + 10 * std::log10(0.3937 / 0.4) } } },
    // Short-term values evenly spread from -39.49 to -20.49 LUFS: the 58th
    // and the 543rd of 571 lie 16.17 LU apart.
    { "a ramp", ramp(-40, -20, 60), { { LRA, 16.17, 0, 0.1 } } },
    { "2.9 s", { { { -23, 2.9 } } }, { { I, -23 }, { LRA, NOT_MEASURED } } },
    { "below the absolute gate",
      { { { -75, 5 } } },
      { { M, -75, 0.4 }, { I, NOT_MEASURED }, { LRA, NOT_MEASURED } } },
    // The filters ring for a few ms after the cut, then decay through ever
    // smaller values, which read as silence.
    { "loud, then silence",
      { { { 0, 2 }, { SILENT, 4 } } },
      { { M, -INF, 2.45 }, { S, -INF, 5.05 } } },
    { "an odd length",
      { { { -23, 1.0037 } } },
      { { I, -23 }, { M, -23, 0.4 } } },
  });
}

TEST(Loudness, CountsNonFiniteSamplesAsSilenceAtAnyRate)
{
  for (double rate : { 1.0, 7.0, 150.0, 44100.0, 1e7 }) {
    SCOPED_TRACE(rate);
    // 50000 frames whatever the rate, a tone at a tenth of it.
    Signal zeros = sine(0.1, 0, 0.1);
    zeros.segments[0].seconds = 50000 / rate;
    Signal nonfinite = zeros;
    zeros.put = { { 9000, 0.0f }, { 20000, 0.0f }, { 31000, 0.0f } };
    nonfinite.put = { { 9000, NAN },
                      { 20000, INFINITY },
                      { 31000, -INFINITY } };
    const Measured a = measure(zeros, rate), b = measure(nonfinite, rate);
    EXPECT_EQ(a.momentary, b.momentary);
    EXPECT_EQ(a.short_term, b.short_term);
    EXPECT_EQ(a.result.integrated_lufs, b.result.integrated_lufs);
    EXPECT_EQ(a.result.range_lu, b.result.range_lu);
    EXPECT_EQ(a.result.true_peak_dbtp, b.result.true_peak_dbtp);
    for (double momentary : b.momentary)
      ASSERT_FALSE(std::isnan(momentary));
  }
}

} // namespace
