#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The README's way to try an installed server without a modem, run as a new
# user would on a fresh account: the build installed into a fresh prefix as
# the package installs it, then the README's own command lines (read from
# the README, not copied) in order, in one shell, with a fresh HOME and no
# XDG_DATA_HOME. The call must pass and its mail be in amp.dat, in a data
# folder and files that are the user's alone. As root, the steps run as the
# user nobody: root could write beside the installed server.
# No display: the offscreen platform stands in for the desktop.
#   readme_steps.sh BUILD_DIR README
set -euo pipefail
umask 022
build=$1
readme=$2
work=$(mktemp -d /tmp/ondrix-readme-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

fail() {
  echo "FAIL: $*" >&2
  [[ ! -f $work/home/steps.out ]] || sed 's/^/  | /' "$work/home/steps.out" >&2
  exit 1
}

cmake --install "$build" --prefix "$work/usr" >/dev/null || fail "cmake --install"

# The indented lines after "To try an installed server without a modem".
awk '/^To try an installed server without a modem/ { on = 1; next }
     on && /^    / { print substr($0, 5); seen = 1; next }
     on && seen { exit }' "$readme" >"$work/commands"
[[ $(wc -l <"$work/commands") -ge 3 ]] || fail "the README's steps were not found"
grep -q 'ondrix-linesim call' "$work/commands" || fail "the README's steps make no call"
# What the steps leave running is noted for the check to end, whatever
# their end.
cat - "$work/commands" >"$work/steps" <<'EOF'
trap 'jobs -p >"$XDG_RUNTIME_DIR/pids"' EXIT
set -e
cd
EOF
chmod 644 "$work/steps"

home=$work/home
mkdir -p "$home/run"
chmod 700 "$home/run"
if [[ $(id -u) -eq 0 ]]; then
  chown -R nobody "$home"
  as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
else
  as_user=()
fi

rc=0
timeout 180 "${as_user[@]}" env -i PATH="$work/usr/bin:/usr/bin:/bin" HOME="$home" \
  XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
  bash "$work/steps" >"$home/steps.out" 2>&1 || rc=$?
[[ -f $home/run/pids ]] && mapfile -t pids <"$home/run/pids"
((rc == 0)) || fail "the steps ended with status $rc"

data="$home/.local/share/Ondrix Server"
# The terminal's mail, acknowledged, is in the store already: caller and text.
grep -qa '"0123456789","a<b> x&;y ' "$data/amp.dat" || fail "no mail in $data/amp.dat"

# Ended as the service manager would; each removes what it made.
for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
for _ in $(seq 100); do
  alive=0
  for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
  ((alive == 0)) && break
  sleep 0.1
done
((alive == 0)) || fail "the server or the simulator did not end on SIGTERM"
pids=()
[[ ! -e $data/COM1 && ! -e $data/COM1.linesim ]] || fail "the simulator left its link or socket"

for f in "$home/.local" "$home/.local/share" "$data"; do
  [[ $(stat -c %a "$f") == 700 ]] || fail "$f has mode $(stat -c %a "$f")"
done
for f in amp.dat brellin.ini; do
  [[ $(stat -c %a "$data/$f") == 600 ]] || fail "$f has mode $(stat -c %a "$data/$f")"
done
[[ -z $(find "$work/usr" -name amp.dat -o -name brellin.ini) ]] || fail "files beside the server"
echo "readme_steps: $(wc -l <"$work/commands") README lines run; the call passed, its mail stored"
