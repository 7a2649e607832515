#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ONDRIX_BUILD_DIR:-build}
start=$(date +%s)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir"
echo "build took $(( $(date +%s) - start )) s"
cd "$build_dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2
