// SPDX-License-Identifier: ISC
// Loading the library sets FTZ and DAZ on the loading thread and leaves the
// other MXCSR bits alone. This program does not link the plug-in: it loads
// the built module the way a host does.
#include "loaded_module.h"

#include <gtest/gtest.h>

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
  const LoadedModule module(TOLVANIC_MODULE);
  const unsigned after = _mm_getcsr();
  _mm_setcsr(before & ~0x6000U);
  ASSERT_TRUE(module.loaded()) << module.error();
  EXPECT_EQ(after, before | 0x8040U);
  EXPECT_NE(module.plugin(0), nullptr);
  EXPECT_EQ(module.plugin(1), nullptr);
}
