#!/usr/bin/env bash
# Installs what is missing, builds the desktop program (and only what it needs) and starts
# it. The command line, the plots, the tests and the benchmarks are built by scripts/test.sh,
# or by `cmake --build build` (a target alone: `cmake --build build --target zelworld-cli`).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_GUI=ON >/dev/null
cmake --build build -j "$(nproc)" --target zelworld
exec build/bin/zelworld "$@"
