# The commands of README.md. Everything builds in build/<preset>.
PRESET ?= Release
BUILD_DIR := build/$(PRESET)
DEMO_DIR ?= out/demo

.PHONY: all deps configure build test demo bench bench-sequence windows-check format clean

all: build

deps:
	tools/install-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET) --timeout 300

demo: build
	$(BUILD_DIR)/cli/prismora demo $(DEMO_DIR)

bench: build
	$(BUILD_DIR)/bench/prismora_bench

# The Windows plug-in cross-built, checked and run under Wine (tools/windows-check.sh).
windows-check:
	LINUX_PRESET=$(PRESET) tools/windows-check.sh

bench-sequence: build
	$(BUILD_DIR)/bench/prismora_sequence_bench

format:
	git ls-files '*.h' '*.cpp' '*.cu' '*.cuh' | xargs clang-format -i

clean:
	rm -rf build
