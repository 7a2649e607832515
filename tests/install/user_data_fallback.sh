#!/usr/bin/env bash
# The server keeps its files beside its executable while that folder can be
# written, and in the per-user data folder when it cannot (an installed
# copy). Both cases run the server's test build from a copy of it, closing
# the window at once, and check where amp.dat and brellin.ini appear, and
# that they and a per-user folder the server made are its user's alone.
# As root, the server runs as the user nobody, for whom a root-owned folder
# is read-only; as anybody else, the folder's write bits are taken away.
#   user_data_fallback.sh PATH-TO-ondrix-server-scripted
set -euo pipefail
umask 022
server=$1
work=$(mktemp -d /tmp/ondrix-fallback-XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
printf 'wait 100\nclose\n' >"$work/script"
chmod 644 "$work/script"

if [[ $(id -u) -eq 0 ]]; then
  as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
  owner=nobody
else
  as_user=()
  owner=$(id -un)
fi

failures=0
fail() {
  echo "FAIL ($1): $2" >&2
  failures=$((failures + 1))
}

# case  program folder writable  the mode of a per-user folder an older
# version made (none: the server makes it)  its mode once the server ran
run_case() {
  local name=$1 writable=$2 old_mode=${3:-} want_mode=${4:-700}
  local prog="$work/$name/prog" home="$work/$name/home"
  mkdir -p "$prog" "$home/run"
  chmod 700 "$home/run"
  cp "$server" "$prog/ondrix-server"
  chown -R "$owner" "$home"
  if [[ $writable == yes ]]; then chown "$owner" "$prog"; else chmod 555 "$prog"; fi
  local data="$home/.local/share/Ondrix Server"
  local expected=$data unexpected=$prog
  [[ -z $old_mode ]] || { mkdir -p "$data" && chown -R "$owner" "$home" && chmod "$old_mode" "$data"; }
  if [[ $writable == yes ]]; then expected=$prog unexpected=$data; fi

  (cd "$work" && env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
    ONDRIX_TEST_SCRIPT="$work/script" timeout 60 "${as_user[@]}" "$prog/ondrix-server") ||
    fail "$name" "the server exited with $?"

  for f in amp.dat brellin.ini; do
    [[ -f "$expected/$f" ]] || fail "$name" "no $f in $expected"
    [[ ! -e "$unexpected/$f" ]] || fail "$name" "$f written to $unexpected"
  done
  # A complete settings file: six lines, each ended by CR LF.
  if [[ -f "$expected/brellin.ini" ]]; then
    local lines
    lines=$(grep -c $'\r$' "$expected/brellin.ini" || true)
    [[ $lines -eq 6 ]] || fail "$name" "brellin.ini has $lines lines"
  fi
  # The operator's alone although the umask is 022: the files 0600, a
  # per-user folder the server made 0700.
  for f in amp.dat brellin.ini; do
    [[ ! -f "$expected/$f" || $(stat -c %a "$expected/$f") == 600 ]] ||
      fail "$name" "$f has mode $(stat -c %a "$expected/$f")"
  done
  if [[ $writable == no && $(stat -c %a "$data") != "$want_mode" ]]; then
    fail "$name" "the per-user folder has mode $(stat -c %a "$data")"
  fi
  # The probe for a writable folder and the lock leave nothing behind; the
  # archive's folder, with its ledger, is the server's own from the start.
  local left
  left=$(find "$prog" -mindepth 1 ! -name ondrix-server ! -name amp.dat ! -name brellin.ini \
    ! -path "$prog/Maildir" ! -path "$prog/Maildir/*")
  [[ -z $left ]] || fail "$name" "left in the program folder: $left"
  echo "$name: files in $(realpath --relative-to="$work" "$expected")"
}

run_case read-only no
run_case read-only-old-folder no 755 750
run_case writable yes
exit $((failures > 0))
