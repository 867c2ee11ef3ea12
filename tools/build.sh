#!/bin/sh
# Builds the host tools and tests (build/host), the module for 32-bit and
# 64-bit Windows (build/win32/Gyrel.scr, build/win64/Gyrel.scr) and the web
# page (build/web, from the WebAssembly build in build/wasm).
set -eu
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/host -j "$JOBS"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j "$JOBS"
cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build/win64 -j "$JOBS"
cmake -S . -B build/wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake -DCMAKE_BUILD_TYPE=Release \
    -DGYREL_WEB_DIR="$PWD/build/web" >/dev/null
cmake --build build/wasm -j "$JOBS"
echo "build: build/win32/Gyrel.scr, build/win64/Gyrel.scr and the page in build/web are ready"
