#!/usr/bin/env bash
# Builds Vendrik for Linux and for Windows (mingw-w64), with sanitizers, and its fuzz
# target (clang), then runs the whole test suite through CTest: unit and end-to-end tests,
# the Windows program under wine, the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, a one-minute fuzz run of the matcher, the SARIF logs checked
# by Microsoft's SARIF Multitool (from npm), vendrik-history's page in headless Chromium, its
# tests on a throwaway PostgreSQL server as well as on SQLite, and the sources checked against
# .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-dependencies.sh g++-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev strace \
    chromium python3 clang-format postgresql
command -v npm >/dev/null || bash scripts/install-dependencies.sh npm
multitool=build-tools/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool
[ -x "$multitool" ] && [ -d build-tools/node_modules/@security-alert/sarif-to-markdown ] ||
    npm install --prefix build-tools --no-audit --no-fund --loglevel=error \
        @microsoft/sarif-multitool@5.7.0 @security-alert/sarif-to-markdown@1.11.1 >/dev/null

cmake --preset windows >/dev/null
cmake --build --preset windows

# With clang, optimised lightly and with line tables only: the sanitizers need no more, and it
# builds in less time than with g++ (the main build is g++'s).
CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DVENDRIK_SANITIZE=ON >/dev/null
cmake --build build-sanitize

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVENDRIK_FUZZ=ON -DVENDRIK_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target vendrik_line_matcher_fuzz

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVENDRIK_WINDOWS_BUILD_DIR="$PWD/build-windows" \
    -DVENDRIK_SANITIZE_BUILD_DIR="$PWD/build-sanitize" \
    -DVENDRIK_FUZZ_PROGRAM="$PWD/build-fuzz/vendrik_line_matcher_fuzz" \
    -DVENDRIK_SARIF_MULTITOOL="$PWD/$multitool" \
    -DVENDRIK_NODE_MODULES="$PWD/build-tools/node_modules" >/dev/null
cmake --build build
# Both cores: the fuzz minute and the sanitizer suite (marked costly, so they start first)
# run beside the other tests.
ctest --test-dir build --output-on-failure --timeout 600 --parallel 2
