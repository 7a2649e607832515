#!/usr/bin/env bash
# The server left alone for N calls (default 1000): the real program under a
# virtual X server, on the line simulator, with nobody at the keyboard after
# the first 開始 (the test-only script hook presses it). The calls come in
# turn: a terminal's upload, a voice message, a ring for another service, a
# carrier lost in the middle of an upload, the device removed and returned,
# a hang-up the modem refuses.
#   scripts/soak.sh [N]
# ONDRIX_SOAK_MINUTES=M stops starting calls after M minutes (the figures are
# then of the calls played). Prints the calls played, the mails and voice
# messages stored against those that had to be (the store keeps the newest
# 100), the journal's lines against the calls, the times the line needed a
# person, the server's resident memory and its CPU time per call. Not part
# of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
calls=${1:-1000}
minutes=${ONDRIX_SOAK_MINUTES:-0}
build_dir=${ONDRIX_BUILD_DIR:-build}
if [[ ! -d "$build_dir" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target ondrix-server-scripted ondrix-linesim -j2
bin=$(realpath "$build_dir/bin")
kinds=(terminal voice other lost unplug hangup-error)

root=$(mktemp -d /tmp/ondrix-soak-XXXXXX)
work="$root/program"
mkdir "$work"
sim= xvfb=
finish() {
  for pid in $xvfb $sim; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$root"
}
trap finish EXIT
cp "$bin/ondrix-server-scripted" "$work/ondrix-server"

"$bin/ondrix-linesim" --dir "$work" --port 1 --log /dev/null >"$root/linesim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do
  [[ -L "$work/COM1" ]] && break
  sleep 0.1
done
# 開始, then nobody: the script only waits (a timer, no polling).
printf 'click StartBtn\nwait 2000000000\n' >"$root/script"
(cd "$work" && ONDRIX_TEST_SCRIPT="$root/script" \
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$work/ondrix-server") >"$root/server.out" 2>&1 &
xvfb=$!
server=
for _ in $(seq 100); do
  server=$(pgrep -xf "$work/ondrix-server" || true)
  [[ -n "$server" ]] && break
  sleep 0.1
done
[[ -n "$server" ]] || { echo "soak: the server did not start" >&2; exit 1; }

rss() { awk '/^VmRSS/ { print $2 }' "/proc/$server/status"; }
cpu() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$server/stat"; }

played=0 passed=0 failed=0 person=0 mails=0 voices=0 removals=0
stored=()  # what each stored record is, oldest first: m (mail) or v (voice message)
rss_first= cpu_first= rss_round= cpu_round=
started=$(date +%s)
for ((i = 0; i < calls; i++)); do
  if ((minutes > 0 && $(date +%s) - started >= minutes * 60)); then break; fi
  kind=${kinds[i % ${#kinds[@]}]}
  if ((i == 0)); then
    rss_first=$(rss)
    cpu_first=$(cpu)
  fi
  if "$bin/ondrix-linesim" call "$kind" --dir "$work" --port 1 --away 1 >"$root/call.out" 2>&1; then
    passed=$((passed + 1))
    case $kind in
      terminal) mails=$((mails + 1)) stored+=(m) ;;
      voice | hangup-error) voices=$((voices + 1)) stored+=(v) ;;
      unplug) removals=$((removals + 1)) ;;
    esac
  else
    failed=$((failed + 1))
    [[ $kind == unplug ]] && removals=$((removals + 1))
    # The line was dead, not merely wrong: the server did not answer at all.
    if grep -qE "never started the line|nothing at all came from the server" "$root/call.out"; then
      person=$((person + 1))
    fi
    { echo "== call $i ($kind)"; cat "$root/call.out"; } >>"$root/failures.log"
  fi
  played=$((played + 1))
  # Memory and CPU are counted from the end of the first round of calls, once
  # the program has loaded what a call needs.
  if ((played == ${#kinds[@]})); then
    rss_round=$(rss)
    cpu_round=$(cpu)
  fi
  if ((played % 60 == 0)); then
    echo "soak: $played calls, $failed failed, $(($(date +%s) - started)) s"
  fi
done
rss_end=$(rss)
cpu_end=$(cpu)
elapsed=$(($(date +%s) - started))
[[ -n $rss_round ]] || { rss_round=$rss_first cpu_round=$cpu_first; }

# The server is stopped as a logout stops it: it writes its store and settings.
kill -TERM "$server"
wait "$xvfb" 2>/dev/null || true
xvfb=

# The store: slot lines 5 to 104; a terminal's mail carries a melody, a voice
# message none.
read -r held_mails held_voices < <(iconv -f CP932 -t UTF-8 "$work/amp.dat" | tr -d '\r' |
  awk -F'","' 'NR >= 5 && NR <= 104 && $2 != "" { if ($4 != "") m++; else v++ }
               END { print m + 0, v + 0 }')
newest=("${stored[@]}")
if ((${#stored[@]} > 100)); then newest=("${stored[@]: -100}"); fi
want_mails=0 want_voices=0
for r in "${newest[@]}"; do
  if [[ $r == m ]]; then want_mails=$((want_mails + 1)); else want_voices=$((want_voices + 1)); fi
done
journal=$(cat "$work"/calls.log* | wc -l)
journal_mails=$(grep -c $'\tmail 1\t' "$work/calls.log" || true)
journal_voices=$(grep -c $'\tvoice message 1' "$work/calls.log" || true)

printf 'soak: calls played                 %d in %d s (%d passed, %d failed)\n' \
  "$played" "$elapsed" "$passed" "$failed"
printf 'soak: mails stored                 %d of %d (journal); the store holds %d of the newest %d expected\n' \
  "$journal_mails" "$mails" "$held_mails" "$want_mails"
printf 'soak: voice messages stored        %d of %d (journal); the store holds %d of the newest %d expected\n' \
  "$journal_voices" "$voices" "$held_voices" "$want_voices"
printf 'soak: journal lines                %d for %d calls (%d device removals are no call)\n' \
  "$journal" "$((played - removals))" "$removals"
printf 'soak: times the line needed a person %d\n' "$person"
printf 'soak: resident memory              %d KiB at the first call, %d KiB after the first round, %d KiB at the end (%+d KiB)\n' \
  "$rss_first" "$rss_round" "$rss_end" "$((rss_end - rss_round))"
after=$((played - ${#kinds[@]}))
awk -v a="$cpu_round" -v b="$cpu_end" -v n="$after" -v t="$cpu_end" 'BEGIN {
  printf "soak: CPU time per call            %.1f ms (%.1f s for the %d calls after the first round; %.1f s in all)\n", (n > 0 ? (b - a) * 1000 / n : 0), b - a, n, t
}'
if [[ -s "$root/failures.log" ]]; then
  echo "soak: failed calls:"
  cat "$root/failures.log"
fi
lost=$(((mails - journal_mails) + (voices - journal_voices) + (want_mails - held_mails) + (want_voices - held_voices)))
[[ $failed -eq 0 && $person -eq 0 && $lost -eq 0 && $journal -eq $((played - removals)) ]]
