// SPDX-License-Identifier: ISC
// The host's side of the inline-display extension, declared here as a host
// declares it: the queue_draw feature it offers (counting the plug-in's
// calls), and the render call it makes on its GUI thread.
#ifndef TOLVANIC_TESTS_DISPLAY_HOST_H
#define TOLVANIC_TESTS_DISPLAY_HOST_H

#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdint>

#define DISPLAY_INTERFACE_URI                                                  \
  "http://harrisonconsoles.com/lv2/inlinedisplay#interface"
#define DISPLAY_QUEUE_DRAW_URI                                                 \
  "http://harrisonconsoles.com/lv2/inlinedisplay#queue_draw"

struct DisplaySurface {
  unsigned char* data;
  int width;
  int height;
  int stride;
};

struct DisplayInterface {
  DisplaySurface* (*render)(LV2_Handle, uint32_t width, uint32_t height);
};

// The feature, with a counter of the calls it received.
class QueueDrawFeature {
public:
  QueueDrawFeature()
    : queue_{ this, count }
    , feature_{ DISPLAY_QUEUE_DRAW_URI, &queue_ }
    , features_{ &feature_, nullptr }
  {}
  QueueDrawFeature(const QueueDrawFeature&) = delete;
  QueueDrawFeature& operator=(const QueueDrawFeature&) = delete;

  const LV2_Feature* const* features() const { return features_; }
  int calls() const { return calls_.load(std::memory_order_relaxed); }

private:
  struct Queue {
    void* handle;
    void (*queue_draw)(void*);
  };
  static void count(void* handle)
  {
    static_cast<QueueDrawFeature*>(handle)->calls_.fetch_add(
      1, std::memory_order_relaxed);
  }

  std::atomic<int> calls_{ 0 };
  Queue queue_;
  LV2_Feature feature_;
  const LV2_Feature* features_[2];
};

inline const DisplayInterface* display_of(const LV2_Descriptor& plugin)
{
  return static_cast<const DisplayInterface*>(
    plugin.extension_data(DISPLAY_INTERFACE_URI));
}

#endif
