# SPDX-License-Identifier: ISC
# The front door. `make demo` and `make check` work from a fresh Debian 12
# machine: both install what is missing, configure and build first.

BUILD ?= build
PREFIX ?= /usr/local
DESTDIR ?=
URI := http://tolvanic.org/oss/lv2/tolvanic
CMAKE_FLAGS ?=

.PHONY: all deps configure build check demo install install-user uninstall format clean fuzz

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
	clang-format -i src/*/*.cpp src/*/*.h tests/*.cpp tests/*.h tests/fuzz/*.cpp

clean:
	rm -rf $(BUILD)

# `make check` fuzzes for a minute; this runs the same fuzzer for longer
# (FUZZ_SECONDS) and keeps what it finds in $(BUILD)/fuzz/.
FUZZ_SECONDS ?= 1800
fuzz: build
	bash tests/clang_build.sh $(CURDIR) $(abspath $(BUILD))/clang-asan-ubsan address,undefined ON fuzz_meter
	bash tests/fuzz/run_fuzzer.sh $(BUILD)/clang-asan-ubsan/tests/fuzz/fuzz_meter $(FUZZ_SECONDS) $(BUILD)/fuzz tests/fuzz/corpus
