# SPDX-License-Identifier: ISC
# Real-time safety, concurrency and hardening tests, and the sanitizer,
# valgrind and fuzzing rows that run from clang builds beside this one.
find_package(Threads REQUIRED)

# Hosts the module through dlopen, as in any LV2 host.
function(add_hosted_test target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE PkgConfig::LV2 GTest::gtest_main
    Threads::Threads tolvanic_warnings ${CMAKE_DL_LIBS})
  # The plug-ins' names (plugin/ports.h), none of their code.
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${target} PRIVATE
    TOLVANIC_MODULE="$<TARGET_FILE:tolvanic>"
    TOLVANIC_INLINE_MODULE="$<TARGET_FILE:tolvanic_inline>"
    TOLVANIC_STEREO_MODULE="$<TARGET_FILE:tolvanic_stereo>")
  add_dependencies(${target} tolvanic tolvanic_inline tolvanic_stereo)
  gtest_discover_tests(${target} PROPERTIES LABELS host)
endfunction()

add_hosted_test(concurrency_tests test_concurrency.cpp)
add_hosted_test(variant_tests test_variants.cpp)
add_hosted_test(display_tests test_display.cpp)

# The rest concerns the shipped build only, and starts the sanitizer builds.
if(TOLVANIC_SANITIZE OR TOLVANIC_FUZZ)
  return()
endif()

# The replacement allocation functions must be exported for the module to
# bind to them.
add_hosted_test(realtime_tests test_realtime.cpp counting_alloc.cpp)
set_target_properties(realtime_tests PROPERTIES ENABLE_EXPORTS ON)

add_library(hardening_probe MODULE hardening_probe.cpp)
target_link_libraries(hardening_probe PRIVATE tolvanic_plugin_flags)
# The variants compare feature and extension URIs; the inline variant
# copies each block to its output with memcpy.
set(extra_imports_tolvanic_inline memcpy strcmp)
set(extra_imports_tolvanic_stereo strcmp)
foreach(module ${TOLVANIC_MODULES})
  add_test(NAME binary.hardening.${module}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check_hardening.sh
            $<TARGET_FILE:${module}> $<TARGET_FILE:hardening_probe>
            ${extra_imports_${module}})
  add_test(NAME binary.writable_data.${module}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check_writable_data.sh
            $<TARGET_FILE:${module}>)
  set_tests_properties(binary.hardening.${module}
    binary.writable_data.${module} PROPERTIES LABELS host)
endforeach()

# The module under valgrind in real hosts: lv2bench and the host tests.
find_program(VALGRIND valgrind REQUIRED)
find_program(LV2BENCH lv2bench REQUIRED)
set(valgrind ${VALGRIND} --error-exitcode=1 --leak-check=full)
add_test(NAME valgrind.lv2bench
  COMMAND ${valgrind} ${LV2BENCH} -b 256 -n 96000 ${TOLVANIC_URI})
add_test(NAME valgrind.lv2bench.inline
  COMMAND ${valgrind} ${LV2BENCH} -b 256 -n 96000 ${TOLVANIC_INLINE_URI})
add_test(NAME valgrind.lv2bench.stereo
  COMMAND ${valgrind} ${LV2BENCH} -b 256 -n 96000 ${TOLVANIC_STEREO_URI})
add_test(NAME valgrind.lilv_tests COMMAND ${valgrind} $<TARGET_FILE:lilv_tests>)
add_test(NAME valgrind.load_tests COMMAND ${valgrind} $<TARGET_FILE:load_tests>)
set_tests_properties(valgrind.lv2bench valgrind.lv2bench.inline
  valgrind.lv2bench.stereo valgrind.lilv_tests valgrind.load_tests
  PROPERTIES LABELS sanitize ENVIRONMENT "LV2_PATH=${TOLVANIC_LV2_PATH}")
tolvanic_heavy_rows(1 valgrind.lv2bench valgrind.lv2bench.inline
  valgrind.lv2bench.stereo valgrind.lilv_tests valgrind.load_tests)

