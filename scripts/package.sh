#!/usr/bin/env bash
# Builds the Debian package: an optimised build of the server and the line
# simulator, installed by CPack into ondrix-server_VERSION_ARCH.deb in the
# build folder (default build-package). Install it with
#   sudo apt install ./build-package/ondrix-server_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ONDRIX_PACKAGE_BUILD_DIR:-build-package}
# Packaging needs only what gets installed, not the tests. The optimisation
# is the one the tests run with; CPack strips the debugging information.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build "$build_dir" --target ondrix-server ondrix-linesim ondrix_compressed_docs -j2
rm -f "$build_dir"/ondrix-server_*.deb
(cd "$build_dir" && cpack -G DEB)
deb=$(ls "$build_dir"/ondrix-server_*.deb)
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb"
echo "package: $deb"
