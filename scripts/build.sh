#!/usr/bin/env bash
# Configures and builds the project into build/ (the program is build/vendrik).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
