#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. A second,
# Qt-free build of the core runs the core tests under the address and
# undefined-behaviour sanitizers; it also proves the core needs no Qt. The
# Debian package is then packed from the tested build and held to Debian's
# checks (scripts/check-package.sh). Last, the fuzz targets run for a bounded
# time each (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ONDRIX_BUILD_DIR:-build}
start=$(date +%s)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir"
echo "build took $(( $(date +%s) - start )) s"

core_dir="$build_dir-core-sanitized"
cmake -S . -B "$core_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DONDRIX_WITH_QT=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build "$core_dir" --target ondrix_core_tests
echo "core tests without Qt, under sanitizers:"
"$core_dir/bin/ondrix_core_tests" --gtest_brief=1

(cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2)

bash scripts/check-package.sh "$build_dir"

echo "fuzz targets under sanitizers, ${ONDRIX_FUZZ_SECONDS:-30} s each:"
bash scripts/fuzz.sh
