# SPDX-License-Identifier: ISC
# Which rows may share the machine's CPUs. `make check` runs two rows at a
# time, for a 2-CPU machine. Rows that run an audio graph against the clock
# (JACK's dummy driver, Ardour's dummy backend, a window's timed clicks)
# lose their signal when heavy rows keep the CPUs busy beside them, so:
#
# - a heavy row (a compiler, the fuzzer, valgrind, a sanitizer suite) holds
#   the lock of each CPU it keeps busy; two heavy rows on different CPUs
#   run side by side, two on one CPU one after the other;
# - a real-time row holds both locks: it never runs beside a heavy row nor
#   beside another real-time row;
# - light rows hold none and run beside anything.
#
# These are CTest resource locks, which any ctest run honours.

# tolvanic_heavy_rows(CPUS TEST...): CPUS is 0, 1 or "0;1".
function(tolvanic_heavy_rows cpus)
  list(TRANSFORM cpus PREPEND tolvanic_cpu_)
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_LOCK "${cpus}")
endfunction()

# tolvanic_realtime_rows(TEST...)
function(tolvanic_realtime_rows)
  tolvanic_heavy_rows("0;1" ${ARGN})
endfunction()
