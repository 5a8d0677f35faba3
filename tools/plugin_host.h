// SPDX-License-Identifier: ISC
// The tolvanic plug-in, reached through lilv as any LV2 host reaches it:
// discovery by URI, ports by symbol, instantiation. Never dlopen.
#ifndef TOLVANIC_TOOLS_PLUGIN_HOST_H
#define TOLVANIC_TOOLS_PLUGIN_HOST_H

#include "results.h"

#include <lilv/lilv.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Port indices found by symbol, and the defaults a host starts them from.
struct PortMap {
  uint32_t input = 0, reset = 0, level = 0, peak = 0, rms = 0;
  MeterReadings defaults;
};

class PluginHost {
public:
  // Loads LV2_PATH (or lilv's default path); when the plug-in is not there,
  // each folder of fallback_dirs in turn. lilv reports every bundle it
  // cannot read on stderr, several lines each: the command silences the
  // process's stderr before (see output_streams.h). Throws std::runtime_error
  // with a message saying where it looked. Meant for the main thread, before
  // any other starts.
  explicit PluginHost(const std::vector<std::string>& fallback_dirs);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  const PortMap& ports() const { return ports_; }
  std::string bundle_path() const;

  // Instances may be made and freed on any thread.
  LilvInstance* instantiate(double rate) const;
  void release(LilvInstance* instance) const;

private:
  struct FreeWorld {
    void operator()(LilvWorld* world) const { lilv_world_free(world); }
  };
  struct FreeNode {
    void operator()(LilvNode* node) const { lilv_node_free(node); }
  };

  const LilvPlugin* find_in(const std::string& folder);
  void map_ports();

  std::unique_ptr<LilvWorld, FreeWorld> world_;
  std::unique_ptr<LilvNode, FreeNode> uri_;
  const LilvPlugin* plugin_ = nullptr;
  PortMap ports_;
  LilvInstance* loaded_ = nullptr;
  mutable std::mutex mutex_;
};

#endif
