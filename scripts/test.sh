#!/usr/bin/env bash
# Builds Vendrik with its tests and runs the whole suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-dependencies.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure --timeout 300
