#!/usr/bin/env bash
# Builds the page into build-web/site/: the engine and the experiment layer compiled with
# Debian's emscripten for a Web Worker, the page's HTML, CSS and JavaScript modules, and the
# chart library from npm (installed from web/package-lock.json), so that the site is a plain
# folder of static files that needs no outside network. Installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-web
site=$out/site
jobs=$(nproc)

scripts/setup.sh emscripten nlohmann-json3-dev libcli11-dev libboost-dev cmake ninja-build
# Node comes with emscripten; npm is installed only where no npm is found (a Node of another
# origin brings its own, and Debian's npm would conflict with it).
command -v npm >/dev/null || scripts/setup.sh npm
(cd web && npm ci --no-audit --no-fund --loglevel=error)

# The optimizer of emscripten's JavaScript needs Debian's acorn.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Exceptions carry the engine's messages; emscripten's C++ library lacks the floating-point
# to_chars and from_chars, which a header adds. WebAssembly's 128-bit vectors carry the
# portable development kernel (the same bytes, about three times as fast); ZEL_WEB_SIMD=
# (empty) builds without them, for comparison.
compile="-fexceptions ${ZEL_WEB_SIMD--msimd128} -include $root/cmake/emscripten/charconv-compat.h"
emcmake cmake -S . -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_GUI=OFF -DZEL_BENCH=OFF \
  -DZEL_TESTS=OFF -DZEL_WEB=ON -DCLI11_DIR="$root/cmake/cli11" -Dnlohmann_json_DIR="$root/cmake/nlohmann_json" \
  -DBoost_DIR="$root/cmake/boost" -DCMAKE_CXX_FLAGS="$compile" -DCMAKE_EXE_LINKER_FLAGS="-fexceptions" >/dev/null
cmake --build "$out/cmake" -j "$jobs" --target zelworld-web

rm -rf "$site"
mkdir -p "$site"
cp "$out/cmake/bin/zelworld-web.js" "$out/cmake/bin/zelworld-web.wasm" "$site/"
cp web/index.html web/style.css web/src/*.js "$site/"
cp web/node_modules/uplot/dist/uPlot.esm.js web/node_modules/uplot/dist/uPlot.min.css "$site/"
cp web/node_modules/uplot/LICENSE "$site/uPlot.LICENSE" 2>/dev/null || true
echo "The page is in build-web/site/; scripts/serve-web.sh serves it on http://localhost:8080/"
