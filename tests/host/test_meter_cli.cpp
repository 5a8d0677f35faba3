// SPDX-License-Identifier: ISC
// tolvanic-meter on files written here with libsndfile, read back through
// its CSV output, which every test also checks for being well formed.
#include "sound_files.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef TOLVANIC_METER
#error "TOLVANIC_METER must name the built command"
#endif

namespace {

constexpr int RATE = 48000;

struct Outcome {
  int status = -1;
  std::string out, err;
};

struct Row {
  double time;
  int channel;
  double level, peak, rms;
};

std::string read_file(const std::string& path)
{
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

class MeterCli : public ::testing::Test {
protected:
  void SetUp() override
  {
    char pattern[] = "/tmp/tolvanic-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override
  {
    ASSERT_EQ(std::system(("rm -rf " + dir).c_str()), 0);
  }

  // A WAV file of float (or `encoding`) samples at RATE, or another type
  // that `encoding` names, in the test's folder.
  std::string write_wav(const std::string& name,
                        int channels,
                        double seconds,
                        const Samples& sample,
                        int encoding = SF_FORMAT_FLOAT)
  {
    const std::string path =
      write_sound(dir + "/" + name, channels, seconds, sample, encoding, RATE);
    EXPECT_FALSE(path.empty()) << name << ": " << sf_strerror(nullptr);
    return path;
  }

  Outcome run(const std::string& args, const char* program = TOLVANIC_METER)
  {
    Outcome result;
    const std::string command =
      std::string(program) + " " + args + " >" + dir + "/out 2>" + dir + "/err";
    const int status = std::system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_file(dir + "/out");
    result.err = read_file(dir + "/err");
    return result;
  }

  // The values jq's `filter` picks from a JSON document, one line per
  // array it yields, joined by spaces; jq fails on a document that is not
  // valid JSON.
  std::string jq(const std::string& json, const std::string& filter)
  {
    std::ofstream(dir + "/document.json") << json;
    const Outcome table =
      run("-r '" + filter + " | map(tostring) | join(\" \")' " + dir +
            "/document.json",
          "jq");
    EXPECT_EQ(table.status, 0) << table.err;
    return table.out;
  }

  // Runs with --csv and parses the rows, checking the header, the field
  // count and that time never goes back.
  std::vector<Row> csv(const std::string& args)
  {
    const Outcome result = run("--csv " + args);
    EXPECT_EQ(result.status, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line,
              "time_s,channel,level,peak,rms,level_dbfs,peak_dbfs,"
              "rms_dbfs");
    std::vector<Row> rows;
    while (std::getline(lines, line)) {
      Row row{};
      char db[3][16];
      const int fields = std::sscanf(line.c_str(),
                                     "%lf,%d,%lf,%lf,%lf,%15[^,],%15[^,],%15s",
                                     &row.time,
                                     &row.channel,
                                     &row.level,
                                     &row.peak,
                                     &row.rms,
                                     db[0],
                                     db[1],
                                     db[2]);
      EXPECT_EQ(fields, 8) << line;
      const double linear[] = { row.level, row.peak, row.rms };
      for (int k = 0; k < 3; ++k) {
        const double read = std::strtod(db[k], nullptr);
        if (linear[k] == 0.0) {
          EXPECT_STREQ(db[k], "-inf") << line;
        } else {
          EXPECT_NEAR(read, 20.0 * std::log10(linear[k]), 1e-3) << line;
        }
      }
      if (!rows.empty()) {
        EXPECT_GE(row.time, rows.back().time) << line;
      }
      rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty());
    return rows;
  }

  std::string dir;
};

double sine(double amplitude, double hz, int frame)
{
  return amplitude * std::sin(2.0 * M_PI * hz * frame / RATE);
}

double db(double linear)
{
  return 20.0 * std::log10(linear);
}

TEST_F(MeterCli, SinesReadTheirAmplitudesOnIndependentChannels)
{
  const double amplitude[] = { 0.5, 0.125 };
  const std::string file = write_wav("stereo.wav", 2, 1.0, [&](int f, int c) {
    return sine(amplitude[c], c == 0 ? 1000.0 : 440.0, f);
  });
  const std::vector<Row> rows = csv(file);
  ASSERT_EQ(rows.size(), 20U); // a row every 100 ms for each channel
  for (int c = 0; c < 2; ++c) {
    const Row& last = rows[rows.size() - 2 + static_cast<size_t>(c)];
    EXPECT_EQ(last.channel, c + 1);
    EXPECT_NEAR(last.time, 1.0, 256.0 / RATE);
    EXPECT_NEAR(last.peak, amplitude[c], amplitude[c] * 1e-3);
    EXPECT_NEAR(db(last.rms), db(amplitude[c] / std::sqrt(2.0)), 0.2);
  }
  EXPECT_EQ(rows[rows.size() - 2].peak, 0.5); // a 1 kHz crest is a sample
}

TEST_F(MeterCli, SilenceReadsZeroEverywhere)
{
  const std::string file =
    write_wav("silence.wav", 1, 0.5, [](int, int) { return 0.0f; });
  for (const Row& row : csv(file + " -i 0.05")) {
    EXPECT_EQ(row.level, 0.0);
    EXPECT_EQ(row.peak, 0.0);
    EXPECT_EQ(row.rms, 0.0);
  }
}

TEST_F(MeterCli, ResetAtClearsThePeakHoldThere)
{
  // Loud for 0.5 s, then quiet: the peak hold keeps the loud part until
  // the reset and shows only the quiet part after it, with a row after
  // every block. Resets may come in any order, and one may fall on a
  // block's first frame (0.768 s is frame 36864, 144 blocks of 256): the
  // block that ends there still holds the loud peak.
  const std::string file = write_wav("drop.wav", 1, 1.0, [](int f, int) {
    return sine(f < RATE / 2 ? 0.5 : 0.1, 1000.0, f);
  });
  const std::pair<const char*, double> cases[] = {
    { "--reset-at 0.7", 0.7 },
    { "--reset-at 2 --reset-at 0.9 --reset-at 0.7", 0.7 },
    { "--reset-at 0.768", 0.768 },
  };
  for (const auto& [args, at] : cases) {
    for (const Row& row : csv(file + " -i 0.001 " + args)) {
      SCOPED_TRACE(testing::Message() << args << " at " << row.time);
      if (row.time <= at) {
        EXPECT_EQ(row.peak, 0.5);
      } else if (row.time > at + 256.0 / RATE) {
        EXPECT_NEAR(row.peak, 0.1, 1e-6);
      }
    }
  }
}

// The summary's three readings differ on the demo: the first crest of the
// 1 kHz tone (frame 12) is the highest peak, the reset at 2.5 s leaves the
// -20 dBFS burst in the final hold, and the RMS of the -6 dBFS tone stays
// below its level.
TEST_F(MeterCli, SummaryTellsPeakHoldAndRmsApart)
{
  const Outcome result = run("--summary --csv");
  ASSERT_EQ(result.status, 0) << result.err;
  std::istringstream lines(result.out);
  std::string header, row;
  std::getline(lines, header);
  std::getline(lines, row);
  EXPECT_EQ(header,
            "channel,highest_peak,highest_peak_time_s,final_peak_hold,"
            "highest_rms,rms,clipped_samples,nonfinite_samples");
  int channel = 0;
  double peak = 0, time = 0, hold = 0, highest_rms = 0, rms = 0;
  ASSERT_EQ(std::sscanf(row.c_str(),
                        "%d,%lf,%lf,%lf,%lf,%lf",
                        &channel,
                        &peak,
                        &time,
                        &hold,
                        &highest_rms,
                        &rms),
            6)
    << row;
  EXPECT_EQ(peak, 0.5);
  EXPECT_EQ(time, 0.00025);
  EXPECT_NEAR(db(hold), -20.0, 0.01);
  EXPECT_NEAR(db(highest_rms), db(0.5 / std::sqrt(2.0)), 0.3);
  // 0.5 s at -9.03 dBFS and 1 s at -23.01 dBFS, over 3 s.
  EXPECT_NEAR(rms, std::sqrt((0.5 * 0.125 + 1.0 * 0.005) / 3.0), 1e-4);
}

TEST_F(MeterCli, DemoShowsTheFallThePeakHoldAndTheReset)
{
  const std::vector<Row> rows = csv("");
  ASSERT_FALSE(rows.empty());
  const auto at = [&](double t) {
    for (const Row& row : rows) {
      if (row.time >= t) return row;
    }
    return rows.back();
  };
  // 1.5 s of silence after the -6 dBFS tone: the level falls 22.5 dB, the
  // peak hold stays; the reset at 2.5 s drops it to the -20 dBFS burst.
  EXPECT_NEAR(db(at(2.0).level), db(0.5) - 22.5, 0.5);
  EXPECT_EQ(at(2.0).peak, 0.5);
  EXPECT_EQ(at(2.35).peak, 0.5);
  EXPECT_NEAR(db(at(2.55).peak), -20.0, 0.01);

  const Outcome text = run("");
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("summary (dBFS)"), std::string::npos);
}

// What the command itself finds in a file's samples, found again here
// from the same samples.
struct Expected {
  double peak = 0.0;
  int peak_frame = -1;
  double sum_squares = 0.0;
  int finite = 0, nonfinite = 0, clipped = 0;
};

Expected expect(int frames, const Samples& sample, int channel = 0)
{
  Expected e;
  for (int f = 0; f < frames; ++f) {
    // As the command reads it: a float.
    const auto x = static_cast<double>(static_cast<float>(sample(f, channel)));
    if (!std::isfinite(x)) {
      ++e.nonfinite;
      continue;
    }
    ++e.finite;
    e.sum_squares += x * x;
    e.clipped += std::fabs(x) >= 1.0 ? 1 : 0;
    if (std::fabs(x) > e.peak) {
      e.peak = std::fabs(x);
      e.peak_frame = f;
    }
  }
  return e;
}

// A batch of files that each hide something from the plug-in's readings:
// a click in the last 10 ms, a peak ten samples before an infinity, a
// double beyond float range, full-scale samples, a WAV cut short, a file
// that is not there, and standard input. Each is reported whole, in the
// order given, with its one line on stderr, whatever --jobs.
TEST_F(MeterCli, BatchReportsEverySampleInOrder)
{
  const int frames = RATE + 720; // 1.015 s, not a multiple of 0.1 s
  const int click = frames - 480, hidden = RATE / 2;
  struct Made {
    const char* name;
    int encoding;
    Samples sample;
    const char* warning; // on stderr, after the file's name
  };
  const Made made[] = {
    { "click.wav",
      SF_FORMAT_FLOAT,
      [&](int f, int) { return f == click ? 0.9 : sine(0.01, 1000, f); },
      nullptr },
    { "hidden.wav",
      SF_FORMAT_FLOAT,
      [&](int f, int) {
        return f == hidden        ? -0.9
               : f == hidden + 10 ? HUGE_VAL
               : f == hidden + 99 ? std::nan("")
                                  : sine(0.1, 440, f);
      },
      "2 non-finite samples (NaN, infinite or beyond float range), the "
      "first at 0.500208 s on channel 1" },
    { "wide.wav",
      SF_FORMAT_DOUBLE,
      [&](int f, int) {
        return f == hidden ? 0.9 : f == hidden + 1 ? 1e39 : sine(0.1, 440, f);
      },
      "1 non-finite sample" },
    { "loud.wav",
      SF_FORMAT_FLOAT,
      [&](int f, int) {
        return f % 4800 == 7 ? -1.0 : f == 9000 ? 1.5 : sine(0.5, 997, f);
      },
      "peak 3.52 dBFS on channel 1 at 0.187500 s is above --fail-above -0.5" },
    { "silent.wav", SF_FORMAT_FLOAT, [](int, int) { return 0.0; }, nullptr },
  };
  std::string args;
  for (const Made& m : made)
    args += " " + write_wav(m.name, 1, 1.015, m.sample, m.encoding);
  // Half of its data cut off.
  const std::string cut =
    write_wav("cut.wav", 1, 1.0, [](int f, int) { return sine(0.5, 1000, f); });
  struct stat whole {};
  ASSERT_EQ(stat(cut.c_str(), &whole), 0);
  ASSERT_EQ(truncate(cut.c_str(), whole.st_size - 4 * RATE / 2), 0);
  args += " " + cut + " " + dir + "/missing.wav - <" + dir + "/click.wav";

  const Outcome many = run("--json --fail-above -0.5 --jobs 4" + args);
  const Outcome one = run("--json --fail-above -0.5 --jobs 1" + args);
  EXPECT_EQ(many.status, 1) << "a file that cannot be read outranks 3";
  EXPECT_EQ(one.out, many.out);
  EXPECT_EQ(one.err, many.err);
  const std::vector<std::string> lines = {
    std::string("hidden.wav: ") + made[1].warning,
    std::string("wide.wav: ") + made[2].warning,
    std::string("loud.wav: ") + made[3].warning,
    "cut.wav: ends after 24000 frames (0.500000 s) where its header "
    "declares 48000 (1.000000 s)",
    "missing.wav: No such file or directory",
  };
  std::istringstream err(many.err);
  for (const std::string& expected : lines) {
    std::string line;
    std::getline(err, line);
    EXPECT_NE(line.find(expected), std::string::npos) << line;
  }
  EXPECT_TRUE(err.peek() == EOF) << many.err;

  // The JSON document read back through jq, one line per file.
  std::istringstream rows(
    jq(many.out,
       ".files[] | [.path, .error == null, .frames, (.per_channel[0] | "
       ".peak_dbfs, .peak_time_s, .rms_dbfs, .nonfinite_samples, "
       ".clipped_samples)]"));
  for (size_t i = 0; i < 8; ++i) {
    std::string line;
    std::getline(rows, line);
    SCOPED_TRACE(line);
    std::istringstream words(line);
    std::vector<std::string> word;
    for (std::string w; words >> w;)
      word.push_back(w);
    ASSERT_GE(word.size(), 3U);
    EXPECT_EQ(word[1], i == 6 ? "false" : "true"); // missing.wav
    if (i == 5 || i == 6) continue;                // cut short, or not there
    ASSERT_EQ(word.size(), 8U);
    const Expected e = expect(frames, made[i < 5 ? i : 0].sample);
    const auto number = [&](size_t w) { return std::stod(word[w]); };
    EXPECT_EQ(number(2), frames);
    if (e.peak == 0.0) { // silence: no level at all, no peak time
      EXPECT_EQ(line.substr(line.find(' ')),
                " true " + std::to_string(frames) + " null null null 0 0");
      continue;
    }
    EXPECT_NEAR(number(3), db(e.peak), 1e-4);
    EXPECT_NEAR(number(4), static_cast<double>(e.peak_frame) / RATE, 1e-6);
    EXPECT_NEAR(number(5), 10.0 * std::log10(e.sum_squares / e.finite), 0.01);
    EXPECT_EQ(number(6), e.nonfinite);
    EXPECT_EQ(number(7), e.clipped);
  }

  // --fail-above both ways, at a peak of exactly 0 dBFS, and a non-finite
  // sample.
  const std::string full = write_wav(
    "full.wav", 1, 0.01, [](int f, int) { return f == 3 ? 1.0 : 0.25; });
  const std::pair<std::string, int> limits[] = {
    { "0 " + full, 0 },
    { "-0.001 " + full, 3 },
    { "6 " + dir + "/wide.wav", 3 },
  };
  for (const auto& [limit, status] : limits)
    EXPECT_EQ(run("--summary --fail-above " + limit).status, status) << limit;
}

// The timeline ends with a row at the end of the file, whatever the
// interval, and whether the file ends on a block's end (in blocks of 256)
// or within one (1000): the click in the last 10 ms shows. An equal click
// in an earlier chunk keeps the highest peak's time.
TEST_F(MeterCli, TimelineEndsAtTheEndOfTheFile)
{
  const int frames = 288 * 256; // 1.536 s
  const std::string file = write_wav("click.wav", 1, 1.536, [&](int f, int) {
    return f == 4800 || f == frames - 480 ? 0.9 : sine(0.01, 1000, f);
  });
  for (const char* args :
       { "-i 0.1", "-i 2", "-i 0.1 -b 1000", "-i 2 -b 1000" }) {
    SCOPED_TRACE(args);
    const std::vector<Row> rows = csv(std::string(args) + " " + file);
    EXPECT_DOUBLE_EQ(rows.back().time, 1.536);
    EXPECT_NEAR(db(rows.back().level), db(0.9), 0.2);
  }
  EXPECT_NE(run(file).out.find("\n   1.536 "), std::string::npos);
  const Outcome summary = run("--summary --csv " + file);
  EXPECT_NE(summary.out.find("\n1,0.899999976,0.100000,"), std::string::npos)
    << summary.out;
}

// Five channels in blocks of 2^20 frames need more than the 16 MB the
// command gives the channels' blocks: it meters four channels, then the
// fifth, reading each block again. Every channel still gets its own
// samples, each once, and 16-bit samples read as what they are: the fifth
// channel's spike comes in the second, short block, and it is the loudest
// there, where the first channel's samples wait in a buffer the fifth's
// group uses too.
TEST_F(MeterCli, ManyChannelsInLargeBlocksAreMeteredAGroupAtATime)
{
  const int frames = (1 << 20) + 4096;
  const auto sample = [](int f, int c) {
    const int spike = c < 4 ? 1000 + 7919 * c : (1 << 20) + 100;
    return f == spike ? 0.3 + 0.1 * c : sine(0.05 * (c + 1), 200 + 100 * c, f);
  };
  const std::string file = write_wav("five.wav",
                                     5,
                                     static_cast<double>(frames) / RATE,
                                     sample,
                                     SF_FORMAT_PCM_16);
  const Outcome json = run("--json -b 1048576 " + file);
  ASSERT_EQ(json.status, 0) << json.err;
  std::istringstream rows(
    jq(json.out,
       ".files[0].per_channel[] | [.peak_dbfs, "
       ".peak_time_s, .final_peak_hold_dbfs, .rms_dbfs]"));
  for (int c = 0; c < 5; ++c) {
    SCOPED_TRACE(c);
    double peak = 0, time = 0, hold = 0, rms = 0;
    rows >> peak >> time >> hold >> rms;
    const Expected e = expect(frames, sample, c);
    EXPECT_NEAR(peak, db(e.peak), 1e-3); // 16 bits: within 0.0003 dB
    EXPECT_NEAR(time, static_cast<double>(e.peak_frame) / RATE, 1e-6);
    EXPECT_EQ(hold, peak); // no reset: the hold ends at the highest peak
    EXPECT_NEAR(rms, 10.0 * std::log10(e.sum_squares / e.finite), 0.01);
  }
}

// Loudness as the command reports it, per file: a 1 kHz tone at -23 dBFS
// reads -23 LUFS on two channels and -26 on one, -23 again counted as dual
// mono; what cannot be measured (silence, less than one 400 ms block) is
// null, not a number; four channels without a map get one warning. The
// limits give status 3 with a line each, or 0.
TEST_F(MeterCli, LoudnessAndItsLimits)
{
  const auto tone = [](int f, int) { return sine(0.0707946, 1000, f); };
  const std::string stereo = write_wav("stereo.wav", 2, 4.0, tone);
  const std::string mono = write_wav("mono.wav", 1, 4.0, tone);
  const std::string silent =
    write_wav("silent.wav", 2, 1.0, [](int, int) { return 0.0; });
  const std::string brief = write_wav("brief.wav", 2, 0.3, tone);
  const std::string four = write_wav("four.wav", 4, 1.0, tone);
  const std::string figures =
    ".files[] | [((.loudness | .integrated_lufs, .range_lu, "
    ".max_momentary_lufs, .max_short_term_lufs, .true_peak_dbtp) | "
    "if . == null then \"null\" else (. * 10 | round / 10) end), "
    "(.warnings | length)]";
  struct Case {
    std::string args;
    const char* read; // integrated, range, M, S, true peak, warnings
  };
  const Case cases[] = {
    { stereo, "-23 0 -23 -23 -23 0" },
    { mono, "-26 0 -26 -26 -23 0" },
    { "--dual-mono " + mono, "-23 0 -23 -23 -23 0" },
    { silent, "null null null null null 0" },
    { brief, "null null -24.2 -33 -23 0" }, // 0.3 s of a 0.4 s window
    { four, "-20 null -20 -24.8 -23 1" },   // 1 s of a 3 s window
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome result = run("--json --loudness " + c.args);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(jq(result.out, figures), std::string(c.read) + "\n");
  }
  EXPECT_NE(run("--loudness " + four).err.find("each counts 1"),
            std::string::npos);

  // A line on stderr for each limit the file breaks.
  struct Limit {
    std::string args;
    int status;
    long lines;
  };
  const Limit limits[] = {
    { "--fail-loudness -23,0.5 --fail-true-peak -1", 0, 0 },
    { "--fail-loudness -20,0.5", 3, 1 },
    { "--fail-true-peak -30", 3, 1 },
    { "--fail-loudness -20,1 --fail-true-peak -30 --fail-above -30", 3, 3 },
  };
  for (const Limit& limit : limits) {
    SCOPED_TRACE(limit.args);
    const Outcome result = run("--summary " + limit.args + " " + stereo);
    EXPECT_EQ(result.status, limit.status);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'),
              limit.lines)
      << result.err;
  }
  EXPECT_EQ(run("--summary --fail-loudness -23,1 " + silent).status, 3);
}

TEST_F(MeterCli, PlotDrawsAPng)
{
  const std::string png = dir + "/demo.png";
  const Outcome result = run("--summary --plot " + png);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(png).substr(0, 8), "\x89PNG\r\n\x1a\n");

