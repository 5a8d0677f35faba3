// SPDX-License-Identifier: ISC
#include "plot.h"

#include "text.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// Silence is drawn at this floor, below the bottom of the plot.
constexpr double FLOOR_DB = -120.0;

// A gnuplot string in single quotes, where only the quote is special.
std::string quoted(const std::string& text)
{
  std::string result = "'";
  for (char c : text)
    result += c == '\'' ? std::string("''") : std::string(1, c);
  return result + "'";
}

// The momentary and short-term loudness, in the columns after every
// channel's readings, and the integrated loudness across the panel.
std::string loudness_panel(int channels, std::optional<double> integrated)
{
  const int momentary = 2 + 3 * channels;
  std::string panel =
    "set title 'loudness'\n"
    "set ylabel 'LUFS'\n" +
    printf_text("plot $readings using 1:%d with lines lw 2 title 'momentary',"
                "\\\n     '' using 1:%d with lines lw 2 title 'short-term'",
                momentary,
                momentary + 1);
  if (integrated && std::isfinite(*integrated)) {
    panel += printf_text(",\\\n     %.2f with lines dt 2 lw 2 title "
                         "'integrated %.1f LUFS'",
                         *integrated,
                         *integrated);
  }
  return panel + "\n";
}

} // namespace

Plot::Plot(std::string png, std::string title, int channels, bool loudness)
  : png_(std::move(png))
  , title_(std::move(title))
  , channels_(channels)
  , loudness_(loudness)
{
  // Find out now, not after metering a long file, that the PNG cannot be
  // written; appending leaves a file that is there untouched.
  created_ = access(png_.c_str(), F_OK) != 0;
  if (std::FILE* probe = std::fopen(png_.c_str(), "ab")) {
    std::fclose(probe);
  } else {
    throw std::runtime_error(png_ + ": " + std::strerror(errno));
  }
  drawn_ = std::tmpfile();
  int commands[2] = { -1, -1 };
  if (!drawn_ || pipe2(commands, O_CLOEXEC) != 0) {
    const int error = errno;
    if (drawn_) std::fclose(drawn_);
    if (created_) std::remove(png_.c_str());
    throw std::runtime_error(std::string("cannot start gnuplot: ") +
                             std::strerror(error));
  }
  // gnuplot reads the pipe, draws into the temporary file and says nothing
  // on stderr: the one line about a failure is ours.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, commands[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fileno(drawn_), STDOUT_FILENO);
  posix_spawn_file_actions_addopen(
    &actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char name[] = "gnuplot";
  char* argv[] = { name, nullptr };
  const int failed =
    posix_spawnp(&pid_, name, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(commands[0]);
  if (failed != 0) {
    close(commands[1]);
    std::fclose(drawn_);
    if (created_) std::remove(png_.c_str());
    throw std::runtime_error(
      failed == ENOENT
        ? std::string("--plot needs gnuplot (apt-get install gnuplot-nox)")
        : std::string("cannot start gnuplot: ") + std::strerror(failed));
  }
  gnuplot_ = fdopen(commands[1], "w");
  std::fprintf(gnuplot_, "$readings << EOD\n");
}

Plot::~Plot()
{
  // Metering failed before the plot was drawn: leave no empty PNG behind.
  if (gnuplot_) {
    stop_gnuplot();
    if (created_) std::remove(png_.c_str());
  }
  std::fclose(drawn_);
}

int Plot::stop_gnuplot()
{
  std::fclose(gnuplot_);
  gnuplot_ = nullptr;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

void Plot::copy_to_png()
{
  std::rewind(drawn_);
  std::FILE* png = std::fopen(png_.c_str(), "wb");
  if (!png) throw std::runtime_error(png_ + ": " + std::strerror(errno));
  char buffer[65536];
  size_t got = 0;
  bool written = true;
  while (written && (got = std::fread(buffer, 1, sizeof buffer, drawn_)) > 0)
    written = std::fwrite(buffer, 1, got, png) == got;
  written = std::fclose(png) == 0 && written;
  if (!written) {
    const int error = errno;
    if (created_) std::remove(png_.c_str());
    throw std::runtime_error(png_ + ": " + std::strerror(error));
  }
}

void Plot::row(double seconds,
               const std::vector<MeterReadings>& channels,
               const RowLoudness* loudness)
{
  std::fprintf(gnuplot_, "%.6f", seconds);
  for (const MeterReadings& r : channels) {
    for (float value : { r.level, r.peak, r.rms }) {
      const double db = std::fmax(to_dbfs(value), FLOOR_DB);
      if (db > FLOOR_DB) {
        lowest_db_ = std::fmin(lowest_db_, db);
        highest_db_ = std::fmax(highest_db_, db);
      }
      std::fprintf(gnuplot_, " %.3f", db);
    }
  }
  // Silence is drawn at the floor too, below the panel's bottom.
  if (loudness_ && loudness) {
    for (double lufs : { loudness->momentary_lufs, loudness->short_term_lufs })
      std::fprintf(gnuplot_, " %.3f", std::fmax(lufs, FLOOR_DB));
  }
  std::fprintf(gnuplot_, "\n");
}

void Plot::finish(std::optional<double> integrated_lufs)
{
  // From a little below the quietest reading (at most 100 dB down) to a
  // little above the loudest, and never less than -60 to 0 dBFS.
  const double bottom =
    std::fmax(-100.0, std::fmin(-60.0, std::floor(lowest_db_ / 10.0) * 10.0));
  const double top = std::fmax(0.0, std::ceil(highest_db_ / 3.0) * 3.0) + 3.0;
  const int panels = channels_ + (loudness_ ? 1 : 0);
  const int height = 120 + 260 * panels;
  std::fprintf(
    gnuplot_,
    "EOD\n"
    "if (strstrt(GPVAL_TERMINALS, 'pngcairo') > 0) {\n"
    "  set terminal pngcairo size 960,%d font ',10' noenhanced\n"
    "} else {\n"
    "  set terminal png size 960,%d noenhanced\n"
    "}\n"
    "set multiplot layout %d,1 title %s\n"
    "set yrange [%g:%g]\n"
    "set ylabel 'dBFS'\n"
    "set xlabel 'time (s)'\n"
    "set grid\n"
    "set key bottom right\n"
    "do for [c = 0:%d] {\n"
    "  set title sprintf('channel %%d', c + 1)\n"
    "  plot $readings using 1:(column(2 + 3 * c)) with lines lw 2 "
    "title 'level',\\\n"
    "       '' using 1:(column(3 + 3 * c)) with steps lw 2 title 'peak "
    "hold',\\\n"
    "       '' using 1:(column(4 + 3 * c)) with lines lw 2 title 'RMS'\n"
    "}\n"
    "%s"
    "unset multiplot\n",
    height,
    height,
    panels,
    quoted(title_).c_str(),
    bottom,
    top,
    channels_ - 1,
    loudness_ ? loudness_panel(channels_, integrated_lufs).c_str() : "");
  const bool fed = std::fflush(gnuplot_) == 0;
  const int status = stop_gnuplot();
  const bool drew =
    std::fseek(drawn_, 0, SEEK_END) == 0 && std::ftell(drawn_) > 0;
  if (!fed || status != 0 || !drew) {
    if (created_) std::remove(png_.c_str());
    const std::string how =
      WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
      : WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                            : "status " + std::to_string(status);
    throw std::runtime_error("gnuplot failed to draw " + png_ + " (" + how +
                             (fed ? "" : ", it stopped reading") +
                             (drew ? "" : ", it drew nothing") + ")");
  }
  copy_to_png();
}
