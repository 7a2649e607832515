#!/usr/bin/env bash
# Builds the server and starts it on the line simulator: the simulated modem
# is linked as COM1 in the program directory, so "開始" (port 1) or "自動検索"
# finds it. The simulator stops when the server window is closed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ONDRIX_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir"
bin="$build_dir/bin"

"$bin/ondrix-linesim" --dir "$bin" --port 1 &
sim=$!
stop_sim() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
}
trap stop_sim EXIT
# The server opens COM1 only when a button is pressed, but the link should be
# there before the window is.
for _ in $(seq 50); do
  [[ -L "$bin/COM1" ]] && break
  kill -0 "$sim" 2>/dev/null || { echo "run: the line simulator did not start" >&2; exit 1; }
  sleep 0.1
done

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display; starting the window under a virtual X server (xvfb-run)."
  echo "run: to see it, run this script from a desktop session, or export DISPLAY."
  xvfb-run -a -s "-screen 0 1024x768x24" "$bin/ondrix-server"
else
  "$bin/ondrix-server"
fi
