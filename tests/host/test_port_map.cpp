// SPDX-License-Identifier: ISC
// The plug-in as a lilv host reads it from the build-tree bundle: the port
// map, the plug-in data hosts rely on, and lilv's own verdict.
#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef TOLVANIC_URI
#error "TOLVANIC_URI must name the plug-in"
#endif

namespace {

const std::string LV2 = "http://lv2plug.in/ns/lv2core#";

class PortMap : public ::testing::Test {
protected:
  void SetUp() override
  {
    lilv_world_load_all(world); // LV2_PATH is pinned to the build tree
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    ASSERT_NE(plugin, nullptr);
  }
  void TearDown() override
  {
    for (LilvNode* node : nodes)
      lilv_node_free(node);
    lilv_world_free(world);
  }
  // A URI node, freed with the fixture.
  LilvNode* node(const std::string& full_uri)
  {
    return nodes.emplace_back(lilv_new_uri(world, full_uri.c_str()));
  }
  // The plug-in's one value of a predicate, or null.
  const LilvNode* value(const std::string& predicate)
  {
    LilvNode* found = lilv_world_get(world, uri, node(predicate), nullptr);
    return found ? nodes.emplace_back(found) : nullptr;
  }

  LilvWorld* world = lilv_world_new();
  std::vector<LilvNode*> nodes;
  LilvNode* uri = node(TOLVANIC_URI);
  const LilvPlugin* plugin = nullptr;
};

TEST_F(PortMap, LilvVerifiesThePlugin)
{
  EXPECT_TRUE(lilv_plugin_verify(plugin));
}

TEST_F(PortMap, FivePortsInIndexOrderEachOfOneDirectionAndKind)
{
  // symbol, then the port's classes among InputPort, OutputPort, AudioPort,
  // ControlPort, CVPort.
  const std::pair<const char*, std::vector<bool>> ports[] = {
    { "in", { 1, 0, 1, 0, 0 } },    { "reset", { 1, 0, 0, 1, 0 } },
    { "level", { 0, 1, 0, 1, 0 } }, { "peak", { 0, 1, 0, 1, 0 } },
    { "rms", { 0, 1, 0, 1, 0 } },
  };
  const char* classes[] = {
    "InputPort", "OutputPort", "AudioPort", "ControlPort", "CVPort"
  };
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), 5U);
  for (uint32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(ports[i].first);
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    EXPECT_EQ(lilv_port_get_index(plugin, port), i);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)),
                 ports[i].first);
    for (size_t k = 0; k < 5; ++k) {
      EXPECT_EQ(lilv_port_is_a(plugin, port, node(LV2 + classes[k])),
                ports[i].second[k])
        << classes[k];
    }
    EXPECT_FALSE(
      lilv_port_has_property(plugin, port, node(LV2 + "reportsLatency")));
    if (i == 0) continue; // the audio port has no range
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    for (LilvNode* bound : { def, min, max }) {
      EXPECT_TRUE(bound && lilv_node_is_float(bound));
    }
    if (def && min && max) {
      EXPECT_LE(lilv_node_as_float(min), lilv_node_as_float(def));
      EXPECT_LE(lilv_node_as_float(def), lilv_node_as_float(max));
    }
    nodes.insert(nodes.end(), { def, min, max });
  }
}

TEST_F(PortMap, DeclaresWhatHostsLookFor)
{
  EXPECT_FALSE(lilv_plugin_has_latency(plugin));
  for (const char* version : { "minorVersion", "microVersion" }) {
    const LilvNode* number = value(LV2 + version);
    EXPECT_TRUE(number && lilv_node_is_int(number)) << version;
  }
  const LilvNode* name = value("http://usefulinc.com/ns/doap#name");
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(lilv_node_as_string(name), "tolvanic");
  EXPECT_NE(value("http://usefulinc.com/ns/doap#license"), nullptr);
  EXPECT_TRUE(lilv_plugin_has_feature(plugin, node(LV2 + "hardRTCapable")));

  // With only the build tree loaded lilv knows no class hierarchy, so the
  // plug-in's own rdf:type values are read: one must be an lv2core class
  // more specific than lv2:Plugin.
  LilvNodes* types = lilv_world_find_nodes(
    world,
    uri,
    node("http://www.w3.org/1999/02/22-rdf-syntax-ns#type"),
    nullptr);
  int specific = 0;
  LILV_FOREACH(nodes, i, types)
  {
    const std::string type = lilv_node_as_uri(lilv_nodes_get(types, i));
    specific += type.rfind(LV2, 0) == 0 && type != LV2 + "Plugin" &&
                type.size() > 6 + LV2.size() &&
                type.compare(type.size() - 6, 6, "Plugin") == 0;
  }
  lilv_nodes_free(types);
  EXPECT_GE(specific, 1);
}

} // namespace
