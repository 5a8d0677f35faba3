// SPDX-License-Identifier: ISC
// The plug-ins as a lilv host reads them from the build-tree bundle: the
// port map, the plug-in data hosts rely on, and lilv's own verdict. The
// inline variant has tolvanic's five ports, then its audio output; the
// stereo variant two channels of them, its audio ports in stereo groups.
#include "plugin/ports.h"

#include <lilv/lilv.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string LV2 = "http://lv2plug.in/ns/lv2core#";

// A port's symbol, then its classes among InputPort, OutputPort, AudioPort,
// ControlPort, CVPort.
using Port = std::pair<const char*, std::vector<bool>>;
const std::vector<bool> AUDIO_IN = { 1, 0, 1, 0, 0 };
const std::vector<bool> CONTROL_IN = { 1, 0, 0, 1, 0 };
const std::vector<bool> CONTROL_OUT = { 0, 1, 0, 1, 0 };
const std::vector<bool> AUDIO_OUT = { 0, 1, 1, 0, 0 };

const std::vector<Port> MONO_PORTS = {
  { "in", AUDIO_IN },      { "reset", CONTROL_IN }, { "level", CONTROL_OUT },
  { "peak", CONTROL_OUT }, { "rms", CONTROL_OUT },  { "out", AUDIO_OUT },
};
const std::vector<Port> STEREO_PORTS = {
  { "in_l", AUDIO_IN },       { "in_r", AUDIO_IN },
  { "reset", CONTROL_IN },    { "level_l", CONTROL_OUT },
  { "peak_l", CONTROL_OUT },  { "rms_l", CONTROL_OUT },
  { "level_r", CONTROL_OUT }, { "peak_r", CONTROL_OUT },
  { "rms_r", CONTROL_OUT },   { "out_l", AUDIO_OUT },
  { "out_r", AUDIO_OUT },
};

struct Variant {
  const char* uri;
  const char* name;
  uint32_t ports;
  const std::vector<Port>* port_map;
};

void PrintTo(const Variant& variant, std::ostream* out)
{
  *out << variant.uri;
}

