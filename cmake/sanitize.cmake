# SPDX-License-Identifier: ISC
# Sanitizer and fuzzing builds. The tests configure these as clang builds of
# their own beside the main one; a shipped build sets neither option.
#
#   TOLVANIC_SANITIZE=address,undefined   every target, plug-in included
#   TOLVANIC_SANITIZE=thread              ThreadSanitizer instead
#   TOLVANIC_FUZZ=ON                      the libFuzzer target (clang only)

set(TOLVANIC_SANITIZE "" CACHE STRING
  "Comma-separated clang sanitizers to build everything with (empty: none)")
option(TOLVANIC_FUZZ "Build the libFuzzer target (needs clang)" OFF)

if(TOLVANIC_SANITIZE)
  # Every finding is fatal, so a test run fails on it. A 0 Hz rate divides
  # by zero on purpose, so float-divide-by-zero stays off (clang leaves it
  # out of "undefined" anyway).
  add_compile_options(-fsanitize=${TOLVANIC_SANITIZE}
    -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${TOLVANIC_SANITIZE})

  # The sanitizer runtime lives in the executable that loads the module,
  # so the module's link must allow its references to stay undefined.
  get_target_property(link_options tolvanic_plugin_flags INTERFACE_LINK_OPTIONS)
  list(REMOVE_ITEM link_options -Wl,--no-undefined)
  set_target_properties(tolvanic_plugin_flags PROPERTIES
    INTERFACE_LINK_OPTIONS "${link_options}")
endif()

if(TOLVANIC_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TOLVANIC_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
endif()
