#!/usr/bin/env bash
# The checks that need an NVIDIA GPU, in one run: a Release build for the
# device's own architecture (beside sm_75), the GPU tests, the GPU benchmark
# and a short summary. Run from anywhere; the build lands in build/gpu-check.
#
#   tools/gpu-check.sh [-j JOBS]
#
# A device machine may lack GoogleTest (the GPU tests need it); the benchmark
# then runs alone. Debian packages placed in .deps/ at the repository root
# (e.g. `apt-get download libgtest-dev libgmock-dev googletest` on a build
# machine, the folder carried to the device) are unpacked and used.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/gpu-check"
jobs=16
if [ "${1:-}" = "-j" ] && [ -n "${2:-}" ]; then
  jobs="$2"
fi
log="$build/gpu-check.log"
mkdir -p "$build"
: >"$log"

say() { echo "gpu-check: $*" | tee -a "$log"; }

# The device: its name and compute capability (e.g. 9.0 -> "75;90").
gpu_name="none"
archs="75"
if command -v nvidia-smi >/dev/null 2>&1; then
  gpu_name="$(nvidia-smi --query-gpu=name --format=csv,noheader 2>/dev/null | head -n1)"
  cap="$(nvidia-smi --query-gpu=compute_cap --format=csv,noheader 2>/dev/null | head -n1 | tr -d ' .')"
  if [ -n "$cap" ] && [ "$cap" != "75" ]; then
    archs="75;$cap"
  fi
else
  say "nvidia-smi not found: building for sm_75 only; the GPU tests will report themselves skipped"
fi
say "GPU: ${gpu_name:-unknown}, CUDA architectures: $archs"

nvcc_args=()
if [ -x /usr/local/cuda/bin/nvcc ] && ! command -v nvcc >/dev/null 2>&1; then
  nvcc_args=(-DCMAKE_CUDA_COMPILER=/usr/local/cuda/bin/nvcc)
fi
generator=()
if command -v ninja >/dev/null 2>&1; then
  generator=(-G Ninja)
fi

prefix_args=()
if compgen -G "$root/.deps/*.deb" >/dev/null; then
  deps="$build/deps"
  mkdir -p "$deps"
  for deb in "$root"/.deps/*.deb; do
    dpkg -x "$deb" "$deps"
  done
  prefix_args=("-DCMAKE_PREFIX_PATH=$deps/usr")
  say "using the packages unpacked from .deps/"
fi

say "configuring"
if ! cmake -S "$root" -B "$build" "${generator[@]}" "${nvcc_args[@]}" "${prefix_args[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DPRISMORA_REQUIRE_ALL_DEPENDENCIES=OFF \
  "-DCMAKE_CUDA_ARCHITECTURES=$archs" >>"$log" 2>&1; then
  say "configure failed; see $log"
  tail -n 30 "$log"
  exit 1
fi

# Only what the checks run; the tests only where GoogleTest was found.
targets=(prismora_gpu_bench)
have_tests=0
if [ -d "$build/tests/gpu" ]; then
  have_tests=1
  targets+=(prismora_cuda_launcher_tests prismora_emulated_gpu_tests prismora_hostsim_tests)
else
  say "GoogleTest not found: the GPU tests are left out, the benchmark runs alone"
fi
say "building ${targets[*]} with -j$jobs"
if ! cmake --build "$build" -j "$jobs" --target "${targets[@]}" >>"$log" 2>&1; then
  say "build failed; see $log"
  grep -E "error|FAILED" "$log" | head -n 30
  exit 1
fi

# Every test of the two GPU programs, and the GPU suites of the host's tests.
suites_of() {
  "$1" --gtest_list_tests 2>/dev/null | grep -E '^[A-Za-z0-9_/]+\.$' | sed 's/\.$//; s|/.*||'
}
passed=0 skipped=0 failed=0 ctest_rc=0
ctest_out="$build/ctest.out"
: >"$ctest_out"
if [ "$have_tests" -eq 1 ]; then
  suites="$( (suites_of "$build/tests/gpu/prismora_cuda_launcher_tests"
    suites_of "$build/tests/gpu/prismora_emulated_gpu_tests"
    echo GpuFrames
    echo CudaDeviceFrames) | sort -u | paste -sd'|')"
  regex="^([A-Za-z0-9_]+/)?($suites)\\."
  say "running the GPU tests (ctest -R '$regex')"
  ctest --test-dir "$build" -R "$regex" -j "$jobs" --timeout 300 --output-on-failure >"$ctest_out" 2>&1
  ctest_rc=$?
  cat "$ctest_out" >>"$log"
  passed="$(grep -cE 'Test +#[0-9]+: .* Passed' "$ctest_out")"
  skipped="$(grep -cE '\*\*\*Skipped|Skipped +[0-9.]+ sec' "$ctest_out")"
  failed="$(grep -cE '\*\*\*(Failed|Exception|Timeout)|Not Run' "$ctest_out")"
fi

say "running the GPU benchmark"
bench_out="$build/gpu_bench.out"
timeout 240 "$build/bench/prismora_gpu_bench" >"$bench_out" 2>&1
bench_rc=$?
cat "$bench_out" >>"$log"

echo
echo "==================== GPU check summary ===================="
echo "GPU:        ${gpu_name:-unknown} (architectures $archs)"
echo "tests:      $passed passed, $skipped skipped, $failed failed (ctest exit $ctest_rc)"
if [ "$failed" != "0" ]; then
  grep -E '\*\*\*(Failed|Exception|Timeout)|Not Run' "$ctest_out" | sed 's/^/  /'
fi
echo "benchmark:  exit $bench_rc (ms per frame: whole frame through the host, and the render command alone)"
sed 's/^/  /' "$bench_out"
echo "full log:   $log"
[ "$ctest_rc" -eq 0 ] && [ "$bench_rc" -eq 0 ]
