#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz, apart from the normal build) and
# runs each for SECONDS, starting from its seed corpus in fuzz/corpus/NAME. New inputs go
# to a temporary folder, so the corpus in the repository stays small; a crash or a leak
# stops the script with its input saved under build-fuzz/artifacts/.
# Usage: fuzz/run.sh SECONDS [TARGET...]   (all targets by default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
cxx=${ZEL_FUZZ_CXX:-clang++-14}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DZEL_FUZZ=ON -DZEL_GUI=OFF -DZEL_TESTS=OFF -DZEL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "${ZEL_FUZZ_JOBS:-2}"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
mkdir -p build-fuzz/artifacts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  dict=()
  if [ -f "fuzz/$target.dict" ]; then dict=(-dict="fuzz/$target.dict"); fi
  echo "== $target: ${seconds} s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" "${dict[@]}" \
    "$work/$target" "fuzz/corpus/$target" 2>"$work/$target.log" || {
    tail -n 60 "$work/$target.log" >&2
    echo "FAIL $target: see build-fuzz/artifacts/" >&2
    exit 1
  }
  grep -E 'DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$work/$target.log" || true
done
