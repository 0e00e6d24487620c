#!/usr/bin/env bash
# Redraws the README's pictures of the two windows, docs/form1.png and
# docs/form2.png: the program runs under Wine on a private Xvfb, in a prefix
# of its own, with the demo's HWD.ini beside it, and the snap tool saves
# each window as it shows.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target hostwend snap

work=$root/build/screenshots
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=win64
scripts/demo-prefix.sh "$WINEPREFIX" Hostwend
mkdir -p docs

snap() {  # snap OUTPUT.png [--about]
  local bmp=$work/$(basename "$1" .png).bmp
  rm -f "$bmp"
  scripts/wine-session.sh wine build/windows-x64/tests/wine/snap.exe 'C:\Hostwend' \
    "$(winepath -w "$bmp" 2>/dev/null)" "${@:2}"
  # No timestamps in the PNG, so an unchanged picture makes no git change.
  convert "$bmp" -define png:exclude-chunks=date,time "$1"
  rm -f "$bmp"
  echo "Saved $1"
}
snap docs/form1.png
snap docs/form2.png --about
