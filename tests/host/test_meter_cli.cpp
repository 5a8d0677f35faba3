// SPDX-License-Identifier: ISC
// tolvanic-meter on files written here with libsndfile, read back through
// its CSV output, which every test also checks for being well formed.
#include <sndfile.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
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

  // Writes a float WAV file; sample(frame, channel) gives its samples.
  std::string write_wav(const std::string& name,
                        int channels,
                        double seconds,
                        const std::function<float(int, int)>& sample)
  {
    const std::string path = dir + "/" + name;
    SF_INFO info{};
    info.samplerate = RATE;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    const int frames = static_cast<int>(seconds * RATE);
    std::vector<float> data;
    for (int f = 0; f < frames; ++f) {
      for (int c = 0; c < channels; ++c)
        data.push_back(sample(f, c));
    }
    sf_writef_float(file, data.data(), frames);
    sf_close(file);
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

float sine(double amplitude, double hz, int frame)
{
  return static_cast<float>(amplitude *
                            std::sin(2.0 * M_PI * hz * frame / RATE));
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
  // the reset at 0.7 s and shows only the quiet part after it.
  const std::string file = write_wav("drop.wav", 1, 1.0, [](int f, int) {
    return sine(f < RATE / 2 ? 0.5 : 0.1, 1000.0, f);
  });
  for (const Row& row : csv(file + " --reset-at 0.7 -i 0.05")) {
    SCOPED_TRACE(row.time);
    if (row.time < 0.7) {
      EXPECT_EQ(row.peak, 0.5);
    } else if (row.time > 0.71) {
      EXPECT_NEAR(row.peak, 0.1, 1e-6);
    }
  }
}

TEST_F(MeterCli, DemoShowsTheFallThePeakHoldAndTheReset)
{
  const std::vector<Row> rows = csv("");
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

TEST_F(MeterCli, PlotDrawsAPng)
{
  const std::string png = dir + "/demo.png";
  const Outcome result = run("--summary --plot " + png);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(png).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST_F(MeterCli, BadInputGetsOneLineAndAnExitStatus)
{
  write_wav("sine.wav", 1, 0.1, [](int f, int) { return sine(0.5, 1000, f); });
  std::ofstream(dir + "/text.wav") << "not audio\n";
  std::ofstream(dir + "/empty.wav");
  write_wav("nothing.wav", 1, 0.0, [](int, int) { return 0.0f; });
  // A WAV header that declares no channels.
  std::ofstream(dir + "/nochannels.wav")
    << std::string("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x03\0\0\0\x80\xbb\0\0"
                   "\0\0\0\0\0\0\x20\0data\0\0\0\0",
                   44);
  struct Case {
    std::string args;
    int status;
    const char* message;
  };
  const Case cases[] = {
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
    { "a.wav b.wav", 2, "more than one file" },
    { "--plot " + dir + "/no/such/dir.png", 1, "No such file or directory" },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome result = run(c.args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_EQ(result.err.rfind("tolvanic-meter: ", 0), 0U) << result.err;
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
}

} // namespace
