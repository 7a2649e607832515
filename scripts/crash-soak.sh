#!/usr/bin/env bash
# The server killed and started again, N rounds (default 200): the shipped
# program under a virtual X server, on the line simulator, started with
# --start by a small restart loop that stands in for the service manager
# (Restart=on-failure; 1 s between tries here instead of the unit's 5 s, to
# keep the run short). Each round plays a call of the soak's mix and kills the
# server with SIGKILL at a random moment: during the call, right when a
# record is being stored, or between calls. The server and the simulator run
# as an ordinary account: as root, the account ondrix-soak (made if missing);
# otherwise the caller's own. A `new-mail` hook beside the store notes each
# message it is handed.
#   scripts/crash-soak.sh [N]
# Prints the kills; the calls played; the mails and voice messages the
# terminal was answered for against those in amp.dat at the end (every one
# newer than the oldest record the 100 slots hold must be there); stores
# found unreadable or torn after a kill; the seconds from each restart to the
# start command (median and worst); the calls answered after a restart; the
# records of amp.dat missing from the archive (the Maildir) once the last
# server has run, the records archived more than once, the records whose hook
# never ran; and the times the line needed a person. Not part of the test
# command.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-200}
build_dir=${ONDRIX_BUILD_DIR:-build}
if [[ ! -d "$build_dir" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target ondrix-server ondrix-linesim -j2
bin=$(realpath "$build_dir/bin")
kinds=(terminal voice other lost unplug hangup-error)

root=$(mktemp -d /tmp/ondrix-crash-soak-XXXXXX)
work="$root/program"
mkdir "$work"
cp "$bin/ondrix-server" "$work/ondrix-server"
# Copies, so a build during the run changes nothing under it.
cp "$bin/ondrix-linesim" "$root/ondrix-linesim"
sim_bin="$root/ondrix-linesim"
# The account: root passes a port's exclusive mode and any file's mode, so a
# soak as root cannot meet what an operator's account meets.
as_user=()
if ((EUID == 0)); then
  id ondrix-soak >/dev/null 2>&1 ||
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
      --shell /usr/sbin/nologin ondrix-soak
  as_user=(setpriv --reuid="$(id -u ondrix-soak)" --regid="$(id -g ondrix-soak)" --clear-groups --)
fi
# Whatever the account writes stays in the run's folder.
mkdir "$root/home" && mkdir -m 700 "$root/runtime"
as_user+=(env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u DBUS_SESSION_BUS_ADDRESS
  HOME="$root/home" XDG_RUNTIME_DIR="$root/runtime")
# The forward: notes the Message-ID and the sender of each message handed
# over, from its standard input or, where that is empty, from its file.
cat >"$work/new-mail" <<HOOK
#!/bin/sh
{ cat; cat "\$1" 2>/dev/null; } | sed -n '/^\$/q; s/^Message-I[Dd]: *//p; s/^From: *//p' |
  paste -sd ' ' >>"$root/hooks"
HOOK
chmod 700 "$work/new-mail"
if ((EUID == 0)); then chown -R ondrix-soak: "$root"; fi
sim= xvfb= loop=
finish() {
  touch "$root/stop"
  pkill -KILL -xf "$work/ondrix-server --start" 2>/dev/null || true
  for pid in $loop $sim $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$root"
}
trap finish EXIT

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.out" 2>&1 &
xvfb=$!
"${as_user[@]}" "$sim_bin" --dir "$work" --port 1 --log "$root/received" >"$root/linesim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do
  [[ -L "$work/COM1" ]] && break
  sleep 0.1
done

# The service manager: the program again whenever it did not end by itself.
(
  while [[ ! -e "$root/stop" ]]; do
    date +%s.%N >>"$root/starts"
    rc=0
    (cd "$work" && DISPLAY=$display exec "${as_user[@]}" "$work/ondrix-server" --start) \
      >>"$root/server.out" 2>&1 || rc=$?
    [[ $rc -eq 0 ]] && break
    sleep 1
  done
) 2>/dev/null &
loop=$!

# The oldest of that command line: a hook's keeper is a copy of the server,
# forked from it, and ends with it.
server_pid() { pgrep -o -xf "$work/ondrix-server --start" || true; }
start_commands() { grep -ao 'at#sy1=40' "$root/received" 2>/dev/null | wc -l; }
# Waits until the start command has come `more` times more than `before`;
# prints the seconds since the last start of the program, or fails.
await_start() {
  local before=$1
  for _ in $(seq 1200); do
    if (($(start_commands) > before)); then
      awk -v now="$(date +%s.%N)" '{ last = $1 } END { printf "%.2f\n", now - last }' "$root/starts"
      return 0
    fi
    sleep 0.05
  done
  return 1
}
# A store torn or unreadable: not the four header lines and 100 records of
# five quoted fields each.
store_torn() {
  [[ -e "$work/amp.dat" ]] || return 1
  iconv -f CP932 -t UTF-8 "$work/amp.dat" 2>/dev/null | tr -d '\r' |
    awk 'NR > 4 && !/^"[^"]*","[^"]*","[^"]*","[^"]*","[^"]*"$/ { bad = 1 }
         END { exit !(bad || NR != 104) }'
}

await_start 0 >/dev/null || { echo "crash-soak: the server never started the line" >&2; exit 1; }

kills=0 played=0 passed=0 after_restart=0 person=0 torn=0 restarted=0
acked=()     # the callers' ids of the records the terminal was answered for, oldest first
restarts=()  # seconds from a restart to the start command
for ((i = 0; i < rounds; i++)); do
  kind=${kinds[i % ${#kinds[@]}]}
  id=7$(printf %04d "$i")
  sub=-
  [[ $kind == voice || $kind == hangup-error ]] && sub=12
  moment=$((RANDOM % 3))  # 0: during the call, 1: as a record is stored, 2: between calls
  "$sim_bin" call "$kind" --dir "$work" --port 1 --away 1 \
    --calling "$id/$sub" >"$root/call.out" 2>&1 &
  call=$!
  case $moment in
    0) sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", r % 300 / 100 }')" ;;
    1) for _ in $(seq 200); do
         grep -qE '\[mail upload\]|\[greeting\]' "$root/call.out" && break
         kill -0 "$call" 2>/dev/null || break
         sleep 0.02
       done ;;
  esac
  call_rc=
  if ((moment == 2)); then
    call_rc=0
    wait "$call" || call_rc=$?
  fi
  pid=$(server_pid)
  if [[ -n $pid ]]; then
    kill -KILL "$pid"
    kills=$((kills + 1))
    while kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
    # Counted now, before the restart: the start commands of the killed
    # server are not the restarted one's, and the call still running may
    # take the new one's.
    before=$(start_commands)
    if store_torn; then torn=$((torn + 1)); fi
  fi
  if [[ -z $call_rc ]]; then
    call_rc=0
    wait "$call" || call_rc=$?
  fi
  played=$((played + 1))
  if ((call_rc == 0)); then
    passed=$((passed + 1))
    ((restarted)) && after_restart=$((after_restart + 1))
  elif ((restarted)) && grep -qE "never started the line|nothing at all came from the server" "$root/call.out"; then
    person=$((person + 1))
    { echo "== round $i ($kind)"; cat "$root/call.out"; } >>"$root/failures.log"
  fi
  # What the terminal or the caller was told was stored.
  if grep -qE '\[send-end page|\[greeting\]' "$root/call.out"; then acked+=("$id"); fi
  if [[ -n $pid ]]; then
    if seconds=$(await_start "$before"); then
      restarts+=("$seconds")
      restarted=1
    else
      person=$((person + 1))
      echo "== round $i: the line was not started again" >>"$root/failures.log"
    fi
  fi
  # The next call waits until the line the simulator sees is ready again.
  sleep 0.5
  if ((i % 20 == 19)); then echo "crash-soak: $((i + 1)) rounds, $kills kills"; fi
done

# The last server is left to archive and forward what the kills left
# undone: until the Maildir and the hooks' notes have not changed for 3 s
# (at most a minute).
progress() { find "$work/Maildir" -type f 2>/dev/null | wc -l; wc -l <"$root/hooks" 2>/dev/null; }
last='' still=0
for _ in $(seq 120); do
  now=$(progress | paste -sd ' ')
  if [[ $now == "$last" ]]; then still=$((still + 1)); else still=0 last=$now; fi
  ((still >= 6)) && break
  sleep 0.5
done
touch "$root/stop"
pid=$(server_pid)
[[ -n $pid ]] && kill -TERM "$pid"
wait "$loop" 2>/dev/null || true
loop=

# The store's callers, newest first; every record answered for that is newer
# than the oldest one held must be held.
mapfile -t held < <(iconv -f CP932 -t UTF-8 "$work/amp.dat" | tr -d '\r' |
  awk -F'"' 'NR >= 5 && NR <= 104 && $2 != "" { split($2, c, "*"); print c[1] }')
oldest=${held[-1]:-0}
declare -A in_store=()
for h in "${held[@]}"; do in_store[$h]=1; done
want_m=0 want_v=0 have_m=0 have_v=0 lost=0
for a in "${acked[@]}"; do
  ((10#${a:1} < 10#${oldest:1} && ${#held[@]} >= 100)) && continue
  r=$((10#${a:1} % ${#kinds[@]}))
  if ((r == 0)); then want_m=$((want_m + 1)); else want_v=$((want_v + 1)); fi
  if [[ -n ${in_store[$a]:-} ]]; then
    if ((r == 0)); then have_m=$((have_m + 1)); else have_v=$((have_v + 1)); fi
  else
    lost=$((lost + 1))
  fi
done
# The callers' ids in the archive's messages (one a message) and in the
# hooks' notes (one a run): the address "<id*sub@caller.invalid>".
caller_ids() { grep -ao '<[^<>@]*@caller\.invalid>' | sed 's/^<//; s/[*@].*//'; }
declare -A archived=() hooked=()
messages=0 runs=0
while read -r a; do archived[$a]=$((${archived[$a]:-0} + 1)) messages=$((messages + 1)); done < <(
  find "$work/Maildir/new" "$work/Maildir/cur" -type f -exec grep -m1 -ah '@caller\.invalid>' {} + 2>/dev/null |
    caller_ids)
touch "$root/hooks"
while read -r a; do hooked[$a]=$((${hooked[$a]:-0} + 1)) runs=$((runs + 1)); done < <(
  caller_ids <"$root/hooks")
unarchived=() twice=() unhooked=() hooked_twice=0
for h in "${held[@]}"; do
  [[ -z ${archived[$h]:-} ]] && unarchived+=("$h")
  [[ -z ${hooked[$h]:-} ]] && unhooked+=("$h")
done
for a in "${!archived[@]}"; do ((archived[$a] > 1)) && twice+=("$a"); done
for a in "${!hooked[@]}"; do ((hooked[$a] > 1)) && hooked_twice=$((hooked_twice + 1)); done
sorted=$(printf '%s\n' "${restarts[@]}" | sort -n)
median=$(awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : 0) }' <<<"$sorted")
worst=$(tail -n1 <<<"$sorted")

printf 'crash-soak: kills                          %d in %d rounds\n' "$kills" "$rounds"
printf 'crash-soak: calls played                   %d (%d passed; a call cut by its kill fails)\n' "$played" "$passed"
printf 'crash-soak: mails answered for             %d of the held range, %d in amp.dat\n' "$want_m" "$have_m"
printf 'crash-soak: voice messages answered for    %d of the held range, %d in amp.dat\n' "$want_v" "$have_v"
printf 'crash-soak: acknowledged records lost      %d (%d answered in all; the store holds %d)\n' "$lost" "${#acked[@]}" "${#held[@]}"
printf 'crash-soak: stores unreadable or torn      %d\n' "$torn"
printf 'crash-soak: restart to the start command   median %s s, worst %s s (%d restarts)\n' "$median" "$worst" "${#restarts[@]}"
printf 'crash-soak: calls answered after a restart %d\n' "$after_restart"
printf 'crash-soak: records missing from archive  %d (of %d in amp.dat; %d messages in the Maildir)\n' \
  "${#unarchived[@]}" "${#held[@]}" "$messages"
printf 'crash-soak: records archived twice         %d\n' "${#twice[@]}"
printf 'crash-soak: records whose hook never ran   %d (%d runs noted; %d records forwarded twice)\n' \
  "${#unhooked[@]}" "$runs" "$hooked_twice"
printf 'crash-soak: times the line needed a person %d\n' "$person"
((${#unarchived[@]})) && echo "crash-soak: not archived: ${unarchived[*]}"
((${#twice[@]})) && echo "crash-soak: archived twice: ${twice[*]}"
((${#unhooked[@]})) && echo "crash-soak: never forwarded: ${unhooked[*]}"
if [[ -s "$root/failures.log" ]]; then
  echo "crash-soak: failures:"
  cat "$root/failures.log"
fi
[[ $lost -eq 0 && $torn -eq 0 && $person -eq 0 && ${#unarchived[@]} -eq 0 && ${#twice[@]} -eq 0 &&
  ${#unhooked[@]} -eq 0 ]]
