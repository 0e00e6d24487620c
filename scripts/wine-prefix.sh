#!/usr/bin/env bash
# Makes the Wine prefix $1 once, with the settings that keep tests fast and
# steady; does nothing when it is already there.
set -euo pipefail
prefix=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian's Wine does not find its own Marlett, which draws the title bars'
# buttons; a copy among the prefix's fonts puts them on screen.
add_fonts() {
  mkdir -p "$prefix/drive_c/windows/Fonts"
  [ -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
}
if [ -f "$prefix/.hostwend-ready" ]; then
  add_fonts
  exit 0
fi

mkdir -p "$(dirname "$prefix")"
# Two tests starting at once must not both build the prefix.
exec 9>"$prefix.lock"
flock -w 120 9
[ -f "$prefix/.hostwend-ready" ] && exit 0

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=win64
timeout 120 wineboot -i >/dev/null 2>&1
timeout 60 wine regedit /S "$(winepath -w "$root/scripts/wine-settings.reg" 2>/dev/null)" >/dev/null 2>&1
timeout 60 wineserver -w
add_fonts
touch "$prefix/.hostwend-ready"
