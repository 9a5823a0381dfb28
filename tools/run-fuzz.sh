#!/usr/bin/env bash
# Runs the libFuzzer target of a fuzz build for a number of seconds, starting
# from the corpus kept in tests/fuzz/corpus. New inputs go to BUILD/corpus (the
# kept corpus is not changed), findings to BUILD/findings.
#
#   tools/run-fuzz.sh build/fuzz 60 [extra libFuzzer options...]
set -euo pipefail
build=${1:?usage: tools/run-fuzz.sh BUILD_DIR SECONDS [OPTIONS...]}
seconds=${2:?usage: tools/run-fuzz.sh BUILD_DIR SECONDS [OPTIONS...]}
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/corpus" "$build/findings"
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:protect_shadow_gap=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
exec "$build/tests/fuzz/prismora_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/findings/" "$@" \
  "$build/corpus" "$root/tests/fuzz/corpus"