  // A stand-in gnuplot that keeps what it is given: each series is drawn
  // from the column that holds its reading, up to the end of the file.
  ASSERT_EQ(std::system(("mkdir " + dir + "/bin").c_str()), 0);
  std::ofstream(dir + "/bin/gnuplot")
    << "#!/bin/sh\ncat >\"$0.in\"\necho stand-in\n";
  ASSERT_EQ(std::system(("chmod +x " + dir + "/bin/gnuplot").c_str()), 0);
  const std::string program = "PATH=" + dir + "/bin:$PATH " TOLVANIC_METER;
  ASSERT_EQ(run("--summary --plot " + png, program.c_str()).status, 0);
  EXPECT_EQ(read_file(png), "stand-in\n");
  std::istringstream script(read_file(dir + "/bin/gnuplot.in"));
  std::map<std::string, int> column; // series title to data column
  std::vector<std::vector<double>> rows;
  for (std::string line; std::getline(script, line);) {
    const size_t use = line.find("column("), title = line.find("title '");
    if (use != std::string::npos && title != std::string::npos) {
      const std::string name =
        line.substr(title + 7, line.find('\'', title + 7) - title - 7);
      column[name] = std::atoi(line.c_str() + use + 7);
    }
    std::istringstream numbers(line);
    std::vector<double> row;
    for (double x = 0; numbers >> x;)
      row.push_back(x);
    if (row.size() == 4) rows.push_back(row);
  }
  ASSERT_EQ(column.size(), 3U);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back()[0], 3.0);
  // At 1.9 s, 1.4 s into the silence: the hold keeps the tone's -6.02
  // dBFS, the level has fallen 21 dB, the RMS further still.
  const auto at = std::find_if(
    rows.begin(), rows.end(), [](const auto& r) { return r[0] >= 1.9; });
  ASSERT_NE(at, rows.end());
  const auto reading = [&](const char* name) {
    return (*at)[static_cast<size_t>(column[name] - 1)];
  };
  EXPECT_NEAR(reading("peak hold"), -6.02, 0.01);
  EXPECT_NEAR(reading("level"), -6.02 - 15.0 * 1.4, 0.5);
  EXPECT_LT(reading("RMS"), -40.0);
}

