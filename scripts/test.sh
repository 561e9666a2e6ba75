#!/usr/bin/env bash
# Builds Vendrik for Linux and for Windows (mingw-w64), with sanitizers, and its fuzz
# target (clang), then runs the whole test suite through CTest: unit and end-to-end tests,
# the Windows program under wine, the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a one-minute fuzz run of the matcher.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-dependencies.sh g++-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev strace

cmake --preset windows >/dev/null
cmake --build --preset windows

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVENDRIK_SANITIZE=ON >/dev/null
cmake --build build-sanitize

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVENDRIK_FUZZ=ON -DVENDRIK_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target vendrik_line_matcher_fuzz

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVENDRIK_WINDOWS_BUILD_DIR="$PWD/build-windows" \
    -DVENDRIK_SANITIZE_BUILD_DIR="$PWD/build-sanitize" \
    -DVENDRIK_FUZZ_PROGRAM="$PWD/build-fuzz/vendrik_line_matcher_fuzz" >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure --timeout 600
