#!/usr/bin/env bash
# Builds the engine, zelworld-cli and the core tests for WebAssembly with Debian's emscripten
# into build-wasm/ (bin/zelworld-cli.js runs under Node with the real file system), then runs
# the core tests and the golden outputs under Node. long double is binary128 there, and there
# are no threads: one core is reported, so the engine evaluates on the calling thread.
# Installs the packages it needs if missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-wasm
jobs=$(nproc)

scripts/setup.sh emscripten googletest libcli11-dev nlohmann-json3-dev libboost-dev cmake ninja-build

# The optimizer of emscripten's JavaScript needs Debian's acorn. Programs run under Node
# as it is (emcmake's default adds a flag that Node 20 refuses).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
node=$(command -v node)
# Exceptions carry the command line's errors; a run may need more than the initial memory.
# emscripten's C++ library lacks the floating-point to_chars and from_chars: a header adds them.
# The page is built with WebAssembly's 128-bit vectors, and so is this build, so that the
# tests of the fast paths against the literal rules run on the kernel the page runs.
compile="-fexceptions -msimd128"
project="$compile -include $root/cmake/emscripten/charconv-compat.h"
link="-O3 -fexceptions -sENVIRONMENT=node -sNODERAWFS=1 -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1"

# GoogleTest from the sources Debian ships, built once with emscripten, without threads.
if [ ! -f "$out/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  emcmake cmake -S /usr/src/googletest -B "$out/gtest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
    -Dgtest_disable_pthreads=ON -DCMAKE_CXX_FLAGS="$compile" -DCMAKE_CROSSCOMPILING_EMULATOR="$node" -DCMAKE_INSTALL_PREFIX="$out/gtest" >/dev/null
  cmake --build "$out/gtest-build" -j "$jobs" >/dev/null
  cmake --install "$out/gtest-build" >/dev/null
fi

emcmake cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_GUI=OFF -DZEL_BENCH=OFF \
  -DGTest_DIR="$out/gtest/lib/cmake/GTest" -DCLI11_DIR="$root/cmake/cli11" -Dnlohmann_json_DIR="$root/cmake/nlohmann_json" -DBoost_DIR="$root/cmake/boost" \
  -DCMAKE_CXX_FLAGS="$project" -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_CROSSCOMPILING_EMULATOR="$node" >/dev/null
cmake --build "$out" -j "$jobs" --target zelworld-cli fuzzyset_tests zel_tests experiment_tests file_tests \
  cli_tests cli_file_tests

# The core tests run under Node through CMake's emulator setting.
ctest --test-dir "$out" -L core -E '^golden_outputs' --output-on-failure -j "$jobs"
tests/data/golden/check.sh node "$out/bin/zelworld-cli.js"

# As the native builds do: no progress bar when standard error is not a terminal, and new
# files made with the user's file mode mask (the C library's own would make them unreadable).
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
(cd "$check" && umask 022 && node "$out/bin/zelworld-cli.js" run --seed 1 --generations 300 --report r.txt \
  --best-list b.txt >/dev/null 2>err.txt)
[ ! -s "$check/err.txt" ] || { echo "FAIL: zelworld-cli.js wrote to a standard error that is a file:" >&2; head -c 200 "$check/err.txt" >&2; exit 1; }
[ "$(stat -c %a "$check/b.txt")" = 644 ] || { echo "FAIL: zelworld-cli.js made b.txt with mode $(stat -c %a "$check/b.txt"), not 644" >&2; exit 1; }
echo "zelworld-cli.js: no progress bar on a file, files made with the user's mask"
