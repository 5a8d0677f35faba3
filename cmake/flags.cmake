# SPDX-License-Identifier: ISC
# Compiler and linker flags for the plug-in and everything built beside it.

# Warnings, as a positive list; float code needs -Wconversion and
# -Wdouble-promotion most of all.
add_library(tolvanic_warnings INTERFACE)
target_compile_options(tolvanic_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wdouble-promotion -Wold-style-cast -Wcast-qual -Wnull-dereference
  $<$<BOOL:${TOLVANIC_WERROR}>:-Werror>)

# The plug-in itself: exact float semantics (no contraction into fused
# multiply-adds, no fast-math), no C++ runtime, hidden symbols and a
# hardened link. Never add -ffast-math or -march=native here: the meters
# must equal their one-operation-at-a-time definition bit for bit.
add_library(tolvanic_plugin_flags INTERFACE)
target_link_libraries(tolvanic_plugin_flags INTERFACE tolvanic_warnings)
target_compile_options(tolvanic_plugin_flags INTERFACE
  -ffp-contract=off -fno-exceptions -fno-rtti
  -fstack-protector-strong
  $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
target_link_options(tolvanic_plugin_flags INTERFACE
  -Wl,-z,relro,-z,now -Wl,-z,noexecstack
  -Wl,--no-undefined -Wl,--as-needed)

# The command-line tools: the same hardening as the plug-in (stack
# protection, fortified library calls, full RELRO), with the C++ runtime
# and the ordinary float semantics they need.
add_library(tolvanic_tool_flags INTERFACE)
target_link_libraries(tolvanic_tool_flags INTERFACE tolvanic_warnings)
target_compile_options(tolvanic_tool_flags INTERFACE
  -fstack-protector-strong
  $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
target_link_options(tolvanic_tool_flags INTERFACE
  -Wl,-z,relro,-z,now -Wl,-z,noexecstack)
