// SPDX-License-Identifier: ISC
// The host's side of the inline-display extension: the queue_draw feature
// it offers (counting the plug-in's calls), and the render call it makes
// on its GUI thread.
#ifndef TOLVANIC_TESTS_DISPLAY_HOST_H
#define TOLVANIC_TESTS_DISPLAY_HOST_H

#include "display/inline_display.h"

#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdint>

// The plug-in's declarations of the extension: its functions are C++,
// and a call through a pointer of another type, however alike, is one
// UndefinedBehaviorSanitizer reports.
using DisplaySurface = InlineDisplaySurface;
using DisplayInterface = InlineDisplayInterface;

// The feature, with a counter of the calls it received.
class QueueDrawFeature {
public:
  QueueDrawFeature()
    : queue_{ this, count }
    , feature_{ INLINE_DISPLAY_QUEUE_DRAW_URI, &queue_ }
    , features_{ &feature_, nullptr }
  {}
  QueueDrawFeature(const QueueDrawFeature&) = delete;
  QueueDrawFeature& operator=(const QueueDrawFeature&) = delete;

  const LV2_Feature* const* features() const { return features_; }
  int calls() const { return calls_.load(std::memory_order_relaxed); }

private:
  static void count(void* handle)
  {
    static_cast<QueueDrawFeature*>(handle)->calls_.fetch_add(
      1, std::memory_order_relaxed);
  }

  std::atomic<int> calls_{ 0 };
  InlineDisplayQueue queue_;
  LV2_Feature feature_;
  const LV2_Feature* features_[2];
};

inline const DisplayInterface* display_of(const LV2_Descriptor& plugin)
{
  return static_cast<const DisplayInterface*>(
    plugin.extension_data(INLINE_DISPLAY_INTERFACE_URI));
}

#endif
