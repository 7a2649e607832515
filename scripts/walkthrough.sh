#!/usr/bin/env bash
# The operator's round, as a new user would try it, under a virtual X server:
# two melodies and a picture dropped on the window, the simulator's terminal
# call that uploads a mail and downloads the three offers page by page, the
# received mail browsed, its picture previewed, its melody played with a
# player set in brellin.ini, the mail deleted, the about box opened.
#   scripts/walkthrough.sh [OUTPUT_DIR]     (default: build/walkthrough)
# Leaves main.png (the window with the mail shown), preview.png, about.png
# and two whole-screen shots in OUTPUT_DIR, prints what each step showed and
# exits 0 only when every step did what it should. The test-only script hook
# (tests/hooks/test_script.cpp) presses the keys; the program directory is a
# temporary one whose path holds a blank.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ONDRIX_BUILD_DIR:-build}
out=$(realpath -m "${1:-$build_dir/walkthrough}")
if [[ ! -d "$build_dir" ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target ondrix-server-scripted ondrix-linesim -j2
mkdir -p "$out"
bin=$(realpath "$build_dir/bin")

root=$(mktemp -d /tmp/ondrix-walk-XXXXXX)
work="$root/program dir"
mkdir "$work"
sim=
finish() {
  if [[ -n "$sim" ]]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap finish EXIT
cp "$bin/ondrix-server-scripted" "$work/ondrix-server"

# The picture offered: 40 x 24 pixels, a frame, a diagonal and a disc.
width=40 height=24
dark() {
  local x=$1 y=$2
  ((x == 0 || y == 0 || x == width - 1 || y == height - 1 || x == y + 8 ||
    (x - 28) ** 2 + (y - 12) ** 2 <= 25))
}
bits=()
for ((y = 0; y < height; y++)); do
  row=
  for ((x = 0; x < width; x++)); do
    if dark "$x" "$y"; then row+=1; else row+=0; fi
  done
  bits+=("$row")
done
# Eight characters "0"/"1" as one byte, most significant bit first.
byte() { printf "\\x$(printf %02x "$((2#$1))")"; }
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
  $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
# The 1-bit bitmap file, white colour 0, rows bottom-up padded to 4 bytes.
row_size=$(((width - 1) / 32 * 4 + 4))
{
  printf 'BM'
  printf "$(le32 $((62 + row_size * height)))$(le32 0)$(le32 62)$(le32 40)"
  printf "$(le32 $width)$(le32 $height)\\x01\\x00\\x01\\x00"
  head -c 24 /dev/zero
  printf '\xff\xff\xff\x00\x00\x00\x00\x00'
  for ((y = height - 1; y >= 0; y--)); do
    padded=${bits[y]}$(printf '%0*d' $((row_size * 8 - width)) 0)
    for ((i = 0; i < row_size * 8; i += 8)); do byte "${padded:i:8}"; done
  done
} >"$root/offer picture.bmp"
cp "$root/offer picture.bmp" "$out/offer-picture.bmp"
# What the terminal must receive for it: "DOT", 0, width, 0, height, the
# pixels as one stream of bits, rows not padded.
stream=$(printf '%s' "${bits[@]}")
element="<IMAGE>$({
  printf 'DOT\0'
  printf "\\x$(printf %02x $width)\\x00\\x$(printf %02x $height)"
  for ((i = 0; i < ${#stream}; i += 8)); do byte "${stream:i:8}"; done
} | base64 -w0)</IMAGE>"
printf '%s' "$element" >"$root/picture.element"
printf '<MEL=T120L8O4CEGCEG>\r\n' >"$root/first tune.mmd"
printf '<MEL=T90L4O5C>DEF\r\n' >"$root/second.MMD"

# The melody player: records the arguments it was started with.
cat >"$root/player" <<PLAYER
#!/bin/sh
for a in "\$@"; do printf '%s\n' "\$a"; done >"$root/player-args.txt"
PLAYER
chmod +x "$root/player"
printf '"at#sy1=40"\r\n"atu3v1q0\\v2#ps2=1"\r\n1\r\n"QV-M7"\r\n"","","0"\r\n"%s"\r\n' \
  "$root/player" >"$work/brellin.ini"

"$bin/ondrix-linesim" --dir "$work" --port 1 --call terminal --report "$root/report" \
  --melody "$root/first tune.mmd" --melody "$root/second.MMD" --image "$root/picture.element" \
  >"$root/linesim.out" 2>&1 &
sim=$!
for _ in $(seq 50); do
  [[ -L "$work/COM1" ]] && break
  sleep 0.1
done

cat >"$root/script" <<SCRIPT
wait 300
drop Text4 "$root/first tune.mmd" "$root/second.MMD"
drop Image1 "$root/offer picture.bmp"
wait 200
screenshot Form1 $out/offer.png
click StartBtn
waitfor 30000 Text3 TAVIXメールあり
wait 1500
dump Text3 $root/after-call.txt
click DownBtn
wait 200
dump Text3 $root/mail.txt
menu CMFILE
enabled CMSAVEMMD $root/save-melody-enabled.txt
screenshot Form1 $out/main.png
click NumBtn1
wait 300
screenshot Form2 $out/preview.png
screenshot screen $out/screen-preview.png
close Form2
click NumBtn0
wait 1500
click ClsBtn
dump Text3 $root/delete-menu.txt
click NumBtn0
dump Text3 $root/deleted.txt
click DownBtn
dump Text3 $root/browse-after.txt
click CMINFO
wait 300
screenshot FormHelp $out/about.png
screenshot screen $out/screen.png
enabled Form1 $root/main-enabled.txt
click FormHelp.Command1
wait 100
close
SCRIPT

(cd "$work" && ONDRIX_TEST_SCRIPT="$root/script" timeout 90 \
  xvfb-run -a -s "-screen 0 1024x768x24" ./ondrix-server) 2>&1 | grep -v XDG_RUNTIME_DIR || true
kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
sim=

status=0
show() { printf 'walkthrough: %-34s %s\n' "$1" "$(tr '\n' '|' <"$root/$2" 2>/dev/null)"; }
check() {
  if [[ "$(cat "$root/$2" 2>/dev/null)" == "$3" ]]; then
    show "$1" "$2"
  else
    show "$1 (WRONG)" "$2"
    status=1
  fi
}
check "terminal call:" report "terminal passed"
check "status after the call:" after-call.txt $'通信終了\nTAVIXメールあり'
show "mail shown:" mail.txt
check "save melody enabled:" save-melody-enabled.txt 1
check "player started with:" player-args.txt "$work/melody.mmd"
check "melody file played:" "program dir/melody.mmd" $'<MEL=T120L8O4CDEFGAB>\r'
check "delete menu:" delete-menu.txt $'メール消去\n０　１件\n１　全件消去'
check "after deleting:" deleted.txt "消去しました"
check "browsing again:" browse-after.txt "受信メールはありません"
check "main window enabled under about:" main-enabled.txt 0
if [[ $status -ne 0 ]]; then cat "$root/linesim.out"; fi
ls -l "$out"/*.png
exit $status
