# SPDX-License-Identifier: ISC
# The front door. `make demo` and `make check` work from a fresh Debian 12
# machine: both install what is missing, configure and build first.

BUILD ?= build
PREFIX ?= /usr/local
DESTDIR ?=
JOBS ?= $(shell nproc)
URI := http://tolvanic.org/oss/lv2/tolvanic
CMAKE_FLAGS ?=

.PHONY: all deps configure build check demo install install-user uninstall deb format clean fuzz fuzz-files bench bench-loudness bench-peers bench-files

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) --parallel $(JOBS)

check: build
	ctest --test-dir $(BUILD) --output-on-failure --parallel 2

# Meters the built-in demonstration signal with the plug-in of this build.
demo: build
	LV2_PATH=$(CURDIR)/$(BUILD)/lv2 $(BUILD)/tools/tolvanic-meter

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

install-user: build
	mkdir -p $(HOME)/.lv2
	rm -rf $(HOME)/.lv2/tolvanic.lv2
	cp -r $(BUILD)/lv2/tolvanic.lv2 $(HOME)/.lv2/

uninstall:
	rm -rf $(DESTDIR)$(PREFIX)/lib/lv2/tolvanic.lv2
	rm -f $(DESTDIR)$(PREFIX)/bin/tolvanic-meter
	rm -f $(DESTDIR)$(PREFIX)/share/man/man1/tolvanic-meter.1.gz

# A Debian package, from a build of its own configured for /usr and
# without the build-tree fallback baked into the command.
DEB_BUILD ?= $(BUILD)/deb
deb: deps
	cmake -S . -B $(DEB_BUILD) -DCMAKE_INSTALL_PREFIX=/usr \
	  -DTOLVANIC_TESTS=OFF -DTOLVANIC_METER_BUILD_TREE_FALLBACK=OFF \
	  -DTOLVANIC_DEB_DOCS=ON $(CMAKE_FLAGS)
	cmake --build $(DEB_BUILD) --parallel $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB

format:
	clang-format -i $$(find src tools tests bench -name '*.cpp' -o -name '*.h')

clean:
	rm -rf $(BUILD)

# `make check` fuzzes for a minute; this runs the same fuzzer for longer
# (FUZZ_SECONDS) and keeps what it finds in $(BUILD)/fuzz/.
FUZZ_SECONDS ?= 1800
fuzz: build
	bash tests/clang_build.sh $(CURDIR) $(abspath $(BUILD))/clang-asan-ubsan address,undefined ON fuzz_meter
	bash tests/fuzz/run_fuzzer.sh $(BUILD)/clang-asan-ubsan/tests/fuzz/fuzz_meter $(FUZZ_SECONDS) $(BUILD)/fuzz tests/fuzz/corpus

# The file fuzzer for MINUTES, keeping its corpus in $(BUILD)/fuzz-files/
# between campaigns and what it finds in $(BUILD)/fuzz-files/findings/.
MINUTES ?= 30
FUZZ_BUILD = $(abspath $(BUILD))/clang-asan-ubsan
fuzz-files: build
	bash tests/clang_build.sh $(CURDIR) $(FUZZ_BUILD) address,undefined ON fuzz_files sound_corpus tolvanic
	bash tests/fuzz/fuzz_files.sh $(FUZZ_BUILD)/tests/fuzz/fuzz_files $(BUILD)/fuzz-files campaign $(MINUTES) $(FUZZ_BUILD)/tests/fuzz/sound_corpus tests/fuzz/regressions

# Repetitions interleaved at random, medians: the machine may be busy.
BENCH_FLAGS ?= --benchmark_repetitions=20 --benchmark_min_time=0.05 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true

bench: build
	$(BUILD)/bench/meter_bench $(BENCH_FLAGS)

# tolvanic-meter's loudness per channel: K-weighting, true peak, both,
# beside libebur128's true peak.
bench-loudness: build
	$(BUILD)/bench/loudness_bench --benchmark_repetitions=10 \
	  --benchmark_report_aggregates_only=true

bench-peers: build
	bash scripts/install-deps peers
	bash bench/peers.sh $(BUILD)

# tolvanic-meter against sox and ffmpeg on an hour of audio (LONG_SECONDS),
# with the files made once into $(BUILD)/bench-files.
bench-files: build
	bash scripts/install-deps files
	bash bench/files.sh $(BUILD)