# clang builds with AddressSanitizer and UndefinedBehaviorSanitizer (the
# unit and host suites, and the fuzzer), and with ThreadSanitizer (the
# concurrency test, and tolvanic-meter's threads through its pipeline's
# tests and its host tests). Each
# build is a fixture its tests wait for.
set(asan_dir ${CMAKE_BINARY_DIR}/clang-asan-ubsan)
set(tsan_dir ${CMAKE_BINARY_DIR}/clang-tsan)
add_test(NAME clang.asan_ubsan.build
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/clang_build.sh
          ${PROJECT_SOURCE_DIR} ${asan_dir} address,undefined ON)
set_tests_properties(clang.asan_ubsan.build PROPERTIES
  FIXTURES_SETUP clang_asan_ubsan)
add_test(NAME clang.asan_ubsan.suites
  COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${asan_dir} -L "unit|host"
          -E "^binary\\." --no-tests=error --output-on-failure)
set_tests_properties(clang.asan_ubsan.suites PROPERTIES
  FIXTURES_REQUIRED clang_asan_ubsan)

add_test(NAME clang.tsan.build
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/clang_build.sh
          ${PROJECT_SOURCE_DIR} ${tsan_dir} thread OFF concurrency_tests
          meter_logic_tests meter_cli_tests)
set_tests_properties(clang.tsan.build PROPERTIES FIXTURES_SETUP clang_tsan)
add_test(NAME clang.tsan.concurrency
  COMMAND ${tsan_dir}/tests/concurrency_tests)
add_test(NAME clang.tsan.meter_logic
  COMMAND ${tsan_dir}/tests/tools/meter_logic_tests)
add_test(NAME clang.tsan.meter_cli
  COMMAND ${tsan_dir}/tests/host/meter_cli_tests)
set_tests_properties(clang.tsan.concurrency clang.tsan.meter_logic
  clang.tsan.meter_cli PROPERTIES
  FIXTURES_REQUIRED clang_tsan
  ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1;LV2_PATH=${tsan_dir}/lv2")
set_tests_properties(clang.asan_ubsan.build clang.tsan.build PROPERTIES
  PROCESSORS 2 TIMEOUT 1800)
set_tests_properties(clang.asan_ubsan.build clang.asan_ubsan.suites
  clang.tsan.build clang.tsan.concurrency clang.tsan.meter_logic
  clang.tsan.meter_cli PROPERTIES LABELS sanitize)
tolvanic_heavy_rows("0;1" clang.asan_ubsan.build clang.tsan.build)
tolvanic_heavy_rows(1 clang.asan_ubsan.suites clang.tsan.concurrency
  clang.tsan.meter_logic clang.tsan.meter_cli)

# A minute of fuzzing; `make fuzz` runs longer.
add_test(NAME fuzz.meter
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_fuzzer.sh
          ${asan_dir}/tests/fuzz/fuzz_meter 60 ${CMAKE_BINARY_DIR}/fuzz
          ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus)
set_tests_properties(fuzz.meter PROPERTIES
  FIXTURES_REQUIRED clang_asan_ubsan LABELS fuzz TIMEOUT 600)
# The file fuzzer: its seeds and regression inputs once each, then a fixed
# count of runs from a fixed seed, about a minute here; `make fuzz-files`
# runs a campaign of its own.
add_test(NAME fuzz.files
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_files.sh
          ${asan_dir}/tests/fuzz/fuzz_files ${CMAKE_BINARY_DIR}/fuzz-files-check
          check 20000 ${asan_dir}/tests/fuzz/sound_corpus
          ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/regressions)
set_tests_properties(fuzz.files PROPERTIES
  FIXTURES_REQUIRED clang_asan_ubsan LABELS fuzz TIMEOUT 900)
# The longest rows, alone on their CPU: the other heavy rows share the
# other.
tolvanic_heavy_rows(0 fuzz.meter fuzz.files)
