#!/usr/bin/env bash
# Cross-builds the engine, zelworld-cli and the core tests for aarch64 Linux with Debian's
# cross toolchain into build-aarch64/, then runs the core tests and the golden outputs under
# qemu-user. long double is binary128 there, so this checks that the extended-format steps
# and the portable kernel give the x86 bytes. Installs the packages it needs if missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-aarch64
jobs=$(nproc)

scripts/setup.sh g++-aarch64-linux-gnu qemu-user-static googletest libcli11-dev nlohmann-json3-dev libboost-dev cmake ninja-build

toolchain=$root/cmake/aarch64-linux-gnu.cmake
# GoogleTest from the sources Debian ships, built once with the cross compiler.
if [ ! -f "$out/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$out/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$out/gtest" >/dev/null
  cmake --build "$out/gtest-build" -j "$jobs" >/dev/null
  cmake --install "$out/gtest-build" >/dev/null
fi

cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DZEL_GUI=OFF -DZEL_BENCH=OFF -DGTest_DIR="$out/gtest/lib/cmake/GTest" -DCLI11_DIR="$root/cmake/cli11" -Dnlohmann_json_DIR="$root/cmake/nlohmann_json" -DBoost_DIR="$root/cmake/boost" >/dev/null
cmake --build "$out" -j "$jobs"

# The core tests run under qemu through CMake's emulator setting; the golden outputs are
# checked by the script itself, with qemu named on its command line.
ctest --test-dir "$out" -L core -E '^golden_outputs' --output-on-failure -j "$jobs"
tests/data/golden/check.sh qemu-aarch64-static -L /usr/aarch64-linux-gnu "$out/bin/zelworld-cli"
