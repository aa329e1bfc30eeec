#!/usr/bin/env bash
# Installs what is missing, builds everything, runs every test, then runs the
# core tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and the tests of
# the threaded generation step, the worker pool and the fitness memo under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_GUI=ON >/dev/null
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON -DZEL_GUI=OFF >/dev/null
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L core

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_THREAD_SANITIZE=ON -DZEL_GUI=OFF \
  -DZEL_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target zel_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/bin/zel_tests --gtest_filter='Population.*:WorkerPool.*:FitnessMemo.*:ThreadChoice.*'
