// SPDX-License-Identifier: ISC
// Both plug-ins as a lilv host reads them from the build-tree bundle: the
// port map, the plug-in data hosts rely on, and lilv's own verdict. The
// inline variant has tolvanic's five ports, then its audio output.
#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#ifndef TOLVANIC_URI
#error "TOLVANIC_URI must name the plug-in"
#endif

namespace {

const std::string LV2 = "http://lv2plug.in/ns/lv2core#";

struct Variant {
  const char* uri;
  const char* name;
  uint32_t ports;
};

void PrintTo(const Variant& variant, std::ostream* out)
{
  *out << variant.uri;
}

const Variant VARIANTS[] = {
  { TOLVANIC_URI, "tolvanic", 5 },
  { TOLVANIC_URI "#inline", "tolvanic inline", 6 },
};

class PortMap : public ::testing::TestWithParam<Variant> {
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
  LilvNode* uri = node(GetParam().uri);
  const LilvPlugin* plugin = nullptr;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Plugins,
                         PortMap,
                         ::testing::ValuesIn(VARIANTS),
                         [](const auto& variant) {
                           return variant.index == 0 ? "tolvanic" : "inline";
                         });

namespace {

TEST_P(PortMap, LilvVerifiesThePlugin)
{
  EXPECT_TRUE(lilv_plugin_verify(plugin));
}

TEST_P(PortMap, PortsInIndexOrderEachOfOneDirectionAndKind)
{
  // symbol, then the port's classes among InputPort, OutputPort, AudioPort,
  // ControlPort, CVPort.
  const std::pair<const char*, std::vector<bool>> ports[] = {
    { "in", { 1, 0, 1, 0, 0 } },    { "reset", { 1, 0, 0, 1, 0 } },
    { "level", { 0, 1, 0, 1, 0 } }, { "peak", { 0, 1, 0, 1, 0 } },
    { "rms", { 0, 1, 0, 1, 0 } },   { "out", { 0, 1, 1, 0, 0 } },
  };
  const char* classes[] = {
    "InputPort", "OutputPort", "AudioPort", "ControlPort", "CVPort"
  };
  const uint32_t count = GetParam().ports;
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), count);
  for (uint32_t i = 0; i < count; ++i) {
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
    if (i == 0 || i == 5) continue; // audio ports have no range
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

TEST_P(PortMap, DeclaresWhatHostsLookFor)
{
  EXPECT_FALSE(lilv_plugin_has_latency(plugin));
  for (const char* version : { "minorVersion", "microVersion" }) {
    const LilvNode* number = value(LV2 + version);
    EXPECT_TRUE(number && lilv_node_is_int(number)) << version;
  }
  const LilvNode* name = value("http://usefulinc.com/ns/doap#name");
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(lilv_node_as_string(name), GetParam().name);
  // Hosts show this as the plug-in's creator.
  LilvNode* author = nodes.emplace_back(lilv_plugin_get_author_name(plugin));
  ASSERT_NE(author, nullptr);
  EXPECT_STREQ(lilv_node_as_string(author), "tolvanic developers");
  // Hosts may give the inline variant one buffer for its input and output.
  EXPECT_FALSE(lilv_plugin_has_feature(plugin, node(LV2 + "inPlaceBroken")));
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

// The variant's shared ports read exactly as tolvanic's do.
TEST(PortMapVariants, InlineSharesTolvanicsControlRangesAndNames)
{
  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  const LilvPlugins* all = lilv_world_get_all_plugins(world);
  const LilvPlugin* plugins[2];
  for (int v = 0; v < 2; ++v) {
    LilvNode* uri = lilv_new_uri(world, VARIANTS[v].uri);
    plugins[v] = lilv_plugins_get_by_uri(all, uri);
    lilv_node_free(uri);
    ASSERT_NE(plugins[v], nullptr) << VARIANTS[v].uri;
  }
  for (uint32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    std::string seen[2];
    for (int v = 0; v < 2; ++v) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugins[v], i);
      LilvNode* name = lilv_port_get_name(plugins[v], port);
      LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
      lilv_port_get_range(plugins[v], port, &def, &min, &max);
      seen[v] = std::string(lilv_node_as_string(name));
      for (LilvNode* bound : { def, min, max }) {
        seen[v] += " " + std::string(bound ? lilv_node_as_string(bound) : "-");
        lilv_node_free(bound);
      }
      lilv_node_free(name);
    }
    EXPECT_EQ(seen[1], seen[0]);
  }
  lilv_world_free(world);
}
