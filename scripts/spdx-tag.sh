#!/usr/bin/env bash
# Puts "// SPDX-License-Identifier: GPL-3.0-or-later" as the first line of each
# C++ source under src/, tools/, tests/ and fuzz/ that does not carry it in
# its first lines yet (the first of the test spdx_tags's checks). Running it again
# changes nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
tag='SPDX-License-Identifier: GPL-3.0-or-later'
added=0
while IFS= read -r -d '' f; do
  if head -n 3 "$f" | grep -qF "$tag"; then continue; fi
  tmp=$(mktemp "$f.XXXXXX")
  { printf '// %s\n' "$tag"; cat "$f"; } >"$tmp"
  chmod --reference="$f" "$tmp"
  mv "$tmp" "$f"
  added=$((added + 1))
done < <(find src tools tests fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
echo "spdx-tag: tagged $added file(s)"
