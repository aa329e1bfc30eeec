#!/usr/bin/env bash
# Installs what is missing, builds everything and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_GUI=ON >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/bin/zelworld ]; then
  exec build/bin/zelworld "$@"
else
  exec build/bin/zelworld-cli --help
fi
