// SPDX-License-Identifier: ISC
// What a variant's module must look like to a host that loads it: one
// plug-in, under the variant's URI, at index 0 only, with no activate or
// deactivate and no extension interface.
#ifndef TOLVANIC_TESTS_VARIANT_MODULE_H
#define TOLVANIC_TESTS_VARIANT_MODULE_H

#include <lv2/core/lv2.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

inline void expect_module_holds_the_variant_alone(const char* path,
                                                  const char* uri)
{
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  using Entry = const LV2_Descriptor* (*)(uint32_t);
  auto entry = reinterpret_cast<Entry>(dlsym(module, "lv2_descriptor"));
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(entry(0), nullptr);
  EXPECT_STREQ(entry(0)->URI, uri);
  EXPECT_EQ(entry(0), entry(0));
  EXPECT_EQ(entry(1), nullptr);
  EXPECT_EQ(entry(0)->activate, nullptr);
  EXPECT_EQ(entry(0)->deactivate, nullptr);
  EXPECT_EQ(
    entry(0)->extension_data("http://lv2plug.in/ns/ext/state#interface"),
    nullptr);
  dlclose(module);
}

#endif
