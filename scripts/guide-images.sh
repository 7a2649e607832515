#!/usr/bin/env bash
# Retakes the screenshots of the operator's guide (docs/guide.md): the main
# window, the preview window and the about box, made under a virtual X server
# by scripts/screenshots.sh and copied to docs/images/.
set -euo pipefail
cd "$(dirname "$0")/.."
shots=$(mktemp -d /tmp/ondrix-guide-shots-XXXXXX)
trap 'rm -rf "$shots"' EXIT
bash scripts/screenshots.sh "$shots"
mkdir -p docs/images
for name in main preview about; do
  [[ -s "$shots/$name.png" ]] || { echo "guide-images: no $name.png" >&2; exit 1; }
  cp "$shots/$name.png" "docs/images/$name.png"
done
ls -l docs/images/*.png
