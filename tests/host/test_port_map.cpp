// SPDX-License-Identifier: ISC
// The plug-in as a lilv host reads it from the build-tree bundle: the port
// map, the plug-in data hosts rely on, and lilv's own verdict.
#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <string>

#ifndef TOLVANIC_URI
#error "TOLVANIC_URI must name the plug-in"
#endif

namespace {

constexpr const char* LV2 = "http://lv2plug.in/ns/lv2core#";

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
    lilv_node_free(uri);
    lilv_world_free(world);
  }
  // A node freed with the fixture.
  LilvNode* lv2(const std::string& name)
  {
    return nodes.emplace_back(lilv_new_uri(world, (LV2 + name).c_str()));
  }
  LilvNode* node(const char* full_uri)
  {
    return nodes.emplace_back(lilv_new_uri(world, full_uri));
  }
  const LilvNode* value(LilvNode* predicate)
  {
    LilvNode* found = lilv_world_get(world, uri, predicate, nullptr);
    return found ? nodes.emplace_back(found) : nullptr;
  }

  LilvWorld* world = lilv_world_new();
  LilvNode* uri = lilv_new_uri(world, TOLVANIC_URI);
  const LilvPlugin* plugin = nullptr;
  std::vector<LilvNode*> nodes;
};

bool is_number(const LilvNode* node)
{
  return node && (lilv_node_is_float(node) || lilv_node_is_int(node));
}

TEST_F(PortMap, LilvVerifiesThePlugin)
{
  EXPECT_TRUE(lilv_plugin_verify(plugin));
}

TEST_F(PortMap, FivePortsInIndexOrderEachOfOneDirectionAndKind)
{
  struct Expected {
    const char* symbol;
    bool input;
    bool audio;
  };
  const Expected ports[] = {
    { "in", true, true },      { "reset", true, false },
    { "level", false, false }, { "peak", false, false },
    { "rms", false, false },
  };
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), 5U);
  const char* kinds[] = {
    "InputPort", "OutputPort", "AudioPort", "ControlPort", "CVPort"
  };
  for (uint32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(ports[i].symbol);
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(lilv_port_get_index(plugin, port), i);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)),
                 ports[i].symbol);
    bool is[5];
    for (size_t k = 0; k < 5; ++k) {
      is[k] = lilv_port_is_a(plugin, port, lv2(kinds[k]));
    }
    EXPECT_EQ(is[0], ports[i].input);
    EXPECT_EQ(is[1], !ports[i].input);
    EXPECT_EQ(is[2], ports[i].audio);
    EXPECT_EQ(is[3], !ports[i].audio);
    EXPECT_FALSE(is[4]);
    EXPECT_FALSE(lilv_port_has_property(plugin, port, lv2("reportsLatency")));
    if (ports[i].audio) continue;
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    ASSERT_TRUE(is_number(def) && is_number(min) && is_number(max));
    EXPECT_LE(lilv_node_as_float(min), lilv_node_as_float(def));
    EXPECT_LE(lilv_node_as_float(def), lilv_node_as_float(max));
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);
  }
}

TEST_F(PortMap, DeclaresWhatHostsLookFor)
{
  EXPECT_FALSE(lilv_plugin_has_latency(plugin));
  for (const char* version : { "minorVersion", "microVersion" }) {
    SCOPED_TRACE(version);
    const LilvNode* number = value(lv2(version));
    EXPECT_TRUE(number && lilv_node_is_int(number));
  }
  LilvNode* name = lilv_plugin_get_name(plugin);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(lilv_node_as_string(name), "tolvanic");
  lilv_node_free(name);
  EXPECT_NE(value(node("http://usefulinc.com/ns/doap#license")), nullptr);
  EXPECT_TRUE(lilv_plugin_has_feature(plugin, lv2("hardRTCapable")));

  // With only the build tree loaded, lilv knows no class hierarchy, so the
  // plug-in's own rdf:type values are read: one must be an lv2core class
  // more specific than lv2:Plugin.
  LilvNodes* types = lilv_world_find_nodes(
    world,
    uri,
    node("http://www.w3.org/1999/02/22-rdf-syntax-ns#type"),
    nullptr);
  std::string specific;
  LILV_FOREACH(nodes, i, types)
  {
    const std::string type = lilv_node_as_uri(lilv_nodes_get(types, i));
    if (type.rfind(LV2, 0) == 0 && type != std::string(LV2) + "Plugin" &&
        type.size() > std::string(LV2).size() + 6 &&
        type.compare(type.size() - 6, 6, "Plugin") == 0) {
      specific = type;
    }
  }
  lilv_nodes_free(types);
  EXPECT_FALSE(specific.empty());
}

} // namespace