const Variant VARIANTS[] = {
  { METER_URI, "tolvanic", METER_PORTS, &MONO_PORTS },
  { INLINE_METER_URI, "tolvanic inline", INLINE_METER_PORTS, &MONO_PORTS },
  { STEREO_METER_URI, "tolvanic stereo", STEREO_METER_PORTS, &STEREO_PORTS },
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

std::string variant_name(const ::testing::TestParamInfo<Variant>& variant)
{
  const char* const names[] = { "tolvanic", "inline", "stereo" };
  return names[variant.index];
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Plugins,
                         PortMap,
                         ::testing::ValuesIn(VARIANTS),
                         variant_name);

namespace {

TEST_P(PortMap, LilvVerifiesThePlugin)
{
  EXPECT_TRUE(lilv_plugin_verify(plugin));
}

TEST_P(PortMap, PortsInIndexOrderEachOfOneDirectionAndKind)
{
  const std::vector<Port>& ports = *GetParam().port_map;
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
    if (ports[i].second[2]) continue; // audio ports have no range
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
  // Hosts may give a variant one buffer for an input and an output.
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

namespace {

// What a host shows of a port: its name, and its default, minimum, maximum
// and unit.
struct Shown {
  std::string name;
  std::string range;
  bool operator==(const Shown& other) const
  {
    return name == other.name && range == other.range;
  }
};

void PrintTo(const Shown& shown, std::ostream* out)
{
  *out << shown.name << shown.range;
}

Shown shown(LilvWorld* world, const LilvPlugin* plugin, uint32_t index)
{
  const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
  LilvNode* name = lilv_port_get_name(plugin, port);
  LilvNode* unit_uri =
    lilv_new_uri(world, "http://lv2plug.in/ns/extensions/units#unit");
  LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
  lilv_port_get_range(plugin, port, &def, &min, &max);
  Shown seen{ name ? lilv_node_as_string(name) : "-", "" };
  for (LilvNode* each :
       { def, min, max, lilv_port_get(plugin, port, unit_uri) }) {
    seen.range += " " + std::string(each ? lilv_node_as_string(each) : "-");
    lilv_node_free(each);
  }
  lilv_node_free(unit_uri);
  lilv_node_free(name);
  return seen;
}

// The value of a port's predicate as a string, or "-".
std::string port_value(LilvWorld* world,
                       const LilvPlugin* plugin,
                       uint32_t index,
                       const char* predicate)
{
  LilvNode* uri = lilv_new_uri(world, predicate);
  LilvNode* value =
    lilv_port_get(plugin, lilv_plugin_get_port_by_index(plugin, index), uri);
  const std::string text = value ? lilv_node_as_string(value) : "-";
  lilv_node_free(value);
  lilv_node_free(uri);
  return text;
}

bool is_a(LilvWorld* world, const std::string& subject, const char* type)
{
  LilvNode* s = lilv_new_uri(world, subject.c_str());
  LilvNode* p =
    lilv_new_uri(world, "http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
  LilvNode* o = lilv_new_uri(world, type);
  const bool found = lilv_world_ask(world, s, p, o);
  lilv_node_free(o);
  lilv_node_free(p);
  lilv_node_free(s);
  return found;
}

} // namespace

// The variants' shared ports read exactly as tolvanic's do: the inline
// variant's are tolvanic's own, the stereo variant's readings are
// tolvanic's per channel, named after the channel, and its one reset is
// tolvanic's. The stereo variant's audio ports form a stereo input group
// and a stereo output group, each port designated left or right.
TEST(PortMapVariants, ShareTolvanicsPortsAndTheStereoGroupsItsAudio)
{
  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  const LilvPlugins* all = lilv_world_get_all_plugins(world);
  const LilvPlugin* plugins[3];
  for (int v = 0; v < 3; ++v) {
    LilvNode* uri = lilv_new_uri(world, VARIANTS[v].uri);
    plugins[v] = lilv_plugins_get_by_uri(all, uri);
    lilv_node_free(uri);
    ASSERT_NE(plugins[v], nullptr) << VARIANTS[v].uri;
  }
  const LilvPlugin* mono = plugins[0];
  const LilvPlugin* inline_meter = plugins[1];
  const LilvPlugin* stereo = plugins[2];

  for (uint32_t port = 0; port < METER_PORTS; ++port) {
    SCOPED_TRACE(port);
    EXPECT_EQ(shown(world, inline_meter, port), shown(world, mono, port));
  }
  EXPECT_EQ(shown(world, stereo, STEREO_RESET), shown(world, mono, PORT_RESET));
  constexpr InsertPorts STEREO{ 2 };
  for (const Reading reading : { READING_LEVEL, READING_PEAK, READING_RMS }) {
    const Shown expected = shown(world, mono, PORT_LEVEL + uint32_t{ reading });
    for (const uint32_t channel : { 0u, 1u }) {
      const std::string name = expected.name + (channel == 0 ? " L" : " R");
      SCOPED_TRACE(name);
      EXPECT_EQ(shown(world, stereo, STEREO.reading(channel, reading)),
                (Shown{ name, expected.range }));
    }
  }

  const std::string PG = "http://lv2plug.in/ns/ext/port-groups#";
  const struct {
    uint32_t index;
    const char* group;
    const char* designation;
  } grouped[] = {
    { STEREO_IN_L, "stereo_in", "left" },
    { STEREO_IN_R, "stereo_in", "right" },
    { STEREO_OUT_L, "stereo_out", "left" },
    { STEREO_OUT_R, "stereo_out", "right" },
  };
  for (const auto& port : grouped) {
    SCOPED_TRACE(port.index);
    const std::string group = std::string(METER_URI "#") + port.group;
    EXPECT_EQ(port_value(world, stereo, port.index, (PG + "group").c_str()),
              group);
    EXPECT_EQ(
      port_value(
        world, stereo, port.index, "http://lv2plug.in/ns/lv2core#designation"),
      PG + port.designation);
    EXPECT_TRUE(is_a(world, group, (PG + "StereoGroup").c_str()));
    const bool input = port.index < STEREO_OUT_L;
    EXPECT_TRUE(is_a(
      world, group, (PG + (input ? "InputGroup" : "OutputGroup")).c_str()));
  }
  for (uint32_t index = STEREO_RESET; index < STEREO_OUT_L; ++index) {
    EXPECT_EQ(port_value(world, stereo, index, (PG + "group").c_str()), "-");
  }
  lilv_world_free(world);
}
