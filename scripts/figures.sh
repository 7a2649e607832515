#!/usr/bin/env bash
# Prints this machine's figures, each next to its baseline where it has one:
#   - start-up time of the shipped server to its window mapped, and its
#     resident memory once shown, next to a bare Qt window of the same size
#     (ondrix-bare-window), median of ONDRIX_FIGURES_RUNS (7) runs each;
#   - CPU time of one idle minute with the port open on the line simulator,
#     next to the bare window's over the same minute;
#   - the tick benchmarks of the core and the store benchmark;
#   - each fuzz target's executions per second (scripts/fuzz.sh, when present).
# Everything is measured from outside the processes: under a virtual X server
# of its own, the time from starting a program to the X server's MapNotify of
# its window (xev on the root window stamps each one as it arrives), and
# VmRSS and utime+stime from /proc. Takes about three minutes; not part of the
# test command. The figures go to standard output, progress to standard error.
#   ONDRIX_FIGURES_RUNS (7), ONDRIX_FIGURES_IDLE_SECONDS (60),
#   ONDRIX_FIGURES_FUZZ_SECONDS (20 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${ONDRIX_BUILD_DIR:-build}
runs=${ONDRIX_FIGURES_RUNS:-7}
idle_seconds=${ONDRIX_FIGURES_IDLE_SECONDS:-60}
fuzz_seconds=${ONDRIX_FIGURES_FUZZ_SECONDS:-20}

