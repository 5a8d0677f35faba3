// SPDX-License-Identifier: ISC
#include "plugin_host.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#ifndef TOLVANIC_URI
#error "TOLVANIC_URI must name the plug-in"
#endif

namespace {

std::string searched_path()
{
  const char* path = std::getenv("LV2_PATH");
  return path ? std::string("LV2_PATH=") + path
              : std::string("lilv's default path (LV2_PATH unset)");
}

// lilv 0.24 crashes on a relative folder in LV2_PATH, so lilv is given
// the path with its relative folders made absolute, and the environment is
// left alone. Folders starting with '~' or '$' are left for lilv to
// expand. Empty when LV2_PATH is unset: lilv's default path applies.
std::string absolute_lv2_path()
{
  const char* path = std::getenv("LV2_PATH");
  char* cwd = getcwd(nullptr, 0);
  std::string absolute;
  if (path && cwd) {
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
      if (folder.empty()) continue;
      if (folder[0] != '/' && folder[0] != '~' && folder[0] != '$') {
        folder = std::string(cwd) + "/" + folder;
      }
      absolute += (absolute.empty() ? "" : ":") + folder;
    }
  }
  std::free(cwd);
  return absolute;
}

} // namespace

PluginHost::PluginHost(const std::vector<std::string>& fallback_dirs)
  : world_(lilv_world_new())
{
  uri_.reset(lilv_new_uri(world_.get(), TOLVANIC_URI));
  const std::string lv2_path = absolute_lv2_path();
  if (std::getenv("LV2_PATH")) {
    LilvNode* path = lilv_new_string(world_.get(), lv2_path.c_str());
    lilv_world_set_option(world_.get(), LILV_OPTION_LV2_PATH, path);
    lilv_node_free(path);
  }
  std::string looked = searched_path();
  lilv_world_load_all(world_.get());
  plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_.get()),
                                    uri_.get());
  for (const std::string& folder : fallback_dirs) {
    if (plugin_) break;
    plugin_ = find_in(folder);
    looked += ", " + folder;
  }
  if (!plugin_) {
    throw std::runtime_error(
      std::string("plug-in ") + TOLVANIC_URI + " not found (searched " +
      looked +
      "); install it with 'make install' or 'make install-user', or set "
      "LV2_PATH to the folder that holds tolvanic.lv2");
  }
  map_ports();
  // Loads the module on this thread and keeps it loaded: it sets
  // flush-to-zero on the thread that loads it, and the metering threads,
  // started later, inherit that mode, so every --jobs reads alike.
  loaded_ = lilv_plugin_instantiate(plugin_, 48000.0, nullptr);
  if (!loaded_) throw std::runtime_error("the plug-in failed to instantiate");
}

PluginHost::~PluginHost()
{
  lilv_instance_free(loaded_);
}

LilvInstance* PluginHost::instantiate(double rate) const
{
  // lilv loads a plug-in's data lazily into the shared world.
  const std::lock_guard<std::mutex> lock(mutex_);
  return lilv_plugin_instantiate(plugin_, rate, nullptr);
}

void PluginHost::release(LilvInstance* instance) const
{
  const std::lock_guard<std::mutex> lock(mutex_);
  lilv_instance_free(instance);
}

const LilvPlugin* PluginHost::find_in(const std::string& folder)
{
  // lilv loads bundles by URI; a bundle URI ends with a slash.
  const std::string bundle = folder + "/tolvanic.lv2/";
  LilvNode* node = lilv_new_file_uri(world_.get(), nullptr, bundle.c_str());
  lilv_world_load_bundle(world_.get(), node);
  lilv_node_free(node);
  return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_.get()),
                                 uri_.get());
}

std::string PluginHost::bundle_path() const
{
  char* path = lilv_file_uri_parse(
    lilv_node_as_uri(lilv_plugin_get_bundle_uri(plugin_)), nullptr);
  std::string result = path ? path : "";
  lilv_free(path);
  return result;
}

void PluginHost::map_ports()
{
  LilvWorld* world = world_.get();
  LilvNode* input = lilv_new_uri(world, LILV_URI_INPUT_PORT);
  LilvNode* output = lilv_new_uri(world, LILV_URI_OUTPUT_PORT);
  LilvNode* audio = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
  LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
  // Hosts start control ports at their declared defaults; so do we. lilv
  // gives NaN where a port declares none.
  const uint32_t count = lilv_plugin_get_num_ports(plugin_);
  std::vector<float> defaults(count);
  lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
  struct Wanted {
    const char* symbol;
    LilvNode* direction;
    LilvNode* kind;
    uint32_t* index;
    float* default_value;
  };
  float no_default = 0.0f;
  const Wanted wanted[] = {
    { "in", input, audio, &ports_.input, &no_default },
    { "reset", input, control, &ports_.reset, &no_default },
    { "level", output, control, &ports_.level, &ports_.defaults.level },
    { "peak", output, control, &ports_.peak, &ports_.defaults.peak },
    { "rms", output, control, &ports_.rms, &ports_.defaults.rms },
  };
  std::string missing;
  for (const Wanted& port : wanted) {
    LilvNode* symbol = lilv_new_string(world, port.symbol);
    const LilvPort* found = lilv_plugin_get_port_by_symbol(plugin_, symbol);
    lilv_node_free(symbol);
    if (!found || !lilv_port_is_a(plugin_, found, port.direction) ||
        !lilv_port_is_a(plugin_, found, port.kind)) {
      missing += std::string(missing.empty() ? "" : ", ") + port.symbol;
      continue;
    }
    *port.index = lilv_port_get_index(plugin_, found);
    const float value = defaults[*port.index];
    *port.default_value = std::isnan(value) ? 0.0f : value;
  }
  lilv_node_free(input);
  lilv_node_free(output);
  lilv_node_free(audio);
  lilv_node_free(control);
  if (!missing.empty() || count != 5) {
    throw std::runtime_error(
      "the plug-in found in " + bundle_path() +
      " does not have the expected five ports (in, reset, level, peak, rms)" +
      (missing.empty() ? "" : "; missing or wrong: " + missing));
  }
}
