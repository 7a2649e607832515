#!/usr/bin/env bash
# Holds the Debian package to Debian's own checks: CPack packs the already
# built BUILD_DIR (default build) into ondrix-server_VERSION_ARCH.deb, then
#   lintian --pedantic -I   any tag not overridden fails the run,
#   hardening-check         every protection of both programs,
#   appstreamcli validate   the AppStream metadata, and its link to the entry,
#   desktop-file-validate   the desktop entry,
#   systemd-analyze verify  the user units (the template as an instance), where systemd's tool is present,
# each on the files as the package installs them. Called by scripts/test.sh.
#   scripts/check-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-${ONDRIX_BUILD_DIR:-build}}")
start=$(date +%s)

rm -f "$build_dir"/ondrix-server_*.deb
if ! (cd "$build_dir" && cpack -G DEB >cpack.log 2>&1); then
  cat "$build_dir/cpack.log"
  exit 1
fi
deb=$(ls "$build_dir"/ondrix-server_*.deb)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
status=0
fail() {
  echo "check-package: $*"
  status=1
}

# Tags of every level count: each is fixed, or overridden with the reason on
# the line above it in an overrides file the package installs as
# usr/share/lintian/overrides/ondrix-server (none is needed today).
# lintian's warning about running as root is not about the package.
echo "lintian --pedantic -I $(basename "$deb"):"
rc=0
lintian --pedantic -I --fail-on error,warning,info,pedantic "$deb" \
  2> >(grep -v 'running with root privileges' >&2) || rc=$?
((rc == 0)) || fail "lintian reports tags (exit $rc)"

# Debian 12's C start files carry no control-flow (CET) marking, so the linker
# cannot mark any program built here, however its own code is compiled; the
# check asks for the marking as soon as the toolchain can give it.
hardening=()
probe=$tree/cet-probe
echo 'int main() { return 0; }' >"$probe.cpp"
c++ -fcf-protection "$probe.cpp" -o "$probe"
if ! readelf -n "$probe" | grep -q 'x86 feature: IBT, SHSTK'; then
  hardening+=(--nocfprotection)
  echo "hardening-check: no control-flow marking from this toolchain (its start files lack it)"
fi
for program in ondrix-server ondrix-linesim; do
  (cd "$tree" && hardening-check "${hardening[@]}" "usr/bin/$program") ||
    fail "hardening-check: $program lacks a protection"
done

metainfo=$(ls "$tree"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate: $metainfo"
# The tree check also finds the desktop entry the metadata launches.
appstreamcli validate-tree --no-net "$tree" || fail "appstreamcli validate-tree"

for entry in "$tree"/usr/share/applications/*.desktop; do
  out=$(desktop-file-validate "$entry" 2>&1) && [[ -z $out ]] ||
    fail "desktop-file-validate $(basename "$entry"): $out"
done
echo "desktop-file-validate: $(ls "$tree"/usr/share/applications) valid"

# The unit is checked as the user manager would load it. Outside an
# installed system its command and manual page are the tree's: a copy names
# the tree's server, and man looks in the tree. A warning fails it too, since
# systemd only warns about a line it ignores.
for name in ondrix-server.service ondrix-server@.service; do
  unit=$tree/usr/lib/systemd/user/$name
  # A template is verified as one of its instances.
  checked=${name/@./@line1.}
  if [[ ! -f $unit ]]; then
    fail "no user unit $name in the package"
  elif command -v systemd-analyze >/dev/null; then
    scratch=$tree/unit-check
    mkdir -m 700 "$scratch"
    sed "s|/usr/bin/ondrix-server|$tree/usr/bin/ondrix-server|" "$unit" >"$scratch/$name"
    [[ $checked == "$name" ]] || ln -s "$name" "$scratch/$checked"
    if out=$(XDG_RUNTIME_DIR=$scratch MANPATH=$tree/usr/share/man \
      systemd-analyze --user verify "$scratch/$checked" 2>&1) && [[ -z $out ]]; then
      echo "systemd-analyze verify: $checked valid"
    else
      fail "systemd-analyze verify $checked: $out"
    fi
    rm -rf "$scratch"
  else
    echo "systemd-analyze: not installed, $name is not verified"
  fi
done

echo "package checks took $(($(date +%s) - start)) s: $([[ $status == 0 ]] && echo passed || echo FAILED)"
exit $status
