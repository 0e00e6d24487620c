#!/usr/bin/env bash
# Makes the Wine prefix $1 once, with the settings that keep tests fast and
# steady; does nothing when it is already there.
set -euo pipefail
prefix=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ -f "$prefix/.hostwend-ready" ] && exit 0

mkdir -p "$(dirname "$prefix")"
# Two tests starting at once must not both build the prefix.
exec 9>"$prefix.lock"
flock -w 120 9
[ -f "$prefix/.hostwend-ready" ] && exit 0

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=win64
timeout 120 wineboot -i >/dev/null 2>&1
timeout 60 wine regedit /S "$(winepath -w "$root/scripts/wine-settings.reg" 2>/dev/null)" >/dev/null 2>&1
timeout 60 wineserver -w
touch "$prefix/.hostwend-ready"
