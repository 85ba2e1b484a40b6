#!/usr/bin/env bash
# Photographs a real launcher box under Wine: a package whose archive cannot be
# opened, started on an Xvfb screen, and its first box cut out of the screen.
#   usage: tests/windows/screenshot.sh BUILD_DIR OUTPUT.png
# BUILD_DIR is build/windows (launcher.exe) or build/windows64 (launcher64.exe).
# Uses a Wine prefix of its own (BUILD_DIR/wineprefix-screenshot), which it stops
# at the end.
set -euo pipefail

build=$(cd "$1" && pwd)
output=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
export SFX_WINEPREFIX=$build/wineprefix-screenshot SFX_WINE_SCREEN=xvfb

runner=
cleanup() {
  WINEPREFIX=$SFX_WINEPREFIX wineserver -k 2>/dev/null || true
  [ -z "$runner" ] || wait "$runner" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The launcher image and a trailer, with no archive in between.
stub=$build/bin/launcher.exe
[ -f "$stub" ] || stub=$build/bin/launcher64.exe
cp "$stub" "$work/Setup.exe"
python3 -c "import sys; sys.path.insert(0, sys.argv[1]); from make_signed_package import trailer; \
sys.stdout.buffer.write(trailer(b'password'))" "$here" >> "$work/Setup.exe"

"$here/../../scripts/wine-run" "$work/Setup.exe" &
runner=$!

# The box is the window titled with the package's name; it is placed once shown.
box_geometry() {
  xwininfo -display ":$display" -root -children 2>/dev/null |
    awk '/"Setup"/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { print $i; exit } }'
}
geometry=
for _ in $(seq 200); do
  if read -r display _ 2>/dev/null <"$SFX_WINEPREFIX.display"; then
    geometry=$(box_geometry)
    [ -n "$geometry" ] && break
  fi
  sleep 0.1
done
if [ -z "$geometry" ]; then
  echo "screenshot: no box appeared" >&2
  exit 1
fi
sleep 1
geometry=$(box_geometry)
size=${geometry%%+*}
origin=${geometry#"$size"}
import -display ":$display" -window root -crop "$size$origin" +repage "$output"
echo "screenshot: $output ($size)"