TEST_F(MeterCli, BadInputGetsOneLineAndAnExitStatus)
{
  write_wav("sine.wav", 1, 0.1, [](int f, int) { return sine(0.5, 1000, f); });
  std::ofstream(dir + "/text.wav") << "not audio\n";
  std::ofstream(dir + "/empty.wav");
  write_wav("nothing.wav", 1, 0.0, [](int, int) { return 0.0f; });
  std::ofstream(dir + "/nochannels.wav") << wav_header(0);
  // Compressed WAVs cut in half: they have no whole number of bytes per
  // frame, and their length in frames is in the header's 'fact' chunk.
  for (const auto& [name, encoding] :
       { std::pair{ "ima.wav", SF_FORMAT_IMA_ADPCM },
         std::pair{ "gsm.wav", SF_FORMAT_GSM610 } }) {
    const std::string path = write_wav(
      name, 1, 1.0, [](int f, int) { return sine(0.5, 1000, f); }, encoding);
    struct stat whole {};
    ASSERT_EQ(stat(path.c_str(), &whole), 0);
    ASSERT_EQ(truncate(path.c_str(), whole.st_size / 2), 0);
  }
  struct Case {
    std::string args;
    int status;
    const char* message;
    std::string piped = {}; // a file fed through a pipe to standard input
  };
  const std::string cut = "where its header declares 48000 (1.000000 s)";
  const Case cases[] = {
    { dir + "/ima.wav", 0, "ima.wav: ends after" },
    { "-", 0, "): it is cut short", dir + "/ima.wav" },
    { dir + "/gsm.wav", 0, cut.c_str() },
    { "-", 0, "standard input: ends after", dir + "/gsm.wav" },
    // libsndfile prints on standard output while it reads this header.
    { "--json " TOLVANIC_REGRESSIONS "/prints-on-stdout.sds >" + dir +
        "/sds.json",
      1,
      "prints-on-stdout.sds: not an audio file" },
    { dir + "/missing.wav", 1, "missing.wav: No such file or directory" },
    { dir + "/text.wav", 1, "not an audio file libsndfile can decode" },
    { dir + "/empty.wav", 1, "not an audio file libsndfile can decode" },
    { dir + "/nochannels.wav", 1, "nochannels.wav: not an audio file" },
    { dir + "/nothing.wav", 1, "nothing.wav: holds no audio" },
    { "-b 0 " + dir + "/sine.wav", 2, "invalid value '0' for --block-size" },
    { "-i -0.1", 2, "invalid value '-0.1' for --interval" },
    { "-i 0", 2, "for --interval" },
    { "--reset-at x", 2, "invalid value 'x' for --reset-at" },
    { "--frobnicate", 2, "unknown option --frobnicate" },
    { "--plot p.png a.wav b.wav", 2, "--plot draws one file, not 2" },
    { "--json --csv", 2, "--json and --csv do not go together" },
    { "--jobs 0", 2, "invalid value '0' for --jobs" },
    { "--fail-above loud", 2, "invalid value 'loud' for --fail-above" },
    { "--fail-loudness -23", 2, "invalid value '-23' for --fail-loudness" },
    { "--fail-loudness -23,-1", 2, "expected TARGET,TOLERANCE" },
    { "--fail-true-peak x", 2, "invalid value 'x' for --fail-true-peak" },
    { "--plot " + dir + "/no/such/dir.png", 1, "No such file or directory" },
    { "--plot /dev/full", 1, "/dev/full: No space left on device" },
    { "--summary >/dev/full", 1, "standard output: No space left on device" },
    { "--jobs 4 " + dir + "/sine.wav " + dir + "/sine.wav " + dir +
        "/sine.wav >/dev/full",
      1,
      "standard output: No space left on device" },
    { "--json >/dev/full", 1, "standard output: No space left on device" },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    // In a subshell, so that a case may send stdout elsewhere.
    const std::string pipe = c.piped.empty() ? "" : "cat " + c.piped + " | ";
    const Outcome result =
      run(c.args + ")", (pipe + "(" TOLVANIC_METER).c_str());
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_EQ(result.err.rfind("tolvanic-meter: ", 0), 0U) << result.err;
  }
  // Still one valid document.
  EXPECT_NE(jq(read_file(dir + "/sds.json"), "[.files[0].error]")
              .find("prints-on-stdout.sds: not an audio file"),
            std::string::npos);
  // The bounds themselves are accepted.
  for (const char* args :
       { "--reset-at 0", "-i 0.001", "-b 1", "-b 1048576" }) {
    EXPECT_EQ(run(std::string(args) + " --summary").status, 0) << args;
  }
}

