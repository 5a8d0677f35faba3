// SPDX-License-Identifier: ISC
#include "plugin_host.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace {

constexpr const char* PLUGIN_URI = "http://tolvanic.org/oss/lv2/tolvanic";

std::string searched_path()
{
  const char* path = std::getenv("LV2_PATH");
  return path ? std::string("LV2_PATH=") + path
              : std::string("lilv's default path (LV2_PATH unset)");
}

// lilv 0.24 crashes on a relative folder in LV2_PATH, so relative folders
// are made absolute before it reads the variable. Folders starting with
// '~' or '$' are left for lilv to expand.
void make_lv2_path_absolute()
{
  const char* path = std::getenv("LV2_PATH");
  char* cwd = getcwd(nullptr, 0);
  if (!path || !cwd) {
    std::free(cwd);
    return;
  }
  std::istringstream folders(path);
  std::string absolute;
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) continue;
    if (folder[0] != '/' && folder[0] != '~' && folder[0] != '$') {
      folder = std::string(cwd) + "/" + folder;
    }
    absolute += (absolute.empty() ? "" : ":") + folder;
  }
  std::free(cwd);
  setenv("LV2_PATH", absolute.c_str(), 1);
}

// lilv reports every bundle it cannot read on stderr, several lines each;
// the command's own one-line message says what matters, so lilv's are
// kept out of the way while it loads.
class QuietStderr {
public:
  QuietStderr()
    : saved_(dup(STDERR_FILENO))
  {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr()
  {
    if (saved_ < 0) return;
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

private:
  int saved_;
};

float node_float(const LilvNode* node, float otherwise)
{
  return node && lilv_node_is_float(node) ? lilv_node_as_float(node)
                                          : otherwise;
}

} // namespace

PluginHost::PluginHost(const std::vector<std::string>& fallback_dirs)
{
  const QuietStderr quiet;
  world_ = lilv_world_new();
  uri_ = lilv_new_uri(world_, PLUGIN_URI);
  std::string looked = searched_path();
  make_lv2_path_absolute();
  lilv_world_load_all(world_);
  plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri_);
  for (const std::string& folder : fallback_dirs) {
    if (plugin_) break;
    plugin_ = find_in(folder);
    looked += ", " + folder;
  }
  if (!plugin_) {
    lilv_node_free(uri_);
    lilv_world_free(world_);
    throw std::runtime_error(
      std::string("plug-in ") + PLUGIN_URI + " not found (searched " + looked +
      "); install it with 'make install' or 'make install-user', or set "
      "LV2_PATH to the folder that holds tolvanic.lv2");
  }
  try {
    map_ports();
    // Loads the module on this thread and keeps it loaded: it sets
    // flush-to-zero on the thread that loads it, and the metering threads,
    // started later, inherit that mode, so every --jobs reads alike.
    loaded_ = lilv_plugin_instantiate(plugin_, 48000.0, nullptr);
    if (!loaded_) throw std::runtime_error("the plug-in failed to instantiate");
  } catch (...) {
    lilv_node_free(uri_);
    lilv_world_free(world_);
    throw;
  }
}

PluginHost::~PluginHost()
{
  lilv_instance_free(loaded_);
  lilv_node_free(uri_);
  lilv_world_free(world_);
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
  LilvNode* node = lilv_new_file_uri(world_, nullptr, bundle.c_str());
  lilv_world_load_bundle(world_, node);
  lilv_node_free(node);
  return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri_);
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
  LilvNode* input = lilv_new_uri(world_, LILV_URI_INPUT_PORT);
  LilvNode* output = lilv_new_uri(world_, LILV_URI_OUTPUT_PORT);
  LilvNode* audio = lilv_new_uri(world_, LILV_URI_AUDIO_PORT);
  LilvNode* control = lilv_new_uri(world_, LILV_URI_CONTROL_PORT);
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
    LilvNode* symbol = lilv_new_string(world_, port.symbol);
    const LilvPort* found = lilv_plugin_get_port_by_symbol(plugin_, symbol);
    lilv_node_free(symbol);
    if (!found || !lilv_port_is_a(plugin_, found, port.direction) ||
        !lilv_port_is_a(plugin_, found, port.kind)) {
      missing += std::string(missing.empty() ? "" : ", ") + port.symbol;
      continue;
    }
    *port.index = lilv_port_get_index(plugin_, found);
    // Hosts start control ports at their declared defaults; so do we.
    LilvNode* value = nullptr;
    lilv_port_get_range(plugin_, found, &value, nullptr, nullptr);
    *port.default_value = node_float(value, 0.0f);
    lilv_node_free(value);
  }
  lilv_node_free(input);
  lilv_node_free(output);
  lilv_node_free(audio);
  lilv_node_free(control);
  if (!missing.empty() || lilv_plugin_get_num_ports(plugin_) != 5) {
    throw std::runtime_error(
      "the plug-in found in " + bundle_path() +
      " does not have the expected five ports (in, reset, level, peak, rms)" +
      (missing.empty() ? "" : "; missing or wrong: " + missing));
  }
}

ChannelMeter::ChannelMeter(const PluginHost& host, double rate)
  : host_(host)
  , input_port_(host.ports().input)
{
  const PortMap& ports = host.ports();
  instance_ = host.instantiate(rate);
  if (!instance_) throw std::runtime_error("the plug-in failed to instantiate");
  readings_ = ports.defaults;
  lilv_instance_connect_port(instance_, ports.reset, &reset_);
  lilv_instance_connect_port(instance_, ports.level, &readings_.level);
  lilv_instance_connect_port(instance_, ports.peak, &readings_.peak);
  lilv_instance_connect_port(instance_, ports.rms, &readings_.rms);
  lilv_instance_activate(instance_);
}

ChannelMeter::~ChannelMeter()
{
  lilv_instance_deactivate(instance_);
  host_.release(instance_);
}

void ChannelMeter::run(const float* input, uint32_t frames, bool reset)
{
  // The plug-in only reads its input; LV2 passes every port as void*.
  lilv_instance_connect_port(instance_, input_port_, const_cast<float*>(input));
  reset_ = reset ? 1.0f : 0.0f;
  lilv_instance_run(instance_, frames);
}
