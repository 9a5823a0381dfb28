# The commands of README.md. Everything builds in build/<preset>.
PRESET ?= Release
BUILD_DIR := build/$(PRESET)
DEMO_DIR ?= out/demo

.PHONY: all deps configure build test demo bench bench-sequence windows-check asan tsan fuzz format clean
FUZZ_SECONDS ?= 60

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

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer; any
# finding stops the test that met it (build/asan).
asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The threaded tests and the multi-frame stress under ThreadSanitizer (build/tsan).
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# The libFuzzer target (clang) from the corpus in tests/fuzz/corpus for
# FUZZ_SECONDS; new inputs go to build/fuzz/corpus, findings to build/fuzz/findings.
fuzz:
	tools/install-deps.sh --fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz --target prismora_fuzz
	tools/run-fuzz.sh build/fuzz $(FUZZ_SECONDS)

format:
	git ls-files '*.h' '*.cpp' '*.cu' '*.cuh' | xargs clang-format -i

clean:
	rm -rf build