note() { echo "figures: $*" >&2; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
note "building (RelWithDebInfo)"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j2 --target ondrix-server ondrix-server-scripted ondrix-bare-window \
  ondrix-linesim ondrix_core_tests ondrix_qt_tests >/dev/null
bin=$(realpath "$build_dir/bin")

work=$(mktemp -d /tmp/ondrix-figures-XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A virtual X server of our own, on the first free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
[[ -s $work/display ]] || { note "the virtual X server did not start"; exit 1; }
DISPLAY=":$(head -1 "$work/display")"
export DISPLAY

# Every window mapped on the display, stamped (microseconds) as its event
# arrives; nothing else maps windows on this display.
: >"$work/maps"
stdbuf -oL xev -root -event substructure 2>/dev/null | while IFS= read -r line; do
  if [[ $line == MapNotify* ]]; then
    t=$EPOCHREALTIME
    echo "${t//[!0-9]/}" >>"$work/maps"
  fi
done &
pids+=($!)
sleep 0.5

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
range() { sort -n | awk 'NR == 1 {lo = $1} {hi = $1} END {print lo "-" hi}'; }
kib_to_mib() { awk '{printf "%.1f", $1 / 1024}'; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
# utime + stime in milliseconds.
cpu_ms() {
  local fields
  fields=$(sed 's/.*) //' "/proc/$1/stat")
  awk -v hz="$(getconf CLK_TCK)" '{printf "%d\n", ($12 + $13) * 1000 / hz}' <<<"$fields"
}

# Starts a program (in its own program directory DIR) and waits for its
# window; sets `started` (the pid) and `startup_ms`.
start_and_time() {
  local dir=$1
  shift
  local before t0 t1
  before=$(wc -l <"$work/maps")
  t0=$EPOCHREALTIME
  (cd "$dir" && exec "$@") >>"$work/programs.log" 2>&1 &
  started=$!
  pids+=("$started")
  for _ in $(seq 3000); do
    (($(wc -l <"$work/maps") > before)) && break
    sleep 0.01
  done
  t1=$(sed -n "$((before + 1))p" "$work/maps")
  [[ -n $t1 ]] || { note "no window from $*"; exit 1; }
  startup_ms=$(((t1 - ${t0//[!0-9]/}) / 1000))
}

# Ends a program this script started, and forgets its pid.
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  local p rest=()
  for p in "${pids[@]}"; do [[ $p == "$1" ]] || rest+=("$p"); done
  pids=("${rest[@]}")
}

# The server in a fresh program directory of its own (no store, no settings),
# so it reads and writes nothing of the build's.
# A second one starts on a full store: 100 mails, each with the largest
# image a terminal takes (96 x 96).
mkdir -p "$work/server" "$work/full" "$work/full.files" "$work/bare" "$work/idle"
cp "$bin/ondrix-server" "$work/server/"
cp "$bin/ondrix-server" "$work/full/"
cp "$bin/ondrix-bare-window" "$work/bare/"
{
  printf ' 0 \r\n 100 \r\n 5 \r\n 0 \r\n'
  for ((i = 1; i <= 100; i++)); do
    image=$({ printf 'DOT\0\x60\0\x60' && head -c 1152 /dev/urandom; } | base64 -w0)
    printf '"0901234%04d","%s","12/07 12:34","<MEL=T120>CDEFGAB>C","%s"\r\n' \
      "$i" "テストのメールです。" "$image"
  done
} | iconv -f UTF-8 -t CP932 >"$work/full.files/amp.dat"

# One run of PROGRAM in DIR: its start-up time and, a second after its
# window was mapped, its resident memory go to NAME.ms and NAME.rss. The
# server writes its store and settings when it is stopped, so every run
# starts from the same files: those of NAME.files, or none.
measure() {
  local name=$1
  shift
  find "$1" -mindepth 1 -maxdepth 1 ! -name "$(basename "$2")" -exec rm -rf {} +
  if [[ -d $work/$name.files ]]; then cp -a "$work/$name.files/." "$1/"; fi
  start_and_time "$@"
  echo "$startup_ms" >>"$work/$name.ms"
  sleep 1
  rss_kib "$started" >>"$work/$name.rss"
  stop "$started"
}

# One run to read the window's size (menu bar included), and to warm the
# caches for both programs.
start_and_time "$work/server" ./ondrix-server
wid=$(xdotool search --sync --onlyvisible --name '^Ondrix Server$' | head -1)
read -r width height < <(xwininfo -id "$wid" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w, h}')
stop "$started"
measure full "$work/full" ./ondrix-server
measure bare "$work/bare" ./ondrix-bare-window "$width" "$height"
rm -f "$work"/*.ms "$work"/*.rss

note "start-up and memory, $runs runs each: the server with no files and with a full store, a bare ${width}x${height} window"
for ((i = 0; i < runs; i++)); do
  measure server "$work/server" ./ondrix-server
  measure full "$work/full" ./ondrix-server
  measure bare "$work/bare" ./ondrix-bare-window "$width" "$height"
done

# The idle minute: the test build of the server (the shipped one cannot be
# clicked from inside) presses 開始 on the simulated modem; the bare window
# idles over the same minute.
note "one idle minute ($idle_seconds s) with the port open"
cp "$bin/ondrix-server-scripted" "$work/idle/ondrix-server"
echo "click StartBtn" >"$work/idle/script"
"$bin/ondrix-linesim" --dir "$work/idle" --port 1 --log "$work/idle/line.log" >"$work/linesim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [[ -L $work/idle/COM1 ]] && break
  sleep 0.1
done
ONDRIX_TEST_SCRIPT="$work/idle/script" start_and_time "$work/idle" ./ondrix-server
server=$started
for _ in $(seq 100); do
  [[ -s $work/idle/line.log ]] && break
  sleep 0.1
done
[[ -s $work/idle/line.log ]] || { note "the server did not open the port"; exit 1; }
start_and_time "$work/bare" ./ondrix-bare-window "$width" "$height"
bare=$started
sleep 2 # the start-up exchange with the modem is over
server_cpu0=$(cpu_ms "$server") bare_cpu0=$(cpu_ms "$bare")
sleep "$idle_seconds"
server_cpu1=$(cpu_ms "$server") bare_cpu1=$(cpu_ms "$bare")
server_idle_rss=$(rss_kib "$server" | kib_to_mib)
sent=$(tr '\r' ' ' <"$work/idle/line.log")
stop "$server"
stop "$bare"
server_idle=$((server_cpu1 - server_cpu0)) bare_idle=$((bare_cpu1 - bare_cpu0))

note "benchmarks"
# Three runs, since one preempted tick on a shared machine shows up as the
# worst: each line with the times of the three runs.
"$bin/ondrix_core_tests" --gtest_repeat=3 \
  --gtest_filter='CallBenchmark.*:LinePollBenchmark.*:PollFaults.RepeatedOkToTheOwnNumber*' |
  grep '^\[ benchmark \]' | sed 's/^\[ benchmark \] //' >"$work/core_bench"
core_bench=$(awk -v n="$(($(wc -l <"$work/core_bench") / 3))" '
  { line[NR] = $0 }
  END {
    for (i = 1; i <= n; i++) {
      out = line[i]
      if (match(out, /[0-9.]+ ms/)) {
        times = ""
        for (r = 0; r < 3; r++) {
          match(line[i + r * n], /[0-9.]+ ms/)
          times = times (r ? " / " : "") substr(line[i + r * n], RSTART, RLENGTH - 3)
        }
        sub(/[0-9.]+ ms/, times " ms", out)
      }
      print out
    }
  }' "$work/core_bench")
store_bench=$(QT_QPA_PLATFORM=offscreen "$bin/ondrix_qt_tests" --gtest_filter='StoreBenchmark.*' |
  grep '^\[ benchmark \]' | sed 's/^\[ benchmark \] //')

if [[ -f scripts/fuzz.sh ]]; then
  note "fuzz targets, $fuzz_seconds s each (the first run also builds them)"
  fuzz=$(ONDRIX_FUZZ_SECONDS=$fuzz_seconds CMAKE_BUILD_PARALLEL_LEVEL=2 bash scripts/fuzz.sh 2>&1 | grep '^fuzz_' || true)
  [[ -n $fuzz ]] || fuzz="not available (scripts/fuzz.sh printed no figures)"
else
  fuzz="not available (no scripts/fuzz.sh in this tree)"
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

row() { printf '%-36s %-14s %-14s %s' "$@"; }
percent() { awk -v ms="$1" -v s="$idle_seconds" 'BEGIN {printf "%.2f", ms / (s * 10)}'; }
ram=$(awk '/^MemTotal:/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
model=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)

cat <<EOF
Ondrix Server figures, $(date -u '+%Y-%m-%d %H:%M UTC'), $(git describe --always --dirty 2>/dev/null || echo "?")
machine: $(nproc) CPUs ($model), $ram RAM, Debian $(cat /etc/debian_version)
load average (1, 5, 15 min): $load_before before, $load_after after

$(row "" "ondrix-server" "full store" "bare Qt window")
$(row "" "(no files)" "(100 mails)" "(${width}x${height})")
$(row "start-up to window mapped, median" "$(median <"$work/server.ms") ms" \
  "$(median <"$work/full.ms") ms" "$(median <"$work/bare.ms") ms")
$(row "  range of $runs runs" "$(range <"$work/server.ms") ms" \
  "$(range <"$work/full.ms") ms" "$(range <"$work/bare.ms") ms")
$(row "resident memory once shown, median" "$(median <"$work/server.rss" | kib_to_mib) MiB" \
  "$(median <"$work/full.rss" | kib_to_mib) MiB" "$(median <"$work/bare.rss" | kib_to_mib) MiB")
$(row "CPU time of ${idle_seconds} s idle, port open" "$server_idle ms" "" "$bare_idle ms")
$(row "  share of one CPU" "$(percent "$server_idle") %" "" "$(percent "$bare_idle") %")
  (server: $server_idle_rss MiB resident after the idle minute; sent to the modem: $sent)

core benchmarks (build/bin/ondrix_core_tests, RelWithDebInfo; times of 3 runs):
$(sed 's/^/  /' <<<"$core_bench")

store benchmark (build/bin/ondrix_qt_tests, files in ${TMPDIR:-/tmp}, $(df --output=fstype "${TMPDIR:-/tmp}" | tail -1)):
$(sed 's/^/  /' <<<"$store_bench")

fuzz targets under the address and undefined-behaviour sanitizers, $fuzz_seconds s each:
$(sed 's/^/  /' <<<"$fuzz")
EOF
