#!/usr/bin/env bash
# Builds Vendrik for Linux and for Windows (mingw-w64) and runs the whole test suite
# through CTest: unit and end-to-end tests, and the Windows program under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-dependencies.sh g++-mingw-w64-x86-64 wine64

cmake --preset windows >/dev/null
cmake --build --preset windows

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVENDRIK_WINDOWS_BUILD_DIR="$PWD/build-windows" >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure --timeout 300
