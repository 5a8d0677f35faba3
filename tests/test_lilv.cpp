// SPDX-License-Identifier: ISC
// A lilv host discovers the build-tree bundle, instantiates the plug-in and
// runs it: the path every LV2 host takes.
#include "test_meter.h"

#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class Lilv : public testing::Test {
protected:
  void SetUp() override
  {
    lilv_world_load_all(world_); // LV2_PATH is pinned to the build tree
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri_);
    ASSERT_NE(plugin_, nullptr);
    instance_ = lilv_plugin_instantiate(plugin_, 48000.0, nullptr);
    ASSERT_NE(instance_, nullptr);
    const char* symbols[] = { "in", "reset", "level", "peak", "rms" };
    for (uint32_t i = 0; i < METER_PORTS; ++i) {
      LilvNode* symbol = lilv_new_string(world_, symbols[i]);
      const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin_, symbol);
      lilv_node_free(symbol);
      ASSERT_NE(port, nullptr) << symbols[i];
      EXPECT_EQ(lilv_port_get_index(plugin_, port), i) << symbols[i];
    }
    lilv_instance_connect_port(instance_, PORT_RESET, &reset_);
    lilv_instance_connect_port(instance_, PORT_LEVEL, &level_);
    lilv_instance_connect_port(instance_, PORT_PEAK, &peak_);
    lilv_instance_connect_port(instance_, PORT_RMS, &rms_);
    lilv_instance_activate(instance_);
  }

  void TearDown() override
  {
    if (instance_ != nullptr) {
      lilv_instance_deactivate(instance_);
      lilv_instance_free(instance_);
    }
    lilv_node_free(uri_);
    lilv_world_free(world_);
  }

  // Runs one block; the output buffers start each run holding a sentinel.
  void run(std::vector<float> block)
  {
    level_ = peak_ = rms_ = unwritten();
    lilv_instance_connect_port(instance_, PORT_INPUT, block.data());
    lilv_instance_run(instance_, static_cast<uint32_t>(block.size()));
  }

  LilvWorld* world_ = lilv_world_new();
  LilvNode* uri_ = lilv_new_uri(world_, METER_URI);
  const LilvPlugin* plugin_ = nullptr;
  LilvInstance* instance_ = nullptr;
  float reset_ = 0.0f;
  float level_ = 0.0f;
  float peak_ = 0.0f;
  float rms_ = 0.0f;
};

} // namespace

TEST_F(Lilv, FindsFivePortsAndMetersAFullScaleSine)
{
  EXPECT_EQ(lilv_plugin_get_num_ports(plugin_), METER_PORTS);
  // A new instance counts 0 dB as published, so a steady full-scale tone
  // never writes the level; the RMS rises from 0 and is written at once.
  bool level_written = false;
  float rms = 0.0f;
  for (uint32_t block = 0; block < 375; ++block) { // two seconds
    run(sine(256, 1.0f, 1000.0, 48000.0, block * 256));
    level_written = level_written || written(level_);
    ASSERT_TRUE(block > 0 || written(rms_));
    rms = written(rms_) ? rms_ : rms;
    EXPECT_EQ(peak_, 1.0f);
  }
  EXPECT_FALSE(level_written);
  EXPECT_NEAR(
    20.0 * std::log10(static_cast<double>(rms) / 0.70710678), 0.0, 0.2);
}

TEST_F(Lilv, SilenceIsPublishedOnceAsZero)
{
  run(constant(256, 0.0f));
  EXPECT_EQ(level_, 0.0f);
  EXPECT_EQ(peak_, 0.0f);
  EXPECT_EQ(rms_, 0.0f);
  run(constant(256, 0.0f));
  EXPECT_FALSE(written(level_) || written(rms_));
  EXPECT_EQ(peak_, 0.0f);
}