// Names that JSON and CSV must escape or quote (a backslash, a line
// break, a control character, a double quote) come back as they were, and
// a WAV from a pipe, whose header declares an unknown length, is not taken
// for one cut short.
TEST_F(MeterCli, OddNamesAndPipedWavesComeBackIntact)
{
  // a\b<newline>c<U+0001> "d",e.wav
  const std::string file =
    write_wav("a\\b\nc\001 \"d\",e.wav", 1, 0.2, [](int f, int) {
      return sine(0.5, 1000, f);
    });
  const std::string plain = write_wav(
    "plain.wav", 1, 0.2, [](int f, int) { return sine(0.25, 1000, f); });
  const std::string quoted = "'" + file + "'";

  const Outcome json = run("--json " + quoted + " " + plain);
  ASSERT_EQ(json.status, 0) << json.err;
  // jq writes each path back as JSON: the same escapes, so the same text.
  EXPECT_EQ(jq(json.out, "[.files[].path | @json]"),
            "\"" + dir + "/a\\\\b\\nc\\u0001 \\\"d\\\",e.wav\" \"" + plain +
              "\"\n");

  // A double quote alone is reason enough to quote a CSV field.
  const std::string quote = write_wav(
    "say \"hi\".wav", 1, 0.2, [](int f, int) { return sine(0.125, 1000, f); });
  EXPECT_NE(run("--csv --summary '" + quote + "' " + plain)
              .out.find("\n\"" + dir + "/say \"\"hi\"\".wav\",1,0.125,"),
            std::string::npos);

  const Outcome csv = run("--csv --summary " + quoted + " " + plain);
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(
    csv.out.find("\n\"" + dir + "/a\\b\nc\001 \"\"d\"\",e.wav\",1,0.5,"),
    std::string::npos)
    << csv.out;
  EXPECT_NE(csv.out.find("\n" + plain + ",1,0.25,"), std::string::npos);

  declare_unknown_length(plain);
  const Outcome piped =
    run("--json -", ("cat " + plain + " | " TOLVANIC_METER).c_str());
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.err, "");
  EXPECT_EQ(jq(piped.out, ".files[] | [.frames, (.warnings | length)]"),
            "9600 0\n");
}

