#!/usr/bin/env bash
# Manual check of the Debian package on a fresh Debian 12 (not part of the
# tests; needs root and Debian's package mirror):
#   scripts/verify-package.sh [CHROOT] [PACKAGE.deb]
# CHROOT defaults to /work/chroot-test/root and is made with debootstrap when
# it holds no system yet; PACKAGE defaults to the one scripts/package.sh
# builds. In the chroot the package is installed with apt, its desktop entry
# validated, and the command of the desktop entry started as an unprivileged
# user under a virtual X server; the main window is then closed as its close
# button would, and the script lists where amp.dat and brellin.ini were written.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-/work/chroot-test/root}")
deb=${2:-$(ls build-package/ondrix-server_*.deb 2>/dev/null | tail -1)}
[[ -f $deb ]] || { echo "verify: no package; run scripts/package.sh first" >&2; exit 1; }
mirror=${ONDRIX_DEBIAN_MIRROR:-http://deb.debian.org/debian}

if [[ ! -f $root/etc/debian_version ]]; then
  command -v debootstrap >/dev/null || apt-get install -y --no-install-recommends debootstrap
  echo "verify: making a fresh Debian 12 in $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mkdir -p "$root/dev/shm" && mount -t tmpfs tmpfs "$root/dev/shm" && mounted+=("$root/dev/shm")

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }

echo "verify: installing $(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get update -q
in_root apt-get install -y "/tmp/$(basename "$deb")"
in_root dpkg -s ondrix-server | grep -E '^(Version|Depends):'
echo "verify: missing libraries: $(in_root ldd /usr/bin/ondrix-server | grep -c 'not found' || true)"

# Tools of the check itself, after the package, so it proved its own needs.
in_root apt-get install -y --no-install-recommends desktop-file-utils xvfb xauth python3-xlib
entry=/usr/share/applications/org.example.ondrix.server.desktop
in_root desktop-file-validate "$entry" && echo "verify: desktop-file-validate $entry: no complaints"
command=$(in_root sed -n 's/^Exec=//p' "$entry")
echo "verify: the desktop entry starts: $command"

# The user unit as installed, where the system carries systemd's tool (a
# minimal system may not; it may lack man too, hence --man=no).
unit=/usr/lib/systemd/user/ondrix-server.service
if in_root sh -c 'command -v systemd-analyze' >/dev/null; then
  in_root systemd-analyze verify --man=no "$unit" && echo "verify: systemd-analyze verify $unit: no complaints"
else
  echo "verify: no systemd-analyze in the system; $unit: $(in_root sed -n 's/^ExecStart=//p' "$unit")"
fi

in_root id desk >/dev/null 2>&1 || in_root useradd -m -s /bin/bash desk
cat >"$root/tmp/close-window.py" <<'PY'
# Sends WM_DELETE_WINDOW to the window titled argv[1], as its close button does.
import sys, time
from Xlib import X, display, protocol
d = display.Display()
title = sys.argv[1]
net_name = d.intern_atom("_NET_WM_NAME")
def titled(w):
    p = w.get_full_property(net_name, 0)
    name = p.value if p else w.get_wm_name()
    return (name.decode() if isinstance(name, bytes) else name) == title
for _ in range(100):
    found = [w for w in d.screen().root.query_tree().children
             if w.get_attributes().map_state == X.IsViewable and titled(w)]
    if found:
        break
    time.sleep(0.1)
else:
    sys.exit("no window titled " + title)
protocols = d.intern_atom("WM_PROTOCOLS")
delete = d.intern_atom("WM_DELETE_WINDOW")
ev = protocol.event.ClientMessage(window=found[0], client_type=protocols,
                                  data=(32, [delete, X.CurrentTime, 0, 0, 0]))
found[0].send_event(ev, event_mask=X.NoEventMask)
d.flush()
print("closed the window", title)
PY
data="/home/desk/.local/share/Ondrix Server"
in_root rm -rf "$data"
in_root runuser -u desk -- env HOME=/home/desk xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c "$command & pid=\$!; sleep 4; kill -0 \$pid && echo 'verify: the server is running'; \
           python3 /tmp/close-window.py 'Ondrix Server'; wait \$pid; echo \"verify: the server exited with \$?\""

echo "verify: files of the server run by desk:"
in_root ls -l "$data"
in_root ls /usr/bin | grep -iE 'amp\.dat|brellin\.ini' && echo "verify: FILES IN /usr/bin" || echo "verify: nothing written to /usr/bin"
in_root od -c "$data/brellin.ini" | head -8
