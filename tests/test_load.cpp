// SPDX-License-Identifier: ISC
// Loading the library sets FTZ and DAZ on the loading thread and leaves the
// other MXCSR bits alone. This program does not link the plug-in: it loads
// the built module the way a host does.
#include <lv2/core/lv2.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <valgrind/valgrind.h>
#include <xmmintrin.h>

#ifndef TOLVANIC_MODULE
#error "TOLVANIC_MODULE must name the built plug-in module"
#endif

TEST(Load, ConstructorSetsFlushToZeroAndDenormalsAreZero)
{
  if (RUNNING_ON_VALGRIND) {
    GTEST_SKIP() << "valgrind does not emulate FTZ and DAZ";
  }
  // Start from a mode with FTZ and DAZ clear and some other bits changed
  // (round towards zero, the precision exception masked off), so that
  // "unchanged" is tested against a value that is not the default.
  const unsigned before = (_mm_getcsr() & ~0x8040U & ~0x6000U) | 0x6000U;
  _mm_setcsr(before);
  void* module = dlopen(TOLVANIC_MODULE, RTLD_NOW | RTLD_LOCAL);
  const unsigned after = _mm_getcsr();
  _mm_setcsr(before & ~0x6000U);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_EQ(after, before | 0x8040U);

  using Entry = const LV2_Descriptor* (*)(uint32_t);
  auto entry = reinterpret_cast<Entry>(dlsym(module, "lv2_descriptor"));
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(entry(0), nullptr);
  EXPECT_EQ(entry(1), nullptr);
  dlclose(module);
}
