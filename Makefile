# SPDX-License-Identifier: ISC
# The front door. `make demo` and `make check` work from a fresh Debian 12
# machine: both install what is missing, configure and build first.

BUILD ?= build
PREFIX ?= /usr/local
DESTDIR ?=
URI := http://tolvanic.org/oss/lv2/tolvanic
CMAKE_FLAGS ?=

.PHONY: all deps configure build check demo install install-user uninstall format clean bench bench-peers

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) --parallel

check: build
	ctest --test-dir $(BUILD) --output-on-failure --parallel 2

demo: build
	LV2_PATH=$(CURDIR)/$(BUILD)/lv2 lv2info $(URI)
	LV2_PATH=$(CURDIR)/$(BUILD)/lv2 lv2bench -b 256 -n 4800000 $(URI)

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

install-user: build
	mkdir -p $(HOME)/.lv2
	rm -rf $(HOME)/.lv2/tolvanic.lv2
	cp -r $(BUILD)/lv2/tolvanic.lv2 $(HOME)/.lv2/

uninstall:
	rm -rf $(DESTDIR)$(PREFIX)/lib/lv2/tolvanic.lv2

format:
	clang-format -i src/*/*.cpp src/*/*.h tests/*.cpp tests/*.h bench/*.cpp bench/*.h

clean:
	rm -rf $(BUILD)

# Repetitions interleaved at random, medians: the machine may be busy.
BENCH_FLAGS ?= --benchmark_repetitions=20 --benchmark_min_time=0.05 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true

bench: build
	$(BUILD)/bench/meter_bench $(BENCH_FLAGS)

bench-peers: build
	bash bench/peers.sh $(BUILD)
