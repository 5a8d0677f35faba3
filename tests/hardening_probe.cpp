// SPDX-License-Identifier: ISC
// Built with the plug-in's flags, this module holds what stack protection
// and source fortification act on (a local array, a copy of a length known
// only at run time), which the plug-in itself has none of. The hardening
// check finds the calls they add in its imports: the flags reach the
// compiler and would protect the plug-in's code the day it needs them.
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" __attribute__((visibility("default"))) uint32_t hardening_probe(
  const char* text,
  size_t length)
{
  char buffer[64] = {};
  std::memcpy(buffer, text, length);
  return static_cast<unsigned char>(buffer[length % sizeof buffer]);
}
