#!/usr/bin/env bash
# Makes the Wine prefix $1 once, with the settings that keep tests fast and
# steady; does nothing when it is already there. A 64-bit Windows unless
# WINEARCH=win32 asks for a 32-bit one.
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

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=${WINEARCH:-win64}
# The loader of the prefix's own bitness: with wine32 installed, plain `wine`
# would make and set up a 64-bit prefix with its 32-bit tools.
loader=wine
[ "$WINEARCH" = win32 ] || loader=${HOSTWEND_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
timeout 120 "$loader" wineboot -i >/dev/null 2>&1
# winepath through the same loader: Debian's winepath script starts the 32-bit
# one, which a kernel without IA-32 emulation cannot run.
timeout 60 "$loader" regedit /S "$("$loader" winepath -w "$root/scripts/wine-settings.reg" 2>/dev/null)" >/dev/null 2>&1
timeout 60 wineserver -w
# Without its settings (no virtual desktop: about 2 s more for each message box
# that closes) every later test is slower: such a prefix is never taken as ready.
grep -q '"ShowCrashDialog"=dword:00000000' "$prefix/user.reg" ||
  { echo "wine-prefix.sh: the settings of scripts/wine-settings.reg did not reach $prefix" >&2; exit 1; }
add_fonts
touch "$prefix/.hostwend-ready"
