// SPDX-License-Identifier: ISC
// Output ports start each run holding a NaN the plug-in never writes, so a
// port still holding it was not written; values are compared bit for bit.
#ifndef TOLVANIC_TESTS_PORT_BITS_H
#define TOLVANIC_TESTS_PORT_BITS_H

#include <cmath>
#include <cstdint>
#include <cstring>

inline float unwritten()
{
  return std::nanf("0x7a11");
}

inline uint32_t bits_of(float value)
{
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline bool written(float port)
{
  return bits_of(port) != bits_of(unwritten());
}

#endif