// Standard input takes every format a file name does, and gives the same
// figures: a stream longer than a megabyte as it comes (FLAC), or from a
// spooled copy where its audio comes before its format (AIFF, SSND before
// COMM); a short one from memory, whatever its format (NIST, whose reader
// needs the length of what it reads). A spool that cannot be written is
// one line and status 1.
TEST_F(MeterCli, PipesCarryEveryFormat)
{
  const std::string flac = write_wav(
    "take.flac",
    2,
    20.0,
    [](int f, int c) { return sine(c == 0 ? 0.5 : 0.25, 997, f); },
    SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  std::vector<int16_t> samples;
  for (int f = 0; f < 12 * RATE; ++f)
    samples.push_back(static_cast<int16_t>(std::lround(sine(16000, 1000, f))));
  const std::string aiff = dir + "/late.aiff";
  std::ofstream(aiff, std::ios::binary) << aiff_audio_first(samples);
  ASSERT_GT(read_file(flac).size(), 1U << 20);
  ASSERT_GT(read_file(aiff).size(), 1U << 20);

  const std::string figures =
    ".files[] | [.frames, .channels, (.per_channel[] | .peak_dbfs, "
    ".peak_time_s, .final_peak_hold_dbfs, .highest_rms_dbfs, .rms_dbfs)]";
  const std::string nist = write_wav(
    "take.nist",
    1,
    0.1,
    [](int f, int) { return sine(0.5, 1000, f); },
    SF_FORMAT_NIST | SF_FORMAT_PCM_16);
  for (const std::string& file : { flac, aiff, nist }) {
    SCOPED_TRACE(file);
    const Outcome named = run("--json " + file);
    const Outcome piped =
      run("--json -", ("cat " + file + " | " TOLVANIC_METER).c_str());
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(jq(piped.out, figures), jq(named.out, figures));
  }

  // No folder to spool into, and a file size limit that stops the spool.
  const std::string no_folder =
    "cat " + aiff + " | TMPDIR=" + dir + "/none " TOLVANIC_METER;
  const std::string limited = "cat " + aiff +
                              " | sh -c \"trap '' XFSZ; ulimit -f 4; exec " +
                              TOLVANIC_METER;
  const std::pair<std::string, std::string> failures[] = {
    { no_folder + " --summary -", "No such file or directory" },
    { limited + " --summary -\"", "File too large" },
  };
  for (const auto& [command, why] : failures) {
    SCOPED_TRACE(command);
    const Outcome result = run("", command.c_str());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("tolvanic-meter: standard input: cannot spool "
                               "it to a temporary file in ",
                               0),
              0U)
      << result.err;
    EXPECT_NE(result.err.find(why), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  }
}

// A closed output ends the command with one line and status 1, with or
// without --plot: one policy for SIGPIPE.
TEST_F(MeterCli, ClosedOutputIsAWriteError)
{
  const std::string file = write_wav(
    "long.wav", 1, 10.0, [](int f, int) { return sine(0.5, 1000, f); });
  for (const std::string& plot :
       { std::string(), " --plot " + dir + "/p.png" }) {
    SCOPED_TRACE(plot);
    const std::string command =
      "sh -c '" TOLVANIC_METER " -i 0.001" + plot + " " + file + " 2>" + dir +
      "/closed; echo $? >" + dir + "/status' | head -c 1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read_file(dir + "/status"), "1\n");
    EXPECT_EQ(read_file(dir + "/closed"),
              "tolvanic-meter: standard output: Broken pipe\n");
  }
}

TEST_F(MeterCli, CleanUnderValgrind)
{
#ifdef TOLVANIC_SANITIZED
  GTEST_SKIP() << "a sanitizer build's runtime cannot run under valgrind";
#endif
  const std::string file = write_wav("stereo.wav", 2, 0.3, [](int f, int c) {
    return sine(c == 0 ? 0.5 : 0.25, 1000.0, f);
  });
  const Outcome result =
    run("--csv --reset-at 0.1 " + file,
        TOLVANIC_VALGRIND " --error-exitcode=1 --leak-check=full "
                          "--quiet " TOLVANIC_METER);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
}

TEST_F(MeterCli, RelativeLv2PathFolderIsNoCrash)
{
  // lilv itself crashes on a relative folder that holds a bundle.
  ASSERT_EQ(std::system(("mkdir -p " + dir + "/lv2/other.lv2").c_str()), 0);
  const std::string program = "cd " + dir + " && LV2_PATH=lv2 " TOLVANIC_METER;
  const Outcome result = run("--summary", program.c_str());
  EXPECT_EQ(result.status, 0) << result.err;
}

TEST_F(MeterCli, PluginNotFoundSaysWhereItLooked)
{
  const Outcome result =
    run("--summary", "LV2_PATH=/nowhere " TOLVANIC_METER_NO_FALLBACK);
  EXPECT_EQ(result.status, 1);
  for (const char* part : { "not found",
                            "LV2_PATH=/nowhere",
                            "/nonexistent/lv2",
                            "make install" }) {
    EXPECT_NE(result.err.find(part), std::string::npos) << result.err;
  }
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "lilv's lines";
}

} // namespace
