// SPDX-License-Identifier: ISC
// A module loaded with dlopen, as hosts load plug-ins and their windows,
// and what its entry point gives; unloaded with this object unless kept.
#ifndef TOLVANIC_TESTS_LOADED_MODULE_H
#define TOLVANIC_TESTS_LOADED_MODULE_H

#include <lv2/core/lv2.h>

#include <cstdint>
#include <string>

#include <dlfcn.h>

class LoadedModule {
public:
  explicit LoadedModule(const char* path)
    : module_(dlopen(path, RTLD_NOW | RTLD_LOCAL))
    , error_(module_ == nullptr ? dlerror() : "")
  {}
  ~LoadedModule()
  {
    if (module_ != nullptr && !kept_) dlclose(module_);
  }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool loaded() const { return module_ != nullptr; }
  const std::string& error() const { return error_; }

  // What the entry point `symbol` gives for `index`; null for an index it
  // has nothing at, and if there is no such entry point.
  template<typename Descriptor>
  const Descriptor* entry(const char* symbol, uint32_t index) const
  {
    using Entry = const Descriptor* (*)(uint32_t);
    void* found = module_ != nullptr ? dlsym(module_, symbol) : nullptr;
    return found != nullptr ? reinterpret_cast<Entry>(found)(index) : nullptr;
  }
  const LV2_Descriptor* plugin(uint32_t index) const
  {
    return entry<LV2_Descriptor>("lv2_descriptor", index);
  }

  // Keeps the module loaded for good, as a host keeps its plug-ins.
  void keep() { kept_ = true; }

private:
  void* module_;
  std::string error_;
  bool kept_ = false;
};

#endif
