// SPDX-License-Identifier: ISC
#include "progress.h"

ProgressLine::ProgressLine(std::FILE* out, int64_t total_frames, double rate)
  : out_(out)
  , total_(total_frames)
  , rate_(rate)
{}

void ProgressLine::update(int64_t frames_done)
{
  if (!out_) return;
  // Redraw only when the figure shown changes: whole percents, or whole
  // seconds when the length is unknown.
  const int64_t shown =
    total_ > 0 ? frames_done * 100 / total_
               : static_cast<int64_t>(static_cast<double>(frames_done) / rate_);
  if (shown == last_shown_) return;
  last_shown_ = shown;
  if (total_ > 0) {
    std::fprintf(out_, "\rmetering: %3lld%%", static_cast<long long>(shown));
  } else {
    std::fprintf(out_, "\rmetering: %lld s", static_cast<long long>(shown));
  }
  std::fflush(out_);
}

void ProgressLine::finish()
{
  if (out_ && last_shown_ >= 0) std::fprintf(out_, "\r\033[K");
}
