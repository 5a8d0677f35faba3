// SPDX-License-Identifier: ISC
// A lilv host discovers the build-tree bundle, instantiates the plug-in and
// runs it: the path every LV2 host takes.
#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <vector>

#ifndef TOLVANIC_URI
#error "TOLVANIC_URI must name the plug-in"
#endif

TEST(Lilv, DiscoversInstantiatesAndRunsThePlugin)
{
  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world); // LV2_PATH is pinned to the build tree
  LilvNode* uri = lilv_new_uri(world, TOLVANIC_URI);
  const LilvPlugin* plugin =
    lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(lilv_plugin_get_num_ports(plugin), 5U);

  LilvInstance* instance = lilv_plugin_instantiate(plugin, 48000.0, nullptr);
  ASSERT_NE(instance, nullptr);
  std::vector<float> input(256, -0.5f);
  float reset = 0.0f;
  float level = -1.0f;
  float peak = -1.0f;
  float rms = -1.0f;
  float* buffers[] = { input.data(), &reset, &level, &peak, &rms };
  for (uint32_t i = 0; i < 5; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    const char* symbol =
      lilv_node_as_string(lilv_port_get_symbol(plugin, port));
    SCOPED_TRACE(symbol);
    EXPECT_EQ(lilv_port_get_index(plugin, port), i);
    lilv_instance_connect_port(instance, i, buffers[i]);
  }
  lilv_instance_activate(instance);
  lilv_instance_run(instance, 256);
  lilv_instance_deactivate(instance);
  EXPECT_EQ(level, 0.5f);
  EXPECT_EQ(peak, 0.5f);
  EXPECT_GT(rms, 0.0f);
  lilv_instance_free(instance);
  lilv_node_free(uri);
  lilv_world_free(world);
}
