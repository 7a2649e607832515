#!/usr/bin/env bash
# Runs the end-to-end and pseudo-terminal tests N times in a row (default 20)
# with -j2, beside a CPU hog and a process that keeps opening and closing
# pseudo-terminals, and prints how many runs failed. Not part of the test
# command: it shows that those tests do not depend on timing or on which
# pseudo-terminal numbers are free.
#   usage: scripts/e2e-stress.sh [RUNS]   (ONDRIX_BUILD_DIR: build directory)
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
build_dir=${ONDRIX_BUILD_DIR:-build}
tests='^(ServerRun|Fault|Unattended|Calls/Call|CarrierLost/Call|Commands/CallCommand|AtExit/ReadOnlyDirectory'
tests+='|Keypad/Operator|Modems/SearchWithoutMatch|SerialLineTest)\.'
logs=$(mktemp -d /tmp/ondrix-e2e-stress-XXXXXX)

yes >/dev/null &
hog=$!
# Takes every pseudo-terminal number the kernel frees, at once, and lets it go again.
python3 -c '
import os
while True:
    fds = [os.openpty() for _ in range(4)]
    for m, s in fds:
        os.close(s)
        os.close(m)
' &
churn=$!
trap 'kill "$hog" "$churn" 2>/dev/null' EXIT

failed=0
start=$(date +%s)
for ((i = 1; i <= runs; ++i)); do
  if (cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest -j2 --timeout 300 -R "$tests" \
        --output-on-failure >"$logs/run-$i.log" 2>&1); then
    echo "run $i: $(grep -o '[0-9]*% tests passed.*' "$logs/run-$i.log")"
  else
    failed=$((failed + 1))
    echo "run $i: FAILED, see $logs/run-$i.log"
    grep -E '^\s*[0-9]+ - ' "$logs/run-$i.log" | sed 's/^/    /'
  fi
done
echo "runs: $runs, failed: $failed, $(($(date +%s) - start)) s"
[ "$failed" -eq 0 ]
