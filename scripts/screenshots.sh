#!/usr/bin/env bash
# Takes screenshots of the windows under a virtual X server: the main window
# with a stored mail shown and content on offer (main.png), the preview window
# with the mail's picture (preview.png), the about box (about.png), and the
# whole screen with the preview (screen-preview.png) and then the about box
# (screen.png) over the main window; the virtual server has no window
# manager, so the windows have no title bars.
#   scripts/screenshots.sh [OUTPUT_DIR]     (default: build/screenshots)
# The server runs in a temporary program directory that holds one mail; the
# test-only script hook (tests/hooks/test_script.cpp) presses the keys.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ONDRIX_BUILD_DIR:-build}
out=$(realpath -m "${1:-$build_dir/screenshots}")
if [[ ! -d "$build_dir" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target ondrix-server-scripted -j2
mkdir -p "$out"

work=$(mktemp -d /tmp/ondrix-shots-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$build_dir/bin/ondrix-server-scripted" "$work/ondrix-server"

# A 48 x 32 terminal bitmap ("DOT", 0, width, 0, height, one bit a pixel,
# 1 dark): a ring with two eyes.
bitmap() {
  printf 'DOT\0\x30\0\x20'
  local x y byte bit dx dy d
  for ((y = 0; y < 32; y++)); do
    for ((x = 0; x < 48; x += 8)); do
      byte=0
      for ((bit = 0; bit < 8; bit++)); do
        dx=$((x + bit - 24)) dy=$((y - 16)) d=$((dx * dx + dy * dy))
        if ((d >= 130 && d <= 196)) || (((dx + 5) ** 2 + (dy + 4) ** 2 <= 4)) ||
          (((dx - 5) ** 2 + (dy + 4) ** 2 <= 4)) || ((dy == 5 && dx >= -5 && dx <= 5)); then
          byte=$((byte | (0x80 >> bit)))
        fi
      done
      printf "\\x$(printf %02x "$byte")"
    done
  done
}
image=$(bitmap | base64 -w0)
melody='<MEL=T120>CDEFGAB>C'

# The mail store: one slot, five fields (caller, text, time, melody, image).
{
  printf ' 0 \r\n 1 \r\n 5 \r\n 0 \r\n'
  printf '"09012345678","%s","12/07 12:34","%s","%s"\r\n' \
    "こんにちは。TAVIXからのテストメールです。" "$melody" "$image"
} | iconv -f UTF-8 -t CP932 >"$work/amp.dat"
printf '%s\r\n' "$melody" >"$work/offer tune.mmd"

cat >"$work/script" <<SCRIPT
wait 300
# The newest mail, then its picture in the preview window.
click DownBtn
click NumBtn1
wait 200
screenshot Form2 $out/preview.png
screenshot screen $out/screen-preview.png
# Content on offer: a melody and the picture, dropped on the transfer area.
drop Text4 "$work/offer tune.mmd"
drop Image1 $work/Image.bmp
menu CMFILE
wait 200
screenshot Form1 $out/main.png
click CMINFO
wait 200
screenshot FormHelp $out/about.png
screenshot screen $out/screen.png
dump FormHelp.Label2 $work/version.txt
enabled Form1 $work/main-enabled.txt
click FormHelp.Command1
wait 100
enabled Form1 $work/main-enabled-after.txt
close
SCRIPT

(cd "$work" && ONDRIX_TEST_SCRIPT="$work/script" timeout 60 \
  xvfb-run -a -s "-screen 0 1024x768x24" ./ondrix-server) 2>&1 | grep -v XDG_RUNTIME_DIR || true

echo "screenshots: about box version line: $(cat "$work/version.txt" 2>/dev/null)"
echo "screenshots: main window enabled while the about box was open: $(cat "$work/main-enabled.txt" 2>/dev/null), after OK: $(cat "$work/main-enabled-after.txt" 2>/dev/null)"
ls -l "$out"/*.png
